#include "netlink/handler.h"

#include <algorithm>
#include <cstring>

#include "netlink/lorquin32.h"
#include "netlink/wsanames.h"
#include "platform/eventloop.h"
#include "platform/msgbox.h"
#include "platform/text.h"

namespace netlink {

using namespace plat::net;

namespace {

int NotifySlotOf(plat::UINT msg) {
  switch (msg) {
    case kMsgRegistered: return 10;
    case kMsgRegistrationRefused: return 11;
    case kMsgUnregistered: return 12;
    case kMsgUnregistrationRefused: return 13;
    case kMsgClientRegistered: return 18;
    case kMsgClientUnregistered: return 19;
    default: return -1;
  }
}


}  // namespace

CNetworkHandler::CNetworkHandler(Role role, std::uint16_t handle) : role_(role), handle_(handle) {
  self_ = plat::RegisterTarget(this);
}

CNetworkHandler::~CNetworkHandler() { Close(); }

void CNetworkHandler::SetNotification(int slot, plat::WindowId wnd, plat::UINT msg) {
  if (slot < 0 || slot >= kNotifySlots) return;
  notify_[static_cast<std::size_t>(slot)] = NotifySlot{wnd, msg};
}

void CNetworkHandler::Trace(const std::string& line) {
  status_ = line;
  if (trace && !line.empty()) trace(line);
}

void CNetworkHandler::PostError(int code) {
  const char* name = WsaErrorName(code);
  plat::PostMessage(caller_, kMsgSocketError, static_cast<plat::WPARAM>(code),
                    static_cast<plat::LPARAM>(std::strlen(name)), name, std::strlen(name) + 1);
}

void CNetworkHandler::Notify(const Notice& n) {
  const int s = NotifySlotOf(n.msg);
  if (s < 0) return;
  const NotifySlot& ns = notify_[static_cast<std::size_t>(s)];
  if (!ns.wnd) return;
  const void* data = n.hasName ? n.name.c_str() : nullptr;
  const std::size_t len = n.hasName ? n.name.size() + 1 : 0;
  const plat::LPARAM l = n.hasName ? static_cast<plat::LPARAM>(n.name.size()) : 0;
  if (n.posted)
    plat::PostMessage(ns.wnd, ns.msg, n.wParam, l, data, len);
  else
    plat::SendMessage(ns.wnd, ns.msg, n.wParam, l, data, len);
}

bool CNetworkHandler::Deliver(int slot, const std::uint8_t* payload, std::size_t len) {
  if (slot < 0 || slot >= kNotifySlots) return true;
  const NotifySlot ns = notify_[static_cast<std::size_t>(slot)];
  if (!ns.wnd) return true;
  std::array<std::uint8_t, kRecordSize> rec{};
  std::memcpy(rec.data(), payload, std::min(len, kRecordSize));
  plat::SendMessage(ns.wnd, ns.msg, handle_, static_cast<plat::LPARAM>(kRecordSize), rec.data(), rec.size());
  return !closed_;
}

std::uint32_t CNetworkHandler::OwnKey(SOCKET s) const {
  SockAddr a;
  if (GetSockName(s, &a) != 0) return 0;
  return KeyFor(a.ip, a.port);
}

bool CNetworkHandler::Open() {
  socket_ = Socket(datagram_);
  if (socket_ == INVALID_SOCKET) {
    plat::MessageBox(0, "Invalid Socket Type", "", plat::MB_OK);
    return false;
  }
  if (role_ == Role::Server) {
    SetReuseAddr(socket_, true);
    SockAddr any;
    any.port = port_;
    if (Bind(socket_, any) != 0) {
      PostError(LastError());
      return true;
    }
    if (!datagram_ && Listen(socket_, 5) != 0) {
      PostError(LastError());
      return true;
    }
    if (AsyncSelect(socket_, self_, kMsgSocketEvent, FD_READ | FD_WRITE | FD_ACCEPT | FD_CLOSE) != 0)
      PostError(LastError());
    if (datagram_) plat::SetTimer(self_, kTimerSilence, kCollectionMs);
    return true;
  }
  if (AsyncSelect(socket_, self_, kMsgSocketEvent, FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE) != 0) {
    PostError(LastError());
    return true;
  }
  if (!datagram_) {
    SetKeepAlive(socket_, 30, 10, 3);
    SetNoDelay(socket_, true);
  }
  SockAddr to;
  to.ip = remote_;
  to.port = port_;
  const int r = Connect(socket_, to);
  if (r == 0) {
    // A datagram connect completes at once.
    OnConnect(socket_);
    if (role_ == Role::Client) plat::SetTimer(self_, kTimerRetry, kDatagramRetryMs);
  } else if (LastError() != WSAEWOULDBLOCK) {
    PostError(LastError());
  }
  return true;
}

int CNetworkHandler::TakeSlot(SOCKET s, const SockAddr& peer) {
  for (int i = 0; i < kSlots; ++i) {
    ClientSlot& c = slots_[static_cast<std::size_t>(i)];
    if (c.socket != INVALID_SOCKET) continue;
    c.socket = s;
    c.peer = peer;
    c.clientId = 0;
    c.formerId = 0;
    c.state = kConnected;
    c.retry = 0;
    c.splitter.Reset();
    c.outq.clear();
    c.ownKey = OwnKey(s);
    c.serial = nextSerial_++;
    c.dispatching = false;
    c.readDeferred = false;
    c.closing = false;
    c.gathered = false;
    c.lastHeard = plat::NowMs();
    c.waitingSince = c.lastHeard;
    ++peers_;
    return i;
  }
  return -1;
}

int CNetworkHandler::FindSlotBySocket(SOCKET s) const {
  if (s == INVALID_SOCKET) return -1;
  for (int i = 0; i < kSlots; ++i)
    if (slots_[static_cast<std::size_t>(i)].socket == s) return i;
  return -1;
}

int CNetworkHandler::FindSlotByPeer(const SockAddr& peer) const {
  for (int i = 0; i < kSlots; ++i) {
    const ClientSlot& c = slots_[static_cast<std::size_t>(i)];
    if (c.socket != INVALID_SOCKET && c.peer.ip == peer.ip && c.peer.port == peer.port) return i;
  }
  return -1;
}

int CNetworkHandler::FindSlotForClientId(std::uint16_t id) const {
  for (int i = 0; i < kSlots; ++i) {
    const ClientSlot& c = slots_[static_cast<std::size_t>(i)];
    if (c.socket == INVALID_SOCKET) continue;
    // A multi endpoint has no ids: its one connection takes everything.
    if (role_ == Role::Multi || c.clientId == id) return i;
  }
  return -1;
}

void CNetworkHandler::FreeSlot(int i) {
  ClientSlot& c = slots_[static_cast<std::size_t>(i)];
  if (c.socket == INVALID_SOCKET) return;
  if (!SharedSocket()) CloseSocket(c.socket);
  if (role_ == Role::Server) server_.DropOwner(c.serial);
  if (role_ == Role::Client) client_.Reset();
  c.socket = INVALID_SOCKET;
  c.state = kFree;
  c.clientId = 0;
  c.formerId = 0;
  c.retry = 0;
  c.splitter.Reset();
  c.outq.clear();
  c.outq.shrink_to_fit();
  c.serial = 0;
  c.dispatching = false;
  c.readDeferred = false;
  c.closing = false;
  c.gathered = false;
  if (peers_ > 0) --peers_;
}

void CNetworkHandler::LoseSlot(int i, plat::LPARAM l) {
  ClientSlot& c = slots_[static_cast<std::size_t>(i)];
  const bool hadState = c.state != kFree;
  plat::WPARAM w = handle_;
  if (role_ == Role::Server && c.clientId)
    w = c.clientId;
  else if (role_ == Role::Server && c.formerId && !server_.FindById(c.formerId))
    w = c.formerId;
  FreeSlot(i);
  if (hadState) plat::PostMessage(caller_, kMsgLinkLost, w, l);
}

plat::LRESULT CNetworkHandler::OnMessage(const plat::Message& m) {
  if (closed_) return 0;
  auto keep = shared_from_this();
  switch (m.msg) {
    case kMsgSocketEvent:
      OnSocketEvent(static_cast<SOCKET>(m.wParam), m.lParam);
      break;
    case plat::WM_TIMER:
      OnTimer(static_cast<plat::UINT>(m.wParam));
      break;
    case kMsgAliveTimeOut:
      Trace("AliveTimeOut");
      plat::PostMessage(caller_, kMsgLinkLost, handle_, 0);
      break;
    case kMsgAliveConfirmation:
      ConfirmAlive();
      break;
    case kMsgSendFrame:
      // Also reached from a caller's loop inside a delivery: what was
      // gathered does not wait for that delivery to return.
      flushPosted_ = false;
      FlushGathered();
      break;
    default:
      break;
  }
  return 0;
}

void CNetworkHandler::OnSocketEvent(SOCKET s, plat::LPARAM l) {
  const long event = SelectEvent(l);
  const int err = SelectError(l);
  if (err) PostError(err);
  switch (event) {
    case FD_READ: OnRead(s); break;
    case FD_WRITE: OnWrite(s); break;
    case FD_ACCEPT: OnAccept(s); break;
    case FD_CONNECT:
      if (err) {
        Trace(plat::StrFormatC("FD_CONNECT: %s", WsaErrorName(err)));
        // A failed connect leaves a socket that cannot be used again.
        if (s == socket_ && FindSlotBySocket(s) < 0) {
          CloseSocket(s);
          socket_ = INVALID_SOCKET;
        }
        break;
      }
      OnConnect(s);
      if (!closed_ && role_ == Role::Client && FindSlotBySocket(s) >= 0)
        plat::SetTimer(self_, kTimerRetry, kRetryMs);
      break;
    case FD_CLOSE: OnClose(s, l); break;
    default: break;
  }
}

void CNetworkHandler::OnRead(SOCKET s, int round) {
  std::uint8_t* buf = rbuf_[static_cast<std::size_t>(rnext_)].data();
  rnext_ = (rnext_ + 1) % static_cast<int>(rbuf_.size());
  int i = -1;
  int n = 0;
  if (SharedSocket() && s == socket_) {
    SockAddr from;
    n = RecvFrom(s, buf, static_cast<int>(kRecvChunk), &from);
    if (n <= 0) {
      if (n < 0 && LastError() != WSAEWOULDBLOCK) Trace("FD_READ-invalid");
      return;
    }
    i = FindSlotByPeer(from);
    if (i < 0) {
      i = TakeServerSlot(s, from);
      if (i < 0) {
        Trace("FD_ACCEPT- refused");
        return;
      }
      Trace("FD_ACCEPT");
    }
  } else {
    i = FindSlotBySocket(s);
    if (i < 0) {
      // Not (or no longer) a connection of ours: take the data off so that
      // the socket does not stay readable.
      if (s != socket_ || role_ != Role::Server) Recv(s, buf, static_cast<int>(kRecvChunk));
      return;
    }
    ClientSlot& d = slots_[static_cast<std::size_t>(i)];
    if (d.dispatching && d.splitter.Buffered() >= kReadAheadCap) {
      // A caller's loop runs inside one of this connection's deliveries:
      // leave the data to the socket (the peer is held back by the stream)
      // and read on once the delivery returns.
      d.readDeferred = true;
      return;
    }
    n = Recv(s, buf, static_cast<int>(kRecvChunk));
    if (n <= 0) {
      if (n < 0 && LastError() != WSAEWOULDBLOCK) Trace("FD_READ-invalid");
      return;
    }
  }
  ClientSlot& c = slots_[static_cast<std::size_t>(i)];
  if (c.state == kAliveOutstanding) c.state = kAliveConfirmed;
  c.lastHeard = plat::NowMs();
  Trace(plat::StrFormatC("RD-%i-%ix-%ir", static_cast<int>(s), i, n));
  if (datagram_) {
    // The datagram is the block; whole frames go on to the same queue a
    // stream uses, those that take "the rest" as full frames.
    SplitLoss loss;
    BlockSplitter b(buf, static_cast<std::size_t>(n), &loss);
    std::size_t len = 0;
    while (const std::uint8_t* f = b.Next(&len)) {
      std::size_t rule = 0;
      if (FrameLength(f, len, &rule) == Length::RestOfBlock) {
        std::array<std::uint8_t, kMaxFrame> full{};
        std::memcpy(full.data(), f, std::min(len, kMaxFrame));
        c.splitter.Append(full.data(), full.size());
      } else {
        c.splitter.Append(f, len);
      }
    }
    if (loss.bytes) {
      lostBytes_ += loss.bytes;
      Trace(plat::StrFormatC("RD-%i-%ix-%i drpd", static_cast<int>(s), i, static_cast<int>(loss.bytes)));
    }
  } else {
    c.splitter.Append(buf, static_cast<std::size_t>(n));
  }
  if (c.dispatching) return;  // the delivery further up the stack goes on with it
  const std::uint32_t serial = c.serial;
  Drain(i);
  // A full chunk most likely has more behind it: read it now instead of
  // after another round of the loop, a few chunks at most so that the other
  // connections get their turn.
  if (!datagram_ && n == static_cast<int>(kRecvChunk) && round < kReadRounds && !closed_ &&
      c.serial == serial && c.socket == s)
    OnRead(s, round + 1);
}

void CNetworkHandler::Drain(int i) {
  ClientSlot& c = slots_[static_cast<std::size_t>(i)];
  const std::uint32_t serial = c.serial;
  const std::uint64_t lostBefore = c.splitter.loss.bytes;
  struct Gather {
    CNetworkHandler* h;
    explicit Gather(CNetworkHandler* self) : h(self) { ++h->gathering_; }
    ~Gather() {
      if (--h->gathering_ == 0) h->FlushGathered();
    }
  } gather(this);
  c.dispatching = true;
  std::array<std::uint8_t, kMaxFrame> frame;
  while (!closed_ && c.serial == serial) {
    std::size_t len = 0;
    const std::uint8_t* f = c.splitter.Next(&len);
    if (!f) break;
    len = std::min(len, kMaxFrame);
    std::memcpy(frame.data(), f, len);
    Dispatch(i, frame.data(), len);
  }
  if (closed_ || c.serial != serial) return;
  c.dispatching = false;
  if (c.readDeferred) {
    c.readDeferred = false;
    plat::PostMessage(self_, kMsgSocketEvent, c.socket, MakeSelectReply(FD_READ, 0));
  }
  if (c.splitter.loss.bytes != lostBefore) {
    lostBytes_ += c.splitter.loss.bytes - lostBefore;
    Trace(plat::StrFormatC("RD-%i-%ix-%i drpd", static_cast<int>(c.socket), i,
                           static_cast<int>(c.splitter.loss.bytes - lostBefore)));
  }
}

void CNetworkHandler::Dispatch(int i, std::uint8_t* f, std::size_t len) {
  ClientSlot& c = slots_[static_cast<std::size_t>(i)];
  // Received frames are marked as coming by socket (the slot for a shared
  // datagram socket), so that answers find their way back.
  std::memset(f + kOffAddress, 0, kAddressBlockSize - 1);
  if (SharedSocket()) {
    f[kOffKind] = kAddrBySlot;
    PutU32(f + 1, static_cast<std::uint32_t>(i));
  } else {
    f[kOffKind] = kAddrBySocket;
    PutU16(f + 3, static_cast<std::uint16_t>(c.socket));
  }
  const std::uint8_t wire = f[kOffWireType];
  Trace(plat::StrFormatC("T=%u;", static_cast<unsigned>(wire)));
  if (wire == kWireControl) {
    ControlActions a;
    if (role_ == Role::Server) {
      a = server_.Handle(f, len, c.serial, c.ownKey);
      if (a.registered) c.clientId = a.registeredId;
      // The id may go to the next client at once: frames for it no longer
      // come here, and a later loss names it only while no one else has it.
      if (a.unregistered) {
        c.formerId = c.clientId;
        c.clientId = 0;
        c.waitingSince = plat::NowMs();
      }
    } else if (role_ == Role::Client) {
      a = client_.Handle(f, len, c.ownKey, static_cast<std::uint32_t>(i));
      if (a.registered) {
        c.clientId = a.registeredId;
        c.state = kRegistered;
        c.retry = 0;
        plat::KillTimer(self_, kTimerRetry);
        plat::SetTimer(self_, kTimerAlive, kAliveMs);
      }
    } else {
      return;  // the multi role ignores control frames
    }
    for (const ControlFrame& r : a.replies) SendOnSlot(i, r.data(), r.size());
    if (a.confirmAlive) ConfirmAlive();
    const std::uint32_t serial = c.serial;
    for (const Notice& n : a.notices) {
      Notify(n);
      if (closed_ || c.serial != serial) return;
    }
    return;
  }
  if (role_ == Role::Server && c.clientId == 0) c.waitingSince = plat::NowMs();
  if (wire <= 30) Deliver(wire, f + kHeaderSize, len - kHeaderSize);
}

void CNetworkHandler::OnWrite(SOCKET s) {
  const int i = FindSlotBySocket(s);
  if (i < 0) return;
  Flush(i);
  ClientSlot& c = slots_[static_cast<std::size_t>(i)];
  if (c.socket != s) return;
  // The hello goes out once a connection can carry data; later write
  // readiness only flushes what was held back.
  if (role_ == Role::Client && c.state == kConnected && !c.closing) {
    const ControlFrame h = ClientControl::Hello(c.ownKey, static_cast<std::uint32_t>(i));
    c.state = kHelloSent;
    Trace("FD_WRITE");
    SendOnSlot(i, h.data(), h.size());
  }
}

void CNetworkHandler::OnAccept(SOCKET s) {
  SockAddr peer;
  const SOCKET a = Accept(s, &peer);
  if (a == INVALID_SOCKET) return;
  if (role_ != Role::Server) {
    CloseSocket(a);
    Trace("FD_ACCEPT- refused");
    return;
  }
  const int i = TakeServerSlot(a, peer);
  if (i < 0) {
    CloseSocket(a);
    Trace("FD_ACCEPT- refused");
    return;
  }
  SetKeepAlive(a, 30, 10, 3);
  SetNoDelay(a, true);
  Trace("FD_ACCEPT");
  if (!plat::IsTimerArmed(self_, kTimerSilence)) plat::SetTimer(self_, kTimerSilence, kCollectionMs);
}

void CNetworkHandler::OnConnect(SOCKET s) {
  if (role_ != Role::Client && role_ != Role::Multi) {
    Trace("FD_CONNECT-refused");
    return;
  }
  if (FindSlotBySocket(s) >= 0) return;
  SockAddr peer;
  if (GetPeerName(s, &peer) != 0) {
    peer.ip = remote_;
    peer.port = port_;
  }
  if (TakeSlot(s, peer) < 0) {
    Trace("FD_CONNECT - But no room for new Client!");
    return;
  }
  if (s == socket_) socket_ = INVALID_SOCKET;  // the slot owns it now
  Trace("FD_CONNECT");
}

void CNetworkHandler::OnClose(SOCKET s, plat::LPARAM l) {
  const int i = FindSlotBySocket(s);
  const int err = SelectError(l);
  Trace(plat::StrFormatC("FD_CLOSE: S%i, ID%i, %s", static_cast<int>(s),
                         i >= 0 ? static_cast<int>(slots_[static_cast<std::size_t>(i)].clientId) : 0,
                         err ? WsaErrorName(err) : "WSANOERROR"));
  if (i < 0) {
    if (s == socket_ && role_ != Role::Server) {
      CloseSocket(s);
      socket_ = INVALID_SOCKET;
    }
    return;
  }
  LoseSlot(i, l);
}

bool CNetworkHandler::SendOnSlot(int i, const std::uint8_t* data, std::size_t len) {
  ClientSlot& c = slots_[static_cast<std::size_t>(i)];
  if (c.socket == INVALID_SOCKET) return false;
  if (gathering_ > 0 && !datagram_) {
    if ((c.outq.empty() || c.gathered) && c.outq.size() + len <= kGatherCap) {
      c.outq.insert(c.outq.end(), data, data + len);
      c.gathered = true;
      if (!flushPosted_) {
        flushPosted_ = true;
        plat::PostMessage(self_, kMsgSendFrame, 0, 0);
      }
      return true;
    }
    if (c.gathered) Flush(i);  // full: out with it, then this frame as usual
  }
  if (datagram_) {
    const int r = SharedSocket() ? SendTo(c.socket, data, static_cast<int>(len), c.peer)
                                 : plat::net::Send(c.socket, data, static_cast<int>(len));
    if (r < 0) Trace(plat::StrFormatC("Sending %i: %s", static_cast<int>(len), WsaErrorName(LastError())));
    return r >= 0;
  }
  // Bytes go out in order: behind what is held back, or held back
  // themselves when the socket cannot take them now. A peer that stops
  // reading loses its connection, never part of a frame.
  if (!c.outq.empty()) {
    if (c.outq.size() + len > kSendQueueCap) {
      Trace("Sending: queue full");
      LoseSlot(i, 0);
      return false;
    }
    c.outq.insert(c.outq.end(), data, data + len);
    return true;
  }
  const int r = plat::net::Send(c.socket, data, static_cast<int>(len));
  std::size_t sent = 0;
  if (r >= 0) {
    sent = static_cast<std::size_t>(r);
  } else if (LastError() != WSAEWOULDBLOCK) {
    Trace(plat::StrFormatC("Sending %i: %s", static_cast<int>(len), WsaErrorName(LastError())));
    return false;  // the close event follows
  }
  if (sent < len) {
    c.outq.insert(c.outq.end(), data + sent, data + len);
    if (sent > 0) Flush(i);  // would-block arms the write event
  }
  return true;
}

void CNetworkHandler::Flush(int i) {
  ClientSlot& c = slots_[static_cast<std::size_t>(i)];
  // Whatever the socket does not take now is held back as usual (the
  // failed send arms the write event).
  c.gathered = false;
  if (c.socket == INVALID_SOCKET) return;
  std::size_t done = 0;
  while (done < c.outq.size()) {
    const int r = plat::net::Send(c.socket, c.outq.data() + done, static_cast<int>(c.outq.size() - done));
    if (r <= 0) break;
    done += static_cast<std::size_t>(r);
  }
  c.outq.erase(c.outq.begin(), c.outq.begin() + static_cast<std::ptrdiff_t>(done));
}

void CNetworkHandler::FlushGathered() {
  if (closed_) return;
  for (int i = 0; i < kSlots; ++i)
    if (slots_[static_cast<std::size_t>(i)].gathered) Flush(i);
}

int CNetworkHandler::Send(std::uint16_t clientId, std::uint8_t wireType, const void* data, std::size_t len) {
  if (closed_) return 0;
  if (len == 0 || len > kMaxPayload || !data) {
    Trace(plat::StrFormatC("Sending l=%i refused", static_cast<int>(len)));
    return 0;
  }
  const std::vector<std::uint8_t> f = BuildDataFrame(wireType, clientId, data, len);
  if (f.empty()) {
    Trace(plat::StrFormatC("Sending T=%u refused", static_cast<unsigned>(wireType)));
    return 0;
  }
  const int i = FindSlotForClientId(clientId);
  if (i < 0) {
    Trace("Client not found!!");
    return 0;
  }
  Trace(plat::StrFormatC("Sending %i", static_cast<int>(f.size())));
  return SendOnSlot(i, f.data(), f.size()) ? 1 : 0;
}

void CNetworkHandler::Unregister(bool closing) {
  if (role_ != Role::Client) return;
  for (int i = 0; i < kSlots; ++i) {
    ClientSlot& c = slots_[static_cast<std::size_t>(i)];
    if (c.socket == INVALID_SOCKET || c.state == kHelloSent || c.closing) continue;
    if (client_.state() == ClientControl::kRegistered) {
      const ControlFrame u = client_.Unregister(c.ownKey, static_cast<std::uint32_t>(i));
      SendOnSlot(i, u.data(), u.size());
    }
    if (closing) {
      FreeSlot(i);
    } else if (c.socket != INVALID_SOCKET) {
      c.state = kHelloSent;
      c.closing = true;
    }
  }
}

void CNetworkHandler::Close() {
  if (closed_) return;
  closed_ = true;
  for (int i = 0; i < kSlots; ++i) FreeSlot(i);
  if (socket_ != INVALID_SOCKET) {
    CloseSocket(socket_);
    socket_ = INVALID_SOCKET;
  }
  if (self_) {
    plat::UnregisterTarget(self_);
    self_ = 0;
  }
}

void CNetworkHandler::OnTimer(plat::UINT id) {
  switch (id) {
    case kTimerAlive:
    case kTimerRetry:
      AliveControl();
      break;
    case kTimerCollection:
      AliveCollection();
      break;
    case kTimerSilence:
      SilenceCheck();
      break;
    case kTimerHello:
      HelloCheck();
      break;
    default:
      break;
  }
}

void CNetworkHandler::AliveControl() {
  if (role_ != Role::Client) return;
  Trace("AliveControl");
  for (int i = 0; i < kSlots; ++i) {
    ClientSlot& c = slots_[static_cast<std::size_t>(i)];
    if (c.socket == INVALID_SOCKET || c.closing) continue;
    if (c.state == kConnected || c.state == kHelloSent) {
      Trace("OpenLogicalConnection");
      const ControlFrame h = ClientControl::Hello(c.ownKey, static_cast<std::uint32_t>(i));
      c.state = kHelloSent;
      SendOnSlot(i, h.data(), h.size());
    } else if (c.state == kAliveConfirmed || c.state == kRegistered) {
      Trace("Alive Control");
      const ControlFrame a = client_.AliveRequest(c.ownKey);
      c.state = kAliveOutstanding;
      SendOnSlot(i, a.data(), a.size());
    }
  }
  plat::SetTimer(self_, kTimerCollection, kCollectionMs);
}

void CNetworkHandler::ConfirmAlive() {
  Trace("AliveConfirmation");
  for (ClientSlot& c : slots_)
    if (c.socket != INVALID_SOCKET && c.state == kAliveOutstanding) c.state = kAliveConfirmed;
}

void CNetworkHandler::AliveCollection() {
  if (role_ != Role::Client) return;
  Trace("AliveCollection");
  for (int i = 0; i < kSlots; ++i) {
    ClientSlot& c = slots_[static_cast<std::size_t>(i)];
    if (c.socket == INVALID_SOCKET) continue;
    if (c.state == kAliveOutstanding) {
      c.state = kAliveConfirmed;
      ++c.retry;
      if (c.retry < 5) {
        Trace(plat::StrFormatC("Retry On Client %i", i));
        break;
      }
      plat::PostMessage(caller_, kMsgLinkLost, handle_, 0);
      i = -1;  // scan again from the first slot
      continue;
    }
    if (c.state == kHelloSent) {
      c.state = kConnected;
      if (!c.closing && notify_[11].wnd) plat::PostMessage(notify_[11].wnd, notify_[11].msg, 0, 0);
      continue;
    }
    c.retry = 0;
  }
  plat::SetTimer(self_, kTimerAlive, kAliveMs);
}

int CNetworkHandler::TakeServerSlot(SOCKET s, const SockAddr& peer) {
  int i = TakeSlot(s, peer);
  if (i < 0 && DropLongestWaiting()) i = TakeSlot(s, peer);
  if (i >= 0) ArmHelloCheck();
  return i;
}

bool CNetworkHandler::DropLongestWaiting() {
  int oldest = -1;
  for (int i = 0; i < kSlots; ++i) {
    const ClientSlot& c = slots_[static_cast<std::size_t>(i)];
    // A connection whose frames are being delivered further up the stack
    // is left alone.
    if (c.socket == INVALID_SOCKET || c.clientId != 0 || c.dispatching) continue;
    if (oldest < 0 || c.waitingSince < slots_[static_cast<std::size_t>(oldest)].waitingSince) oldest = i;
  }
  if (oldest < 0) return false;
  const ClientSlot& c = slots_[static_cast<std::size_t>(oldest)];
  Trace(plat::StrFormatC("FD_ACCEPT - unregistered S%i dropped", static_cast<int>(c.socket)));
  LoseSlot(oldest, 0);
  return true;
}

void CNetworkHandler::ArmHelloCheck() {
  if (!plat::IsTimerArmed(self_, kTimerHello)) plat::SetTimer(self_, kTimerHello, kHelloTimeoutMs);
}

void CNetworkHandler::HelloCheck() {
  if (role_ != Role::Server) return;
  const std::uint64_t now = plat::NowMs();
  std::uint64_t next = 0;
  for (int i = 0; i < kSlots; ++i) {
    ClientSlot& c = slots_[static_cast<std::size_t>(i)];
    if (c.socket == INVALID_SOCKET || c.clientId != 0) continue;
    std::uint64_t due = c.waitingSince + kHelloTimeoutMs;
    if (c.dispatching) due = std::max(due, now + kRetryMs);  // not while its frames are delivered
    if (now >= due) {
      Trace(plat::StrFormatC("HelloTimeOut S%i", static_cast<int>(c.socket)));
      LoseSlot(i, 0);
      continue;
    }
    if (next == 0 || due < next) next = due;
  }
  if (next) plat::SetTimer(self_, kTimerHello, static_cast<plat::UINT>(next - now));
}

void CNetworkHandler::SilenceCheck() {
  if (role_ != Role::Server) return;
  const std::uint64_t now = plat::NowMs();
  bool any = false;
  for (int i = 0; i < kSlots; ++i) {
    ClientSlot& c = slots_[static_cast<std::size_t>(i)];
    if (c.socket == INVALID_SOCKET) continue;
    any = true;
    // A stream peer that never registered has no alive rounds to miss; TCP
    // keep-alive finds it if it is gone. A datagram peer has nothing else.
    if (!datagram_ && c.clientId == 0) continue;
    if (now - c.lastHeard > kSilenceLimitMs) {
      Trace(plat::StrFormatC("AliveTimeOut S%i, ID%i", static_cast<int>(c.socket), static_cast<int>(c.clientId)));
      LoseSlot(i, 0);
    }
  }
  if (any || datagram_) plat::SetTimer(self_, kTimerSilence, kCollectionMs);
}

}  // namespace netlink
