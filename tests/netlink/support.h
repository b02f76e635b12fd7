// Helpers of the link tests: a caller window that records what it
// gets, a loop that pumps real loopback sockets and virtual timers, and the
// test peer as a child process.
#pragma once
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "netlink/lorquin32.h"
#include "platform/eventloop.h"
#include "platform/messages.h"
#include "platform/net/asyncsocket.h"
#include "tests/support/childprocess.h"
#include "tests/support/netrig.h"

namespace nltest {

using Bytes = std::vector<std::uint8_t>;

struct Caller : plat::IMessageTarget {
  std::vector<plat::Message> got;
  std::function<void(const plat::Message&)> on;
  plat::WindowId id = plat::RegisterTarget(this);
  ~Caller() override { plat::UnregisterTarget(id); }
  plat::LRESULT OnMessage(const plat::Message& m) override {
    got.push_back(m);
    if (on) on(m);
    return 0;
  }
  int Count(plat::UINT msg) const {
    int n = 0;
    for (const auto& m : got) n += m.msg == msg;
    return n;
  }
  const plat::Message* Last(plat::UINT msg) const {
    for (auto it = got.rbegin(); it != got.rend(); ++it)
      if (it->msg == msg) return &*it;
    return nullptr;
  }
  std::vector<const plat::Message*> All(plat::UINT msg) const {
    std::vector<const plat::Message*> r;
    for (const auto& m : got)
      if (m.msg == msg) r.push_back(&m);
    return r;
  }
  static std::string Name(const plat::Message& m) {
    return m.payload.empty() ? std::string() : std::string(reinterpret_cast<const char*>(m.payload.data()));
  }
};

struct Net {
  plat::ManualLoop loop;
  // Each round waits up to 10 ms for the sockets (or sleeps 5 ms when no
  // socket is watched, e.g. while a child process starts).
  bool Until(const std::function<bool()>& cond, int rounds = 400) {
    for (int i = 0; i < rounds; ++i) {
      loop.RunUntilIdle();
      if (cond()) return true;
      if (plat::net::OpenSocketCount() == 0 || plat::net::PumpSockets(10) == 0) ::usleep(5000);
    }
    loop.RunUntilIdle();
    return cond();
  }
  void Settle(int rounds = 10) {
    for (int i = 0; i < rounds; ++i) {
      plat::net::PumpSockets(5);
      loop.RunUntilIdle();
    }
  }
  // Moves virtual time in steps, letting sockets carry what the timers sent.
  void Advance(std::uint64_t ms, std::uint64_t step = 1000) {
    while (ms > 0) {
      const std::uint64_t d = ms < step ? ms : step;
      loop.Advance(d);
      Settle(2);
      ms -= d;
    }
  }
};

using netrig::FreePort;

// A CSTA message record of the given type, numbered by seq.
inline Bytes CstaRecord(std::uint16_t type, std::uint32_t seq) {
  Bytes r(982, 0);
  std::memcpy(r.data(), &seq, 4);
  r[8] = type & 0xFF;
  r[9] = type >> 8;
  for (std::size_t i = 10; i < 60; ++i) r[i] = static_cast<std::uint8_t>(seq * 3 + i);
  return r;
}

// The record a receiver gets for a sent record: the type's wire size of it,
// zeros after.
inline Bytes Received(const Bytes& rec, std::size_t wireSize) {
  Bytes r(982, 0);
  std::memcpy(r.data(), rec.data(), wireSize);
  return r;
}

// The test peer as a child process; its output lines go to a file.
class Peer : public childprocess::ChildProcess {
 public:
  explicit Peer(std::vector<std::string> args)
      : ChildProcess("netpeer", WithTimeLimit(std::move(args)), {.out = {}, .errorsToo = false, .stopSignal = SIGTERM}) {}

 private:
  static std::vector<std::string> WithTimeLimit(std::vector<std::string> args) {
    args.push_back("--seconds");
    args.push_back("20");
    return args;
  }
};

}  // namespace nltest
