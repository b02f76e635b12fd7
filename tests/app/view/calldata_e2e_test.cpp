// The own workstation's call data in the assembled document and view, with
// the program's windows and the real link against the simulated PBX over a
// pseudo-terminal: calls of the main phone end up as lines of the CINFLFN
// file, and command 32792 (or the hub's 1054) shows them in dialog 182.
#include <gtest/gtest.h>

#include "app/dialogs/calldatadlg.h"
#include "app/view/callwindows.h"
#include "core/link/sytemobject.h"
#include "platform/dialogkit/dlgscript.h"
#include "tests/platform/dialogkit/testapp.h"
#include "tests/support/filefaults.h"
#include "tools/pbxsim/pbxsim.h"
#include "ptyfixture.h"

namespace fs = std::filesystem;
using testsupport::FileBytes;
using V = CBrimlowView;

namespace {

class CallDataAssembly : public viewrig::OverThePty {
 protected:
  void SetUp() override {
    testapp::App();
    r = std::make_unique<viewrig::Rig>();
    WriteMonTab("21", {"21", "22"}, "Nebenstelle");
    cinfo = (r->globals.dir / "cinfo.txt").string();
    CGlobalConfig& c = GlobalConfig();
    c.CINFLFN = cinfo;
    c.CINFSOSEQ = 0;
    LinkOnCom5();
    ASSERT_TRUE(StartSim());
    r->Build(/*withWindows=*/false, /*fakeLink=*/false);
    InstallCallWindows(*r->view, *r->doc);
    r->view->Create();
    r->view->OnInitialUpdate();
    ASSERT_TRUE(LinkRunning(2));
  }
  bool Idle() { return Pump([&] { return r->doc->CallHandler().GetCurrentCall(hub::kIdView) == nullptr; }); }
  // What dialog 182 shows when it is opened by run.
  std::vector<std::string> Shown(const std::function<void()>& run) {
    std::vector<std::string> lines;
    std::string count;
    plat::DialogScript script;
    script.When(CCallDataDlg::kResourceId)
        .Do([&](plat::Dialog& d) {
          for (int i = 0; i < d.GetCount(CCallDataDlg::IDC_LIST); ++i)
            lines.push_back(d.GetLBText(CCallDataDlg::IDC_LIST, i));
          count = d.GetItemText(CCallDataDlg::IDC_COUNT);
        })
        .Press(plat::IDOK);
    run();
    EXPECT_TRUE(script.errors.empty()) << script.errors.front();
    EXPECT_EQ(count, std::to_string(lines.size()));
    return lines;
  }

  std::string cinfo;
};

}  // namespace

TEST_F(CallDataAssembly, AnAnsweredCallShowsOneLineIn182) {
  EXPECT_EQ(FileBytes(cinfo), "") << "made empty at the start";
  EXPECT_TRUE(r->view->IsCommandEnabled(V::ID_CALLDATA));

  // Unanswered: no line.
  std::uint32_t id = sim->IncomingCall("0301234567", "21");
  ASSERT_TRUE(Pump([&] { return r->doc->CallHandler().GetCurrentCall(hub::kIdView) != nullptr; }));
  sim->Clear(id, "0301234567");
  ASSERT_TRUE(Idle());
  // Answered: one line, the caller and the own extension.
  id = sim->IncomingCall("0407777", "21");
  ASSERT_TRUE(Pump([&] {
    CCallInfo* c = r->doc->CallHandler().GetCurrentCall(hub::kIdView);
    return c && c->callingNumber == "407777";
  }));
  sim->Answer(id);
  ASSERT_TRUE(Pump([&] {
    CCallInfo* c = r->doc->CallHandler().GetCurrentCall(hub::kIdView);
    return c && c->state == CCallInfo::kConnected;
  }));
  r->loop.Advance(42000);
  sim->Clear(id, "21");
  ASSERT_TRUE(Pump([&] { return !FileBytes(cinfo).empty(); }));

  const std::vector<std::string> lines = Shown([&] { r->view->RunCommand(V::ID_CALLDATA); });
  ASSERT_EQ(lines.size(), 1u) << FileBytes(cinfo);
  EXPECT_EQ(FileBytes(cinfo), lines[0] + "\r\n");
  EXPECT_NE(lines[0].find("\t21\t407777"), std::string::npos) << lines[0];

  // The callback list's and the assistant's way there: hub 1054.
  const std::vector<std::string> again =
      Shown([&] { plat::SendMessage(r->view->Id(), hub::kOpenCallData, hub::kIdCallbackList, 0); });
  EXPECT_EQ(again, lines);
}
