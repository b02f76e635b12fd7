// The charge counters in the whole program: the view with the real link
// object on a pseudo-terminal to the simulated PBX, the manager on a
// recording display, its buttons posted to the view as the display control
// posts them.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "charges/counter/readoutquestiondlg.h"
#include "counter_support.h"
#include "tests/app/view/ptyfixture.h"
#include "tests/platform/dialogkit/testapp.h"
#include "tools/pbxsim/pbxsim.h"

namespace {

class CountersOverThePty : public viewrig::OverThePty {
 protected:
  void SetUp() override {
    testapp::App();
    NewStreamingRig();
    WriteMonTab("21", {"21"});
    // Five stored groups of twelve: every device of the PBX has a tile.
    {
      std::ofstream f(r->globals.dir / "sumcharge.ini", std::ios::binary);
      f << "[General]\r\nNumberOfGroups=5\r\n";
      for (int g = 0; g < 5; ++g) {
        f << "[Group_0" << g << "]\r\nGroupID=" << g << "\r\nShortName=Etage " << g << "\r\nMembers=";
        for (int d = 10 + g * 12; d < 22 + g * 12; ++d) f << d << (d < 21 + g * 12 ? ";" : "\r\n");
      }
    }
    CGlobalConfig& c = GlobalConfig();
    c.CPID = 4;
    c.OLDPROTOCOLL = 0;
    c.CPROCON = 1;
    c.ChargesActive = 1;
    c.IO1008 = 0;
    ASSERT_TRUE(StartSim());
    r->Start(/*withWindows=*/false, /*fakeLink=*/false);
    ASSERT_TRUE(LinkRunning(1));
    M().AttachDisplay(&r->doc->MonitorTable(), &display, &r->view->Charges(), &r->doc->CallHandler(), r->view->Id());
    ASSERT_EQ(M().Extensions().size(), 60u);
  }
  CSumChargeHandler& M() { return r->view->SumCharges(); }
  void Button(plat::UINT message, const std::string& number) {
    plat::PostMessage(r->view->Id(), message, 77, M().FindExtension(0, number)->item);
  }

  countertest::RecordingDisplay display;
};

TEST_F(CountersOverThePty, ARecordDuringTheReadOutKeepsThePbxLogAndAsksAgain) {
  sim->AddCharges(40);
  plat::DialogScript script;
  script.When(226)
      .Press(CReadOutQuestionDlg::IDC_ALL)
      .Check(CReadOutQuestionDlg::IDC_DELETE, 1)
      .Press(plat::IDOK);
  script.When(226).Press(plat::IDCANCEL);
  r->boxes.QueueAnswer(plat::IDYES);
  Button(CSumChargeHandler::kReadRecords, "21");
  bool injected = false;
  std::string out;
  ASSERT_TRUE(Pump([&] {
    // A call ends while the records are read.
    if (!injected && r->view->Charges().ReadOutIndex() >= 10) {
      pbxsim::RunCommand(*sim, "charge 22 0301234 60 2", out);
      injected = true;
    }
    return script.opened.size() == 2 && M().Mode() == CSumChargeHandler::kIdle;
  }));
  EXPECT_TRUE(injected);
  EXPECT_EQ(r->view->Charges().ReadOutIndex(), 40);
  EXPECT_EQ(sim->Charges().size(), 41u);
  for (const CSTAMessage& m : sim->Received())
    EXPECT_FALSE(m.Type() == CSTA_PRIVATE && m.PrivateKind() == EXTPBX_DELALLREPORTLOGENTRIES);
  EXPECT_FALSE(M().ProgressOpen());
  EXPECT_FALSE(M().Listening());
  EXPECT_EQ(M().Noted(), nullptr);
  EXPECT_EQ(r->doc->Filter().JobState(), jobstate::kFree);
}

TEST_F(CountersOverThePty, WithoutNewRecordsThePbxLogIsDeleted) {
  sim->AddCharges(12);
  plat::DialogScript script;
  script.When(226).Check(CReadOutQuestionDlg::IDC_DELETE, 1).Press(plat::IDOK);
  r->boxes.QueueAnswer(plat::IDYES);
  Button(CSumChargeHandler::kReadRecords, "33");
  ASSERT_TRUE(Pump([&] { return sim->Charges().empty() && M().Mode() == CSumChargeHandler::kIdle; }));
  EXPECT_EQ(script.opened.size(), 1u);
  EXPECT_EQ(r->view->Charges().ReadOutIndex(), 0);
  EXPECT_FALSE(M().Listening());
}

TEST_F(CountersOverThePty, SumsReadOutSetsTheTilesOfSixtyDevices) {
  for (int d = 10; d < 70; ++d) sim->AddCharge(std::to_string(d), "0891", 60, d, 1700000000);
  ASSERT_EQ(r->view->Charges().DeviceCount(), 60);
  plat::PostMessage(r->view->Id(), CSumChargeHandler::kReadSums, 78, 0);
  ASSERT_TRUE(Pump([&] { return r->view->Charges().Job() == 0 && !M().ProgressOpen(); }));
  for (int d = 10; d < 70; ++d) {
    const SumChargeExtension* e = M().FindExtension(0, std::to_string(d));
    ASSERT_NE(e, nullptr) << d;
    EXPECT_EQ(e->lastSum, d);
    EXPECT_EQ(display.Last(e->item, "Contents"), plat::StrFormatC("DM %5.2f", d * static_cast<double>(0.12f))) << d;
    EXPECT_EQ(display.Last(e->item, "SmallLabel.BackgroundColor"), "8553215");
  }
  // The counters are in the file, and a restart shows them.
  r->view.reset();
  SumChargeExtension disk("45");
  ASSERT_EQ(disk.Load(GlobalConfig().ChargesCfgFile), 1);
  EXPECT_EQ(disk.lastSum, 45);
  EXPECT_EQ(disk.token, "45");
}

}  // namespace
