// The document and the view assembled in process with the real link
// object against the simulated PBX: over a pseudo-terminal through the
// real serial port, and behind its relay server through lorquin32.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <cstdlib>

#include "app/view/linkwatch.h"
#include "core/link/networklink.h"
#include "core/serial/serialport.h"
#include "netlink/lorquin32.h"
#include "platform/net/asyncsocket.h"
#include "tests/support/netrig.h"
#include "tools/pbxsim/pbxsim.h"
#include "ptyfixture.h"

namespace fs = std::filesystem;
using viewrig::Rig;
using V = CBrimlowView;

namespace {

std::string Read(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

class Assembly : public viewrig::OverThePty {
 protected:
  void SetUp() override {
    r = std::make_unique<Rig>();
    // Real time for the line and the sockets, the loop's clock moving along.
    pace.busy = [] { return plat::net::OpenSocketCount() != 0 && plat::net::PumpSockets(2) != 0; };
    sdfn = WriteMonTab("21", {"21", "22", "23"}, "Nebenstelle");
    original = Read(sdfn);
    LinkOnCom5();
    // The exit command closes the main window: the document is asked.
    r->frame.onExit = [this] { closed = r->doc->CanCloseFrame(); };
  }
  void TearDown() override {
    if (r) {
      r->view.reset();
      r->doc.reset();
    }
    for (std::uint32_t h = 0; h < 10; ++h) PBXNWHCloseDLL(h);
    OverThePty::TearDown();
  }
  CSytemObject& Link() { return *r->view->Link().Object(); }
  bool Running() { return LinkRunning(3); }
  CCallInfo* Current() { return r->doc->CallHandler().GetCurrentCall(hub::kIdView); }
  // The network link to a relay on port (the simulated PBX's, when sim).
  void StartOverRelay(std::uint16_t port) {
    CGlobalConfig& c = GlobalConfig();
    c.CPID = 6;
    c.NTPAR = 0;
    c.NSLA = "127.0.0.1";
    c.NUP = port;
    r->Start(false, false);
    ASSERT_NE(r->view->Network(), nullptr);
  }
  // An incoming call for the main phone shows in the tray.
  void CallReachesTheTray() {
    sim->IncomingCall("0301234567", "21");
    ASSERT_TRUE(Pump([&] { return r->tray.icon == V::kIconIncoming; })) << r->tray.icon;
    ASSERT_NE(Current(), nullptr);
    EXPECT_EQ(r->tray.tip, Current()->GetDescription(8).substr(0, 63));
    EXPECT_NE(r->tray.tip.find("301234567"), std::string::npos);
  }
  void SdfnIsTheTablesOwnSave() {
    // From the file as the user had it, the table's own save gives the
    // same bytes as the close wrote.
    const std::string written = Read(sdfn);
    ASSERT_FALSE(written.empty());
    std::ofstream(sdfn, std::ios::binary | std::ios::trunc) << original;
    ASSERT_EQ(r->doc->MonitorTable().Save(), 1);
    const std::string again = Read(sdfn);
    EXPECT_EQ(again.size(), written.size());
    EXPECT_TRUE(again == written);
    EXPECT_NE(written.find("NAME=Nebenstelle 22"), std::string::npos);
  }

  fs::path sdfn;
  std::string original;
  bool closed = false;
};

}  // namespace

TEST_F(Assembly, SerialLinkRunsTracksACallAndClosesCleanly) {
  ASSERT_TRUE(StartSim());
  r->Start(/*withWindows=*/false, /*fakeLink=*/false);
  ASSERT_TRUE(Running()) << Link().GetLinkState();
  ASSERT_TRUE(Pump([&] { return sim->ReceivedCount(CSTA_SNAPSHOT_DEVICE) == 3; }));
  EXPECT_EQ(sim->ReceivedCount(CSTA_PRIVATE), 1u);  // the device count
  EXPECT_EQ(sim->ReceivedCount(CSTA_GETAPI_CAPS), 1u);
  EXPECT_EQ(sim->ReceivedCount(CSTA_MONITOR_DEVICE), 3u);
  EXPECT_EQ(sim->ReceivedCount(CSTA_QUERY_FWD), 3u);
  EXPECT_EQ(sim->Monitored(), (std::vector<std::string>{"21", "22", "23"}));
  EXPECT_EQ(r->view->LinkState(), V::kLinkStarting);

  CallReachesTheTray();

  // The close: refused while the monitors stop, then the exit command asks
  // again and the close is granted.
  EXPECT_FALSE(r->doc->CanCloseFrame());
  EXPECT_EQ(r->frame.status.back(), "T43.25");
  ASSERT_TRUE(Pump([&] { return r->frame.exits == 1; }));
  EXPECT_TRUE(closed);
  EXPECT_EQ(r->view->LinkState(), V::kLinkClosed);
  EXPECT_EQ(sim->ReceivedCount(CSTA_MONITOR_STOP), 3u);
  EXPECT_EQ(Link().Port(), nullptr);
  SdfnIsTheTablesOwnSave();
  EXPECT_TRUE(r->boxes.shown.empty());
}

TEST_F(Assembly, ALostSerialLineComesBackAndStartsUpWhole) {
  ASSERT_TRUE(StartSim());
  r->Start(false, false);
  ASSERT_TRUE(Running());
  sim->Stop();
  ASSERT_TRUE(Pump([&] { return r->view->Watch().Lost(); })) << "no loss reported";
  EXPECT_EQ(r->frame.status.back(), "T43.26");
  EXPECT_EQ(r->globals.LogCount("T43.26"), 1);
  // Plugged back (a new device node, as after a replug).
  ASSERT_TRUE(StartSim());
  ASSERT_TRUE(Pump([&] { return !r->view->Watch().Lost(); }, static_cast<int>(4 * CLinkWatch::kRetryMs) + 5000));
  EXPECT_EQ(r->frame.status.back(), "T43.27");
  ASSERT_TRUE(Running());
  EXPECT_EQ(sim->ReceivedCount(CSTA_PRIVATE), 1u);
  EXPECT_EQ(sim->ReceivedCount(CSTA_GETAPI_CAPS), 1u);
  CallReachesTheTray();
  EXPECT_FALSE(r->doc->CanCloseFrame());
  ASSERT_TRUE(Pump([&] { return closed; }));
}

TEST_F(Assembly, APortMissingAtStartIsTriedAgainUntilItIsThere) {
  ::setenv(pbxrig::kPortVariable, (r->globals.dir / "not-yet").c_str(), 1);
  r->Start(false, false);
  ASSERT_EQ(r->boxes.shown.size(), 1u);  // the link object's own word on it
  EXPECT_EQ(r->boxes.shown[0].text, "T59.1");
  EXPECT_EQ(r->frame.status.back(), "T43.26");
  r->loop.Advance(3 * CLinkWatch::kRetryMs);
  EXPECT_TRUE(r->view->Watch().Lost());
  ASSERT_TRUE(StartSim());
  ASSERT_TRUE(Pump([&] { return !r->view->Watch().Lost(); }, static_cast<int>(4 * CLinkWatch::kRetryMs) + 5000));
  ASSERT_TRUE(Running());
  EXPECT_EQ(r->frame.status.back(), "T43.27");
  EXPECT_EQ(r->boxes.shown.size(), 1u);  // the retries say nothing
}

TEST_F(Assembly, RelayLinkRunsTracksACallAndUnregistersOnClose) {
  sim = std::make_unique<pbxsim::PbxSim>();
  const std::uint16_t port = netrig::FreePort();
  ASSERT_TRUE(sim->StartNetwork(port));
  StartOverRelay(port);
  ASSERT_TRUE(Running());
  EXPECT_EQ(sim->ReceivedCount(CSTA_PRIVATE), 1u);
  EXPECT_EQ(sim->ReceivedCount(CSTA_GETAPI_CAPS), 1u);
  EXPECT_EQ(sim->ReceivedCount(CSTA_MONITOR_DEVICE), 3u);

  CallReachesTheTray();

  EXPECT_FALSE(r->doc->CanCloseFrame());
  ASSERT_TRUE(Pump([&] { return r->frame.exits == 1; }));
  EXPECT_TRUE(closed);
  EXPECT_TRUE(r->view->Network()->Closed());
  EXPECT_EQ(sim->ReceivedCount(CSTA_MONITOR_STOP), 3u);
  ASSERT_TRUE(Pump([&] { return sim->Clients().empty(); }));
  SdfnIsTheTablesOwnSave();
}

TEST_F(Assembly, RelayGoneTheCloseNeedsNoServer) {
  sim = std::make_unique<pbxsim::PbxSim>();
  const std::uint16_t port = netrig::FreePort();
  ASSERT_TRUE(sim->StartNetwork(port));
  StartOverRelay(port);
  ASSERT_TRUE(Running());
  sim->StopNetwork();
  ASSERT_TRUE(Pump([&] { return !r->view->Network()->Registered(); }));
  EXPECT_TRUE(r->doc->CanCloseFrame());
  ASSERT_TRUE(Pump([&] { return r->frame.exits == 1; }));
  EXPECT_TRUE(closed);
  ASSERT_EQ(r->boxes.shown.size(), 1u);  // the lost link, before the close
  EXPECT_EQ(r->boxes.shown[0].text, "T43.21 \nT43.22");
}

// A relay that registers the program and then never answers again: the
// close gives up on its confirmation after the time-out.
TEST_F(Assembly, SilentRelayTheCloseEndsThroughTheTimeOut) {
  const std::uint16_t port = netrig::FreePort();
  netrig::SilentRelay relay(port);
  ASSERT_TRUE(relay.Listening());
  StartOverRelay(port);
  ASSERT_TRUE(Pump([&] { return r->view->Network()->Registered() && relay.Drained() > 0; }));
  EXPECT_FALSE(r->doc->CanCloseFrame());
  EXPECT_TRUE(r->view->Network()->UnregisterPending());
  const std::uint64_t asked = r->loop.NowMs();
  Pump([] { return false; }, 100);
  EXPECT_EQ(r->frame.exits, 0);
  r->loop.Advance(asked + CNetworkLink::kUnregisterTimeoutMs - r->loop.NowMs());
  r->loop.RunUntilIdle();
  EXPECT_EQ(r->frame.exits, 1);
  EXPECT_TRUE(closed);
}
