// The registration protocol as pure functions: a received control frame in,
// the answers to send back and the notices for the caller out.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "netlink/frame.h"
#include "platform/win32types.h"

namespace netlink {

struct Notice {
  plat::UINT msg = 0;
  std::uint64_t wParam = 0;
  bool posted = false;  // else sent
  bool hasName = false;
  std::string name;
};

struct ControlActions {
  std::vector<ControlFrame> replies;  // back to the connection the frame came on
  std::vector<Notice> notices;
  bool confirmAlive = false;       // an alive answer arrived
  bool registered = false;         // a registration took effect (id below)
  std::uint16_t registeredId = 0;
  bool unregistered = false;       // server: the connection gave its id up
};

class ServerControl {
 public:
  static constexpr int kConnections = 9;
  static constexpr std::uint16_t kIdBase = 256;
  struct Logical {
    std::uint8_t state = 0;  // 0 free, 2 registered
    std::uint16_t id = 0;
    std::uint32_t key = 0;
    std::uint32_t owner = 0;  // the connection that registered it
    std::array<std::uint8_t, kAddressBlockSize> addr{};
  };

  // owner names the connection the frame arrived on (never 0).
  ControlActions Handle(const std::uint8_t* frame, std::size_t len, std::uint32_t owner, std::uint32_t serverKey);
  // Frees what a closed connection had registered; returns how many.
  int DropOwner(std::uint32_t owner);
  const Logical* FindById(std::uint16_t id) const;
  int RegisteredCount() const;
  const std::array<Logical, kConnections>& Table() const { return table_; }

 private:
  std::array<Logical, kConnections> table_{};
};

class ClientControl {
 public:
  enum State : std::uint8_t { kIdle = 0, kHelloAnswered = 1, kRegistered = 2 };

  // ownKey: the key of the connection's own end; slot: the socket slot the
  // frames go out on.
  ControlActions Handle(const std::uint8_t* frame, std::size_t len, std::uint32_t ownKey, std::uint32_t slot);
  static ControlFrame Hello(std::uint32_t ownKey, std::uint32_t slot);
  ControlFrame Unregister(std::uint32_t ownKey, std::uint32_t slot) const;
  ControlFrame AliveRequest(std::uint32_t ownKey) const;
  void Reset();

  State state() const { return state_; }
  std::uint16_t id() const { return id_; }
  std::uint32_t serverKey() const { return serverKey_; }

 private:
  State state_ = kIdle;
  std::uint16_t id_ = 0;
  std::uint32_t serverKey_ = 0;
};

}  // namespace netlink
