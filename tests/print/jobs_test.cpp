// Job slots, the command tables, plain files, tab stops, units and the
// guards against jobs without a usable printer.
#include <unistd.h>

#include <cfloat>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/eventloop.h"
#include "platform/msgbox.h"
#include "support.h"
#include "tests/support/testsupport.h"

using namespace printtest;
namespace fs = std::filesystem;

namespace {

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/marpelXXXXXX";
    path_ = mkdtemp(tmpl);
  }
  ~TempDir() { fs::remove_all(path_); }
  fs::path operator/(const std::string& n) const { return path_ / n; }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

class Jobs : public PrintTest {};

}  // namespace

TEST_F(Jobs, TheEleventhJobIsRefusedAndAReleaseFreesItsSlot) {
  for (int i = 0; i < 10; ++i) EXPECT_EQ(MARPLAPICreatePrintFile("Report.log", 4, 2), i);
  EXPECT_EQ(MARPLAPICreatePrintFile("Report.log", 4, 2), MARPL_NO_JOB);
  EXPECT_EQ(MARPLAPIReleasePrintJob(6), 1);
  EXPECT_EQ(MARPLAPIReleasePrintJob(6), 0);
  EXPECT_EQ(MARPLAPICreatePrintFile("Report.log", 4, 2), 6);
}

TEST_F(Jobs, RefusedCreatesKeepTheirSlotFree) {
  TempDir dir;
  EXPECT_EQ(MARPLAPICreatePrintFile(nullptr, 4, 2), MARPL_NO_JOB);
  EXPECT_EQ(MARPLAPICreatePrintFile("x", 5, 2), MARPL_NO_JOB);
  EXPECT_EQ(MARPLAPICreatePrintFile((dir / "missing").c_str(), 0, 2), MARPL_NO_JOB);
  EXPECT_EQ(MARPLAPICreatePrintFile((dir / "no/such/folder").c_str(), 1, 2), MARPL_NO_JOB);
  EXPECT_EQ(MARPLAPICreatePrintFile("Report.log", 4, 2), 0);
}

TEST_F(Jobs, PlainFilesGetTheirLinesAndTheLatexHeader) {
  TempDir dir;
  const auto latex = dir / "r.tex", text = dir / "r.txt", text3 = dir / "r3.txt";
  const std::uint16_t l = MARPLAPICreatePrintFile(latex.c_str(), 2, 2);
  const std::uint16_t t = MARPLAPICreatePrintFile(text.c_str(), 1, 2);
  const std::uint16_t t3 = MARPLAPICreatePrintFile(text3.c_str(), 3, 2);
  EXPECT_EQ(MARPLAPISetSequence(t, 11, 0, 5, "erste Zeile"), 1);
  EXPECT_EQ(MARPLAPISetSequence(t, 11, 0, 6, "zweite"), 1);
  const std::int16_t n = 7;
  EXPECT_EQ(MARPLAPISetSequence(t, 11, 0, 2, &n), 0);
  EXPECT_EQ(MARPLAPISetSequence(t, 12, 0, 5, "tabbed"), 0);  // printers only
  EXPECT_EQ(MARPLAPISetSequence(t3, 11, 0, 5, "nichts"), 0);
  EXPECT_EQ(MARPLAPISetSequence(l, 11, 0, 5, "nichts"), 0);
  for (auto j : {l, t, t3}) EXPECT_EQ(MARPLAPIReleasePrintJob(j), 1);
  EXPECT_EQ(Slurp(latex), "\\documentstyle[german, 12pt]{article}\r\n");
  EXPECT_EQ(Slurp(text), "erste Zeile\r\nzweite\r\n");
  EXPECT_EQ(Slurp(text3), "");
}

TEST_F(Jobs, ReleaseDeletesOnlyPlainFilesWithFlagOne) {
  TempDir dir;
  struct Case {
    const char* name;
    std::uint32_t type, flag;
    bool survives;
  } cases[] = {
      {"plain-1", 1, 1, false},
      {"plain-2", 1, 2, true},
      {"latex-1", 2, 1, false},
      {"Report", 4, 1, true},  // a document name: the user's file of that name stays
  };
  for (const Case& c : cases) {
    const auto path = dir / c.name;
    std::ofstream(path) << "keep";
    const std::uint16_t job = MARPLAPICreatePrintFile(path.c_str(), c.type, c.flag);
    ASSERT_NE(job, MARPL_NO_JOB) << c.name;
    EXPECT_EQ(MARPLAPIReleasePrintJob(job), 1);
    EXPECT_EQ(fs::exists(path), c.survives) << c.name;
  }
}

TEST_F(Jobs, UnknownJobsAndNullTextsAnswerZero) {
  const std::uint16_t job = Started();
  const std::uint16_t free = 7;
  for (std::uint16_t id : {std::uint16_t(0xFFFF), std::uint16_t(10), std::uint16_t(0x8000), free}) {
    SCOPED_TRACE(id);
    EXPECT_EQ(MARPLAPISetSequence(id, 12, 22, 5, "x"), 0);
    EXPECT_EQ(MARPLAPISetLaTeXCommand(id, "\\rm"), 0);
    EXPECT_EQ(MARPLAPISetPageStyle(id, "dina4"), 0);
    EXPECT_EQ(MARPLAPITableLine(id, nullptr), 0);
    EXPECT_EQ(MARPLAPIEndTable(id), 0);
    EXPECT_EQ(MARPLAPIReleasePrintJob(id), 0);
    EXPECT_EQ(MARPLAPIConfigPrintJobEx(id, 0), 0);
    EXPECT_EQ(MARPLAPIGetDeviceContextCaps(id, 8), 0);
    EXPECT_EQ(MARPLAPIGetDeviceContextDimension(id, 1, "x"), 0);
    MARPLMEASURE m{MARPL_UNIT_IN, 0};
    EXPECT_EQ(MARPLAPIConvertUnit(id, MARPL_UNIT_MM, 25.4f, &m), 0);
  }
  EXPECT_EQ(MARPLAPISetLaTeXCommand(job, nullptr), 0);
  EXPECT_EQ(MARPLAPISetPageHeader(job, nullptr), 0);
  EXPECT_EQ(MARPLAPISetPageStyle(job, nullptr), 0);
  EXPECT_EQ(MARPLAPIBeginTable(job, nullptr), 0);
  EXPECT_EQ(MARPLAPITableHeader(job, nullptr), 0);
  EXPECT_EQ(MARPLAPITableEntry(job, nullptr), 0);
  EXPECT_EQ(MARPLAPITabbedText(job, nullptr), 0);
  EXPECT_EQ(MARPLAPISetSequence(job, 12, 22, 5, nullptr), 0);
  EXPECT_EQ(MARPLAPIGetDeviceContextDimension(job, 1, nullptr), 0);
  EXPECT_EQ(MARPLAPITableLine(job, "not empty"), 0);
  EXPECT_TRUE(rec->Texts().empty());
}

TEST_F(Jobs, TabStopsInPercentAndDeviceUnits) {
  const std::uint16_t job = Job(2400);
  const std::int32_t percent[] = {10, 50, -1};
  EXPECT_EQ(MARPLAPISetSequence(job, 3, 0, 2, percent), 2);
  EXPECT_EQ(L(job).tabStops, (std::vector<std::int32_t>{240, 1200}));
  const std::int32_t device[] = {100, 250, 32767, -1};
  EXPECT_EQ(MARPLAPISetSequence(job, 4, 0, 4, device), 3);
  EXPECT_EQ(L(job).tabStops, (std::vector<std::int32_t>{100, 250, 32767}));
  // Percentages are worked out in 32 bits.
  const std::int32_t wide[] = {32767, -1};
  EXPECT_EQ(MARPLAPISetSequence(job, 3, 0, 2, wide), 1);
  EXPECT_EQ(L(job).tabStops, (std::vector<std::int32_t>{786408}));
}

TEST_F(Jobs, BadTabStopListsAreRefused) {
  const std::uint16_t job = Job(2400);
  const std::int32_t good[] = {5, -1};
  std::vector<std::int32_t> sixtyFour(64, 7), sixtyFourEnded(64, 7), sixtyThree(63, 7);
  sixtyFourEnded.push_back(-1);
  sixtyThree.push_back(-1);
  struct Case {
    const char* what;
    std::vector<std::int32_t> list;
    std::uint16_t result;
  } cases[] = {
      {"no end among 64", sixtyFour, 0},
      {"64 stops and the end", sixtyFourEnded, 0},
      {"63 stops", sixtyThree, 63},
      {"too large", {10, 40000, -1}, 0},
      {"negative", {10, -5, -1}, 0},
      {"empty", {-1}, 0},
  };
  for (const Case& c : cases) {
    MARPLAPISetSequence(job, 4, 0, 2, good);
    EXPECT_EQ(MARPLAPISetSequence(job, 4, 0, 2, c.list.data()), c.result) << c.what;
    EXPECT_EQ(L(job).tabStops.size(), c.result ? c.result : (c.list.size() == 1 ? 0u : 1u)) << c.what;
  }
  EXPECT_EQ(MARPLAPISetSequence(job, 4, 0, 2, nullptr), 0);
  EXPECT_EQ(MARPLAPISetSequence(job, 4, 0, 5, "10"), 0);  // another kind empties the list
  EXPECT_TRUE(L(job).tabStops.empty());
}

TEST_F(Jobs, TabsExpandAtTheStops) {
  const std::uint16_t job = Started();
  const std::int32_t stops[] = {300, 900, -1};
  MARPLAPISetSequence(job, 4, 0, 2, stops);
  EXPECT_EQ(MARPLAPITabbedText(job, "a\tb\tc\td"), 1);
  auto t = rec->Texts();
  ASSERT_EQ(t.size(), 4u);
  EXPECT_EQ(t[0].x, 0);
  EXPECT_EQ(t[1].x, 300);
  EXPECT_EQ(t[2].x, 900);
  EXPECT_EQ(t[3].x, 900 + 8 * 25);  // past the last stop: eight average characters
}

TEST_F(Jobs, PrinterCommandsWithoutAUsableDeviceDrawNothing) {
  plat::ManualLoop loop;
  plat::ScriptedMessageBox box;
  plat::SetMessageBoxImpl(&box);
  // No device yet.
  const std::uint16_t bare = MARPLAPICreatePrintFile("Report.log", 4, 2);
  EXPECT_EQ(Cmd(bare, 1, 0, "Report.log"), 0);
  EXPECT_EQ(MARPLAPITabbedText(bare, "x"), 0);
  EXPECT_EQ(Tex(bare, "\\rm"), 0);
  EXPECT_EQ(MARPLAPISetPageStyle(bare, "dina4"), 0);
  MARPLAPIReleasePrintJob(bare);

  // After the end of the document the device is gone, and freed once.
  std::uint16_t job = Started();
  auto first = rec;
  EXPECT_EQ(MARPLAPITabbedText(job, "vorher"), 1);
  EXPECT_EQ(Cmd(job, 2, 0), 1);
  EXPECT_EQ(first->destroyed, 1);
  EXPECT_EQ(MARPLAPITabbedText(job, "danach"), 0);
  EXPECT_EQ(Cmd(job, 1, 0, "again"), 0);
  EXPECT_EQ(Cmd(job, 2, 0), 0);
  EXPECT_EQ(MARPLAPIReleasePrintJob(job), 1);
  EXPECT_EQ(first->destroyed, 1);
  EXPECT_EQ(first->Texts().size(), 1u);

  // A start that fails answers 0, tells the user from the queue, and the
  // commands after it draw nothing.
  job = Job();
  surface->failBegin = true;
  EXPECT_EQ(Cmd(job, 1, 0, "Report.log"), 0);
  EXPECT_TRUE(box.shown.empty());
  loop.RunUntilIdle();
  ASSERT_EQ(box.shown.size(), 1u);
  EXPECT_EQ(box.shown[0].text, "Error on StartDoc");
  surface->failBegin = false;
  EXPECT_EQ(Cmd(job, 1, 0, "Report.log"), 0);
  EXPECT_EQ(MARPLAPITabbedText(job, "x"), 0);
  EXPECT_EQ(MARPLAPIGetDeviceContextCaps(job, 8), 0);
  EXPECT_TRUE(rec->ops.empty());
  EXPECT_EQ(MARPLAPIReleasePrintJob(job), 1);
  EXPECT_EQ(rec->destroyed, 1);
  plat::SetMessageBoxImpl(nullptr);
}

TEST_F(Jobs, ReleaseInTheMiddleOfADocumentAbandonsIt) {
  const std::uint16_t job = Started();
  MARPLAPITabbedText(job, "x");
  EXPECT_EQ(MARPLAPIReleasePrintJob(job), 1);
  EXPECT_EQ(rec->aborted, 1);
  EXPECT_EQ(rec->destroyed, 1);
}

TEST_F(Jobs, DeviceCapsOfThePrinter) {
  const std::uint16_t job = Job(2480, 3508, 300, 600);
  const std::uint16_t other = Job();
  struct Case {
    std::uint16_t index, value;
  } cases[] = {{4, 210}, {6, 149}, {8, 2480}, {10, 3508}, {12, 24}, {14, 1}, {40, 600}, {42, 300},
               {44, 671}, {88, 300}, {90, 600}, {0, 0},    {2, 0},     {104, 0}, {1279, 0}};
  for (const Case& c : cases) EXPECT_EQ(MARPLAPIGetDeviceContextCaps(job, c.index), c.value) << c.index;
  EXPECT_NE(MARPLAPIGetDeviceContextCaps(job, 1280), 0);
  EXPECT_NE(MARPLAPIGetDeviceContextCaps(job, 1280), MARPLAPIGetDeviceContextCaps(other, 1280));
  const std::uint16_t text = MARPLAPICreatePrintFile("/dev/null", 1, 2);
  EXPECT_EQ(MARPLAPIGetDeviceContextCaps(text, 8), 0);
}

TEST_F(Jobs, PositionsBeyondSixteenBitsAreClampedAtTheBoundary) {
  // A3 at 2400 dpi: 28063 x 39685 device units.
  const std::uint16_t job = Started(28063, 39685, 2400, 2400);
  EXPECT_EQ(MARPLAPIGetDeviceContextCaps(job, 8), 28063);
  EXPECT_EQ(MARPLAPIGetDeviceContextCaps(job, 10), 32767);
  Tex(job, "\\textheight{410mm}");
  Tex(job, "\\rm{60pt}");
  for (int i = 0; i < 60; ++i) MARPLAPITabbedText(job, "Zeile");
  auto t = rec->Texts(1);
  ASSERT_GT(t.size(), 10u);
  int last = -1;
  for (const Op& o : t) {
    EXPECT_GT(o.y, last);
    last = o.y;
  }
  EXPECT_GT(last, 32767);
  EXPECT_LE(last + t.back().width, 410 * 2400 / 25.4);
  EXPECT_EQ(MARPLAPIGetDeviceContextDimension(job, 1, std::string(2000, 'M').c_str()), 32767);
}

TEST_F(Jobs, UnitConversionRoundsToTenths) {
  const std::uint16_t job = Job(2400, 3400, 304.8, 304.8);
  const std::uint16_t noDevice = MARPLAPICreatePrintFile("Report.log", 4, 2);
  struct Case {
    std::uint32_t from, to;
    float value, result;
    std::uint16_t ok;
  } cases[] = {
      {MARPL_UNIT_MM, MARPL_UNIT_IN, 25.4f, 1.0f, 1},
      {MARPL_UNIT_CM, MARPL_UNIT_IN, 10, 3.9f, 1},
      {MARPL_UNIT_IN, MARPL_UNIT_PT, 1, 72.3f, 1},
      {MARPL_UNIT_MM, MARPL_UNIT_DEVICE, 1.5f, 18, 1},
      {MARPL_UNIT_DEVICE, MARPL_UNIT_CM, 120, 1, 1},
      {MARPL_UNIT_MM, MARPL_UNIT_MM, 12.34f, 12.3f, 1},
      {MARPL_UNIT_MM, 7, 1, 0, 0},
      {9, MARPL_UNIT_MM, 1, 0, 0},
  };
  for (const Case& c : cases) {
    MARPLMEASURE m{c.to, -1};
    EXPECT_EQ(MARPLAPIConvertUnit(job, c.from, c.value, &m), c.ok) << c.from << "->" << c.to;
    if (c.ok) {
      EXPECT_FLOAT_EQ(m.value, c.result) << c.from << "->" << c.to;
    }
  }
  MARPLMEASURE m{MARPL_UNIT_DEVICE, -1};
  EXPECT_EQ(MARPLAPIConvertUnit(noDevice, MARPL_UNIT_MM, 10, &m), 0);  // no printer, no device units
  m = {MARPL_UNIT_CM, -1};
  EXPECT_EQ(MARPLAPIConvertUnit(noDevice, MARPL_UNIT_MM, 10, &m), 1);
  EXPECT_FLOAT_EQ(m.value, 1);
  EXPECT_EQ(MARPLAPIConvertUnit(job, MARPL_UNIT_MM, 10, nullptr), 0);
}

TEST_F(Jobs, UnitTextsUseTheDecimalPointWhateverTheLocale) {
  testsupport::GermanLocale german;
  ASSERT_TRUE(german.Active());
  char out[MARPL_UNIT_TEXT_SIZE + 8];
  struct Case {
    std::uint32_t unit;
    float value;
    const char* text;
  } cases[] = {{0, 210, "210.00 mm"}, {1, 2.5f, "2.50 cm"}, {2, 10, "10.00 pt"}, {3, -0.125f, "-0.12 in"}};
  for (const Case& c : cases) {
    EXPECT_EQ(MARPLAPIConvertBaseUnitToString(c.unit, c.value, out), 1);
    EXPECT_STREQ(out, c.text);
  }
  EXPECT_EQ(MARPLAPIConvertBaseUnitToString(4, 1, out), 0);
  EXPECT_EQ(MARPLAPIConvertBaseUnitToString(0, 1, nullptr), 0);
  // The largest float fits the documented size.
  std::memset(out, '#', sizeof out);
  EXPECT_EQ(MARPLAPIConvertBaseUnitToString(0, -FLT_MAX, out), 1);
  EXPECT_LT(std::strlen(out), std::size_t{MARPL_UNIT_TEXT_SIZE});
  for (std::size_t i = MARPL_UNIT_TEXT_SIZE; i < sizeof out; ++i) EXPECT_EQ(out[i], '#');

  struct Read {
    const char* text;
    std::uint32_t unit;
    float value;
  } reads[] = {{"210.00 mm", 0, 210}, {"2,5cm", 1, 2.5f}, {" 12.5 pt", 2, 12.5f}, {"-1 in", 3, -1},
               {"42", 4, 42},        {"abc", 4, 0},      {"1 mm cm", 0, 1},     {"3cm in", 1, 3}};
  for (const Read& r : reads) {
    MARPLMEASURE m{99, -1};
    EXPECT_EQ(MARPLAPIConvertStringToBaseUnit(r.text, &m), 1) << r.text;
    EXPECT_EQ(m.unit, r.unit) << r.text;
    EXPECT_FLOAT_EQ(m.value, r.value) << r.text;
  }
  MARPLMEASURE m{};
  EXPECT_EQ(MARPLAPIConvertStringToBaseUnit(nullptr, &m), 0);
  EXPECT_EQ(MARPLAPIConvertStringToBaseUnit("1mm", nullptr), 0);
}

TEST_F(Jobs, LoggingSwitchesAndTheFontLog) {
  TempDir dir;
  const fs::path before = fs::current_path();
  fs::current_path(dir.path());
  const std::uint16_t job = Started();
  EXPECT_EQ(MARPLAPISetInternalParam("GlobalLogging", "EIN"), 0);
  Tex(job, "\\vspace{1mm}");
  EXPECT_EQ(MARPLAPISetInternalParam("GlobalLogging", "Aus"), 0);
  Tex(job, "\\vspace{2mm}");
  MARPLAPISetInternalParam("globallogging", "on");  // names are exact
  Tex(job, "\\vspace{3mm}");
  MARPLAPISetInternalParam("FontLogging", "On");
  Tex(job, "\\rm{14pt}");
  MARPLAPISetInternalParam("FontLogging", nullptr);
  Tex(job, "\\rm{12pt}");
  MARPLAPISetInternalParam(nullptr, "on");
  const std::string log = Slurp(dir / "fonts.log");
  fs::current_path(before);
  EXPECT_EQ(log, "\\vspace{1mm}\r\n-69, 0, 0, 0, 400, 0, 0, 0, 0, 1, 2, 1, 18, MS Serif\r\n");
}

TEST_F(Jobs, NoOpExportsAnswerZero) {
  const std::uint16_t job = Job();
  EXPECT_EQ(MARPLAPISetDeviceContextFont(job, nullptr), 0);
  EXPECT_EQ(MARPLAPISetNotificationParams(job, 1, 2), 0);
  EXPECT_EQ(MARPLAPISetStringParam(job, "a", "b"), 0);
  EXPECT_EQ(MARPLAPIAckNotification(job, 1), 0);
  EXPECT_EQ(MARPLAPIGetAPICaps(1), 0);
  EXPECT_EQ(MARPLAPIGetDeviceContextFont(job, nullptr), 0);
  EXPECT_EQ(MARPLAPIPrintJob(job), 0);
  EXPECT_EQ(MARPLAPISetParam(job, 1, 2), 0);
}
