// Every benchmark states its bound and ends with one line a bound:
//   bound: <what> <= 2.00 x | figure 1.73 x | met
// and exits 1 when a bound was missed, so a run can be judged at a glance.
#pragma once
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace benchbound {

// Prints the bound's line; true when it was met. atMost: the figure may not
// exceed the limit, else it may not fall below it.
inline bool Report(const std::string& what, double figure, bool atMost, double limit, const char* unit = "x") {
  const bool met = atMost ? figure <= limit : figure >= limit;
  std::printf("bound: %s %s %.2f %s | figure %.2f %s | %s\n", what.c_str(), atMost ? "<=" : ">=", limit, unit, figure,
              unit, met ? "met" : "NOT met");
  std::fflush(stdout);
  return met;
}

// A bound whose figure could not be taken (its benchmark was left out or
// failed) is neither met nor missed.
inline void NoFigure(const std::string& what, bool atMost, double limit, const char* unit = "x") {
  std::printf("bound: %s %s %.2f %s | no figure | not judged\n", what.c_str(), atMost ? "<=" : ">=", limit, unit);
  std::fflush(stdout);
}

// Prints the rounds' figures, then judges their median as Report does.
inline bool ReportMedian(const std::string& what, std::vector<double> figures, bool atMost, double limit) {
  std::printf("rounds: %s:", what.c_str());
  for (double x : figures) std::printf(" %.2f", x);
  std::printf("\n");
  std::sort(figures.begin(), figures.end());
  return Report(what, figures[figures.size() / 2], atMost, limit);
}

// Keeps each run's time per iteration (ns, real and CPU) and its counters
// by name.
class Reporter : public benchmark::ConsoleReporter {
 public:
  // Colours only on a terminal: in a log they would run into the bound lines.
  Reporter() : ConsoleReporter(::isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}
  std::map<std::string, double> realNs, cpuNs;
  std::map<std::string, std::map<std::string, double>> counters;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      if (r.error_occurred || r.iterations <= 0 || r.run_type != Run::RT_Iteration) continue;
      const double toNs = 1e9 / benchmark::GetTimeUnitMultiplier(r.time_unit);
      realNs[r.benchmark_name()] = r.GetAdjustedRealTime() * toNs;
      cpuNs[r.benchmark_name()] = r.GetAdjustedCPUTime() * toNs;
      for (const auto& [name, c] : r.counters) counters[r.benchmark_name()][name] = c.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  // Nanoseconds an iteration of the named run, or a negative value.
  double Ns(const std::string& name, bool cpu = false) const {
    const auto& m = cpu ? cpuNs : realNs;
    auto it = m.find(name);
    return it == m.end() ? -1.0 : it->second;
  }
};

// measured's time against yardstick's, in the same run. Work that never
// waits (reading from the page cache, parsing) compares CPU time, which
// other work on the machine leaves alone; work that waits for the disk
// compares real time.
struct Ratio {
  std::string what;
  std::string measured;
  std::string yardstick;
  double atMost;
  bool cpu = false;
};

// Checks the ratios on what the reporter kept; false when one was missed.
inline bool CheckRatios(const Reporter& r, const std::vector<Ratio>& ratios) {
  bool all = true;
  for (const Ratio& q : ratios) {
    const double m = r.Ns(q.measured, q.cpu), y = r.Ns(q.yardstick, q.cpu);
    if (m < 0 || y <= 0) {
      NoFigure(q.what, true, q.atMost);
      continue;
    }
    all = Report(q.what + (q.cpu ? " (CPU time)" : ""), m / y, true, q.atMost) && all;
  }
  return all;
}

// A run's real time an iteration against a limit in microseconds.
inline bool CheckMicroseconds(const Reporter& r, const std::string& what, const std::string& run, double atMostUs) {
  const double ns = r.Ns(run);
  if (ns < 0) {
    NoFigure(what, true, atMostUs, "us");
    return true;
  }
  return Report(what, ns / 1000.0, true, atMostUs, "us");
}

// The whole main of a benchmark whose bounds are ratios of run times. The
// benchmarks run in three rounds and each bound is judged on the median of
// its three ratios: on a shared machine one round may land beside other
// work that the yardstick's round did not meet.
inline int Main(int argc, char** argv, const std::vector<Ratio>& ratios) {
  benchmark::Initialize(&argc, argv);
  constexpr int kRounds = 3;
  std::vector<std::vector<double>> figures(ratios.size());
  for (int round = 0; round < kRounds; ++round) {
    Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (std::size_t i = 0; i < ratios.size(); ++i) {
      const double m = reporter.Ns(ratios[i].measured, ratios[i].cpu);
      const double y = reporter.Ns(ratios[i].yardstick, ratios[i].cpu);
      if (m >= 0 && y > 0) figures[i].push_back(m / y);
    }
  }
  benchmark::Shutdown();
  bool all = true;
  for (std::size_t i = 0; i < ratios.size(); ++i) {
    const Ratio& q = ratios[i];
    std::vector<double>& f = figures[i];
    if (f.size() != kRounds) {
      NoFigure(q.what, true, q.atMost);
      continue;
    }
    all = ReportMedian(q.what + (q.cpu ? " (CPU time)" : ""), f, true, q.atMost) && all;
  }
  return all ? 0 : 1;
}

// The main of a benchmark that states no bound: figures only.
inline int FiguresOnly(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf("bound: none | figures only | not judged\n");
  return 0;
}

}  // namespace benchbound
