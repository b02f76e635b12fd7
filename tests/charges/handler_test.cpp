// The handler on its own: files, selection, report lines and summaries, on
// charge files made byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "charges/handler/chargeandloghandler.h"
#include "charges/handler/chargetime.h"
#include "charges/handler/chargewire.h"
#include "core/base/globalconfig.h"
#include "platform/eventloop.h"
#include "platform/msgbox.h"
#include "platform/text.h"
#include "platform/textid.h"
#include "tests/support/filefaults.h"
#include "tests/support/testsupport.h"

namespace {

const char* TestText(int group, int entry) {
  static thread_local char buf[32];
  plat::FormatC(buf, sizeof buf, "T%i.%i", group, entry);
  return buf;
}

struct Rec {
  std::uint32_t start;
  int duration, units;
  const char* calling;
  const char* called;
};

std::string Bytes(const ChargeFileHeader& h, const std::vector<Rec>& recs) {
  std::string s(ChargeFileHeader::kSize, '\0');
  h.Serialize(reinterpret_cast<std::uint8_t*>(s.data()));
  for (const Rec& r : recs) {
    ChargeRecord c;
    c.start = r.start;
    c.duration = static_cast<std::int16_t>(r.duration);
    c.units = static_cast<std::int16_t>(r.units);
    c.SetCalling(r.calling);
    c.SetCalled(r.called);
    std::uint8_t b[ChargeRecord::kSize];
    c.Serialize(b);
    s.append(reinterpret_cast<char*>(b), sizeof b);
  }
  return s;
}

class HandlerTest : public ::testing::Test {
 protected:
  HandlerTest() {
    tzBefore_ = std::getenv("TZ") ? std::getenv("TZ") : "";
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
    GlobalConfig().SDFN.clear();
    table_ = std::make_unique<CMonitorTable>();
    for (const char* n : {"21", "22", "23", "25"}) {
      CMonitorEntry e;
      e.SetNumber(n);
      e.name = std::string("Name") + n;
      table_->SetEntry(e);
    }
    plat::SetTextSource(&TestText);
    plat::SetMessageBoxImpl(&boxes_);
    dir_ = std::filesystem::temp_directory_path() / ("brimlow-chargeh-" + std::to_string(::getpid()) + "-" +
                                                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    ::setenv("TMPDIR", dir_.c_str(), 1);
    jan_ = static_cast<std::uint32_t>(testsupport::LocalTime(2024, 1, 15, 12, 0, 0));
    jul_ = static_cast<std::uint32_t>(testsupport::LocalTime(2024, 7, 15, 12, 0, 0));
  }
  ~HandlerTest() override {
    h_.reset();
    table_.reset();
    plat::SetTextSource(nullptr);
    plat::SetMessageBoxImpl(nullptr);
    ::unsetenv("TMPDIR");
    if (tzBefore_.empty()) ::unsetenv("TZ");
    else ::setenv("TZ", tzBefore_.c_str(), 1);
    ::tzset();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::string File() const { return (dir_ / "charproc.log").string(); }
  CChargeAndLogHandler& Open(const std::string& bytes) {
    testsupport::PutFile(File(), bytes);
    h_ = std::make_unique<CChargeAndLogHandler>(&config_);
    h_->SetPartners(nullptr, nullptr, nullptr, table_.get());
    EXPECT_EQ(h_->OpenChargeFile(File()), 1);
    return *h_;
  }
  std::vector<Rec> Sample() const {
    return {
        {jan_, 60, 10, "21", "0891234"},          // 0: internal outgoing
        {jul_, 5, 0, "22", "0301111"},            // 1: no units
        {jan_ - 86400, 100, 2, "0891234", "23"},  // 2: external incoming
        {jan_ + 60, 30, 1, "555", "21"},          // 3: short external number
        {jan_ + 120, 30, 1, "5555", "22"},        // 4
    };
  }
  // A read-out of the given records as the PBX answers it (no filter: the
  // handler's requests go nowhere).
  static void ReadOut(CChargeAndLogHandler& h, const std::vector<Rec>& recs) {
    ASSERT_EQ(h.StartAllRecordsReadOut(), 1);
    h.ProcessChargeMessage(chargewire::CountReply(17, "856"));
    h.ProcessChargeMessage(chargewire::CountReply(1, std::to_string(recs.size())));
    for (std::size_t i = 0; i < recs.size(); ++i)
      h.ProcessChargeMessage(chargewire::RecordReply(static_cast<long>(i), recs[i].start, recs[i].duration,
                                                     recs[i].units, recs[i].calling, recs[i].called));
  }

  plat::ManualLoop loop_;
  plat::ScriptedMessageBox boxes_;
  CGlobalConfig config_;
  std::unique_ptr<CMonitorTable> table_;
  std::unique_ptr<CChargeAndLogHandler> h_;
  std::filesystem::path dir_;
  std::string tzBefore_;
  std::uint32_t jan_ = 0, jul_ = 0;
};

TEST_F(HandlerTest, MatchingByMode) {
  using Setup = std::function<void(CChargeAndLogHandler&)>;
  const Setup none = [](CChargeAndLogHandler&) {};
  auto param = [](int id, std::int32_t v) { return [id, v](CChargeAndLogHandler& h) { h.SetParameter(id, &v); }; };
  auto pattern = [](const char* p) { return [p](CChargeAndLogHandler& h) { h.SetParameter(1, p); }; };
  auto both = [](Setup a, Setup b) { return [a, b](CChargeAndLogHandler& h) { a(h), b(h); }; };
  const std::uint32_t jan = jan_;
  struct Case {
    const char* name;
    int mode, record;
    Setup setup;
    int want;
  } cases[] = {
      {"0 internal", 0, 0, none, 1},
      {"0 no units", 0, 1, none, 0},
      {"0 external caller", 0, 2, none, 0},
      {"3 as 0", 3, 0, none, 1},
      {"0 extension unflagged", 0, 0, [](CChargeAndLogHandler& h) { h.SelectExtension("21", 0); }, 0},
      {"0 after the end", 0, 0, [jan](CChargeAndLogHandler& h) { h.SetTimeRange(0, jan - 1); }, 0},
      {"0 before the start", 0, 0, [jan](CChargeAndLogHandler& h) { h.SetTimeRange(jan + 1, 0); }, 0},
      {"0 minimum duration", 0, 0, param(6, 61), 0},
      {"1 all", 1, 1, none, 1},
      {"2 leading 0", 2, 2, none, 1},
      {"2 three digits", 2, 3, none, 0},
      {"2 four digits", 2, 4, none, 1},
      {"2 extension switch, unflagged", 2, 2,
       both(param(11, 1), [](CChargeAndLogHandler& h) { h.SelectExtension("23", 0); }), 0},
      {"2 units switch", 2, 2, both(param(13, 1), param(10, 3)), 0},
      {"4 star then digits", 4, 0, pattern("*12"), 1},
      {"4 digits then star", 4, 0, pattern("08*"), 1},
      {"4 digits then star, other number", 4, 1, pattern("08*"), 0},
      {"4 exact", 4, 1, pattern("22"), 1},
      {"4 prefix without star", 4, 1, pattern("2"), 1},
      {"4 no fit", 4, 0, pattern("9"), 0},
      {"4 switches off", 4, 0, both(pattern("*"), both(param(7, 0), param(8, 0))), 0},
      {"4 extension switch uses the called index first", 4, 3,
       both(pattern("55*"), both(param(11, 1), [](CChargeAndLogHandler& h) { h.SelectExtension("21", 0); })), 0},
      {"5 period", 5, 1, none, 1},
      {"5 extension switch with the caller flagged", 5, 0, param(11, 1), 1},
      {"5 extension switch, numbers off", 5, 0, both(param(11, 1), both(param(7, 0), param(8, 0))), 0},
      {"unknown mode", 7, 0, none, 0},
  };
  for (const Case& c : cases) {
    CChargeAndLogHandler& h = Open(Bytes(ChargeFileHeader::Default(), Sample()));
    c.setup(h);
    // The record through the report cursor, as the reports read it.
    int got = 0;
    for (int more = h.ReadNextMatching(1, 1), i = 0; more; more = h.ReadNextMatching(0, 1), ++i)
      if (i == c.record) got = h.MatchesSelection(h.ReadRecord(), c.mode);
    EXPECT_EQ(got, c.want) << c.name;
  }
  ChargeRecord empty;
  EXPECT_EQ(h_->MatchesSelection(empty, 1), 0);
}

TEST_F(HandlerTest, ReportLinesUnderBerlinAndGermanLocale) {
  testsupport::GermanLocale de;
  CChargeAndLogHandler& h = Open(Bytes(ChargeFileHeader::Default(), Sample()));
  EXPECT_EQ(h.GetFirstReportLine(1, 1), "15.01.24\t12:00:00\t0:01:00\t21\t0891234\t 1.20 DM");
  EXPECT_EQ(h.GetNextReportLine(1, 1), "15.07.24\t12:00:00\t0:00:05\t22\t0301111\t 0.00 DM");
  std::vector<std::string> rest;
  for (std::string l = h.GetNextReportLine(1, 1); !l.empty(); l = h.GetNextReportLine(1, 1)) rest.push_back(l);
  EXPECT_EQ(rest.size(), 3u);
  EXPECT_EQ(h.QuerySum(), 14);
  EXPECT_EQ(h.GetSummaryText(6, 0), "  1.68 DM");
  EXPECT_EQ(h.GetSummaryText(6, 2), "T48.14   1.68 DM");
  // Kind 4: style 1 with its leading tab, mode 0 only the first record.
  EXPECT_EQ(h.GetFirstReportLine(4, 0), "\t15.01.24\t12:00:00\t0:01:00\t21\t0891234\t 1.20 DM");
  EXPECT_EQ(h.GetNextReportLine(4, 0), "");
  h.SetShowNumbers(0);
  EXPECT_EQ(h.GetFirstReportLine(1, 0), "15.01.24\t12:00:00\t0:01:00\t21\t*\t 1.20 DM");
  EXPECT_EQ(h.FormatReportLine(1, 2), "15.01.24\t12:00:00\t60\t21\t*\t10");
  EXPECT_EQ(h.FormatTemplateLine(""), "\t15.01.24\t12:00:00\t0:01:00\t21\t*\t10");
  EXPECT_EQ(h.FormatReportLine(9, 0), "");
}

TEST_F(HandlerTest, PatternsAreKeptAndBounded) {
  CChargeAndLogHandler& h = Open(Bytes(ChargeFileHeader::Default(), Sample()));
  h.GetFirstReportLine(1, 4, "08*");
  EXPECT_EQ(h.NumberPattern(), "08*");
  h.GetFirstReportLine(1, 4, nullptr);
  EXPECT_EQ(h.NumberPattern(), "08*");
  const std::string longer(300, '7');
  h.SetParameter(1, longer.c_str());
  EXPECT_EQ(h.NumberPattern(), std::string(127, '7'));
  char out[40];
  ChargeRecord r;
  r.SetCalling("21");
  r.SetCalled("0891234567");
  h.FillPartyNumbers(r, "A%CallingPartyNr%B%CalledPartyNr%C%CalledPartyNr%", out, sizeof out);
  EXPECT_STREQ(out, "A21B0891234567C%Call");  // the template cut to the size first
  r.SetCalled("0891234567890123456");
  char small[16];
  h.FillPartyNumbers(r, "%CalledPartyNr%", small, sizeof small);
  EXPECT_STREQ(small, "089123456789012");
}

TEST_F(HandlerTest, MinimumUnitsInCents) {
  testsupport::GermanLocale de;
  struct Case {
    float price;
    int kind;
    const char* text;
    int ret, units;
  } cases[] = {
      {0.12f, 1, "0.36", 1, 3}, {0.12f, 1, "0,36", 1, 3},   {0.12f, 1, "1", 1, 8},  {0.12f, 1, "0.35", 1, 2},
      {0.0f, 1, "1.00", 0, 1},  {0.12f, 0, "7", 1, 7},      {0.12f, 1, "x", 0, 1},  {0.12f, 1, nullptr, 0, 1},
      {0.12f, 0, "99999", 1, 65535},
  };
  for (const Case& c : cases) {
    config_.PPCU = c.price;
    CChargeAndLogHandler& h = Open(Bytes(ChargeFileHeader::Default(), {}));
    EXPECT_EQ(h.SetMinUnits(c.kind, c.text), c.ret) << (c.text ? c.text : "null");
    EXPECT_EQ(h.Header().selection.minUnits, c.units) << (c.text ? c.text : "null");
  }
  config_.PPCU = 0.12f;
  CChargeAndLogHandler& h = Open(Bytes(ChargeFileHeader::Default(), {}));
  h.SetMinUnits(0, "3");
  EXPECT_EQ(h.GetMinUnitsText(1), "0.36");
  EXPECT_EQ(h.GetMinUnitsText(0), "3");
  EXPECT_EQ(h.GetMinUnitsText(2), "");
}

TEST_F(HandlerTest, SelectionOperations) {
  CChargeAndLogHandler& h = Open(Bytes(ChargeFileHeader::Default(), Sample()));
  EXPECT_EQ(h.SelectExtension("*", 0), 2);
  EXPECT_EQ(h.SelectExtension("-", 0), 3);
  std::int32_t flags[60];
  h.GetExtensionFlags(60, flags);
  for (int f : flags) EXPECT_EQ(f, 0);
  EXPECT_EQ(h.SelectExtension("99", 1), 0);
  EXPECT_EQ(h.SelectExtension("22", 5), 5);
  EXPECT_EQ(h.IsExtensionSelected("22"), 5);
  EXPECT_EQ(h.IsExtensionSelected("0022 - Herr X"), 5);
  EXPECT_EQ(h.IsExtensionSelected("99"), 0);
  // The table changes: the cached index follows.
  CMonitorEntry* e = table_->FindByNumber("22");
  e->SetNumber("77");
  EXPECT_EQ(h.IsExtensionSelected("22"), 0);
  EXPECT_EQ(h.IsExtensionSelected("77"), 5);
  std::uint32_t from = 1, to = 1;
  EXPECT_EQ(h.SetTimeRange(100, 0), 1);
  EXPECT_EQ(h.GetTimeRange(&from, &to), 1);
  EXPECT_EQ(from, 100u);
  EXPECT_EQ(to, 0u);  // no read-out yet
  EXPECT_EQ(h.GetReadOutTimeText(1), "");
  EXPECT_EQ(h.GetParameter(99), nullptr);
  std::int32_t v = 1;
  EXPECT_EQ(h.SetParameter(16, &v), 0);
  EXPECT_EQ(h.SetParameter(2, nullptr), 0);
  EXPECT_EQ(h.SetParameter(2, &v), 1);
  EXPECT_EQ(*static_cast<const std::int32_t*>(h.GetParameter(7)), 1);
  EXPECT_EQ(h.GetFieldCount(), 30);
  EXPECT_EQ(h.GetFieldName(0), "%Date%");
  EXPECT_EQ(h.GetFieldName(21), "%DurationFTime%");
  EXPECT_EQ(h.GetFieldName(30), "");
  EXPECT_EQ(h.GetFieldType(21), 4);
  EXPECT_EQ(h.GetFieldIndex(21), 0);
}

TEST_F(HandlerTest, Summaries) {
  CChargeAndLogHandler& h = Open(Bytes(ChargeFileHeader::Default(), Sample()));
  h.SelectExtension("-", 0);
  for (const char* n : {"21", "22", "23", "25"}) h.SelectExtension(n, 1);
  struct Case {
    int kind, style;
    std::string want;
  } cases[] = {
      {1, 0, "T48.20"}, {1, 3, "T48.17"}, {1, 4, ""}, {2, 1, "21-23; 25"}, {2, 2, "T48.16 21-23; 25"},
      {3, 1, "1.01.95, 0:00 h - "}, {7, 2, "T48.41: intern, abgehend"}, {9, 1, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(h.GetSummaryText(c.kind, c.style), c.want) << c.kind << "/" << c.style;
  h.SelectExtension("23", 0);
  EXPECT_EQ(h.GetSummaryText(2, 1), "21, 22; 25");
  std::int32_t mode = 4;
  h.SetParameter(15, &mode);
  h.SetParameter(1, "08*");
  EXPECT_EQ(h.GetSummaryText(7, 2), "T48.41: Einzelne Nummer <08*>");
}

TEST_F(HandlerTest, RecordingOffGivesNothing) {
  config_.CPROCON = 0;
  testsupport::PutFile(File(), Bytes(ChargeFileHeader::Default(), Sample()));
  CChargeAndLogHandler h(&config_);
  EXPECT_EQ(h.OpenChargeFile(File()), 0);
  EXPECT_EQ(h.GetFirstReportLine(1, 1), "");
  EXPECT_EQ(h.GetFirstReportLine(0, 1), "");
  EXPECT_EQ(h.StartAllRecordsReadOut(), 0);
  EXPECT_EQ(h.StartNewRecordsReadOut(), 0);
  EXPECT_EQ(h.SaveState(), 0);
}

TEST_F(HandlerTest, FileSafety) {
  // A torn tail: the next record lands behind the last whole one.
  std::string torn = Bytes(ChargeFileHeader::Default(), {{jan_, 1, 1, "21", "1"}, {jan_, 2, 1, "21", "2"}});
  torn += std::string(20, 'x');
  {
    CChargeAndLogHandler& h = Open(torn);
    ReadOut(h, {{jan_, 3, 1, "21", "3"}});
    const std::string bytes = testsupport::FileBytes(File());
    ASSERT_EQ(bytes.size(), 256u + 3 * 48u);
    EXPECT_EQ(ChargeRecord::Parse(reinterpret_cast<const std::uint8_t*>(bytes.data()) + 256 + 96).Called(), "3");
    // The header names the read-out; the configuration got the index.
    EXPECT_NE(ChargeFileHeader::Parse(reinterpret_cast<const std::uint8_t*>(bytes.data())).selection.recordsReadOut, 0u);
    EXPECT_EQ(config_.LastReadOutIndex, 1);
  }
  // A file shorter than a header stays as it is, with one box.
  const std::string hundred(100, 'q');
  testsupport::PutFile(File(), hundred);
  CChargeAndLogHandler shortFile(&config_);
  EXPECT_EQ(shortFile.OpenChargeFile(File()), 0);
  EXPECT_EQ(shortFile.StartAllRecordsReadOut(), 0);
  loop_.RunUntilIdle();
  EXPECT_EQ(testsupport::FileBytes(File()), hundred);
  EXPECT_EQ(boxes_.shown.size(), 1u);
}

TEST_F(HandlerTest, SavedReports) {
  CChargeAndLogHandler& h = Open(Bytes(ChargeFileHeader::Default(), Sample()));
  const std::string target = (dir_ / "report.txt").string();
  testsupport::PutFile(target, "old");
  {
    testsupport::FileFault readOnly(plat::io::Op::Rename, 1, EROFS);
    EXPECT_EQ(h.SaveReport(0, target.c_str(), 1), 0);
  }
  EXPECT_EQ(testsupport::FileBytes(target), "old");
  EXPECT_EQ(testsupport::NamesIn(dir_.string()).size(), 3u);  // no temporary left beside
  EXPECT_EQ(h.SaveReport(0, target.c_str(), 0), 1);
  EXPECT_EQ(testsupport::FileBytes(target), "15.01.24\t12:00:00\t0:01:00\t21\t0891234\t 1.20 DM\r\n");
  EXPECT_EQ(h.SaveReport(0, nullptr, 0), 0);
  // Kind 1 copies the selection file, which holds the matches when asked.
  std::int32_t copy = 1;
  h.SetParameter(14, &copy);
  h.GetFirstReportLine(1, 0);
  const std::string sel = (dir_ / "sel.clh").string();
  EXPECT_EQ(h.SaveReport(1, sel.c_str(), 0), 0);
  EXPECT_EQ(testsupport::FileBytes(sel).size(), 256u + 48u);
  EXPECT_TRUE(h.SelectionFileOpen());
  EXPECT_EQ(h.SaveReport(1, (dir_ / "missing" / "x.clh").c_str(), 0), -1);
  EXPECT_TRUE(h.SelectionFileOpen());
  const std::string selName = h.SelectionFileName();
  h.CloseFiles();
  EXPECT_FALSE(std::filesystem::exists(selName));
}

TEST_F(HandlerTest, ReportCursorIsNotTheFilePosition) {
  CChargeAndLogHandler& h = Open(Bytes(ChargeFileHeader::Default(), Sample()));
  EXPECT_NE(h.GetFirstReportLine(1, 1).find("0891234"), std::string::npos);
  ReadOut(h, {{jan_ + 999, 3, 1, "21", "4711"}});
  EXPECT_NE(h.GetNextReportLine(1, 1).find("0301111"), std::string::npos);
  EXPECT_EQ(h.RecordCount(), 6u);
  h.Command(8);
  EXPECT_EQ(testsupport::FileBytes(File()).size(), 256u);
  EXPECT_EQ(h.GetFirstReportLine(1, 1), "");
}

struct RecordingWindow : IChargeWindow {
  std::vector<std::string> seen;
  void OnChargeWindowNotify(int code, const std::string& text) override {
    seen.push_back(std::to_string(code) + (text.empty() ? "" : ":" + text));
  }
};

// A run in a child process that opens the charge file and then waits to
// be killed; its selection file's name comes back through a pipe.
struct SelectionRun {
  pid_t pid = -1;
  std::string selection;
  SelectionRun(CGlobalConfig& config, const std::string& file) {
    int fds[2];
    if (::pipe(fds) != 0) return;
    pid = ::fork();
    if (pid == 0) {
      ::close(fds[0]);
      CChargeAndLogHandler h(&config);
      h.OpenChargeFile(file);
      const std::string name = h.SelectionFileName() + "\n";
      [[maybe_unused]] ssize_t w = ::write(fds[1], name.data(), name.size());
      for (;;) ::pause();
    }
    ::close(fds[1]);
    for (char c; selection.empty() || selection.back() != '\n';) {
      pollfd p{fds[0], POLLIN, 0};
      if (::poll(&p, 1, 10000) <= 0 || ::read(fds[0], &c, 1) != 1) break;
      selection += c;
    }
    ::close(fds[0]);
    if (!selection.empty() && selection.back() == '\n') selection.pop_back();
  }
  void Kill() {
    if (pid <= 0) return;
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    pid = -1;
  }
  ~SelectionRun() { Kill(); }
};

// Runs killed with their selection file open leave it in $TMPDIR: the next
// start removes those, and keeps the one of a run that still goes on and
// any other file there.
TEST_F(HandlerTest, AStartRemovesTheSelectionFilesOfKilledRuns) {
  testsupport::PutFile(File(), Bytes(ChargeFileHeader::Default(), Sample()));
  std::vector<std::string> killed;
  for (int run = 0; run < 3; ++run) {
    SelectionRun r(config_, File());
    ASSERT_FALSE(r.selection.empty()) << run;
    r.Kill();
    EXPECT_TRUE(std::filesystem::exists(r.selection)) << r.selection;
    killed.push_back(r.selection);
  }
  SelectionRun alive(config_, File());
  ASSERT_FALSE(alive.selection.empty());
  const std::vector<std::string> others = {(dir_ / "T4840").string(), (dir_ / "T4840.tmp").string(),
                                           (dir_ / "T4840abcdef").string(), (dir_ / "T4840.tmpx_1").string()};
  for (const std::string& o : others) testsupport::PutFile(o, "keep");

  CChargeAndLogHandler& h = Open(Bytes(ChargeFileHeader::Default(), Sample()));
  for (const std::string& k : killed) EXPECT_FALSE(std::filesystem::exists(k)) << k;
  EXPECT_TRUE(std::filesystem::exists(alive.selection));
  for (const std::string& o : others) EXPECT_EQ(testsupport::FileBytes(o), "keep") << o;
  ASSERT_TRUE(h.SelectionFileOpen());
  EXPECT_EQ(h.SelectionFileName().rfind((dir_ / ("T4840.tmp" + std::to_string(::getpid()) + "_")).string(), 0), 0u)
      << h.SelectionFileName();
  const std::string own = h.SelectionFileName();
  h_.reset();
  EXPECT_FALSE(std::filesystem::exists(own));
  alive.Kill();
}

TEST_F(HandlerTest, WindowsGetTheirCodes) {
  CChargeAndLogHandler& h = Open(Bytes(ChargeFileHeader::Default(), {}));
  RecordingWindow records, sums, third;
  EXPECT_EQ(h.SetRecordsWindow(&records), 1);
  EXPECT_EQ(h.SetSumsWindow(&sums), 1);
  EXPECT_EQ(h.SetThirdWindow(&third), 1);
  ReadOut(h, {{jan_, 1, 1, "21", "1"}, {jan_, 2, 1, "21", "2"}});
  EXPECT_EQ(records.seen, (std::vector<std::string>{"9:T48.24 2", "9:T48.22   1 T48.23   2", "4", "9"}));
  EXPECT_EQ(third.seen, (std::vector<std::string>{"9:T48.24 2", "9:T48.22   1 T48.23   2", "9"}));
  EXPECT_EQ(sums.seen.size(), 3u);
  EXPECT_NE(h.GetReadOutTimeText(1), "");
  struct Case {
    int target;
    std::size_t records, sums, third;
  } cases[] = {{0, 1, 0, 0}, {1, 0, 1, 0}, {2, 0, 0, 1}, {-1, 1, 1, 1}, {3, 0, 0, 0}, {-2, 0, 0, 0}};
  for (const Case& c : cases) {
    records.seen.clear(), sums.seen.clear(), third.seen.clear();
    h.ForwardToWindows(c.target, 9, "x");
    EXPECT_EQ(records.seen.size(), c.records) << c.target;
    EXPECT_EQ(sums.seen.size(), c.sums) << c.target;
    EXPECT_EQ(third.seen.size(), c.third) << c.target;
  }
  records.seen.clear();
  h.Command(7);
  EXPECT_EQ(records.seen, std::vector<std::string>{"7"});
  EXPECT_EQ(h.SetRecordsWindow(nullptr), 0);
  h.Command(7);
  EXPECT_EQ(records.seen.size(), 1u);
}

// A read-out killed at any instant: the file holds whole records behind a
// whole header, and reading everything again ends with each call once.
TEST_F(HandlerTest, KilledReadOutLosesAndDoublesNothing) {
  std::vector<Rec> recs;
  std::vector<std::string> called;
  for (int i = 0; i < 200; ++i) called.push_back(std::to_string(1000 + i));
  for (int i = 0; i < 200; ++i) recs.push_back({jan_ + static_cast<std::uint32_t>(i), 10, 1, "21", called[static_cast<std::size_t>(i)].c_str()});
  auto writer = [&] {
    CChargeAndLogHandler h(&config_);
    h.OpenChargeFile(File());
    std::vector<Rec> part(recs.begin(), recs.begin() + 100);
    ReadOut(h, part);
    ReadOut(h, recs);
  };
  // An untouched run first, then runs killed at instants inside it.
  testsupport::PutFile(File(), Bytes(ChargeFileHeader::Default(), {}));
  ASSERT_FALSE(testsupport::RunChild(writer, 0));
  auto reRead = [&](int run) {
    const std::string bytes = testsupport::FileBytes(File());
    ASSERT_GE(bytes.size(), 256u);
    CChargeAndLogHandler& h = Open(bytes);
    ReadOut(h, recs);
    EXPECT_EQ(h.RecordCount(), 200u) << "run " << run;
    h_.reset();
    testsupport::PutFile(File(), Bytes(ChargeFileHeader::Default(), {}));
  };
  reRead(-1);
  const testsupport::KillTally t = testsupport::KillAtRandomInstants(
      {.enough = 6, .time = std::chrono::seconds(4), .maxRuns = 200}, 1000000, writer, [&](int run, bool) {
        reRead(run);
        return true;
      });
  RecordProperty("killed", t.killed);
}


// A PBX that holds more records than the first guess of its maximum: after
// a restart, reading all of them again stores none twice, whatever the
// maximum it names and however many records the file already holds.
TEST_F(HandlerTest, ReReadAfterRestartStoresNothingForAnyMaximum) {
  struct Case {
    int stored, maximum;
  };
  for (const Case c : {Case{2000, 2000}, Case{900, 1200}, Case{856, 856}, Case{5000, 65535}}) {
    std::vector<std::string> called;
    for (int i = 0; i < c.stored; ++i) called.push_back(std::to_string(100000 + i));
    std::vector<Rec> recs;
    for (int i = 0; i < c.stored; ++i)
      recs.push_back({jan_ + static_cast<std::uint32_t>(i), 10, 1, "21", called[static_cast<std::size_t>(i)].c_str()});
    CChargeAndLogHandler& h = Open(Bytes(ChargeFileHeader::Default(), recs));
    ASSERT_EQ(h.StartAllRecordsReadOut(), 1);
    h.ProcessChargeMessage(chargewire::CountReply(17, std::to_string(c.maximum)));
    h.ProcessChargeMessage(chargewire::CountReply(1, std::to_string(recs.size())));
    for (std::size_t i = 0; i < recs.size(); ++i)
      h.ProcessChargeMessage(chargewire::RecordReply(static_cast<long>(i), recs[i].start, recs[i].duration,
                                                     recs[i].units, recs[i].calling, recs[i].called));
    EXPECT_EQ(h.Job(), CChargeAndLogHandler::kJobNone) << c.stored;
    EXPECT_EQ(h.RecordCount(), static_cast<std::uint32_t>(c.stored)) << c.stored << " / " << c.maximum;
    h_.reset();
  }
}

}  // namespace
