// The filter with the connection viewer listening (the real plug-in, its
// window offscreen, through the real binding) against the filter alone, for
// 60 watched extensions and the same traffic, in one run. The viewer should
// keep at least half of the filter's throughput.
#include <QApplication>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/bound.h"
#include "app/plugins/pluginbinding.h"
#include "core/base/globalconfig.h"
#include "tests/core/filter/eventpath_rig.h"

namespace {

using Clock = std::chrono::steady_clock;

double g_aloneNs = 0, g_viewerNs = 0;

double Run(benchmark::State& state, CConnectionViewerBinding* viewer) {
  GlobalConfig().SDFN.clear();
  const std::vector<CSTAMessage> traffic = eventpath::Traffic();
  eventpath::Rig r;
  if (viewer) r.filter.RegisterListener(viewer, nullptr, -1);
  double ns = 0;
  long events = 0;
  for (auto _ : state) {
    for (const CSTAMessage& m : traffic) {
      const auto t0 = Clock::now();
      r.filter.OnCSTAMessage(&m);
      ns += std::chrono::duration<double, std::nano>(Clock::now() - t0).count();
      ++events;
      r.loop.RunUntilIdle();
      r.handler.JoinWorkers();
      r.loop.RunUntilIdle();
    }
    r.handler.PurgeReleasedCalls();
  }
  if (viewer) r.filter.RemoveListener(viewer);
  const double perEvent = events ? ns / static_cast<double>(events) : 0.0;
  state.counters["ns/event"] = perEvent;
  return perEvent;
}

void BM_FilterAlone(benchmark::State& state) { g_aloneNs = Run(state, nullptr); }

void BM_FilterWithViewer(benchmark::State& state) {
  CConnectionViewerBinding viewer;
  if (viewer.Load(CConnectionViewerBinding::kFileName) != 0 || viewer.Create(0, 36, 0) != 0) {
    state.SkipWithError("dorvane.so could not be loaded");
    return;
  }
  g_viewerNs = Run(state, &viewer);
  viewer.Close();
}

BENCHMARK(BM_FilterAlone)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FilterWithViewer)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (g_aloneNs <= 0 || g_viewerNs <= 0) {
    benchbound::NoFigure("throughput with the viewer / the filter alone", false, 0.5);
    return 0;
  }
  std::printf("an event with the viewer %.0f ns, the filter alone %.0f ns\n", g_viewerNs, g_aloneNs);
  return benchbound::Report("throughput with the viewer / the filter alone", g_aloneNs / g_viewerNs, false, 0.5) ? 0 : 1;
}
