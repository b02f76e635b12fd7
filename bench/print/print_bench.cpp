// A table of 10,000 rows through the print library into a PDF in memory,
// against the yardstick of drawing the same texts with a bare QPainter on
// the same kind of device. Prints the cost per row as a ratio.
#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/bound.h"
#include "print/jobs.h"
#include "print/marpel32.h"

namespace {

constexpr int kRows = 10000;
const char* const kFormat = "r{31.12.99},r{23:59:00},r{88:88:88},l{0099000011112222},l{0099000011112222},r{999.99 DM}";

std::vector<std::vector<std::string>> Rows() {
  std::vector<std::vector<std::string>> rows;
  char b[6][32];
  for (int i = 0; i < kRows; ++i) {
    std::snprintf(b[0], 32, "%02d.03.26", 1 + i % 28);
    std::snprintf(b[1], 32, "%02d:%02d:00", 8 + i % 10, i % 60);
    std::snprintf(b[2], 32, "00:%02d:%02d", i % 60, (i * 7) % 60);
    std::snprintf(b[3], 32, "0891234%03d", i % 1000);
    std::snprintf(b[4], 32, "030987%04d", i % 10000);
    std::snprintf(b[5], 32, "%d.%02d DM", i % 100, i % 97);
    rows.push_back({b[0], b[1], b[2], b[3], b[4], b[5]});
  }
  return rows;
}

std::unique_ptr<QPdfWriter> Writer(QBuffer& out) {
  auto w = std::make_unique<QPdfWriter>(&out);
  w->setResolution(600);
  w->setPageSize(QPageSize(QPageSize::A4));
  w->setPageMargins(QMarginsF(0, 0, 0, 0));
  return w;
}

double g_library = 0, g_bare = 0;  // seconds per row

void BM_LibraryTable(benchmark::State& state) {
  const auto rows = Rows();
  std::vector<std::string> lines;
  for (const auto& r : rows) lines.push_back(r[0] + "\t" + r[1] + "\t" + r[2] + "\t" + r[3] + "\t" + r[4] + "\t" + r[5]);
  for (auto _ : state) {
    marpel::ResetLibrary();
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    const std::uint16_t job = MARPLAPICreatePrintFile("Report.log", 4, 2);
    marpel::BindSurface(*marpel::FindJob(job), marpel::MakeQtSurface(Writer(out)));
    MARPLAPISetSequence(job, 1, 0, 5, "Report.log");
    MARPLAPISetLaTeXCommand(job, "\\documentstyle[10pt,german,dina4]{article}");
    MARPLAPISetLaTeXCommand(job, "\\columnsep{4 mm}");
    MARPLAPISetSequence(job, 6, 19, 5, kFormat);
    for (const auto& l : lines) MARPLAPISetSequence(job, 32, 22, 5, l.c_str());
    MARPLAPISetSequence(job, 7, 0, 0, nullptr);
    MARPLAPISetSequence(job, 2, 0, 0, nullptr);
    MARPLAPIReleasePrintJob(job);
    benchmark::DoNotOptimize(out.size());
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}

// The same texts at fixed places, one right-aligned column measured, pages
// broken by count: what any printing code must do at the least.
void BM_BarePainter(benchmark::State& state) {
  const auto rows = Rows();
  for (auto _ : state) {
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    auto w = Writer(out);
    QPainter p(w.get());
    QFont f(QStringLiteral("serif"));
    f.setPixelSize(98);
    p.setFont(f);
    const QFontMetrics fm(f, w.get());
    const int x[6] = {354, 900, 1400, 1900, 2900, 4200};
    int y = 0;
    for (const auto& r : rows) {
      if (y + fm.height() > 6378) {
        w->newPage();
        y = 0;
      }
      for (int c = 0; c < 6; ++c) {
        const QString s = QString::fromLatin1(r[c].c_str());
        const int at = c == 5 ? x[c] - fm.horizontalAdvance(s) : x[c];
        p.drawText(at, y + fm.ascent(), s);
      }
      y += fm.height();
    }
    p.end();
    benchmark::DoNotOptimize(out.size());
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}

class Ratio : public benchmark::ConsoleReporter {
 public:
  Ratio() : ConsoleReporter(::isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      const double perRow = r.GetAdjustedRealTime() / kRows;
      if (r.benchmark_name().find("Library") != std::string::npos) g_library = perRow;
      if (r.benchmark_name().find("Bare") != std::string::npos) g_bare = perRow;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

BENCHMARK(BM_BarePainter)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LibraryTable)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  Ratio reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  if (g_bare <= 0 || g_library <= 0) {
    benchbound::NoFigure("table row through the library / bare painter row", true, 2.0);
    return 0;
  }
  return benchbound::Report("table row through the library / bare painter row", g_library / g_bare, true, 2.0) ? 0 : 1;
}
