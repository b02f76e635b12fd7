// The own workstation's call data file: what the call model writes to it,
// how it is read back, what survives full disks and kills, and what the
// actions on a line do to the call handler, the callback list and the
// phone book.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "charges/calldata/selectedcallinfolist.h"
#include "core/base/globalconfig.h"
#include "core/iface/viewhub.h"
#include "platform/msgbox.h"
#include "platform/text.h"
#include "platform/textid.h"
#include "scenario.h"
#include "scenario_rig.h"
#include "tests/support/filefaults.h"

using testsupport::FileBytes;
using testsupport::PutFile;

namespace {

const char* TestText(int group, int entry) {
  static thread_local char buf[32];
  plat::FormatC(buf, sizeof buf, "T%i.%i", group, entry);
  return buf;
}

class CallDataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    saved_ = GlobalConfig();
    GlobalConfig().PPCU = 0.12f;
    GlobalConfig().CAUN = "EUR";
    plat::SetTextSource(&TestText);
    dir_ = (std::filesystem::temp_directory_path() /
            ("brimlow_calldata_" + std::to_string(::getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name()))
               .string();
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    path_ = dir_ + "/cinfo.txt";
  }
  void TearDown() override {
    plat::SetTextSource(nullptr);
    GlobalConfig() = saved_;
    std::filesystem::remove_all(dir_);
  }
  std::vector<std::string> Lines(CSelectedCallInformationList& list) { return ReadCallDataLines(list); }

  CGlobalConfig saved_;
  std::string dir_, path_;
};

// A connected call of the own extension 21, as the call handler ends it.
void Connected(CCallInfo& c, const std::string& calling, const std::string& called, std::time_t begin, int units) {
  c.direction = called == "21" ? CCallInfo::kIncoming : CCallInfo::kOutgoing;
  c.callingNumber = calling;
  c.calledNumber = called;
  c.beginTime = begin;
  c.endTime = begin + 60;
  c.units = units;
  c.connectedMark = 1;
}

// Monday 2025-12-08 09:00:00 in Berlin: the manual loop's start.
constexpr std::time_t kStart = 1765180800;

}  // namespace

// ---------------------------------------------------------------- writing

TEST_F(CallDataTest, ConnectedCallsOfTheCallModelGiveOneLineEach) {
  CSelectedCallInformationList list(path_);
  Scenario s;
  s.prepare = [&](Scenario::Rig& r) {
    r.handler.callData = &list;
    list.callHandler = &r.handler;
  };
  EXPECT_EQ(s.Run(R"(
watch 21 2 main xref=1001
pbx delivered xref=1001 callid=100 device=21 alerting=21 calling=00301234 called=21
pbx established xref=1001 callid=100 device=21 calling=00301234 called=21
advance 65000
pbx cleared xref=1001 callid=100 device=21
pbx delivered xref=1001 callid=101 device=21 alerting=21 calling=0407777 called=21
pbx cleared xref=1001 callid=101 device=21
expect count missed 1
advance 600000
dial 0301234
pbx makecallconf xref=1001 callid=200 device=21
pbx established xref=1001 callid=200 device=21 calling=21 called=0301234
advance 30000
pbx cleared xref=1001 callid=200 device=21
)"),
            "");
  EXPECT_EQ(FileBytes(path_),
            "8. 12. 25\t9:00:00\t 0.00 EUR\t?\t?\t21\t0301234\r\n"
            "8. 12. 25\t9:11:05\t 0.00 EUR\t?\t?\t0301234\t21\r\n");
}

TEST_F(CallDataTest, OnlyConnectedCallsAreWrittenAndTheLineStaysOneLine) {
  struct Case {
    const char* name;
    int mark;
    const char* calling;
    const char* charge1;
    int added;
    const char* line;
  } cases[] = {
      {"connected", 1, "0301234", "", 1, "8. 12. 25\t9:00:00\t 0.24 EUR\t?\t?\t21\t0301234"},
      {"never connected", 0, "0301234", "", 0, nullptr},
      {"released", -1, "0301234", "", 0, nullptr},
      {"tab in a number", 1, "030\t1234", "", 1, "8. 12. 25\t9:00:00\t 0.24 EUR\t?\t?\t21\t030 1234"},
      {"line breaks in a charge text", 1, "0301234", "a\r\nb\nc\r", 1,
       "8. 12. 25\t9:00:00\t 0.24 EUR\ta  b c \t?\t21\t0301234"},
      {"zero byte", 1, "x", "", 1, nullptr},
  };
  std::string want;
  for (const Case& c : cases) {
    CSelectedCallInformationList list(path_);
    CCallInfo call;
    Connected(call, c.calling, "21", kStart, 2);
    if (std::string(c.name) == "zero byte") call.callingNumber = std::string("03\0" "1", 4);
    call.chargeText1 = c.charge1;
    call.connectedMark = c.mark;
    const std::string before = FileBytes(path_);
    EXPECT_EQ(list.AddCall(&call), c.added) << c.name;
    const std::string added = FileBytes(path_).substr(before.size());
    if (!c.added) {
      EXPECT_EQ(added, "") << c.name;
      continue;
    }
    ASSERT_GE(added.size(), 2u) << c.name;
    EXPECT_EQ(added.substr(added.size() - 2), "\r\n") << c.name;
    const std::string line = added.substr(0, added.size() - 2);
    EXPECT_EQ(line.find_first_of(std::string("\r\n\0", 3)), std::string::npos) << c.name;
    EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 6) << c.name;
    if (c.line) {
      EXPECT_EQ(line, c.line) << c.name;
    }
  }
  CSelectedCallInformationList list(path_);
  EXPECT_EQ(list.AddCall(nullptr), 0);
  EXPECT_EQ(Lines(list).size(), 4u);
}

TEST_F(CallDataTest, TheFileAsItIsFoundAndWithoutAName) {
  // An existing file is kept whole; a missing one is made empty.
  PutFile(path_, "old line\r\n");
  { CSelectedCallInformationList list(path_); }
  EXPECT_EQ(FileBytes(path_), "old line\r\n");
  const std::string fresh = dir_ + "/fresh.txt";
  { CSelectedCallInformationList list(fresh); }
  EXPECT_TRUE(std::filesystem::exists(fresh));
  EXPECT_EQ(FileBytes(fresh), "");

  // No CINFLFN: no file anywhere, nothing written, nothing to read.
  const auto before = testsupport::NamesIn(dir_);
  CSelectedCallInformationList none("");
  CCallInfo call;
  Connected(call, "21", "0301234", kStart, 1);
  EXPECT_EQ(none.AddCall(&call), 0);
  EXPECT_FALSE(none.FirstLine());
  EXPECT_EQ(none.EmptyList(), 1);
  EXPECT_STREQ(none.ReadLine(false, 0), "");
  EXPECT_EQ(testsupport::NamesIn(dir_), before);

  // Removed while the program runs: the next call makes it again.
  CSelectedCallInformationList list(path_);
  std::filesystem::remove(path_);
  EXPECT_EQ(list.AddCall(&call), 1);
  EXPECT_EQ(Lines(list).size(), 1u);
}

// However the last line of the file was ended (by us, by an editor that
// writes bare line feeds) or left open, the next call is the next line: no
// empty line before it, none glued to the old one.
TEST_F(CallDataTest, TheNextCallFollowsTheLastLineHoweverItEnds) {
  CCallInfo call;
  Connected(call, "21", "0301234", kStart, 1);
  const std::string line = CSelectedCallInformationList::FormLine(call) + "\r\n";
  struct Case {
    const char* name;
    std::string before, after;
  } cases[] = {
      {"empty", "", line},
      {"ended by us", "old\r\n", "old\r\n" + line},
      {"bare line feed", "old\n", "old\n" + line},
      {"two bare line feeds", "a\nb\n", "a\nb\n" + line},
      {"not ended", "old", "old\r\n" + line},
  };
  for (const Case& c : cases) {
    PutFile(path_, c.before);
    CSelectedCallInformationList list(path_);
    ASSERT_EQ(list.AddCall(&call), 1) << c.name;
    EXPECT_EQ(FileBytes(path_), c.after) << c.name;
    std::vector<std::string> lines = Lines(list);
    ASSERT_FALSE(lines.empty()) << c.name;
    EXPECT_EQ(lines.back() + "\r\n", line) << c.name;
  }
}

TEST_F(CallDataTest, AFailingDiskLeavesTheLinesThatWereThere) {
  CCallInfo call;
  Connected(call, "21", "0301234", kStart, 1);
  struct Case {
    plat::io::Op op;
    int nth;
    bool append;  // else EmptyList
  } cases[] = {
      {plat::io::Op::Open, 1, true},      {plat::io::Op::Write, 1, true},  {plat::io::Op::Fdatasync, 1, true},
      {plat::io::Op::Close, 1, true},     {plat::io::Op::Open, 1, false},  {plat::io::Op::Write, 1, false},
      {plat::io::Op::Fsync, 1, false},    {plat::io::Op::Rename, 1, false},
  };
  for (const Case& c : cases) {
    const std::string old = "08. 12. 25\t08:00:00\t 0.12 EUR\t?\t?\t0301234\t21\r\n";
    PutFile(path_, old);
    CSelectedCallInformationList list(path_);
    int result;
    {
      testsupport::FileFault fault(c.op, c.nth, ENOSPC);
      result = c.append ? list.AddCall(&call) : list.EmptyList();
      EXPECT_EQ(fault.Failed(), 1) << plat::io::OpName(c.op) << (c.append ? " append" : " empty");
    }
    EXPECT_EQ(result, c.append ? 0 : 1) << plat::io::OpName(c.op) << " is reported";
    const std::string now = FileBytes(path_);
    if (c.append && c.op == plat::io::Op::Close) {
      // The line was made durable before the close failed.
      EXPECT_EQ(now.substr(0, old.size()), old);
    } else {
      EXPECT_EQ(now, old) << plat::io::OpName(c.op) << (c.append ? " append" : " empty");
    }
    EXPECT_EQ(list.AddCall(&call), 1) << "and the next call goes in";
  }
}

TEST_F(CallDataTest, AKillWhileCallsAreAddedLeavesOnlyWholeLines) {
  CCallInfo call;
  Connected(call, "21", "0301234", kStart, 1);
  const std::string line = CSelectedCallInformationList::FormLine(call);
  auto wholeLines = [&](int run) {
    // Every line whole: a torn tail is ended by the next run's append.
    CSelectedCallInformationList list(path_);
    std::vector<std::string> lines = Lines(list);
    for (std::size_t i = 0; i + 1 < lines.size(); ++i)
      ASSERT_TRUE(lines[i] == line || line.compare(0, lines[i].size(), lines[i]) == 0)
          << "run " << run << " line " << i << ": " << lines[i];
  };
  const testsupport::KillTally t = testsupport::KillAtRandomInstants(
      {.enough = 12, .time = std::chrono::seconds(3)}, 20000,
      [&] {
        CSelectedCallInformationList list(path_);
        for (int i = 0; i < 2000; ++i) list.AddCall(&call);
      },
      [&](int run, bool) {
        wholeLines(run);
        return true;
      });
  // Each kill at an fdatasync: what was synced is there, line by line.
  for (int nth : {1, 5, 40}) {
    std::filesystem::remove(path_);
    testsupport::RunChild(
        [&] {
          CSelectedCallInformationList list(path_);
          testsupport::KillAtOp kill(nth, {plat::io::Op::Fdatasync});
          for (int i = 0; i < 100; ++i) list.AddCall(&call);
        },
        0);
    // Killed before the n-th sync: n lines were written, each whole.
    std::string want;
    for (int i = 0; i < nth; ++i) want += line + "\r\n";
    EXPECT_EQ(FileBytes(path_), want) << nth;
  }
  RecordProperty("killed", t.killed);
}

// ---------------------------------------------------------------- reading

TEST_F(CallDataTest, LinesComeBackInFileOrderWithoutTheEmptyOnes) {
  struct Case {
    const char* name;
    std::string bytes;
    std::vector<std::string> lines;
  } cases[] = {
      {"empty file", "", {}},
      {"one line without an end", "a", {"a"}},
      {"lines in order", "a\r\nb\r\nc\r\n", {"a", "b", "c"}},
      {"an empty line in the middle hides nothing", "a\r\n\r\nb\r\n", {"a", "b"}},
      {"only empty lines", "\r\n\r\n\n", {}},
      {"bare line feeds of an edited file", "a\nb\n", {"a", "b"}},
      {"a lone carriage return stays in its line", "a\rb\r\n", {"a\rb"}},
      {"a zero byte stays in its line", std::string("a\0b\r\n", 5), {std::string("a\0b", 3)}},
  };
  for (const Case& c : cases) {
    PutFile(path_, c.bytes);
    CSelectedCallInformationList list(path_);
    EXPECT_EQ(Lines(list), c.lines) << c.name;
    // The look-ahead form: the same lines, then null for good.
    list.FirstLine();
    std::vector<std::string> again;
    for (const char* l = list.NextLineText(); l; l = list.NextLineText()) again.push_back(l);
    if (c.bytes.find('\0') == std::string::npos) {
      EXPECT_EQ(again, c.lines) << c.name;
    }
    EXPECT_EQ(list.NextLineText(), nullptr) << c.name;
  }
}

TEST_F(CallDataTest, AFirstLineStartsAgainAndALongLineIsOneLine) {
  const std::string huge(CallDataLineReader::kMaxLine + 5000, 'x');
  PutFile(path_, "a\r\nb\r\n" + huge + "\r\nc\r\n");
  CSelectedCallInformationList list(path_);
  std::string line;
  ASSERT_TRUE(list.FirstLine());
  ASSERT_TRUE(list.NextLine(&line));
  EXPECT_EQ(line, "a");
  // An earlier reading ends: the first line again.
  ASSERT_TRUE(list.FirstLine());
  ASSERT_TRUE(list.NextLine(&line));
  EXPECT_EQ(line, "a");
  std::vector<std::string> rest;
  while (list.NextLine(&line)) rest.push_back(line);
  ASSERT_EQ(rest.size(), 3u);
  EXPECT_EQ(rest[0], "b");
  EXPECT_EQ(rest[1], huge.substr(0, CallDataLineReader::kMaxLine));
  EXPECT_EQ(rest[2], "c");
}

TEST_F(CallDataTest, TheBufferReadCutsAtItsSizeAndGoesOnAtTheNextLine) {
  const std::string l255(255, 'a'), l256(256, 'b'), l1000(1000, 'c');
  PutFile(path_, l255 + "\r\n" + l256 + "\r\n\r\n" + l1000 + "\r\nend");
  CSelectedCallInformationList list(path_);
  struct Step {
    bool clear;
    int mode;
    std::string text;
  } steps[] = {
      {false, 0, l255},
      {false, 1, std::string(255, 'b')},
      {false, 1, ""},  // the empty line
      {false, 1, std::string(255, 'c')},
      {true, 1, ""},   // cleared: no read
      {false, 1, "end"},
      {false, 1, ""},  // past the end
      {false, 0, l255},  // mode 0 starts again
  };
  int i = 0;
  for (const Step& s : steps) {
    const char* got = list.ReadLine(s.clear, s.mode);
    EXPECT_EQ(std::string(got), s.text) << "step " << i++;
  }
}

// ---------------------------------------------------------------- report

TEST_F(CallDataTest, ReportTexts) {
  Scenario::Rig r;
  CMonitorEntry e;
  e.SetNumber("21");
  e.monitoringOn = 1;
  r.table.SetEntry(e);
  r.table.SetMainPhone("21");
  CSelectedCallInformationList list(path_);
  EXPECT_EQ(list.GetReportText(4), "T58.8:\t");
  list.callHandler = &r.handler;
  EXPECT_EQ(list.GetReportText(0), "T58.1");
  EXPECT_EQ(list.GetReportText(1), "T58.2\tT58.3\tT58.4\tT58.5\tT58.6\tT58.7");
  EXPECT_EQ(list.GetReportText(2),
            "r{31. 12. 99},r{23:59:00},l{?},r{999.99 XX},l{0099000011112222},l{0099000011112222}");
  EXPECT_EQ(list.GetReportText(3).rfind("T58.2:\t", 0), 0u);
  EXPECT_NE(list.GetReportText(3).find(" h"), std::string::npos) << list.GetReportText(3);
  EXPECT_EQ(list.GetReportText(4), "T58.8:\t21");
  EXPECT_EQ(list.GetReportText(5), "");
  EXPECT_EQ(list.GetReportText(-1), "");
}

// ---------------------------------------------------------------- actions

namespace {

// The callback list as the actions see it, over the real pool.
class FakeCallbacks : public ICallDataCallbacks {
 public:
  explicit FakeCallbacks(CCallHandler& h) : handler(h) {}
  CCallHandler& handler;
  bool refuse = false;
  std::vector<CCallInfo*> given, added;
  CCallInfo* NewCallFor(int requester) override {
    CCallInfo* c = handler.GetFreeCall(requester);
    given.push_back(c);
    return c;
  }
  int AddCall(CCallInfo* call) override {
    if (refuse) return 0;
    added.push_back(call);
    return 1;
  }
};

// The actions on the real call handler with the scenario's fake link, view,
// phone book and boxes; the own extension is 21.
class CallDataActs : public CallDataTest {
 protected:
  void SetUp() override {
    CallDataTest::SetUp();
    Build();
  }
  // A fresh rig; the old one goes first (a call handler leaving unsets the
  // own number of whichever handler came after it).
  void Build() {
    list_.reset();
    callbacks_.reset();
    rig_.reset();
    rig_ = std::make_unique<Scenario::Rig>();
    plat::SetMessageBoxImpl(&rig_->boxes);
    CMonitorEntry e;
    e.SetNumber("21");
    e.monitoringOn = 1;
    e.crossRefId = 1001;
    e.monitorState = CMonitorEntry::kMonitored;
    rig_->table.SetEntry(e);
    rig_->table.SetMainPhone("21");
    callbacks_ = std::make_unique<FakeCallbacks>(rig_->handler);
    list_ = std::make_unique<CSelectedCallInformationList>(path_);
    list_->callHandler = &rig_->handler;
    list_->phoneBook = &rig_->book;
    list_->callbackList = callbacks_.get();
    list_->view = rig_->view.id;
    list_->showCall = [this](const CCallInfo& c) {
      shown_.push_back(c.callingNumber + ">" + c.calledNumber + " " + c.callingName + "|" + c.calledName + " " +
                       std::to_string(c.direction));
    };
  }
  void TearDown() override {
    list_.reset();
    callbacks_.reset();
    plat::SetMessageBoxImpl(nullptr);
    rig_.reset();
    CallDataTest::TearDown();
  }
  int HubCount(plat::UINT code) const {
    int n = 0;
    for (const HubRecord& m : rig_->view.messages) n += m.code == code;
    return n;
  }

  std::unique_ptr<Scenario::Rig> rig_;
  std::unique_ptr<FakeCallbacks> callbacks_;
  std::unique_ptr<CSelectedCallInformationList> list_;
  std::vector<std::string> shown_;
};

const std::string kOutgoingLine = "08. 12. 25\t09:00:00\t 0.12 EUR\t?\t?\t0301234\t21";
const std::string kIncomingLine = "08. 12. 25\t09:00:00\t 0.00 EUR\t?\t?\t21\t0407777";
const std::string kOtherLine = "08. 12. 25\t09:00:00\t 0.00 EUR\t?\t?\t22\t23";

}  // namespace

TEST_F(CallDataActs, CallBackDialsThePartnerAndLeavesTheCallWithTheHandler) {
  struct Case {
    const char* name;
    std::string line;
    bool refuse;      // the link refuses requests
    bool busy;        // a call is current already
    bool prompt;      // the handset prompt comes (and is cancelled)
    const char* dialled;  // the request's called number; null: none sent
    bool kept;        // the record stays with the handler (not released)
  } cases[] = {
      {"outgoing line", kOutgoingLine, false, false, false, "0301234", true},
      {"incoming line calls the caller", kIncomingLine, false, false, false, "0407777", true},
      {"empty line", "", false, false, false, nullptr, false},
      {"line without numbers", "\t\t\t\t\t\t", false, false, false, nullptr, false},
      {"link refuses: kept for redial", kOutgoingLine, true, false, false, nullptr, true},
      {"a call is current: no handset", kOutgoingLine, false, true, false, nullptr, false},
      {"handset prompt cancelled", kOutgoingLine, false, false, true, nullptr, false},
  };
  for (const Case& c : cases) {
    Build();
    rig_->link.refuse = c.refuse;
    // An idle phone asks for the handset unless dialling goes without it.
    GlobalConfig().GDOH = c.prompt ? 0 : 1;
    CCallInfo* busy = nullptr;
    if (c.busy) {
      busy = rig_->handler.GetFreeCall(12);
      busy->calledNumber = "0999";
      ASSERT_EQ(rig_->handler.MakeCall(busy, 12), 1);
      rig_->link.sent.clear();
    }
    const std::size_t poolBefore = rig_->handler.PoolSize();
    EXPECT_EQ(list_->Act(ICallDataSource::kCallBack, c.line), 0);
    ASSERT_EQ(rig_->handler.PoolSize(), poolBefore + 1) << c.name;
    CCallInfo* taken = rig_->handler.GetCallByCallReferenceID(static_cast<int>(poolBefore) + 1, 0);
    ASSERT_NE(taken, nullptr) << c.name;
    EXPECT_EQ(taken->generatorId, 31) << c.name;
    EXPECT_EQ(taken->connectedMark == -1, !c.kept) << c.name;
    if (c.dialled) {
      ASSERT_EQ(rig_->link.sent.size(), 1u) << c.name;
      EXPECT_EQ(rig_->handler.GetCurrentCall(0), taken) << c.name << ": the current call survives";
      EXPECT_EQ(taken->calledNumber, c.dialled) << c.name;
      EXPECT_EQ(taken->callingNumber, "21") << c.name;
    } else {
      EXPECT_EQ(rig_->link.sent.size(), 0u) << c.name;
      EXPECT_EQ(rig_->handler.GetCurrentCall(0), busy) << c.name;
    }
    EXPECT_EQ(rig_->prompt.shown, c.prompt ? 1 : 0) << c.name;
  }
}

TEST_F(CallDataActs, ShowTakesThePartnerFromThePhoneBook) {
  rig_->book.Add("0301234", "Muster GmbH", "", "Meier");
  rig_->book.Add("0407777", "Nord AG", "", "Schulz");
  struct Case {
    std::string line;
    const char* shown;  // calling>called calling name|called name direction
  } cases[] = {
      {kOutgoingLine, "21>0301234 |Meier 2"},
      {kIncomingLine, "0407777>21 Schulz| 1"},
      {"08. 12. 25\t09:00:00\t 0.00 EUR\t?\t?\t0555\t21", "21>0555 | 2"},
      {"", nullptr},
  };
  for (const Case& c : cases) {
    shown_.clear();
    const std::size_t pool = rig_->handler.PoolSize();
    list_->Act(ICallDataSource::kShow, c.line);
    if (c.shown) {
      ASSERT_EQ(shown_.size(), 1u) << c.line;
      EXPECT_EQ(shown_[0], c.shown);
    } else {
      EXPECT_TRUE(shown_.empty());
    }
    rig_->handler.PurgeReleasedCalls();
    EXPECT_EQ(rig_->handler.PoolSize(), pool) << "the record goes back: " << c.line;
  }
  // Without a call handler nothing happens.
  list_->callHandler = nullptr;
  shown_.clear();
  list_->Act(ICallDataSource::kShow, kOutgoingLine);
  EXPECT_TRUE(shown_.empty());
}

TEST_F(CallDataActs, ToTheCallbackListAddsOrGivesTheRecordBack) {
  struct Case {
    std::string line;
    bool refuse;
    bool added;
  } cases[] = {
      {kOutgoingLine, false, true},
      {"", false, false},
      {"\t\t\t\t\t\t", false, false},
      {kIncomingLine, true, false},
  };
  for (const Case& c : cases) {
    callbacks_->given.clear();
    callbacks_->added.clear();
    callbacks_->refuse = c.refuse;
    list_->Act(ICallDataSource::kToCallbackList, c.line);
    ASSERT_EQ(callbacks_->given.size(), 1u);
    CCallInfo* entry = callbacks_->given[0];
    EXPECT_EQ(callbacks_->added.size(), c.added ? 1u : 0u) << c.line;
    EXPECT_EQ(entry->connectedMark == -1, !c.added) << "an entry not added is given back: " << c.line;
    if (c.added) {
      EXPECT_EQ(entry->calledNumber, "0301234");
      EXPECT_EQ(entry->generatorId, 31);
    }
  }
  list_->callbackList = nullptr;
  list_->Act(ICallDataSource::kToCallbackList, kOutgoingLine);  // no list: nothing
}

TEST_F(CallDataActs, ToThePhoneBookStoresTheUnknownPartnerOnce) {
  rig_->book.Add("0301234", "Muster GmbH", "", "Meier");
  struct Case {
    const char* name;
    std::string line;
    int boxes;
    const char* stored;  // number of the new record; null: none
  } cases[] = {
      {"known partner", kOutgoingLine, 1, nullptr},
      {"unknown caller", kIncomingLine, 0, "0407777"},
      {"unknown called party", "08. 12. 25\t09:00:00\t 0.12 EUR\t?\t?\t0555\t21", 0, "0555"},
      {"neither side is the own extension", kOtherLine, 0, nullptr},
      {"empty line", "", 0, nullptr},
  };
  for (const Case& c : cases) {
    const std::size_t records = rig_->book.records.size();
    const std::size_t boxes = rig_->boxes.shown.size();
    const int opened = HubCount(hub::kOpenDatabase);
    list_->Act(ICallDataSource::kToPhoneBook, c.line);
    EXPECT_EQ(rig_->boxes.shown.size() - boxes, static_cast<std::size_t>(c.boxes)) << c.name;
    if (c.boxes) {
      EXPECT_EQ(rig_->boxes.shown.back().text, "T58.0") << c.name;
    }
    if (c.stored) {
      ASSERT_EQ(rig_->book.records.size(), records + 1) << c.name;
      EXPECT_EQ(rig_->book.records.back()->number, c.stored) << c.name << ": the partner, never the own number";
      EXPECT_EQ(HubCount(hub::kOpenDatabase), opened + 1) << c.name;
    } else {
      EXPECT_EQ(rig_->book.records.size(), records) << c.name;
      EXPECT_EQ(HubCount(hub::kOpenDatabase), opened) << c.name;
    }
  }
  // Once stored, the same partner is known.
  list_->Act(ICallDataSource::kToPhoneBook, kIncomingLine);
  EXPECT_EQ(rig_->boxes.shown.size(), 2u);
  list_->callHandler = nullptr;
  const std::size_t records = rig_->book.records.size();
  list_->Act(ICallDataSource::kToPhoneBook, "08. 12. 25\t09:00:00\t 0.12 EUR\t?\t?\t0666\t21");
  EXPECT_EQ(rig_->book.records.size(), records) << "no call handler: nothing";
}

TEST_F(CallDataActs, EmptyListEmptiesTheFileAndUnknownCodesDoNothing) {
  CCallInfo call;
  Connected(call, "21", "0301234", kStart, 1);
  list_->AddCall(&call);
  list_->AddCall(&call);
  ASSERT_EQ(Lines(*list_).size(), 2u);
  ASSERT_TRUE(list_->FirstLine());
  EXPECT_EQ(list_->EmptyList(), 0);
  std::string line;
  EXPECT_FALSE(list_->NextLine(&line)) << "the reading ends with the lines";
  EXPECT_EQ(FileBytes(path_), "");
  EXPECT_TRUE(std::filesystem::exists(path_));
  std::filesystem::remove(path_);
  EXPECT_EQ(list_->EmptyList(), 0);
  EXPECT_TRUE(std::filesystem::exists(path_)) << "a missing file is made";
  const std::size_t pool = rig_->handler.PoolSize();
  for (int code : {3, 4, 6, -1, 100}) EXPECT_EQ(list_->Act(code, kOutgoingLine), 0);
  EXPECT_EQ(rig_->handler.PoolSize(), pool);
  EXPECT_TRUE(rig_->link.sent.empty());
}
