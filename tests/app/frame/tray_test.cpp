// The notification-area icon: its record, states and tip, and the view
// driving it through a recording back end.
#include <gtest/gtest.h>

#include <cstring>

#include "core/calls/callinfo.h"
#include "framerig.h"

namespace {

using framerig::RecordingBackend;
using framerig::Rig;

TEST(TrayRecord, TipFlagsAndStates) {
  RecordingBackend b;
  {
    CTrayIcon t(b);
    EXPECT_EQ(t.Record().size, 88u);
    EXPECT_EQ(t.GetState(), CTrayIcon::kNotShown);
    struct TipCase {
      std::size_t length;
      std::size_t kept;
    };
    for (const TipCase& c : {TipCase{0, 0}, {1, 1}, {62, 62}, {63, 63}, {64, 63}, {200, 63}}) {
      const std::string tip(c.length, 'x');
      t.SetTip(tip, false);
      EXPECT_EQ(std::strlen(t.Record().tip), c.kept) << c.length;
      EXPECT_EQ((t.Record().flags & CTrayIcon::kTipValid) != 0, c.kept > 0) << c.length;
      EXPECT_EQ(t.Record().tip[63], '\0');
    }
    t.SetIcon(223, false);
    EXPECT_EQ(t.Record().flags & CTrayIcon::kIconValid, CTrayIcon::kIconValid);
    t.SetIcon(0, false);
    EXPECT_EQ(t.Record().flags & CTrayIcon::kIconValid, 0u);
    t.SetOwner(5, 1079);
    EXPECT_EQ(t.Record().flags & CTrayIcon::kMessageValid, CTrayIcon::kMessageValid);
    t.SetOwner(5, 0);
    EXPECT_EQ(t.Record().flags & CTrayIcon::kMessageValid, 0u);
    EXPECT_TRUE(b.calls.empty());  // nothing applied yet

    // apply: add, then modify; the tip given with apply goes at once.
    EXPECT_TRUE(t.Apply());
    t.SetTip("Anruf", true);
    ASSERT_EQ(b.calls.size(), 2u);
    EXPECT_EQ(b.calls[0].op, "add");
    EXPECT_EQ(b.calls[1].op, "modify");
    EXPECT_STREQ(b.calls[1].record.tip, "Anruf");
    t.Remove();
    EXPECT_EQ(t.GetState(), CTrayIcon::kRemoved);
    EXPECT_EQ(b.Last().op, "delete");
    EXPECT_FALSE(t.Apply());
    t.SetIcon(224, true);
  }
  // Nothing after the removal, not even from the destructor.
  EXPECT_EQ(b.calls.size(), 3u);
}

TEST(TrayView, AddedAtInitialUpdateAndFollowsTheCalls) {
  Rig r;
  r.Build(false);
  EXPECT_TRUE(r.backend.calls.empty());
  r.view->OnInitialUpdate();
  ASSERT_EQ(r.backend.calls.size(), 1u);
  const TrayIconRecord& added = r.backend.calls[0].record;
  EXPECT_EQ(r.backend.calls[0].op, "add");
  EXPECT_STREQ(added.tip, "T15.0");
  EXPECT_EQ(added.icon, 223u);
  EXPECT_EQ(added.callbackMessage, 1079u);
  EXPECT_EQ(added.owner, r.view->Id());
  EXPECT_EQ(added.flags, 7u);

  struct CallCase {
    int direction;
    std::uint32_t icon;
  };
  for (const CallCase& c : {CallCase{CCallInfo::kIncoming, 225}, {CCallInfo::kOutgoing, 224}}) {
    CCallInfo call;
    call.direction = c.direction;
    call.callingNumber = "0301234567";
    call.callingName = std::string(40, 'N');
    call.calledNumber = "21";
    call.calledName = std::string(40, 'M');
    const std::string description = call.GetDescription(8);
    ASSERT_GT(description.size(), 63u);
    r.view->HandleAppMessage(1029, 21, static_cast<plat::LPARAM>(reinterpret_cast<std::intptr_t>(&call)));
    EXPECT_EQ(r.backend.Last().op, "modify");
    EXPECT_EQ(r.backend.Last().record.icon, c.icon) << c.direction;
    EXPECT_EQ(std::string(r.backend.Last().record.tip), description.substr(0, 63));
  }
  r.view->HandleAppMessage(1028, 21, 0);
  EXPECT_EQ(r.backend.Last().record.icon, 223u);
  EXPECT_STREQ(r.backend.Last().record.tip, "T15.0");

  // Destruction takes it away; later applies do nothing.
  const std::size_t before = r.backend.calls.size();
  r.frame->Detach();
  r.view.reset();
  ASSERT_EQ(r.backend.calls.size(), before + 1);
  EXPECT_EQ(r.backend.Last().op, "delete");
  EXPECT_FALSE(r.tray->Apply());
  EXPECT_EQ(r.backend.calls.size(), before + 1);
}

TEST(TrayView, MenuDoubleClickAndModalDialog) {
  Rig r;
  r.Build();
  plat::SendMessage(r.view->Id(), 1079, 0, CTrayIcon::kContextMenu);
  ASSERT_EQ(r.backend.menus, 1);
  EXPECT_EQ(r.backend.owner, r.view->Id());
  struct Item {
    plat::UINT msg;
    plat::WPARAM w;
    std::string text;
  };
  const std::vector<Item> expected = {
      {273, 32771, "T40.4"}, {273, 32772, "T40.5"}, {273, 32774, "T40.6"}, {0, 0, ""}, {273, 57665, "T40.12"}};
  ASSERT_EQ(r.backend.menu.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(r.backend.menu[i].msg, expected[i].msg) << i;
    EXPECT_EQ(r.backend.menu[i].wParam, expected[i].w) << i;
    EXPECT_EQ(r.backend.menu[i].text, expected[i].text) << i;
  }

  // A second opening drops the first menu.
  plat::SendMessage(r.view->Id(), 1079, 0, CTrayIcon::kContextMenu);
  EXPECT_EQ(r.backend.closes, 1);

  // Under a modal dialog only bringing the window back and the exit are
  // offered.
  {
    plat::ModalLoopScope modal;
    plat::SendMessage(r.view->Id(), 1079, 0, CTrayIcon::kContextMenu);
    ASSERT_EQ(r.backend.menu.size(), 3u);
    EXPECT_EQ(r.backend.menu[0].msg, 1079u);
    EXPECT_EQ(r.backend.menu[0].lParam, CTrayIcon::kDoubleClick);
    EXPECT_EQ(r.backend.menu[0].text, "T0.0");
    EXPECT_EQ(r.backend.menu[1].msg, 0u);
    EXPECT_EQ(r.backend.menu[2].msg, 273u);
    EXPECT_EQ(r.backend.menu[2].wParam, 57665u);
    EXPECT_EQ(r.backend.menu[2].text, "T40.12");
  }

  // The double click runs the show step: the frame comes to the front.
  r.frame->hide();
  plat::PostMessage(r.view->Id(), 1079, 0, CTrayIcon::kDoubleClick);
  r.loop.RunUntilIdle();
  EXPECT_TRUE(r.frame->isVisible());
}

TEST(TrayView, WithoutNotificationAreaBackgroundMinimises) {
  Rig r;
  r.backend.area = false;
  r.Build();
  r.frame->show();
  EXPECT_TRUE(r.view->RunCommand(32813));
  EXPECT_TRUE(r.frame->isMinimized());
  EXPECT_TRUE(r.frame->isVisible());
}

}  // namespace
