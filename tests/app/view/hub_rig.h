// The scenario rig with the real view in place of FakeView: the call
// handler, filter and monitor table are the document's; every message to
// the view is recorded as FakeView records it and then handed to the real
// hub, which runs its timers and drives the rig's FakeLink as its link.
// Copied beside a copy of the scenario interpreter as its scenario_rig.h.
#pragma once
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fakes.h"
#include "platform/eventloop.h"
#include "platform/msgbox.h"
#include "scenario.h"
#include "tests/phonebook/fake/fake_phonebook.h"
#include "viewrig.h"

// Records what reaches the view, then hands it to the hub.
class HubRecorder : public plat::IMessageTarget {
 public:
  HubRecorder() { id = plat::RegisterTarget(this); }
  ~HubRecorder() override { plat::UnregisterTarget(id); }
  plat::WindowId id = 0;
  CBrimlowView* hub = nullptr;
  std::vector<HubRecord> messages;  // without the timer codes 1059/1060
  int timerStarts = 0, timerStops = 0;
  plat::LRESULT OnMessage(const plat::Message& m) override {
    if (m.msg == hub::kStartRequestTimer) {
      ++timerStarts;
    } else if (m.msg == hub::kStopRequestTimer) {
      ++timerStops;
    } else if (m.msg != plat::WM_TIMER) {
      HubRecord r;
      r.code = m.msg;
      r.w = m.wParam;
      if (m.msg == hub::kShowRecordMatch && m.payload.size() == sizeof(CallRecordMatch)) {
        std::copy(m.payload.begin(), m.payload.end(), reinterpret_cast<std::uint8_t*>(&r.match));
      } else if (m.lParam) {
        r.call = reinterpret_cast<CCallInfo*>(static_cast<std::intptr_t>(m.lParam));
        r.callText = r.call->callingNumber + ">" + r.call->calledNumber;
      }
      messages.push_back(r);
    }
    return hub ? hub->WindowProc(m) : 0;
  }
};

struct Scenario::Rig {
  plat::ManualLoop loop;
  plat::ScriptedMessageBox boxes;
  FakePhoneBook book;
  std::vector<std::string> order;
  viewrig::RecordingFrame frame{order};
  viewrig::RecordingTray tray{order};
  CBrimlowDoc doc;
  CMonitorTable& table = doc.MonitorTable();
  CCallHandler& handler = doc.CallHandler();
  CMessageFilter& filter = doc.Filter();
  FakeDrawing drawing;
  FakeCallbackList callbacks;
  FakeMissedCalls missed;
  FakeCallData callData;
  FakeSpeedDial speedDial;
  FakePrompt prompt;
  FakeCharge charge;
  viewrig::FakeViewLink* adapter = nullptr;
  std::unique_ptr<CBrimlowView> real = MakeHub();
  FakeLink& link = adapter->link;
  HubRecorder view;
  std::map<std::string, std::unique_ptr<RecordingListener>> listeners;
  std::vector<std::string> listenerOrder;
  CCallInfo* held = nullptr;
  CCallInfo* consult = nullptr;
  int result = 0;
  std::size_t sentAt = 0, hubAt = 0, eventAt = 0, drawAt = 0, boxAt = 0;

  std::unique_ptr<CBrimlowView> MakeHub() {
    auto a = std::make_unique<viewrig::FakeViewLink>(order);
    adapter = a.get();
    return std::make_unique<CBrimlowView>(doc, frame, tray, std::move(a));
  }

  Rig() {
    real->Create();
    view.hub = real.get();
    // Everything reports to the recorder, which passes it on to the hub.
    link.filter = &filter;
    link.monitors = &table;
    link.view = view.id;
    handler.view = view.id;
    handler.link = &link;
    handler.phoneBook = &book;
    handler.callbackList = &callbacks;
    handler.missedCalls = &missed;
    handler.callData = &callData;
    handler.speedDial = &speedDial;
    handler.prompt = &prompt;
    filter.link = &link;
    filter.drawing = &drawing;
    filter.charge = &charge;
    filter.view = view.id;
    // A script's "watch" lines are the table as loaded at start, not the
    // user's edits, which would start monitoring at once.
    table.SetPartner(nullptr);
    boxes.defaultAnswer = plat::IDNO;
  }
  ~Rig() {
    handler.JoinWorkers();
    for (int i = 0; i < CMonitorTable::kEntries; ++i)
      if (CMonitorEntry* e = table.EntryAt(i)) e->currentCall = nullptr;
    for (auto& [name, l] : listeners) filter.RemoveListener(l.get());
    handler.phoneBook = nullptr;
    view.hub = nullptr;
    real.reset();
  }
  void Settle() {
    handler.JoinWorkers();
    loop.RunUntilIdle();
  }
};
