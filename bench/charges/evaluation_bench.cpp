// Dialog 201's list filled from 1,000,000 charge records (every record,
// filter 1) against making the same lines alone, in the same run. Target:
// the fill <= 1.5x the lines.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "bench/bound.h"
#include "bench/charges/chargefile.h"
#include "core/service/servicerecordfile.h"
#include "charges/dialogs/callevaluationdlg.h"
#include "charges/handler/chargeandloghandler.h"
#include "core/base/globalconfig.h"

namespace {

constexpr int kRecords = 1000000;

std::string MakeFile() { return benchcharges::MakeChargeFile("brimlow_evaluation_bench", kRecords); }

struct Rig {
  CGlobalConfig config;
  CMonitorTable table;
  CServiceRecordFile records;
  std::unique_ptr<CChargeAndLogHandler> handler;
  std::unique_ptr<CCallEvaluationDlg> dlg;
  Rig() {
    config.CPROCON = 1;
    GlobalConfig().CPROCON = 1;
    CMonitorEntry e;
    e.SetNumber("21");
    table.SetEntry(e);
    handler = std::make_unique<CChargeAndLogHandler>(&config);
    handler->SetPartners(nullptr, nullptr, nullptr, &table);
    handler->OpenChargeFile(MakeFile());
    dlg = std::make_unique<CCallEvaluationDlg>(CCallEvaluationDlg::kChargeFile, handler.get(), &records, &table,
                                               nullptr);
    dlg->Create(0);  // the first fill, filter 1: every record
  }
};

Rig& TheRig() {
  static Rig rig;
  return rig;
}

void BM_LinesAlone_1M(benchmark::State& state) {
  CChargeAndLogHandler& h = *TheRig().handler;
  std::size_t lines = 0, bytes = 0;
  for (auto _ : state) {
    lines = bytes = 0;
    for (std::string l = h.GetFirstReportLine(4, 1); !l.empty(); l = h.GetNextReportLine(4, 1)) {
      ++lines;
      bytes += l.size();
    }
    benchmark::DoNotOptimize(bytes);
  }
  state.counters["lines"] = static_cast<double>(lines);
}
BENCHMARK(BM_LinesAlone_1M)->Unit(benchmark::kMillisecond);

void BM_FillDialogList_1M(benchmark::State& state) {
  CCallEvaluationDlg& d = *TheRig().dlg;
  for (auto _ : state) d.Fill();
  state.counters["lines"] = static_cast<double>(d.Lines().Count());
}
BENCHMARK(BM_FillDialogList_1M)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchbound::Reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  TheRig().dlg.reset();
  return benchbound::CheckRatios(reporter, {{"dialog 201 filled / its lines alone", "BM_FillDialogList_1M",
                                             "BM_LinesAlone_1M", 1.5, true}})
             ? 0
             : 1;
}
