#include "core/base/globalconfig.h"

#include <gtest/gtest.h>

#include "tests/support/testsupport.h"

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>

#include "platform/eventloop.h"
#include "platform/profile.h"
#include "testdir.h"
#include "tests/support/filefaults.h"

namespace {

class GlobalConfigTest : public TempDirTest {};

std::string Read(const std::string& file, const char* section, const char* key) {
  return plat::GetProfileText(section, key, "<missing>", file);
}


TEST_F(GlobalConfigTest, MissingFileGivesTheDefaults) {
  CGlobalConfig c;
  c.Load(Path("none.ini"));
  EXPECT_FALSE(std::filesystem::exists(Path("none.ini")));
  EXPECT_EQ(c.LLOT, 5000);
  EXPECT_EQ(c.PCPBXTimeCorr, -4);
  EXPECT_EQ(c.CBLGSTRTT, 28800);
  EXPECT_EQ(c.CPID, 2);
  EXPECT_EQ(c.OFFNUM, "0");
  EXPECT_EQ(c.OffnumDigit, '0');
  EXPECT_FLOAT_EQ(c.PPCU, 0.12f);
  EXPECT_EQ(c.CAUN, "DM");
  EXPECT_EQ(c.CPROCFN, "c:\\charproc.log");
  EXPECT_EQ(c.GLO, 0);
  EXPECT_EQ(c.VSCOFFC, 0);
  EXPECT_EQ(c.ASCA, 0);
  EXPECT_EQ(c.PRTLNMLPP, 65);
  EXPECT_EQ(c.IntPhnNumLength, 2);
  EXPECT_EQ(c.CUTOFFLEADINGDIGIT, 1);
  EXPECT_EQ(c.CPIU, 1);
  EXPECT_EQ(c.HelpFile, "velt_ger.hlp");
  EXPECT_EQ(c.LangFile, "velt_ger.lng");
  EXPECT_EQ(c.ChargesCfgFile, ".\\sumcharge.ini");
  EXPECT_FLOAT_EQ(c.TaxValue, 16.0f);
  EXPECT_FLOAT_EQ(c.CurrencyToEuroFactor, 0.4975f);
  int l, t, r, b;
  EXPECT_EQ(c.GetWindowPosition(1, l, t, r, b), 0);
}

TEST_F(GlobalConfigTest, ReadsValuesAsTheFileHoldsThem) {
  const std::string f = Path("brimlow.ini");
  WriteFile(f,
            "[GLOBCONF]\r\nLLOT=1765180800\r\nPCPBXTimeCorr=12\r\nASCA=no\r\nASDB=0yes\r\nASMV=\r\n"
            "OFFNUM=9\r\nPPCU=0.5\r\nGLO=2\r\nGLFN=c:\\brimlow.log\r\nIntPhnNumLength=4\r\n"
            "CUTOFFLEADINGDIGIT=0\r\nCHLO=\r\n"
            "[NETCONF]\r\nNIU=1\r\nNUP=4369\r\nNSN=pbxhost\r\nNTPAR=1\r\n"
            "[TOOLS]\r\nTOLECSTALOGDLL=1\r\n"
            "[WPOSITIONS]\r\nWndPos06=-1200,10,-200,700\r\nWndPos03=garbage\r\n"
            "[CHARGES]\r\nLastReadOutIndex=70000\r\nTaxValue=19.00\r\n");
  CGlobalConfig c;
  c.Load(f);
  EXPECT_EQ(c.LLOT, 1765180800);
  EXPECT_EQ(c.PCPBXTimeCorr, 12);
  EXPECT_EQ(c.ASCA, 1);  // only a leading '0' is off
  EXPECT_EQ(c.ASDB, 0);
  EXPECT_EQ(c.ASMV, 1);
  EXPECT_EQ(c.ASOW, 0);
  EXPECT_EQ(c.OFFNUM, "9");
  EXPECT_EQ(c.OffnumDigit, '9');
  EXPECT_FLOAT_EQ(c.PPCU, 0.5f);
  EXPECT_EQ(c.GLO, 2);
  EXPECT_EQ(c.GLFN, "c:\\brimlow.log");  // stored as written
  EXPECT_EQ(c.IntPhnNumLength, 4);
  EXPECT_EQ(c.CUTOFFLEADINGDIGIT, 0);
  EXPECT_EQ(c.CHLO, 0);
  EXPECT_EQ(c.NIU, 1);
  EXPECT_EQ(c.NUP, 4369);
  EXPECT_EQ(c.NSN, "pbxhost");
  EXPECT_EQ(c.NTPAR, 1);
  EXPECT_EQ(c.TOLECSTALOGDLL, 1);
  EXPECT_EQ(c.LastReadOutIndex, static_cast<std::uint16_t>(70000));
  EXPECT_FLOAT_EQ(c.TaxValue, 19.0f);
  int l, t, r, b;
  EXPECT_EQ(c.GetWindowPosition(6, l, t, r, b), 1);
  EXPECT_EQ(l, -1200);
  EXPECT_EQ(t, 10);
  EXPECT_EQ(r, -200);
  EXPECT_EQ(b, 700);
  EXPECT_EQ(c.GetWindowPosition(3, l, t, r, b), 0);
}

TEST_F(GlobalConfigTest, SaveWritesTheStoredFormats) {
  const std::string f = Path("brimlow.ini");
  CGlobalConfig c;
  c.Load(f);
  c.OFFNUM = "07";
  c.OffnumDigit = '7';
  c.ASSCCP = 1;
  c.NSN = "not written back";
  c.NSLA = "10.0.0.7";
  c.LastReadOutTimeStamp = 1765180800;
  c.Save(f);
  EXPECT_EQ(Read(f, "GLOBCONF", "PPCU"), "0.12");
  EXPECT_EQ(Read(f, "GLOBCONF", "OFFNUM"), "7");
  EXPECT_EQ(Read(f, "GLOBCONF", "PCPBXTimeCorr"), "-4");
  EXPECT_EQ(Read(f, "GLOBCONF", "CPROCFN"), "c:\\charproc.log");
  EXPECT_EQ(Read(f, "GLOBCONF", "ASSCCP"), "1");
  EXPECT_EQ(Read(f, "GLOBCONF", "ASCA"), "0");
  EXPECT_EQ(Read(f, "GLOBCONF", "VSCOFFC"), "0");
  EXPECT_EQ(Read(f, "GLOBCONF", "IntPhnNumLength"), "2");
  EXPECT_EQ(Read(f, "NETCONF", "NSLA"), "10.0.0.7");
  EXPECT_EQ(Read(f, "NETCONF", "NSN"), "<missing>");
  EXPECT_EQ(Read(f, "TOOLS", "TOLECOPOLOGDLL"), "0");
  EXPECT_EQ(Read(f, "WPOSITIONS", "WndPos01"), "0,0,0,0");
  EXPECT_EQ(Read(f, "WPOSITIONS", "WndPos10"), "0,0,0,0");
  EXPECT_EQ(Read(f, "INTERNAL", "LangFile"), "velt_ger.lng");
  EXPECT_EQ(Read(f, "CHARGES", "CfgFile"), ".\\sumcharge.ini");
  EXPECT_EQ(Read(f, "CHARGES", "TaxValue"), "16.00");
  EXPECT_EQ(Read(f, "CHARGES", "CurrencyToEuroFactor"), "0.4975");
  EXPECT_EQ(Read(f, "CHARGES", "LastReadOutTimeStamp"), "1765180800");

  CGlobalConfig back;
  back.Load(f);
  EXPECT_EQ(back.OFFNUM, "7");
  EXPECT_EQ(back.ASSCCP, 1);
  EXPECT_EQ(back.LastReadOutTimeStamp, 1765180800);
  EXPECT_EQ(back.NSLA, "10.0.0.7");
}

TEST_F(GlobalConfigTest, SaveKeepsEveryOtherKeyOfTheFile) {
  const std::string f = Path("brimlow.ini");
  const std::string foreign =
      "; written by hand\r\n[MFRM]\r\nLP=-1280\r\nTP=0\r\n\r\n[GLOBCONF]\r\nMyOwnKey=  spaced  \r\n"
      "PPCU=0.30\r\n[SHRTDIAL-00]\r\nName=Zentrale\r\n";
  WriteFile(f, foreign);
  CGlobalConfig c;
  c.Load(f);
  c.Save(f);
  const std::string after = ReadFile(f);
  EXPECT_EQ(after.rfind("; written by hand\r\n[MFRM]\r\nLP=-1280\r\nTP=0\r\n", 0), 0u) << after;
  EXPECT_NE(after.find("MyOwnKey=  spaced  \r\n"), std::string::npos);
  EXPECT_NE(after.find("[SHRTDIAL-00]\r\nName=Zentrale\r\n"), std::string::npos);
  EXPECT_EQ(Read(f, "GLOBCONF", "PPCU"), "0.30");
}

TEST_F(GlobalConfigTest, GermanLocaleSavesAndLoadsTheSameBytes) {
  const std::string plain = Path("c.ini"), german = Path("de.ini");
  CGlobalConfig c;
  c.Load(plain);
  c.PPCU = 0.12f;
  c.SetWindowPosition(6, -1200, 5, -100, 600);
  c.Save(plain);

  CGlobalConfig d;
  CGlobalConfig e;
  {
    testsupport::GermanLocale de;
    if (!de.Active()) GTEST_SKIP() << "no German locale available";
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.2f", 0.12);
    EXPECT_STREQ(probe, "0,12");  // the locale really is German
    d.Load(plain);
    d.Save(german);
    e.Load(german);
  }

  EXPECT_EQ(ReadFile(plain), ReadFile(german));
  EXPECT_EQ(Read(german, "GLOBCONF", "PPCU"), "0.12");
  EXPECT_EQ(Read(german, "CHARGES", "TaxValue"), "16.00");
  EXPECT_FLOAT_EQ(d.PPCU, 0.12f);
  EXPECT_FLOAT_EQ(e.PPCU, 0.12f);
  EXPECT_FLOAT_EQ(e.TaxValue, 16.0f);
  EXPECT_FLOAT_EQ(e.CurrencyToEuroFactor, 0.4975f);
}

TEST_F(GlobalConfigTest, EmptyLanguageFileNamesAreFormedAndWritten) {
  const std::string f = Path("lang.ini");
  WriteFile(f, "[INTERNAL]\r\nLangFile=\r\nHelpFile=\r\n");
  CGlobalConfig c;
  c.SetLanguageId(0x409);
  c.Load(f);
  EXPECT_EQ(c.LangFile, "velt_eng.lng");
  EXPECT_EQ(c.HelpFile, "velt_eng.hlp");
  EXPECT_EQ(Read(f, "INTERNAL", "LangFile"), "velt_eng.lng");

  WriteFile(f, "[INTERNAL]\r\nLangFile=\r\n");
  CGlobalConfig swiss;
  swiss.SetLanguageId(0x807);
  swiss.Load(f);
  EXPECT_EQ(swiss.LangFile, "velt_ger.lng");
  EXPECT_EQ(swiss.HelpFile, "velt_ger.hlp");  // missing key: its default
  EXPECT_EQ(Read(f, "INTERNAL", "HelpFile"), "<missing>");
}

TEST_F(GlobalConfigTest, WindowPositionsKeepNegativeCoordinatesThroughTheFile) {
  const std::string f = Path("wnd.ini");
  CGlobalConfig c;
  EXPECT_EQ(c.SetWindowPosition(1, -1200, -30, -10, 768), 1);
  EXPECT_EQ(c.SetWindowPosition(6, 40000, -40000, 0, 0), 1);  // held to 16 bits
  EXPECT_EQ(c.SetWindowPosition(3, 0, 0, 0, 0), 0);
  c.Save(f);
  EXPECT_EQ(Read(f, "WPOSITIONS", "WndPos01"), "-1200,-30,-10,768");
  CGlobalConfig back;
  back.Load(f);
  int l, t, r, b;
  EXPECT_EQ(back.GetWindowPosition(1, l, t, r, b), 1);
  EXPECT_EQ(l, -1200);
  EXPECT_EQ(t, -30);
  EXPECT_EQ(r, -10);
  EXPECT_EQ(b, 768);
  EXPECT_EQ(back.GetWindowPosition(6, l, t, r, b), 1);
  EXPECT_EQ(l, 32767);
  EXPECT_EQ(t, -32768);
}

TEST_F(GlobalConfigTest, IdsOutsideOneToTenAreNeitherReadNorStored) {
  CGlobalConfig c;
  for (int id : {0, 11, -1, 65537}) {
    EXPECT_EQ(c.SetWindowPosition(id, 1, 2, 3, 4), 0) << id;
    int l = 9, t = 9, r = 9, b = 9;
    EXPECT_EQ(c.GetWindowPosition(id, l, t, r, b), 0) << id;
    EXPECT_EQ(l | t | r | b, 0);
  }
  for (int i = 0; i < CGlobalConfig::kWindowPositions; ++i) {
    const WindowPositionEntry& e = c.WindowTable()[i];
    EXPECT_EQ(e.id, i + 1);
    EXPECT_EQ(e.left | e.top | e.right | e.bottom, 0);
  }
  const std::string f = Path("ids.ini");
  WriteFile(f, "[WPOSITIONS]\r\nWndPos00=1,2,3,4\r\nWndPos11=1,2,3,4\r\n");
  c.Load(f);
  int l, t, r, b;
  for (int id = 1; id <= 10; ++id) EXPECT_EQ(c.GetWindowPosition(id, l, t, r, b), 0);
}

TEST(GlobalConfigNumbers, DialNumberRules) {
  CGlobalConfig c;  // IntPhnNumLength 2, trunk digit '0', CUTOFFLEADINGDIGIT 1
  std::string out;
  EXPECT_EQ(c.GetDialNumber("0621", out), 1);
  EXPECT_EQ(out, "621");
  EXPECT_EQ(c.GetDialNumber("21", out), 0);
  EXPECT_EQ(out, "21");
  EXPECT_EQ(c.GetDialNumber("621", out), 0);  // no trunk digit to cut
  EXPECT_EQ(out, "621");
  EXPECT_EQ(c.GetDialNumber("", out), 0);
  EXPECT_EQ(out, "");
  EXPECT_EQ(c.IsInternalNumber("21"), 1);
  EXPECT_EQ(c.IsInternalNumber("210"), 0);
  EXPECT_EQ(c.IsInternalNumber(nullptr), 1);

  c.CUTOFFLEADINGDIGIT = 0;
  EXPECT_EQ(c.GetDialNumber("621", out), 1);
  EXPECT_EQ(out, "0621");
  EXPECT_EQ(c.GetDialNumber("21", out), 0);
  EXPECT_EQ(out, "21");

  char buf[4];
  EXPECT_EQ(c.GetDialNumberBuffer("621", buf, sizeof buf), 1);
  EXPECT_STREQ(buf, "062");  // cut to the buffer, terminated
  EXPECT_EQ(c.GetDialNumberBuffer("621", nullptr, 4), 1);

  EXPECT_EQ(c.GetCallerNumber("6215551234", out), 1);
  EXPECT_EQ(out, "06215551234");
  EXPECT_EQ(c.GetCallerNumber("22", out), 0);
  EXPECT_EQ(out, "22");
  c.DialOfficeDigits = 0;
  EXPECT_EQ(c.GetCallerNumber("6215551234", out), 0);
  EXPECT_EQ(out, "6215551234");
  c.DialOfficeDigits = 1;
  char small[6];
  EXPECT_EQ(c.GetCallerNumberBuffer("6215551234", small, sizeof small), 1);
  EXPECT_STREQ(small, "06215");
}

TEST(GlobalConfigNumbers, DatesByPattern) {
  EXPECT_EQ(CGlobalConfig::ParseDateByPattern("31.12.99", "DD.MM.YY"), testsupport::LocalTime(1999, 12, 31, 23, 59, 59));
  // Two-digit years below 70 belong to this century.
  EXPECT_EQ(CGlobalConfig::ParseDateByPattern("01.02.05", "dd.mm.yy"), testsupport::LocalTime(2005, 2, 1, 23, 59, 59));
  EXPECT_EQ(CGlobalConfig::ParseDateByPattern("01.02.69", "dd.mm.yy"), testsupport::LocalTime(2069, 2, 1, 23, 59, 59));
  EXPECT_EQ(CGlobalConfig::ParseDateByPattern("01.02.70", "dd.mm.yy"), testsupport::LocalTime(1970, 2, 1, 23, 59, 59));
  EXPECT_EQ(CGlobalConfig::ParseDateByPattern("2026-12-08", "YYYY-MM-DD"), testsupport::LocalTime(2026, 12, 8, 23, 59, 59));
  EXPECT_EQ(CGlobalConfig::ParseDateByPattern("12/08/2026", "MM/DD/YYYY"), testsupport::LocalTime(2026, 12, 8, 23, 59, 59));
  // Month and day out of range become 1.
  EXPECT_EQ(CGlobalConfig::ParseDateByPattern("00.13.26", "DD.MM.YY"), testsupport::LocalTime(2026, 1, 1, 23, 59, 59));
  EXPECT_EQ(CGlobalConfig::ParseDateByPattern("31.12.1999", "DD.MM.YY"), 0);
  EXPECT_EQ(CGlobalConfig::ParseDateByPattern("3a.12.99", "DD.MM.YY"), 0);
  EXPECT_EQ(CGlobalConfig::ParseDateByPattern(nullptr, "DD"), 0);
}

TEST(GlobalConfigNumbers, HoursAndMinutes) {
  EXPECT_EQ(CGlobalConfig::FormatHours(28800), "08");
  EXPECT_EQ(CGlobalConfig::FormatMinutes(28800), "00");
  EXPECT_EQ(CGlobalConfig::FormatHours(50400 + 1800 + 59), "14");
  EXPECT_EQ(CGlobalConfig::FormatMinutes(50400 + 1800 + 59), "30");
  EXPECT_EQ(CGlobalConfig::ParseHoursMinutes("8", "30"), 30600);
  EXPECT_EQ(CGlobalConfig::ParseHoursMinutes("18", ""), 64800);
  EXPECT_EQ(CGlobalConfig::ParseHoursMinutes(nullptr, nullptr), 0);
}

TEST(GlobalConfigText, ReplaceTokenNeverOverflows) {
  char buf[32] = "Ruf %RemoteNumber% an";
  EXPECT_EQ(CGlobalConfig::ReplaceToken(buf, sizeof buf, "%RemoteNumber%", "0621555"), 15u);
  EXPECT_STREQ(buf, "Ruf 0621555 an");
  EXPECT_EQ(CGlobalConfig::ReplaceToken(buf, sizeof buf, "%RemoteNumber%", "1"), 0u);

  char tight[20] = "Ruf %RemoteNumber%";
  EXPECT_EQ(CGlobalConfig::ReplaceToken(tight, sizeof tight, "%RemoteNumber%", "0123456789012345"), 0u);
  EXPECT_STREQ(tight, "Ruf %RemoteNumber%");  // untouched
  EXPECT_EQ(CGlobalConfig::ReplaceToken(tight, sizeof tight, "%RemoteNumber%", "012345678901234"), 20u);
  EXPECT_STREQ(tight, "Ruf 012345678901234");

  char shorter[32] = "a%X%b%X%";
  EXPECT_EQ(CGlobalConfig::ReplaceToken(shorter, sizeof shorter, "%X%", nullptr), 6u);
  EXPECT_STREQ(shorter, "ab%X%");
  EXPECT_EQ(CGlobalConfig::ReplaceToken(nullptr, 10, "%X%", "y"), 0u);
  EXPECT_EQ(CGlobalConfig::ReplaceToken(shorter, sizeof shorter, "", "y"), 0u);
  char unterminated[4] = {'%', 'X', '%', 'z'};
  EXPECT_EQ(CGlobalConfig::ReplaceToken(unterminated, sizeof unterminated, "%X%", ""), 0u);
}

TEST(GlobalConfigText, ReportStrings) {
  CGlobalConfig c;
  EXPECT_STREQ(c.GetReportString(256, 256), "180 mm");
  EXPECT_STREQ(c.GetReportString(256, 1), "10 mm");
  EXPECT_STREQ(c.GetReportString(256, 8192), "rm");
  EXPECT_STREQ(c.GetReportString(256, 16), "");
  EXPECT_STREQ(c.GetReportString(256, 2), "");  // the reports' odd side margin: the page style's stands
  EXPECT_STREQ(c.GetReportString(256, 3), "");
  EXPECT_STREQ(c.GetReportString(258, 1), "");

  plat::ManualLoop loop(testsupport::LocalTime(2026, 12, 8, 6, 5, 4));
  plat::SetEventLoop(&loop);
  EXPECT_STREQ(c.GetReportString(257, 1), "8.12.2026, 6:05:04 h");
  EXPECT_STREQ(c.GetReportString(257, 2), "8.12.2026");
  EXPECT_STREQ(c.GetReportString(257, 4), "6:05:04 h");
  EXPECT_STREQ(c.GetReportString(257, 3), "");
  plat::SetEventLoop(nullptr);
}

TEST(GlobalConfigText, DaylightSavingFlag) {
  const char* old = std::getenv("TZ");
  const std::string saved = old ? old : "";
  ::setenv("TZ", "Europe/Berlin", 1);
  ::tzset();
  const std::time_t summer = 1782900000;  // July 2026
  const std::time_t winter = 1767225600;  // January 2026
  EXPECT_TRUE(CGlobalConfig::IsDaylightSavingTime(&summer));
  EXPECT_FALSE(CGlobalConfig::IsDaylightSavingTime(&winter));
  if (old)
    ::setenv("TZ", saved.c_str(), 1);
  else
    ::unsetenv("TZ");
  ::tzset();
}

TEST_F(GlobalConfigTest, CopyFileCopiesOrReportsFailure) {
  WriteFile(Path("a.txt"), std::string("bytes\0and more", 14));
  CGlobalConfig c;
  EXPECT_EQ(c.CopyFileLZ(Path("a.txt").c_str(), Path("b.txt").c_str()), 1);
  EXPECT_EQ(ReadFile(Path("b.txt")), std::string("bytes\0and more", 14));
  EXPECT_EQ(c.CopyFileLZ(Path("missing.txt").c_str(), Path("c.txt").c_str()), 0);
  EXPECT_EQ(c.CopyFileLZ(nullptr, Path("c.txt").c_str()), 0);
}

}  // namespace

namespace {

class ConfigFiles : public TempDirTest {
 protected:
  std::vector<std::string> Names() const { return testsupport::NamesIn(dir_.string()); }
};

void Vary(CGlobalConfig& c, int gen) {
  c.NSLA = "10.0.0." + std::to_string(gen);
  c.ASSCCP = gen % 2;
  c.LastReadOutTimeStamp = 1765180800 + gen;
  c.OFFNUM = std::to_string(gen % 10);
}

}  // namespace

TEST_F(ConfigFiles, AFailedSaveLeavesTheSettingsAndIsReported) {
  const std::string f = Path("brimlow.ini");
  WriteFile(f, "[MFRM]\r\nLP=5\r\n");
  CGlobalConfig c;
  c.Load(f);
  Vary(c, 3);
  const std::string before = ReadFile(f);
  for (auto [op, err] : {std::pair{plat::io::Op::Open, ENOSPC}, {plat::io::Op::Write, ENOSPC},
                         {plat::io::Op::Fsync, EIO}, {plat::io::Op::Rename, ENOSPC}}) {
    testsupport::FileFault fault(op, 1, err);
    EXPECT_FALSE(c.Save(f)) << plat::io::OpName(op);
    EXPECT_EQ(ReadFile(f), before) << plat::io::OpName(op);
    EXPECT_EQ(Names(), std::vector<std::string>{"brimlow.ini"});
  }
  testsupport::FileFault count;
  EXPECT_TRUE(c.Save(f));
  EXPECT_EQ(count.Count(plat::io::Op::Rename), 1);
  EXPECT_EQ(Read(f, "NETCONF", "NSLA"), "10.0.0.3");
}

// A child saving the settings at exit, killed at random instants: the file
// holds the old settings or the new ones whole, and what a killed save left
// beside it goes at the next save.
TEST_F(ConfigFiles, AKilledSaveLeavesOldOrNewSettingsAndNoLeftovers) {
  const std::string f = Path("brimlow.ini");
  WriteFile(f, "[MFRM]\r\nLP=5\r\n");
  CGlobalConfig a, b;
  a.Load(f);
  b.Load(f);
  Vary(a, 1);
  Vary(b, 2);
  const std::string seed = ReadFile(f);
  ASSERT_TRUE(a.Save(f));
  const std::string bytesA = ReadFile(f);
  ASSERT_TRUE(b.Save(f));
  const std::string bytesB = ReadFile(f);
  WriteFile(f, seed);
  const testsupport::KillTally t = testsupport::KillEndlessWriter(
      {.enough = 50, .time = std::chrono::seconds(3)}, 20000,
      [&] {
        for (;;) {
          a.Save(f);
          b.Save(f);
        }
      },
      [&](int run) {
        const std::string now = ReadFile(f);
        EXPECT_TRUE(now == seed || now == bytesA || now == bytesB) << "run " << run << ": " << now.size();
      });
  EXPECT_EQ(t.killed, t.runs);  // the writer never ends by itself
  // Killed between writing its temporary and the rename: a full copy stays.
  WriteFile(f, seed);
  for (int nth : {1, 2}) {  // before the file's fsync, before the rename
    EXPECT_TRUE(testsupport::RunChild(
        [&] {
          testsupport::KillAtOp kill(nth, {plat::io::Op::Fsync, plat::io::Op::Rename});
          a.Save(f);
        },
        0));
  }
  EXPECT_EQ(Names().size(), 2u);  // the second writer cleared the first one's
  EXPECT_EQ(ReadFile(f), seed);
  ASSERT_TRUE(b.Save(f));
  EXPECT_EQ(Names(), std::vector<std::string>{"brimlow.ini"});
  EXPECT_EQ(ReadFile(f), bytesB);
}
