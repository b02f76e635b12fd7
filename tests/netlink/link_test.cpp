// Server and client handlers of the library talking over loopback.
#include <arpa/inet.h>
#include <netinet/tcp.h>

#include "netlink/internal.h"
#include "support.h"

using namespace nltest;
using namespace netlink;

namespace {

class Link : public ::testing::Test {
 protected:
  void TearDown() override {
    for (std::uint32_t h = 0; h < 10; ++h) PBXNWHCloseDLL(h);
  }

  // A server and a registered client on a fresh port.
  void OpenPair(std::uint32_t extra = 0) {
    port = FreePort(extra & kFlagDatagram);
    srvHandle = PBXNWHOpenDLLEx(srv.id, kFlagServer | kFlagCsta | extra, nullptr, port);
    ASSERT_EQ(srvHandle & 0xFFFF, 0u);
    cliHandle = PBXNWHOpenDLLEx(cli.id, kFlagClient | kFlagCsta | extra, "127.0.0.1", port);
    ASSERT_EQ(cliHandle & 0xFFFF, 1u);
    ASSERT_TRUE(net.Until([&] { return cli.Count(kMsgRegistered) == 1 && srv.Count(kMsgClientRegistered) == 1; }));
    clientId = static_cast<std::uint16_t>(cli.Last(kMsgRegistered)->wParam);
  }

  Net net;
  Caller srv, cli;
  std::uint16_t port = 0;
  std::uint32_t srvHandle = 0xFFFF, cliHandle = 0xFFFF;
  std::uint16_t clientId = 0;
};

}  // namespace

TEST_F(Link, RegisterExchangeBothWaysAndUnregister) {
  OpenPair();
  EXPECT_EQ(clientId, 256);
  EXPECT_EQ(srv.Last(kMsgClientRegistered)->wParam, 256u);

  const Bytes up = CstaRecord(1, 7);
  ASSERT_EQ(PBXNWHSendMessageToNetWork(cliHandle, clientId, 32, up.data(), 982), 1u);
  ASSERT_TRUE(net.Until([&] { return srv.Count(kMsgCsta) == 1; }));
  const plat::Message* m = srv.Last(kMsgCsta);
  EXPECT_EQ(m->wParam, srvHandle);
  EXPECT_EQ(m->payload, Received(up, 150));

  const Bytes down = CstaRecord(12, 9);
  ASSERT_EQ(PBXNWHSendMessageToNetWork(srvHandle, clientId, 32, down.data(), 982), 1u);
  ASSERT_TRUE(net.Until([&] { return cli.Count(kMsgCsta) == 1; }));
  EXPECT_EQ(cli.Last(kMsgCsta)->payload, Received(down, 772));
  EXPECT_EQ(cli.Last(kMsgCsta)->payload.size(), 982u);

  ASSERT_EQ(PBXNWHCloseDLLConnection(cliHandle, 0), 1u);
  ASSERT_TRUE(net.Until([&] { return cli.Count(kMsgUnregistered) == 1 && srv.Count(kMsgClientUnregistered) == 1; }));
  EXPECT_EQ(cli.Last(kMsgUnregistered)->wParam, clientId);
  EXPECT_EQ(srv.Last(kMsgClientUnregistered)->wParam, 1u);
  EXPECT_EQ(HandlerOf(srvHandle)->serverControl().RegisteredCount(), 0);
  EXPECT_EQ(PBXNWHCloseDLL(cliHandle), 1u);
  ASSERT_TRUE(net.Until([&] { return srv.Count(kMsgLinkLost) == 1; }));
  EXPECT_EQ(srv.Last(kMsgLinkLost)->wParam, clientId) << "the id given up is still nobody else's";
  EXPECT_EQ(PBXNWHCloseDLL(srvHandle), 1u);
  EXPECT_EQ(plat::net::OpenSocketCount(), 0u);
}

TEST_F(Link, RetriedHelloDuringRegistrationKeepsOneId) {
  port = FreePort();
  srvHandle = PBXNWHOpenDLLEx(srv.id, kFlagServer, nullptr, port);
  cliHandle = PBXNWHOpenDLLEx(cli.id, kFlagClient, "127.0.0.1", port);
  // The retry timer fires before anything was read: the hello goes twice,
  // and so does the register.
  ASSERT_TRUE(net.Until([&] { return HandlerOf(cliHandle)->peers() == 1; }));
  net.loop.Advance(1000);
  ASSERT_TRUE(net.Until([&] { return cli.Count(kMsgRegistered) == 1; }));
  net.Settle(20);
  EXPECT_EQ(cli.Count(kMsgRegistered), 1);
  EXPECT_EQ(cli.Count(kMsgRegistrationRefused), 0);
  EXPECT_EQ(srv.Count(kMsgClientRegistered), 1);
  EXPECT_EQ(HandlerOf(srvHandle)->serverControl().RegisteredCount(), 1);
}

TEST_F(Link, CallbacksMayReenterAndClose) {
  OpenPair();
  // The client's delivery handler sends a request back at once; the
  // server's closes its own handle in the middle of a burst.
  int seen = 0;
  cli.on = [&](const plat::Message& m) {
    if (m.msg != kMsgCsta) return;
    const Bytes reply = CstaRecord(2, 100 + seen);
    EXPECT_EQ(PBXNWHSendMessageToNetWork(cliHandle, clientId, 32, reply.data(), 982), 1u);
    ++seen;
  };
  for (int i = 0; i < 3; ++i) {
    const Bytes r = CstaRecord(3, i);
    PBXNWHSendMessageToNetWork(srvHandle, clientId, 32, r.data(), 982);
  }
  ASSERT_TRUE(net.Until([&] { return srv.Count(kMsgCsta) == 3; }));
  EXPECT_EQ(seen, 3);
  srv.on = [&](const plat::Message& m) {
    if (m.msg == kMsgCsta) {
      EXPECT_EQ(PBXNWHCloseDLL(srvHandle), 1u);
    }
  };
  for (int i = 0; i < 3; ++i) {
    const Bytes r = CstaRecord(2, 50 + i);
    PBXNWHSendMessageToNetWork(cliHandle, clientId, 32, r.data(), 982);
  }
  ASSERT_TRUE(net.Until([&] { return srv.Count(kMsgCsta) == 4; }));
  net.Settle(20);
  EXPECT_EQ(srv.Count(kMsgCsta), 4) << "nothing is delivered after the close";
  EXPECT_EQ(PBXNWHGetDLLConnectionState(srvHandle, 0), 0u);
  ASSERT_TRUE(net.Until([&] { return cli.Count(kMsgLinkLost) == 1; }));
}

TEST_F(Link, ModalBoxInsideRegisteredKeepsFramesInOrder) {
  port = FreePort();
  srvHandle = PBXNWHOpenDLLEx(srv.id, kFlagServer | kFlagCsta, nullptr, port);
  cliHandle = PBXNWHOpenDLLEx(cli.id, kFlagClient | kFlagCsta, "127.0.0.1", port);
  std::vector<std::uint32_t> order;
  bool nested = false;
  srv.on = [&](const plat::Message& m) {
    if (m.msg == kMsgClientRegistered) {
      // The client sends right after its registration; a "modal" loop here
      // runs the sockets while this delivery is still on the stack.
      nested = true;
      for (int i = 0; i < 50 && order.size() < 2; ++i) {
        plat::net::PumpSockets(10);
        net.loop.RunUntilIdle();
      }
      nested = false;
    }
    if (m.msg == kMsgCsta) {
      std::uint32_t seq;
      std::memcpy(&seq, m.payload.data(), 4);
      order.push_back(seq);
    }
  };
  cli.on = [&](const plat::Message& m) {
    if (m.msg != kMsgRegistered) return;
    for (std::uint32_t i = 1; i <= 3; ++i) {
      const Bytes r = CstaRecord(1, i);
      PBXNWHSendMessageToNetWork(cliHandle, static_cast<std::uint32_t>(m.wParam), 32, r.data(), 982);
    }
  };
  ASSERT_TRUE(net.Until([&] { return order.size() == 3; }));
  EXPECT_FALSE(nested);
  EXPECT_EQ(order, (std::vector<std::uint32_t>{1, 2, 3}));
}

TEST_F(Link, DatagramServerAndClientExchange) {
  OpenPair(kFlagDatagram);
  const Bytes up = CstaRecord(93, 1);
  ASSERT_EQ(PBXNWHSendMessageToNetWork(cliHandle, clientId, 32, up.data(), 982), 1u);
  ASSERT_TRUE(net.Until([&] { return srv.Count(kMsgCsta) == 1; }));
  EXPECT_EQ(srv.Last(kMsgCsta)->payload, Received(up, 111));
  const Bytes down = CstaRecord(4, 2);
  ASSERT_EQ(PBXNWHSendMessageToNetWork(srvHandle, clientId, 32, down.data(), 982), 1u);
  ASSERT_TRUE(net.Until([&] { return cli.Count(kMsgCsta) == 1; }));
  EXPECT_EQ(cli.Last(kMsgCsta)->payload, Received(down, 11));
  ASSERT_EQ(PBXNWHCloseDLLConnection(cliHandle, 0), 1u);
  ASSERT_TRUE(net.Until([&] { return cli.Count(kMsgUnregistered) == 1 && srv.Count(kMsgClientUnregistered) == 1; }));
}

TEST_F(Link, ConnectToClosedPortPostsRefused) {
  const std::uint16_t p = FreePort();
  cliHandle = PBXNWHOpenDLLEx(cli.id, kFlagClient, "127.0.0.1", p);
  ASSERT_NE(cliHandle & 0xFFFF, 0xFFFFu);
  ASSERT_TRUE(net.Until([&] { return cli.Count(kMsgSocketError) == 1; }));
  const plat::Message* m = cli.Last(kMsgSocketError);
  EXPECT_EQ(m->wParam, 10061u);
  EXPECT_EQ(Caller::Name(*m), "WSAECONNREFUSED");
  EXPECT_EQ(m->lParam, 15);
  net.Settle();
  EXPECT_EQ(cli.Count(kMsgRegistered), 0);
  EXPECT_EQ(cli.Count(kMsgLinkLost), 0);
}

namespace {

// A plain TCP socket to the library's server, for byte-exact input.
struct RawClient {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  explicit RawClient(std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  }
  ~RawClient() { ::close(fd); }
  void Send(const Bytes& b) { ASSERT_EQ(::send(fd, b.data(), b.size(), MSG_NOSIGNAL), static_cast<ssize_t>(b.size())); }
};

}  // namespace

TEST_F(Link, TwoFramesInOneReadAndOneFrameByteByByte) {
  port = FreePort();
  srvHandle = PBXNWHOpenDLLEx(srv.id, kFlagServer | kFlagCsta, nullptr, port);
  RawClient raw(port);
  const Bytes r1 = CstaRecord(1, 1), r2 = CstaRecord(67, 2), r3 = CstaRecord(23, 3);
  Bytes two = BuildDataFrame(kWireCsta, 0, r1.data(), 982);
  const Bytes f2 = BuildDataFrame(kWireCsta, 0, r2.data(), 982);
  two.insert(two.end(), f2.begin(), f2.end());
  raw.Send(two);
  ASSERT_TRUE(net.Until([&] { return srv.Count(kMsgCsta) == 2; }));
  EXPECT_EQ(srv.All(kMsgCsta)[0]->payload, Received(r1, 150));
  EXPECT_EQ(srv.All(kMsgCsta)[1]->payload, Received(r2, 566));

  const Bytes f3 = BuildDataFrame(kWireCsta, 0, r3.data(), 982);
  for (std::uint8_t b : f3) {
    raw.Send(Bytes{b});
    net.Settle(1);
  }
  ASSERT_TRUE(net.Until([&] { return srv.Count(kMsgCsta) == 3; }));
  net.Settle();
  EXPECT_EQ(srv.Count(kMsgCsta), 3);
  EXPECT_EQ(srv.Last(kMsgCsta)->payload, Received(r3, 138));

  // A bad header throws away what is buffered, and the stream goes on.
  raw.Send(Bytes(40, 0x99));
  net.Settle();
  raw.Send(f3);
  ASSERT_TRUE(net.Until([&] { return srv.Count(kMsgCsta) == 4; }));
  EXPECT_EQ(HandlerOf(srvHandle)->lostBytes(), 40u);
}

TEST_F(Link, AnIdGivenUpGoesToTheNextClientAlone) {
  OpenPair();
  // The first client unregisters but keeps its connection; the id goes to
  // the next one, and so do the frames and the loss reports for it.
  ASSERT_EQ(PBXNWHCloseDLLConnection(cliHandle, 0), 1u);
  ASSERT_TRUE(net.Until([&] { return cli.Count(kMsgUnregistered) == 1; }));
  Caller second;
  const std::uint32_t h2 = PBXNWHOpenDLLEx(second.id, kFlagClient | kFlagCsta, "127.0.0.1", port);
  ASSERT_TRUE(net.Until([&] { return second.Count(kMsgRegistered) == 1; }));
  ASSERT_EQ(second.Last(kMsgRegistered)->wParam, clientId);

  const Bytes down = CstaRecord(2, 5);
  ASSERT_EQ(PBXNWHSendMessageToNetWork(srvHandle, clientId, 32, down.data(), 982), 1u);
  ASSERT_TRUE(net.Until([&] { return second.Count(kMsgCsta) == 1; }));
  net.Settle();
  EXPECT_EQ(cli.Count(kMsgCsta), 0);

  PBXNWHCloseDLL(cliHandle);
  ASSERT_TRUE(net.Until([&] { return srv.Count(kMsgLinkLost) == 1; }));
  EXPECT_NE(srv.Last(kMsgLinkLost)->wParam, clientId) << "the lost connection no longer had the id";
  PBXNWHCloseDLL(h2);
}

TEST_F(Link, AModalLoopInADeliveryDoesNotBufferWithoutBound) {
  OpenPair();
  // The first delivery runs a "modal" loop in which the server goes on
  // sending, far more than the connection may buffer meanwhile; the stream
  // holds the rest back until the delivery returns.
  constexpr std::uint32_t kCount = 150;  // 150 x (31 + 772) bytes, about 120 KB
  std::uint32_t sent = 0;
  const auto sendSome = [&](std::uint32_t n) {
    for (; n > 0 && sent < kCount; --n, ++sent) {
      const Bytes r = CstaRecord(12, sent);
      ASSERT_EQ(PBXNWHSendMessageToNetWork(srvHandle, clientId, 32, r.data(), 982), 1u) << sent;
    }
  };
  std::vector<std::uint32_t> order;
  std::size_t most = 0;
  bool inModal = false;
  cli.on = [&](const plat::Message& m) {
    if (m.msg != kMsgCsta) return;
    std::uint32_t seq;
    std::memcpy(&seq, m.payload.data(), 4);
    order.push_back(seq);
    if (inModal || order.size() != 1) return;
    inModal = true;
    for (int i = 0; i < 300; ++i) {
      sendSome(2);
      plat::net::PumpSockets(1);
      net.loop.RunUntilIdle();
      most = std::max(most, HandlerOf(cliHandle)->slot(0).splitter.Buffered());
    }
    inModal = false;
  };
  sendSome(1);
  ASSERT_TRUE(net.Until([&] { return order.size() == kCount; }, 2000)) << order.size();
  EXPECT_EQ(sent, kCount);
  EXPECT_LE(most, kReadAheadCap + kRecvChunk);
  for (std::uint32_t i = 0; i < kCount; ++i) ASSERT_EQ(order[i], i);
  EXPECT_EQ(srv.Count(kMsgLinkLost), 0);
}

TEST_F(Link, AClientWithoutAnAddressReachesNoLocalServer) {
  port = FreePort();
  srvHandle = PBXNWHOpenDLLEx(srv.id, kFlagServer, nullptr, port);
  // An unknown host gives address 0: refused, as WinSock refuses it, not
  // taken as this host.
  const std::uint8_t none[4] = {0, 0, 0, 0};
  ASSERT_EQ(PBXNWHOpenDLLEx(cli.id, kFlagClient, nullptr, port) & 0xFFFF, 1u);
  ASSERT_TRUE(net.Until([&] { return cli.Count(kMsgSocketError) == 1; }));
  EXPECT_EQ(cli.Last(kMsgSocketError)->wParam, 10049u);
  EXPECT_EQ(Caller::Name(*cli.Last(kMsgSocketError)), "WSAEADDRNOTAVAIL");
  Caller udp;
  ASSERT_NE(PBXNWHOpenDLL(udp.id, kFlagClient | kFlagDatagram, none) & 0xFFFF, 0xFFFFu);
  ASSERT_TRUE(net.Until([&] { return udp.Count(kMsgSocketError) == 1; }));
  EXPECT_EQ(udp.Last(kMsgSocketError)->wParam, 10049u);
  net.Settle(20);
  EXPECT_EQ(srv.Count(kMsgClientRegistered), 0);
  EXPECT_EQ(cli.Count(kMsgRegistered), 0);
}

// The multi role connects without registering: frames go both ways with no
// registration message on either side. A server keeps such a connection
// while it sends and closes it once it has been quiet for the hello
// time-out.
TEST_F(Link, MultiRoleExchangesWithoutRegisteringAndIdleIsClosed) {
  port = FreePort();
  srvHandle = PBXNWHOpenDLLEx(srv.id, kFlagServer | kFlagCsta, nullptr, port);
  ASSERT_EQ(srvHandle & 0xFFFF, 0u);
  const std::uint32_t multi = PBXNWHOpenDLLEx(cli.id, kFlagMulti | kFlagCsta, "127.0.0.1", port);
  ASSERT_EQ(multi & 0xFFFF, 1u);
  ASSERT_TRUE(net.Until([&] { return HandlerOf(multi)->peers() == 1 && HandlerOf(srvHandle)->peers() == 1; }));

  const Bytes up = CstaRecord(13, 4);
  ASSERT_EQ(PBXNWHSendMessageToNetWork(multi, 0, 32, up.data(), 982), 1u);
  ASSERT_TRUE(net.Until([&] { return srv.Count(kMsgCsta) == 1; }));
  EXPECT_EQ(srv.Last(kMsgCsta)->payload, Received(up, 144));
  const Bytes down = CstaRecord(21, 5);
  ASSERT_EQ(PBXNWHSendMessageToNetWork(srvHandle, 0, 32, down.data(), 982), 1u);
  ASSERT_TRUE(net.Until([&] { return cli.Count(kMsgCsta) == 1; }));
  EXPECT_EQ(cli.Last(kMsgCsta)->wParam, multi);
  EXPECT_EQ(cli.Last(kMsgCsta)->payload, Received(down, 81));
  for (plat::UINT none : {kMsgRegistered, kMsgRegistrationRefused, kMsgLinkLost})
    EXPECT_EQ(cli.Count(none), 0) << none;
  EXPECT_EQ(srv.Count(kMsgClientRegistered), 0);

  // Sending now and then keeps it: three times the time-out.
  for (int i = 0; i < 6; ++i) {
    net.Advance(kHelloTimeoutMs / 2);
    ASSERT_EQ(PBXNWHSendMessageToNetWork(multi, 0, 32, up.data(), 982), 1u);
    ASSERT_TRUE(net.Until([&] { return srv.Count(kMsgCsta) == 2 + i; }));
  }
  EXPECT_EQ(cli.Count(kMsgLinkLost), 0);
  // Quiet for the time-out: closed, and both sides hear of it.
  net.Advance(kHelloTimeoutMs + 1000);
  ASSERT_TRUE(net.Until([&] { return cli.Count(kMsgLinkLost) == 1 && srv.Count(kMsgLinkLost) == 1; }));
  EXPECT_EQ(HandlerOf(srvHandle)->peers(), 0);
}

// A registered client is never closed by the hello time-out.
TEST_F(Link, ARegisteredClientOutlivesTheHelloTimeOut) {
  OpenPair();
  net.Advance(5 * kHelloTimeoutMs);
  EXPECT_EQ(srv.Count(kMsgLinkLost), 0);
  EXPECT_EQ(cli.Count(kMsgLinkLost), 0);
  const Bytes r = CstaRecord(1, 3);
  ASSERT_EQ(PBXNWHSendMessageToNetWork(srvHandle, clientId, 32, r.data(), 982), 1u);
  ASSERT_TRUE(net.Until([&] { return cli.Count(kMsgCsta) == 1; }));
}

// Frames a delivery sends are gathered into one send per connection: a
// burst larger than what is gathered at once arrives whole and in order,
// and a reply made before a "modal" loop inside the delivery reaches the
// peer while that loop runs.
TEST_F(Link, FramesSentInADeliveryGoOutInOrderAndDoNotWaitForItsEnd) {
  OpenPair();
  constexpr std::uint32_t kBurst = 100;  // 100 x (31 + 772) bytes: several gathers
  bool arrivedInModal = false;
  srv.on = [&](const plat::Message& m) {
    if (m.msg != kMsgCsta) return;
    std::uint32_t seq;
    std::memcpy(&seq, m.payload.data(), 4);
    if (seq == 1) {
      for (std::uint32_t i = 0; i < kBurst; ++i) {
        const Bytes r = CstaRecord(12, i);
        ASSERT_EQ(PBXNWHSendMessageToNetWork(srvHandle, clientId, 32, r.data(), 982), 1u);
      }
      return;
    }
    const Bytes reply = CstaRecord(2, 1000);
    ASSERT_EQ(PBXNWHSendMessageToNetWork(srvHandle, clientId, 32, reply.data(), 982), 1u);
    const int before = cli.Count(kMsgCsta);
    for (int i = 0; i < 200 && !arrivedInModal; ++i) {
      plat::net::PumpSockets(5);
      net.loop.RunUntilIdle();
      arrivedInModal = cli.Count(kMsgCsta) > before;
    }
  };
  const Bytes one = CstaRecord(1, 1);
  ASSERT_EQ(PBXNWHSendMessageToNetWork(cliHandle, clientId, 32, one.data(), 982), 1u);
  ASSERT_TRUE(net.Until([&] { return cli.Count(kMsgCsta) == static_cast<int>(kBurst); }));
  const auto got = cli.All(kMsgCsta);
  for (std::uint32_t i = 0; i < kBurst; ++i) EXPECT_EQ(got[i]->payload, Received(CstaRecord(12, i), 772)) << i;

  const Bytes two = CstaRecord(1, 2);
  ASSERT_EQ(PBXNWHSendMessageToNetWork(cliHandle, clientId, 32, two.data(), 982), 1u);
  ASSERT_TRUE(net.Until([&] { return srv.Count(kMsgCsta) == 2; }));
  EXPECT_TRUE(arrivedInModal);
  EXPECT_EQ(cli.Count(kMsgCsta), static_cast<int>(kBurst) + 1);
  EXPECT_EQ(srv.Count(kMsgLinkLost), 0);
}
