// The lists in the assembled program against the simulated PBX: a busy
// call taken over into the callback list and kept in its file, the
// automation calling it back, and an unanswered call in the missed-calls
// dialog called back from there. Screenshots of dialogs 145, 124 and 160
// go to the build folder's "shots".
#include <QDialog>
#include <QPixmap>

#include "app/lists/callbackdlg.h"
#include "app/lists/misseddlg.h"
#include "platform/profile.h"
#include "tests/app/e2e/e2erig.h"

namespace {

using e2e::Program;
using e2e::Shot;
using K = CDialDlg;
using V = CBrimlowView;

pbxsim::Options BusyFor(const std::string& number) {
  pbxsim::Options o;
  o.busyNumbers = {number};
  return o;
}

// The automation as the users set it up: around the clock, no
// lunch, one second apart.
const std::string kAroundTheClock =
    "CBLGSTRTT=0\r\nCBLGSTPT=86399\r\nCBLLTB=0\r\nCBLLTE=0\r\nTB1C=2000\r\nCBLCASOTI=1000\r\nTB2C=1000\r\n"
    "ABNC=0\r\nCBLACONFPO=0\r\n";

// The keypad dials number; the PBX reports the callee busy and the user
// hangs up; the program asks whether to keep it for a callback.
void DialBusyAndHangUp(Program& p, const std::string& number, const std::string& sent) {
  ASSERT_TRUE(p.View().RunCommand(V::ID_KEYPAD));
  K* k = p.Keypad();
  ASSERT_NE(k, nullptr);
  ASSERT_TRUE(p.Pump([&] { return k->IsOpen(); }));
  k->SetItemText(K::IDC_NUMBER, number);
  ASSERT_TRUE(k->UserPress(K::IDC_DIAL));
  ASSERT_TRUE(p.MadeCallTo(sent));
  ASSERT_TRUE(p.Pump([&] { return p.sim.ReceivedCount(CSTA_MAKE_CALL) == 1 && p.sim.HasCall(p.LastCall()); }));
  p.Idle(200);
  p.sim.Clear(p.LastCall(), "21");
  ASSERT_TRUE(p.Pump([&] { return p.Doc().CallbackList().GetCount() == 1; }, 3000))
      << "callback entries: " << p.Doc().CallbackList().GetCount();
}

TEST(ListsE2E, ABusyCallTakenOverStaysInTheCallbackFileAfterExit) {
  Program p(BusyFor("301234567"));
  ASSERT_TRUE(p.Start("CBLAFNEWCWNS=1\r\nCBLASONE=0\r\n" + kAroundTheClock));
  p.boxes.rules.push_back({e2e::Text(46, 2), plat::IDYES});
  DialBusyAndHangUp(p, "0301234567", "301234567");
  EXPECT_TRUE(p.boxes.Saw(e2e::Text(46, 2)));
  // Not started: nothing is called back.
  p.Idle(2500);
  EXPECT_EQ(p.sim.ReceivedCount(CSTA_MAKE_CALL), 1u);

  // The list's dialog shows it, and its settings open on it.
  plat::DialogScript script;
  std::string number;
  script.When(145)
      .Select(CCallBackListDlg::IDC_LIST, 0)
      .Do([](plat::Dialog& d) { Shot(d.Window(), "dialog_145"); })
      .Press(CCallBackListDlg::IDC_CHANGE)
      .Do([&](plat::Dialog&) { p.Idle(300); })
      .Press(plat::IDCANCEL);
  script.When(124)
      .Do([&](plat::Dialog& d) {
        number = d.GetItemText(CCallBackSettingsDlg::IDC_NUMBER);
        Shot(d.Window(), "dialog_124");
      })
      .Press(plat::IDCANCEL);
  ASSERT_TRUE(p.View().RunCommand(V::ID_CALLBACKLIST));
  EXPECT_TRUE(script.errors.empty()) << script.errors.front();
  ASSERT_EQ(script.opened.size(), 2u);
  EXPECT_EQ(number, "0301234567");

  ASSERT_TRUE(p.Exit());
  EXPECT_EQ(p.exitStatus, 0);
  EXPECT_EQ(plat::GetProfileText("CBLIST", "LC", "", p.cblfn), "1");
  EXPECT_EQ(plat::GetProfileText("CBLIST-1", "CEDNUM", "", p.cblfn), "0301234567");
  EXPECT_EQ(plat::GetProfileText("CBLIST-1", "DIRECT", "", p.cblfn), "2");
}

TEST(ListsE2E, TheAutomationCallsANewEntryBackWithinFiveSeconds) {
  Program p(BusyFor("301234567"));
  ASSERT_TRUE(p.Start("CBLAFNEWCWNS=1\r\nCBLASONE=1\r\n" + kAroundTheClock));
  p.boxes.rules.push_back({e2e::Text(46, 2), plat::IDYES});
  DialBusyAndHangUp(p, "0301234567", "301234567");
  const auto added = e2e::Clock::now();
  EXPECT_TRUE(p.Doc().CallbackList().IsRunning());
  ASSERT_TRUE(p.Pump([&] { return p.sim.ReceivedCount(CSTA_MAKE_CALL) == 2; }, 5000));
  EXPECT_LT(e2e::Clock::now() - added, std::chrono::seconds(5));
  EXPECT_EQ(p.MadeCalls().back(), "301234567");
  // The try ends unanswered: the entry stays, one try counted.
  ASSERT_TRUE(p.Pump([&] { return p.sim.HasCall(p.LastCall()); }));
  p.sim.Clear(p.LastCall(), "21");
  ASSERT_TRUE(p.Pump([&] {
    CCallInfo* e = p.Doc().CallbackList().GetCall(1);
    return e && e->callbackCount == 1;
  }));
  EXPECT_EQ(p.Doc().CallbackList().GetCount(), 1);
  EXPECT_TRUE(p.Exit());
  EXPECT_EQ(plat::GetProfileText("CBLIST-1", "CC", "", p.cblfn), "1");
}

TEST(ListsE2E, AnUnansweredCallIsCalledBackFromTheMissedCallsDialog) {
  Program p;
  ASSERT_TRUE(p.Start("NPLTO=1\r\nNPLCDOC=1\r\nAWNNCI=0\r\n"));
  const std::uint32_t call = p.sim.IncomingCall("0301234567", "21");
  ASSERT_TRUE(p.Pump([&] { return p.sim.HasCall(call) && p.Doc().CallHandler().GetCurrentCall(hub::kIdView); }));
  p.sim.Clear(call, "0301234567");
  ASSERT_TRUE(p.Pump([&] { return p.Doc().MissedCalls().GetCount() == 1; }, 3000));

  std::string line;
  plat::DialogScript script;
  script.When(160)
      .Do([&](plat::Dialog& d) {
        if (d.GetCount(CMissedCallDlg::IDC_LIST) > 0) line = d.GetLBText(CMissedCallDlg::IDC_LIST, 0);
        Shot(d.Window(), "dialog_160");
      })
      .Select(CMissedCallDlg::IDC_LIST, 0)
      .Press(CMissedCallDlg::IDC_CALL)
      .Do([&](plat::Dialog&) { p.Idle(300); });  // the dialog's own turn
  ASSERT_TRUE(p.View().RunCommand(V::ID_MISSED_CALLS));
  EXPECT_TRUE(script.errors.empty()) << script.errors.front();
  EXPECT_NE(line.find("301234567"), std::string::npos) << line;
  ASSERT_TRUE(p.Pump([&] { return !p.MadeCalls().empty(); }, 3000));
  // Shown and dialled as the program keeps it: without the trunk digit.
  EXPECT_EQ(p.MadeCalls().front(), "301234567");
  EXPECT_EQ(script.opened.back().result, plat::IDOK);
  EXPECT_TRUE(p.Exit());
}

}  // namespace
