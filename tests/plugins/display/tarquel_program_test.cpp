// The real display control beside the program: what the view sets at its
// start, its menu entry, and its buttons' messages on the way back into the
// view. The windows are found as a user sees them, by dialog and control id.
#include <QAbstractButton>
#include <QApplication>
#include <QTabBar>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/messages.h"
#include "tests/app/view/viewrig.h"
#include "tests/platform/dialogkit/testapp.h"

namespace {

struct Posted {
  plat::UINT msg;
  plat::WPARAM w;
  plat::LPARAM l;
};

struct Menu : IViewMenu {
  std::vector<std::pair<plat::UINT, std::string>> named;
  std::vector<plat::UINT> removed;
  void RemoveCommand(plat::UINT id) override { removed.push_back(id); }
  void SetCommandText(plat::UINT id, const std::string& t) override { named.emplace_back(id, t); }
};

QWidget* TopLevel(const char* name) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == QLatin1String(name)) return w;
  return nullptr;
}

// The dialogs of that id inside a window, in the order they were made.
std::vector<QWidget*> Dialogs(QWidget* in, const char* name) {
  std::vector<QWidget*> out;
  for (QWidget* w : in->findChildren<QWidget*>(QLatin1String(name))) out.push_back(w);
  return out;
}

QAbstractButton* Button(QWidget* dialog, int id) {
  return dialog->findChild<QAbstractButton*>(QString::number(id), Qt::FindDirectChildrenOnly);
}

TEST(TarquelInProgram, StartMenuWindowAndButtonsBackToTheView) {
  testapp::App();
  viewrig::Rig r;
  CPlugInBinding::SetFolder("");  // the program's folder: the real plug-in
  r.Start();
  CDisplayControlBinding& b = r.view->DisplayControl();
  ASSERT_TRUE(b.IsLoaded());
  std::vector<Posted> got;
  r.view->chargeCommands = [&](plat::UINT m, plat::WPARAM w, plat::LPARAM l) { got.push_back({m, w, l}); };

  Menu menu;
  r.view->UpdateMenu(menu);
  bool named = false;
  for (auto& [id, text] : menu.named) named = named || (id == 32816 && text == "tarquel 1.0");
  EXPECT_TRUE(named);
  EXPECT_TRUE(r.view->IsCommandEnabled(32816));

  // What the charge-counter manager will do: a group of two.
  DLLIFC_ITEM group = -1, first = -1, second = -1;
  ASSERT_EQ(b.AddItem(0, &group, 0), 0);
  ASSERT_EQ(b.ItemSetParamAsString(group, "Label", "Gr. 1"), 0);
  ASSERT_EQ(b.AddItem(group, &first, 0), 0);
  ASSERT_EQ(b.AddItem(group, &second, 0), 0);
  ASSERT_EQ(b.ItemSetParamAsString(first, "Label", "21"), 0);

  EXPECT_EQ(TopLevel("dialog130"), nullptr);  // made on first request only
  ASSERT_TRUE(r.view->RunCommand(32816));
  r.loop.RunUntilIdle();
  QWidget* overview = TopLevel("dialog130");
  ASSERT_NE(overview, nullptr);
  EXPECT_TRUE(overview->isVisible());

  // The general buttons: captions and messages as the view set them.
  const auto trees = Dialogs(overview, "dialog131");
  ASSERT_EQ(trees.size(), 1u);
  const char* captions[] = {"Summen auslesen", "Summen l\xc3\xb6schen", "Einzelgespr\xc3\xa4" "che auslesen",
                            "Einzelgespr\xc3\xa4" "che l\xc3\xb6schen"};
  for (int i = 0; i < 4; ++i) {
    QAbstractButton* button = Button(trees[0], 1002 + i);
    ASSERT_NE(button, nullptr) << i;
    EXPECT_EQ(button->text(), QString::fromUtf8(captions[i])) << i;
    button->click();
  }
  r.loop.RunUntilIdle();
  ASSERT_EQ(got.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(got[i].msg, 1100u + i);
    EXPECT_TRUE(plat::IsTarget(static_cast<plat::WindowId>(got[i].w)));  // the tree page's window
    EXPECT_EQ(got[i].l, 0);
  }
  got.clear();

  // The group's tab, then every button of both tiles.
  QTabBar* tabs = overview->findChild<QTabBar*>();
  ASSERT_NE(tabs, nullptr);
  ASSERT_EQ(tabs->count(), 2);
  tabs->setCurrentIndex(1);
  const auto tiles = Dialogs(overview, "dialog103");
  ASSERT_EQ(tiles.size(), 2u);
  for (QWidget* tile : tiles) {
    EXPECT_TRUE(tile->isVisible());
    for (int i = 0; i < 4; ++i) Button(tile, 1002 + i)->click();
  }
  r.loop.RunUntilIdle();
  ASSERT_EQ(got.size(), 8u);
  for (int t = 0; t < 2; ++t)
    for (int i = 0; i < 4; ++i) {
      const Posted& p = got[static_cast<std::size_t>(t * 4 + i)];
      EXPECT_EQ(p.msg, 1095u + i);
      EXPECT_EQ(p.w, got[static_cast<std::size_t>(t * 4)].w);  // one tile's window
      EXPECT_EQ(p.l, t == 0 ? first : second);
    }
  EXPECT_NE(got[0].w, got[4].w);

  // The end of the view closes the plug-in: the window goes with it.
  r.view.reset();
  EXPECT_EQ(TopLevel("dialog130"), nullptr);
}

}  // namespace
