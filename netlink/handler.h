// One endpoint of the network link: its sockets, client slots, the
// registration protocol of its role, the alive supervision and the
// deliveries to the caller's window.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "netlink/control.h"
#include "netlink/splitter.h"
#include "platform/messages.h"
#include "platform/net/asyncsocket.h"

namespace netlink {

enum class Role { None, Server, Client, Multi };

struct NotifySlot {
  plat::WindowId wnd = 0;  // 0: none
  plat::UINT msg = 0;
};
constexpr int kNotifySlots = 31;

// Timer ids on the handler's own target.
constexpr plat::UINT kTimerAlive = 0, kTimerCollection = 1, kTimerRetry = 3, kTimerSilence = 5, kTimerHello = 6;
constexpr plat::UINT kAliveMs = 9000, kCollectionMs = 53729, kRetryMs = 1000, kDatagramRetryMs = 10000;
// A server drops a registered peer that has sent nothing for this long
// (a client's alive round is 9000 + 53729 ms).
constexpr std::uint64_t kSilenceLimitMs = 3ull * kCollectionMs;
// A server closes a connection that has not registered this long after it
// came (or after its last data frame: a multi-role peer never registers),
// so idle connections cannot take every slot.
constexpr std::uint64_t kHelloTimeoutMs = 10000;
// Bytes a connection may hold back while its peer does not read.
constexpr std::size_t kSendQueueCap = 64 * 1024;
// Received bytes a connection buffers while one of its frames is being
// delivered (a caller's modal loop); beyond this the socket is left unread.
constexpr std::size_t kReadAheadCap = 64 * 1024;
// Frames sent while a received block is being dispatched are gathered per
// connection up to this many bytes and go out in one send when the block is
// done: a caller answering every frame costs one system call per block, not
// one per frame.
constexpr std::size_t kGatherCap = 16 * 1024;
// Chunks one read event takes at most before the other connections' turn.
constexpr int kReadRounds = 4;

class CNetworkHandler : public plat::IMessageTarget, public std::enable_shared_from_this<CNetworkHandler> {
 public:
  static constexpr int kSlots = 101;
  enum SlotState : std::uint8_t {
    kFree = 0, kConnected = 1, kAliveConfirmed = 2, kAliveOutstanding = 3, kHelloSent = 4, kRegistered = 5,
  };
  struct ClientSlot {
    plat::net::SOCKET socket = plat::net::INVALID_SOCKET;
    plat::net::SockAddr peer;
    std::uint16_t clientId = 0;
    std::uint16_t formerId = 0;  // server: the id this connection gave up
    std::uint8_t state = kFree;
    std::uint16_t retry = 0;
    // Beyond the plain record: stream reassembly, the held-back bytes, the
    // own end's key, and what keeps re-entrant delivery consistent.
    StreamSplitter splitter;
    std::vector<std::uint8_t> outq;
    std::uint32_t ownKey = 0;
    std::uint32_t serial = 0;  // changes whenever the slot is taken anew
    bool dispatching = false;
    bool readDeferred = false;  // a read left for after the delivery
    bool closing = false;  // unregister sent; no hello again
    bool gathered = false;  // outq holds only frames gathered during a dispatch
    std::uint64_t lastHeard = 0;
    std::uint64_t waitingSince = 0;  // server: start of the hello time-out
  };

  CNetworkHandler(Role role, std::uint16_t handle);
  ~CNetworkHandler() override;
  CNetworkHandler(const CNetworkHandler&) = delete;
  CNetworkHandler& operator=(const CNetworkHandler&) = delete;

  Role role() const { return role_; }
  std::uint16_t handle() const { return handle_; }
  plat::WindowId window() const { return self_; }
  void SetCaller(plat::WindowId w) { caller_ = w; }
  plat::WindowId caller() const { return caller_; }
  void SetRemote(std::uint32_t ip) { remote_ = ip; }
  std::uint32_t remote() const { return remote_; }
  void SetPort(std::uint16_t p) { port_ = p; }
  void SetDatagram(bool d) { datagram_ = d; }
  bool datagram() const { return datagram_; }
  void SetNotification(int slot, plat::WindowId wnd, plat::UINT msg);
  const NotifySlot& notification(int slot) const { return notify_[static_cast<std::size_t>(slot)]; }

  // Opens the socket for the role; failures are posted as 1599.
  bool Open();
  // Frames and sends a payload to a client id. 1 when handed to the socket
  // layer, 0 when refused.
  int Send(std::uint16_t clientId, std::uint8_t wireType, const void* data, std::size_t len);
  // Client: sends unregister on every registered connection; closing
  // closes each at once.
  void Unregister(bool closing);
  // Closes every socket and stops all reporting; the object may live on
  // while a caller up the stack still holds it.
  void Close();
  bool closed() const { return closed_; }

  std::function<void(const std::string&)> trace;
  const std::string& status() const { return status_; }
  int peers() const { return peers_; }
  const ClientSlot& slot(int i) const { return slots_[static_cast<std::size_t>(i)]; }
  const ServerControl& serverControl() const { return server_; }
  const ClientControl& clientControl() const { return client_; }
  std::uint64_t lostBytes() const { return lostBytes_; }
  plat::net::SOCKET listenSocket() const { return socket_; }

  plat::LRESULT OnMessage(const plat::Message& m) override;

 private:
  void Trace(const std::string& line);
  void PostError(int code);
  void Notify(const Notice& n);
  bool Deliver(int slot, const std::uint8_t* payload, std::size_t len);  // false when closed meanwhile
  void OnSocketEvent(plat::net::SOCKET s, plat::LPARAM l);
  void OnRead(plat::net::SOCKET s, int round = 0);
  void OnWrite(plat::net::SOCKET s);
  void OnAccept(plat::net::SOCKET s);
  void OnConnect(plat::net::SOCKET s);
  void OnClose(plat::net::SOCKET s, plat::LPARAM l);
  void OnTimer(plat::UINT id);
  void AliveControl();
  void AliveCollection();
  void SilenceCheck();
  void HelloCheck();
  void ArmHelloCheck();
  // Server with every slot taken: frees the unregistered connection that
  // has waited longest; false when there is none.
  bool DropLongestWaiting();
  int TakeServerSlot(plat::net::SOCKET s, const plat::net::SockAddr& peer);
  void ConfirmAlive();
  int TakeSlot(plat::net::SOCKET s, const plat::net::SockAddr& peer);
  int FindSlotBySocket(plat::net::SOCKET s) const;
  int FindSlotByPeer(const plat::net::SockAddr& peer) const;
  int FindSlotForClientId(std::uint16_t id) const;
  void Drain(int i);
  void Dispatch(int i, std::uint8_t* frame, std::size_t len);
  bool SendOnSlot(int i, const std::uint8_t* data, std::size_t len);
  void Flush(int i);
  void FlushGathered();
  void FreeSlot(int i);
  void LoseSlot(int i, plat::LPARAM l);
  std::uint32_t OwnKey(plat::net::SOCKET s) const;
  bool SharedSocket() const { return datagram_ && role_ == Role::Server; }

  Role role_;
  std::uint16_t handle_;
  plat::WindowId self_ = 0;
  plat::WindowId caller_ = 0;
  std::array<NotifySlot, kNotifySlots> notify_{};
  plat::net::SOCKET socket_ = plat::net::INVALID_SOCKET;
  std::uint16_t port_ = 4369;
  bool datagram_ = false;
  std::uint32_t remote_ = 0;
  int peers_ = 0;
  std::string status_;
  std::array<ClientSlot, kSlots> slots_;
  ServerControl server_;
  ClientControl client_;
  std::array<std::array<std::uint8_t, kRecvChunk>, 10> rbuf_{};
  int rnext_ = 0;
  std::uint32_t nextSerial_ = 1;
  std::uint64_t lostBytes_ = 0;
  int gathering_ = 0;  // depth of dispatches whose sends are gathered
  bool flushPosted_ = false;
  bool closed_ = false;
};

}  // namespace netlink
