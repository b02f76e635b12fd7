// The assembled program under every command of its menu: each runs once
// with its dialogs cancelled at once, the modeless windows are left open,
// and the exit that follows still stops the link, takes every window
// down before what it points at, and writes every file the user keeps.
#include <QAction>
#include <QMainWindow>
#include <set>

#include "platform/chooser.h"
#include "platform/filedlg.h"
#include "tests/app/e2e/e2erig.h"

namespace {

using e2e::Program;

std::vector<plat::UINT> MenuCommands(QMainWindow& frame) {
  std::set<plat::UINT> ids;
  for (QAction* a : frame.findChildren<QAction*>()) {
    const QString name = a->objectName();
    if (!name.startsWith(QStringLiteral("cmd"))) continue;
    bool ok = false;
    const uint id = name.mid(3).toUInt(&ok);
    if (ok) ids.insert(id);
  }
  return {ids.begin(), ids.end()};
}

TEST(AssemblyE2E, EveryMenuCommandOnceThenExitKeepsEveryFile) {
  Program p;
  ASSERT_TRUE(e2e::PutRecord(p.dnfn, "Muster GmbH", "Kunde", "0301234567"));
  const std::string sumcharge = (p.root / "home" / "sumcharge.ini").string();
  const std::string cinflfn = (p.root / "home" / "cinfo.txt").string();
  const std::string charges = (p.root / "home" / "charges.log").string();
  ASSERT_TRUE(p.Start("CINFLFN=" + cinflfn + "\r\nCPROCFN=" + charges + "\r\n[CHARGES]\r\nActive=1\r\nCfgFile=" +
                      sumcharge + "\r\n[GLOBCONF]\r\n"));
  plat::DialogScript script;  // every modal dialog ends at once
  plat::ScriptedFileDialog files;
  plat::SetFileDialogImpl(&files);
  plat::ScriptedChooser chooser;
  plat::SetChooserImpl(&chooser);

  const std::vector<plat::UINT> ids = MenuCommands(*p.app->Frame());
  ASSERT_GT(ids.size(), 20u);
  for (plat::UINT id : ids) {
    // The exit comes last; hiding would leave nothing to close.
    if (id == CBrimlowApp::ID_APP_EXIT || id == CBrimlowView::ID_BACKGROUND) continue;
    SCOPED_TRACE(id);
    p.app->Frame()->RunCommand(id);
    p.Idle(30);
  }
  // Background and back, as the tray brings it.
  p.app->Frame()->RunCommand(CBrimlowView::ID_BACKGROUND);
  p.Idle(30);
  p.View().ShowStep(1);
  p.Idle(30);
  const bool assistantOpen = p.View().IsOpen(CBrimlowView::kAssistant);

  const auto stopsBefore = p.sim.ReceivedCount(CSTA_MONITOR_STOP);
  ASSERT_TRUE(p.Exit());
  plat::SetFileDialogImpl(nullptr);
  plat::SetChooserImpl(nullptr);
  EXPECT_TRUE(assistantOpen);
  EXPECT_EQ(p.exitStatus, 0);
  EXPECT_GE(p.sim.ReceivedCount(CSTA_MONITOR_STOP) - stopsBefore, 3u);
  EXPECT_TRUE(script.errors.empty());
  EXPECT_GT(script.opened.size(), 10u) << "the commands opened no dialogs";

  // Every file of the members present is on disk after the exit.
  for (const std::string& f : {p.Ini(), p.sdfn, p.cblfn, p.dnfn, sumcharge, cinflfn, charges}) {
    SCOPED_TRACE(f);
    EXPECT_TRUE(e2e::fs::exists(f));
  }
  EXPECT_EQ(e2e::RecordsWithNumber(p.dnfn, "0301234567"), 1);
  EXPECT_NE(testsupport::FileBytes(p.sdfn).find("[MONTAB-23]"), std::string::npos);
  EXPECT_NE(testsupport::FileBytes(p.Ini()).find("LLOT="), std::string::npos);
}

}  // namespace
