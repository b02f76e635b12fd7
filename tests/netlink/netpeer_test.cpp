// The library against the separate test peer, including peers that
// misbehave.
#include "netlink/internal.h"
#include "support.h"

using namespace nltest;
using namespace netlink;

namespace {

class WithPeer : public ::testing::Test {
 protected:
  void TearDown() override {
    for (std::uint32_t h = 0; h < 10; ++h) PBXNWHCloseDLL(h);
  }
  Net net;
  Caller srv, cli;
};

}  // namespace

TEST_F(WithPeer, TenthRegistrationIsRefused) {
  const std::uint16_t port = FreePort();
  const std::uint32_t s = PBXNWHOpenDLLEx(srv.id, kFlagServer, nullptr, port);
  std::vector<std::unique_ptr<Peer>> peers;
  for (int i = 0; i < 9; ++i) {
    peers.push_back(std::make_unique<Peer>(std::vector<std::string>{"client", "--port", std::to_string(port)}));
    ASSERT_TRUE(net.Until([&] { return srv.Count(kMsgClientRegistered) == i + 1; }, 1000)) << i;
  }
  const std::uint32_t c = PBXNWHOpenDLLEx(cli.id, kFlagClient, "127.0.0.1", port);
  ASSERT_TRUE(net.Until([&] { return cli.Count(kMsgRegistrationRefused) == 1; }));
  EXPECT_EQ(Caller::Name(*cli.Last(kMsgRegistrationRefused)), "EC_CLIENTCOUNTEXCEEDED");
  EXPECT_EQ(cli.Count(kMsgRegistered), 0);
  EXPECT_EQ(srv.Count(kMsgClientRegistered), 9);
  std::vector<std::uint64_t> ids;
  for (auto* m : srv.All(kMsgClientRegistered)) ids.push_back(m->wParam);
  EXPECT_EQ(ids.front(), 256u);
  EXPECT_EQ(ids.back(), 264u);

  // A peer that goes frees its id for the next one.
  peers[3]->Stop();
  ASSERT_TRUE(net.Until([&] { return srv.Count(kMsgLinkLost) == 1; }, 1000));
  EXPECT_EQ(srv.Last(kMsgLinkLost)->wParam, 259u);
  PBXNWHCloseDLL(c);
  const std::uint32_t c2 = PBXNWHOpenDLLEx(cli.id, kFlagClient, "127.0.0.1", port);
  ASSERT_TRUE(net.Until([&] { return cli.Count(kMsgRegistered) == 1; }));
  EXPECT_EQ(cli.Last(kMsgRegistered)->wParam, 259u);
  PBXNWHCloseDLL(c2);
  PBXNWHCloseDLL(s);
}

TEST_F(WithPeer, WithheldAliveRepliesEndInLinkLost) {
  const std::uint16_t port = FreePort();
  Peer server({"server", "--port", std::to_string(port), "--mode", "no-alive"});
  ASSERT_TRUE(net.Until([&] { return server.Says("listening"); }, 1000));
  const std::uint32_t c = PBXNWHOpenDLLEx(cli.id, kFlagClient, "127.0.0.1", port);
  ASSERT_TRUE(net.Until([&] { return cli.Count(kMsgRegistered) == 1; }, 1000));
  auto h = HandlerOf(c);
  const std::uint64_t round = kAliveMs + kCollectionMs;
  net.Advance(4 * round + 100, 9000);
  EXPECT_EQ(cli.Count(kMsgLinkLost), 0) << "four unanswered rounds only retry";
  EXPECT_EQ(h->slot(0).retry, 4);
  net.Advance(round, 9000);
  ASSERT_EQ(cli.Count(kMsgLinkLost), 1);
  EXPECT_EQ(cli.Last(kMsgLinkLost)->wParam, c);
  EXPECT_TRUE(server.Says("control op=9 id=256"));
}

TEST_F(WithPeer, UnansweredHelloIsGivenUpWith1581) {
  const std::uint16_t port = FreePort();
  Peer server({"server", "--port", std::to_string(port), "--mode", "silent"});
  ASSERT_TRUE(net.Until([&] { return server.Says("listening"); }, 1000));
  const std::uint32_t c = PBXNWHOpenDLLEx(cli.id, kFlagClient, "127.0.0.1", port);
  ASSERT_TRUE(net.Until([&] { return HandlerOf(c)->slot(0).state == CNetworkHandler::kHelloSent; }, 1000));
  net.Advance(kRetryMs + kCollectionMs + 10);
  ASSERT_EQ(cli.Count(kMsgRegistrationRefused), 1);
  EXPECT_EQ(cli.Last(kMsgRegistrationRefused)->lParam, 0);
  EXPECT_TRUE(cli.Last(kMsgRegistrationRefused)->payload.empty());
}

TEST_F(WithPeer, MisbehavingPeersDoNotDisturbTheOthers) {
  const std::uint16_t port = FreePort();
  const std::uint32_t s = PBXNWHOpenDLLEx(srv.id, kFlagServer | kFlagCsta, nullptr, port);
  const std::uint32_t c = PBXNWHOpenDLLEx(cli.id, kFlagClient | kFlagCsta, "127.0.0.1", port);
  ASSERT_TRUE(net.Until([&] { return cli.Count(kMsgRegistered) == 1; }));
  const auto goodId = static_cast<std::uint16_t>(cli.Last(kMsgRegistered)->wParam);

  const std::string p = std::to_string(port);
  Peer garbage({"client", "--port", p, "--mode", "garbage"});
  Peer reset({"client", "--port", p, "--mode", "reset"});
  Peer deaf({"client", "--port", p, "--mode", "stop-reading"});
  ASSERT_TRUE(net.Until([&] { return garbage.Says("sent garbage") && reset.Says("reset") && deaf.Says("stopped"); },
                        2000));
  net.Settle(20);
  EXPECT_EQ(srv.Count(kMsgClientRegistered), 4);
  EXPECT_GT(HandlerOf(s)->lostBytes(), 0u);

  // The server floods the peer that stopped reading until it is dropped.
  const std::string said = deaf.Output();
  const std::size_t at = said.find("registered ");
  ASSERT_NE(at, std::string::npos);
  const auto deafId = static_cast<std::uint16_t>(std::stoi(said.substr(at + 11)));
  const Bytes big = CstaRecord(12, 1);
  int accepted = 0;
  for (int i = 0; i < 100000 && srv.Count(kMsgLinkLost) < 2; ++i) {
    if (PBXNWHSendMessageToNetWork(s, deafId, 32, big.data(), 982) != 1u) break;
    ++accepted;
    if (i % 64 == 0) net.Settle(1);
  }
  net.Settle(20);
  EXPECT_GT(accepted, 0);
  EXPECT_GE(srv.Count(kMsgLinkLost), 2);  // the reset peer and the deaf one

  const Bytes up = CstaRecord(1, 77);
  ASSERT_EQ(PBXNWHSendMessageToNetWork(c, goodId, 32, up.data(), 982), 1u);
  ASSERT_TRUE(net.Until([&] { return srv.Count(kMsgCsta) == 1; }));
  EXPECT_EQ(srv.Last(kMsgCsta)->payload, Received(up, 150));
  const Bytes down = CstaRecord(2, 78);
  ASSERT_EQ(PBXNWHSendMessageToNetWork(s, goodId, 32, down.data(), 982), 1u);
  ASSERT_TRUE(net.Until([&] { return cli.Count(kMsgCsta) == 1; }));
  EXPECT_EQ(cli.Last(kMsgCsta)->payload, Received(down, 11));
  EXPECT_EQ(cli.Count(kMsgLinkLost), 0);
}

TEST_F(WithPeer, DatagramClientAgainstPeerServer) {
  const std::uint16_t port = FreePort(true);
  Peer server({"server", "--udp", "--port", std::to_string(port)});
  ASSERT_TRUE(net.Until([&] { return server.Says("listening"); }, 1000));
  const std::uint32_t c = PBXNWHOpenDLLEx(cli.id, kFlagClient | kFlagCsta | kFlagDatagram, "127.0.0.1", port);
  ASSERT_TRUE(net.Until([&] { return cli.Count(kMsgRegistered) == 1; }, 1000));
  const Bytes r = CstaRecord(56, 5);
  ASSERT_EQ(PBXNWHSendMessageToNetWork(c, static_cast<std::uint32_t>(cli.Last(kMsgRegistered)->wParam), 32, r.data(),
                                       982),
            1u);
  ASSERT_TRUE(net.Until([&] { return cli.Count(kMsgCsta) == 1; }, 1000));  // echoed
  EXPECT_EQ(cli.Last(kMsgCsta)->payload, Received(r, 152));
}

TEST_F(WithPeer, SilentDatagramPeerIsDroppedAndItsIdFreed) {
  const std::uint16_t port = FreePort(true);
  const std::uint32_t s = PBXNWHOpenDLLEx(srv.id, kFlagServer | kFlagDatagram, nullptr, port);
  Peer client({"client", "--udp", "--port", std::to_string(port)});
  ASSERT_TRUE(net.Until([&] { return srv.Count(kMsgClientRegistered) == 1; }, 1000));
  client.Stop();
  net.Advance(2 * kCollectionMs, 10000);
  EXPECT_EQ(srv.Count(kMsgLinkLost), 0);
  net.Advance(2 * kCollectionMs, 10000);
  ASSERT_EQ(srv.Count(kMsgLinkLost), 1);
  EXPECT_EQ(srv.Last(kMsgLinkLost)->wParam, srv.Last(kMsgClientRegistered)->wParam);
  EXPECT_EQ(HandlerOf(s)->serverControl().RegisteredCount(), 0);
  EXPECT_EQ(HandlerOf(s)->peers(), 0);
}
