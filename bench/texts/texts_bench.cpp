// Opening the shipped language file, and looking up every text in it.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "bench/bound.h"
#include "libs/texts/langfile.h"
#include "libs/texts/veskoapi.h"

namespace {

std::string LanguageFile() {
  return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "velt_ger.lng").string();
}

void BM_OpenSession(benchmark::State& state) {
  const std::string file = LanguageFile();
  for (auto _ : state) {
    VESKOSESSION h;
    if (VESKOAPIOpenSession(file.c_str(), 0, &h) != 0) {
      state.SkipWithError("velt_ger.lng does not open");
      break;
    }
    VESKOAPICloseSession(h);
  }
}
BENCHMARK(BM_OpenSession)->Unit(benchmark::kMicrosecond);

void BM_LookupEveryText(benchmark::State& state) {
  const std::string file = LanguageFile();
  std::vector<texolan::TextGroup> groups;
  VESKOSESSION h;
  if (texolan::ParseLanguageFile(file, groups) != 0 || VESKOAPIOpenSession(file.c_str(), 0, &h) != 0) {
    state.SkipWithError("velt_ger.lng does not open");
    return;
  }
  std::vector<std::pair<int, int>> ids;
  for (const auto& g : groups) {
    for (const auto& e : g.entries) ids.push_back({g.number, e.number});
  }
  for (auto _ : state) {
    for (const auto& [g, e] : ids) benchmark::DoNotOptimize(VESKOAPIGetTextParameter(h, g, e, 0));
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * ids.size()));
  state.counters["texts"] = static_cast<double>(ids.size());
  state.counters["time_per_1000"] = benchmark::Counter(
      static_cast<double>(state.iterations() * ids.size()) / 1000.0,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  VESKOAPICloseSession(h);
}
BENCHMARK(BM_LookupEveryText)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return benchbound::FiguresOnly(argc, argv); }
