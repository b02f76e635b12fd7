// netpeer: a test peer for the network link, written from the frame and
// control tables alone (it shares no code with the library). It plays a
// server or a client over TCP or UDP on the loopback, and can misbehave.
//
//   netpeer server|client [--udp] [--port N] [--host A.B.C.D] [--mode M]
//           [--frames N] [--seconds S] [--delay MS]
// Modes: normal, silent (answers nothing), no-alive (no alive replies),
// delayed-hello (client: hello after --delay ms), garbage (client: sends
// junk once registered), reset (client: resets the connection once
// registered), stop-reading (client: registers, then never reads).
// A server echoes every CSTA frame to its sender; a client sends --frames
// CSTA frames once registered. Every event is printed as one line.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Options {
  bool server = false;
  bool udp = false;
  int port = 4369;
  std::string host = "127.0.0.1";
  std::string mode = "normal";
  int frames = 0;
  int seconds = 30;
  int delayMs = 0;
};

std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

int CstaSize(int t) {
  static const std::map<int, int> sizes = {
      {1, 150}, {11, 150}, {39, 150}, {51, 150}, {2, 11}, {4, 11}, {10, 11}, {16, 11}, {18, 11}, {20, 11},
      {22, 11}, {40, 11}, {42, 11}, {118, 11}, {3, 80}, {9, 80}, {14, 80}, {24, 80}, {41, 80}, {12, 772},
      {13, 144}, {15, 144}, {17, 144}, {19, 144}, {21, 81}, {23, 138}, {52, 356}, {57, 356}, {59, 356},
      {53, 12}, {56, 152}, {61, 152}, {65, 152}, {60, 220}, {66, 84}, {67, 566}, {93, 111}, {111, 83},
      {114, 23}, {117, 14}, {122, 74}, {126, 16}};
  if (t < 1 || t > 133) return 0;
  auto it = sizes.find(t);
  return it == sizes.end() ? 10 : it->second;
}

// Frame length from the header; 0 = need more, -1 = invalid, 1013 for "rest".
int FrameLen(const Bytes& b) {
  if (b.size() < 31) return 0;
  const int plen = U16(&b[26]);
  switch (b[30]) {
    case 1: return 79;
    case 2: return 78;
    case 5: case 7: case 25: case 26: case 64: return plen ? 31 + plen : 1013;
    case 3: case 4: return 1013;
    case 6: {
      if (b.size() < 41) return 0;
      const int s = CstaSize(U16(&b[39]));
      return s ? 31 + s : -1;
    }
    case 20: return 45;
    case 21: return 154;
    case 24: return 519;
    default: return -1;
  }
}

Bytes Control(std::uint8_t op, std::uint16_t id, std::uint8_t result, const std::uint8_t* answerAddr,
              std::uint32_t key) {
  Bytes f(78, 0);
  if (answerAddr) {
    std::memcpy(&f[0], answerAddr, 17);
    std::memcpy(&f[31], answerAddr, 17);
  } else {
    f[0] = 1;
  }
  f[26] = 47;
  f[28] = id & 0xFF;
  f[30] = 2;
  f[31 + 17] = op;
  f[31 + 18] = id & 0xFF;
  f[31 + 19] = id >> 8;
  f[31 + 22] = result;
  std::memcpy(&f[31 + 23], &key, 4);
  return f;
}

Bytes Csta(std::uint16_t id, int type, int seq) {
  const int size = CstaSize(type);
  Bytes f(31 + size, 0);
  f[0] = 4;
  f[5] = id & 0xFF;
  f[6] = id >> 8;
  f[17] = 2;
  f[26] = size & 0xFF;
  f[27] = size >> 8;
  f[28] = id & 0xFF;
  f[30] = 6;
  std::memcpy(&f[31], &seq, 4);
  f[31 + 8] = type & 0xFF;
  for (int i = 10; i < size; ++i) f[31 + i] = static_cast<std::uint8_t>(seq + i);
  return f;
}

struct Conn {
  int fd = -1;
  sockaddr_in peer{};
  Bytes in;
  std::uint16_t id = 0;
};

struct Peer {
  Options o;
  int fd = -1;  // listener, or the client's socket, or the UDP socket
  std::map<int, Conn> conns;        // TCP connections by fd
  std::map<std::uint64_t, Conn> udpPeers;  // UDP peers by address
  int nextId = 256;
  bool registered = false;
  bool stopReading = false;
  std::uint16_t myId = 0;
  std::uint32_t key = 0;

  static std::uint64_t AddrKey(const sockaddr_in& a) {
    return (static_cast<std::uint64_t>(a.sin_addr.s_addr) << 16) | a.sin_port;
  }

  void Out(Conn& c, const Bytes& f) {
    if (o.udp)
      ::sendto(fd, f.data(), f.size(), MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&c.peer), sizeof c.peer);
    else
      ::send(c.fd, f.data(), f.size(), MSG_NOSIGNAL);
  }

  void OnFrame(Conn& c, const std::uint8_t* f, int len) {
    const int type = f[30];
    if (type == 6) {
      std::printf("csta type=%u seq=%u\n", U16(f + 39), f[31] | (f[32] << 8));
      if (o.server) Out(c, Bytes(f, f + len));
      return;
    }
    if (type != 2 || len < 78) {
      std::printf("frame type=%d len=%d\n", type, len);
      return;
    }
    const std::uint8_t op = f[31 + 17];
    const std::uint16_t id = U16(f + 31 + 18);
    const std::uint8_t result = f[31 + 22];
    std::uint32_t theirKey;
    std::memcpy(&theirKey, f + 31 + 23, 4);
    std::printf("control op=%u id=%u result=%u\n", op, id, result);
    if (o.mode == "silent") return;
    if (o.server) {
      switch (op) {
        case 1: Out(c, Control(2, 0, 1, f, key)); break;
        case 5:
          if (!c.id) c.id = static_cast<std::uint16_t>(nextId++);
          Out(c, Control(6, c.id, 1, f, key));
          std::printf("registered %u\n", c.id);
          break;
        case 7: Out(c, Control(8, id, 1, f, key)); std::printf("unregistered %u\n", id); break;
        case 9: if (o.mode != "no-alive") Out(c, Control(10, id, 1, f, key)); break;
        default: break;
      }
    } else {
      switch (op) {
        case 2: if (!registered) Out(c, Control(5, 0, 0, nullptr, key)); break;
        case 6:
          if (registered) break;
          if (result == 1) {
            registered = true;
            myId = id;
            std::printf("registered %u\n", id);
            AfterRegister(c);
          } else {
            std::printf("refused %u\n", result);
          }
          break;
        case 11: Out(c, Control(12, myId, 1, f, key)); break;
        default: break;
      }
    }
    std::fflush(stdout);
  }

  void AfterRegister(Conn& c) {
    if (o.mode == "garbage") {
      Bytes junk(300);
      for (std::size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<std::uint8_t>(0xC3 ^ (i * 7));
      Out(c, junk);
      std::printf("sent garbage\n");
    } else if (o.mode == "reset") {
      linger l{1, 0};
      ::setsockopt(c.fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
      ::close(c.fd);
      std::printf("reset\n");
      std::fflush(stdout);
      std::exit(0);
    } else if (o.mode == "stop-reading") {
      stopReading = true;
      std::printf("stopped reading\n");
    }
    for (int i = 0; i < o.frames; ++i) Out(c, Csta(myId, 1 + i % 3, i));
  }

  void Feed(Conn& c, const std::uint8_t* p, std::size_t n) {
    c.in.insert(c.in.end(), p, p + n);
    for (;;) {
      const int len = FrameLen(c.in);
      if (len == 0) return;
      if (len < 0) {
        std::printf("invalid frame, %zu bytes dropped\n", c.in.size());
        c.in.clear();
        return;
      }
      if (static_cast<int>(c.in.size()) < len) return;
      OnFrame(c, c.in.data(), len);
      c.in.erase(c.in.begin(), c.in.begin() + len);
    }
  }

  int Run() {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(o.port));
    ::inet_pton(AF_INET, o.host.c_str(), &a.sin_addr);
    fd = ::socket(AF_INET, o.udp ? SOCK_DGRAM : SOCK_STREAM, 0);
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (o.server) {
      if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return std::perror("bind"), 1;
      if (!o.udp && ::listen(fd, 16) != 0) return std::perror("listen"), 1;
      key = a.sin_addr.s_addr;
      std::printf("listening %d\n", o.port);
    } else {
      if (o.mode == "stop-reading") {
        int small = 4096;
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
      }
      if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return std::perror("connect"), 1;
      sockaddr_in me{};
      socklen_t ml = sizeof me;
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&me), &ml);
      key = me.sin_addr.s_addr;
      std::memcpy(reinterpret_cast<std::uint8_t*>(&key) + 2, &me.sin_port, 2);
      Conn& c = conns[fd];
      c.fd = fd;
      c.peer = a;
      std::printf("connected\n");
      if (o.mode == "delayed-hello") ::usleep(static_cast<useconds_t>(o.delayMs) * 1000);
      if (o.mode != "silent") Out(c, Control(1, 0, 0, nullptr, key));
    }
    std::fflush(stdout);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(o.seconds);
    std::uint8_t buf[4096];
    while (std::chrono::steady_clock::now() < end) {
      std::vector<pollfd> fds;
      if (!(stopReading)) fds.push_back({fd, POLLIN, 0});
      if (o.server && !o.udp)
        for (auto& [cfd, c] : conns) fds.push_back({cfd, POLLIN, 0});
      if (fds.empty()) {
        ::usleep(50000);
        continue;
      }
      if (::poll(fds.data(), fds.size(), 100) <= 0) continue;
      for (const pollfd& p : fds) {
        if (!p.revents) continue;
        if (o.udp) {
          sockaddr_in from{};
          socklen_t fl = sizeof from;
          const ssize_t n = ::recvfrom(fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &fl);
          if (n <= 0) continue;
          Conn& c = o.server ? udpPeers[AddrKey(from)] : conns[fd];
          c.peer = from;
          c.in.clear();  // a datagram is a block of its own
          Feed(c, buf, static_cast<std::size_t>(n));
        } else if (o.server && p.fd == fd) {
          const int cfd = ::accept(fd, nullptr, nullptr);
          if (cfd >= 0) {
            ::setsockopt(cfd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            conns[cfd].fd = cfd;
            std::printf("accepted\n");
          }
        } else {
          const ssize_t n = ::recv(p.fd, buf, sizeof buf, 0);
          if (n <= 0) {
            std::printf("closed\n");
            ::close(p.fd);
            conns.erase(p.fd);
            if (!o.server) return 0;
            continue;
          }
          Feed(conns[p.fd], buf, static_cast<std::size_t>(n));
        }
      }
      std::fflush(stdout);
    }
    return 0;
  }
};

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (argc < 2) {
    std::fprintf(stderr, "usage: netpeer server|client [--udp] [--port N] [--host A] [--mode M] [--frames N] "
                         "[--seconds S] [--delay MS]\n");
    return 2;
  }
  o.server = std::strcmp(argv[1], "server") == 0;
  for (int i = 2; i < argc; ++i) {
    const std::string a = argv[i];
    auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
    if (a == "--udp") o.udp = true;
    else if (a == "--port") o.port = std::atoi(next().c_str());
    else if (a == "--host") o.host = next();
    else if (a == "--mode") o.mode = next();
    else if (a == "--frames") o.frames = std::atoi(next().c_str());
    else if (a == "--seconds") o.seconds = std::atoi(next().c_str());
    else if (a == "--delay") o.delayMs = std::atoi(next().c_str());
  }
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  Peer p;
  p.o = o;
  return p.Run();
}
