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
#include "rigparts.h"
#include "scenario.h"
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

struct Scenario::Rig : RigParts {
  std::vector<std::string> order;
  viewrig::RecordingFrame frame{order};
  viewrig::RecordingTray tray{order};
  CBrimlowDoc doc;
  CMonitorTable& table = doc.MonitorTable();
  CCallHandler& handler = doc.CallHandler();
  CMessageFilter& filter = doc.Filter();
  viewrig::FakeViewLink* adapter = nullptr;
  std::unique_ptr<CBrimlowView> real = MakeHub();
  FakeLink& link = adapter->link;
  HubRecorder view;

  std::unique_ptr<CBrimlowView> MakeHub() {
    auto a = std::make_unique<viewrig::FakeViewLink>(order);
    adapter = a.get();
    return std::make_unique<CBrimlowView>(doc, frame, tray, std::move(a));
  }

  Rig() {
    real->Create();
    view.hub = real.get();
    // Everything reports to the recorder, which passes it on to the hub.
    Wire(link, handler, filter, table, view.id);
    // A script's "watch" lines are the table as loaded at start, not the
    // user's edits, which would start monitoring at once.
    table.SetPartner(nullptr);
  }
  ~Rig() {
    Unwire(handler, filter, table);
    handler.phoneBook = nullptr;
    view.hub = nullptr;
    real.reset();
  }
  void Settle() {
    handler.JoinWorkers();
    loop.RunUntilIdle();
  }
};
