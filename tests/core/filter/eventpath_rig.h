// The message filter and the call handler as the program wires them, with
// partners that do nothing themselves (a link that sends nowhere, a view
// that takes every code, a drawing, two listeners that read the record),
// and a day's traffic in miniature for 60 watched extensions. Shared by
// the event-path test and the filter benchmark.
#pragma once
#include <random>
#include <string>
#include <vector>

#include "core/callhandler/callhandler.h"
#include "core/filter/messagefilter.h"
#include "core/iface/nulllink.h"
#include "core/monitor/monitortable.h"
#include "platform/eventloop.h"
#include "platform/messages.h"
#include "platform/msgbox.h"

namespace eventpath {

// Requests are taken, nothing leaves; the link runs.
struct NullLink : ::NullLink {
  NullLink() { state = 2; }
};

struct NullView : plat::IMessageTarget {
  plat::WindowId id = plat::RegisterTarget(this);
  ~NullView() override { plat::UnregisterTarget(id); }
  plat::LRESULT OnMessage(const plat::Message&) override { return 0; }
};

struct NullDrawing : IConnectionDrawing {
  void OnConnectionEvent(const std::string&, std::uint32_t, int) override {}
};

// Reads the record as a listener of the program would.
struct ReadingListener : CSTAMessageListener {
  std::uint64_t sum = 0;
  void OnMessage(const CSTAMessage& r) override { sum += r.Type() + r.CrossRefId(); }
};

inline CSTAMessage Event(std::uint16_t type, std::uint32_t xref, std::uint32_t callId, const std::string& device,
                         const std::string& calling, const std::string& called) {
  CSTAMessage m;
  m.SetType(type);
  m.SetCrossRefId(xref);
  CSTAConnectionId{callId, device, 0}.Write(m, 10);
  m.SetText(148, 64, calling);
  m.SetText(216, 64, called);
  return m;
}

// Calls delivered, established and cleared among the extensions and from
// outside, one call in twenty at the main phone (21), every tenth extension
// watched in extended mode.
inline std::vector<CSTAMessage> Traffic() {
  std::mt19937 rng(7);
  std::vector<CSTAMessage> traffic;
  std::uint32_t callId = 1;
  for (int i = 0; i < 2000; ++i) {
    int a = 10 + static_cast<int>(rng() % 60);
    int b = 10 + static_cast<int>(rng() % 60);
    if (i % 20 == 0) a = 21;
    std::string ext = std::to_string(a);
    std::string other = (i % 3 == 0) ? "00301234" : std::to_string(b);
    std::uint32_t xref = 1000 + static_cast<std::uint32_t>(a);
    traffic.push_back(Event(CSTA_DELIVERED, xref, callId, ext, other, ext));
    if (i % 4 != 0) traffic.push_back(Event(CSTA_ESTABLISHED, xref, callId, ext, other, ext));
    traffic.push_back(Event(CSTA_CONNECTION_CLEARED, xref, callId, ext, "", ""));
    ++callId;
  }
  return traffic;
}

struct Rig {
  plat::ManualLoop loop;
  plat::ScriptedMessageBox boxes;
  NullView view;
  NullLink link;
  NullDrawing drawing;
  ReadingListener viewer, counters;
  CMonitorTable table;
  CCallHandler handler;
  CMessageFilter filter;
  Rig() {
    plat::SetMessageBoxImpl(&boxes);
    for (int n = 10; n < 70; ++n) {
      CMonitorEntry* e = table.FindByNumber(std::to_string(n));
      e->monitoringOn = 1;
      e->watchMode = n % 10 == 0 ? CMonitorEntry::kExtended : CMonitorEntry::kSimple;
      e->monitorState = CMonitorEntry::kMonitored;
      e->crossRefId = 1000 + static_cast<std::uint32_t>(n);
    }
    table.SetMainPhone("21");
    handler.view = view.id;
    handler.link = &link;
    handler.monitors = &table;
    filter.link = &link;
    filter.callHandler = &handler;
    filter.monitors = &table;
    filter.drawing = &drawing;
    filter.view = view.id;
    filter.RegisterListener(&viewer, nullptr, -1);
    filter.RegisterListener(&counters, nullptr, -1);
  }
  ~Rig() {
    handler.JoinWorkers();
    for (int i = 0; i < CMonitorTable::kEntries; ++i)
      if (CMonitorEntry* e = table.EntryAt(i)) e->currentCall = nullptr;
    filter.RemoveListener(&viewer);
    filter.RemoveListener(&counters);
    plat::SetMessageBoxImpl(nullptr);
  }
};

}  // namespace eventpath
