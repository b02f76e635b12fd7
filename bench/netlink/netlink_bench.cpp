// The library's server echoes CSTA frames back to the client that sent
// them (its id rides in the record's monitor field); 9 registered clients
// are plain sockets. The yardstick is a plain echo over the same loopback
// with frames of the same size.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/bound.h"
#include "netlink/control.h"
#include "netlink/lorquin32.h"
#include "netlink/splitter.h"
#include "platform/eventloop.h"
#include "platform/messages.h"
#include "platform/net/asyncsocket.h"
#include "tests/support/netrig.h"

using namespace netlink;

namespace {

constexpr int kClients = 9;
constexpr int kWindow = 8;  // frames in flight per client

// Frames per second of each run by name, measured over the timed loop only;
// the last run of a name wins (the one the library reports).
std::map<std::string, double>& Rates() {
  static std::map<std::string, double> r;
  return r;
}

using netrig::FreePort;

int ConnectTo(std::uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  const int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  return fd;
}

void SendAll(int fd, const std::uint8_t* p, std::size_t n) {
  while (n > 0) {
    const ssize_t r = ::send(fd, p, n, MSG_NOSIGNAL);
    if (r <= 0) return;
    p += r;
    n -= static_cast<std::size_t>(r);
  }
}

struct Client {
  int fd = -1;
  std::uint16_t id = 0;
  StreamSplitter in;
  int received = 0;
};

// Reads what the client has; returns the frames completed.
int Drain(Client& c) {
  std::uint8_t buf[8192];
  int frames = 0;
  for (;;) {
    const ssize_t n = ::recv(c.fd, buf, sizeof buf, MSG_DONTWAIT);
    if (n <= 0) break;
    c.in.Append(buf, static_cast<std::size_t>(n));
    std::size_t len;
    while (const std::uint8_t* f = c.in.Next(&len)) {
      Control ctl;
      if (ParseControl(f, len, &ctl)) {
        if (ctl.opcode == kOpHelloReply) {
          Control r;
          r.opcode = kOpRegister;
          r.key = 0x7F000000u | static_cast<std::uint32_t>(c.fd);
          const ControlFrame reg = BuildControlFrame(AddrBySlot(0), r);
          SendAll(c.fd, reg.data(), reg.size());
        } else if (ctl.opcode == kOpRegisterReply && ctl.result == kResSuccess) {
          c.id = ctl.id;
        }
      } else {
        ++frames;
      }
    }
  }
  c.received += frames;
  return frames;
}

struct LinkSetup : plat::IMessageTarget {
  plat::ManualLoop loop;
  plat::WindowId id = plat::RegisterTarget(this);
  std::uint32_t server = 0xFFFF;
  std::vector<Client> clients;

  plat::LRESULT OnMessage(const plat::Message& m) override {
    if (m.msg == kMsgCsta && m.payload.size() == kRecordSize) {
      std::uint16_t to;
      std::memcpy(&to, m.data() + 4, 2);
      PBXNWHSendMessageToNetWork(server, to, 32, m.data(), static_cast<std::uint32_t>(kRecordSize));
    }
    return 0;
  }

  void Pump() {
    plat::net::PumpSockets(0);
    loop.RunUntilIdle();
  }

  LinkSetup() {
    const std::uint16_t port = FreePort();
    server = PBXNWHOpenDLLEx(id, kFlagServer | kFlagCsta, nullptr, port) & 0xFFFF;
    clients.resize(kClients);
    for (Client& c : clients) {
      c.fd = ConnectTo(port);
      Control h;
      h.opcode = kOpHello;
      const ControlFrame hello = BuildControlFrame(AddrBySlot(0), h);
      SendAll(c.fd, hello.data(), hello.size());
      // The listener's backlog is 5: let the server take each one in.
      for (int i = 0; i < 20; ++i) Pump();
    }
    for (int i = 0; i < 2000; ++i) {
      Pump();
      bool all = true;
      for (Client& c : clients) {
        Drain(c);
        all = all && c.id != 0;
      }
      if (all) break;
      ::usleep(500);
    }
  }
  ~LinkSetup() override {
    for (Client& c : clients) ::close(c.fd);
    PBXNWHCloseDLL(server);
    plat::UnregisterTarget(id);
  }

  std::vector<std::uint8_t> Frame(const Client& c, std::uint32_t seq) {
    std::vector<std::uint8_t> rec(kRecordSize, 0);
    std::memcpy(rec.data(), &seq, 4);
    std::memcpy(rec.data() + 4, &c.id, 2);
    rec[8] = 1;  // 150 bytes on the wire
    return BuildDataFrame(kWireCsta, c.id, rec.data(), rec.size());
  }
};

// The plain yardstick: a poll-driven echo of bytes.
struct EchoSetup {
  int listener = -1;
  std::vector<int> served;
  std::vector<Client> clients;
  std::vector<std::uint8_t> frame;

  EchoSetup() {
    listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    const int one = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
    ::listen(listener, 16);
    clients.resize(kClients);
    for (Client& c : clients) c.fd = ConnectTo(ntohs(a.sin_port));
    while (served.size() < clients.size()) {
      const int fd = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK);
      if (fd >= 0) {
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        served.push_back(fd);
      }
    }
    std::vector<std::uint8_t> rec(kRecordSize, 0);
    rec[8] = 1;
    frame = BuildDataFrame(kWireCsta, 0, rec.data(), rec.size());
  }
  ~EchoSetup() {
    for (Client& c : clients) ::close(c.fd);
    for (int fd : served) ::close(fd);
    ::close(listener);
  }
  void Pump() {
    std::vector<pollfd> fds;
    for (int fd : served) fds.push_back({fd, POLLIN, 0});
    if (::poll(fds.data(), fds.size(), 0) <= 0) return;
    std::uint8_t buf[8192];
    for (const pollfd& p : fds) {
      if (!(p.revents & POLLIN)) continue;
      const ssize_t n = ::recv(p.fd, buf, sizeof buf, MSG_DONTWAIT);
      if (n > 0) SendAll(p.fd, buf, static_cast<std::size_t>(n));
    }
  }
};

template <class Setup>
void RoundTrip(benchmark::State& state, Setup& s, const std::vector<std::uint8_t>& frame) {
  Client& c = s.clients[0];
  for (auto _ : state) {
    const int before = c.received;
    SendAll(c.fd, frame.data(), frame.size());
    while (c.received == before) {
      s.Pump();
      Drain(c);
    }
  }
  state.SetItemsProcessed(state.iterations());
}

template <class Setup, class MakeFrame>
void Throughput(benchmark::State& state, const char* name, Setup& s, MakeFrame make) {
  std::int64_t frames = 0;
  const auto t0 = std::chrono::steady_clock::now();
  for (auto _ : state) {
    // Every client keeps kWindow frames in flight; one iteration is one
    // full window of every client echoed back.
    std::vector<int> target(s.clients.size());
    for (std::size_t i = 0; i < s.clients.size(); ++i) {
      Client& c = s.clients[i];
      target[i] = c.received + kWindow;
      for (int k = 0; k < kWindow; ++k) {
        const auto f = make(c, static_cast<std::uint32_t>(k));
        SendAll(c.fd, f.data(), f.size());
      }
    }
    bool done = false;
    while (!done) {
      s.Pump();
      done = true;
      for (std::size_t i = 0; i < s.clients.size(); ++i) {
        Drain(s.clients[i]);
        done = done && s.clients[i].received >= target[i];
      }
    }
    frames += static_cast<std::int64_t>(kWindow * s.clients.size());
  }
  const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  if (secs > 0) Rates()[name] = static_cast<double>(frames) / secs;
  state.SetItemsProcessed(frames);
  state.counters["frames_per_s"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
}

void BM_LinkRoundTrip(benchmark::State& state) {
  LinkSetup s;
  if (s.clients[0].id == 0) return state.SkipWithError("no registration");
  RoundTrip(state, s, s.Frame(s.clients[0], 1));
}

void BM_LinkThroughput9Clients(benchmark::State& state) {
  LinkSetup s;
  for (const Client& c : s.clients)
    if (c.id == 0) return state.SkipWithError("no registration");
  Throughput(state, "link", s, [&](const Client& c, std::uint32_t seq) { return s.Frame(c, seq); });
}

void BM_PlainEchoRoundTrip(benchmark::State& state) {
  EchoSetup s;
  RoundTrip(state, s, s.frame);
}

void BM_PlainEchoThroughput9Clients(benchmark::State& state) {
  EchoSetup s;
  Throughput(state, "echo", s, [&](const Client&, std::uint32_t) { return s.frame; });
}

}  // namespace

BENCHMARK(BM_LinkRoundTrip)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainEchoRoundTrip)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LinkThroughput9Clients)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainEchoThroughput9Clients)->Unit(benchmark::kMicrosecond);
int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const auto& r = Rates();
  const auto link = r.find("link");
  const auto echo = r.find("echo");
  if (link == r.end() || echo == r.end() || echo->second <= 0) {
    benchbound::NoFigure("9 clients: link / plain echo frames", false, 0.5);
    return 0;
  }
  std::printf("9 clients: link %.0f frames/s, plain echo %.0f frames/s\n", link->second, echo->second);
  return benchbound::Report("9 clients: link / plain echo frames", link->second / echo->second, false, 0.5) ? 0 : 1;
}
