// The display control's windows offscreen on the manual loop, driven through
// the exports as the program drives them and found by control id.
#include <QAbstractButton>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QWidget>
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "platform/dialogkit/dlgsupport.h"
#include "platform/eventloop.h"
#include "platform/messages.h"
#include "platform/msgbox.h"
#include "platform/text.h"
#include "platform/winplace.h"
#include "plugins/display/devicedisplay.h"
#include "plugins/display/overviewdlg.h"
#include "plugins/display/tarquel.h"
#include "plugins/display/tilepage.h"
#include "plugins/display/treepage.h"
#include "tests/platform/dialogkit/testapp.h"

using tarquel::COverviewDlg;
using tarquel::CSingleDeviceDisplay;
using tarquel::CTreePage;
using tarquel::FitGrid;

namespace {

struct Posted {
  plat::UINT msg;
  plat::WPARAM w;
  plat::LPARAM l;
  bool operator==(const Posted&) const = default;
};
std::ostream& operator<<(std::ostream& o, const Posted& p) {
  return o << "(" << p.msg << ", " << p.w << ", " << p.l << ")";
}

class Recorder : public plat::IMessageTarget {
 public:
  Recorder() : id(plat::RegisterTarget(this)) {}
  ~Recorder() override { plat::UnregisterTarget(id); }
  plat::LRESULT OnMessage(const plat::Message& m) override {
    got.push_back({m.msg, m.wParam, m.lParam});
    return 0;
  }
  plat::WindowId id;
  std::vector<Posted> got;
};

void Set(const char* name, const std::string& value) { ASSERT_EQ(TARQAPISetParamAsString(name, value.c_str()), 0); }
void SetItem(DLLIFC_ITEM h, const char* name, const std::string& value) {
  ASSERT_EQ(TARQAPIItemSetParamAsString(h, name, value.c_str()), 0) << name;
}

class Windows : public ::testing::Test {
 protected:
  void SetUp() override {
    testapp::App();
    plat::SetMessageBoxImpl(&boxes);
    ASSERT_EQ(TARQAPICreate(host.id, 37, 0), 0);
    // What the program sets at its start.
    const char* general[] = {"Summen auslesen", "Summen l\xf6schen", "Einzelgespr\xe4" "che auslesen",
                             "Einzelgespr\xe4" "che l\xf6schen"};
    for (int n = 1; n <= 4; ++n) {
      Set(plat::StrFormatC("Fkt%i.Message", n).c_str(), plat::StrFormatC("%i", 1094 + n));
      Set(plat::StrFormatC("GenFkt%i.Message", n).c_str(), plat::StrFormatC("%i", 1099 + n));
      Set(plat::StrFormatC("GenFkt%i.Description", n).c_str(), general[n - 1]);
    }
  }
  void TearDown() override {
    TARQAPIClose();
    loop.RunUntilIdle();
    plat::SetMessageBoxImpl(nullptr);
  }

  static DLLIFC_ITEM Group(const std::string& label) {
    DLLIFC_ITEM h = -1;
    EXPECT_EQ(TARQAPIAddItem(0, &h, 0), 0);
    SetItem(h, "Label", label);
    return h;
  }
  static DLLIFC_ITEM Device(DLLIFC_ITEM group, const std::string& label) {
    DLLIFC_ITEM h = -1;
    EXPECT_EQ(TARQAPIAddItem(group, &h, 0), 0);
    SetItem(h, "Label", label);
    return h;
  }
  // Groups "Gr. 1", "Gr. 2", ... of these sizes; devices "n.i".
  std::vector<std::vector<DLLIFC_ITEM>> Groups(const std::vector<int>& sizes) {
    std::vector<std::vector<DLLIFC_ITEM>> out;
    for (std::size_t g = 0; g < sizes.size(); ++g) {
      groups.push_back(Group(plat::StrFormatC("Gr. %d", static_cast<int>(g) + 1)));
      out.emplace_back();
      for (int i = 0; i < sizes[g]; ++i)
        out.back().push_back(Device(groups.back(), plat::StrFormatC("%d.%d", static_cast<int>(g) + 1, i)));
    }
    return out;
  }
  static COverviewDlg& Make() {
    EXPECT_EQ(TARQAPIVisualStateFunction(0x300, 0), 0);
    COverviewDlg* o = tarquel::Overview();
    EXPECT_TRUE(o && o->IsCreated());
    return *o;
  }
  static CSingleDeviceDisplay& Tile(int position) { return *tarquel::Overview()->TilePage()->Tile(position); }
  static void SelectTab(int tab) { ASSERT_TRUE(tarquel::Overview()->UserSelect(COverviewDlg::IDC_TABS, tab)); }
  static void Key(QWidget* to, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(to, &press);
  }
  // The key as the focused button of a tile gets it.
  static void KeyOnTile(int position, int key) {
    CSingleDeviceDisplay& t = Tile(position);
    Key(t.Item(CSingleDeviceDisplay::IDC_F1 + t.FocusedButton()), key);
  }

  plat::ManualLoop loop;
  plat::ScriptedMessageBox boxes;
  Recorder host;
  std::vector<DLLIFC_ITEM> groups;
};

TEST(Grid, GrowsColumnsFirstAndStaysWithinBounds) {
  struct Case {
    std::int32_t rows, columns;
    std::int64_t largest;
    std::int32_t wantRows, wantColumns;
  };
  const Case cases[] = {
      {4, 3, 14, 4, 4},   {4, 3, 12, 4, 3},     {4, 3, 17, 5, 4},     {1, 1, 5, 2, 3},
      {0, 0, 0, 1, 1},    {-5, 1000, 10, 1, 64}, {INT32_MAX, INT32_MAX, 1, 64, 64}, {INT32_MIN, INT32_MIN, 1, 1, 1},
      {64, 64, 1000000000, 64, 64}, {1, 64, 100, 2, 64}, {64, 1, 100, 64, 2},
  };
  for (const Case& c : cases) {
    const tarquel::GridSize g = FitGrid(c.rows, c.columns, c.largest);
    EXPECT_EQ(g.rows, c.wantRows) << c.rows << "x" << c.columns << " for " << c.largest;
    EXPECT_EQ(g.columns, c.wantColumns) << c.rows << "x" << c.columns << " for " << c.largest;
  }
}

TEST_F(Windows, GridTilesAndTabs) {
  Groups({3, 14, 5});
  COverviewDlg& o = Make();
  EXPECT_EQ(o.Grid().rows, 4);
  EXPECT_EQ(o.Grid().columns, 4);
  EXPECT_EQ(tarquel::Items()->globals().maxRows, 4);  // written back
  EXPECT_EQ(tarquel::Items()->globals().maxColumns, 4);
  ASSERT_EQ(o.TilePage()->TileCount(), 14);  // no more than the largest group
  const QWidget* first = Tile(0).Window();
  const int w = first->width(), h = first->height();
  // Four to a row, fewer where the screen ends: rows wrap before it.
  int room = 0;
  plat::place::InnerRoom(&room, nullptr);
  const int limit = room - 2 * COverviewDlg::kPageOffset - COverviewDlg::kWindowChrome;
  int perRow = 4;
  while (perRow > 1 && 3 + perRow * w + (perRow - 1) * 6 + 12 > limit) --perRow;
  const int rows = (14 + perRow - 1) / perRow;
  for (int i = 0; i < 14; ++i)
    EXPECT_EQ(Tile(i).Window()->pos(), QPoint(3 + (i % perRow) * (w + 6), 6 + (i / perRow) * (h + 6))) << i;
  EXPECT_EQ(o.TilePage()->Width(), 3 + perRow * w + (perRow - 1) * 6 + 12);
  EXPECT_EQ(o.TilePage()->Height(), 6 + rows * h + (rows - 1) * 6 + 12);
  EXPECT_LE(o.TilePage()->Width(), limit);

  ASSERT_EQ(o.TabCount(), 4);
  EXPECT_EQ(o.TabGetText(COverviewDlg::IDC_TABS, 0), "\xdc" "bersicht...");
  EXPECT_EQ(o.TabGetImage(COverviewDlg::IDC_TABS, 0), 0);
  for (int t = 1; t <= 3; ++t) {
    EXPECT_EQ(o.TabGetText(COverviewDlg::IDC_TABS, t), plat::StrFormatC("Gr. %d", t));
    EXPECT_EQ(o.TabGetImage(COverviewDlg::IDC_TABS, t), 2);
  }
  EXPECT_EQ(o.CurrentTab(), 0);
  EXPECT_FALSE(o.TreePage()->Window()->isHidden());
  EXPECT_TRUE(o.TilePage()->Window()->isHidden());
  // Both pages under the tab row, 6 pixels in.
  const int row = o.TabRowHeight(COverviewDlg::IDC_TABS);
  EXPECT_EQ(o.TreePage()->Window()->pos(), QPoint(6, row + 6));
  EXPECT_EQ(o.TilePage()->Window()->pos(), QPoint(6, row + 6));
  EXPECT_GE(o.TreePage()->Window()->width(), o.TilePage()->Width());
  EXPECT_GE(o.TreePage()->Window()->height(), o.TilePage()->Height());
}

TEST_F(Windows, TitleTabLabelsAndButtonCaptions) {
  Set("ShowOverview", "0");
  Set("Label", "Zimmer");
  Groups({1});
  COverviewDlg& o = Make();
  EXPECT_EQ(o.GetWindowText(), "Zimmer");
  EXPECT_EQ(o.TabCount(), 2);
  EXPECT_EQ(o.TabGetText(COverviewDlg::IDC_TABS, 0), "");  // the tab is there, unlabelled
  CTreePage& tree = *o.TreePage();
  EXPECT_EQ(tree.GetItemText(CTreePage::IDC_FKT1), "Summen auslesen");
  EXPECT_EQ(tree.GetItemText(CTreePage::IDC_FKT1 + 3), "Einzelgespr\xe4" "che l\xf6schen");
  // The four buttons side by side, each a quarter of the page less the margins.
  const int width = (tree.Window()->width() - 12) / 4;
  for (int i = 0; i < 4; ++i) {
    const QWidget* b = tree.Item(CTreePage::IDC_FKT1 + i);
    EXPECT_EQ(b->x(), 6 + i * width) << i;
    EXPECT_EQ(b->width(), width) << i;
  }
}

TEST_F(Windows, SelectingAGroupBindsItsDevicesAndHidesTheRest) {
  const auto devices = Groups({5, 2});
  SetItem(devices[1][0], "Contents", "EUR  1.20");
  SetItem(devices[1][0], "SmallLabel", "22");
  COverviewDlg& o = Make();
  ASSERT_EQ(o.TilePage()->TileCount(), 5);
  SelectTab(2);
  EXPECT_EQ(o.CurrentTab(), 2);
  EXPECT_TRUE(o.TreePage()->Window()->isHidden());
  EXPECT_FALSE(o.TilePage()->Window()->isHidden());
  EXPECT_EQ(o.TilePage()->BoundCount(), 2);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Tile(i).Window()->isHidden(), i >= 2) << i;
  EXPECT_EQ(Tile(0).GetItemText(CSingleDeviceDisplay::IDC_LABEL), "2.0");
  EXPECT_EQ(Tile(0).GetItemText(CSingleDeviceDisplay::IDC_CONTENTS), "EUR  1.20");
  EXPECT_EQ(Tile(0).GetItemText(CSingleDeviceDisplay::IDC_SMALLLABEL), "22");
  EXPECT_EQ(Tile(1).GetItemText(CSingleDeviceDisplay::IDC_LABEL), "2.1");
  SelectTab(1);
  EXPECT_EQ(o.TilePage()->BoundCount(), 5);
  for (int i = 0; i < 5; ++i) EXPECT_FALSE(Tile(i).Window()->isHidden()) << i;
  EXPECT_EQ(Tile(4).GetItemText(CSingleDeviceDisplay::IDC_LABEL), "1.4");
  // A change shows at once on the bound tile and in the tree.
  SetItem(devices[0][4], "Contents", "EUR  3.00");
  EXPECT_EQ(Tile(4).GetItemText(CSingleDeviceDisplay::IDC_CONTENTS), "EUR  3.00");
  const tarquel::CDisplayItem* item = tarquel::Items()->Find(devices[0][4]);
  EXPECT_EQ(o.TreePage()->TreeGetItemText(CTreePage::IDC_TREE, item->treeItem), "1.4  EUR  3.00");
  // Back on the tree page the tiles are let go.
  SelectTab(0);
  EXPECT_TRUE(o.TilePage()->Window()->isHidden());
  EXPECT_EQ(o.TilePage()->BoundCount(), 0);
  EXPECT_EQ(item->tile, nullptr);
}

TEST_F(Windows, AGroupThatGrewAfterTheWindowBindsOnlyTheTilesThereAre) {
  const auto devices = Groups({2});
  COverviewDlg& o = Make();
  for (int i = 0; i < 3; ++i) Device(groups[0], "neu");
  Groups({1});  // a group without a tab
  SelectTab(1);
  EXPECT_EQ(o.TilePage()->TileCount(), 2);
  EXPECT_EQ(o.TilePage()->BoundCount(), 2);
  EXPECT_EQ(o.TabCount(), 2);
  // Selections naming what has no tab or tile change nothing.
  plat::PostMessage(o.Id(), CTreePage::kMsgSelectGroup, 0, (1 << 16) | 0xFFFF);
  plat::PostMessage(o.Id(), CTreePage::kMsgSelectDevice, 0, (4 << 16) | 0xFFFF);
  plat::PostMessage(o.Id(), CTreePage::kMsgSelectGroup, 0, static_cast<plat::LPARAM>(0xFFFFFFFFu));
  loop.RunUntilIdle();
  EXPECT_EQ(o.CurrentTab(), 1);
  EXPECT_EQ(o.TilePage()->FocusedTile(), -1);
}

TEST_F(Windows, StateMarkBlinksEveryHalfSecond) {
  const auto devices = Groups({2});
  COverviewDlg& o = Make();
  SelectTab(1);
  EXPECT_EQ(Tile(0).StateMark(), 135);
  SetItem(devices[0][0], "State1", "1");
  EXPECT_EQ(Tile(0).StateMark(), 136);
  const int marks[] = {135, 136, 135, 136};
  for (int want : marks) {
    loop.Advance(499);
    EXPECT_NE(Tile(0).StateMark(), want);
    loop.Advance(1);
    EXPECT_EQ(Tile(0).StateMark(), want);
  }
  EXPECT_EQ(Tile(1).StateMark(), 135);
  SetItem(devices[0][0], "State1", "0");
  EXPECT_EQ(Tile(0).StateMark(), 135);
  EXPECT_FALSE(plat::IsTimerArmed(Tile(0).Id(), CSingleDeviceDisplay::kBlinkTimer));
  (void)o;
}

TEST_F(Windows, WithoutBlinkTheSetMarkStaysOn) {
  Set("State1.Blink", "0");
  const auto devices = Groups({1});
  SetItem(devices[0][0], "State1", "1");  // before the window: kept on the item
  Make();
  SelectTab(1);
  EXPECT_EQ(Tile(0).StateMark(), 136);
  loop.Advance(2000);
  EXPECT_EQ(Tile(0).StateMark(), 136);
  EXPECT_FALSE(Tile(0).Blinking());
}

TEST_F(Windows, AGroupsTabBlinksWhileAnyOfItsDevicesIsSet) {
  const auto devices = Groups({3, 1});
  SetItem(devices[0][2], "State1", "1");  // before the window exists
  COverviewDlg& o = Make();
  const auto tabImage = [&](int tab) { return o.TabGetImage(COverviewDlg::IDC_TABS, tab); };
  EXPECT_TRUE(o.TabBlinking(1));
  EXPECT_FALSE(o.TabBlinking(2));
  EXPECT_EQ(tabImage(1), 1);
  loop.Advance(500);
  EXPECT_EQ(tabImage(1), 2);
  loop.Advance(500);
  EXPECT_EQ(tabImage(1), 1);
  EXPECT_EQ(tabImage(2), 2);
  const tarquel::CDisplayItem* set = tarquel::Items()->Find(devices[0][2]);
  EXPECT_EQ(o.TreePage()->TreeGetItemImage(CTreePage::IDC_TREE, set->treeItem), 1);

  SetItem(devices[0][0], "State1", "1");
  SetItem(devices[0][2], "State1", "0");
  EXPECT_TRUE(o.TabBlinking(1));  // one is still set
  EXPECT_EQ(o.TreePage()->TreeGetItemImage(CTreePage::IDC_TREE, set->treeItem), 2);
  SetItem(devices[0][0], "State1", "0");
  EXPECT_FALSE(o.TabBlinking(1));
  EXPECT_EQ(tabImage(1), 2);
  EXPECT_FALSE(plat::IsTimerArmed(o.Id(), 1));
  loop.Advance(1500);
  EXPECT_EQ(tabImage(1), 2);
  SetItem(devices[1][0], "State1", "7");
  EXPECT_TRUE(o.TabBlinking(2));
  EXPECT_FALSE(o.TabBlinking(1));
}

TEST_F(Windows, TreeListsGroupsAndDevices) {
  const auto devices = Groups({2, 1});
  SetItem(devices[0][1], "Contents", "EUR  0.12");
  COverviewDlg& o = Make();
  CTreePage& tree = *o.TreePage();
  const auto top = tree.TreeChildren(CTreePage::IDC_TREE, 0);
  ASSERT_EQ(top.size(), 2u);
  EXPECT_EQ(tree.TreeGetItemText(CTreePage::IDC_TREE, top[0]), "Gr. 1");
  const auto first = tree.TreeChildren(CTreePage::IDC_TREE, top[0]);
  ASSERT_EQ(first.size(), 2u);
  EXPECT_EQ(tree.TreeGetItemText(CTreePage::IDC_TREE, first[0]), "1.0");
  EXPECT_EQ(tree.TreeGetItemText(CTreePage::IDC_TREE, first[1]), "1.1  EUR  0.12");
  EXPECT_EQ(tree.TreeGetItemImage(CTreePage::IDC_TREE, first[0]), 2);
  SetItem(devices[0][0], "Label", "Zimmer: 21");
  EXPECT_EQ(tree.TreeGetItemText(CTreePage::IDC_TREE, first[0]), "Zimmer: 21");
}

TEST_F(Windows, DoubleClickOrEnterInTheTreeShowsTheDevicesTile) {
  Groups({2, 4});
  COverviewDlg& o = Make();
  CTreePage& tree = *o.TreePage();
  const auto top = tree.TreeChildren(CTreePage::IDC_TREE, 0);
  const auto second = tree.TreeChildren(CTreePage::IDC_TREE, top[1]);
  ASSERT_EQ(second.size(), 4u);
  ASSERT_TRUE(tree.TreeSelectItem(CTreePage::IDC_TREE, second[2]));
  ASSERT_TRUE(tree.UserDoubleClick(CTreePage::IDC_TREE));
  EXPECT_EQ(o.CurrentTab(), 0);  // posted, not done inside the click
  loop.RunUntilIdle();
  EXPECT_EQ(o.CurrentTab(), 2);
  EXPECT_EQ(o.TilePage()->FocusedTile(), 2);
  EXPECT_EQ(Tile(2).GetItemText(CSingleDeviceDisplay::IDC_LABEL), "2.2");
  EXPECT_EQ(Tile(2).FrameColour(), 0x0000FFu);

  SelectTab(0);
  const auto firstGroup = tree.TreeChildren(CTreePage::IDC_TREE, top[0]);
  ASSERT_TRUE(tree.TreeSelectItem(CTreePage::IDC_TREE, firstGroup[1]));
  Key(tree.Window(), Qt::Key_Return);
  loop.RunUntilIdle();
  EXPECT_EQ(o.CurrentTab(), 1);
  EXPECT_EQ(o.TilePage()->FocusedTile(), 1);
  EXPECT_TRUE(host.got.empty());  // nothing went to the program
}

TEST_F(Windows, TheNoEntriesLineDoesNothing) {
  COverviewDlg& o = Make();
  CTreePage& tree = *o.TreePage();
  const auto top = tree.TreeChildren(CTreePage::IDC_TREE, 0);
  ASSERT_EQ(top.size(), 1u);
  EXPECT_EQ(tree.TreeGetItemText(CTreePage::IDC_TREE, top[0]), "keine Eintr\xe4ge...");
  ASSERT_TRUE(tree.TreeSelectItem(CTreePage::IDC_TREE, top[0]));
  ASSERT_TRUE(tree.UserDoubleClick(CTreePage::IDC_TREE));
  Key(tree.Window(), Qt::Key_Return);
  loop.RunUntilIdle();
  EXPECT_EQ(o.CurrentTab(), 0);
  EXPECT_EQ(o.TabCount(), 1);
  EXPECT_TRUE(host.got.empty());
}

TEST_F(Windows, ButtonsPostTheirMessagesToTheProgram) {
  Recorder other;
  const auto devices = Groups({1});
  Set("ParentWindow", plat::StrFormatC("%u", other.id));
  Set("Fkt2.Message", "2000");
  const DLLIFC_ITEM late = Device(groups[0], "sp\xe4t");
  COverviewDlg& o = Make();
  CTreePage& tree = *o.TreePage();
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(tree.UserPress(CTreePage::IDC_FKT1 + i));
  loop.RunUntilIdle();
  // General buttons: the global parent window as it is now.
  const std::vector<Posted> general = {{1100, tree.Id(), 0}, {1101, tree.Id(), 0}, {1102, tree.Id(), 0},
                                       {1103, tree.Id(), 0}};
  EXPECT_EQ(other.got, general);
  other.got.clear();

  SelectTab(1);
  for (int position = 0; position < 2; ++position)
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(Tile(position).UserPress(CSingleDeviceDisplay::IDC_F1 + i));
  loop.RunUntilIdle();
  // Tile buttons: the copies the device took when it was added.
  const plat::WPARAM t0 = Tile(0).Id(), t1 = Tile(1).Id();
  const auto h0 = static_cast<plat::LPARAM>(devices[0][0]), h1 = static_cast<plat::LPARAM>(late);
  const std::vector<Posted> early = {{1095, t0, h0}, {1096, t0, h0}, {1097, t0, h0}, {1098, t0, h0}};
  const std::vector<Posted> later = {{1095, t1, h1}, {2000, t1, h1}, {1097, t1, h1}, {1098, t1, h1}};
  EXPECT_EQ(host.got, early);
  EXPECT_EQ(other.got, later);
  EXPECT_EQ(Tile(0).Item(CSingleDeviceDisplay::IDC_F1)->toolTip(), QStringLiteral("Drucken"));
}

TEST_F(Windows, KeyboardMovesTheFocusAndItsFrame) {
  Groups({3});
  COverviewDlg& o = Make();
  SelectTab(1);
  ASSERT_TRUE(o.TilePage()->FocusTile(0));
  const auto frames = [&] {
    std::vector<std::uint32_t> f;
    for (int i = 0; i < 3; ++i) f.push_back(Tile(i).FrameColour());
    return f;
  };
  EXPECT_EQ(frames(), (std::vector<std::uint32_t>{0x0000FF, 0xC0C0C0, 0xC0C0C0}));
  struct Step {
    int key;
    int tile, button;
  };
  const Step steps[] = {
      {Qt::Key_Right, 0, 1}, {Qt::Key_Right, 0, 2}, {Qt::Key_Right, 0, 3}, {Qt::Key_Right, 0, 0},
      {Qt::Key_Left, 0, 3},  {Qt::Key_Tab, 1, 0},   {Qt::Key_Left, 1, 3},  {Qt::Key_Tab, 2, 0},
      {Qt::Key_Backtab, 1, 0},
  };
  for (const Step& s : steps) {
    KeyOnTile(o.TilePage()->FocusedTile(), s.key);
    EXPECT_EQ(o.TilePage()->FocusedTile(), s.tile) << s.key;
    EXPECT_EQ(Tile(s.tile).FocusedButton(), s.button) << s.key;
  }
  EXPECT_EQ(frames(), (std::vector<std::uint32_t>{0xC0C0C0, 0x0000FF, 0xC0C0C0}));
  KeyOnTile(1, Qt::Key_Tab);
  KeyOnTile(2, Qt::Key_Tab);  // past the last tile: on to the tab panel
  EXPECT_EQ(o.TilePage()->FocusedTile(), -1);
  EXPECT_EQ(frames(), (std::vector<std::uint32_t>{0xC0C0C0, 0xC0C0C0, 0xC0C0C0}));
  EXPECT_EQ(o.Window()->focusWidget(), o.Item(COverviewDlg::IDC_TABS));
}

TEST_F(Windows, EnterOnATilePressesItsFocusedButton) {
  const auto devices = Groups({2});
  COverviewDlg& o = Make();
  SelectTab(1);
  ASSERT_TRUE(o.TilePage()->FocusTile(1, 2));
  KeyOnTile(1, Qt::Key_Return);
  loop.RunUntilIdle();
  const std::vector<Posted> want = {{1097, Tile(1).Id(), static_cast<plat::LPARAM>(devices[0][1])}};
  EXPECT_EQ(host.got, want);
}

TEST_F(Windows, DoubleClickOnATileShowsItsContentsLater) {
  const auto devices = Groups({1});
  SetItem(devices[0][0], "Contents", "EUR 12.34");
  SetItem(devices[0][0], "Label", "Zimmer: 21");
  Make();
  SelectTab(1);
  QWidget* label = Tile(0).Item(CSingleDeviceDisplay::IDC_LABEL);
  QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(2, 2), label->mapToGlobal(QPointF(2, 2)), Qt::LeftButton,
                  Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(label, &dbl);
  EXPECT_TRUE(boxes.shown.empty());  // not inside the mouse handler
  loop.RunUntilIdle();
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "EUR 12.34");
  EXPECT_EQ(boxes.shown[0].caption, "Zimmer: 21");
}

TEST_F(Windows, ColoursAreBlueGreenRedValues) {
  Set("BackgroundColor", "255");      // red
  Set("TextColor", "65280");          // green
  const auto devices = Groups({2});
  SetItem(devices[0][0], "SmallLabel.BackgroundColor", "16711680");  // blue
  Make();
  SelectTab(1);
  const QWidget* contents = Tile(0).Item(CSingleDeviceDisplay::IDC_CONTENTS);
  EXPECT_EQ(contents->palette().color(QPalette::Base), QColor(255, 0, 0));
  EXPECT_EQ(contents->palette().color(QPalette::Text), QColor(0, 255, 0));
  EXPECT_EQ(Tile(0).Item(CSingleDeviceDisplay::IDC_SMALLLABEL)->palette().color(QPalette::Window), QColor(0, 0, 255));
  // Without a colour of its own the small label takes the tile's.
  EXPECT_EQ(Tile(1).Item(CSingleDeviceDisplay::IDC_SMALLLABEL)->palette().color(QPalette::Window), QColor(255, 0, 0));
  SetItem(devices[0][1], "SmallLabel.BackgroundColor", "12632256");
  EXPECT_EQ(Tile(1).Item(CSingleDeviceDisplay::IDC_SMALLLABEL)->palette().color(QPalette::Window),
            QColor(192, 192, 192));
}

TEST_F(Windows, MakeAndShowAsTheProgramDoes) {
  Groups({1});
  EXPECT_EQ(tarquel::Overview()->Window(), nullptr);
  EXPECT_EQ(TARQAPIVisualStateFunction(768, 1), 0);
  COverviewDlg& o = *tarquel::Overview();
  ASSERT_TRUE(o.IsCreated());
  EXPECT_FALSE(o.Window()->isVisible());
  EXPECT_EQ(TARQAPIVisualStateFunction(767, 1), 0);
  EXPECT_TRUE(o.Window()->isVisible());
  EXPECT_EQ(plat::dlg::LastForegroundWindow(), o.Id());
  // Again: the same window, shown.
  QDialog* before = o.Window();
  EXPECT_EQ(TARQAPIVisualStateFunction(768, 1), 0);
  EXPECT_EQ(TARQAPIVisualStateFunction(767, 1), 0);
  EXPECT_EQ(o.Window(), before);
  EXPECT_TRUE(o.Window()->isVisible());
}

TEST_F(Windows, CloseAndMinimiseHide) {
  COverviewDlg& o = Make();
  TARQAPIVisualStateFunction(767, 1);
  ASSERT_TRUE(o.Window()->isVisible());
  o.CloseBox();
  EXPECT_FALSE(o.Window()->isVisible());
  EXPECT_TRUE(o.IsCreated());
  for (int button : {plat::IDOK, plat::IDCANCEL}) {
    TARQAPIVisualStateFunction(767, 1);
    ASSERT_TRUE(o.UserPress(button));
    EXPECT_FALSE(o.Window()->isVisible()) << button;
    EXPECT_TRUE(o.IsCreated()) << button;
  }

  TARQAPIVisualStateFunction(0x0101, 0);  // shown normally, minimise switch 0
  EXPECT_EQ(o.MinimiseSwitch(), 0);
  EXPECT_TRUE(o.Window()->isVisible());
  o.Window()->showMinimized();
  QApplication::processEvents();
  EXPECT_FALSE(o.Window()->isVisible());
  TARQAPIVisualStateFunction(0x0100, 1);  // switch 1 also shows it
  EXPECT_TRUE(o.Window()->isVisible());
  o.Window()->showMinimized();
  QApplication::processEvents();
  EXPECT_TRUE(o.Window()->isVisible());
  EXPECT_TRUE(o.Window()->isMinimized());
}

TEST_F(Windows, TheWindowFitsTheScreenAndIsTitledWithoutALabel) {
  struct Case {
    std::vector<int> groups;
    const char* label;  // nullptr: not set
    const char* title;
  };
  const Case cases[] = {
      {{3}, nullptr, "\xdc" "bersicht"},           // three extensions
      {{16, 2}, "Summenz\xe4hler", "Summenz\xe4hler"},  // more tiles than the screen holds
      {{60}, nullptr, "\xdc" "bersicht"},
  };
  int roomW = 0, roomH = 0;
  plat::place::InnerRoom(&roomW, &roomH);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.groups.front());
    if (c.label) Set("Label", c.label);
    Groups(c.groups);
    COverviewDlg& o = Make();
    TARQAPIVisualStateFunction(767, 1);
    QApplication::processEvents();
    EXPECT_EQ(o.GetWindowText(), c.title);
    QDialog* w = o.Window();
    EXPECT_LE(w->width(), roomW);
    EXPECT_LE(w->height(), roomH);
    // Every tile's buttons within the page, the page within the screen's width.
    SelectTab(1);
    const QRect page = o.TilePage()->Window()->rect();
    for (int i = 0; i < o.TilePage()->TileCount(); ++i) {
      const QRect tile = Tile(i).Window()->geometry();
      EXPECT_TRUE(page.contains(tile)) << i;
    }
    EXPECT_LE(o.TilePage()->Width(), roomW);
    ASSERT_EQ(TARQAPIClose(), 0);
    loop.RunUntilIdle();
    groups.clear();
    ASSERT_EQ(TARQAPICreate(host.id, 37, 0), 0);
  }
}

TEST_F(Windows, PositionRoundTrip) {
  Set("WNDPosition", "40,30,240,330");  // before the window: kept for it
  COverviewDlg& o = Make();
  TARQAPIVisualStateFunction(767, 1);
  EXPECT_EQ(o.Window()->frameGeometry().topLeft(), QPoint(30, 40));
  char text[DLLIFC_TEXT_SIZE] = {};
  ASSERT_EQ(TARQAPIGetParamAsString("WNDPosition", text), 0);
  const QRect f = o.Window()->frameGeometry();
  EXPECT_EQ(std::string(text), plat::StrFormatC("%d,%d,%d,%d", f.y(), f.x(), f.y() + f.height(), f.x() + f.width()));
  Set("WNDPosition", "100,200,0,0");  // moved, the size kept
  EXPECT_EQ(o.Window()->frameGeometry().topLeft(), QPoint(200, 100));
  EXPECT_EQ(o.Window()->frameGeometry().size(), f.size());
  o.Window()->move(7, 9);  // moved by the user
  QApplication::processEvents();
  ASSERT_EQ(TARQAPIGetParamAsString("WNDPosition", text), 0);
  const QRect g = o.Window()->frameGeometry();
  EXPECT_EQ(std::string(text), plat::StrFormatC("%d,%d,%d,%d", g.y(), g.x(), g.y() + g.height(), g.x() + g.width()));
}

TEST_F(Windows, CloseWhileBlinkingAndWithPendingSelections) {
  const auto devices = Groups({2});
  COverviewDlg& o = Make();
  SelectTab(1);
  SetItem(devices[0][0], "State1", "1");
  plat::PostMessage(o.Id(), CTreePage::kMsgSelectGroup, 0, 0xFFFF);
  EXPECT_EQ(TARQAPIClose(), 0);
  loop.Advance(2000);  // timers and messages of the window went with it
  EXPECT_EQ(tarquel::Overview(), nullptr);
  EXPECT_EQ(TARQAPIItemSetParamAsString(devices[0][0], "State1", "0"), DLLIFC_BAD_ITEM);
}

}  // namespace
