// The pbxsim program in network mode, spoken to through the network
// library as a client: it answers over the relay, takes commands on its
// standard input, logs what it gets, and a kill of it is one link loss.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "core/wire/csta_requests.h"
#include "netlink/lorquin32.h"
#include "platform/eventloop.h"
#include "platform/messages.h"
#include "platform/net/asyncsocket.h"
#include "tests/support/childprocess.h"
#include "tests/support/netrig.h"
#include "tools/pbxsim/pbxsim.h"

namespace {

using Clock = std::chrono::steady_clock;

using netrig::FreePort;

// The program as a child: commands into a pipe, its output into a file.
class SimProcess : public childprocess::ChildProcess {
 public:
  explicit SimProcess(std::uint16_t port) : ChildProcess("pbxsim", {"--net", std::to_string(port)}) {}
  void Kill() { Stop(); }
};

struct Client : plat::IMessageTarget {
  plat::WindowId id = plat::RegisterTarget(this);
  std::vector<plat::Message> got;
  ~Client() override { plat::UnregisterTarget(id); }
  plat::LRESULT OnMessage(const plat::Message& m) override {
    got.push_back(m);
    return 0;
  }
  int Count(plat::UINT msg) const {
    int n = 0;
    for (const auto& m : got) n += m.msg == msg;
    return n;
  }
  std::vector<CSTAMessage> Records() const {
    std::vector<CSTAMessage> r;
    for (const auto& m : got)
      if (m.msg == netlink::kMsgCsta) r.push_back(CSTAMessage::FromBytes(m.payload.data(), m.payload.size()));
    return r;
  }
};

class PbxSimNet : public ::testing::Test {
 protected:
  void TearDown() override {
    for (std::uint32_t h = 0; h < 10; ++h) PBXNWHCloseDLL(h);
  }
  bool Until(const std::function<bool()>& cond, int ms = 10000) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
      loop.RunUntilIdle();
      if (cond()) return true;
      if (plat::net::OpenSocketCount() == 0 || plat::net::PumpSockets(5) == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    loop.RunUntilIdle();
    return cond();
  }
  // Opens the client until the server (still starting) takes it.
  std::uint32_t Register(std::uint16_t port) {
    std::uint32_t h = 0xFFFF;
    const int before = cli.Count(netlink::kMsgRegistered);
    const auto end = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < end) {
      h = PBXNWHOpenDLLEx(cli.id, netlink::kFlagClient | netlink::kFlagCsta, "127.0.0.1", port) & 0xFFFF;
      const int errors = cli.Count(netlink::kMsgSocketError);
      if (Until([&] { return cli.Count(netlink::kMsgRegistered) > before || cli.Count(netlink::kMsgSocketError) > errors; },
                3000) &&
          cli.Count(netlink::kMsgRegistered) > before)
        return h;
      PBXNWHCloseDLL(h);
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return 0xFFFF;
  }
  std::uint16_t IdOf() const {
    for (auto it = cli.got.rbegin(); it != cli.got.rend(); ++it)
      if (it->msg == netlink::kMsgRegistered) return static_cast<std::uint16_t>(it->wParam);
    return 0;
  }

  plat::ManualLoop loop;
  Client cli;
};

}  // namespace

TEST_F(PbxSimNet, AnswersOverTheRelayAndOneKillIsOneLoss) {
  const std::uint16_t port = FreePort();
  SimProcess sim(port);
  const std::uint32_t h = Register(port);
  ASSERT_NE(h, 0xFFFFu);
  const std::uint16_t id = IdOf();
  EXPECT_EQ(id, 256);

  const CSTAMessage count = PrivateRequest(1, 0, EXTPBX_GETMAXNUMBEROFDEVICES);
  ASSERT_EQ(PBXNWHSendMessageToNetWork(h, id, 32, count.data(), 982), 1u);
  const CSTAMessage monitor = MonitorDeviceRequest(2, "21");
  ASSERT_EQ(PBXNWHSendMessageToNetWork(h, id, 32, monitor.data(), 982), 1u);
  ASSERT_TRUE(Until([&] { return cli.Records().size() >= 2; }));
  auto recs = cli.Records();
  EXPECT_EQ(recs[0].Type(), CSTA_PRIVATE);
  EXPECT_EQ(recs[0].PrivateKind(), EXTPBX_GETMAXNUMBEROFDEVICES + 1);
  EXPECT_EQ(recs[0].Text(11, 11), "60");
  EXPECT_EQ(recs[1].Type(), CSTA_MONITOR_CONF);
  EXPECT_EQ(recs[1].InvokeId(), 2u);

  // A command on its input plays a call to the monitored extension.
  sim.Command("incoming 00301234567 21");
  ASSERT_TRUE(Until([&] {
    for (const auto& r : cli.Records())
      if (r.Type() == CSTA_DELIVERED) return true;
    return false;
  }));
  const CSTAMessage make = MakeCallRequest(0, recs[1].U32(10), "21", "0401234567");
  ASSERT_EQ(PBXNWHSendMessageToNetWork(h, id, 32, make.data(), 982), 1u);
  ASSERT_TRUE(Until([&] { return sim.Says("<- CSTA_MAKE_CALL inv=0"); }));
  EXPECT_TRUE(sim.Says("net: client 256 registered"));

  // Killed: exactly one link loss, and the handle stays the caller's.
  sim.Kill();
  ASSERT_TRUE(Until([&] { return cli.Count(netlink::kMsgLinkLost) == 1; }));
  for (int i = 0; i < 20; ++i) {
    Until([] { return false; }, 5);
    loop.Advance(10000);
  }
  EXPECT_EQ(cli.Count(netlink::kMsgLinkLost), 1);
  EXPECT_EQ(PBXNWHGetDLLConnectionState(h, id), 1u);
  EXPECT_EQ(PBXNWHSendMessageToNetWork(h, id, 32, count.data(), 982), 0u);

  // Back again: the same port registers anew.
  SimProcess again(port);
  PBXNWHCloseDLL(h);
  const std::uint32_t h2 = Register(port);
  ASSERT_NE(h2, 0xFFFFu);
  EXPECT_EQ(IdOf(), 256);
  ASSERT_EQ(PBXNWHCloseDLLConnection(h2, 0), 1u);
  ASSERT_TRUE(Until([&] { return cli.Count(netlink::kMsgUnregistered) == 1; }));
  EXPECT_TRUE(Until([&] { return again.Says("net: client unregistered"); }));
}

// A relay that serves for days keeps the newest records and log lines only.
TEST_F(PbxSimNet, InNetworkModeWhatItKeepsIsBounded) {
  {
    pbxsim::PbxSim unbounded;
    ASSERT_TRUE(unbounded.StartNetwork(FreePort()));
    EXPECT_EQ(unbounded.KeepLimit(), pbxsim::kNetworkKeep);
  }
  pbxsim::Options o;
  o.keep = 40;
  pbxsim::PbxSim sim(o);
  EXPECT_EQ(sim.KeepLimit(), 40u);
  const std::uint16_t port = FreePort();
  ASSERT_TRUE(sim.StartNetwork(port));
  const std::uint32_t h = Register(port);
  ASSERT_NE(h, 0xFFFFu);
  const std::uint16_t id = IdOf();
  constexpr std::uint32_t kSent = 300;
  std::size_t most = 0, mostLog = 0;
  for (std::uint32_t seq = 1; seq <= kSent; ++seq) {
    CSTAMessage m;
    m.SetType(4);  // an event: the PBX does not answer it
    m.SetInvokeId(seq);
    ASSERT_EQ(PBXNWHSendMessageToNetWork(h, id, 32, m.data(), 982), 1u);
    ASSERT_TRUE(Until([&] {
      const auto r = sim.Received();
      return !r.empty() && r.back().InvokeId() == seq;
    })) << seq;
    most = std::max(most, sim.Received().size());
    mostLog = std::max(mostLog, sim.Log().size());
  }
  const auto r = sim.Received();
  EXPECT_LE(most, 2 * 40u);
  EXPECT_LE(mostLog, 2 * 40u);
  ASSERT_GE(r.size(), 40u);
  // The newest, in the order they came.
  for (std::size_t i = 0; i < r.size(); ++i) EXPECT_EQ(r[i].InvokeId(), kSent - r.size() + 1 + i);
  PBXNWHCloseDLL(h);
}
