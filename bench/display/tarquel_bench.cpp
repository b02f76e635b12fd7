// The display control with 5 groups of 12 devices, its window offscreen and
// the first group's tab shown: a "Contents" update of a device on a tile
// against one of a device in a group no tile shows, in one run. The tile's
// update may cost at most 20 times the other.
#include <QApplication>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bound.h"
#include "platform/eventloop.h"
#include "plugins/display/overviewdlg.h"
#include "plugins/display/tarquel.h"

namespace {

using Clock = std::chrono::steady_clock;

double g_boundNs = 0, g_unboundNs = 0;
std::vector<std::vector<DLLIFC_ITEM>> g_devices;

void Fill() {
  TARQAPICreate(0, 37, 0);
  for (int g = 0; g < 5; ++g) {
    DLLIFC_ITEM group = -1;
    TARQAPIAddItem(0, &group, 0);
    TARQAPIItemSetParamAsString(group, "Label", ("Gr. " + std::to_string(g + 1)).c_str());
    g_devices.emplace_back();
    for (int i = 0; i < 12; ++i) {
      DLLIFC_ITEM d = -1;
      TARQAPIAddItem(group, &d, 0);
      TARQAPIItemSetParamAsString(d, "Label", ("Zimmer " + std::to_string(100 * g + i)).c_str());
      g_devices.back().push_back(d);
    }
  }
  TARQAPIVisualStateFunction(768, 1);
  TARQAPIVisualStateFunction(767, 1);
  tarquel::Overview()->SelectTab(1);
}

double Run(benchmark::State& state, int group) {
  char text[32];
  double ns = 0;
  long updates = 0;
  int n = 0;
  for (auto _ : state) {
    for (DLLIFC_ITEM d : g_devices[static_cast<std::size_t>(group)]) {
      std::snprintf(text, sizeof text, "EUR %5.2f", 0.01 * (++n % 10000));
      const auto t0 = Clock::now();
      TARQAPIItemSetParamAsString(d, "Contents", text);
      ns += std::chrono::duration<double, std::nano>(Clock::now() - t0).count();
      ++updates;
    }
  }
  // What the updates left for the screen is drawn outside the measurement.
  QApplication::processEvents();
  const double per = updates ? ns / static_cast<double>(updates) : 0.0;
  state.counters["ns/update"] = per;
  return per;
}

void BM_ContentsOnBoundTile(benchmark::State& state) { g_boundNs = Run(state, 0); }
void BM_ContentsOfUnboundItem(benchmark::State& state) { g_unboundNs = Run(state, 4); }

BENCHMARK(BM_ContentsOfUnboundItem)->Iterations(2000);
BENCHMARK(BM_ContentsOnBoundTile)->Iterations(2000);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  plat::ManualLoop loop;
  Fill();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  TARQAPIClose();
  if (g_boundNs <= 0 || g_unboundNs <= 0) {
    benchbound::NoFigure("a bound tile's update / an unbound item's", true, 20);
    return 0;
  }
  std::printf("a bound tile's update %.0f ns, an unbound item's %.0f ns\n", g_boundNs, g_unboundNs);
  return benchbound::Report("a bound tile's update / an unbound item's", g_boundNs / g_unboundNs, true, 20) ? 0 : 1;
}
