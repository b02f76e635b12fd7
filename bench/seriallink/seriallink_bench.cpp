// The receiving path end to end: the simulated PBX writes packets on the
// pseudo-terminal; the port's worker parses and posts them; the loop hands
// them to the link object, which passes them to the message filter and its
// listeners (and, for a delivered event, the call handler).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <vector>

#include "bench/bound.h"
#include "core/callhandler/callhandler.h"
#include "core/filter/messagefilter.h"
#include "core/iface/viewhub.h"
#include "core/link/sytemobject.h"
#include "core/monitor/monitortable.h"
#include "core/serial/serialport.h"
#include "platform/eventloop.h"
#include "tools/pbxsim/pbxsim.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Counter : CSTAMessageListener {
  std::size_t seen = 0;
  void OnMessage(const CSTAMessage&) override { ++seen; }
};

struct View : plat::IMessageTarget {
  plat::WindowId id = plat::RegisterTarget(this);
  CSytemObject* link = nullptr;
  ~View() override { plat::UnregisterTarget(id); }
  plat::LRESULT OnMessage(const plat::Message& m) override {
    if (m.msg == CSytemObject::kMsgReceived && link && m.payload.size() >= CSTAMessage::kSize) {
      const CSTAMessage copy = CSTAMessage::FromBytes(m.payload.data(), m.payload.size());
      link->OnLinkMessage(linkev::kIncoming, 0, &copy);
    }
    return 0;
  }
};

// The program's side wired as the view wires it; extension 21 is the main
// phone, monitored under 1001.
struct Rig {
  plat::ManualLoop loop;
  pbxsim::PbxSim sim;
  View view;
  CMonitorTable table;
  CMessageFilter filter;
  CCallHandler handler;
  CSytemObject link{0, &filter, &table};
  CSerialPort port;
  Counter counter;
  bool ok = false;

  Rig() {
    if (!sim.Start()) return;
    CMonitorEntry* e = table.FindByNumber("21");
    e->monitoringOn = 1;
    e->monitorState = CMonitorEntry::kMonitored;
    e->crossRefId = 1001;
    table.SetMainPhone("21");
    view.link = &link;
    link.SetView(view.id);
    filter.link = &link;
    filter.callHandler = &handler;
    filter.monitors = &table;
    filter.view = view.id;
    handler.view = view.id;
    handler.link = &link;
    handler.monitors = &table;
    filter.RegisterListener(&counter, nullptr, -1);
    ok = port.OpenDevice(sim.SlavePath(), "COM5", view.id) == CSerialPort::kStatusOpen;
  }
  ~Rig() {
    handler.JoinWorkers();
    for (int i = 0; i < CMonitorTable::kEntries; ++i)
      if (CMonitorEntry* x = table.EntryAt(i)) x->currentCall = nullptr;
    filter.RemoveListener(&counter);
    port.Close();
  }
  template <class Pred>
  bool Spin(Pred pred) {
    const auto end = Clock::now() + std::chrono::seconds(5);
    while (!pred()) {
      loop.RunUntilIdle();
      if (Clock::now() > end) return false;
    }
    return true;
  }
};

std::vector<std::uint8_t> Packets(const CSTAMessage& m, int count) {
  FrameCoder coder;
  std::vector<std::uint8_t> one(line::kMaxPacket);
  one.resize(EncodeMessagePacket(coder, m.data(), CSTAMessage::kSize, one.data(), one.size()));
  std::vector<std::uint8_t> all;
  for (int i = 0; i < count; ++i) all.insert(all.end(), one.begin(), one.end());
  return all;
}

void BM_RecordsToListeners(benchmark::State& state) {
  Rig rig;
  if (!rig.ok) {
    state.SkipWithError("no pseudo-terminal");
    return;
  }
  // A record every listener sees and no handler acts on.
  CSTAMessage m;
  m.SetType(CSTA_CALL_INFORMATION);
  CSTAConnectionId{77, "21", 1}.Write(m, 10);
  const int batch = static_cast<int>(state.range(0));
  const auto bytes = Packets(m, batch);
  for (auto _ : state) {
    const std::size_t target = rig.counter.seen + static_cast<std::size_t>(batch);
    rig.sim.SendRaw(bytes);
    if (!rig.Spin([&] { return rig.counter.seen >= target; })) {
      state.SkipWithError("records lost");
      return;
    }
  }
  state.SetItemsProcessed(state.iterations() * batch);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_RecordsToListeners)->Arg(1)->Arg(50)->UseRealTime();

void BM_DeliveredToCurrentCall(benchmark::State& state) {
  Rig rig;
  if (!rig.ok) {
    state.SkipWithError("no pseudo-terminal");
    return;
  }
  std::uint32_t callId = 100;
  for (auto _ : state) {
    ++callId;
    CSTAMessage d;
    d.SetType(CSTA_DELIVERED);
    d.SetCrossRefId(1001);
    CSTAConnectionId{callId, "21", 1}.Write(d, 10);
    CSTAExtendedDevice{"21", 1, 0}.Write(d, 80);
    CSTAExtendedDevice{"00301234567", 2, 0}.Write(d, 148);
    CSTAExtendedDevice{"21", 1, 0}.Write(d, 216);
    d.SetU16(352, 2);
    const auto bytes = Packets(d, 1);
    rig.sim.SendRaw(bytes);  // returns once the last byte is on the line
    const auto t0 = Clock::now();
    const bool current = rig.Spin([&] {
      CCallInfo* c = rig.handler.GetCurrentCall(hub::kIdView);
      return c && c->callId == static_cast<int>(callId);
    });
    const auto t1 = Clock::now();
    if (!current) {
      state.SkipWithError("no current call");
      return;
    }
    state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());

    // Untimed: the call ends again.
    CSTAMessage c;
    c.SetType(CSTA_CONNECTION_CLEARED);
    c.SetCrossRefId(1001);
    CSTAConnectionId{callId, "21", 1}.Write(c, 10);
    CSTAExtendedDevice{"0301234567", 2, 0}.Write(c, 80);
    rig.sim.SendRaw(Packets(c, 1));
    rig.Spin([&] {
      rig.handler.JoinWorkers();
      return rig.handler.GetCurrentCall(hub::kIdView) == nullptr;
    });
  }
}
BENCHMARK(BM_DeliveredToCurrentCall)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return benchbound::FiguresOnly(argc, argv); }
