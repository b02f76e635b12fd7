// The charge counters on the real display control inside the program: the
// tiles the manager makes, what the PBX's units put on them, and a tile's
// buttons on their way back to the manager. Windows found by dialog and
// control id.
#include <QAbstractButton>
#include <QApplication>
#include <QTabBar>
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "charges/handler/chargewire.h"
#include "core/iface/pbxlink.h"
#include "tests/app/view/viewrig.h"
#include "tests/platform/dialogkit/testapp.h"

namespace {

QWidget* TopLevel(const char* name) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == QLatin1String(name)) return w;
  return nullptr;
}

std::string TextOf(QWidget* dialog, int id) {
  QWidget* w = dialog->findChild<QWidget*>(QString::number(id));
  return w ? w->property("text").toString().toStdString() : "<none>";
}

TEST(CountersOnTheDisplayControl, TilesShowTheCountersAndTheirButtonsReachTheManager) {
  testapp::App();
  viewrig::Rig r;
  CPlugInBinding::SetFolder("");  // the program's folder: the real plug-in
  const auto sdfn = r.globals.dir / "montab.ini";
  {
    std::ofstream f(sdfn);
    f << "[MONTAB]\r\nMAINPHONE=21\r\nINTNUMLENGTH=2\r\n";
    for (const char* n : {"21", "22", "23"})
      f << "[MONTAB-" << n << "]\r\nINTNUMBER=" << n << "\r\nMONON=1\r\nNAME=Zimmer " << n << "\r\n";
  }
  CGlobalConfig& c = GlobalConfig();
  c.SDFN = sdfn.string();
  c.ChargesActive = 1;
  c.CAUN = "EUR";
  c.PPCU = 0.5f;
  r.Start();
  ASSERT_TRUE(r.view->DisplayControl().IsLoaded());
  CSumChargeHandler& m = r.view->SumCharges();
  ASSERT_EQ(m.Groups().size(), 1u);
  ASSERT_EQ(m.Extensions().size(), 3u);
  CSTAMessage units = chargewire::UnitsReply("22", 4, "22");
  r.fake->link.OnLinkMessage(linkev::kIncoming, 0, &units);
  r.loop.RunUntilIdle();

  ASSERT_TRUE(r.view->RunCommand(32816));
  r.loop.RunUntilIdle();
  QWidget* overview = TopLevel("dialog130");
  ASSERT_NE(overview, nullptr);
  QTabBar* tabs = overview->findChild<QTabBar*>();
  ASSERT_NE(tabs, nullptr);
  ASSERT_EQ(tabs->count(), 2);
  EXPECT_EQ(tabs->tabText(1).toStdString(), "Gr. 1");
  tabs->setCurrentIndex(1);
  r.loop.RunUntilIdle();
  std::vector<QWidget*> tiles;
  for (QWidget* w : overview->findChildren<QWidget*>(QLatin1String("dialog103")))
    if (w->isVisible()) tiles.push_back(w);
  ASSERT_EQ(tiles.size(), 3u);
  struct Want {
    const char* label;
    const char* small;
    const char* contents;
  } want[] = {{"Zimmer 21", "21", "EUR  0.00"}, {"Zimmer 22", "22", "EUR  2.00"}, {"Zimmer 23", "23", "EUR  0.00"}};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_NE(TextOf(tiles[i], 1000).find(want[i].label), std::string::npos) << TextOf(tiles[i], 1000);
    EXPECT_EQ(TextOf(tiles[i], 1006), want[i].small) << i;
    EXPECT_EQ(TextOf(tiles[i], 1001), want[i].contents) << i;
  }

  // The second button of tile 22 deletes its units by its token; the first
  // asks before a read-out.
  r.fake->link.sent.clear();
  tiles[1]->findChild<QAbstractButton*>(QStringLiteral("1003"), Qt::FindDirectChildrenOnly)->click();
  r.loop.RunUntilIdle();
  ASSERT_EQ(r.fake->link.sent.size(), 1u);
  EXPECT_EQ(r.fake->link.sent[0].record.PrivateKind(), EXTPBX_DELETEDEVICEUNITS);
  EXPECT_EQ(r.fake->link.sent[0].record.Text(11, 20), "22");
  CSTAMessage deleted = chargewire::DeviceReply(EXTPBX_DELETEDEVICEUNITS_CONF, "22");
  r.fake->link.OnLinkMessage(linkev::kIncoming, 0, &deleted);
  r.loop.RunUntilIdle();
  EXPECT_EQ(TextOf(tiles[1], 1001), "EUR  0.00");

  r.boxes.QueueAnswer(plat::IDCANCEL);
  const std::size_t before = r.boxes.shown.size();
  tiles[0]->findChild<QAbstractButton*>(QStringLiteral("1002"), Qt::FindDirectChildrenOnly)->click();
  r.loop.RunUntilIdle();
  ASSERT_EQ(r.boxes.shown.size(), before + 1);
  EXPECT_EQ(r.boxes.shown.back().caption, "Information");
  EXPECT_EQ(m.Noted(), nullptr);
}

}  // namespace
