// Filling dialog 182 with 20,000 lines newest first (CINFSOSEQ 1) against
// oldest first, in the same run: the order costs at most 1.5 times.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <string>
#include <vector>

#include "bench/bound.h"
#include "app/dialogs/calldatadlg.h"
#include "charges/calldata/calldatalist.h"
#include "core/base/globalconfig.h"

namespace {

class Lines : public ICallDataSource {
 public:
  Lines() {
    for (int i = 0; i < 20000; ++i)
      lines_.push_back("05. 03. 24\t09:07:03\t 1.20 DM\t09:07\t09:09\t0301" + std::to_string(100000 + i) + "\t11");
  }
  bool FirstLine() override {
    pos_ = 0;
    return !lines_.empty();
  }
  bool NextLine(std::string* line) override {
    if (pos_ >= lines_.size()) return false;
    *line = lines_[pos_++];
    return true;
  }
  int EmptyList() override { return 0; }
  int Act(int, const std::string&) override { return 0; }
  std::string GetReportText(int) override { return {}; }

 private:
  std::vector<std::string> lines_;
  std::size_t pos_ = 0;
};

QApplication& App() {
  static int argc = 1;
  static char name[] = "dialogs_bench";
  static char* argv[] = {name, nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

void BM_FillCallData(benchmark::State& state) {
  App();
  Lines lines;
  GlobalConfig().CINFSOSEQ = static_cast<int>(state.range(0));
  CCallDataDlg dlg(lines, nullptr);
  dlg.Create(0);
  for (auto _ : state) dlg.Fill();
  state.SetLabel(state.range(0) ? "newest first" : "oldest first");
  dlg.DestroyWindow();
}
BENCHMARK(BM_FillCallData)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  return benchbound::Main(argc, argv,
                          {{"dialog 182 newest first / oldest first", "BM_FillCallData/1", "BM_FillCallData/0", 1.5, true}});
}
