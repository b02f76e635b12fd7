// The subscriber overview: rows from the monitor table, the state marks,
// the drawing's registration, the double click to the view and the hub
// codes it answers.
#include <QAbstractButton>
#include <QDialog>
#include <QPushButton>
#include <QWidget>
#include <memory>

#include "app/callwin/visualizeconnections.h"
#include "app/dialogs/dialogicons.h"
#include "app/dialogs/subscriberoverviewdlg.h"
#include "core/wire/csta_message.h"
#include "platform/dialogkit/dlgsupport.h"
#include "dialogs_support.h"

using callwintest::CallWinTest;
using callwintest::CoreRig;
using dialogtest::ViewRecorder;
using O = CSubscriberOverviewDlg;

namespace {

class Overview : public CallWinTest {
 protected:
  void SetUp() override {
    CallWinTest::SetUp();
    GlobalConfig().PSVMINDG = 1;
    GlobalConfig().VSCW = 0;
    rig = std::make_unique<CoreRig>();
    draw = std::make_unique<CVisualizeConnections>();
    draw->monitors = &rig->table;
  }
  void TearDown() override {
    dlg.reset();
    draw.reset();
    rig.reset();
    CallWinTest::TearDown();
  }
  O& Open(int shown) {
    rig->table.SetShownCount(shown);
    dlg = std::make_unique<O>(&rig->table, draw.get());
    EXPECT_TRUE(dlg->Create(view.id));
    return *dlg;
  }
  std::unique_ptr<CoreRig> rig;
  std::unique_ptr<CVisualizeConnections> draw;
  std::unique_ptr<O> dlg;
  ViewRecorder view;
};

TEST_F(Overview, ThreeEntriesFillThreeRowsAndTheOthersAreEmptyAndHidden) {
  dialogtest::WatchNamed(*rig, "10", "Frau", "Adler");
  dialogtest::WatchNamed(*rig, "11", "", "Berg");
  O& d = Open(3);
  EXPECT_EQ(d.FilledRows(), 3);
  const char* numbers[] = {"10", "11", "12"};
  const char* names[] = {"Frau Adler", "Berg", ""};
  for (int r = 0; r < 3; ++r) {
    EXPECT_EQ(d.GetItemText(O::NumberId(r)), numbers[r]) << r;
    EXPECT_EQ(d.GetItemText(O::NameId(r)), names[r]) << r;
    EXPECT_TRUE(d.IsItemVisible(O::ButtonId(r))) << r;
  }
  for (int r = 3; r < O::kRows; ++r) {
    EXPECT_EQ(d.GetItemText(O::NumberId(r)), "") << r;
    EXPECT_EQ(d.GetItemText(O::NameId(r)), "") << r;
    for (int id : {O::ButtonId(r), O::NumberId(r), O::NameId(r)}) EXPECT_FALSE(d.IsItemVisible(id)) << id;
    EXPECT_EQ(d.RowMark(r), -1);
  }
  EXPECT_EQ(O::ButtonId(59), 1342);
  EXPECT_EQ(O::NameId(59), 1344);
  // Before monitoring has started the note says the states are not known.
  EXPECT_TRUE(d.IsItemVisible(O::IDC_NOTE));
  EXPECT_EQ(d.GetWindowText(), "T26.0");
}

TEST_F(Overview, ADoubleClickOnAnyControlOfARowSendsItsNumberToTheView) {
  O& d = Open(8);
  struct Case {
    int id;
    const char* number;
  } cases[] = {{O::NameId(5), "15"}, {O::NumberId(0), "10"}, {O::ButtonId(7), "17"}};
  for (const Case& c : cases) {
    view.got.clear();
    ASSERT_TRUE(d.UserDoubleClick(c.id)) << c.id;
    loop.RunUntilIdle();
    ASSERT_EQ(view.got.size(), 1u) << c.id;
    EXPECT_EQ(view.got[0].code, hub::kSubscriberReport);
    EXPECT_EQ(view.got[0].w, 0u);
    EXPECT_EQ(view.got[0].text, c.number);
  }
  // A hidden row cannot be clicked; a single click sends nothing.
  view.got.clear();
  EXPECT_FALSE(d.UserDoubleClick(O::NameId(9)));
  d.Route(O::NameId(2), plat::Notify::Clicked);
  loop.RunUntilIdle();
  EXPECT_TRUE(view.got.empty());
}

TEST_F(Overview, TheSecondButtonSwitchesToABoxInsteadOfTheView) {
  dialogtest::WatchNamed(*rig, "12", "Herr", "Cordes");
  O& d = Open(4);
  ASSERT_TRUE(d.UserPress(O::IDC_SECOND));
  EXPECT_TRUE(d.ChargeViewMode());
  ASSERT_TRUE(d.UserDoubleClick(O::NameId(2)));
  loop.RunUntilIdle();
  EXPECT_TRUE(view.got.empty());
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "12 Herr Cordes - Herr Cordes (12)");
}

TEST_F(Overview, MonitoringStartedRefreshesTextsAndStatesAndClearsTheNote) {
  O& d = Open(3);
  dialogtest::WatchNamed(*rig, "11", "", "Neu");
  rig->table.FindByNumber("12")->connectionState = 3;
  EXPECT_EQ(d.GetItemText(O::NameId(1)), "");
  EXPECT_EQ(d.RowMark(2), dialogs::kMarkIdle);
  d.Notify(hub::kMonitoringStarted, 0, 0);
  EXPECT_EQ(d.GetItemText(O::NameId(1)), "Neu");
  EXPECT_EQ(d.RowMark(2), dialogs::kMarkConnected);
  EXPECT_FALSE(d.IsItemVisible(O::IDC_NOTE));
  // More extensions known now: rows are added.
  rig->table.SetShownCount(5);
  d.Notify(hub::kMonitoringStarted, 0, 0);
  EXPECT_EQ(d.FilledRows(), 5);
  EXPECT_TRUE(d.IsItemVisible(O::NameId(4)));
}

TEST_F(Overview, WithoutPsvmindgARefreshLeavesTheMarksAsTheyWere) {
  GlobalConfig().PSVMINDG = 0;
  O& d = Open(2);
  rig->table.FindByNumber("10")->connectionState = 2;
  d.Notify(hub::kMonitoringStarted, 0, 0);
  EXPECT_EQ(d.RowMark(0), dialogs::kMarkIdle);
}

TEST_F(Overview, MarksFollowTheConnectionStateAndARefusedMonitor) {
  struct Case {
    int state;
    int monitorState;
    int mark;
  } cases[] = {
      {1, CMonitorEntry::kMonitored, dialogs::kMarkDialling},
      {2, CMonitorEntry::kMonitored, dialogs::kMarkRinging},
      {3, CMonitorEntry::kMonitored, dialogs::kMarkConnected},
      {4, CMonitorEntry::kMonitored, dialogs::kMarkIdle},
      {-1, CMonitorEntry::kMonitored, dialogs::kMarkIdle},
      {0, CMonitorEntry::kNotMonitored, dialogs::kMarkIdle},
      {3, CMonitorEntry::kStartFailed, dialogs::kMarkNoPhone},
  };
  int i = 0;
  for (const Case& c : cases) {
    CMonitorEntry* e = rig->table.EntryAt(i++);
    e->connectionState = c.state;
    e->monitorState = static_cast<std::uint32_t>(c.monitorState);
  }
  O& d = Open(7);
  d.Notify(hub::kMonitoringStarted, 0, 0);
  auto icon = [&](int r) { return qobject_cast<QAbstractButton*>(d.Item(O::ButtonId(r)))->icon(); };
  for (int r = 0; r < 7; ++r) {
    EXPECT_EQ(d.RowMark(r), cases[r].mark) << r;
    EXPECT_EQ(d.GetItemText(O::ButtonId(r)), "") << r;
    EXPECT_EQ(icon(r).pixmap(16, 16).toImage(), dialogs::StateIcon(static_cast<dialogs::StateMark>(cases[r].mark)).pixmap(16, 16).toImage()) << r;
  }
  EXPECT_TRUE(icon(7).isNull());
}

TEST_F(Overview, EachRowsButtonIsRegisteredAndADeviceEventColoursIt) {
  rig->table.FindByNumber("12")->connDirection = 1;
  O& d = Open(3);
  for (int r = 0; r < 3; ++r) {
    const CVisualizeConnections::Item* item = draw->FindByKey(110 + r);
    ASSERT_NE(item, nullptr) << r;
    EXPECT_EQ(item->window.data(), d.Item(O::ButtonId(r)));
    EXPECT_EQ(item->kind, CVisualizeConnections::kButton);
    EXPECT_EQ(item->number, std::to_string(10 + r));
  }
  EXPECT_EQ(draw->FindByKey(113), nullptr);
  rig->table.FindByNumber("12")->connectionState = 2;
  draw->OnConnectionEvent("12", 4, CSTA_DELIVERED);
  EXPECT_EQ(draw->FindByKey(112)->brush, CVisualizeConnections::kAlertBrush);
  EXPECT_EQ(draw->FindByKey(111)->brush, CVisualizeConnections::kNoBrush);
  // The drawing's notice redraws that row's mark.
  loop.RunUntilIdle();
  EXPECT_EQ(d.RowMark(2), dialogs::kMarkRinging);
  EXPECT_EQ(d.RowMark(1), dialogs::kMarkIdle);
  // A refresh keeps the colour: the rows stand for the same extensions.
  d.Notify(hub::kMonitoringStarted, 0, 0);
  EXPECT_EQ(draw->FindByKey(112)->brush, CVisualizeConnections::kAlertBrush);
  // Rows that go away drop their registration.
  rig->table.SetShownCount(2);
  d.Notify(hub::kMonitoringStarted, 0, 0);
  EXPECT_EQ(draw->FindByKey(112), nullptr);
  ASSERT_NE(draw->FindByKey(111), nullptr);
  d.Destroy();
  EXPECT_TRUE(draw->Items().empty());
}

TEST_F(Overview, HoverTextsNameTheExtensionAndItsPartner) {
  CMonitorEntry* e = dialogtest::WatchNamed(*rig, "10", "Frau", "Adler");
  O& d = Open(2);
  EXPECT_EQ(d.Item(O::NameId(0))->toolTip().toStdString(), "Frau Adler (10)");
  EXPECT_EQ(d.Item(O::NameId(1))->toolTip().toStdString(), "11");
  e->connectionState = 3;
  e->SetOtherParty("0301234567");
  draw->OnConnectionEvent("10", 1, CSTA_ESTABLISHED);
  loop.RunUntilIdle();
  EXPECT_EQ(d.Item(O::ButtonId(0))->toolTip().toStdString(), "Frau Adler (10) <-> 0301234567");
  d.SetHoverTexts(false);
  EXPECT_TRUE(d.Item(O::NameId(0))->toolTip().isEmpty());
}

TEST_F(Overview, CloseAndEscapeHideItAndShowingAfterARefreshRequestRefills) {
  O& d = Open(2);
  d.Show(1);
  ASSERT_TRUE(d.Window()->isVisible());
  d.CloseBox();
  EXPECT_TRUE(d.IsCreated());
  EXPECT_FALSE(d.Window()->isVisible());
  d.Show(1);
  d.UserKey(Qt::Key_Escape);
  EXPECT_FALSE(d.Window()->isVisible());
  rig->table.SetShownCount(4);
  d.RefreshWhenShown();
  EXPECT_EQ(d.FilledRows(), 2);
  d.Show(1);
  EXPECT_EQ(d.FilledRows(), 4);
  d.Notify(hub::kBringToFront, 0, 0);
  EXPECT_EQ(plat::dlg::LastForegroundWindow(), d.Id());
}

}  // namespace
