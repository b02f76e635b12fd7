// Dialog 103 on screen (offscreen platform): the window mirrors the logger
// and its buttons drive it.
#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <cstring>

#include "netlink/chargereport.h"
#include "netlink/lorquin32.h"
#include "platform/eventloop.h"
#include "platform/messages.h"

using namespace netlink;

namespace {
struct Owner : plat::IMessageTarget {
  std::vector<plat::UINT> got;
  plat::WindowId id = plat::RegisterTarget(this);
  ~Owner() override { plat::UnregisterTarget(id); }
  plat::LRESULT OnMessage(const plat::Message& m) override {
    got.push_back(m.msg);
    return 0;
  }
};
}  // namespace

TEST(ChargeWindow, ButtonsDriveTheLoggerAndTheListFollows) {
  int argc = 1;
  char name[] = "netlink_charge_qt_test";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  plat::ManualLoop loop;
  Owner owner;
  ASSERT_EQ(PBXNWHOpenChargingThreat(owner.id, 0, 0), 1u);
  CChargeReport* r = ChargeReport();
  ASSERT_TRUE(r->hasWindow());
  QWidget* top = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && w->objectName() == QStringLiteral("dialog103")) top = w;
  ASSERT_NE(top, nullptr);
  EXPECT_EQ(top->windowTitle(), QString::fromUtf8("Gespräche protokollieren"));
  auto* list = top->findChild<QTreeWidget*>();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->headerItem()->text(7), QStringLiteral("Cause"));

  auto button = [&](const char* text) -> QPushButton* {
    for (QPushButton* b : top->findChildren<QPushButton*>())
      if (b->text() == QString::fromUtf8(text)) return b;
    return nullptr;
  };
  std::vector<std::uint8_t> rec(982, 0);
  rec[18] = 11;
  const std::int32_t start = 1765209600;
  std::memcpy(&rec[22], &start, 4);
  rec[26] = 5;
  std::memcpy(&rec[28], "21", 2);
  std::memcpy(&rec[48], "22", 2);
  rec[68] = 10;
  EXPECT_EQ(PBXNWHProcessChargingThreatMsg(rec.data(), 0), 0u);  // not logging yet
  ASSERT_NE(button("&Starten"), nullptr);
  button("&Starten")->click();
  EXPECT_TRUE(r->logging());
  EXPECT_NE(button("&Stopp"), nullptr);
  EXPECT_EQ(owner.got, std::vector<plat::UINT>{kMsgChargeStarted});
  for (int i = 0; i < 12; ++i) ASSERT_EQ(PBXNWHProcessChargingThreatMsg(rec.data(), 0), 1u);
  EXPECT_EQ(list->topLevelItemCount(), 12);
  EXPECT_EQ(list->topLevelItem(11)->text(6), QStringLiteral(" 1.20"));
  EXPECT_EQ(list->topLevelItem(11)->text(7), QStringLiteral("NONE"));
  // The check box is the write switch.
  auto* check = top->findChild<QCheckBox*>();
  ASSERT_NE(check, nullptr);
  EXPECT_FALSE(check->isChecked());
  check->click();
  EXPECT_TRUE(r->writeToFile());
  check->click();
  button("&Ende")->click();
  EXPECT_EQ(owner.got.back(), kMsgChargeEnded);
  EXPECT_EQ(ChargeReport(), nullptr);
  loop.RunUntilIdle();
  QApplication::processEvents();
}
