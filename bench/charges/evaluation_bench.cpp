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

#include "app/service/servicerecordfile.h"
#include "charges/dialogs/callevaluationdlg.h"
#include "charges/handler/chargeandloghandler.h"
#include "core/base/globalconfig.h"

namespace {

constexpr int kRecords = 1000000;

std::string MakeFile() {
  const auto dir = std::filesystem::temp_directory_path() / ("brimlow_evaluation_bench_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "charges.log").string();
  if (std::filesystem::exists(path)) return path;
  std::string bytes(ChargeFileHeader::kSize, '\0');
  ChargeFileHeader::Default().Serialize(reinterpret_cast<std::uint8_t*>(bytes.data()));
  bytes.reserve(bytes.size() + static_cast<std::size_t>(kRecords) * ChargeRecord::kSize);
  for (int i = 0; i < kRecords; ++i) {
    ChargeRecord r;
    r.start = 1704067200u + static_cast<std::uint32_t>(i) * 31u;
    r.duration = static_cast<std::int16_t>(30 + i % 600);
    r.units = static_cast<std::int16_t>(1 + i % 5);
    r.SetCalling(i % 100 == 0 ? "21" : "0891234" + std::to_string(i % 1000));
    r.SetCalled("0301234" + std::to_string(i % 977));
    std::uint8_t b[ChargeRecord::kSize];
    r.Serialize(b);
    bytes.append(reinterpret_cast<char*>(b), sizeof b);
  }
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

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
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  TheRig().dlg.reset();
  return 0;
}
