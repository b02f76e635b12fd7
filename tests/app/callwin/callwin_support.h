// What the call window tests share: the offscreen application, the manual
// loop, scripted message boxes, a text source that names each text by its
// id ("T15.64"), the log as lines, and a recording stand-in for the view's
// hub.
#pragma once
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/base/globalconfig.h"
#include "core/calls/callinfo.h"
#include "core/iface/viewhub.h"
#include "platform/eventloop.h"
#include "platform/messages.h"
#include "platform/msgbox.h"
#include "platform/text.h"
#include "platform/textid.h"
#include "platform/trace.h"
#include "tests/platform/dialogkit/testapp.h"

namespace callwintest {

inline const char* TestText(int group, int entry) {
  static thread_local char buf[32];
  plat::FormatC(buf, sizeof buf, "T%i.%i", group, entry);
  return buf;
}

inline bool CarriesCall(plat::UINT code) {
  switch (code) {
    case hub::kCallDialled: case hub::kCallCleared: case hub::kCallActive: case hub::kSecondCall:
    case hub::kSecondCallCleared: case hub::kCallEvent: case hub::kOpenCallData: case hub::kAccepted1069:
      return true;
    default:
      return false;
  }
}

struct HubCall {
  plat::UINT code = 0;
  plat::WPARAM w = 0;
  plat::LPARAM l = 0;
  const CCallInfo* call = nullptr;  // lParam, for the codes that carry one
  int ref = -1;                     // its reference id when it came
};

// Stands in for the view's window: records what reaches the hub and may
// pass it on.
class HubRecorder : public plat::IMessageTarget {
 public:
  HubRecorder() { id = plat::RegisterTarget(this); }
  ~HubRecorder() override { plat::UnregisterTarget(id); }
  plat::LRESULT OnMessage(const plat::Message& m) override {
    HubCall c;
    c.code = m.msg;
    c.w = m.wParam;
    c.l = m.lParam;
    if (CarriesCall(m.msg) && m.lParam) {
      c.call = reinterpret_cast<const CCallInfo*>(static_cast<std::intptr_t>(m.lParam));
      c.ref = c.call->callRefId;
    }
    got.push_back(c);
    return then ? then(m) : 0;
  }
  std::vector<plat::UINT> Codes() const {
    std::vector<plat::UINT> out;
    for (const HubCall& c : got) out.push_back(c.code);
    return out;
  }
  plat::WindowId id = 0;
  std::vector<HubCall> got;
  std::function<plat::LRESULT(const plat::Message&)> then;
};

// The log window's lines, from one back end kept for the whole program
// (the log opens its window once).
inline plat::RecordingTraceBackend& LogBackend() {
  static plat::RecordingTraceBackend* b = [] {
    auto* r = new plat::RecordingTraceBackend;
    plat::SetTraceBackend(r);
    return r;
  }();
  return *b;
}

inline std::vector<std::string> LogLines() {
  std::vector<std::string> out;
  for (const plat::TraceEvent& e : LogBackend().Events())
    if (e.channel == plat::TraceEvent::Log && e.op == plat::TraceEvent::Process)
      out.emplace_back(e.data.begin(), e.data.end());
  return out;
}

class CallWinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testapp::App();
    saved_ = GlobalConfig();
    CGlobalConfig& c = GlobalConfig();
    c.GLO = 2;
    c.CHLO = 0;
    c.PBXLO = 0;
    c.TOLECSTALOGDLL = 0;
    c.SDFN = dir_.filePath("speeddial.ini").toStdString();
    LogBackend().Clear();
    plat::SetTextSource(&TestText);
    plat::SetMessageBoxImpl(&boxes);
    boxes.defaultAnswer = plat::IDNO;
  }
  void TearDown() override {
    loop.RunUntilIdle();
    plat::SetMessageBoxImpl(nullptr);
    plat::SetTextSource(nullptr);
    GlobalConfig() = saved_;
  }
  static plat::LPARAM L(const void* p) { return static_cast<plat::LPARAM>(reinterpret_cast<std::intptr_t>(p)); }

  QTemporaryDir dir_;
  plat::ManualLoop loop;
  plat::ScriptedMessageBox boxes;
  CGlobalConfig saved_;
};

}  // namespace callwintest

#include "core/callhandler/callhandler.h"
#include "core/filter/messagefilter.h"
#include "core/monitor/monitortable.h"
#include "tests/core/scenario/fakes.h"
#include "tests/phonebook/fake/fake_phonebook.h"

namespace callwintest {

// The real call model behind the windows: call handler, filter and a
// monitor table on the test's SDFN file, with the fake link and phone
// book; the hub is the recorder.
struct CoreRig {
  FakePhoneBook book;
  CMonitorTable table;
  HubRecorder hub;
  FakeLink link;
  FakePrompt prompt;
  CCallHandler handler;
  CMessageFilter filter;

  CoreRig() {
    link.filter = &filter;
    link.monitors = &table;
    link.view = hub.id;
    handler.view = hub.id;
    handler.link = &link;
    handler.monitors = &table;
    handler.phoneBook = &book;
    handler.prompt = &prompt;
    filter.link = &link;
    filter.callHandler = &handler;
    filter.monitors = &table;
    filter.view = hub.id;
  }
  ~CoreRig() {
    handler.JoinWorkers();
    for (int i = 0; i < CMonitorTable::kEntries; ++i)
      if (CMonitorEntry* e = table.EntryAt(i)) e->currentCall = nullptr;
  }
  CMonitorEntry* Watch(const std::string& number, bool main = false) {
    CMonitorEntry e;
    e.SetNumber(number);
    e.watchMode = CMonitorEntry::kExtended;
    e.monitoringOn = 1;
    table.SetEntry(e);
    if (main) table.SetMainPhone(number);
    return table.FindByNumber(number);
  }
  // The requests the link sent, by CSTA type.
  std::vector<int> SentTypes() const {
    std::vector<int> out;
    for (const SentRecord& s : link.sent) out.push_back(s.record.Type());
    return out;
  }
};

// The call model with extension 21 watched; dials go out without the
// handset question.
inline std::unique_ptr<CoreRig> WatchingRig() {
  GlobalConfig().GDOH = 1;
  auto rig = std::make_unique<CoreRig>();
  rig->Watch("21", true);
  return rig;
}

}  // namespace callwintest
