// The charge counters on the real display control in the program, against
// the pbxsim program as a process of its own: the tabs keep their labels
// over a restart, and a call's units and the tile's delete button work
// from the first call, before any read-out of the sums.
#include <QAbstractButton>
#include <QApplication>
#include <QTabBar>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "tests/app/view/ptyfixture.h"
#include "tests/platform/dialogkit/testapp.h"

namespace {

QWidget* TopLevel(const char* name) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == QLatin1String(name)) return w;
  return nullptr;
}

std::string TextOf(QWidget* parent, int id) {
  QWidget* w = parent->findChild<QWidget*>(QString::number(id));
  return w ? w->property("text").toString().toStdString() : "<none>";
}

class CountersAgainstThePbx : public viewrig::OverThePty {
 protected:
  void SetUp() override {
    testapp::App();
    NewStreamingRig();
    CPlugInBinding::SetFolder("");  // the program's folder: the real plug-in
    WriteMonTab("21", {"21", "22", "23"}, "Zimmer");
    CGlobalConfig& c = GlobalConfig();
    c.CPID = 4;
    c.OLDPROTOCOLL = 0;
    c.ChargesActive = 1;
    c.CAUN = "EUR";
    c.PPCU = 0.5f;
    ASSERT_TRUE(StartSimProcess()) << proc->Output();
  }
  // One run of the program up to a running link.
  void Start() {
    r->Start(/*withWindows=*/true, /*fakeLink=*/false);
    ASSERT_TRUE(r->view->DisplayControl().IsLoaded());
    ASSERT_TRUE(LinkUp()) << proc->Output();
  }
  void Stop() {
    r->view.reset();
    r->doc.reset();
  }
  // The overview window of the display control, opened from the menu.
  QWidget* Overview() {
    if (!r->view->RunCommand(32816)) return nullptr;
    r->loop.RunUntilIdle();
    return TopLevel("dialog130");
  }
  std::vector<std::string> TabTexts(QWidget* overview) {
    std::vector<std::string> out;
    if (QTabBar* tabs = overview ? overview->findChild<QTabBar*>() : nullptr)
      for (int i = 0; i < tabs->count(); ++i) out.push_back(tabs->tabText(i).toStdString());
    return out;
  }
  // The visible tile whose small label is the extension's number.
  QWidget* Tile(QWidget* overview, const std::string& number) {
    for (QWidget* w : overview->findChildren<QWidget*>(QLatin1String("dialog103")))
      if (w->isVisible() && TextOf(w, 1006) == number) return w;
    return nullptr;
  }
};

TEST_F(CountersAgainstThePbx, TheTabsKeepTheirLabelsOverARestart) {
  std::vector<std::vector<std::string>> runs;
  for (int run = 0; run < 3; ++run) {
    Start();
    QWidget* overview = Overview();
    ASSERT_NE(overview, nullptr) << run;
    runs.push_back(TabTexts(overview));
    Stop();
    ASSERT_EQ(TopLevel("dialog130"), nullptr) << run;
  }
  for (std::size_t run = 0; run < runs.size(); ++run) {
    ASSERT_EQ(runs[run].size(), 2u) << run;
    EXPECT_EQ(runs[run][1], "Gr. 1") << "run " << run;
  }
  std::ifstream f(GlobalConfig().ChargesCfgFile, std::ios::binary);
  const std::string ini((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  EXPECT_NE(ini.find("[Group_00]\r\nGroupID=0\r\nShortName=Gr. 1\r\n"), std::string::npos) << ini;
}

TEST_F(CountersAgainstThePbx, TheFirstCallCountsAndTheDeleteButtonWorksBeforeAnyReadOut) {
  Start();
  QWidget* overview = Overview();
  ASSERT_NE(overview, nullptr);
  QTabBar* tabs = overview->findChild<QTabBar*>();
  ASSERT_NE(tabs, nullptr);
  tabs->setCurrentIndex(1);
  r->loop.RunUntilIdle();
  QWidget* tile = Tile(overview, "22");
  ASSERT_NE(tile, nullptr);
  EXPECT_EQ(TextOf(tile, 1001), "EUR  0.00");

  // Units of earlier calls, then a call of the extension's own: when it
  // ends, the tile asks the PBX and shows all of them.
  proc->Command("charge 22 0301234 60 3");
  proc->Command("outgoing 22 0891234");
  proc->Command("answer");
  ASSERT_TRUE(proc->Sync());
  ASSERT_TRUE(Pump([&] { return proc->Says("CSTA_ESTABLISHED"); })) << proc->Output();
  proc->Command("clear 22");
  ASSERT_TRUE(proc->Sync());
  EXPECT_TRUE(Pump([&] { return TextOf(tile, 1001) == "EUR  2.00"; }))
      << TextOf(tile, 1001) << "\n" << proc->Output();

  // The tile's second button: the PBX deletes the units, the tile shows 0.
  tile->findChild<QAbstractButton*>(QStringLiteral("1003"), Qt::FindDirectChildrenOnly)->click();
  EXPECT_TRUE(Pump([&] { return TextOf(tile, 1001) == "EUR  0.00"; }))
      << TextOf(tile, 1001) << "\n" << proc->Output();
  // The PBX's counter is gone too: the next call's units start from 0.
  proc->Command("outgoing 22 0891234");
  proc->Command("answer");
  ASSERT_TRUE(proc->Sync());
  proc->Command("clear 22");
  ASSERT_TRUE(proc->Sync());
  EXPECT_TRUE(Pump([&] { return TextOf(tile, 1001) == "EUR  0.50"; }))
      << TextOf(tile, 1001) << "\n" << proc->Output();
  // The token found at the start is the one the PBX named.
  r->loop.RunUntilIdle();
  Stop();
  std::ifstream f(GlobalConfig().ChargesCfgFile, std::ios::binary);
  const std::string ini((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  const std::size_t section = ini.find("[22]\r\n");
  ASSERT_NE(section, std::string::npos) << ini;
  EXPECT_NE(ini.substr(section, ini.find("\r\n[", section + 1) - section).find("\r\nIDToken=22\r\n"), std::string::npos)
      << ini;
}

}  // namespace
