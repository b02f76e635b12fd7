// The dialogs in the assembled program against the simulated PBX over a
// pseudo-terminal: the overview's rows and a ringing extension's colour,
// the system connection and the own workstation written to their files.
#include <gtest/gtest.h>

#include <QWidget>

#include "app/callwin/visualizeconnections.h"
#include "app/dialogs/ownworkstationdlg.h"
#include "app/dialogs/subscriberoverviewdlg.h"
#include "app/dialogs/systemconnectiondlg.h"
#include "app/view/callwindows.h"
#include "core/serial/serialport.h"
#include "platform/dialogkit/dlgscript.h"
#include "platform/profile.h"
#include "tests/app/view/ptyfixture.h"
#include "tests/platform/dialogkit/testapp.h"
#include "tools/pbxsim/pbxsim.h"

namespace fs = std::filesystem;
using V = CBrimlowView;
using O = CSubscriberOverviewDlg;

namespace {

class DialogsAssembly : public viewrig::OverThePty {
 protected:
  void SetUp() override {
    testapp::App();
    r = std::make_unique<viewrig::Rig>();
    sdfn = WriteMonTab("11", {"10", "11", "12", "13", "14"}, "Platz");
    CGlobalConfig& c = GlobalConfig();
    c.CPID = 4;  // COM5
    c.IO1008 = 0;
    c.OLDPROTOCOLL = 0;
    c.MCTO = 5;
    c.VSCW = 0;
    c.VSCALERTC = 0x00ff00;  // the platform's 0x00bbggrr
    pbxsim::Options o;
    o.devices = 5;
    ASSERT_TRUE(StartSim(o));
  }
  fs::path sdfn;
};

}  // namespace

TEST_F(DialogsAssembly, OverviewRowsARingingExtensionAndTheSettingsOnDisk) {
  r->Build(/*withWindows=*/false, /*fakeLink=*/false);
  InstallCallWindows(*r->view, *r->doc);
  r->view->Create();
  r->view->OnInitialUpdate();
  ASSERT_TRUE(Pump([&] { return sim->Monitored().size() == 5 && r->doc->Filter().JobState() == jobstate::kFree; }));

  ASSERT_TRUE(r->view->RunCommand(V::ID_OVERVIEW));
  r->loop.RunUntilIdle();
  auto* overview = dynamic_cast<O*>(r->view->Window(V::kOverview));
  ASSERT_NE(overview, nullptr);
  ASSERT_TRUE(overview->IsOpen());
  EXPECT_EQ(overview->FilledRows(), 5);
  EXPECT_EQ(overview->GetItemText(O::NumberId(2)), "12");
  EXPECT_EQ(overview->GetItemText(O::NameId(2)), "Platz 12");
  EXPECT_FALSE(overview->IsItemVisible(O::NumberId(5)));

  auto* drawing = dynamic_cast<CVisualizeConnections*>(r->view->Drawing());
  ASSERT_NE(drawing, nullptr);
  sim->IncomingCall("0301234567", "12");
  ASSERT_TRUE(Pump([&] {
    const CVisualizeConnections::Item* i = drawing->FindByKey(112);
    return i && i->colour == QColor(0, 255, 0);
  }));
  EXPECT_EQ(drawing->FindByKey(112)->window.data(), overview->Item(O::ButtonId(2)));
  EXPECT_EQ(overview->RowMark(2), 1);  // ringing

  plat::DialogScript script;
  script.When(168)
      .Press(CSystemConnectionDlg::IDC_LAN)
      .Set(1561, "127")
      .Set(1562, "0")
      .Set(1563, "0")
      .Set(1564, "1")
      .Press(plat::IDOK);
  script.When(164).Set(COwnWorkstationDlg::IDC_EXTENSION, "13").Press(plat::IDOK);
  ASSERT_TRUE(r->view->RunCommand(ID_SYSTEM_CONNECTION));
  ASSERT_TRUE(r->view->RunCommand(CBrimlowDoc::ID_OWN_WORKSTATION));
  EXPECT_TRUE(script.errors.empty());
  const std::string ini = (r->globals.dir / "brimlow.ini").string();
  ASSERT_TRUE(GlobalConfig().Save(ini));
  EXPECT_EQ(plat::GetProfileText("GLOBCONF", "CPID", "?", ini, 32), "6");
  EXPECT_EQ(plat::GetProfileText("NETCONF", "NSLA", "?", ini, 32), "127.0.0.1");
  ASSERT_EQ(r->doc->MonitorTable().Save(), 1);
  EXPECT_EQ(plat::GetProfileText("MONTAB", "MAINPHONE", "?", sdfn.string(), 32), "13");
  GlobalConfig().CPID = 4;  // the running serial link closes as it was opened
}
