// A day's traffic in miniature: 60 watched extensions (every tenth in
// extended mode), calls delivered, established and cleared among them and
// from outside, one call in twenty at the main phone. The records go
// through the message filter, the call handler and two listeners, as in
// the program, with partners that do nothing themselves.
//
// Reports heap allocations per event, apart for the events that make a
// new call record, and the time of an event that makes none against the
// yardstick: a memcpy of one 982-byte record, timed in the same run.
// FILTER_BENCH_WHERE=1 prints the call stack of the first allocations of
// events that make no new record.
#include <benchmark/benchmark.h>
#include <execinfo.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "bench/bound.h"
#include "core/base/globalconfig.h"
#include "tests/core/filter/eventpath_rig.h"

namespace {
std::atomic<long> g_allocs{0};
std::atomic<bool> g_where{false};
std::atomic<int> g_whereLeft{8};

void NoteAlloc() {
  g_allocs.fetch_add(1, std::memory_order_relaxed);
  if (g_where.load(std::memory_order_relaxed) && g_whereLeft.fetch_sub(1) > 0) {
    g_where = false;  // backtrace allocates on its first call
    void* frames[16];
    const int n = ::backtrace(frames, 16);
    ::backtrace_symbols_fd(frames, n, 2);
    (void)!::write(2, "--\n", 3);
    g_where = true;
  }
}
}  // namespace

void* operator new(std::size_t n) {
  NoteAlloc();
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n) {
  NoteAlloc();
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  NoteAlloc();
  return std::malloc(n ? n : 1);
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
  NoteAlloc();
  return std::malloc(n ? n : 1);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

using Clock = std::chrono::steady_clock;

// Nanoseconds of one memcpy of a whole record.
double MemcpyNs() {
  CSTAMessage from;
  for (std::size_t i = 0; i < CSTAMessage::kSize; ++i) from.bytes[i] = static_cast<std::uint8_t>(i);
  static CSTAMessage to;
  constexpr int kRounds = 200000;
  const auto t0 = Clock::now();
  for (int i = 0; i < kRounds; ++i) {
    std::memcpy(to.bytes.data(), from.bytes.data(), CSTAMessage::kSize);
    benchmark::ClobberMemory();
    from.bytes[static_cast<std::size_t>(i) % CSTAMessage::kSize] ^= 1;
  }
  benchmark::DoNotOptimize(to.bytes.data());
  return std::chrono::duration<double, std::nano>(Clock::now() - t0).count() / kRounds;
}

// Nanoseconds of an empty timed region: taken off each event's time.
double ClockNs() {
  constexpr int kRounds = 200000;
  double sum = 0;
  for (int i = 0; i < kRounds; ++i) {
    const auto t0 = Clock::now();
    const auto t1 = Clock::now();
    sum += std::chrono::duration<double, std::nano>(t1 - t0).count();
  }
  return sum / kRounds;
}

// Allocations an event that makes no call record, or negative before a run.
double g_plainAllocs = -1.0;

void BM_EventPath(benchmark::State& state) {
  GlobalConfig().SDFN.clear();
  const bool where = std::getenv("FILTER_BENCH_WHERE") != nullptr;
  const std::vector<CSTAMessage> traffic = eventpath::Traffic();
  const double memcpyNs = MemcpyNs();
  const double clockNs = ClockNs();
  eventpath::Rig r;
  long plainEvents = 0, plainAllocs = 0, recordEvents = 0, recordAllocs = 0;
  double plainNs = 0;
  for (auto _ : state) {
    for (const CSTAMessage& m : traffic) {
      const std::size_t pool = r.handler.PoolSize();
      const long before = g_allocs.load(std::memory_order_relaxed);
      if (where) g_where = true;
      const auto t0 = Clock::now();
      r.filter.OnCSTAMessage(&m);
      const auto t1 = Clock::now();
      r.loop.RunUntilIdle();
      g_where = false;
      const long allocs = g_allocs.load(std::memory_order_relaxed) - before;
      if (r.handler.PoolSize() > pool) {
        ++recordEvents;
        recordAllocs += allocs;
        r.handler.JoinWorkers();  // the incoming-call worker's result comes next
        r.loop.RunUntilIdle();
      } else {
        ++plainEvents;
        plainAllocs += allocs;
        plainNs += std::chrono::duration<double, std::nano>(t1 - t0).count() - clockNs;
      }
    }
    r.handler.PurgeReleasedCalls();
  }
  const double perPlain = plainEvents ? static_cast<double>(plainAllocs) / static_cast<double>(plainEvents) : 0.0;
  g_plainAllocs = plainEvents ? perPlain : -1.0;
  const double perRecord = recordEvents ? static_cast<double>(recordAllocs) / static_cast<double>(recordEvents) : 0.0;
  const double nsPlain = plainEvents ? plainNs / static_cast<double>(plainEvents) : 0.0;
  state.counters["allocs/event"] = perPlain;
  state.counters["allocs/new-record event"] = perRecord;
  state.counters["ns/event"] = nsPlain;
  state.counters["memcpy ns"] = memcpyNs;
  state.counters["x memcpy"] = memcpyNs > 0 ? nsPlain / memcpyNs : 0.0;
  std::printf(
      "event path: %.3f allocations per event without a new call record (%ld events), %.2f per event with one "
      "(%ld events); %.0f ns per event = %.1f times a memcpy of the record (%.1f ns)\n",
      perPlain, plainEvents, perRecord, recordEvents, nsPlain, memcpyNs > 0 ? nsPlain / memcpyNs : 0.0, memcpyNs);
}
BENCHMARK(BM_EventPath)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const char* what = "allocations an event without a new call record";
  if (g_plainAllocs < 0) {
    benchbound::NoFigure(what, true, 0, "");
    return 0;
  }
  return benchbound::Report(what, g_plainAllocs, true, 0, "") ? 0 : 1;
}
