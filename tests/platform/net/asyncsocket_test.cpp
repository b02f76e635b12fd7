// The asynchronous sockets over loopback: which events come, once, in
// which order, with which error codes, on both back ends.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cerrno>
#include <functional>
#include <vector>

#include "platform/eventloop.h"
#include "platform/messages.h"
#include "platform/net/asyncsocket.h"

using namespace plat::net;

namespace {

constexpr plat::UINT kMsg = 1124;

struct Event {
  SOCKET s;
  long event;
  int error;
};

struct Sink : plat::IMessageTarget {
  std::vector<Event> events;
  plat::WindowId id = plat::RegisterTarget(this);
  ~Sink() override { plat::UnregisterTarget(id); }
  plat::LRESULT OnMessage(const plat::Message& m) override {
    if (m.msg == kMsg) events.push_back({static_cast<SOCKET>(m.wParam), SelectEvent(m.lParam), SelectError(m.lParam)});
    return 0;
  }
  int Count(SOCKET s, long ev) const {
    int n = 0;
    for (const Event& e : events) n += e.s == s && e.event == ev;
    return n;
  }
  const Event* Find(SOCKET s, long ev) const {
    for (const Event& e : events)
      if (e.s == s && e.event == ev) return &e;
    return nullptr;
  }
};

struct Loop {
  plat::ManualLoop loop;
  // Pumps until the condition holds (or a bounded number of rounds).
  bool Until(const std::function<bool()>& cond, int rounds = 200) {
    for (int i = 0; i < rounds; ++i) {
      loop.RunUntilIdle();
      if (cond()) return true;
      PumpSockets(10);
    }
    loop.RunUntilIdle();
    return cond();
  }
  void Settle() {
    for (int i = 0; i < 5; ++i) {
      PumpSockets(5);
      loop.RunUntilIdle();
    }
  }
};

SOCKET Listener(Sink& sink, std::uint16_t* port) {
  SOCKET l = Socket(false);
  SockAddr a;
  a.ip = kLoopback;
  EXPECT_EQ(Bind(l, a), 0);
  EXPECT_EQ(Listen(l, 5), 0);
  SockAddr got;
  GetSockName(l, &got);
  *port = got.port;
  AsyncSelect(l, sink.id, kMsg, FD_ACCEPT | FD_READ | FD_WRITE | FD_CLOSE);
  return l;
}

SOCKET Client(Sink& sink, std::uint16_t port) {
  SOCKET c = Socket(false);
  AsyncSelect(c, sink.id, kMsg, FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE);
  SockAddr to;
  to.ip = kLoopback;
  to.port = port;
  EXPECT_EQ(Connect(c, to), SOCKET_ERROR);
  EXPECT_EQ(LastError(), WSAEWOULDBLOCK);
  return c;
}

}  // namespace

TEST(AsyncSocket, ConnectAcceptReadAndOrderlyClose) {
  Loop L;
  Sink sink;
  std::uint16_t port = 0;
  const SOCKET l = Listener(sink, &port);
  const SOCKET c = Client(sink, port);
  ASSERT_TRUE(L.Until([&] { return sink.Count(c, FD_WRITE) && sink.Count(l, FD_ACCEPT); }));
  EXPECT_EQ(sink.Find(c, FD_CONNECT)->error, 0);
  SockAddr peer;
  const SOCKET a = Accept(l, &peer);
  ASSERT_NE(a, INVALID_SOCKET);
  EXPECT_EQ(peer.ip, kLoopback);
  ASSERT_TRUE(L.Until([&] { return sink.Count(a, FD_WRITE) == 1; }));

  ASSERT_EQ(Send(c, "hello world", 11), 11);
  ASSERT_TRUE(L.Until([&] { return sink.Count(a, FD_READ) == 1; }));
  L.Settle();
  EXPECT_EQ(sink.Count(a, FD_READ), 1) << "reported again before it was read";
  char buf[16];
  ASSERT_EQ(Recv(a, buf, 5), 5);
  ASSERT_TRUE(L.Until([&] { return sink.Count(a, FD_READ) == 2; })) << "data left after a read is reported again";

  CloseSocket(c);
  L.Settle();
  EXPECT_EQ(sink.Count(a, FD_CLOSE), 0) << "close before the remaining data was read";
  ASSERT_EQ(Recv(a, buf, sizeof buf), 6);
  ASSERT_TRUE(L.Until([&] { return sink.Count(a, FD_CLOSE) == 1; }));
  EXPECT_EQ(sink.Find(a, FD_CLOSE)->error, 0);
  L.Settle();
  EXPECT_EQ(sink.Count(a, FD_CLOSE), 1);
  EXPECT_EQ(sink.Count(c, FD_CONNECT), 1);
  CloseSocket(a);
  CloseSocket(l);
  EXPECT_EQ(OpenSocketCount(), 0u);
}

TEST(AsyncSocket, RefusedConnectAndResetCarryTheirCodes) {
  Loop L;
  Sink sink;
  std::uint16_t port = 0;
  SOCKET l = Listener(sink, &port);
  CloseSocket(l);  // nobody listens there any more
  const SOCKET c = Client(sink, port);
  ASSERT_TRUE(L.Until([&] { return sink.Count(c, FD_CONNECT) == 1; }));
  EXPECT_EQ(sink.Find(c, FD_CONNECT)->error, WSAECONNREFUSED);
  L.Settle();
  EXPECT_EQ(sink.Count(c, FD_WRITE), 0);
  CloseSocket(c);

  l = Listener(sink, &port);
  const SOCKET d = Client(sink, port);
  ASSERT_TRUE(L.Until([&] { return sink.Count(l, FD_ACCEPT) > 0 && sink.Count(d, FD_WRITE) > 0; }));
  const SOCKET a = Accept(l, nullptr);
  AbortSocket(a);
  ASSERT_TRUE(L.Until([&] { return sink.Count(d, FD_CLOSE) == 1; }));
  EXPECT_EQ(sink.Find(d, FD_CLOSE)->error, WSAECONNRESET);
  CloseSocket(d);
  CloseSocket(l);
}

TEST(AsyncSocket, WriteReadinessOnlyAfterWouldBlockAndEveryAcceptTaken) {
  Loop L;
  Sink sink;
  std::uint16_t port = 0;
  const SOCKET l = Listener(sink, &port);
  const SOCKET c1 = Client(sink, port);
  const SOCKET c2 = Client(sink, port);
  ASSERT_TRUE(L.Until([&] { return sink.Count(l, FD_ACCEPT) == 1; }));
  L.Settle();
  EXPECT_EQ(sink.Count(l, FD_ACCEPT), 1);
  const SOCKET a1 = Accept(l, nullptr);
  ASSERT_TRUE(L.Until([&] { return sink.Count(l, FD_ACCEPT) == 2; })) << "the second pending connection";
  const SOCKET a2 = Accept(l, nullptr);
  ASSERT_NE(a2, INVALID_SOCKET);
  ASSERT_TRUE(L.Until([&] { return sink.Count(c1, FD_WRITE) == 1; }));

  std::vector<char> chunk(65536, 'x');
  int sent = 0;
  while (Send(c1, chunk.data(), static_cast<int>(chunk.size())) > 0 && sent < 20000) ++sent;
  EXPECT_EQ(LastError(), WSAEWOULDBLOCK);
  L.Settle();
  EXPECT_EQ(sink.Count(c1, FD_WRITE), 1);
  // The peer drains; write readiness comes back once.
  for (int i = 0; i < 2000 && sink.Count(c1, FD_WRITE) < 2; ++i) {
    while (Recv(a1, chunk.data(), static_cast<int>(chunk.size())) > 0) {
    }
    PumpSockets(5);
    L.loop.RunUntilIdle();
  }
  EXPECT_EQ(sink.Count(c1, FD_WRITE), 2);
  for (SOCKET s : {c1, c2, a1, a2, l}) CloseSocket(s);
}

TEST(AsyncSocket, DatagramsConnectAtOnce) {
  Loop L;
  Sink sink;
  SOCKET srv = Socket(true);
  SockAddr a;
  a.ip = kLoopback;
  ASSERT_EQ(Bind(srv, a), 0);
  SockAddr bound;
  GetSockName(srv, &bound);
  AsyncSelect(srv, sink.id, kMsg, FD_READ | FD_WRITE | FD_CLOSE);
  SOCKET cli = Socket(true);
  AsyncSelect(cli, sink.id, kMsg, FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE);
  ASSERT_EQ(Connect(cli, bound), 0);
  ASSERT_EQ(Send(cli, "abc", 3), 3);
  ASSERT_TRUE(L.Until([&] { return sink.Count(srv, FD_READ) == 1; }));
  char buf[8];
  SockAddr from;
  ASSERT_EQ(RecvFrom(srv, buf, sizeof buf, &from), 3);
  ASSERT_EQ(SendTo(srv, "xy", 2, from), 2);
  ASSERT_TRUE(L.Until([&] { return sink.Count(cli, FD_READ) == 1; }));
  EXPECT_EQ(Recv(cli, buf, sizeof buf), 2);
  EXPECT_EQ(sink.Count(cli, FD_WRITE), 1);
  CloseSocket(cli);
  CloseSocket(srv);
}

TEST(AsyncSocket, ErrnoMapsToWinSockCodes) {
  EXPECT_EQ(ErrnoToWsa(ECONNREFUSED), 10061);
  EXPECT_EQ(ErrnoToWsa(ECONNRESET), 10054);
  EXPECT_EQ(ErrnoToWsa(ETIMEDOUT), 10060);
  EXPECT_EQ(ErrnoToWsa(EAGAIN), 10035);
  EXPECT_EQ(ErrnoToWsa(EADDRINUSE), 10048);
  EXPECT_EQ(ErrnoToWsa(EHOSTUNREACH), 10065);
  EXPECT_EQ(Recv(0xFFF0, nullptr, 0), SOCKET_ERROR);
  EXPECT_EQ(LastError(), WSAENOTSOCK);
}

TEST(AsyncSocket, QtBackEndReportsTheSameEvents) {
  int argc = 1;
  char name[] = "t";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  plat::QtEventLoop loop;
  Sink sink;
  std::uint16_t port = 0;
  const SOCKET l = Listener(sink, &port);
  const SOCKET c = Client(sink, port);
  auto until = [&](const std::function<bool()>& cond) {
    QElapsedTimer t;
    t.start();
    while (!cond() && t.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return cond();
  };
  ASSERT_TRUE(until([&] { return sink.Count(l, FD_ACCEPT) == 1 && sink.Count(c, FD_WRITE) == 1; }));
  const SOCKET a = Accept(l, nullptr);
  ASSERT_EQ(Send(a, "ping", 4), 4);
  ASSERT_TRUE(until([&] { return sink.Count(c, FD_READ) == 1; }));
  char buf[8];
  EXPECT_EQ(Recv(c, buf, sizeof buf), 4);
  CloseSocket(a);
  ASSERT_TRUE(until([&] { return sink.Count(c, FD_CLOSE) == 1; }));
  EXPECT_EQ(sink.Count(c, FD_READ), 1);
  CloseSocket(c);
  CloseSocket(l);
}
