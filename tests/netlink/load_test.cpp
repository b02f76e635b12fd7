// One server under load and under misbehaving peers: raw clients on
// threads of their own, the server on the test's main thread.
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <thread>

#include "netlink/control.h"
#include "netlink/internal.h"
#include "support.h"

using namespace nltest;
using namespace netlink;

namespace {

using Clock = std::chrono::steady_clock;

// Message types whose CSTA sizes run from 10 to 772 bytes.
constexpr std::uint16_t kTypes[] = {5, 2, 3, 12, 13, 21, 23, 52, 53, 56, 60, 66, 67, 93, 111, 114, 117, 122, 126, 1};
constexpr int kFrames = 1000;

Bytes Record(std::uint16_t type, std::uint32_t seq, std::uint16_t id) {
  Bytes r(982, 0);
  PutU32(r.data(), seq);
  PutU32(r.data() + 4, id);
  PutU16(r.data() + 8, type);
  return r;
}

std::uint16_t TypeOf(std::uint32_t seq, int who) { return kTypes[(seq + static_cast<std::uint32_t>(who)) % 20]; }

// A client written against the wire: blocking socket, own handshake.
class RawClient {
 public:
  explicit RawClient(std::uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ok_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in me{};
    socklen_t len = sizeof me;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&me), &len);
    std::uint32_t ip;
    std::memcpy(&ip, &me.sin_addr.s_addr, 4);
    key_ = KeyFor(ip, ntohs(me.sin_port));
  }
  ~RawClient() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool ok() const { return ok_; }
  int fd() const { return fd_; }
  std::uint16_t id() const { return id_; }

  // Hello and register; true when registered, else `refused` names why.
  bool Register(std::string* refused, int timeoutMs = 20000) {
    const ControlFrame h = ClientControl::Hello(key_, 0);
    if (!Write(h.data(), h.size(), false)) return false;
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < end) {
      std::size_t len = 0;
      const std::uint8_t* f = NextFrame(&len, 200);
      if (!f) continue;
      if (f[kOffWireType] != kWireControl) continue;
      const ControlActions a = control_.Handle(f, len, key_, 0);
      for (const ControlFrame& r : a.replies)
        if (!Write(r.data(), r.size(), false)) return false;
      for (const Notice& n : a.notices) {
        if (n.msg == kMsgRegistered) {
          id_ = static_cast<std::uint16_t>(n.wParam);
          return true;
        }
        if (n.msg == kMsgRegistrationRefused) {
          if (refused) *refused = n.name;
          return false;
        }
      }
    }
    return false;
  }

  bool Write(const std::uint8_t* p, std::size_t n, bool byteByByte) {
    std::size_t done = 0;
    while (done < n) {
      const ssize_t r = ::send(fd_, p + done, byteByByte ? 1 : n - done, MSG_NOSIGNAL);
      if (r <= 0) return false;
      done += static_cast<std::size_t>(r);
    }
    return true;
  }

  // The next whole frame, reading in chunks (or a byte at a time); nullptr
  // after waitMs without one or when the connection ended.
  const std::uint8_t* NextFrame(std::size_t* len, int waitMs, bool byteByByte = false) {
    for (;;) {
      if (const std::uint8_t* f = splitter_.Next(len)) return f;
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, waitMs) <= 0) return nullptr;
      std::uint8_t buf[4096];
      const ssize_t r = ::recv(fd_, buf, byteByByte ? 1 : sizeof buf, 0);
      if (r <= 0) {
        closed_ = true;
        return nullptr;
      }
      splitter_.Append(buf, static_cast<std::size_t>(r));
    }
  }
  bool closed() const { return closed_; }
  std::uint64_t lost() const { return splitter_.loss.bytes; }

  void Reset() {
    linger l{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
  bool ok_ = false;
  bool closed_ = false;
  std::uint32_t key_ = 0;
  std::uint16_t id_ = 0;
  ClientControl control_;
  StreamSplitter splitter_;
};

// What one registered client does on its threads: sends its frames and
// reads the server's, checking that they come exactly once and in order.
struct Worker {
  int index = 0;
  bool byteByByte = false;
  std::uint16_t port = 0;
  std::atomic<bool> registered{false};
  std::atomic<std::uint16_t> id{0};
  std::atomic<bool> sent{false};
  std::atomic<int> received{0};
  std::atomic<bool> finished{false};
  std::atomic<bool> release{false};  // the connection stays until then
  std::string failure;  // read once finished
  std::thread thread;

  void Start() {
    thread = std::thread([this] { Run(); });
  }
  void Run() {
    RawClient c(port);
    std::string refused;
    if (!c.ok() || !c.Register(&refused)) {
      failure = "not registered: " + refused;
      finished = true;
      return;
    }
    id = c.id();
    registered = true;
    std::thread writer([&] {
      Bytes all;
      for (std::uint32_t s = 0; s < kFrames; ++s) {
        const Bytes rec = Record(TypeOf(s, index), s, c.id());
        const Bytes f = BuildDataFrame(kWireCsta, c.id(), rec.data(), rec.size());
        all.insert(all.end(), f.begin(), f.end());
      }
      sent = c.Write(all.data(), all.size(), byteByByte);
    });
    const auto end = Clock::now() + std::chrono::seconds(90);
    std::uint32_t expect = 0;
    while (expect < kFrames && Clock::now() < end && !c.closed()) {
      std::size_t len = 0;
      const std::uint8_t* f = c.NextFrame(&len, 200, byteByByte);
      if (!f || f[kOffWireType] != kWireCsta) continue;
      const std::uint8_t* p = f + kHeaderSize;
      const std::uint32_t seq = GetU32(p);
      const std::uint32_t to = GetU32(p + 4);
      if (to != c.id() || seq != expect || GetU16(p + 8) != TypeOf(seq, index + 7) ||
          len != kHeaderSize + CstaWireSize(TypeOf(seq, index + 7))) {
        failure = "frame out of place: seq " + std::to_string(seq) + " for " + std::to_string(to);
        break;
      }
      ++expect;
      received = static_cast<int>(expect);
    }
    writer.join();
    if (failure.empty() && expect != kFrames) failure = "received " + std::to_string(expect);
    if (failure.empty() && c.lost() != 0) failure = "bytes lost";
    finished = true;
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
};

// The server's side: counts each client's frames and checks their order.
struct Server : plat::IMessageTarget {
  plat::WindowId id = plat::RegisterTarget(this);
  std::map<std::uint16_t, std::uint32_t> next;  // client id -> next sequence
  std::vector<std::uint16_t> registered;
  int lost = 0;
  std::string failure;
  ~Server() override { plat::UnregisterTarget(id); }
  plat::LRESULT OnMessage(const plat::Message& m) override {
    if (m.msg == kMsgClientRegistered) registered.push_back(static_cast<std::uint16_t>(m.wParam));
    if (m.msg == kMsgLinkLost) ++lost;
    if (m.msg == kMsgCsta && m.payload.size() == 982) {
      const std::uint32_t seq = GetU32(m.payload.data());
      const auto from = static_cast<std::uint16_t>(GetU32(m.payload.data() + 4));
      std::uint32_t& n = next[from];
      if (seq != n && failure.empty())
        failure = "from " + std::to_string(from) + ": seq " + std::to_string(seq) + " for " + std::to_string(n);
      n = seq + 1;
    }
    return 0;
  }
};

// Bytes the server still holds back for a client id.
std::size_t Backlog(std::uint32_t handle, std::uint16_t id) {
  auto h = HandlerOf(handle);
  for (int i = 0; i < CNetworkHandler::kSlots; ++i)
    if (h->slot(i).socket != plat::net::INVALID_SOCKET && h->slot(i).clientId == id) return h->slot(i).outq.size();
  return SIZE_MAX;
}

class Load : public ::testing::Test {
 protected:
  void TearDown() override {
    for (std::uint32_t h = 0; h < 10; ++h) PBXNWHCloseDLL(h);
  }
  bool PumpUntil(const std::function<bool()>& cond, int seconds = 20) {
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    while (!cond() && Clock::now() < end) {
      plat::net::PumpSockets(1);
      loop.RunUntilIdle();
    }
    return cond();
  }
  // Registers a raw client on its own thread while the server runs here.
  bool RegisterRaw(RawClient& c) {
    std::atomic<bool> done{false};
    bool ok = false;
    std::thread t([&] {
      ok = c.Register(nullptr);
      done = true;
    });
    PumpUntil([&] { return done.load(); });
    t.join();
    return ok;
  }
  plat::ManualLoop loop;
  Server srv;
};

}  // namespace

TEST_F(Load, NineClientsFiftyRefusedAndEveryFrameOnceInOrder) {
  const auto started = Clock::now();
  const std::uint16_t port = FreePort();
  const std::uint32_t s = PBXNWHOpenDLLEx(srv.id, kFlagServer | kFlagCsta, nullptr, port);
  ASSERT_EQ(s & 0xFFFF, 0u);

  std::vector<std::unique_ptr<Worker>> workers;
  for (int i = 0; i < 9; ++i) {
    auto w = std::make_unique<Worker>();
    w->index = i;
    w->byteByByte = i % 2 == 1;
    w->port = port;
    w->Start();
    workers.push_back(std::move(w));
  }
  // Whatever happens below, the threads are let go and joined.
  struct Joiner {
    std::vector<std::unique_ptr<Worker>>& ws;
    ~Joiner() {
      for (auto& w : ws) {
        w->release = true;
        if (w->thread.joinable()) w->thread.join();
      }
    }
  } joiner{workers};
  auto pump = [&] {
    plat::net::PumpSockets(1);
    loop.RunUntilIdle();
  };
  auto deadline = Clock::now() + std::chrono::seconds(30);
  while (srv.registered.size() < 9 && Clock::now() < deadline) pump();
  ASSERT_EQ(srv.registered.size(), 9u);

  // Fifty more connections, each refused at registration.
  std::atomic<int> refused{0};
  std::atomic<bool> refusalsDone{false};
  std::string refusedName;
  std::vector<std::unique_ptr<RawClient>> extra;
  std::thread refusals([&] {
    for (int i = 0; i < 50; ++i) {
      auto c = std::make_unique<RawClient>(port);
      std::string why;
      if (c->ok() && !c->Register(&why) && why == "EC_CLIENTCOUNTEXCEEDED") ++refused;
      extra.push_back(std::move(c));
    }
    refusalsDone = true;
  });

  // The server sends each client its frames, never letting more than a
  // little pile up for one of them.
  std::map<std::uint16_t, std::uint32_t> sentTo;
  std::map<std::uint16_t, int> who;
  for (auto& w : workers) {
    while (!w->registered && !w->finished) pump();
    who[w->id] = w->index;
  }
  deadline = Clock::now() + std::chrono::seconds(100);
  auto allDone = [&] {
    if (!refusalsDone) return false;
    for (auto& w : workers)
      if (!w->finished) return false;
    for (auto& [id, n] : srv.next)
      if (n != kFrames) return false;
    return srv.next.size() == 9;
  };
  while (!allDone() && Clock::now() < deadline) {
    for (auto& [id, index] : who) {
      std::uint32_t& n = sentTo[id];
      while (n < kFrames && Backlog(s, id) < 16 * 1024) {
        const Bytes rec = Record(TypeOf(n, index + 7), n, id);
        if (PBXNWHSendMessageToNetWork(s, id, 32, rec.data(), 982) != 1u) break;
        ++n;
      }
    }
    pump();
  }
  refusals.join();
  pump();

  EXPECT_EQ(refused.load(), 50);
  EXPECT_EQ(srv.registered.size(), 9u);
  EXPECT_EQ(srv.failure, "");
  EXPECT_EQ(srv.next.size(), 9u);
  for (auto& [id, n] : srv.next) EXPECT_EQ(n, static_cast<std::uint32_t>(kFrames)) << id;
  for (auto& w : workers) {
    EXPECT_EQ(w->failure, "") << w->index;
    EXPECT_TRUE(w->sent) << w->index;
  }
  EXPECT_EQ(srv.lost, 0);
  EXPECT_EQ(HandlerOf(s)->lostBytes(), 0u);
  EXPECT_LT(Clock::now() - started, std::chrono::seconds(100));
  extra.clear();
}

TEST_F(Load, ResetDeafAndAMegabyteOfGarbageLeaveTheOthersServed) {
  const std::uint16_t port = FreePort();
  const std::uint32_t s = PBXNWHOpenDLLEx(srv.id, kFlagServer | kFlagCsta, nullptr, port);
  ASSERT_EQ(s & 0xFFFF, 0u);

  RawClient good(port), garbage(port), reset(port), deaf(port);
  ASSERT_TRUE(RegisterRaw(good));
  ASSERT_TRUE(RegisterRaw(garbage));
  ASSERT_TRUE(RegisterRaw(reset));
  ASSERT_TRUE(RegisterRaw(deaf));

  // A megabyte of junk, then a reset, while the server keeps running.
  std::atomic<bool> junkSent{false};
  std::thread junk([&] {
    Bytes b(1 << 20);
    std::uint32_t x = 12345;
    for (auto& v : b) {
      x = x * 1103515245u + 12345u;
      v = static_cast<std::uint8_t>(x >> 24);
    }
    garbage.Write(b.data(), b.size(), false);
    junkSent = true;
  });
  ASSERT_TRUE(PumpUntil([&] { return junkSent.load(); }, 60));
  junk.join();
  reset.Reset();
  ASSERT_TRUE(PumpUntil([&] { return srv.lost >= 1; }));
  EXPECT_GT(HandlerOf(s)->lostBytes(), 0u);

  // The deaf client is flooded until the server lets it go.
  const Bytes big = Record(12, 0, deaf.id());
  for (int i = 0; i < 100000 && srv.lost < 2; ++i) {
    if (PBXNWHSendMessageToNetWork(s, deaf.id(), 32, big.data(), 982) != 1u) break;
    if (i % 32 == 0) {
      plat::net::PumpSockets(0);
      loop.RunUntilIdle();
    }
  }
  ASSERT_TRUE(PumpUntil([&] { return srv.lost >= 2; }));

  // The good client is still served both ways, and a newcomer registers.
  const Bytes up = Record(1, 0, good.id());
  const Bytes f = BuildDataFrame(kWireCsta, good.id(), up.data(), up.size());
  ASSERT_TRUE(good.Write(f.data(), f.size(), true));
  ASSERT_TRUE(PumpUntil([&] { return srv.next[good.id()] == 1; }));
  const Bytes down = Record(2, 5, good.id());
  ASSERT_EQ(PBXNWHSendMessageToNetWork(s, good.id(), 32, down.data(), 982), 1u);
  std::size_t len = 0;
  const std::uint8_t* got = nullptr;
  for (int i = 0; i < 50 && !got; ++i) {
    plat::net::PumpSockets(5);
    loop.RunUntilIdle();
    got = good.NextFrame(&len, 10);
  }
  ASSERT_NE(got, nullptr);
  EXPECT_EQ(GetU32(got + kHeaderSize), 5u);
  EXPECT_EQ(len, kHeaderSize + 11);
  RawClient late(port);
  EXPECT_TRUE(RegisterRaw(late));
  garbage.Reset();
}

// Connections that never say hello: each is closed once the hello time-out
// has passed, and while they fill every slot a newcomer takes the place of
// the one that has waited longest. Registered clients are served throughout.
TEST_F(Load, IdleConnectionsNeverLockOutRegisteredOrNewClients) {
  const std::uint16_t port = FreePort();
  const std::uint32_t s = PBXNWHOpenDLLEx(srv.id, kFlagServer | kFlagCsta, nullptr, port);
  ASSERT_EQ(s & 0xFFFF, 0u);
  auto h = HandlerOf(s);
  // One frame each way between a registered client and the server.
  auto exchange = [&](RawClient& c) {
    const std::uint32_t seq = srv.next[c.id()];
    const Bytes up = Record(1, seq, c.id());
    const Bytes f = BuildDataFrame(kWireCsta, c.id(), up.data(), up.size());
    if (!c.Write(f.data(), f.size(), false)) return false;
    if (!PumpUntil([&] { return srv.next[c.id()] == seq + 1; }, 10)) return false;
    const Bytes down = Record(2, seq, c.id());
    if (PBXNWHSendMessageToNetWork(s, c.id(), 32, down.data(), 982) != 1u) return false;
    for (int i = 0; i < 500; ++i) {
      plat::net::PumpSockets(2);
      loop.RunUntilIdle();
      std::size_t len = 0;
      if (const std::uint8_t* got = c.NextFrame(&len, 2)) return GetU32(got + kHeaderSize) == seq;
    }
    return false;
  };

  RawClient a(port), b(port);
  ASSERT_TRUE(RegisterRaw(a));
  ASSERT_TRUE(RegisterRaw(b));

  // 120 connections that send nothing, opened while the server runs.
  constexpr int kIdle = 120;
  std::vector<std::unique_ptr<RawClient>> idle;
  std::atomic<bool> opened{false};
  std::atomic<int> taken{0};  // connections the server has taken in so far
  std::thread opener([&] {
    for (int i = 0; i < kIdle; ++i) {
      // Within the listener's backlog of 5, so that no connect waits for
      // the kernel's retry of a dropped one.
      while (taken.load() + 3 < static_cast<int>(idle.size()) + 2) std::this_thread::yield();
      idle.push_back(std::make_unique<RawClient>(port));
    }
    opened = true;
  });
  auto allTaken = [&] {
    taken = h->peers() + srv.lost;
    return opened.load() && taken.load() == kIdle + 2;
  };
  ASSERT_TRUE(PumpUntil(allTaken, 60));
  opener.join();
  EXPECT_EQ(h->peers(), CNetworkHandler::kSlots);
  int dropped = 0;
  for (auto& c : idle) {
    std::size_t len = 0;
    c->NextFrame(&len, 0);
    dropped += c->closed();
  }
  // The first ones made room for the last; none of the registered went.
  EXPECT_EQ(dropped, kIdle + 2 - CNetworkHandler::kSlots);
  EXPECT_TRUE(idle.front()->closed());
  EXPECT_FALSE(idle.back()->closed());
  EXPECT_EQ(srv.lost, dropped);

  // Served: the registered ones both ways, and a newcomer registers.
  EXPECT_TRUE(exchange(a));
  EXPECT_TRUE(exchange(b));
  RawClient late(port);
  ASSERT_TRUE(RegisterRaw(late));
  EXPECT_TRUE(exchange(late));
  EXPECT_EQ(srv.registered.size(), 3u);

  // Just before the time-out the rest are still there; after it they are
  // gone, and only the registered remain.
  loop.Advance(kHelloTimeoutMs - 2000);
  PumpUntil([&] { return false; }, 0);
  EXPECT_EQ(h->peers(), CNetworkHandler::kSlots);
  loop.Advance(2000);
  ASSERT_TRUE(PumpUntil([&] { return h->peers() == 3; }));
  for (auto& c : idle) {
    std::size_t len = 0;
    for (int i = 0; i < 100 && !c->closed(); ++i) c->NextFrame(&len, 5);
    EXPECT_TRUE(c->closed());
  }
  EXPECT_TRUE(exchange(a));
  EXPECT_TRUE(exchange(late));
  EXPECT_EQ(srv.registered.size(), 3u);
}
