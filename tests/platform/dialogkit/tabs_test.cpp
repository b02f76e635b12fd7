// The kit's tab panels: tabs with texts and images, the selection and its
// notification, and what the calls answer on other controls.
#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QTabBar>
#include <gtest/gtest.h>

#include <vector>

#include "platform/dialogkit/dialog.h"
#include "platform/dialogkit/dlgtemplate.h"
#include "tests/platform/dialogkit/testapp.h"

namespace {

class TabsDlg : public plat::Dialog {
 public:
  explicit TabsDlg(plat::dlg::Template t) : plat::Dialog(std::move(t)) {}
  std::vector<std::pair<int, plat::Notify>> seen;

 protected:
  bool OnCommand(int id, plat::Notify code) override {
    seen.emplace_back(id, code);
    return true;
  }
};

plat::dlg::Template Parse(const char* text) {
  plat::dlg::Template t;
  std::string err;
  EXPECT_TRUE(plat::dlg::ParseTemplate(text, &t, &err)) << err;
  return t;
}

QIcon Solid(Qt::GlobalColor c) {
  QPixmap p(16, 16);
  p.fill(c);
  return QIcon(p);
}

TEST(KitTabs, TextsImagesAndSelection) {
  testapp::App();
  TabsDlg d(Parse("dialog 901 \"Reiter\"\ntabs 5\nedit 6\n"));
  ASSERT_EQ(d.GetTemplate().Find(5)->kind, plat::dlg::Kind::Tabs);
  ASSERT_TRUE(d.Create());
  d.SetTabImages(5, {Solid(Qt::red), Solid(Qt::green)});
  EXPECT_EQ(d.TabInsert(5, -1, "\xdc" "bersicht", 0), 0);
  EXPECT_EQ(d.TabInsert(5, -1, "Gr. 1", 1), 1);
  EXPECT_EQ(d.TabInsert(5, 1, "davor", 7), 1);  // an image the list lacks shows none
  EXPECT_EQ(d.GetCount(5), 3);
  EXPECT_EQ(d.TabGetText(5, 0), "\xdc" "bersicht");
  EXPECT_EQ(d.TabGetText(5, 2), "Gr. 1");
  EXPECT_EQ(d.TabGetImage(5, 2), 1);
  EXPECT_EQ(d.TabGetImage(5, 1), 7);
  QTabBar* bar = d.Item(5)->findChild<QTabBar*>();
  ASSERT_NE(bar, nullptr);
  EXPECT_TRUE(bar->tabIcon(1).isNull());
  EXPECT_FALSE(bar->tabIcon(2).isNull());
  EXPECT_TRUE(d.TabSetImage(5, 2, -5));
  EXPECT_EQ(d.TabGetImage(5, 2), -1);
  EXPECT_TRUE(d.TabSetText(5, 2, "Gr. 2"));
  EXPECT_EQ(d.TabGetText(5, 2), "Gr. 2");
  EXPECT_GT(d.TabRowHeight(5), 0);
  EXPECT_TRUE(d.seen.empty());  // filling notifies nothing

  EXPECT_EQ(d.SetCurSel(5, 2), 2);  // quiet
  EXPECT_EQ(d.GetCurSel(5), 2);
  EXPECT_TRUE(d.seen.empty());
  EXPECT_EQ(d.SetCurSel(5, 3), -1);
  EXPECT_EQ(d.GetCurSel(5), 2);
  EXPECT_TRUE(d.UserSelect(5, 0));
  bar->setCurrentIndex(1);  // a click on the tab
  const std::vector<std::pair<int, plat::Notify>> want = {{5, plat::Notify::SelChange}, {5, plat::Notify::SelChange}};
  EXPECT_EQ(d.seen, want);
  EXPECT_EQ(d.GetCurSel(5), 1);

  // Out of range and on what is no tab panel.
  EXPECT_FALSE(d.TabSetText(5, 3, "x"));
  EXPECT_EQ(d.TabGetText(5, -1), "");
  EXPECT_EQ(d.TabGetImage(5, 9), -1);
  EXPECT_EQ(d.TabInsert(6, 0, "x"), -1);
  EXPECT_EQ(d.TabRowHeight(6), -1);
  EXPECT_FALSE(d.TabSetImage(6, 0, 0));
  d.TabDeleteAll(5);
  EXPECT_EQ(d.GetCount(5), 0);
  EXPECT_EQ(d.GetCurSel(5), -1);
  EXPECT_EQ(d.seen.size(), 2u);
}

}  // namespace
