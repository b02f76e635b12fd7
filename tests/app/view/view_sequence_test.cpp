// The order of the view's creation, initial update, close and destruction,
// the windows opened at start, the link's choice and the show step.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/link/networklink.h"
#include "netlink/lorquin32.h"
#include "platform/dialogkit/dlgscript.h"
#include "tests/platform/dialogkit/testapp.h"
#include "viewrig.h"

using viewrig::Rig;
using V = CBrimlowView;

namespace {

std::vector<std::string> Only(const std::vector<std::string>& order, const std::string& part) {
  std::vector<std::string> out;
  for (const auto& s : order)
    if (s.find(part) != std::string::npos) out.push_back(s);
  return out;
}

void Watch(Rig& r, const char* number, std::uint32_t xref) {
  CMonitorEntry e;
  e.SetNumber(number);
  e.watchMode = 2;
  e.monitoringOn = 1;
  r.doc->MonitorTable().SetEntry(e);
  CMonitorEntry* entry = r.doc->MonitorTable().FindByNumber(number);
  entry->crossRefId = xref;
  entry->monitorState = CMonitorEntry::kMonitored;
}

}  // namespace

TEST(ViewSequence, CreationInitialUpdateAndDestructionInTheirOrder) {
  Rig r;
  GlobalConfig().ASCA = 1;
  r.Build();
  r.view->Create();
  const auto created = r.Mark();
  r.view->OnInitialUpdate();
  r.loop.RunUntilIdle();
  const auto updated = r.Mark();
  r.view.reset();
  EXPECT_EQ(std::vector<std::string>(r.order.begin(), r.order.begin() + static_cast<long>(created)),
            (std::vector<std::string>{"frame.busy", "assistant.create", "assistant.notify 1056", "frame.idle"}));
  EXPECT_EQ(std::vector<std::string>(r.order.begin() + static_cast<long>(created),
                                     r.order.begin() + static_cast<long>(updated)),
            (std::vector<std::string>{"assistant.notify 1056", "tray.owner", "tray.add", "link.open", "link.owner",
                                      "frame.layout"}));
  EXPECT_EQ(r.Since(updated), (std::vector<std::string>{"assistant.destroy", "tray.remove"}));
  EXPECT_EQ(r.tray.icon, V::kIconIdle);
  EXPECT_EQ(r.tray.tip, "T15.0");
  EXPECT_EQ(r.tray.callback, V::kMsgTrayNotify);
}

TEST(ViewSequence, StartUpWindowsAllOffOpenNothing) {
  Rig r;
  r.Start();
  EXPECT_EQ(Only(r.order, ".create"), std::vector<std::string>{});
  EXPECT_EQ(r.frame.exits, 0);
}

TEST(ViewSequence, ModelessStartUpWindowsOpenAtCreationTheModalOnesAfterTheInitialUpdate) {
  Rig r;
  CGlobalConfig& c = GlobalConfig();
  c.ASCA = c.ASDB = c.ASMV = c.ASDABA = c.ASCBL = c.ASSCCP = c.ASSUCP = 1;
  c.ASOW = 1;  // read, opens nothing
  r.Build();
  // The modal ones' commands, as their parts of the program register them.
  for (plat::UINT id : {V::ID_CALLBACKLIST, V::ID_CHARGE_EVALUATION, V::ID_TOTAL_CHARGES})
    r.view->Commands().Register(id, [&r, id] { r.order.push_back("modal " + std::to_string(id)); });
  r.view->Create();
  EXPECT_EQ(Only(r.order, ".create"),
            (std::vector<std::string>{"assistant.create", "keypad.create", "overview.create", "database.create"}));
  r.loop.RunUntilIdle();  // the shell may run its loop before the initial update
  EXPECT_EQ(Only(r.order, "modal"), std::vector<std::string>{});
  r.view->OnInitialUpdate();
  EXPECT_EQ(Only(r.order, "modal"), std::vector<std::string>{});
  r.loop.RunUntilIdle();
  const auto layout = std::find(r.order.begin(), r.order.end(), "frame.layout");
  ASSERT_NE(layout, r.order.end());
  EXPECT_EQ(std::vector<std::string>(layout + 1, r.order.end()),
            (std::vector<std::string>{"modal 32781", "modal 32796", "modal 32797"}));
}

TEST(ViewSequence, TheLinkFollowsCpidAndNtpar) {
  struct Case {
    int cpid;
    long ntpar;
    int serialOpens;
  } cases[] = {{2, 0, 1}, {0, 1, 1}, {6, 1, 1}, {6, 0, 0}, {6, 2, 0}, {5, 0, 1}};
  for (const Case& c : cases) {
    Rig r;
    GlobalConfig().CPID = c.cpid;
    GlobalConfig().NTPAR = c.ntpar;
    r.Start();
    EXPECT_EQ(r.fake->opens, c.serialOpens) << c.cpid << " " << c.ntpar;
    EXPECT_EQ(r.view->LinkState(), V::kLinkStarting);
  }
}

TEST(ViewSequence, TheNetworkLinkOpensWithNslaAndAValidNup) {
  for (long nup : {0L, 4711L, 70000L}) {
    Rig r;
    GlobalConfig().CPID = 6;
    GlobalConfig().NTPAR = 0;
    GlobalConfig().NSLA = "127.0.0.1";
    GlobalConfig().NUP = nup;
    r.Start(true, /*fakeLink=*/false);
    ASSERT_NE(r.view->Network(), nullptr) << nup;
    EXPECT_NE(r.view->Network()->Handle(), CNetworkLink::kNone);
    EXPECT_EQ(r.view->Link().Object()->Port(), nullptr);  // no serial port
    EXPECT_TRUE(r.boxes.shown.empty());
  }
}

TEST(ViewSequence, AFailedNetworkOpenIsShownAndLogged) {
  struct Dummy : plat::IMessageTarget {
    plat::LRESULT OnMessage(const plat::Message&) override { return 0; }
  } dummy;
  plat::ManualLoop loop;
  const plat::WindowId id = plat::RegisterTarget(&dummy);
  std::vector<std::uint32_t> handles;
  // Every window slot of the library taken: the next open fails.
  for (int i = 0; i < 10; ++i) {
    const std::uint32_t h = PBXNWHOpenDLLEx(id, netlink::kFlagClient | netlink::kFlagCsta, "127.0.0.1", 9);
    if ((h & 0xFFFF) == netlink::kFailedOpen) break;
    handles.push_back(h & 0xFFFF);
  }
  {
    Rig r;
    GlobalConfig().CPID = 6;
    GlobalConfig().NSLA = "127.0.0.1";
    r.Start(true, false);
    ASSERT_EQ(r.boxes.shown.size(), 1u);
    EXPECT_EQ(r.boxes.shown[0].text, "T43.18 65535 T43.20");
    EXPECT_EQ(r.globals.LogCount("T43.18 65535 T43.20"), 1);
  }
  for (std::uint32_t h : handles) PBXNWHCloseDLL(h);
  plat::UnregisterTarget(id);
}

TEST(ViewSequence, CanCloseFromEveryLinkState) {
  for (int state = 0; state <= 4; ++state) {
    Rig r;
    r.Build();
    if (state >= 1) r.view->Create();
    if (state >= 2) r.view->OnInitialUpdate();
    r.loop.RunUntilIdle();
    if (r.fake) r.Quiet();
    Watch(r, "21", 1001);  // a monitor to stop: the close takes steps
    if (state >= 3) EXPECT_FALSE(r.view->CanCloseView());
    if (state == 4) {
      CSTAMessage conf;
      conf.SetType(CSTA_MONITOR_STOP_CONF);
      conf.SetU32(4, 1001);
      conf.SetU32(10, 1001);
      r.fake->link.OnLinkMessage(linkev::kIncoming, 0, &conf);
      r.loop.Advance(100);
      ASSERT_EQ(r.frame.exits, 1);  // 1074 while stopping: the exit command
      ASSERT_TRUE(r.view->CanCloseView());
      ASSERT_EQ(r.view->LinkState(), V::kLinkClosed);
    }
    ASSERT_EQ(r.view->LinkState(), state <= 2 ? state : state);
    const int stops = r.fake->stopSteps;
    const std::size_t statuses = r.frame.status.size();
    const bool answer = r.view->CanCloseView();
    if (state == 4) {
      EXPECT_TRUE(answer);
      EXPECT_EQ(r.fake->stopSteps, stops);  // nothing more to do
    } else {
      EXPECT_FALSE(answer) << state;  // the monitor stop is on its way
      EXPECT_EQ(r.fake->stopSteps, stops + 1);
      EXPECT_EQ(r.view->LinkState(), V::kLinkStopping);
      // Step 2 (status text, the charge handler's save) runs once only.
      EXPECT_EQ(r.frame.status.size(), statuses + (state == 3 ? 0u : 1u)) << state;
      EXPECT_EQ(r.frame.status.back(), "T43.25");
    }
  }
}

TEST(ViewSequence, AWatchedExtensionsRestartNeverExits) {
  testapp::App();
  Rig r;
  r.Start();
  r.fake->link.state = linkstate::kRunning;
  plat::DialogScript script;
  script.When(162).Press(plat::IDOK);
  r.doc->MonitorTable().MarkChanged();
  EXPECT_TRUE(r.view->RunCommand(CBrimlowDoc::ID_EXTENSIONS));
  ASSERT_EQ(script.opened.size(), 1u);
  EXPECT_EQ(script.opened[0].resourceId, 162);
  r.loop.Advance(10000);
  EXPECT_EQ(r.win[V::kOverview]->refreshAsks, 1);  // 1058 reached the hub
  // Monitors stopped and started again without a close.
  r.Hub(hub::kLinkStopStep);
  r.loop.Advance(10000);
  EXPECT_EQ(r.frame.exits, 0);
  EXPECT_EQ(r.view->LinkState(), V::kLinkStarting);
}

TEST(ViewSequence, ShowStepHidesAndBringsBackOnlyWhatItHid) {
  struct Case {
    bool area, assistantOpen;
    std::vector<std::string> hide, show;
  } cases[] = {
      {true, true, {"frame.hidepopups", "frame.hide", "assistant.hide"},
       {"frame.restore", "frame.show", "frame.foreground", "frame.showpopups", "assistant.show"}},
      {true, false, {"frame.hidepopups", "frame.hide"},
       {"frame.restore", "frame.show", "frame.foreground", "frame.showpopups"}},
      {false, true, {"frame.minimise"}, {"frame.restore", "frame.show", "frame.foreground", "frame.showpopups"}},
  };
  for (const Case& c : cases) {
    Rig r;
    r.tray.area = c.area;
    r.Start();
    if (c.assistantOpen) r.view->RunCommand(V::ID_ASSISTANT);
    auto mark = r.Mark();
    EXPECT_TRUE(r.view->RunCommand(V::ID_BACKGROUND));  // the show step with 0
    EXPECT_EQ(r.Since(mark), c.hide);
    mark = r.Mark();
    r.Hub(V::kMsgTrayNotify, 0, V::kTrayDoubleClick);  // with 1
    EXPECT_EQ(r.Since(mark), c.show);
    // A second time: the assistant was not hidden again, so it is not shown.
    mark = r.Mark();
    r.view->ShowStep(1);
    EXPECT_EQ(Only(r.Since(mark), "assistant"), std::vector<std::string>{});
  }
}
