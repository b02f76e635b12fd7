// The charge counters on the real display control in the program, against
// the pbxsim program as a process of its own: the tabs keep their labels
// over a restart, and a call's units and the tile's delete button work
// from the first call, before any read-out of the sums.
#include <QAbstractButton>
#include <QApplication>
#include <QTabBar>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "tests/app/view/viewrig.h"
#include "tests/platform/dialogkit/testapp.h"
#include "tests/support/pbxrig.h"
#include "tests/support/simprocess.h"

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

class CountersAgainstThePbx : public ::testing::Test {
 protected:
  void SetUp() override {
    testapp::App();
    r = std::make_unique<viewrig::Rig>();
    CPlugInBinding::SetFolder("");  // the program's folder: the real plug-in
    const auto sdfn = r->globals.dir / "montab.ini";
    std::ofstream(sdfn, std::ios::binary) << pbxrig::MonTab("21", {"21", "22", "23"}, "Zimmer");
    CGlobalConfig& c = GlobalConfig();
    c.SDFN = sdfn.string();
    c.CPID = 4;
    c.OLDPROTOCOLL = 0;
    c.ChargesActive = 1;
    c.CAUN = "EUR";
    c.PPCU = 0.5f;
    sim = std::make_unique<simprocess::SimProcess>(r->globals.dir);
    ASSERT_TRUE(sim->Started()) << sim->Output();
    ::setenv(pbxrig::kPortVariable, sim->Link().c_str(), 1);
  }
  void TearDown() override {
    Stop();
    sim.reset();
    ::unsetenv(pbxrig::kPortVariable);
    r.reset();
  }
  // One run of the program up to a running link with all three watched.
  void Start() {
    r->Start(/*withWindows=*/true, /*fakeLink=*/false);
    ASSERT_TRUE(r->view->DisplayControl().IsLoaded());
    ASSERT_TRUE(Pump([&] {
      return r->view->Link().Object()->GetLinkState() == linkstate::kRunning &&
             r->doc->Filter().JobState() == jobstate::kFree;
    })) << sim->Output();
  }
  void Stop() {
    if (!r) return;
    r->view.reset();
    r->doc.reset();
  }
  template <class Pred>
  bool Pump(Pred pred, int timeoutMs = 30000) {
    pbxrig::Pace pace;
    pace.sleep = std::chrono::microseconds(200);
    pace.advanceMs = 1;
    return pbxrig::Pump(r->loop, pred, timeoutMs, pace);
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

  std::unique_ptr<viewrig::Rig> r;
  std::unique_ptr<simprocess::SimProcess> sim;
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
  sim->Command("charge 22 0301234 60 3");
  sim->Command("outgoing 22 0891234");
  sim->Command("answer");
  ASSERT_TRUE(sim->Sync());
  ASSERT_TRUE(Pump([&] { return sim->Says("CSTA_ESTABLISHED"); })) << sim->Output();
  sim->Command("clear 22");
  ASSERT_TRUE(sim->Sync());
  EXPECT_TRUE(Pump([&] { return TextOf(tile, 1001) == "EUR  2.00"; }))
      << TextOf(tile, 1001) << "\n" << sim->Output();

  // The tile's second button: the PBX deletes the units, the tile shows 0.
  tile->findChild<QAbstractButton*>(QStringLiteral("1003"), Qt::FindDirectChildrenOnly)->click();
  EXPECT_TRUE(Pump([&] { return TextOf(tile, 1001) == "EUR  0.00"; }))
      << TextOf(tile, 1001) << "\n" << sim->Output();
  // The PBX's counter is gone too: the next call's units start from 0.
  sim->Command("outgoing 22 0891234");
  sim->Command("answer");
  ASSERT_TRUE(sim->Sync());
  sim->Command("clear 22");
  ASSERT_TRUE(sim->Sync());
  EXPECT_TRUE(Pump([&] { return TextOf(tile, 1001) == "EUR  0.50"; }))
      << TextOf(tile, 1001) << "\n" << sim->Output();
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
