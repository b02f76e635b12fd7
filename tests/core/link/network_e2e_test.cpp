// The link over the network on the loopback: the simulated PBX behind its
// relay server, the link object as a registered client through the
// network library, with the real filter, call handler and monitor table,
// and a stand-in for the view's duties.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "core/base/globalconfig.h"
#include "core/callhandler/callhandler.h"
#include "core/filter/messagefilter.h"
#include "core/iface/viewhub.h"
#include "core/link/networklink.h"
#include "core/link/sytemobject.h"
#include "core/monitor/monitortable.h"
#include "netlink/lorquin32.h"
#include "platform/eventloop.h"
#include "platform/msgbox.h"
#include "platform/net/asyncsocket.h"
#include "platform/text.h"
#include "tests/core/link/linkrig.h"
#include "tests/support/netrig.h"
#include "tools/pbxsim/pbxsim.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

using netrig::FreePort;

// The view's part: the library's messages and 1074 to the network path,
// received records, timers 5 and 7; everything else is recorded.
struct View : ViewStandIn {
  CNetworkLink* net = nullptr;
  bool Other(const plat::Message& m) override {
    codes.push_back(m.msg);
    params.push_back(m.wParam);
    if (net && ((m.msg >= 1580 && m.msg <= 1601) || m.msg == CNetworkLink::kMsgStopStep)) net->OnViewMessage(m);
    return true;
  }
};

class NetworkLink : public LinkRig {
 protected:
  void SetUp() override {
    SetUpLink("netlink_e2e_", 6, view);  // the network link
    GlobalConfig().NTPAR = 0;
    port = FreePort();
    net = std::make_unique<CNetworkLink>(link.get());
    net->onClosed = [this] { ++exits; };
    view.net = net.get();
  }
  void TearDown() override {
    StopCalls();
    view.net = nullptr;
    net.reset();
    DropLink();
    sim.StopNetwork();
    for (std::uint32_t h = 0; h < 10; ++h) PBXNWHCloseDLL(h);
    Restore();
  }

  // Sockets, messages and the loop's clock, moving together.
  template <class Pred>
  bool Pump(Pred pred, int timeoutMs = 10000) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < end) {
      loop.RunUntilIdle();
      if (pred()) return true;
      if (plat::net::OpenSocketCount() == 0 || plat::net::PumpSockets(2) == 0) loop.Advance(2);
    }
    loop.RunUntilIdle();
    return pred();
  }
  bool Running() {
    return Pump([&] { return link->GetLinkState() == linkstate::kRunning && view.Count(hub::kMonitoringStarted) > 0; });
  }

  pbxsim::PbxSim sim;
  std::uint16_t port = 0;
  View view;
  int exits = 0;
  std::unique_ptr<CNetworkLink> net;
};

}  // namespace

TEST_F(NetworkLink, StartUpCallsAndACleanClose) {
  ASSERT_TRUE(sim.StartNetwork(port));
  ASSERT_TRUE(link->UsesNetwork());
  ASSERT_TRUE(net->Open(view.id, "127.0.0.1", port));
  // Nothing goes out before the server confirmed the registration.
  EXPECT_EQ(link->GetLinkState(), linkstate::kIdle);
  ASSERT_TRUE(Running()) << "state " << link->GetLinkState();
  EXPECT_EQ(view.Count(CNetworkLink::kMsgRegistered), 1);
  EXPECT_EQ(net->ClientId(), 256u);
  EXPECT_EQ(sim.Clients(), std::vector<std::uint16_t>{256});
  // The whole start-up transcript, in order. The relay sizes the
  // capability reply by its own table (10 bytes for that type), so over the
  // network the PBX seems to answer neither forwarding queries nor
  // snapshots, and the link runs once its monitors are started.
  std::vector<std::uint16_t> order;
  for (const auto& m : sim.Received()) order.push_back(m.Type());
  const std::vector<std::uint16_t> expected = {CSTA_PRIVATE, CSTA_GETAPI_CAPS, CSTA_MONITOR_DEVICE,
                                               CSTA_MONITOR_DEVICE, CSTA_MONITOR_DEVICE};
  EXPECT_EQ(order, expected);
  EXPECT_TRUE(link->CapabilitiesReceived());
  EXPECT_FALSE(link->AnswersQueryForwarding());
  EXPECT_EQ(filter->JobState(), 0u);
  EXPECT_EQ(sim.Monitored(), (std::vector<std::string>{"21", "22", "23"}));
  for (const char* n : {"21", "22", "23"}) EXPECT_EQ(table->FindByNumber(n)->crossRefId, sim.CrossRefIdOf(n)) << n;

  // An incoming call is tracked as a call record.
  const std::uint32_t callId = sim.IncomingCall("00301234567", "21");
  ASSERT_TRUE(Pump([&] {
    handler->JoinWorkers();
    return Current() != nullptr && Current()->callId == static_cast<int>(callId);
  }));
  EXPECT_EQ(Current()->callingNumber, "0301234567");
  EXPECT_EQ(Current()->direction, CCallInfo::kIncoming);
  sim.Answer(callId);
  ASSERT_TRUE(Pump([&] { return Current() && Current()->state == CCallInfo::kConnected; }));
  sim.Clear(callId, "21");
  ASSERT_TRUE(Pump([&] { return Current() == nullptr || Current()->callId != static_cast<int>(callId); }));

  // A make-call request reaches the PBX and shows in its log.
  sim.ClearLog();
  CCallInfo* dial = handler->GetFreeCall(hub::kIdKeypad);
  ASSERT_NE(dial, nullptr);
  dial->calledNumber = "00401234567";
  EXPECT_EQ(handler->MakeCall(dial, hub::kIdKeypad), 1);
  ASSERT_TRUE(Pump([&] { return sim.ReceivedCount(CSTA_MAKE_CALL) == 1; }));
  std::string dialForm;
  GlobalConfig().GetDialNumber("00401234567", dialForm);
  EXPECT_EQ(sim.Log().at(0), plat::StrFormatC("<- CSTA_MAKE_CALL inv=0 xref=%lu calling=21 called=%s",
                                              static_cast<unsigned long>(sim.CrossRefIdOf("21")), dialForm.c_str()));
  ASSERT_TRUE(Pump([&] { return Current() && Current()->callId == static_cast<int>(sim.LastCallId()); }));

  // The close: monitors stopped, then unregistered, then the handle goes.
  const std::uint32_t handle = net->Handle();
  EXPECT_EQ(link->StopStep(), 0);
  net->BeginClose();
  EXPECT_EQ(exits, 0);
  ASSERT_TRUE(Pump([&] { return net->Closed(); }));
  EXPECT_EQ(exits, 1);
  EXPECT_EQ(link->GetLinkState(), linkstate::kClosed);
  EXPECT_EQ(view.Count(linkev::kMonitorsStopped), 1);
  EXPECT_EQ(view.Count(CNetworkLink::kMsgUnregistered), 1);
  EXPECT_TRUE(sim.Monitored().empty());
  EXPECT_EQ(PBXNWHGetDLLConnectionState(handle, 0), 0u);
  ASSERT_TRUE(Pump([&] { return sim.Clients().empty(); }));
  const auto log = sim.Log();
  EXPECT_NE(std::find(log.begin(), log.end(), "net: client unregistered"), log.end());
  EXPECT_EQ(view.Count(CNetworkLink::kMsgLinkLost), 0);
}

TEST_F(NetworkLink, ServerGoneThenBackRegistersAndRestarts) {
  ASSERT_TRUE(sim.StartNetwork(port));
  ASSERT_TRUE(net->Open(view.id, "127.0.0.1", port));
  ASSERT_TRUE(Running());
  const std::uint32_t handle = net->Handle();

  sim.StopNetwork();
  ASSERT_TRUE(Pump([&] { return view.Count(CNetworkLink::kMsgLinkLost) == 1; }));
  // Nothing more follows: one loss, one message, through the alive rounds.
  for (int i = 0; i < 30; ++i) Pump([] { return false; }, 5), loop.Advance(10000);
  EXPECT_EQ(view.Count(CNetworkLink::kMsgLinkLost), 1);
  EXPECT_EQ(PBXNWHGetDLLConnectionState(handle, 0), 1u);  // the handle is still ours
  EXPECT_FALSE(net->Registered());
  EXPECT_EQ(link->GetLinkState(), linkstate::kIdle);
  // A record still queued from the lost connection reaches nobody.
  const int ringBefore = link->RingIndex();
  plat::Message late;
  late.msg = CNetworkLink::kMsgReceived;
  late.payload.assign(CSTAMessage::kSize, 0);
  late.payload[8] = CSTA_DELIVERED;
  EXPECT_TRUE(net->OnViewMessage(late));
  EXPECT_EQ(link->RingIndex(), ringBefore);
  // Requests meanwhile go nowhere and break nothing.
  CCallInfo* dial = handler->GetFreeCall(hub::kIdKeypad);
  dial->calledNumber = "22";
  handler->MakeCall(dial, hub::kIdKeypad);

  // The server is back: opening again registers and runs the start-up anew.
  ASSERT_TRUE(sim.StartNetwork(port));
  const std::size_t before = sim.Received().size();
  ASSERT_TRUE(net->Open(view.id, "127.0.0.1", port));
  ASSERT_TRUE(Pump([&] { return link->GetLinkState() == linkstate::kRunning && view.Count(hub::kMonitoringStarted) >= 2; }));
  EXPECT_EQ(view.Count(CNetworkLink::kMsgRegistered), 2);
  EXPECT_EQ(sim.Monitored(), (std::vector<std::string>{"21", "22", "23"}));
  const auto received = sim.Received();
  ASSERT_GT(received.size(), before + 2);
  EXPECT_EQ(received[before].Type(), CSTA_PRIVATE);
  EXPECT_EQ(received[before + 1].Type(), CSTA_GETAPI_CAPS);
  EXPECT_EQ(view.Count(CNetworkLink::kMsgLinkLost), 1);

  link->StopStep();
  net->BeginClose();
  ASSERT_TRUE(Pump([&] { return net->Closed(); }));
  EXPECT_EQ(exits, 1);
}

// A server that registers its client and then never answers again.
TEST_F(NetworkLink, CloseGivesUpWhenTheServerNeverConfirms) {
  netrig::SilentRelay relay(port);
  ASSERT_TRUE(relay.Listening());

  ASSERT_TRUE(net->Open(view.id, "127.0.0.1", port));
  ASSERT_TRUE(Pump([&] { return net->Registered() && relay.Drained() > 0; }));
  EXPECT_EQ(net->ClientId(), 256u);
  // Nothing was monitored: the link object closes at once, the network
  // side unregisters and waits.
  EXPECT_EQ(link->StopStep(), 1);
  net->BeginClose();
  const std::uint64_t asked = loop.NowMs();
  EXPECT_TRUE(net->UnregisterPending());
  Pump([] { return false; }, 200);
  EXPECT_FALSE(net->Closed()) << [&] {
    std::string c;
    for (auto m : view.codes) c += std::to_string(m) + " ";
    return c;
  }();
  loop.Advance(asked + CNetworkLink::kUnregisterTimeoutMs - 1 - loop.NowMs());
  EXPECT_FALSE(net->Closed());
  loop.Advance(1);
  EXPECT_TRUE(net->Closed());
  EXPECT_EQ(exits, 1);
  EXPECT_EQ(plat::net::OpenSocketCount(), 0u);
}

TEST_F(NetworkLink, RefusedOpenKeepsNoHandleAndSerialWinsWithNtpar) {
  GlobalConfig().NTPAR = 1;
  EXPECT_FALSE(link->UsesNetwork());
  GlobalConfig().NTPAR = 0;
  GlobalConfig().CPID = 3;
  EXPECT_FALSE(link->UsesNetwork());
  GlobalConfig().CPID = 6;
  // Nobody listens: the connect fails, the handle is given up.
  ASSERT_TRUE(net->Open(view.id, "127.0.0.1", port));
  ASSERT_TRUE(Pump([&] { return view.Count(CNetworkLink::kMsgSocketError) > 0; }));
  EXPECT_EQ(net->Handle(), CNetworkLink::kNone);
  EXPECT_EQ(net->SendToNetwork(32, "x", 1), 0u);
  // Closing now needs nothing from a server.
  EXPECT_EQ(link->StopStep(), 1);
  net->BeginClose();
  EXPECT_TRUE(net->Closed());
  EXPECT_EQ(exits, 1);
}
