// The program's settings: loaded once from the settings file at start-up,
// saved at exit, read directly by every component. Fields carry the names
// of their settings keys. Texts are stored exactly as written in the file
// (Windows-style names included); whoever opens a file maps it with
// plat::MapPath.
#pragma once
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

// One row of the window-position table. The fields are 16 bits wide; the
// coordinates are signed (screens left of or above the primary one).
struct WindowPositionEntry {
  std::uint16_t id;
  std::uint16_t left, top, right, bottom;
};
static_assert(sizeof(WindowPositionEntry) == 10);

class CGlobalConfig {
 public:
  static constexpr int kWindowPositions = 10;

  CGlobalConfig();
  virtual ~CGlobalConfig() = default;

  // Reads every section; a missing file or key gives the defaults.
  void Load(const std::string& settingsFile);
  // Writes key by key, so every other key of the file stays as it was.
  // Writes every key in one replacement of the file; false (logged) when
  // it could not be written, the file then as it was.
  bool Save(const std::string& settingsFile) const;

  // Plain copy (stored names are mapped first); 1 on success, else 0.
  virtual int CopyFileLZ(const char* source, const char* target);
  virtual int GetDialNumberBuffer(const char* number, char* buffer, std::size_t size) const;
  virtual int GetDialNumber(const std::string& number, std::string& out) const;
  virtual int IsInternalNumber(const char* number) const;
  virtual int GetCallerNumberBuffer(const char* number, char* buffer, std::size_t size) const;
  virtual int GetCallerNumber(const std::string& number, std::string& out) const;

  // Ids 1 to 10. Outputs 0 first; 1 when any coordinate is not 0, 0 when
  // all are 0 or there is no such id.
  int GetWindowPosition(int id, int& left, int& top, int& right, int& bottom) const;
  int SetWindowPosition(int id, int left, int top, int right, int bottom);
  const WindowPositionEntry* WindowTable() const { return m_WindowTable; }

  // Kind 256: page-layout text of the flag; kind 257: the current local
  // date/time (sub-kind 1 date and time, 2 date, 4 time). Else "".
  const char* GetReportString(int kind, int flag);

  static std::string FormatHours(long seconds);
  static std::string FormatMinutes(long seconds);
  static long ParseHoursMinutes(const char* hours, const char* minutes);
  // Pattern letters D/d, M/m, Y/y pick the digits of day, month and year
  // from the same places of text. Years below 100 take a pivot: 0-69 are
  // 20xx, 70-99 are 19xx. The local time of that day at 23:59:59, or 0 when
  // the lengths differ or a picked character is not a digit.
  static std::time_t ParseDateByPattern(const char* text, const char* pattern);
  static bool IsDaylightSavingTime(const std::time_t* t);
  // Replaces the first occurrence of token in buffer; the new length + 1,
  // or 0 (buffer untouched) when the buffer is null, the token absent or
  // empty, or the result would not fit size.
  static std::size_t ReplaceToken(char* buffer, std::size_t size, const char* token,
                                  const char* replacement);

  // The language id that names the language and help files when the file
  // leaves them empty. Default: $PALOMIR_LANGID read as hexadecimal, else
  // from the locale variables (German ones give 0x407 and its variants),
  // else 0x409.
  void SetLanguageId(unsigned id) { m_LanguageId = id; }
  unsigned LanguageId() const { return m_LanguageId; }

  // --- GLOBCONF -----------------------------------------------------------
  long LLOT = 5000;  // time of the last program exit
  int PCPBXTimeCorr = -4;
  int WOIPBXT = 1;
  std::string CBLFN, DNFN, TDNFN, SDFN;
  long TB1C = 2000, TB2C = 5000;
  long CBLGSTRTT = 28800, CBLGSTPT = 64800, CBLLTB = 43200, CBLLTE = 50400;
  int CBLAWICITBMWUIB = 1, CBLASOBOS = 0, CBLASONE = 0, CBLACONFPO = 0, CBLNWCBLSTRT = 0,
      CBLNWLIE = 0, CBLNOENE = 0;
  long CBLCASOTI = 5000;
  int CBLAFNEWCWNS = 0;
  int MCTO = 1, CAW = 0, ABNC = 1, BCPW = 1, ECPW = 0, AWNNCI = 1;
  int NPLTO = 1, NPLROOBOF = 0, NPLLAIDB = 0, NPLCDOC = 1, NPLSOSEQ = 0;
  int PSVMINDG = 1;
  std::string CPLFN;
  int CPID = 2, CPLFLAG = 0, SYSCON = 0;
  std::string OFFNUM = "0";
  char OffnumDigit = '0';  // first character of OFFNUM: the trunk access digit
  int GDOH = 0;
  float PPCU = 0.12f;
  std::string CAUN = "DM";
  std::string CINFLFN;
  int CINFSOSEQ = 0, CAPUW = 0, CAPDW = 0, VSCW = 0;
  long VSCOFFC = 0, VSCALERTC = 0, VSCCONNC = 0, VSCCFSC = 0, VSCCFDC = 0, VSCPFC = 0;
  std::string EXPRO1, EXPRO2;
  int CHLO = 0;
  std::string CHLFN, CHGFWN;
  int PBXLO = 0;
  std::string PBXLFN;
  int GLO = 0;  // program log: 0 off, 1 file, 2 trace window
  std::string GLFN;
  int CPROCON = 1;
  std::string CPROCFN = "c:\\charproc.log";
  int ASCA = 0, ASDB = 0, ASMV = 0, ASOW = 0, ASDABA = 0, ASCBL = 0, ASSUCP = 0, ASSCCP = 0;
  int PRTUPX = 100, PRTUPY = 50, PRTLNTP = 0, PRTLNMLPP = 65;
  int IO1008 = 0;
  std::uint16_t CUTOFFLEADINGDIGIT = 1;
  std::uint16_t DialOfficeDigits = 1;
  int OLDPROTOCOLL = 0;
  std::uint16_t IntPhnNumLength = 2;

  // --- NETCONF (only NSLA is written back) ----------------------------------
  int CPIU = 1, NIU = 0;
  long NUP = 0;
  std::string NSN, NSSA, NSLA;
  long NTPAR = 0;

  // --- TOOLS ----------------------------------------------------------------
  int TOLEUPLV = 0, TOLEUCLV = 0, TOLECSTALOGDLL = 0, TOLECOPOLOGDLL = 0;

  // --- INTERNAL -------------------------------------------------------------
  std::string HelpFile = "velt_ger.hlp";
  std::string LangFile = "velt_ger.lng";

  // --- CHARGES --------------------------------------------------------------
  std::string ChargesCfgFile = ".\\sumcharge.ini";
  int ChargesActive = 0;
  long LastReadOutTimeStamp = 0;
  std::uint16_t LastReadOutIndex = 0;
  float TaxValue = 16.00f;
  float CurrencyToEuroFactor = 0.4975f;

  // The text session the application opened on the language file.
  std::int32_t m_TextSession = -1;

 private:
  WindowPositionEntry m_WindowTable[kWindowPositions];
  std::string m_PageTexts[14];  // by bit of the page-layout flag
  char m_ReportString[64] = {};
  unsigned m_LanguageId;
};

// The program's single configuration.
CGlobalConfig& GlobalConfig();
