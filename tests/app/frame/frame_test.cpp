// The main frame offscreen, found by command id: menu texts and the view's
// removals, disabled commands, the toolbar, its place and what it stores
// when it closes, help and the title.
#include <gtest/gtest.h>

#include <QAction>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QStatusBar>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>
#include <fstream>
#include <functional>

#include "app/frame/menuresource.h"
#include "framerig.h"
#include "platform/dialogkit/dialog.h"
#include "platform/dialogkit/dlgsupport.h"
#include "platform/dialogkit/dlgtemplate.h"
#include "platform/profile.h"
#include "platform/qtext.h"
#include "platform/winplace.h"

namespace {

using framerig::Rig;

std::vector<plat::UINT> MenuIds(QMenu* m) {
  std::vector<plat::UINT> ids;
  for (QAction* a : m->actions()) ids.push_back(a->isSeparator() ? 0 : a->objectName().mid(3).toUInt());
  return ids;
}

QMenu* Menu(CMainFrame& f, int i) { return f.findChild<QMenu*>(QStringLiteral("menu%1").arg(i)); }

bool InAnyMenu(CMainFrame& f, plat::UINT id) {
  for (int i = 0; i < 6; ++i)
    for (plat::UINT x : MenuIds(Menu(f, i)))
      if (x == id) return true;
  return false;
}

TEST(FrameMenu, TopLevelAndItemTextsComeFromGroup40) {
  Rig r;
  r.Build();
  const int tops[] = {3, 13, 18, 32, 35, 41};
  QList<QAction*> bar = r.frame->menuBar()->actions();
  ASSERT_EQ(bar.size(), 6);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(bar[i]->text(), QStringLiteral("T40.%1").arg(tops[i])) << i;

  struct Case {
    plat::UINT id;
    int entry;
  };
  // The settings menu's entries take 19 to 31 in the menu's order.
  const Case cases[] = {{32771, 4},  {32772, 5},  {32774, 6},  {32779, 8},  {32781, 9},  {32784, 10}, {32792, 11},
                        {57665, 12}, {32797, 14}, {32796, 15}, {32807, 17}, {32775, 19}, {32790, 20}, {32776, 21},
                        {32787, 22}, {32788, 23}, {32789, 24}, {32783, 25}, {32791, 26}, {32785, 27}, {32786, 28},
                        {32793, 29}, {32808, 30}, {32798, 31}, {59392, 33}, {59393, 34}, {57664, 37}, {32801, 38},
                        {32803, 39}, {32813, 43}, {32810, 42}};
  for (const Case& c : cases) {
    QAction* a = r.frame->Action(c.id);
    ASSERT_NE(a, nullptr) << c.id;
    EXPECT_EQ(a->text(), QStringLiteral("T40.%1").arg(c.entry)) << c.id;
  }
}

TEST(FrameMenu, ViewRulesRemoveEntriesWheneverAMenuOpens) {
  struct Case {
    int upl, ucl;
    bool records, chargeFile;
  };
  const Case cases[] = {{0, 0, false, false}, {1, 0, true, false}, {0, 1, false, true}, {1, 1, true, true}};
  for (const Case& c : cases) {
    Rig r;
    GlobalConfig().TOLEUPLV = c.upl;
    GlobalConfig().TOLEUCLV = c.ucl;
    r.Build();
    QMenu* extras = Menu(*r.frame, 4);
    emit extras->aboutToShow();
    const auto ids = MenuIds(extras);
    EXPECT_EQ(std::count(ids.begin(), ids.end(), 32801u), c.records ? 1 : 0) << c.upl;
    EXPECT_EQ(std::count(ids.begin(), ids.end(), 32803u), c.chargeFile ? 1 : 0) << c.ucl;
    // Without plug-ins their entries go, and the separator before them.
    emit Menu(*r.frame, 3)->aboutToShow();
    EXPECT_EQ(MenuIds(Menu(*r.frame, 3)), (std::vector<plat::UINT>{59392, 59393}));
    // A setting switched on later shows at the next opening.
    GlobalConfig().TOLEUPLV = 1;
    emit extras->aboutToShow();
    const auto again = MenuIds(extras);
    EXPECT_EQ(std::count(again.begin(), again.end(), 32801u), 1);
  }
}

TEST(FrameMenu, NeverOfferedEntriesAreAbsent) {
  Rig r;
  r.Build();
  r.frame->PrepareMenus();
  for (plat::UINT id : {32773u, 32802u, 32805u, 32811u, 32812u, 32815u, 32816u})
    EXPECT_FALSE(InAnyMenu(*r.frame, id)) << id;
  EXPECT_EQ(MenuIds(Menu(*r.frame, 0)),
            (std::vector<plat::UINT>{32771, 32772, 32774, 32779, 0, 32781, 32784, 32792, 0, 57665}));
}

TEST(FrameCommands, WithoutHandlerDisabledAndToolbarInOrder) {
  Rig r;
  r.Build();
  for (plat::UINT id : {57635u, 57634u, 57637u, 57607u}) {
    ASSERT_NE(r.frame->Action(id), nullptr) << id;
    EXPECT_FALSE(r.frame->Action(id)->isEnabled()) << id;
  }
  for (plat::UINT id : {57665u, 32790u, 32781u, 59392u, 59393u, 32810u})
    EXPECT_TRUE(r.frame->Action(id)->isEnabled()) << id;

  auto* bar = r.frame->findChild<QToolBar*>(QStringLiteral("toolbar59392"));
  ASSERT_NE(bar, nullptr);
  std::vector<plat::UINT> ids;
  for (QAction* a : bar->actions()) {
    if (a->isSeparator()) {
      ids.push_back(0);
      continue;
    }
    auto* b = qobject_cast<QToolButton*>(bar->widgetForAction(a));
    ASSERT_NE(b, nullptr);
    ids.push_back(b->defaultAction()->objectName().mid(3).toUInt());
  }
  EXPECT_EQ(ids, CMainFrame::ToolbarLayout());
  EXPECT_EQ(ids, (std::vector<plat::UINT>{32771, 32772, 0, 32779, 32774, 57635, 0, 57635, 57634, 57637, 0, 57607,
                                         57664}));
  // Every button that has a picture of its own shows it.
  for (plat::UINT id : {32771u, 32772u, 32779u, 32774u, 57635u, 57607u, 57664u})
    EXPECT_FALSE(r.frame->Action(id)->icon().isNull()) << id;

  // The bars' switches hide and show them and carry their check.
  r.frame->show();
  EXPECT_TRUE(r.frame->RunCommand(59392));
  EXPECT_TRUE(bar->isHidden());
  EXPECT_FALSE(r.frame->Action(59392)->isChecked());
  EXPECT_TRUE(r.frame->RunCommand(59393));
  EXPECT_TRUE(r.frame->statusBar()->isHidden());
  EXPECT_FALSE(r.frame->Action(59393)->isChecked());
  r.frame->RunCommand(59392);
  EXPECT_FALSE(bar->isHidden());
  EXPECT_TRUE(r.frame->Action(59392)->isChecked());
}

TEST(FrameTitle, IsText0_0AndStatusShowsTheViewsText) {
  Rig r;
  r.Build();
  EXPECT_EQ(r.frame->windowTitle(), QStringLiteral("T0.0"));
  r.frame->SetStatusText("Verbindung \xfc");
  auto* label = r.frame->findChild<QLabel*>(QStringLiteral("statustext"));
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->text(), QString::fromUtf8("Verbindung ü"));
  // The form is the view's window: dialogs find their owner there.
  EXPECT_EQ(plat::dlg::WindowWidget(r.view->Id()), r.frame->centralWidget());
}

// ------------------------------------------------------------------ place

struct PlaceCase {
  const char* name;
  const char* mfrm;  // "l,t,r,b" or nullptr
  FrameRect pos1;    // all 0: not set
  FrameRect expected;
};

void WriteMfrm(const std::string& ini, const char* v) {
  int l, t, rr, b;
  ASSERT_EQ(std::sscanf(v, "%d,%d,%d,%d", &l, &t, &rr, &b), 4);
  plat::ProfileBatch batch(ini);
  batch.Write("MFRM", "LP", std::to_string(l).c_str());
  batch.Write("MFRM", "TP", std::to_string(t).c_str());
  batch.Write("MFRM", "RP", std::to_string(rr).c_str());
  batch.Write("MFRM", "BP", std::to_string(b).c_str());
  ASSERT_TRUE(batch.Commit());
}

TEST(FramePlace, StoredRectangleOrTheDefault) {
  const FrameRect def{0, 0, 480, 73};
  const PlaceCase cases[] = {
      {"nothing stored", nullptr, {}, def},
      {"stored", "100,50,600,130", {}, {100, 50, 600, 130}},
      {"left beyond the screen", "5000,10,5480,83", {}, def},
      // Off every screen, or its title bar off them: put back onto the screen.
      {"below every screen", "10,5000,490,5073", {}, {10, 695, 490, 768}},
      {"title bar above the screen", "100,-40,600,40", {}, {100, 0, 600, 80}},
      {"title bar left of the screen", "-470,10,10,83", {}, {0, 10, 480, 83}},
      {"larger than the screen", "-10,-10,1100,900", {}, {0, 0, 1024, 768}},
      {"bottom off, title bar on", "100,740,580,813", {}, {100, 740, 580, 813}},
      {"no width", "300,20,300,93", {}, def},
      {"negative height", "10,90,490,20", {}, def},
      {"position 1 over MFRM", "100,50,600,130", {200, 60, 700, 140}, {200, 60, 700, 140}},
      {"position 1 alone", nullptr, {30, 40, 530, 113}, {30, 40, 530, 113}},
      {"position 1 unset keeps MFRM", "120,70,620,143", {}, {120, 70, 620, 143}},
  };
  const std::vector<FrameRect> screens{{0, 0, 1024, 768}};
  for (const PlaceCase& c : cases) {
    viewrig::SavedGlobals g;
    const std::string ini = (g.dir / "brimlow.ini").string();
    if (c.mfrm) WriteMfrm(ini, c.mfrm);
    GlobalConfig().SetWindowPosition(1, c.pos1.left, c.pos1.top, c.pos1.right, c.pos1.bottom);
    EXPECT_EQ(frameplace::Place(frameplace::Stored(ini, GlobalConfig()), screens), c.expected) << c.name;
  }
}

TEST(FramePlace, FrameTakesItsPlaceAndStoresItOnClose) {
  Rig r;
  WriteMfrm(r.ini, "40,30,560,110");
  r.Build();
  EXPECT_EQ(r.frame->Placed(), (FrameRect{40, 30, 560, 110}));
  // The stored rectangle is the outer frame, title bar and all.
  r.frame->show();
  QApplication::processEvents();
  EXPECT_EQ(r.frame->frameGeometry(), QRect(40, 30, 520, 80));
  EXPECT_NE(r.frame->geometry(), r.frame->frameGeometry());

  // Closing partly off the left edge stores 0.
  plat::place::SetOuter(r.frame.get(), {-60, 25, 420, 98});
  QApplication::processEvents();
  const QRect g = r.frame->frameGeometry();
  r.frame->close();
  EXPECT_EQ(plat::GetPrivateProfileInt("MFRM", "LP", -1, r.ini.c_str()), 0u);
  EXPECT_EQ(plat::GetPrivateProfileInt("MFRM", "TP", -1, r.ini.c_str()), static_cast<unsigned>(g.top()));
  EXPECT_EQ(plat::GetPrivateProfileInt("MFRM", "RP", -1, r.ini.c_str()), static_cast<unsigned>(g.left() + g.width()));
  EXPECT_EQ(plat::GetPrivateProfileInt("MFRM", "BP", -1, r.ini.c_str()), static_cast<unsigned>(g.top() + g.height()));
  int l, t, rr, b;
  ASSERT_EQ(GlobalConfig().GetWindowPosition(1, l, t, rr, b), 1);
  EXPECT_EQ((FrameRect{l, t, rr, b}), (FrameRect{0, g.top(), g.left() + g.width(), g.top() + g.height()}));
}

TEST(FramePlace, TheFrameComesBackWhereItWasAfterThreeRestarts) {
  struct Case {
    const char* name;
    const char* mfrm;  // nullptr: nothing stored
    QRect first;       // the outer frame at the first start
  };
  const Case cases[] = {
      {"nothing stored: the default, title bar at the screen's top", nullptr, QRect(0, 0, 480, 73)},
      {"stored", "120,90,700,190", QRect(120, 90, 580, 100)},
  };
  testapp::App();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    viewrig::SavedGlobals g;
    const std::string ini = (g.dir / "brimlow.ini").string();
    if (c.mfrm) WriteMfrm(ini, c.mfrm);
    for (int start = 0; start < 4; ++start) {
      SCOPED_TRACE(start);
      CMainFrame frame(ini, GlobalConfig());
      ASSERT_TRUE(frame.Create());
      frame.show();
      QApplication::processEvents();
      EXPECT_EQ(frame.frameGeometry(), c.first);
      EXPECT_EQ(plat::place::MainWindow(), &frame);
      frame.close();
      EXPECT_EQ(plat::GetPrivateProfileInt("MFRM", "LP", -1, ini.c_str()), static_cast<unsigned>(c.first.left()));
      EXPECT_EQ(plat::GetPrivateProfileInt("MFRM", "TP", -1, ini.c_str()), static_cast<unsigned>(c.first.top()));
      EXPECT_EQ(plat::GetPrivateProfileInt("MFRM", "BP", -1, ini.c_str()),
                static_cast<unsigned>(c.first.top() + c.first.height()));
    }
    EXPECT_EQ(plat::place::MainWindow(), nullptr);
  }
}

// Whatever height it was given, the frame fits its bars and its status
// line once the view has made it fit the form.
TEST(FramePlace, TheBarsAndTheStatusLineAreNeverCut) {
  const char* const stored[] = {nullptr, "100,50,600,70", "100,50,600,400"};
  for (const char* mfrm : stored) {
    SCOPED_TRACE(mfrm ? mfrm : "nothing stored");
    Rig r;
    if (mfrm) WriteMfrm(r.ini, mfrm);
    r.Build();
    r.frame->show();
    QApplication::processEvents();
    const QWidget* status = r.frame->statusBar();
    EXPECT_GE(r.frame->height(), r.frame->menuBar()->height() + status->sizeHint().height());
    EXPECT_LE(status->geometry().bottom(), r.frame->rect().bottom());
    EXPECT_GE(status->height(), status->sizeHint().height());
    // A taller place stays as it was.
    if (mfrm && std::string(mfrm) == "100,50,600,400") {
      EXPECT_EQ(r.frame->frameGeometry().height(), 350);
    }
  }
}

TEST(FramePlace, MinimisedCloseWritesMfrmButNotPosition1) {
  viewrig::SavedGlobals g;
  const std::string ini = (g.dir / "brimlow.ini").string();
  GlobalConfig().SetWindowPosition(1, 7, 8, 9, 10);
  EXPECT_TRUE(frameplace::Save({-5, -6, 400, 90}, true, ini, GlobalConfig()));
  std::ifstream f(ini);
  std::string all((std::istreambuf_iterator<char>(f)), {});
  EXPECT_EQ(all, "[MFRM]\r\nLP=0\r\nRP=400\r\nBP=90\r\nTP=0\r\n");
  int l, t, rr, b;
  GlobalConfig().GetWindowPosition(1, l, t, rr, b);
  EXPECT_EQ((FrameRect{l, t, rr, b}), (FrameRect{7, 8, 9, 10}));
}

// ------------------------------------------------------------------- help

TEST(FrameHelp, FrameActiveShowsTopic0AndADialogWithoutIdNothing) {
  Rig r;
  r.Build();
  std::vector<std::int32_t> shown;
  plat::dlg::SetHelpViewer([&](std::int32_t ctx, const std::string&, const std::string&) { shown.push_back(ctx); });
  r.frame->show();
  QApplication::setActiveWindow(r.frame.get());
  QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
  QApplication::sendEvent(r.frame.get(), &f1);
  EXPECT_EQ(shown, (std::vector<std::int32_t>{0}));
  r.frame->RunCommand(CMainFrame::ID_HELP_INDEX);
  EXPECT_EQ(shown, (std::vector<std::int32_t>{0, 0}));

  plat::dlg::Template tpl;
  std::string err;
  ASSERT_TRUE(plat::dlg::ParseTemplate("dialog 4711 \"Ohne Hilfe\"\ndefault 1 \"OK\"\n", &tpl, &err)) << err;
  tpl.help = -1;
  plat::Dialog d(tpl);
  ASSERT_TRUE(d.Create(r.view->Id()));
  QApplication::setActiveWindow(d.Window());
  r.frame->RunCommand(CMainFrame::ID_HELP);
  EXPECT_EQ(shown.size(), 2u);
  d.DestroyWindow();
  plat::dlg::SetHelpViewer({});
}

TEST(MenuResource, ParseErrorsNameTheLine) {
  struct Case {
    const char* text;
    const char* error;  // nullptr: parses
  };
  const Case cases[] = {
      {"popup @40.3 \"F\"\nitem 1 @40.4 \"A\"\nseparator\nend\n", nullptr},
      {"popup \"F\"\nitem 1 \"A\"\nend\n", nullptr},
      {"item 1 \"A\"\n", "line 1: item outside a popup"},
      {"popup \"F\"\nitem x \"A\"\nend\n", "line 2: item needs a command id"},
      {"popup \"F\"\nitem 1 \"A\"\nitem 1 \"B\"\nend\n", "line 3: command id used twice"},
      {"popup \"F\"\nitem 1 @40 \"A\"\nend\n", "line 2: item needs [@group.entry] \"text\""},
      {"popup \"F\"\nitem 1 \"A\n", "line 2: item needs [@group.entry] \"text\""},
      {"popup \"F\"\nitem 1 \"A\"\n", "line 2: popup without end"},
      {"popup \"F\"\npopup \"G\"\n", "line 2: popup inside a popup"},
      {"end\n", "line 1: end without popup"},
      {"# nothing\n", "line 1: no popup"},
      {"menu 2\n", "line 1: unknown statement"},
  };
  for (const Case& c : cases) {
    MenuDef def;
    std::string err;
    EXPECT_EQ(ParseMenu(c.text, &def, &err), c.error == nullptr) << c.text;
    if (c.error) {
      EXPECT_EQ(err, c.error) << c.text;
    }
  }
  // The shipped menu: six popups, Windows-1252 fallbacks.
  MenuDef shipped;
  std::string err;
  ASSERT_TRUE(LoadMenu("brimlow", 2, &shipped, &err)) << err;
  ASSERT_EQ(shipped.popups.size(), 6u);
  EXPECT_EQ(shipped.popups[0].items[5].text, "Anruf-/&R\xfc" "ckrufliste");
}

}  // namespace

// Every way of asking the program to end, with a dialog open: the dialog is
// ended first, the frame closes once its loop has returned, and from the
// request on nothing modal is shown any more.
TEST(FrameExit, EveryRequestEndsTheOpenDialogAndThenClosesTheFrame) {
  struct Case {
    const char* name;
    std::function<void(Rig&)> request;
  } cases[] = {
      {"menu Beenden", [](Rig& r) { r.frame->RunCommand(CMainFrame::ID_APP_EXIT); }},
      {"tray Beenden",
       [](Rig& r) {
         plat::SendMessage(r.view->Id(), CBrimlowView::kMsgTrayNotify, 0, CBrimlowView::kTrayRightButton);
         plat::PostMessage(r.view->Id(), CBrimlowView::kMsgCommand, CMainFrame::ID_APP_EXIT);
       }},
      {"assistant's end of the program", [](Rig& r) { plat::PostMessage(r.frame->Id(), CMainFrame::kWmClose); }},
      {"close box", [](Rig& r) { r.frame->close(); }},
  };
  for (const Case& c : cases) {
    Rig r;
    r.Build();
    r.frame->show();
    std::vector<std::string> ended;
    {
      plat::ModalLoopScope outer, inner;
      outer.SetEnd([&] { ended.push_back("outer"); });
      inner.SetEnd([&] { ended.push_back("inner"); });
      c.request(r);
      r.loop.RunUntilIdle();
      EXPECT_EQ(ended, (std::vector<std::string>{"inner", "outer"})) << c.name;
      EXPECT_TRUE(plat::Exiting()) << c.name;
      EXPECT_FALSE(r.frame->Closed()) << c.name << ": closed under an open dialog";
    }
    r.loop.RunUntilIdle();
    EXPECT_TRUE(r.frame->Closed()) << c.name;
    EXPECT_FALSE(r.frame->isVisible()) << c.name;
    // Its place was stored on the way out.
    EXPECT_NE(plat::GetPrivateProfileInt("MFRM", "RP", 0, r.ini.c_str()), 0u) << c.name;
  }
}
