// The callback automation, one table: each row a list, settings and steps
// on the manual clock, with the make-call requests the real call handler
// sends through the fake link.
#include <functional>
#include <map>
#include <sstream>

#include "listsrig.h"

using namespace liststest;

namespace {

struct EntrySpec {
  std::string number;
  int priority = 0;
  int type = 0;
  long begin = 0, end = 0;  // seconds after midnight
  int mode = 0;
  long interval = 0;
  std::time_t lastTry = 0;
  int count = 0;
  int max = 3;
  std::time_t date = 0;
};

struct Row {
  const char* name;
  std::vector<EntrySpec> entries;
  std::map<std::string, long> settings;
  std::vector<std::string> steps;
};

// Boxes answered from a queue; a hook may act while one is open, as the
// user (or the box's own loop) would.
class HookBox : public plat::IMessageBox {
 public:
  std::vector<std::string> shown;
  std::vector<int> answers;
  std::function<void()> onShow;
  int Show(plat::WindowId, const std::string& text, const std::string&, plat::UINT) override {
    shown.push_back(text);
    if (auto hook = std::move(onShow)) {
      onShow = nullptr;
      hook();
    }
    if (answers.empty()) return plat::IDNO;
    int a = answers.front();
    answers.erase(answers.begin());
    return a;
  }
};

void Apply(const std::string& key, long v) {
  CGlobalConfig& c = GlobalConfig();
  static const std::map<std::string, std::function<void(CGlobalConfig&, long)>> setters = {
      {"TB2C", [](CGlobalConfig& g, long x) { g.TB2C = x; }},
      {"ABNC", [](CGlobalConfig& g, long x) { g.ABNC = static_cast<int>(x); }},
      {"GDOH", [](CGlobalConfig& g, long x) { g.GDOH = static_cast<int>(x); }},
      {"CBLGSTRTT", [](CGlobalConfig& g, long x) { g.CBLGSTRTT = x; }},
      {"CBLGSTPT", [](CGlobalConfig& g, long x) { g.CBLGSTPT = x; }},
      {"CBLNWLIE", [](CGlobalConfig& g, long x) { g.CBLNWLIE = static_cast<int>(x); }},
      {"CBLAWICITBMWUIB", [](CGlobalConfig& g, long x) { g.CBLAWICITBMWUIB = static_cast<int>(x); }},
  };
  auto it = setters.find(key);
  ASSERT_NE(it, setters.end()) << key;
  it->second(c, v);
}

// "HH:MM:SS" or "dN/HH:MM:SS" as a wall time; "+MS" as milliseconds later.
bool ParseWhen(const std::string& w, std::time_t* at, long* plusMs) {
  if (w[0] == '+') {
    *plusMs = std::stol(w.substr(1));
    return true;
  }
  int day = 0;
  std::string t = w;
  if (t[0] == 'd') {
    day = std::stoi(t.substr(1, t.find('/') - 1));
    t = t.substr(t.find('/') + 1);
  }
  int h, m, s;
  if (std::sscanf(t.c_str(), "%d:%d:%d", &h, &m, &s) != 3) return false;
  *at = At(h, m, s, day);
  *plusMs = -1;
  return true;
}

void PrintTo(const Row& r, std::ostream* os) { *os << r.name; }

class AutomationTable : public ::testing::TestWithParam<Row> {};

TEST_P(AutomationTable, Row) {
  const Row& row = GetParam();
  Rig r;
  HookBox box;
  plat::SetMessageBoxImpl(&box);
  GlobalConfig().TB2C = 0;
  for (const auto& [k, v] : row.settings) Apply(k, v);
  for (const EntrySpec& e : row.entries) {
    CCallInfo* c = r.Entry(e.number, e.priority, e.type, e.begin, e.end);
    c->callbackCriterion = e.mode;
    c->callbackInterval = e.interval;
    c->spare3 = static_cast<long>(e.lastTry);
    c->callbackCount = e.count;
    c->callbackMaximum = e.max;
    c->callbackDate = e.date;
  }
  r.list.SetRunning(1);
  auto entry = [&](const std::string& number) -> CCallInfo* {
    for (int n = 1; n <= r.list.GetCount(); ++n)
      if (r.list.GetCall(n)->calledNumber == number) return r.list.GetCall(n);
    return nullptr;
  };
  std::size_t boxesSeen = 0;
  int lineNo = 0;
  for (const std::string& step : row.steps) {
    ++lineNo;
    SCOPED_TRACE("step " + std::to_string(lineNo) + ": " + step);
    std::istringstream in(step);
    std::vector<std::string> w;
    for (std::string s; in >> s;) w.push_back(s);
    std::time_t at = 0;
    long plus = -1;
    if (ParseWhen(w[0], &at, &plus)) {
      if (plus >= 0) r.loop.Advance(static_cast<std::uint64_t>(plus));
      else r.AdvanceTo(at);
      r.list.AutomationStep();
      r.loop.RunUntilIdle();
      std::vector<std::string> calls = r.NewCalls();
      if (w.at(1) == "none") EXPECT_TRUE(calls.empty()) << "dialled " << (calls.empty() ? "" : calls[0]);
      else EXPECT_EQ(calls, std::vector<std::string>{w.at(2)});
    } else if (w[0] == "wait") {  // the clock moves, no step
      long p;
      ASSERT_TRUE(ParseWhen(w.at(1), &at, &p));
      r.AdvanceTo(at);
    } else if (w[0] == "miss") {
      r.HangUp();
    } else if (w[0] == "answer") {
      r.Answer();
      r.HangUp();
    } else if (w[0] == "busy") {  // the user dials w[1] meanwhile
      CCallInfo* c = r.handler.GetFreeCall(12);
      c->calledNumber = w.at(1);
      ASSERT_EQ(r.handler.MakeCall(c, 12), 1);
      EXPECT_EQ(r.NewCalls(), std::vector<std::string>{w[1]});
    } else if (w[0] == "free") {
      r.HangUp();
    } else if (w[0] == "queue") {
      box.answers.push_back(w.at(1) == "yes" ? plat::IDYES : w[1] == "retry" ? plat::IDRETRY : plat::IDNO);
    } else if (w[0] == "box") {  // the next box names that text
      ASSERT_GT(box.shown.size(), boxesSeen);
      EXPECT_NE(box.shown[boxesSeen++].find(w.at(1)), std::string::npos) << box.shown[boxesSeen - 1];
    } else if (w[0] == "boxes") {
      EXPECT_EQ(box.shown.size(), std::stoul(w.at(1)));
    } else if (w[0] == "count") {
      ASSERT_NE(entry(w.at(1)), nullptr);
      EXPECT_EQ(entry(w[1])->callbackCount, std::stoi(w.at(2)));
    } else if (w[0] == "gone") {
      EXPECT_EQ(entry(w.at(1)), nullptr);
    } else if (w[0] == "kept") {
      EXPECT_NE(entry(w.at(1)), nullptr);
    } else if (w[0] == "begin" || w[0] == "end" || w[0] == "lasttry") {
      ASSERT_NE(entry(w.at(1)), nullptr);
      std::time_t t;
      long p;
      ASSERT_TRUE(ParseWhen(w.at(2), &t, &p));
      CCallInfo* c = entry(w[1]);
      if (w[0] == "lasttry") EXPECT_EQ(c->spare3, t);
      else EXPECT_EQ(w[0] == "begin" ? c->callbackTimeBegin : c->callbackTimeEnd, t - At(0, 0, 0));
    } else if (w[0] == "prompt") {
      r.prompt.answers.push_back(w.at(1) == "ok" ? plat::IDOK : plat::IDCANCEL);
    } else if (w[0] == "prompts") {
      EXPECT_EQ(r.prompt.shown, std::stoi(w.at(1)));
    } else if (w[0] == "phone") {  // the main phone's state
      r.table.FindByNumber("21")->connectionState = std::stoi(w.at(1));
    } else if (w[0] == "refuse") {
      r.link.refuse = w.at(1) == "on";
    } else if (w[0] == "running") {
      EXPECT_EQ(r.list.IsRunning(), std::stoi(w.at(1)));
    } else if (w[0] == "onbox") {
      if (w.at(1) == "delete") {
        std::string number = w.at(2);
        box.onShow = [&r, &entry, number] {
          r.list.RemoveEntry(entry(number));
          r.handler.PurgeReleasedCalls();
        };
      } else {  // timer 4 comes while the box is open
        box.onShow = [&r] { r.view.OnMessage(plat::Message{r.view.id, plat::WM_TIMER, hub::kTimerCallback, 0, {}}); };
      }
    } else {
      FAIL() << "unknown step";
    }
  }
  plat::SetMessageBoxImpl(nullptr);
}

const long k10 = Tod(10), k11 = Tod(11), k12 = Tod(12);

const Row kRows[] = {
    // Working hours and the lunch break.
    {"MorningGate", {{.number = "22"}}, {}, {"07:59:59 none", "08:00:00 dial 22"}},
    {"EveningGate", {{.number = "22"}}, {}, {"18:00:00 dial 22", "miss", "18:00:01 none"}},
    {"LunchBreak", {{.number = "22"}}, {},
     {"12:00:00 dial 22", "miss", "12:00:01 none", "13:59:59 none", "14:00:00 dial 22"}},
    {"StartAfterStop", {{.number = "22"}}, {{"CBLGSTRTT", Tod(18)}, {"CBLGSTPT", Tod(8)}},
     {"08:00:00 none", "12:00:00 none", "18:00:00 none"}},
    // Due by interval and last try.
    {"IntervalAfterTry", {{.number = "22", .interval = 300, .lastTry = At(10, 0, 0)}}, {},
     {"10:04:59 none", "10:05:00 dial 22"}},
    {"IntervalZero", {{.number = "22"}}, {},
     {"10:00:00 dial 22", "miss", "10:00:01 dial 22", "miss", "10:00:02 dial 22"}},
    // The pause between two automation calls, also after a miss.
    {"Pause5000", {{.number = "22"}}, {{"TB2C", 5000}}, {"10:00:00 dial 22", "miss", "+4900 none", "+100 dial 22"}},
    {"Pause7000", {{.number = "22"}}, {{"TB2C", 7000}}, {"10:00:00 dial 22", "miss", "+6999 none", "+1 dial 22"}},
    {"Pause999IsNone", {{.number = "22"}}, {{"TB2C", 999}}, {"10:00:00 dial 22", "miss", "+0 dial 22"}},
    // Time windows at their edges.
    {"Window0", {{.number = "22", .type = 0}}, {}, {"08:00:00 dial 22"}},
    {"Window1After", {{.number = "22", .type = 1, .begin = k10}}, {}, {"10:00:00 none", "10:00:01 dial 22"}},
    {"Window2Before", {{.number = "22", .type = 2, .end = k10}}, {}, {"09:59:59 dial 22", "miss", "10:00:00 none"}},
    {"Window3Inside", {{.number = "22", .type = 3, .begin = k10, .end = k11}}, {},
     {"09:59:59 none", "10:00:00 dial 22", "miss", "11:00:00 dial 22", "miss", "11:00:01 none"}},
    {"Window4Outside", {{.number = "22", .type = 4, .begin = k10, .end = k11}}, {},
     {"09:59:59 dial 22", "miss", "10:00:00 none", "11:00:00 none", "11:00:01 dial 22"}},
    {"Window5Exact", {{.number = "22", .type = 5, .begin = k10, .end = k10 + 120}}, {},
     {"09:59:59 none", "10:00:00 dial 22", "miss", "10:02:00 dial 22", "miss", "10:02:01 none"}},
    // Priorities, tries and list order.
    {"Priority4BeatsPriority0", {{.number = "22"}, {.number = "23", .priority = 4}}, {}, {"10:00:00 dial 23"}},
    {"Priority4OutsideWindow", {{.number = "22"}, {.number = "23", .priority = 4, .type = 3, .begin = k11, .end = k12}},
     {}, {"10:00:00 dial 22"}},
    {"Priority3NotDue", {{.number = "22"}, {.number = "23", .priority = 3, .interval = 300, .lastTry = At(9, 58, 0)}},
     {}, {"10:00:00 dial 22"}},
    {"FewerTriesWin", {{.number = "22", .priority = 2, .count = 2}, {.number = "23", .priority = 2, .count = 1}}, {},
     {"10:00:00 dial 23"}},
    {"ListOrderFirst", {{.number = "22", .priority = 2, .count = 1}, {.number = "23", .priority = 2, .count = 1}}, {},
     {"10:00:00 dial 22"}},
    {"LowerPriorityFewerTriesDoesNotDisplace",
     {{.number = "22", .priority = 1, .count = 0}, {.number = "23", .priority = 2, .count = 2}}, {},
     {"10:00:00 dial 23"}},
    // Mode 2: only on its day.
    {"TomorrowOnlyTomorrow", {{.number = "22", .mode = 2, .date = At(23, 59, 59, 1)}}, {},
     {"10:00:00 none", "17:00:00 none", "d1/08:00:00 dial 22"}},
    // How a call ends.
    {"AnsweredMode0Removed", {{.number = "22", .mode = 0}}, {}, {"10:00:00 dial 22", "answer", "gone 22"}},
    {"AnsweredMode2Removed", {{.number = "22", .mode = 2, .date = At(23, 59, 59)}}, {},
     {"10:00:00 dial 22", "answer", "gone 22"}},
    {"UnansweredKeptAndCounted", {{.number = "22"}}, {},
     {"10:00:00 dial 22", "miss", "count 22 1", "lasttry 22 10:00:00"}},
    {"Mode1ThirdMissYes", {{.number = "22", .mode = 1, .count = 2, .max = 3}}, {},
     {"queue yes", "10:00:00 dial 22", "miss", "box T47.7", "gone 22"}},
    {"Mode1ThirdMissNo", {{.number = "22", .mode = 1, .count = 2, .max = 3}}, {},
     {"queue no", "10:00:00 dial 22", "miss", "box T47.7", "kept 22", "count 22 3", "10:00:01 dial 22"}},
    {"Mode1SecondMissAsksNothing", {{.number = "22", .mode = 1, .count = 0, .max = 3}}, {},
     {"10:00:00 dial 22", "miss", "boxes 0", "count 22 1"}},
    {"Mode3AnsweredKept", {{.number = "22", .mode = 3}}, {}, {"10:00:00 dial 22", "answer", "kept 22", "count 22 1"}},
    {"TheCalledEntryCounts", {{.number = "22"}, {.number = "23", .priority = 1}}, {},
     {"10:00:00 dial 23", "miss", "count 23 1", "count 22 0"}},
    // A busy line.
    {"KeptCandidateNotDialledAfterHours", {{.number = "22"}}, {},
     {"wait 17:59:00", "busy 30", "17:59:59 none", "wait 18:00:01", "free", "18:00:01 none"}},
    {"Type5CurrentCallToItsNumber", {{.number = "22", .type = 5, .begin = k10, .end = k10 + 120}}, {},
     {"wait 10:00:30", "busy 22", "10:00:30 none", "boxes 0", "begin 22 10:00:00", "end 22 10:03:00"}},
    {"Type5OtherNumberRetry", {{.number = "22", .type = 5, .begin = k10, .end = k10 + 120}}, {},
     {"wait 10:00:30", "busy 30", "queue retry", "10:00:30 none", "box T47.1", "begin 22 10:01:00", "end 22 10:03:00"}},
    {"Type5OtherNumberNoHint", {{.number = "22", .type = 5, .begin = k10, .end = k10 + 120}},
     {{"CBLAWICITBMWUIB", 0}}, {"wait 10:00:30", "busy 30", "10:00:30 none", "boxes 0", "end 22 10:02:00"}},
    // Asking first, the handset, a refused request.
    {"AskNo", {{.number = "22"}}, {{"ABNC", 1}, {"TB2C", 5000}},
     {"queue no", "10:00:00 none", "box T47.5", "lasttry 22 10:00:00", "+4000 none", "boxes 1", "queue yes",
      "+1000 dial 22"}},
    {"HandsetFailsThenRetried", {{.number = "22"}}, {{"GDOH", 0}},
     {"prompt cancel", "10:00:00 none", "prompts 1", "phone 0", "10:00:05 dial 22"}},
    {"RefusedDoesNotStall", {{.number = "22"}}, {},
     {"refuse on", "10:00:00 none", "lasttry 22 10:00:00", "refuse off", "10:00:01 dial 22"}},
    // Boxes and deletions meanwhile.
    {"CandidateDeletedDuringBusyBox", {{.number = "22", .type = 5, .begin = k10, .end = k10 + 120}}, {},
     {"wait 10:00:30", "busy 30", "onbox delete 22", "queue retry", "10:00:30 none", "gone 22", "wait 10:00:40", "free",
      "10:00:41 none", "running 0"}},
    {"Timer4DuringABoxOneBox", {{.number = "22", .type = 5, .begin = k10, .end = k10 + 120}}, {},
     {"wait 10:00:30", "busy 30", "onbox step", "10:00:30 none", "boxes 1"}},
    {"EmptyListStopsQuietly", {}, {}, {"10:00:00 none", "running 0", "boxes 0"}},
    {"EmptyListStopsWithHint", {}, {{"CBLNWLIE", 1}},
     {"10:00:00 none", "running 0", "box T47.0", "10:00:05 none", "boxes 1"}},
};

INSTANTIATE_TEST_SUITE_P(Lists, AutomationTable, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& i) { return std::string(i.param.name); });

}  // namespace
