// The filter mix of 60 watched extensions through the real filter and call
// model, once with FakeView as the view (the yardstick) and once with the
// real hub behind it; prints the hub's rate as a share of the yardstick's.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/bound.h"
#include "app/doc/brimlowdoc.h"
#include "app/view/brimlowview.h"
#include "core/base/globalconfig.h"
#include "fakes.h"
#include "platform/eventloop.h"
#include "platform/msgbox.h"
#include "tests/core/filter/eventpath_rig.h"
#include "tests/phonebook/fake/fake_phonebook.h"

namespace {

std::map<std::string, double> g_rates;

// The shell's stand-ins: they only take what the view gives them.
struct Frame : IViewFrame {
  void Show() override {}
  void Hide() override {}
  void Minimise() override {}
  void Restore() override {}
  void BringToForeground() override {}
  void HideOwnedPopups() override {}
  void ShowOwnedPopups() override {}
  void SetTitle(const std::string&) override {}
  void SetStatusText(const std::string&) override {}
  void UpdateMenu() override {}
  void RecalcLayout() override {}
  void SetBusy(bool) override {}
  void ExitCommand() override {}
};
struct Tray : IViewTray {
  std::string tip;
  int icon = 0;
  void SetOwner(plat::WindowId, plat::UINT) override {}
  void SetTip(const std::string& t, bool) override { tip.assign(t, 0, 63); }
  void SetIcon(int id, bool) override { icon = id; }
  bool Apply() override { return true; }
  void Remove() override {}
  bool HasNotificationArea() const override { return true; }
  void ShowMenu(const std::vector<TrayMenuEntry>&) override {}
  void CloseMenu() override {}
};
struct Link : IViewLink {
  FakeLink link;
  IPBXLink& Pbx() override { return link; }
  int Open(plat::WindowId) override { return 1; }
  int StopStep() override { return 1; }
  int LinkStep() override { return 0; }
  int ProcessCommInput(plat::WPARAM, plat::LPARAM) override { return 0; }
  void SetOwner(plat::WindowId) override {}
  int Reopen() override { return 0; }
};

// The document with 60 watched extensions and a phone book; the view is
// the real hub or FakeView.
struct Setup {
  plat::ManualLoop loop;
  plat::ScriptedMessageBox boxes;
  FakePhoneBook book;
  FakeDrawing drawing;
  FakeCallData callData;
  FakeMissedCalls missed;
  Frame frame;
  Tray tray;
  CBrimlowDoc doc;
  FakeView fakeView;
  std::unique_ptr<CBrimlowView> view;
  FakeLink* link = nullptr;
  std::unique_ptr<Link> spare;

  explicit Setup(bool realHub) {
    plat::SetMessageBoxImpl(&boxes);
    CMonitorTable& t = doc.MonitorTable();
    t.SetPartner(nullptr);
    for (int n = 10; n < 70; ++n) {
      CMonitorEntry e;
      e.SetNumber(std::to_string(n));
      e.watchMode = n % 10 == 0 ? 2 : 1;
      e.monitoringOn = 1;
      t.SetEntry(e);
      CMonitorEntry* entry = t.FindByNumber(std::to_string(n));
      entry->crossRefId = 1000 + static_cast<std::uint32_t>(n);
      entry->monitorState = CMonitorEntry::kMonitored;
    }
    t.SetMainPhone("21");
    t.SetPartner(&doc.Filter());
    book.Add("0301234", "Firma", "", "Meier");
    auto l = std::make_unique<Link>();
    link = &l->link;
    link->filter = &doc.Filter();
    link->monitors = &t;
    if (realHub) {
      view = std::make_unique<CBrimlowView>(doc, frame, tray, std::move(l));
      view->Create();
      link->view = view->Id();
    } else {
      spare = std::move(l);
      doc.CallHandler().view = fakeView.id;
      doc.CallHandler().link = link;
      doc.Filter().link = link;
      doc.Filter().view = fakeView.id;
      link->view = fakeView.id;
    }
    doc.CallHandler().phoneBook = &book;
    doc.CallHandler().callData = &callData;
    doc.CallHandler().missedCalls = &missed;
    doc.Filter().drawing = &drawing;
  }
  ~Setup() {
    doc.CallHandler().JoinWorkers();
    doc.CallHandler().phoneBook = nullptr;
    view.reset();
    plat::SetMessageBoxImpl(nullptr);
  }
};

void Mix(benchmark::State& state, bool realHub, const char* name) {
  GlobalConfig().SDFN.clear();
  GlobalConfig().GLO = 0;
  GlobalConfig().CHLO = 0;
  GlobalConfig().PBXLO = 0;
  GlobalConfig().AWNNCI = 1;
  Setup s(realHub);
  const std::vector<CSTAMessage> traffic = eventpath::Traffic();
  long messages = 0;
  double seconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    for (const CSTAMessage& m : traffic) {
      s.doc.Filter().OnCSTAMessage(&m);
      s.doc.CallHandler().JoinWorkers();
      s.loop.RunUntilIdle();
    }
    s.doc.CallHandler().PurgeReleasedCalls();
    s.fakeView.messages.clear();
    s.drawing.events.clear();
    s.callData.lines.clear();
    s.missed.numbers.clear();
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    messages += static_cast<long>(traffic.size());
  }
  state.counters["msgs/s"] = benchmark::Counter(static_cast<double>(messages), benchmark::Counter::kIsRate);
  if (seconds > 0) g_rates[name] = static_cast<double>(messages) / seconds;
}

void BM_FilterMixFakeView(benchmark::State& state) { Mix(state, false, "fake"); }
void BM_FilterMixRealHub(benchmark::State& state) { Mix(state, true, "hub"); }

}  // namespace

BENCHMARK(BM_FilterMixFakeView)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(BM_FilterMixRealHub)->Unit(benchmark::kMillisecond)->MinTime(0.5);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  // Three rounds, judged on the median ratio: one round may land beside
  // other work on a shared machine.
  std::vector<double> ratios;
  for (int round = 0; round < 3; ++round) {
    g_rates.clear();
    benchbound::Reporter reporter;  // the library's own one serves a single run only
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (!g_rates.count("fake") || !g_rates.count("hub") || g_rates["fake"] <= 0) break;
    std::printf("real hub %.0f msgs/s, FakeView %.0f msgs/s\n", g_rates["hub"], g_rates["fake"]);
    ratios.push_back(g_rates["hub"] / g_rates["fake"]);
  }
  benchmark::Shutdown();
  if (ratios.size() != 3) {
    benchbound::NoFigure("real hub / FakeView rate", false, 0.80);
    return 0;
  }
  return benchbound::ReportMedian("real hub / FakeView rate", ratios, false, 0.80) ? 0 : 1;
}
