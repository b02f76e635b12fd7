// The lists on the real call handler: a fake PBX link that records its
// requests, a view that keeps timer 4 as the program's view does, scripted
// boxes and prompt, on the manual loop from a Monday 07:59:50 in Berlin.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/lists/callbacklist.h"
#include "app/lists/missedcalls.h"
#include "app/lists/shortdial.h"
#include "core/base/globalconfig.h"
#include "core/iface/viewhub.h"
#include "core/wire/csta_requests.h"
#include "fakes.h"
#include "platform/eventloop.h"
#include "platform/msgbox.h"
#include "platform/text.h"
#include "platform/textid.h"
#include "tests/phonebook/fake/fake_phonebook.h"

namespace liststest {

// Monday 2025-12-08 07:59:50 CET.
inline constexpr std::time_t kMonday0759 = 1765177190;

inline const char* TestText(int group, int entry) {
  static thread_local char buf[32];
  plat::FormatC(buf, sizeof buf, "T%i.%i", group, entry);
  return buf;
}

inline void UseBerlin() {
  setenv("TZ", "Europe/Berlin", 1);
  tzset();
}

// Seconds of a local time on the rig's Monday (day 0) or a later day.
inline std::time_t At(int h, int m, int s, int day = 0) {
  return kMonday0759 + 10 + (h - 8) * 3600 + m * 60 + s + day * 86400;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Compares a written file with a checked-in one; on a difference the bytes
// written are kept beside the build for a look.
inline void ExpectSameFile(const std::string& written, const std::string& checkedIn) {
  const std::string got = ReadFile(written), want = ReadFile(checkedIn);
  EXPECT_FALSE(want.empty()) << checkedIn;
  if (got == want) return;
  std::string keep = std::string(BRIMLOW_BINARY_DIR) + "/" + std::filesystem::path(checkedIn).filename().string() + ".actual";
  std::ofstream(keep, std::ios::binary) << got;
  ADD_FAILURE() << written << " differs from " << checkedIn << "; written bytes kept in " << keep;
}

inline std::string TempDir(const std::string& name) {
  auto dir = std::filesystem::temp_directory_path() /
             ("brimlow_lists_" + name + "_" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir.string();
}

// The view's part: timer 4 for the automation, the hub codes recorded.
class TimerView : public plat::IMessageTarget {
 public:
  TimerView() : id(plat::RegisterTarget(this)) {}
  ~TimerView() override { plat::UnregisterTarget(id); }
  plat::WindowId id;
  CCallBackList* list = nullptr;
  std::vector<plat::UINT> codes;
  std::vector<CCallInfo*> settingsAsked;  // lParam of 1068
  int steps = 0;

  plat::LRESULT OnMessage(const plat::Message& m) override {
    if (m.msg == plat::WM_TIMER && m.wParam == hub::kTimerCallback) {
      ++steps;
      if (list) list->AutomationStep();
      plat::SetTimer(id, hub::kTimerCallback, static_cast<plat::UINT>(GlobalConfig().CBLCASOTI));
      return 0;
    }
    codes.push_back(m.msg);
    if (m.msg == hub::kStartCallbackTimer)
      plat::SetTimer(id, hub::kTimerCallback, static_cast<plat::UINT>(GlobalConfig().TB1C));
    else if (m.msg == hub::kStopCallbackTimer)
      plat::KillTimer(id, hub::kTimerCallback);
    else if (m.msg == hub::kCallbackSettings)
      settingsAsked.push_back(reinterpret_cast<CCallInfo*>(static_cast<std::intptr_t>(m.lParam)));
    return 0;
  }
  int Count(plat::UINT code) const {
    int n = 0;
    for (plat::UINT c : codes) n += c == code;
    return n;
  }
};

struct Globals {
  CGlobalConfig saved = GlobalConfig();
  Globals() {
    UseBerlin();
    GlobalConfig().SDFN.clear();
    GlobalConfig().CHLO = 0;
    GlobalConfig().GLO = 0;
    GlobalConfig().ABNC = 0;
    GlobalConfig().GDOH = 1;
    plat::SetTextSource(&TestText);
  }
  ~Globals() {
    GlobalConfig() = saved;
    plat::SetTextSource(nullptr);
    plat::SetMessageBoxImpl(nullptr);
  }
};

struct Rig {
  Globals globals;
  plat::ManualLoop loop{kMonday0759};
  plat::ScriptedMessageBox boxes;
  FakePhoneBook book;
  CMonitorTable table;
  FakeLink link;
  CMessageFilter filter;
  FakePrompt prompt;
  TimerView view;
  CCallHandler handler;
  CCallBackList list;
  CMissedCallList missed;
  std::size_t seen = 0;  // requests already looked at

  Rig() {
    plat::SetMessageBoxImpl(&boxes);
    boxes.defaultAnswer = plat::IDNO;
    CMonitorEntry e;
    e.SetNumber("21");
    e.watchMode = 2;
    e.monitoringOn = 1;
    table.SetEntry(e);
    table.SetMainPhone("21");
    if (CMonitorEntry* m = table.FindByNumber("21")) {
      m->crossRefId = 1001;
      m->monitorState = CMonitorEntry::kMonitored;
    }
    link.filter = &filter;
    link.monitors = &table;
    link.view = view.id;
    filter.link = &link;
    filter.callHandler = &handler;
    filter.monitors = &table;
    handler.view = view.id;
    handler.link = &link;
    handler.monitors = &table;
    handler.phoneBook = &book;
    handler.callbackList = &list;
    handler.missedCalls = &missed;
    handler.prompt = &prompt;
    list.callHandler = &handler;
    list.view = view.id;
    view.list = &list;
    missed.view = view.id;
    missed.callHandler = &handler;
    missed.callbackList = &list;
    missed.phoneBook = &book;
  }
  ~Rig() {
    list.RemoveAll();
    if (CMonitorEntry* m = table.FindByNumber("21")) m->currentCall = nullptr;
  }

  // The numbers of the make-call requests sent since the last look.
  std::vector<std::string> NewCalls() {
    std::vector<std::string> out;
    for (; seen < link.sent.size(); ++seen)
      if (link.sent[seen].record.Type() == CSTA_MAKE_CALL)
        out.push_back(link.sent[seen].record.Text(74, CSTAMessage::kNumberWidth));
    return out;
  }
  // The wall clock moves to t (never back), timers firing on the way.
  void AdvanceTo(std::time_t t) {
    std::time_t now = plat::WallTime();
    ASSERT_GE(t, now);
    loop.Advance(static_cast<std::uint64_t>(t - now) * 1000);
  }
  CCallInfo* Current() { return handler.GetCurrentCall(17); }
  void Answer() { handler.OnCallEvent(CSTA_ESTABLISHED, nullptr); }
  void HangUp() {
    if (CCallInfo* c = Current()) handler.ClearCall(c, 21);
    loop.RunUntilIdle();
  }
  // A callback entry for number, as the list's own records are made.
  CCallInfo* Entry(const std::string& number, int priority = 0, int type = 0, long begin = 0, long end = 0) {
    CCallInfo* c = handler.GetFreeCall(18);
    c->direction = CCallInfo::kOutgoing;
    c->calledNumber = number;
    c->priority = priority;
    c->callbackType = type;
    c->callbackTimeBegin = begin;
    c->callbackTimeEnd = end;
    c->callbackInterval = 0;
    list.CCallInfoList::AddCall(c);
    return c;
  }
};

inline long Tod(int h, int m = 0, int s = 0) { return h * 3600L + m * 60L + s; }

}  // namespace liststest
