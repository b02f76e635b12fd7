// A day's traffic in miniature: 60 watched extensions (every tenth in
// extended mode), calls delivered, established and cleared among them and
// from outside, one call in twenty at the main phone. Reports messages per
// second and heap allocations per message.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <random>
#include <vector>

#include "core/base/globalconfig.h"
#include "scenario.h"
#include "scenario_rig.h"

namespace {
std::atomic<long> g_allocs{0};
}

void* operator new(std::size_t n) {
  g_allocs.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

CSTAMessage Event(std::uint16_t type, std::uint32_t xref, std::uint32_t callId, const std::string& device,
                  const std::string& calling, const std::string& called) {
  CSTAMessage m;
  m.SetType(type);
  m.SetCrossRefId(xref);
  CSTAConnectionId{callId, device, 0}.Write(m, 10);
  m.SetText(148, 64, calling);
  m.SetText(216, 64, called);
  return m;
}

void BM_FilterMix(benchmark::State& state) {
  std::string setup;
  for (int n = 10; n < 70; ++n)
    setup += "watch " + std::to_string(n) + (n % 10 == 0 ? " 2" : " 1") + (n == 21 ? " main" : "") +
             " xref=" + std::to_string(1000 + n) + "\n";
  setup += "book 0301234 Firma Meier\n";
  Scenario s;
  if (!s.Run(setup).empty()) {
    state.SkipWithError("setup failed");
    return;
  }
  Scenario::Rig& r = s.rig();
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
  long messages = 0;
  long allocs = 0;
  for (auto _ : state) {
    long before = g_allocs.load();
    for (const CSTAMessage& m : traffic) {
      r.filter.OnCSTAMessage(&m);
      r.Settle();
    }
    r.handler.PurgeReleasedCalls();
    r.view.messages.clear();
    r.drawing.events.clear();
    r.callData.lines.clear();
    r.missed.numbers.clear();
    allocs += g_allocs.load() - before;
    messages += static_cast<long>(traffic.size());
  }
  state.counters["msgs/s"] = benchmark::Counter(static_cast<double>(messages), benchmark::Counter::kIsRate);
  state.counters["allocs/msg"] = messages ? static_cast<double>(allocs) / static_cast<double>(messages) : 0.0;
}
BENCHMARK(BM_FilterMix)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
