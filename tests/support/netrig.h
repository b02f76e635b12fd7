// The network peer of the tests on the loopback: a free port, and a relay
// that registers its one client and then never answers again.
#pragma once
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <thread>

namespace netrig {

// A port that was free a moment ago.
inline std::uint16_t FreePort(bool udp = false) {
  const int fd = ::socket(AF_INET, udp ? SOCK_DGRAM : SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(fd);
  return ntohs(a.sin_port);
}

// Listens on the port; its one client's hello and registration are answered
// with success (the client gets id 256), and all it sends after is read
// and dropped unanswered. Listening() is false when the port was taken.
class SilentRelay {
 public:
  explicit SilentRelay(std::uint16_t port) : listener_(::socket(AF_INET, SOCK_STREAM, 0)) {
    int one = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    listening_ = ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && ::listen(listener_, 1) == 0;
    if (listening_) server_ = std::thread([this] { Serve(); });
  }
  ~SilentRelay() {
    stop_ = true;
    ::shutdown(listener_, SHUT_RDWR);  // an accept that still waits gives up
    if (server_.joinable()) server_.join();
    ::close(listener_);
  }
  SilentRelay(const SilentRelay&) = delete;
  SilentRelay& operator=(const SilentRelay&) = delete;

  bool Listening() const { return listening_; }
  // Bytes read and dropped after the registration.
  long Drained() const { return drained_; }

 private:
  static constexpr std::size_t kFrame = 78;

  void Serve() {
    const int c = ::accept(listener_, nullptr, nullptr);
    if (c < 0) return;
    timeval tv{0, 100000};
    ::setsockopt(c, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    auto readFrame = [&](std::uint8_t* f) {
      std::size_t got = 0;
      while (got < kFrame && !stop_) {
        const ssize_t n = ::recv(c, f + got, kFrame - got, 0);
        if (n > 0) got += static_cast<std::size_t>(n);
        if (n == 0) return false;
      }
      return got == kFrame;
    };
    // Hello, then register: each answered with success.
    for (std::uint8_t op : {std::uint8_t{2}, std::uint8_t{6}}) {
      std::uint8_t in[kFrame];
      if (!readFrame(in)) break;
      std::uint8_t out[kFrame] = {};
      std::memcpy(out, in, 17);
      out[26] = 47;
      out[30] = 2;
      std::memcpy(out + 31, in, 17);
      out[31 + 17] = op;
      if (op == 6) out[31 + 18] = 0, out[31 + 19] = 1, out[28] = 0;  // id 256
      out[31 + 22] = 1;
      out[31 + 23] = 127, out[31 + 26] = 1;
      ::send(c, out, sizeof out, MSG_NOSIGNAL);
    }
    std::uint8_t buf[2048];
    while (!stop_) {
      const ssize_t n = ::recv(c, buf, sizeof buf, 0);
      if (n == 0) break;
      if (n > 0) drained_ += n;
    }
    ::close(c);
  }

  int listener_;
  bool listening_ = false;
  std::atomic<bool> stop_{false};
  std::atomic<long> drained_{0};
  std::thread server_;
};

}  // namespace netrig
