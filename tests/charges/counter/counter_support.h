// What the charge-counter tests share: a display control that writes down
// every call as one line, fakes of the report and extension windows, and
// the manager on the real filter, charge handler, call handler and monitor
// table with the fake link (every request the PBX would get is in
// link.sent), in a folder of its own.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "charges/counter/sumchargehandler.h"
#include "charges/handler/chargeandloghandler.h"
#include "charges/handler/chargewire.h"
#include "core/iface/pbxlink.h"
#include "platform/dialogkit/dlgscript.h"
#include "tests/app/callwin/callwin_support.h"

namespace countertest {

class RecordingDisplay : public IDisplayControl {
 public:
  int SetDisplayParam(const std::string& name, const std::string& value) override {
    lines.push_back("param " + name + "=" + value);
    return 0;
  }
  std::int32_t AddItem(std::int32_t parent) override {
    if (refuseAdd) return -1;
    const std::int32_t id = ++next;
    lines.push_back("add " + std::to_string(parent) + " " + std::to_string(id));
    return id;
  }
  int SetItemParam(std::int32_t item, const std::string& name, const std::string& value) override {
    lines.push_back(std::to_string(item) + " " + name + "=" + value);
    return 0;
  }
  // The lines that set one item's parameter, in order.
  std::vector<std::string> Of(std::int32_t item, const std::string& name) const {
    std::vector<std::string> out;
    const std::string head = std::to_string(item) + " " + name + "=";
    for (const std::string& l : lines)
      if (l.rfind(head, 0) == 0) out.push_back(l.substr(head.size()));
    return out;
  }
  std::string Last(std::int32_t item, const std::string& name) const {
    auto v = Of(item, name);
    return v.empty() ? "<none>" : v.back();
  }
  int Count(const std::string& prefix) const {
    int n = 0;
    for (const std::string& l : lines) n += l.rfind(prefix, 0) == 0;
    return n;
  }
  std::vector<std::string> lines;
  std::int32_t next = 0;
  bool refuseAdd = false;
};

// The report: what the selection was while it ran.
class FakeReport : public IChargeReportWindow {
 public:
  explicit FakeReport(CChargeAndLogHandler*& h) : h_(h) {}
  void ShowReport(plat::WindowId parent) override {
    ++shown;
    lastParent = parent;
    during = h_->Header().selection;
    timeSwitch = *static_cast<const std::int32_t*>(h_->GetParameter(9));
    extSwitch = *static_cast<const std::int32_t*>(h_->GetParameter(11));
  }
  int shown = 0;
  plat::WindowId lastParent = 0;
  ChargeSelection during;
  std::int32_t timeSwitch = -1, extSwitch = -1;

 private:
  CChargeAndLogHandler*& h_;
};

class FakeInfo : public IExtensionInfoWindow {
 public:
  int ShowExtensionInfo(SumChargeExtension& e, plat::WindowId) override {
    ++shown;
    if (answer == plat::IDOK) {
      e.name = newName;
      e.showCheckIn = 1;
    }
    return answer;
  }
  int shown = 0;
  int answer = plat::IDOK;
  std::string newName = "Neu";
};

inline std::string ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::filesystem::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::binary);
  out << text;
}

class CounterTest : public callwintest::CallWinTest {
 protected:
  void SetUp() override {
    CallWinTest::SetUp();
    dir = dir_.path().toStdString();
    ::setenv("TMPDIR", dir.c_str(), 1);
    CGlobalConfig& c = GlobalConfig();
    c.CPROCON = 1;
    c.PPCU = 0.12f;
    c.CAUN = "EUR";
    c.IO1008 = 0;
    core = std::make_unique<callwintest::CoreRig>();
    charges = std::make_unique<CChargeAndLogHandler>(&GlobalConfig());
    handler = charges.get();
    charges->SetPartners(nullptr, &core->link, core->filter.MessageSink(), &core->table);
    ASSERT_EQ(charges->OpenChargeFile((dir / "charproc.log").string()), 1);
    core->filter.charge = charges.get();
    report = std::make_unique<FakeReport>(handler);
  }
  void TearDown() override {
    manager.reset();
    if (core) core->filter.charge = nullptr;
    charges.reset();
    core.reset();
    CallWinTest::TearDown();
  }
  std::string Ini() const { return (dir / "sumcharge.ini").string(); }
  void Watch(int from, int count) {
    for (int i = 0; i < count; ++i) core->Watch(std::to_string(from + i));
  }
  // A manager on the file, loaded, attached and listening to the filter.
  CSumChargeHandler& Make(bool attach = true) {
    manager = std::make_unique<CSumChargeHandler>(&GlobalConfig());
    manager->LoadSettings(Ini());
    manager->SetReportWindow(report.get());
    manager->SetExtensionInfoWindow(&info);
    if (attach) {
      manager->AttachDisplay(&core->table, &display, charges.get(), &core->handler, view.id);
      core->filter.RegisterListener(manager.get(), nullptr, -1);
    }
    return *manager;
  }
  void Drop() {
    if (manager) core->filter.RemoveListener(manager.get());
    manager.reset();
  }
  void Feed(const CSTAMessage& m) {
    core->link.OnLinkMessage(linkev::kIncoming, 0, &m);
    loop.RunUntilIdle();
  }
  // The private requests sent since the mark, as "kind:text".
  std::vector<std::string> Sent(std::size_t from = 0) const {
    std::vector<std::string> out;
    for (std::size_t i = from; i < core->link.sent.size(); ++i) {
      const CSTAMessage& m = core->link.sent[i].record;
      if (m.Type() != CSTA_PRIVATE) continue;
      out.push_back(std::to_string(m.PrivateKind()) + ":" + m.Text(11, 100));
    }
    return out;
  }
  std::size_t Mark() const { return core->link.sent.size(); }
  std::int32_t ItemOf(const std::string& number) {
    const SumChargeExtension* e = manager->FindExtension(0, number);
    return e ? e->item : -1;
  }
  // A tile button as the display control posts it.
  void Press(plat::UINT message, const std::string& number) {
    manager->ExecuteCommand(message, 77, ItemOf(number));
    loop.RunUntilIdle();
  }
  void General(plat::UINT message) {
    manager->ExecuteCommand(message, 78, 0);
    loop.RunUntilIdle();
  }

  std::filesystem::path dir;
  std::unique_ptr<callwintest::CoreRig> core;
  std::unique_ptr<CChargeAndLogHandler> charges;
  CChargeAndLogHandler* handler = nullptr;
  std::unique_ptr<FakeReport> report;
  FakeInfo info;
  RecordingDisplay display;
  callwintest::HubRecorder view;
  std::unique_ptr<CSumChargeHandler> manager;
};

}  // namespace countertest
