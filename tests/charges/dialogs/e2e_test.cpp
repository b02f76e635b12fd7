// In the whole program against the simulated PBX over a pseudo-terminal:
// a tile's read-out button, the question "alle", the read-out, and then
// the charge report on that extension's calls; the user's selection is
// back afterwards, byte for byte.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

#include "app/view/chargewindows.h"
#include "charges/counter/readoutquestiondlg.h"
#include "charges/counter/sumchargehandler.h"
#include "charges/dialogs/chargereportdlg.h"
#include "platform/dialogkit/dlgscript.h"
#include "tests/app/view/viewrig.h"
#include "tests/charges/counter/counter_support.h"
#include "tests/platform/dialogkit/testapp.h"
#include "tools/pbxsim/pbxsim.h"

namespace {

using Clock = std::chrono::steady_clock;

class ReportAfterReadOut : public ::testing::Test {
 protected:
  void SetUp() override {
    testapp::App();
    r = std::make_unique<viewrig::Rig>();
    const auto sdfn = r->globals.dir / "montab.ini";
    {
      std::ofstream f(sdfn);
      f << "[MONTAB]\r\nMAINPHONE=21\r\nINTNUMLENGTH=2\r\n[MONTAB-21]\r\nINTNUMBER=21\r\nMONON=1\r\nMONSTAT=2\r\n"
           "[MONTAB-22]\r\nINTNUMBER=22\r\n";
    }
    CGlobalConfig& c = GlobalConfig();
    c.SDFN = sdfn.string();
    c.CPID = 4;
    c.OLDPROTOCOLL = 0;
    c.CPROCON = 1;
    c.ChargesActive = 1;
    c.IO1008 = 0;
    sim = std::make_unique<pbxsim::PbxSim>();
    ASSERT_TRUE(sim->Start());
    ::setenv("PALOMIR_COM5", sim->SlavePath().c_str(), 1);
    r->Start(/*withWindows=*/false, /*fakeLink=*/false);
    InstallChargeWindows(*r->view, *r->doc);
    ASSERT_TRUE(Pump([&] { return r->view->Link().Object()->GetLinkState() == linkstate::kRunning &&
                                  r->doc->Filter().JobState() == jobstate::kFree; }));
    M().AttachDisplay(&r->doc->MonitorTable(), &display, &r->view->Charges(), &r->doc->CallHandler(), r->view->Id());
  }
  void TearDown() override {
    r->view.reset();
    r->doc.reset();
    sim.reset();
    ::unsetenv("PALOMIR_COM5");
    r.reset();
  }
  template <class Pred>
  bool Pump(Pred pred, int timeoutMs = 30000) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < end) {
      r->loop.RunUntilIdle();
      if (pred()) return true;
      std::this_thread::sleep_for(std::chrono::microseconds(200));
      r->loop.Advance(1);
    }
    r->loop.RunUntilIdle();
    return pred();
  }
  CSumChargeHandler& M() { return r->view->SumCharges(); }

  std::unique_ptr<viewrig::Rig> r;
  std::unique_ptr<pbxsim::PbxSim> sim;
  countertest::RecordingDisplay display;
};

TEST_F(ReportAfterReadOut, TheExtensionsCallsAndTheSelectionBackAfterwards) {
  sim->AddCharges(12);
  std::string out;
  pbxsim::RunCommand(*sim, "charge 22 0301234 60 2", out);
  CChargeAndLogHandler& h = r->view->Charges();
  h.SelectExtension("-", 0);
  h.SetTimeRange(1000, 2000);
  std::uint8_t before[ChargeFileHeader::kSize];
  h.Header().Serialize(before);

  std::vector<std::string> lines;
  plat::DialogScript script;
  script.When(226).Press(CReadOutQuestionDlg::IDC_ALL).Press(plat::IDOK);
  script.When(190).Do([&](plat::Dialog& d) {
    const auto& l = static_cast<CChargeReportDlg&>(d).Lines();
    for (std::size_t i = 0; i < l.Count(); ++i) lines.emplace_back(l.Line(i));
  });
  r->boxes.QueueAnswer(plat::IDYES);  // read the records now?
  plat::PostMessage(r->view->Id(), CSumChargeHandler::kReadRecords, 77, M().FindExtension(0, "21")->item);
  const bool done = Pump([&] { return script.opened.size() == 2 && M().Mode() == CSumChargeHandler::kIdle; });
  std::string seen;
  for (const auto& o : script.opened) seen += std::to_string(o.resourceId) + " ";
  for (const auto& b : r->boxes.shown) seen += "[" + b.text + "] ";
  ASSERT_TRUE(done) << seen << " mode " << M().Mode() << " index " << h.ReadOutIndex();
  EXPECT_EQ(script.opened[1].resourceId, 190);
  ASSERT_EQ(lines.size(), 12u);
  for (const std::string& l : lines) {
    // date, time, duration, calling, called, price
    std::vector<std::string> f;
    for (std::size_t from = 0;;) {
      const std::size_t tab = l.find('\t', from);
      f.push_back(l.substr(from, tab - from));
      if (tab == std::string::npos) break;
      from = tab + 1;
    }
    ASSERT_EQ(f.size(), 6u) << l;
    EXPECT_EQ(f[3], "21") << l;
    EXPECT_EQ(f[4].rfind("0891", 0), 0u) << l;
  }
  // What the read-out itself changed (its time) aside, the selection is the user's.
  ChargeFileHeader after = h.Header();
  after.selection.recordsReadOut = 0;
  after.selection.sumsReadOut = 0;
  ChargeFileHeader was = ChargeFileHeader::Parse(before);
  was.selection.recordsReadOut = 0;
  was.selection.sumsReadOut = 0;
  std::uint8_t a[ChargeFileHeader::kSize], b[ChargeFileHeader::kSize];
  after.Serialize(a);
  was.Serialize(b);
  EXPECT_EQ(std::memcmp(a + 108, b + 108, ChargeSelection::kSize), 0);
  EXPECT_EQ(CChargeReportDlg::Current(), nullptr);
}

}  // namespace
