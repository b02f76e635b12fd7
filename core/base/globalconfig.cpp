#include "core/base/globalconfig.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/base/globallog.h"
#include "core/winpos/wndposition.h"
#include "platform/eventloop.h"
#include "platform/lzcopy.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/text.h"

namespace {

constexpr const char* kGlobConf = "GLOBCONF";
constexpr const char* kNetConf = "NETCONF";
constexpr const char* kTools = "TOOLS";
constexpr const char* kWPositions = "WPOSITIONS";
constexpr const char* kInternal = "INTERNAL";
constexpr const char* kCharges = "CHARGES";
constexpr unsigned kReadSize = 128;

using C = CGlobalConfig;

// One settings key: how it is read (i: integer conversion, l: long
// conversion), its default and the format it is saved with.
struct Key {
  enum Kind { Int, Long, LongReadAsInt, U16, U16ReadAsLong, Text, Flag, Float, Offnum } kind;
  const char* section;
  const char* name;
  const char* def;
  const char* fmt;
  int C::*i = nullptr;
  long C::*l = nullptr;
  std::uint16_t C::*u = nullptr;
  std::string C::*s = nullptr;
  float C::*f = nullptr;
};

Key I(const char* sec, const char* name, const char* def, int C::*m, const char* fmt = "%i") {
  Key k{Key::Int, sec, name, def, fmt};
  k.i = m;
  return k;
}
Key L(const char* sec, const char* name, const char* def, long C::*m, const char* fmt = "%ld") {
  Key k{Key::Long, sec, name, def, fmt};
  k.l = m;
  return k;
}
Key LI(const char* sec, const char* name, const char* def, long C::*m) {
  Key k{Key::LongReadAsInt, sec, name, def, "%ld"};
  k.l = m;
  return k;
}
Key U(const char* sec, const char* name, const char* def, std::uint16_t C::*m, const char* fmt,
      bool readAsLong = false) {
  Key k{readAsLong ? Key::U16ReadAsLong : Key::U16, sec, name, def, fmt};
  k.u = m;
  return k;
}
Key T(const char* sec, const char* name, const char* def, std::string C::*m) {
  Key k{Key::Text, sec, name, def, nullptr};
  k.s = m;
  return k;
}
Key Fl(const char* sec, const char* name, int C::*m) {
  Key k{Key::Flag, sec, name, "0", nullptr};
  k.i = m;
  return k;
}
Key F(const char* sec, const char* name, const char* def, float C::*m, const char* fmt) {
  Key k{Key::Float, sec, name, def, fmt};
  k.f = m;
  return k;
}

const std::vector<Key>& GlobConfKeys() {
  static const std::vector<Key> keys = {
      L(kGlobConf, "LLOT", "5000", &C::LLOT),
      I(kGlobConf, "PCPBXTimeCorr", "-4", &C::PCPBXTimeCorr, "%d"),
      I(kGlobConf, "WOIPBXT", "1", &C::WOIPBXT, "%d"),
      T(kGlobConf, "CBLFN", "", &C::CBLFN),
      T(kGlobConf, "DNFN", "", &C::DNFN),
      T(kGlobConf, "TDNFN", "", &C::TDNFN),
      T(kGlobConf, "SDFN", "", &C::SDFN),
      L(kGlobConf, "TB1C", "2000", &C::TB1C),
      L(kGlobConf, "TB2C", "5000", &C::TB2C),
      L(kGlobConf, "CBLGSTRTT", "28800", &C::CBLGSTRTT),
      L(kGlobConf, "CBLGSTPT", "64800", &C::CBLGSTPT),
      L(kGlobConf, "CBLLTB", "43200", &C::CBLLTB),
      L(kGlobConf, "CBLLTE", "50400", &C::CBLLTE),
      I(kGlobConf, "CBLAWICITBMWUIB", "1", &C::CBLAWICITBMWUIB, "%d"),
      I(kGlobConf, "CBLASOBOS", "0", &C::CBLASOBOS, "%d"),
      I(kGlobConf, "CBLASONE", "0", &C::CBLASONE, "%d"),
      I(kGlobConf, "CBLACONFPO", "0", &C::CBLACONFPO, "%d"),
      I(kGlobConf, "CBLNWCBLSTRT", "0", &C::CBLNWCBLSTRT, "%d"),
      I(kGlobConf, "CBLNWLIE", "0", &C::CBLNWLIE, "%d"),
      I(kGlobConf, "CBLNOENE", "0", &C::CBLNOENE, "%d"),
      L(kGlobConf, "CBLCASOTI", "5000", &C::CBLCASOTI),
      I(kGlobConf, "CBLAFNEWCWNS", "0", &C::CBLAFNEWCWNS, "%d"),
      I(kGlobConf, "MCTO", "1", &C::MCTO),
      I(kGlobConf, "CAW", "0", &C::CAW),
      I(kGlobConf, "ABNC", "1", &C::ABNC),
      I(kGlobConf, "BCPW", "1", &C::BCPW),
      I(kGlobConf, "ECPW", "0", &C::ECPW),
      I(kGlobConf, "AWNNCI", "1", &C::AWNNCI),
      I(kGlobConf, "NPLTO", "1", &C::NPLTO),
      I(kGlobConf, "NPLROOBOF", "0", &C::NPLROOBOF),
      I(kGlobConf, "NPLLAIDB", "0", &C::NPLLAIDB),
      I(kGlobConf, "NPLCDOC", "1", &C::NPLCDOC),
      I(kGlobConf, "NPLSOSEQ", "0", &C::NPLSOSEQ),
      I(kGlobConf, "PSVMINDG", "1", &C::PSVMINDG),
      T(kGlobConf, "CPLFN", "", &C::CPLFN),
      I(kGlobConf, "CPID", "2", &C::CPID),
      I(kGlobConf, "CPLFLAG", "0", &C::CPLFLAG),
      I(kGlobConf, "SYSCON", "0", &C::SYSCON),
      [] {
        Key k{Key::Offnum, kGlobConf, "OFFNUM", "0", "%c"};
        k.s = &C::OFFNUM;
        return k;
      }(),
      I(kGlobConf, "GDOH", "0", &C::GDOH),
      F(kGlobConf, "PPCU", "0.12", &C::PPCU, "%.2f"),
      T(kGlobConf, "CAUN", "DM", &C::CAUN),
      T(kGlobConf, "CINFLFN", "", &C::CINFLFN),
      I(kGlobConf, "CINFSOSEQ", "0", &C::CINFSOSEQ),
      I(kGlobConf, "CAPUW", "0", &C::CAPUW),
      I(kGlobConf, "CAPDW", "0", &C::CAPDW),
      I(kGlobConf, "VSCW", "0", &C::VSCW),
      L(kGlobConf, "VSCOFFC", "", &C::VSCOFFC),
      L(kGlobConf, "VSCALERTC", "", &C::VSCALERTC),
      L(kGlobConf, "VSCCONNC", "", &C::VSCCONNC),
      L(kGlobConf, "VSCCFSC", "", &C::VSCCFSC),
      L(kGlobConf, "VSCCFDC", "", &C::VSCCFDC),
      L(kGlobConf, "VSCPFC", "", &C::VSCPFC),
      T(kGlobConf, "EXPRO1", "", &C::EXPRO1),
      T(kGlobConf, "EXPRO2", "", &C::EXPRO2),
      I(kGlobConf, "CHLO", "", &C::CHLO),
      T(kGlobConf, "CHLFN", "", &C::CHLFN),
      T(kGlobConf, "CHGFWN", "", &C::CHGFWN),
      I(kGlobConf, "PBXLO", "", &C::PBXLO),
      T(kGlobConf, "PBXLFN", "", &C::PBXLFN),
      I(kGlobConf, "GLO", "", &C::GLO),
      T(kGlobConf, "GLFN", "", &C::GLFN),
      I(kGlobConf, "CPROCON", "1", &C::CPROCON),
      T(kGlobConf, "CPROCFN", "c:\\charproc.log", &C::CPROCFN),
      Fl(kGlobConf, "ASCA", &C::ASCA),
      Fl(kGlobConf, "ASDB", &C::ASDB),
      Fl(kGlobConf, "ASMV", &C::ASMV),
      Fl(kGlobConf, "ASOW", &C::ASOW),
      Fl(kGlobConf, "ASDABA", &C::ASDABA),
      Fl(kGlobConf, "ASCBL", &C::ASCBL),
      Fl(kGlobConf, "ASSUCP", &C::ASSUCP),
      Fl(kGlobConf, "ASSCCP", &C::ASSCCP),
      I(kGlobConf, "PRTUPX", "100", &C::PRTUPX),
      I(kGlobConf, "PRTUPY", "50", &C::PRTUPY),
      I(kGlobConf, "PRTLNTP", "0", &C::PRTLNTP),
      I(kGlobConf, "PRTLNMLPP", "65", &C::PRTLNMLPP),
      I(kGlobConf, "IO1008", "0", &C::IO1008),
      U(kGlobConf, "CUTOFFLEADINGDIGIT", "1", &C::CUTOFFLEADINGDIGIT, "%d"),
      U(kGlobConf, "DialOfficeDigits", "1", &C::DialOfficeDigits, "%d"),
      I(kGlobConf, "OLDPROTOCOLL", "0", &C::OLDPROTOCOLL),
  };
  return keys;
}

// Read after NETCONF, written with the rest of GLOBCONF.
const Key& IntPhnNumLengthKey() {
  static const Key k = U(kGlobConf, "IntPhnNumLength", "2", &C::IntPhnNumLength, "%i", true);
  return k;
}

const std::vector<Key>& NetConfKeys() {
  static const std::vector<Key> keys = {
      I(kNetConf, "CPIU", "1", &C::CPIU),   I(kNetConf, "NIU", "0", &C::NIU),
      L(kNetConf, "NUP", "0", &C::NUP),     T(kNetConf, "NSN", "", &C::NSN),
      T(kNetConf, "NSSA", "", &C::NSSA),    T(kNetConf, "NSLA", "", &C::NSLA),
      L(kNetConf, "NTPAR", "0", &C::NTPAR),
  };
  return keys;
}

const std::vector<Key>& ToolsKeys() {
  static const std::vector<Key> keys = {
      I(kTools, "TOLEUPLV", "0", &C::TOLEUPLV),
      I(kTools, "TOLEUCLV", "0", &C::TOLEUCLV),
      I(kTools, "TOLECSTALOGDLL", "0", &C::TOLECSTALOGDLL),
      I(kTools, "TOLECOPOLOGDLL", "0", &C::TOLECOPOLOGDLL),
  };
  return keys;
}

const std::vector<Key>& ChargesKeys() {
  static const std::vector<Key> keys = {
      T(kCharges, "CfgFile", ".\\sumcharge.ini", &C::ChargesCfgFile),
      I(kCharges, "Active", "0", &C::ChargesActive),
      LI(kCharges, "LastReadOutTimeStamp", "0", &C::LastReadOutTimeStamp),
      U(kCharges, "LastReadOutIndex", "0", &C::LastReadOutIndex, "%d"),
      F(kCharges, "TaxValue", "16.00", &C::TaxValue, "%2.2f"),
      F(kCharges, "CurrencyToEuroFactor", "0.4975", &C::CurrencyToEuroFactor, "%3.4f"),
  };
  return keys;
}

void LoadKey(C& c, const Key& k, const char* file) {
  char buf[kReadSize];
  plat::GetPrivateProfileString(k.section, k.name, k.def, buf, kReadSize, file);
  switch (k.kind) {
    case Key::Int: c.*k.i = plat::AtoiC(buf); break;
    case Key::Long: c.*k.l = plat::AtolC(buf); break;
    case Key::LongReadAsInt: c.*k.l = plat::AtoiC(buf); break;
    case Key::U16: c.*k.u = static_cast<std::uint16_t>(plat::AtoiC(buf)); break;
    case Key::U16ReadAsLong: c.*k.u = static_cast<std::uint16_t>(plat::AtolC(buf)); break;
    case Key::Text: c.*k.s = buf; break;
    case Key::Flag: c.*k.i = buf[0] != '0' ? 1 : 0; break;
    case Key::Float: c.*k.f = static_cast<float>(plat::AtofC(buf)); break;
    case Key::Offnum:
      c.*k.s = buf;
      c.OffnumDigit = buf[0];
      break;
  }
}

void SaveKey(const C& c, const Key& k, plat::ProfileBatch& batch) {
  char buf[kReadSize];
  const char* value = buf;
  switch (k.kind) {
    case Key::Int: plat::FormatC(buf, sizeof buf, k.fmt, c.*k.i); break;
    case Key::Long:
    case Key::LongReadAsInt: plat::FormatC(buf, sizeof buf, "%ld", c.*k.l); break;
    case Key::U16:
    case Key::U16ReadAsLong: plat::FormatC(buf, sizeof buf, k.fmt, static_cast<int>(c.*k.u)); break;
    case Key::Text: value = (c.*k.s).c_str(); break;
    case Key::Flag: value = c.*k.i ? "1" : "0"; break;
    case Key::Float: plat::FormatC(buf, sizeof buf, k.fmt, static_cast<double>(c.*k.f)); break;
    case Key::Offnum:
      buf[0] = c.OffnumDigit;
      buf[1] = '\0';
      break;
  }
  batch.Write(k.section, k.name, value);
}

bool IsGermanLanguage(unsigned id) {
  return id == 0x407 || id == 0x807 || id == 0xc07 || id == 0x1007 || id == 0x1407;
}

unsigned LanguageIdFromEnvironment() {
  if (const char* hex = std::getenv("PALOMIR_LANGID"); hex && *hex)
    return static_cast<unsigned>(std::strtoul(hex, nullptr, 16));
  const char* loc = nullptr;
  for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    loc = std::getenv(var);
    if (loc && *loc) break;
  }
  if (!loc || std::strncmp(loc, "de", 2) != 0) return 0x409;
  if (std::strncmp(loc, "de_CH", 5) == 0) return 0x807;
  if (std::strncmp(loc, "de_AT", 5) == 0) return 0xc07;
  if (std::strncmp(loc, "de_LU", 5) == 0) return 0x1007;
  if (std::strncmp(loc, "de_LI", 5) == 0) return 0x1407;
  return 0x407;
}

std::int16_t ClampToInt16(int v) {
  if (v > INT16_MAX) return INT16_MAX;
  if (v < INT16_MIN) return INT16_MIN;
  return static_cast<std::int16_t>(v);
}

int SignExtend(std::uint16_t v) { return static_cast<std::int16_t>(v); }

// The table row as a position text record (the row's fields are signed).
CWndPosition PositionOf(const WindowPositionEntry& e) {
  CWndPosition pos;
  pos.left = static_cast<std::int16_t>(e.left);
  pos.top = static_cast<std::int16_t>(e.top);
  pos.right = static_cast<std::int16_t>(e.right);
  pos.bottom = static_cast<std::int16_t>(e.bottom);
  return pos;
}

}  // namespace

CGlobalConfig::CGlobalConfig() : m_LanguageId(LanguageIdFromEnvironment()) {
  for (int i = 0; i < kWindowPositions; ++i)
    m_WindowTable[i] = WindowPositionEntry{static_cast<std::uint16_t>(i + 1), 0, 0, 0, 0};
  m_PageTexts[0] = "10 mm";     // 1
  m_PageTexts[8] = "180 mm";    // 256
  m_PageTexts[9] = "270 mm";    // 512
  m_PageTexts[10] = "210 mm";   // 1024
  m_PageTexts[11] = "297 mm";   // 2048
  m_PageTexts[12] = "4 mm";     // 4096
  m_PageTexts[13] = "rm";       // 8192
}

void CGlobalConfig::Load(const std::string& settingsFile) {
  const char* file = settingsFile.c_str();
  for (const Key& k : GlobConfKeys()) LoadKey(*this, k, file);
  for (const Key& k : NetConfKeys()) LoadKey(*this, k, file);
  LoadKey(*this, IntPhnNumLengthKey(), file);
  for (const Key& k : ToolsKeys()) LoadKey(*this, k, file);

  for (WindowPositionEntry& e : m_WindowTable) {
    char key[16];
    char buf[64];
    plat::FormatC(key, sizeof key, "WndPos%02i", static_cast<int>(e.id));
    plat::GetPrivateProfileString(kWPositions, key, "0", buf, sizeof buf, file);
    CWndPosition pos = PositionOf(e);
    pos.FromText(buf, CWndPosition::kRectOnly);
    e.left = static_cast<std::uint16_t>(pos.left);
    e.top = static_cast<std::uint16_t>(pos.top);
    e.right = static_cast<std::uint16_t>(pos.right);
    e.bottom = static_cast<std::uint16_t>(pos.bottom);
  }

  const std::string lang = IsGermanLanguage(m_LanguageId) ? "ger" : "eng";
  char buf[kReadSize];
  plat::GetPrivateProfileString(kInternal, "HelpFile", "velt_ger.hlp", buf, kReadSize, file);
  HelpFile = buf;
  if (HelpFile.empty()) {
    HelpFile = "velt_" + lang + ".hlp";
    plat::WritePrivateProfileString(kInternal, "HelpFile", HelpFile.c_str(), file);
  }
  plat::GetPrivateProfileString(kInternal, "LangFile", "velt_ger.lng", buf, kReadSize, file);
  LangFile = buf;
  if (LangFile.empty()) {
    LangFile = "velt_" + lang + ".lng";
    plat::WritePrivateProfileString(kInternal, "LangFile", LangFile.c_str(), file);
  }

  for (const Key& k : ChargesKeys()) LoadKey(*this, k, file);
}

bool CGlobalConfig::Save(const std::string& settingsFile) const {
  // One replacement of the settings file: a kill at exit leaves the old
  // settings or the new ones, never some of each.
  plat::ProfileBatch batch(settingsFile);
  for (const Key& k : GlobConfKeys()) SaveKey(*this, k, batch);
  SaveKey(*this, IntPhnNumLengthKey(), batch);
  batch.Write(kNetConf, "NSLA", NSLA.c_str());
  for (const Key& k : ToolsKeys()) SaveKey(*this, k, batch);
  for (const WindowPositionEntry& e : m_WindowTable) {
    char key[16];
    plat::FormatC(key, sizeof key, "WndPos%02i", static_cast<int>(e.id));
    batch.Write(kWPositions, key, PositionOf(e).ToText(CWndPosition::kRectOnly).c_str());
  }
  batch.Write(kInternal, "HelpFile", HelpFile.c_str());
  batch.Write(kInternal, "LangFile", LangFile.c_str());
  for (const Key& k : ChargesKeys()) SaveKey(*this, k, batch);
  if (batch.Commit()) return true;
  LogFileFailure(settingsFile, errno);
  return false;
}

int CGlobalConfig::CopyFileLZ(const char* source, const char* target) {
  if (!source || !target) return 0;
  return plat::CopyFileLZ(plat::MapPath(source).c_str(), plat::MapPath(target).c_str()) ? 1 : 0;
}

int CGlobalConfig::IsInternalNumber(const char* number) const {
  return std::strlen(number ? number : "") <= IntPhnNumLength ? 1 : 0;
}

int CGlobalConfig::GetDialNumber(const std::string& number, std::string& out) const {
  const bool internal = IsInternalNumber(number.c_str());
  if (CUTOFFLEADINGDIGIT == 1) {
    if (!internal && OffnumDigit != '\0' && number[0] == OffnumDigit) {
      out = number.substr(1);
      return 1;
    }
  } else if (!internal) {
    out = number;
    if (OffnumDigit != '\0') out.insert(out.begin(), OffnumDigit);
    return 1;
  }
  out = number;
  return 0;
}

int CGlobalConfig::GetDialNumberBuffer(const char* number, char* buffer, std::size_t size) const {
  std::string out;
  const int r = GetDialNumber(number ? number : "", out);
  if (buffer) plat::CopyBounded(buffer, size, out.c_str());
  return r;
}

int CGlobalConfig::GetCallerNumber(const std::string& number, std::string& out) const {
  if (!IsInternalNumber(number.c_str()) && DialOfficeDigits == 1) {
    out = OFFNUM + number;
    return 1;
  }
  out = number;
  return 0;
}

int CGlobalConfig::GetCallerNumberBuffer(const char* number, char* buffer, std::size_t size) const {
  std::string out;
  const int r = GetCallerNumber(number ? number : "", out);
  if (buffer) plat::CopyBounded(buffer, size, out.c_str());
  return r;
}

int CGlobalConfig::GetWindowPosition(int id, int& left, int& top, int& right, int& bottom) const {
  left = top = right = bottom = 0;
  for (const WindowPositionEntry& e : m_WindowTable) {
    if (id < 1 || id > kWindowPositions || e.id != id) continue;
    left = SignExtend(e.left);
    top = SignExtend(e.top);
    right = SignExtend(e.right);
    bottom = SignExtend(e.bottom);
    return (left || top || right || bottom) ? 1 : 0;
  }
  return 0;
}

int CGlobalConfig::SetWindowPosition(int id, int left, int top, int right, int bottom) {
  for (WindowPositionEntry& e : m_WindowTable) {
    if (id < 1 || id > kWindowPositions || e.id != id) continue;
    e.left = static_cast<std::uint16_t>(ClampToInt16(left));
    e.top = static_cast<std::uint16_t>(ClampToInt16(top));
    e.right = static_cast<std::uint16_t>(ClampToInt16(right));
    e.bottom = static_cast<std::uint16_t>(ClampToInt16(bottom));
    return (e.left || e.top || e.right || e.bottom) ? 1 : 0;
  }
  return 0;
}

const char* CGlobalConfig::GetReportString(int kind, int flag) {
  m_ReportString[0] = '\0';
  if (kind == 256) {
    for (int bit = 0; bit < 14; ++bit)
      if (flag == (1 << bit)) return m_PageTexts[bit].c_str();
    return "";
  }
  if (kind != 257) return "";
  const std::time_t now = plat::WallTime();
  std::tm tm{};
  if (!localtime_r(&now, &tm)) return "";
  const int year = tm.tm_year + 1900, month = tm.tm_mon + 1;
  switch (flag) {
    // Minutes and seconds keep two digits: 9:05:07 h, never 9:5:7 h.
    case 1:
      plat::FormatC(m_ReportString, sizeof m_ReportString, "%i.%i.%i, %i:%02i:%02i h", tm.tm_mday, month,
                    year, tm.tm_hour, tm.tm_min, tm.tm_sec);
      break;
    case 2:
      plat::FormatC(m_ReportString, sizeof m_ReportString, "%i.%i.%i", tm.tm_mday, month, year);
      break;
    case 4:
      plat::FormatC(m_ReportString, sizeof m_ReportString, "%i:%02i:%02i h", tm.tm_hour, tm.tm_min,
                    tm.tm_sec);
      break;
    default:
      return "";
  }
  return m_ReportString;
}

std::string CGlobalConfig::FormatHours(long seconds) {
  return plat::StrFormatC("%02i", static_cast<int>(seconds / 3600));
}

std::string CGlobalConfig::FormatMinutes(long seconds) {
  return plat::StrFormatC("%02i", static_cast<int>((seconds / 60) % 60));
}

long CGlobalConfig::ParseHoursMinutes(const char* hours, const char* minutes) {
  const long h = plat::AtoiC(hours ? hours : "");
  const long m = plat::AtoiC(minutes ? minutes : "");
  return (h * 60 + m) * 60;
}

std::time_t CGlobalConfig::ParseDateByPattern(const char* text, const char* pattern) {
  if (!text || !pattern) return 0;
  const std::size_t n = std::strlen(pattern);
  if (std::strlen(text) != n) return 0;
  int day = 0, month = 0, year = 0;
  int* run = nullptr;
  for (std::size_t i = 0; i < n; ++i) {
    int* field = nullptr;
    switch (pattern[i]) {
      case 'D': case 'd': field = &day; break;
      case 'M': case 'm': field = &month; break;
      case 'Y': case 'y': field = &year; break;
      default: break;
    }
    if (!field) {
      run = nullptr;
      continue;
    }
    if (field != run) *field = 0;  // a new run of this letter starts the number again
    run = field;
    const char c = text[i];
    if (c < '0' || c > '9') return 0;
    if (*field < 100000) *field = *field * 10 + (c - '0');
  }
  if (year < 100) year += year < 70 ? 2000 : 1900;
  if (month < 1 || month > 12) month = 1;
  if (day < 1 || day > 31) day = 1;
  std::tm tm{};
  tm.tm_mday = day;
  tm.tm_mon = month - 1;
  tm.tm_year = year - 1900;
  tm.tm_hour = 23;
  tm.tm_min = 59;
  tm.tm_sec = 59;
  tm.tm_isdst = -1;
  const std::time_t t = std::mktime(&tm);
  return t == static_cast<std::time_t>(-1) ? 0 : t;
}

bool CGlobalConfig::IsDaylightSavingTime(const std::time_t* t) {
  const std::time_t when = t ? *t : plat::WallTime();
  std::tm tm{};
  if (!localtime_r(&when, &tm)) return false;
  return tm.tm_isdst > 0;
}

std::size_t CGlobalConfig::ReplaceToken(char* buffer, std::size_t size, const char* token,
                                        const char* replacement) {
  if (!buffer || size == 0 || !token || !*token) return 0;
  if (!replacement) replacement = "";
  const std::size_t len = strnlen(buffer, size);
  if (len == size) return 0;  // not terminated within its size
  char* hit = std::strstr(buffer, token);
  if (!hit) return 0;
  const std::size_t tokenLen = std::strlen(token);
  const std::size_t replLen = std::strlen(replacement);
  const std::size_t newLen = len - tokenLen + replLen;
  if (newLen + 1 > size) return 0;
  const std::size_t tail = len - static_cast<std::size_t>(hit - buffer) - tokenLen;
  std::memmove(hit + replLen, hit + tokenLen, tail + 1);
  std::memcpy(hit, replacement, replLen);
  return newLen + 1;
}

CGlobalConfig& GlobalConfig() {
  static CGlobalConfig config;
  return config;
}
