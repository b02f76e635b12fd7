// The connection viewer as the program drives it: loaded through the real
// binding, its window offscreen, fed records and read back from its tree.
#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QTreeWidget>
#include <QWidget>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "app/plugins/pluginbinding.h"
#include "platform/dialogkit/dialog.h"
#include "platform/dialogkit/dlgsupport.h"
#include "platform/eventloop.h"
#include "platform/messages.h"
#include "platform/text.h"
#include "tests/platform/dialogkit/testapp.h"
#include "tests/plugins/records.h"
#include "tests/plugins/viewertree.h"

using testrec::Delivered;
using testrec::Established;
using testrec::Event;
using testrec::Transferred;

namespace {

using viewertree::Item;
using viewertree::Lines;

struct ParentWindow : plat::IMessageTarget {
  plat::LRESULT OnMessage(const plat::Message&) override { return 0; }
};

class Viewer : public ::testing::Test {
 protected:
  void SetUp() override {
    testapp::App();
    setenv("TZ", "UTC", 1);
    tzset();
    plat::SetEventLoop(&loop_);
    parentId_ = plat::RegisterTarget(&parentTarget_);
    parent_ = new QWidget;
    parent_->show();
    plat::dlg::SetWindowWidget(parentId_, parent_);
    ASSERT_EQ(b_.Load(CConnectionViewerBinding::kFileName), 0);
    ASSERT_EQ(b_.Create(parentId_, 36, 0), 0);
  }
  void TearDown() override {
    b_.Close();
    b_.Unload();
    plat::dlg::SetWindowWidget(parentId_, nullptr);
    delete parent_;
    plat::UnregisterTarget(parentId_);
    plat::SetEventLoop(nullptr);
  }

  static QDialog* Window() { return viewertree::Window(); }
  static QTreeWidget* Tree() { return viewertree::Tree(); }
  static std::vector<Item> Items() { return viewertree::Items(); }
  static Lines Shown() { return viewertree::Shown(); }
  // Whether the real viewer's library is in the process.
  static bool Mapped() {
    void* h = dlopen(CPlugInBinding::LibraryPath(CConnectionViewerBinding::kFileName).c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (h) dlclose(h);
    return h != nullptr;
  }
  int Feed(const CSTAMessage& m) { return b_.CSTAMessageHandlerProc(m); }
  // The tree is filled while the window can be seen.
  void ShowViewer() { ASSERT_EQ(b_.VisualStateFunction(5, 0), 0); }
  bool Press(int id) {
    auto* b = Window() ? Window()->findChild<QAbstractButton*>(QString::number(id)) : nullptr;
    if (!b) return false;
    b->click();
    return true;
  }

  plat::ManualLoop loop_{1772701507};  // 2026-03-05 09:05:07 UTC
  ParentWindow parentTarget_;
  plat::WindowId parentId_ = 0;
  QWidget* parent_ = nullptr;
  CConnectionViewerBinding b_;
};



TEST_F(Viewer, NameVersionParametersAndSecondCreate) {
  char text[DLLIFC_TEXT_SIZE] = "";
  EXPECT_EQ(b_.GetName(text), 0);
  EXPECT_STREQ(text, "dorvane Version: 1.0");
  std::uint16_t major = 0, minor = 9;
  EXPECT_EQ(b_.GetVersion(&major, &minor), 0);
  EXPECT_EQ(major, 1);
  EXPECT_EQ(minor, 0);
  EXPECT_EQ(b_.GetNumberOfParams(0), 1);
  EXPECT_EQ(b_.LoadCountrySpecificData(0, 0), 1);
  std::strcpy(text, "unchanged");
  EXPECT_EQ(b_.GetParamName(1, text), 1);
  EXPECT_STREQ(text, "unchanged");
  EXPECT_EQ(b_.GetParamName(0, text), 0);
  EXPECT_STREQ(text, "WNDPosition");
  EXPECT_EQ(b_.SetParamAsString("Other", "1,2,3,4"), 1);
  EXPECT_EQ(b_.GetParamAsString("Other", text), 1);
  EXPECT_EQ(b_.SetDatabaseInterface(nullptr), 0);
  EXPECT_EQ(b_.SetDeviceContentsInterface(nullptr), 0);
  // Created hidden; a second window is refused and the first stays.
  ASSERT_NE(Window(), nullptr);
  EXPECT_FALSE(Window()->isVisible());
  EXPECT_EQ(b_.Create(parentId_, 36, 0), 1);
  EXPECT_NE(Window(), nullptr);
  EXPECT_EQ(b_.Close(), 0);
  EXPECT_EQ(Window(), nullptr);
  // Nothing created: every window entry says so.
  EXPECT_EQ(b_.Close(), 1);
  EXPECT_EQ(b_.VisualStateFunction(5, 0), 1);
  EXPECT_EQ(b_.SetParamAsString("WNDPosition", "1,2,3,4"), 1);
  EXPECT_EQ(b_.GetParamAsString("WNDPosition", text), 1);
  EXPECT_EQ(b_.SetDatabaseInterface(nullptr), 1);
  EXPECT_EQ(Feed(Delivered(1, "21", "0301", "21")), 1);
}

TEST_F(Viewer, EachEventTypeGivesItsStateTextAndChildren) {
  ShowViewer();
  struct Step {
    const char* what;
    CSTAMessage record;
    Lines tree;
  };
  const Step steps[] = {
      {"incoming rings", Delivered(501, "21", "0301234567", "21"), {"21 (Ringing) - 0301234567"}},
      {"answered", Established(501, "21", "0301234567", "21"), {"21 (Connected) - 0301234567"}},
      {"held", Event(61, 501, "21"), {"21 (Held) - 0301234567"}},
      {"held elsewhere: unknown call", Event(61, 999, "21"), {"21 (Held) - 0301234567"}},
      {"retrieved elsewhere: unknown call", Event(65, 999, "21"), {"21 (Held) - 0301234567"}},
      {"retrieved", Event(65, 501, "21"), {"21 (Connected) - 0301234567"}},
      {"own device dials", Delivered(502, "22", "22", "0407777"),
       {"21 (Connected) - 0301234567", "22 (Dialing) - 0407777"}},
      {"off hook", Event(66, 503, "23"), {"21 (Connected) - 0301234567", "22 (Dialing) - 0407777", "23 (Initiated)"}},
      {"not a call event", Event(54, 501, "21"),
       {"21 (Connected) - 0301234567", "22 (Dialing) - 0407777", "23 (Initiated)"}},
      {"cleared", Event(56, 501, "21"), {"22 (Dialing) - 0407777", "23 (Initiated)"}},
  };
  for (const Step& s : steps) {
    EXPECT_EQ(Feed(s.record), 0) << s.what;
    EXPECT_EQ(Shown(), s.tree) << s.what;
  }
  const std::vector<Item> items = Items();
  ASSERT_EQ(items.size(), 2u);
  // Dialing: image 2; the partner is the other side (12), the device its own (13).
  EXPECT_EQ(items[0].image, 2);
  EXPECT_EQ(items[0].children, (Lines{"09:05:07", "502", "0407777", "22"}));
  EXPECT_EQ(items[0].childImages, (std::vector<int>{10, 9, 12, 13}));
  // Service initiated: no partner in the event, so none shown.
  EXPECT_EQ(items[1].image, 1);
  EXPECT_EQ(items[1].children, (Lines{"09:05:07", "503", "", "23"}));

  // Ringing for an incoming call: the kinds of the parties swap.
  Feed(Delivered(504, "24", "0891", "24"));
  Feed(Established(504, "24", "0891", "24"));  // again: children are added once
  const Item ringing = Items().back();
  EXPECT_EQ(ringing.image, 4);
  EXPECT_EQ(ringing.children, (Lines{"09:05:07", "504", "0891", "24"}));
  EXPECT_EQ(ringing.childImages, (std::vector<int>{10, 9, 13, 12}));
}

TEST_F(Viewer, ClearedFindsItsCallThroughEachFallback) {
  ShowViewer();
  struct Case {
    const char* what;
    std::vector<CSTAMessage> before;
    CSTAMessage cleared;
    Lines left;
  };
  const Case cases[] = {
      {"by call and device", {Delivered(1, "21", "0301", "21"), Delivered(1, "22", "0301", "22")},
       Event(56, 1, "22"), {"21 (Ringing) - 0301"}},
      {"by call, empty device and cross-reference", {Delivered(2, "", "0301", "21", 57, 1001)},
       Event(56, 2, "21", 1001), {}},
      {"cross-reference must match", {Delivered(2, "", "0301", "21", 57, 1001)}, Event(56, 2, "29", 1002),
       {" (Ringing) - 0301"}},
      {"by device alone when it has one call", {Delivered(3, "21", "0301", "21")}, Event(56, 77, "21"), {}},
      {"not by device alone when it has two",
       {Delivered(4, "21", "0301", "21"), Delivered(5, "21", "0407", "21")},
       Event(56, 77, "21"),
       {"21 (Ringing) - 0301", "21 (Ringing) - 0407"}},
      {"unknown everywhere", {Delivered(6, "21", "0301", "21")}, Event(56, 7, "29"), {"21 (Ringing) - 0301"}},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(Press(1002));  // "D": a fresh tree for each case
    for (const CSTAMessage& m : c.before) Feed(m);
    EXPECT_EQ(Feed(c.cleared), 0) << c.what;
    EXPECT_EQ(Shown(), c.left) << c.what;
  }
}

TEST_F(Viewer, TransferEndsTheTransferringPartysCallsAndConnectsTheResult) {
  ShowViewer();
  Feed(Delivered(501, "21", "0301234567", "21"));
  Feed(Established(501, "21", "0301234567", "21"));
  Feed(Event(61, 501, "21"));
  Feed(Delivered(502, "21", "21", "22"));
  Feed(Delivered(502, "22", "21", "22"));
  Feed(Established(502, "22", "21", "22"));
  ASSERT_EQ(Shown(), (Lines{"21 (Held) - 0301234567", "21 (Dialing) - 22", "22 (Connected) - 21"}));
  // The transferring party's two old calls, the resulting connection at the
  // other party; an all-zero fourth record matches nothing.
  EXPECT_EQ(Feed(Transferred({501, "21", 0}, {502, "21", 0}, {502, "22", 0})), 0);
  EXPECT_EQ(Shown(), (Lines{"22 (Connected) - 21"}));
  // A later event of the old call ids finds nothing of the transferring side.
  Feed(Event(61, 501, "21"));
  Feed(Event(56, 502, "21"));
  EXPECT_EQ(Shown(), (Lines{"22 (Connected) - 21"}));
  Feed(Event(56, 502, "22"));
  EXPECT_TRUE(Shown().empty());
}

TEST_F(Viewer, RecurringCallIdsKeepTheListBounded) {
  ShowViewer();
  for (int i = 0; i < 10000; ++i) {
    const std::uint32_t id = 500 + static_cast<std::uint32_t>(i % 7);
    ASSERT_EQ(Feed(Delivered(id, "21", "0301", "21")), 0);
    ASSERT_EQ(Feed(Established(id, "21", "0301", "21")), 0);
    if (i % 2) Feed(Event(56, id, "21"));
    // Every call that is still there shows its tree item.
    ASSERT_LE(Tree()->topLevelItemCount(), 7) << i;
  }
  for (std::uint32_t id = 500; id < 507; ++id) Feed(Event(56, id, "21"));
  EXPECT_EQ(Tree()->topLevelItemCount(), 0);
}

TEST_F(Viewer, ButtonsClearAndPin) {
  ShowViewer();
  Feed(Delivered(1, "21", "0301", "21"));
  Feed(Delivered(2, "22", "0302", "22"));
  ASSERT_EQ(Items().size(), 2u);
  EXPECT_FALSE(Window()->windowFlags() & Qt::WindowStaysOnTopHint);
  ASSERT_TRUE(Press(1001));
  EXPECT_TRUE(Window()->windowFlags() & Qt::WindowStaysOnTopHint);
  const qint64 pinned = Window()->findChild<QAbstractButton*>("1001")->icon().cacheKey();
  ASSERT_TRUE(Press(1001));
  EXPECT_FALSE(Window()->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_NE(Window()->findChild<QAbstractButton*>("1001")->icon().cacheKey(), pinned);
  ASSERT_TRUE(Press(1002));
  EXPECT_TRUE(Items().empty());
  // The cleared records are gone too: their events find nothing.
  Feed(Event(61, 1, "21"));
  EXPECT_TRUE(Items().empty());
  Feed(Delivered(1, "21", "0301", "21"));
  EXPECT_EQ(Shown(), (Lines{"21 (Ringing) - 0301"}));
}

TEST_F(Viewer, PositionTextRoundTripsAsTopLeftBottomRight) {
  ASSERT_EQ(b_.SetParamAsString("WNDPosition", "100,200,400,700"), 0);
  QDialog* w = Window();
  ShowViewer();
  QApplication::processEvents();
  EXPECT_EQ(w->frameGeometry().topLeft(), QPoint(200, 100));  // left, top of the outer frame
  const QSize size = w->frameGeometry().size();
  char text[DLLIFC_TEXT_SIZE] = "";
  ASSERT_EQ(b_.GetParamAsString("WNDPosition", text), 0);
  // The size stays the window's own.
  EXPECT_EQ(std::string(text), std::to_string(100) + "," + std::to_string(200) + "," +
                                   std::to_string(100 + size.height()) + "," + std::to_string(200 + size.width()));
  // A move while shown is stored; texts that say less move less.
  w->move(30, 40);
  QApplication::processEvents();
  ASSERT_EQ(b_.GetParamAsString("WNDPosition", text), 0);
  EXPECT_EQ(std::string(text).substr(0, 6), "40,30,");
  EXPECT_EQ(b_.SetParamAsString("WNDPosition", "55"), 0);
  EXPECT_EQ(w->pos(), QPoint(30, 55));
  EXPECT_EQ(b_.SetParamAsString("WNDPosition", "x,1"), 0);
  EXPECT_EQ(w->pos(), QPoint(30, 55));
}

// The host hands the viewer what it read back at the last exit: the frame
// comes back to the same place every time, none lies off the screen, and
// nothing stored leaves the window where it was placed.
TEST_F(Viewer, TheFrameComesBackWhereItWasAndOntoTheScreen) {
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  struct Case {
    const char* stored;
    bool keptAsGiven;  // else put back onto the screen
  };
  const Case cases[] = {{"100,200,400,700", true}, {"5000,5000,5300,5400", false}, {"-300,20,-100,300", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    std::string text = c.stored;
    QRect first;
    for (int start = 0; start < 4; ++start) {
      SCOPED_TRACE(start);
      b_.Close();
      ASSERT_EQ(b_.Create(parentId_, 36, 0), 0);
      ASSERT_EQ(b_.SetParamAsString("WNDPosition", text.c_str()), 0);
      ShowViewer();
      QApplication::processEvents();
      const QRect frame = Window()->frameGeometry();
      if (start == 0) first = frame;
      EXPECT_EQ(frame, first);
      EXPECT_TRUE(screen.contains(frame.topLeft())) << frame.x() << "," << frame.y();
      char back[DLLIFC_TEXT_SIZE] = "";
      ASSERT_EQ(b_.GetParamAsString("WNDPosition", back), 0);
      EXPECT_EQ(std::string(back), plat::StrFormatC("%d,%d,%d,%d", frame.y(), frame.x(), frame.y() + frame.height(),
                                                    frame.x() + frame.width()));
      text = back;
    }
    if (c.keptAsGiven) EXPECT_EQ(first.topLeft(), QPoint(200, 100));
  }
  // Nothing stored: the window stays where it was placed, over its owner.
  b_.Close();
  ASSERT_EQ(b_.Create(parentId_, 36, 0), 0);
  ASSERT_EQ(b_.SetParamAsString("WNDPosition", "0,0,0,0"), 0);
  ShowViewer();
  QApplication::processEvents();
  const QPoint centre = Window()->frameGeometry().center();
  EXPECT_LE(std::abs(centre.x() - parent_->frameGeometry().center().x()), 2);
}

TEST_F(Viewer, VisualStatesMinimiseCloseAndParentRestore) {
  QDialog* w = Window();
  // Show (low byte 5) and minimise switch 0: a minimise then also hides.
  EXPECT_EQ(b_.VisualStateFunction(0x0105, 0), 0);
  EXPECT_TRUE(w->isVisible());
  w->showMinimized();
  QApplication::processEvents();
  EXPECT_FALSE(w->isVisible());
  // The parent restored: the viewer shows itself normally.
  parent_->showMinimized();
  QApplication::processEvents();
  parent_->showNormal();
  QApplication::processEvents();
  EXPECT_TRUE(w->isVisible());
  EXPECT_FALSE(w->isMinimized());

  // The host's (0, 1): hidden, switch untouched (still 0 from above).
  EXPECT_EQ(b_.VisualStateFunction(0, 1), 0);
  EXPECT_FALSE(w->isVisible());
  // (767, 1): no show command, shown normally and in front.
  const plat::WindowId before = plat::dlg::LastForegroundWindow();
  EXPECT_EQ(b_.VisualStateFunction(767, 1), 0);
  EXPECT_TRUE(w->isVisible());
  const plat::WindowId viewerId = plat::dlg::LastForegroundWindow();
  EXPECT_NE(viewerId, 0u);
  EXPECT_NE(viewerId, before);
  // (511, 1): switch 1 and shown; a minimise now only minimises.
  EXPECT_EQ(b_.VisualStateFunction(511, 1), 0);
  w->showMinimized();
  QApplication::processEvents();
  EXPECT_TRUE(w->isVisible());
  // 1026 brings it back from the task bar.
  plat::SendMessage(viewerId, 1026);
  EXPECT_FALSE(w->isMinimized());
  EXPECT_TRUE(w->isVisible());

  // The close box hides; the window and its calls stay, and what came
  // while it was hidden shows when it is back.
  Feed(Delivered(1, "21", "0301", "21"));
  w->close();
  EXPECT_FALSE(w->isVisible());
  EXPECT_EQ(Window(), w);
  Feed(Established(1, "21", "0301", "21"));
  Feed(Delivered(2, "22", "22", "0407"));
  EXPECT_TRUE(Shown().empty());
  b_.VisualStateFunction(5, 0);
  EXPECT_EQ(Shown(), (Lines{"21 (Connected) - 0301", "22 (Dialing) - 0407"}));
  EXPECT_EQ(Items()[0].children, (Lines{"09:05:07", "1", "0301", "21"}));
}


// Nothing of the plug-in may outlive its library: no window, no pending
// event, no timer of its own once it is unloaded, closed first or not.
TEST_F(Viewer, AHundredLoadsAndUnloadsOfTheLiveViewerLeaveNothingBehind) {
  for (int round = 0; round < 100; ++round) {
    if (round > 0) {
      ASSERT_EQ(b_.Load(CConnectionViewerBinding::kFileName), 0) << round;
      ASSERT_EQ(b_.Create(parentId_, 36, 0), 0) << round;
    }
    ASSERT_EQ(b_.VisualStateFunction(0x0105, 0), 0);
    Feed(Delivered(1, "21", "0301", "21"));
    ASSERT_TRUE(Press(1001));  // topmost: the window is made anew
    Window()->move(10 + round, 20);
    QApplication::processEvents();
    ASSERT_EQ(Shown(), (Lines{"21 (Ringing) - 0301"})) << round;
    if (round % 2) EXPECT_EQ(b_.Close(), 0);
    ASSERT_EQ(b_.Unload(), 0) << round;
    EXPECT_EQ(Window(), nullptr) << round;
    EXPECT_FALSE(Mapped()) << round;
    EXPECT_EQ(b_.CSTAMessageHandlerProc(Delivered(2, "22", "0302", "22")), 1);
    QApplication::processEvents();
    loop_.RunUntilIdle();
  }
  ASSERT_EQ(b_.Load(CConnectionViewerBinding::kFileName), 0);
  ASSERT_EQ(b_.Create(parentId_, 36, 0), 0);
  ShowViewer();
  EXPECT_TRUE(Shown().empty());
}

}  // namespace
