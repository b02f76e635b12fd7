// Windows as a user sees them on a 1024 x 768 screen: placed by their
// outer frame, new ones beside the main window, dialogs over their owner
// and clear of its menu, none larger than the screen; tab-stop lists with
// their heads over whole columns; Qt's own buttons in German.
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/dialogkit/dialog.h"
#include "platform/dialogkit/dlgsupport.h"
#include "platform/dialogkit/dlgtemplate.h"
#include "platform/messages.h"
#include "platform/qtext.h"
#include "platform/winplace.h"
#include "tests/platform/dialogkit/testapp.h"

namespace {

namespace place = plat::place;

// Each test program makes its application once: on a screen of its own size.
void App1024() {
  static const bool screen = [] {
    const std::string platform = std::string("offscreen:configfile=") + BRIMLOW_SOURCE_DIR +
                             "/tests/platform/dialogkit/screen1024.json";
    setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
    return true;
  }();
  (void)screen;
  testapp::App();
}

void Settle() {
  for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

plat::dlg::Template Parse(const std::string& text) {
  plat::dlg::Template t;
  std::string error;
  EXPECT_TRUE(plat::dlg::ParseTemplate(text, &t, &error)) << error;
  return t;
}

const char* kSmall = "dialog 4001 \"Klein\"\nedit 10 width=30\nrow\n  default 1 \"OK\"\n  button 2 \"Abbrechen\"\nend\n";

// The program's main window: a bar at the screen's top-left corner.
struct MainWindow : plat::IMessageTarget {
  MainWindow() {
    frame.menuBar()->addMenu(QStringLiteral("Fenster"));
    frame.setCentralWidget(new QWidget);
    frame.setMinimumSize(1, 1);
    id = plat::RegisterTarget(this);
    plat::dlg::SetWindowWidget(id, frame.centralWidget());
    place::SetMainWindow(&frame, frame.menuBar());
    place::SetOuter(&frame, {0, 0, 480, 73});
    frame.show();
    Settle();
  }
  ~MainWindow() override {
    place::SetMainWindow(nullptr, nullptr);
    plat::dlg::SetWindowWidget(id, nullptr);
    plat::UnregisterTarget(id);
  }
  plat::LRESULT OnMessage(const plat::Message&) override { return 0; }
  bool app = (App1024(), true);  // before the first widget
  QMainWindow frame;
  plat::WindowId id = 0;
};

QRect Outer(const plat::Dialog& d) { return d.Window()->frameGeometry(); }

TEST(WindowPlacement, TheMainWindowsTitleBarIsOnTheScreen) {
  MainWindow main;
  EXPECT_EQ(main.frame.frameGeometry(), QRect(0, 0, 480, 73));
  // The inner area lies below the title bar, not at the corner.
  EXPECT_GT(main.frame.geometry().top(), 0);
}

TEST(WindowPlacement, NewWindowsGoBesideTheMainWindowEachOnACornerOfItsOwn) {
  MainWindow main;
  plat::Dialog first(Parse(kSmall)), second(Parse(kSmall));
  ASSERT_TRUE(first.Create(main.id));
  Settle();
  EXPECT_EQ(Outer(first).topLeft(), QPoint(480, 0));
  ASSERT_TRUE(second.Create(main.id));
  Settle();
  EXPECT_EQ(Outer(second).topLeft(), QPoint(504, 24));
  // Without an owner too: the program's own windows.
  plat::Dialog third(Parse(kSmall));
  ASSERT_TRUE(third.Create(0));
  Settle();
  EXPECT_EQ(Outer(third).topLeft(), QPoint(528, 48));
}

// What opens before the main window is framed goes by its true size once
// it is, unless it was put somewhere on purpose meanwhile.
TEST(WindowPlacement, WindowsOpenedBeforeTheMainWindowShowsFollowItsTrueSize) {
  App1024();
  QMainWindow frame;
  frame.menuBar()->addMenu(QStringLiteral("Fenster"));
  frame.setMinimumHeight(150);  // more than the place it is given
  place::SetMainWindow(&frame, frame.menuBar());
  place::SetOuter(&frame, {0, 0, 480, 73});
  const std::string wide = "dialog 4006 \"Breit\"\nedit 10 width=90\n";
  plat::Dialog below(Parse(wide)), stored(Parse(wide));
  ASSERT_TRUE(below.Create(0));
  ASSERT_TRUE(stored.Create(0));
  place::Restore(stored.Window(), {300, 500, 301, 501}, true);
  frame.show();
  Settle();
  EXPECT_GT(frame.frameGeometry().height(), 150);
  EXPECT_EQ(Outer(below).top(), frame.frameGeometry().bottom() + 1);
  EXPECT_EQ(Outer(stored).topLeft(), QPoint(300, 500));
  place::SetMainWindow(nullptr, nullptr);
}

// A modal dialog as it shows, read while its loop runs.
QRect ModalFrame(plat::Dialog& d, plat::WindowId owner) {
  QRect seen;
  QTimer::singleShot(0, [&] {
    Settle();
    seen = Outer(d);
    d.EndDialog(plat::IDCANCEL);
  });
  d.DoModal(owner);
  return seen;
}

TEST(WindowPlacement, DialogsOpenOverTheirOwnerAndLeaveTheMainMenuFree) {
  MainWindow main;
  plat::Dialog over(Parse(kSmall));
  const QRect f = ModalFrame(over, main.id);
  // Centred across the main window, below it rather than over its menu.
  EXPECT_LE(std::abs(f.center().x() - main.frame.frameGeometry().center().x()), 1) << f.x();
  EXPECT_GE(f.top(), main.frame.frameGeometry().bottom());

  // Over another dialog: centred on it.
  plat::Dialog owner(Parse(kSmall));
  ASSERT_TRUE(owner.Create(main.id));
  place::SetOuter(owner.Window(), {300, 300, 800, 600});
  Settle();
  const QRect ownerFrame = owner.Window()->frameGeometry();
  plat::Dialog inner(Parse("dialog 4002 \"Innen\"\nedit 10 width=5\n"));
  const QRect g = ModalFrame(inner, owner.Id());
  EXPECT_LE((g.center() - ownerFrame.center()).manhattanLength(), 2);

  // A dialog that places itself stays where it put itself.
  struct Placed : plat::Dialog {
    using plat::Dialog::Dialog;
    bool OnInitDialog() override {
      place::MoveOuter(Window(), 600, 500);
      return true;
    }
  } placed(Parse(kSmall));
  EXPECT_EQ(ModalFrame(placed, main.id).topLeft(), QPoint(600, 500));
}

TEST(WindowPlacement, AWindowPlacedBeforeItIsFramedEndsWhereItWasMeant) {
  App1024();
  struct Case {
    const char* name;
    bool made, hiddenShow;  // made before the move; first shown off the screen, as the plug-ins do
  };
  const Case cases[] = {{"not made yet", false, false}, {"made", true, false}, {"shown off the screen", true, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QWidget w;
    w.resize(300, 200);
    if (c.made) w.winId();
    if (c.hiddenShow) {
      w.setAttribute(Qt::WA_DontShowOnScreen, true);
      w.show();
      w.hide();
      w.setAttribute(Qt::WA_DontShowOnScreen, false);
    }
    place::MoveOuter(&w, 100, 50);
    EXPECT_EQ(place::OuterRect(&w).left, 100);  // what the settings get before it shows
    EXPECT_EQ(place::OuterRect(&w).top, 50);
    w.show();
    Settle();
    EXPECT_EQ(w.frameGeometry().topLeft(), QPoint(100, 50));
    const place::Rect back = place::OuterRect(&w);
    EXPECT_EQ((QRect(back.left, back.top, back.Width(), back.Height())), w.frameGeometry());
  }
}

TEST(WindowPlacement, AStoredPlaceComesBackAndOffTheScreenOntoIt) {
  App1024();
  struct Case {
    const char* name;
    place::Rect stored;
    bool keepSize;
    QRect expected;
  };
  const Case cases[] = {
      {"stored", {200, 100, 500, 300}, false, QRect(200, 100, 300, 200)},
      {"the corner only", {200, 100, 201, 101}, true, QRect(200, 100, 304, 204)},
      {"off the right", {3000, 100, 3300, 300}, false, QRect(724, 100, 300, 200)},
      {"title bar above", {50, -100, 350, 100}, false, QRect(50, 0, 300, 200)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QWidget w;
    w.resize(300, 200);
    w.show();
    Settle();
    ASSERT_TRUE(place::Restore(&w, c.stored, c.keepSize));
    Settle();
    EXPECT_EQ(w.frameGeometry(), c.expected);
  }
  QWidget w;
  EXPECT_FALSE(place::Restore(&w, place::Rect{}, true));  // nothing stored
}

// A window restores its place while it is being made, before its layout
// has sized it: it still comes back whole on the screen, and with a main
// window beside it rather than over its menu.
TEST(WindowPlacement, AWindowLostOffTheScreenComesBackWholeAndClearOfTheMenu) {
  App1024();
  const QRect screen(0, 0, 1024, 768);
  QWidget owner;
  // An owned window: a placeholder size of its own until it is laid out.
  auto make = [&owner] {
    auto w = std::make_unique<QWidget>(&owner, Qt::Window);
    auto* inside = new QWidget;
    inside->setMinimumSize(400, 300);
    (new QVBoxLayout(w.get()))->addWidget(inside);
    return w;
  };
  {
    auto w = make();
    ASSERT_TRUE(place::Restore(w.get(), {-900, 2000, -276, 2365}, true));
    w->show();
    Settle();
    EXPECT_TRUE(screen.contains(w->frameGeometry())) << w->frameGeometry().y();
  }
  MainWindow main;
  auto w = make();
  ASSERT_TRUE(place::Restore(w.get(), {-1200, -800, -838, -535}, true));
  w->show();
  Settle();
  EXPECT_TRUE(screen.contains(w->frameGeometry()));
  EXPECT_FALSE(w->frameGeometry().intersects(main.frame.frameGeometry()));
}

TEST(WindowSizes, NoWindowIsLargerThanTheScreen) {
  MainWindow main;
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  std::string rows, scrolled;
  for (int r = 0; r < 80; ++r) rows += "edit " + std::to_string(100 + r) + " width=20\n";
  struct Case {
    const char* name;
    std::string text;
    bool buttonsShown;  // the buttons outside the scrolled part
  };
  const Case cases[] = {
      {"too tall: all of it scrolls", "dialog 4003 \"Lang\"\n" + rows + "default 1 \"OK\"\n", false},
      {"its rows scroll", "dialog 4004 \"Zeilen\"\nscroll\n" + rows + "end\ndefault 1 \"OK\"\n", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    plat::Dialog d(Parse(c.text));
    ASSERT_TRUE(d.Create(main.id));
    Settle();
    const QRect f = d.Window()->frameGeometry();
    EXPECT_LE(f.width(), screen.width());
    EXPECT_LE(f.height(), screen.height());
    EXPECT_TRUE(screen.contains(f)) << f.x() << "," << f.y() << " " << f.width() << "x" << f.height();
    // Every control is still there under its id.
    EXPECT_NE(d.Item(179), nullptr);
    d.SetItemText(179, "unten");
    EXPECT_EQ(d.GetItemText(179), "unten");
    if (c.buttonsShown) {
      QWidget* ok = d.Item(plat::IDOK);
      const QRect at(ok->mapTo(d.Window(), QPoint(0, 0)), ok->size());
      EXPECT_TRUE(d.Window()->rect().contains(at));
    }
  }
}

TEST(TabListHeads, HeadsStandOverWholeColumnsAndFieldsPickTheirPart) {
  App1024();
  plat::Dialog d(Parse(
      "dialog 4005 \"Liste\"\n"
      "row\n  static 11 \"Datum\"\n  static 12 \"von\"\n  static 13 \"Kosten\"\n  stretch\nend\n"
      "tablist 20 tabs=10,20 heads=11,12,13 fields=0,1,3 lines=4\n"
      "tablist 21 tabs=10,20 lines=2\n"));
  ASSERT_TRUE(d.Create(0));
  auto* t = qobject_cast<QTreeWidget*>(d.Item(20));
  ASSERT_NE(t, nullptr);
  EXPECT_FALSE(t->isHeaderHidden());
  EXPECT_EQ(t->headerItem()->text(0), QStringLiteral("Datum"));
  EXPECT_EQ(t->headerItem()->text(2), QStringLiteral("Kosten"));
  EXPECT_FALSE(d.Item(11)->isVisibleTo(d.Window()));
  // A head's text set later goes over its column.
  d.SetItemText(12, "&Beginn");
  EXPECT_EQ(t->headerItem()->text(1), QStringLiteral("Beginn"));
  EXPECT_EQ(d.GetItemText(12), "&Beginn");

  const std::string line = "05. 03. 26\t16:20:00\t?\t 12.34 EUR\t22";
  d.AddString(20, line);
  EXPECT_EQ(d.GetLBText(20, 0), line);  // the raw line stays
  QTreeWidgetItem* row = t->topLevelItem(0);
  EXPECT_EQ(row->text(0), QStringLiteral("05. 03. 26"));
  EXPECT_EQ(row->text(1), QStringLiteral("16:20:00"));
  EXPECT_EQ(row->text(2), QStringLiteral(" 12.34 EUR"));
  // No value is cut: each column is as wide as its widest text.
  for (int c = 0; c < 2; ++c)
    EXPECT_GE(t->columnWidth(c), t->fontMetrics().horizontalAdvance(row->text(c))) << c;
  EXPECT_GE(t->columnWidth(1), t->fontMetrics().horizontalAdvance(QStringLiteral("Beginn")));
  // A note without tabs runs across the columns and widens none.
  const int before = t->columnWidth(0);
  d.AddString(20, "Die Daten werden gelesen, bitte warten Sie einen Augenblick...");
  EXPECT_EQ(t->columnWidth(0), before);
  EXPECT_TRUE(t->topLevelItem(1)->isFirstColumnSpanned());
  // A list without heads keeps its header hidden.
  EXPECT_TRUE(qobject_cast<QTreeWidget*>(d.Item(21))->isHeaderHidden());
}

TEST(QtTexts, TheStandardButtonsSpeakGerman) {
  App1024();
  ASSERT_TRUE(plat::InstallQtTranslations("de"));
  EXPECT_TRUE(plat::InstallQtTranslations("de"));  // once is enough
  QDialogButtonBox box(QDialogButtonBox::Yes | QDialogButtonBox::No | QDialogButtonBox::Cancel |
                       QDialogButtonBox::Close);
  EXPECT_EQ(box.button(QDialogButtonBox::Yes)->text(), QStringLiteral("&Ja"));
  EXPECT_EQ(box.button(QDialogButtonBox::No)->text(), QStringLiteral("&Nein"));
  EXPECT_EQ(box.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Abbrechen"));
  EXPECT_EQ(box.button(QDialogButtonBox::Close)->text(), QString::fromUtf8("Schließen"));
}

}  // namespace
