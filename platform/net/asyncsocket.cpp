#include "platform/net/asyncsocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include <QCoreApplication>
#include <QSocketNotifier>

#include "platform/eventloop.h"
#include "platform/messages.h"

namespace plat::net {
namespace {

struct Entry {
  int fd = -1;
  bool datagram = false;
  bool listening = false;
  bool connecting = false;
  bool connected = false;  // stream: connected or accepted; datagram: bound or connected
  bool wantWrite = false;  // a send would have blocked
  bool readPending = false;  // FD_READ/FD_ACCEPT reported, not yet taken
  bool eof = false;          // FD_CLOSE reported
  WindowId window = 0;
  UINT msg = 0;
  long events = 0;
  bool useQt = false;
  std::unique_ptr<QSocketNotifier> rn, wn;
};

std::map<SOCKET, Entry>& Table() {
  static auto* t = new std::map<SOCKET, Entry>;
  return *t;
}
SOCKET g_nextId = 1;
thread_local int g_lastError = 0;

int Fail(int wsa) {
  g_lastError = wsa;
  return SOCKET_ERROR;
}
int FailErrno() { return Fail(ErrnoToWsa(errno)); }

Entry* Find(SOCKET s) {
  auto it = Table().find(s);
  return it == Table().end() ? nullptr : &it->second;
}

sockaddr_in ToSockaddr(const SockAddr& a) {
  sockaddr_in sin{};
  sin.sin_family = AF_INET;
  sin.sin_port = htons(a.port);
  std::uint8_t b[4] = {static_cast<std::uint8_t>(a.ip & 0xFF), static_cast<std::uint8_t>((a.ip >> 8) & 0xFF),
                       static_cast<std::uint8_t>((a.ip >> 16) & 0xFF), static_cast<std::uint8_t>(a.ip >> 24)};
  std::memcpy(&sin.sin_addr.s_addr, b, 4);
  return sin;
}

SockAddr FromSockaddr(const sockaddr_in& sin) {
  std::uint8_t b[4];
  std::memcpy(b, &sin.sin_addr.s_addr, 4);
  SockAddr a;
  a.ip = static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
         (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
  a.port = ntohs(sin.sin_port);
  return a;
}

bool ReadArmed(const Entry& e) {
  return e.events != 0 && !e.readPending && !e.eof && (e.listening || e.connected);
}
bool WriteArmed(const Entry& e) { return e.events != 0 && (e.connecting || e.wantWrite); }

void Post(const Entry& e, SOCKET s, long event, int error) {
  if (e.window) plat::PostMessage(e.window, e.msg, s, MakeSelectReply(event, error));
}

void Sync(SOCKET s, Entry& e);

void OnReadable(SOCKET s) {
  Entry* e = Find(s);
  if (!e || !ReadArmed(*e)) return;
  if (e->listening) {
    e->readPending = true;
    if (e->events & FD_ACCEPT) Post(*e, s, FD_ACCEPT, 0);
  } else if (e->datagram) {
    e->readPending = true;
    if (e->events & FD_READ) Post(*e, s, FD_READ, 0);
  } else {
    char c;
    const ssize_t n = ::recv(e->fd, &c, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n > 0) {
      e->readPending = true;
      if (e->events & FD_READ) Post(*e, s, FD_READ, 0);
    } else if (n == 0) {
      e->eof = true;
      if (e->events & FD_CLOSE) Post(*e, s, FD_CLOSE, 0);
    } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
      e->eof = true;
      if (e->events & FD_CLOSE) Post(*e, s, FD_CLOSE, ErrnoToWsa(errno));
    }
  }
  Sync(s, *e);
}

void OnWritable(SOCKET s) {
  Entry* e = Find(s);
  if (!e || !WriteArmed(*e)) return;
  if (e->connecting) {
    int err = 0;
    socklen_t len = sizeof err;
    ::getsockopt(e->fd, SOL_SOCKET, SO_ERROR, &err, &len);
    e->connecting = false;
    e->connected = err == 0;
    if (e->events & FD_CONNECT) Post(*e, s, FD_CONNECT, err ? ErrnoToWsa(err) : 0);
    if (err == 0 && (e->events & FD_WRITE)) Post(*e, s, FD_WRITE, 0);
  } else {
    e->wantWrite = false;
    if (e->events & FD_WRITE) Post(*e, s, FD_WRITE, 0);
  }
  Sync(s, *e);
}

void Sync(SOCKET s, Entry& e) {
  if (!e.useQt) return;
  if (!e.rn) {
    e.rn = std::make_unique<QSocketNotifier>(e.fd, QSocketNotifier::Read);
    QObject::connect(e.rn.get(), &QSocketNotifier::activated, [s] { OnReadable(s); });
    e.wn = std::make_unique<QSocketNotifier>(e.fd, QSocketNotifier::Write);
    QObject::connect(e.wn.get(), &QSocketNotifier::activated, [s] { OnWritable(s); });
  }
  e.rn->setEnabled(ReadArmed(e));
  e.wn->setEnabled(WriteArmed(e));
}

SOCKET NewId() {
  for (int tries = 0; tries < 0xFFFE; ++tries) {
    const SOCKET id = g_nextId;
    g_nextId = g_nextId >= 0xFFFE ? 1 : g_nextId + 1;
    if (!Table().count(id)) return id;
  }
  return INVALID_SOCKET;
}

SOCKET Adopt(int fd, bool datagram) {
  const SOCKET id = NewId();
  if (id == INVALID_SOCKET) {
    ::close(fd);
    Fail(WSAEMFILE);
    return INVALID_SOCKET;
  }
  Entry& e = Table()[id];
  e.fd = fd;
  e.datagram = datagram;
  return id;
}

// What a send answers, from the count it sent (errno as it left it); one
// that would block waits for the socket to take more.
int Sent(SOCKET s, Entry& e, ssize_t n) {
  if (n < 0) {
    const int err = errno;
    if (err == EAGAIN || err == EWOULDBLOCK) {
      e.wantWrite = true;
      Sync(s, e);
    }
    return Fail(ErrnoToWsa(err));
  }
  return static_cast<int>(n);
}

// An on/off socket option.
int SetSwitch(SOCKET s, int level, int name, bool on) {
  Entry* e = Find(s);
  if (!e) return Fail(WSAENOTSOCK);
  const int v = on ? 1 : 0;
  if (::setsockopt(e->fd, level, name, &v, sizeof v) != 0) return FailErrno();
  return 0;
}

}  // namespace

int ErrnoToWsa(int err) {
  switch (err) {
    case 0: return 0;
    case EINTR: return WSAEINTR;
    case EBADF: return WSAEBADF;
    case EACCES: case EPERM: return WSAEACCES;
    case EFAULT: return WSAEFAULT;
    case EINVAL: return WSAEINVAL;
    case EMFILE: case ENFILE: return WSAEMFILE;
#if EAGAIN != EWOULDBLOCK
    case EWOULDBLOCK:
#endif
    case EAGAIN: return WSAEWOULDBLOCK;
    case EINPROGRESS: return WSAEINPROGRESS;
    case EALREADY: return WSAEALREADY;
    case ENOTSOCK: return WSAENOTSOCK;
    case EDESTADDRREQ: return WSAEDESTADDRREQ;
    case EMSGSIZE: return WSAEMSGSIZE;
    case EPROTOTYPE: return WSAEPROTOTYPE;
    case ENOPROTOOPT: return WSAENOPROTOOPT;
    case EPROTONOSUPPORT: return WSAEPROTONOSUPPORT;
    case ESOCKTNOSUPPORT: return WSAESOCKTNOSUPPORT;
    case EOPNOTSUPP: return WSAEOPNOTSUPP;
    case EPFNOSUPPORT: return WSAEPFNOSUPPORT;
    case EAFNOSUPPORT: return WSAEAFNOSUPPORT;
    case EADDRINUSE: return WSAEADDRINUSE;
    case EADDRNOTAVAIL: return WSAEADDRNOTAVAIL;
    case ENETDOWN: return WSAENETDOWN;
    case ENETUNREACH: return WSAENETUNREACH;
    case ENETRESET: return WSAENETRESET;
    case ECONNABORTED: return WSAECONNABORTED;
    case ECONNRESET: case EPIPE: return WSAECONNRESET;
    case ENOBUFS: case ENOMEM: return WSAENOBUFS;
    case EISCONN: return WSAEISCONN;
    case ENOTCONN: return WSAENOTCONN;
    case ESHUTDOWN: return WSAESHUTDOWN;
    case ETOOMANYREFS: return WSAETOOMANYREFS;
    case ETIMEDOUT: return WSAETIMEDOUT;
    case ECONNREFUSED: return WSAECONNREFUSED;
    case ELOOP: return WSAELOOP;
    case ENAMETOOLONG: return WSAENAMETOOLONG;
    case EHOSTDOWN: return WSAEHOSTDOWN;
    case EHOSTUNREACH: return WSAEHOSTUNREACH;
    default: return WSAEINVAL;
  }
}

int LastError() { return g_lastError; }

SOCKET Socket(bool datagram) {
  const int fd = ::socket(AF_INET, (datagram ? SOCK_DGRAM : SOCK_STREAM) | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    FailErrno();
    return INVALID_SOCKET;
  }
  return Adopt(fd, datagram);
}

int Bind(SOCKET s, const SockAddr& a) {
  Entry* e = Find(s);
  if (!e) return Fail(WSAENOTSOCK);
  const sockaddr_in sin = ToSockaddr(a);
  if (::bind(e->fd, reinterpret_cast<const sockaddr*>(&sin), sizeof sin) != 0) return FailErrno();
  if (e->datagram) e->connected = true;
  Sync(s, *e);
  return 0;
}

int Listen(SOCKET s, int backlog) {
  Entry* e = Find(s);
  if (!e) return Fail(WSAENOTSOCK);
  if (e->datagram) return Fail(WSAEOPNOTSUPP);
  if (::listen(e->fd, backlog) != 0) return FailErrno();
  e->listening = true;
  Sync(s, *e);
  return 0;
}

SOCKET Accept(SOCKET s, SockAddr* peer) {
  Entry* e = Find(s);
  if (!e) {
    Fail(WSAENOTSOCK);
    return INVALID_SOCKET;
  }
  e->readPending = false;
  sockaddr_in sin{};
  socklen_t len = sizeof sin;
  const int fd = ::accept4(e->fd, reinterpret_cast<sockaddr*>(&sin), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
  Sync(s, *e);
  if (fd < 0) {
    FailErrno();
    return INVALID_SOCKET;
  }
  if (peer) *peer = FromSockaddr(sin);
  const WindowId window = e->window;
  const UINT msg = e->msg;
  const long events = e->events;
  const bool useQt = e->useQt;
  const SOCKET id = Adopt(fd, false);  // may rehash: e is not used below
  if (id == INVALID_SOCKET) return INVALID_SOCKET;
  Entry& n = Table()[id];
  n.connected = true;
  // An accepted socket reports like the socket it came from.
  n.window = window;
  n.msg = msg;
  n.events = events;
  n.useQt = useQt;
  if (events & FD_WRITE) Post(n, id, FD_WRITE, 0);
  Sync(id, n);
  return id;
}

int Connect(SOCKET s, const SockAddr& a) {
  Entry* e = Find(s);
  if (!e) return Fail(WSAENOTSOCK);
  const sockaddr_in sin = ToSockaddr(a);
  // The any-address is no destination (here it would reach this host):
  // refused as an address not available, like an unknown host's 0.
  const int r = a.ip == 0 ? (errno = EADDRNOTAVAIL, -1)
                          : ::connect(e->fd, reinterpret_cast<const sockaddr*>(&sin), sizeof sin);
  if (e->datagram) {
    if (r != 0) return FailErrno();
    e->connected = true;
    if (e->events & FD_WRITE) Post(*e, s, FD_WRITE, 0);
    Sync(s, *e);
    return 0;
  }
  if (r == 0 || errno == EINPROGRESS) {
    // Completion is reported by FD_CONNECT in every case.
    e->connecting = true;
    Sync(s, *e);
    return Fail(WSAEWOULDBLOCK);
  }
  const int err = ErrnoToWsa(errno);
  if (e->events & FD_CONNECT) {
    Post(*e, s, FD_CONNECT, err);
    return Fail(WSAEWOULDBLOCK);
  }
  return Fail(err);
}

int Recv(SOCKET s, void* buf, int len) {
  Entry* e = Find(s);
  if (!e) return Fail(WSAENOTSOCK);
  const ssize_t n = ::recv(e->fd, buf, static_cast<std::size_t>(len), MSG_DONTWAIT);
  const int err = errno;
  e->readPending = false;
  Sync(s, *e);
  if (n < 0) return Fail(ErrnoToWsa(err));
  return static_cast<int>(n);
}

int RecvFrom(SOCKET s, void* buf, int len, SockAddr* from) {
  Entry* e = Find(s);
  if (!e) return Fail(WSAENOTSOCK);
  sockaddr_in sin{};
  socklen_t sl = sizeof sin;
  const ssize_t n = ::recvfrom(e->fd, buf, static_cast<std::size_t>(len), MSG_DONTWAIT,
                               reinterpret_cast<sockaddr*>(&sin), &sl);
  const int err = errno;
  e->readPending = false;
  Sync(s, *e);
  if (n < 0) return Fail(ErrnoToWsa(err));
  if (from) *from = FromSockaddr(sin);
  return static_cast<int>(n);
}

int Send(SOCKET s, const void* buf, int len) {
  Entry* e = Find(s);
  if (!e) return Fail(WSAENOTSOCK);
  return Sent(s, *e, ::send(e->fd, buf, static_cast<std::size_t>(len), MSG_DONTWAIT | MSG_NOSIGNAL));
}

int SendTo(SOCKET s, const void* buf, int len, const SockAddr& to) {
  Entry* e = Find(s);
  if (!e) return Fail(WSAENOTSOCK);
  const sockaddr_in sin = ToSockaddr(to);
  return Sent(s, *e,
              ::sendto(e->fd, buf, static_cast<std::size_t>(len), MSG_DONTWAIT | MSG_NOSIGNAL,
                       reinterpret_cast<const sockaddr*>(&sin), sizeof sin));
}

int CloseSocket(SOCKET s) {
  auto it = Table().find(s);
  if (it == Table().end()) return Fail(WSAENOTSOCK);
  it->second.rn.reset();
  it->second.wn.reset();
  ::close(it->second.fd);
  Table().erase(it);
  return 0;
}

int AbortSocket(SOCKET s) {
  Entry* e = Find(s);
  if (!e) return Fail(WSAENOTSOCK);
  linger l{1, 0};
  ::setsockopt(e->fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
  return CloseSocket(s);
}

int GetSockName(SOCKET s, SockAddr* a) {
  Entry* e = Find(s);
  if (!e) return Fail(WSAENOTSOCK);
  sockaddr_in sin{};
  socklen_t len = sizeof sin;
  if (::getsockname(e->fd, reinterpret_cast<sockaddr*>(&sin), &len) != 0) return FailErrno();
  *a = FromSockaddr(sin);
  return 0;
}

int GetPeerName(SOCKET s, SockAddr* a) {
  Entry* e = Find(s);
  if (!e) return Fail(WSAENOTSOCK);
  sockaddr_in sin{};
  socklen_t len = sizeof sin;
  if (::getpeername(e->fd, reinterpret_cast<sockaddr*>(&sin), &len) != 0) return FailErrno();
  *a = FromSockaddr(sin);
  return 0;
}

int SetReuseAddr(SOCKET s, bool on) { return SetSwitch(s, SOL_SOCKET, SO_REUSEADDR, on); }

int SetKeepAlive(SOCKET s, int idleSec, int intervalSec, int count) {
  Entry* e = Find(s);
  if (!e) return Fail(WSAENOTSOCK);
  const int on = 1;
  if (::setsockopt(e->fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) != 0) return FailErrno();
  ::setsockopt(e->fd, IPPROTO_TCP, TCP_KEEPIDLE, &idleSec, sizeof idleSec);
  ::setsockopt(e->fd, IPPROTO_TCP, TCP_KEEPINTVL, &intervalSec, sizeof intervalSec);
  ::setsockopt(e->fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
  return 0;
}

int SetNoDelay(SOCKET s, bool on) { return SetSwitch(s, IPPROTO_TCP, TCP_NODELAY, on); }

int AsyncSelect(SOCKET s, WindowId window, UINT msg, long events) {
  Entry* e = Find(s);
  if (!e) return Fail(WSAENOTSOCK);
  e->window = window;
  e->msg = msg;
  e->events = events;
  const bool qt = dynamic_cast<QtEventLoop*>(CurrentEventLoop()) != nullptr && QCoreApplication::instance();
  if (qt != e->useQt) {
    e->rn.reset();
    e->wn.reset();
    e->useQt = qt;
  }
  Sync(s, *e);
  return 0;
}

int PumpSockets(int timeoutMs) {
  std::vector<pollfd> fds;
  std::vector<SOCKET> ids;
  for (auto& [id, e] : Table()) {
    if (e.useQt) continue;
    short ev = 0;
    if (ReadArmed(e)) ev |= POLLIN;
    if (WriteArmed(e)) ev |= POLLOUT;
    if (!ev) continue;
    fds.push_back(pollfd{e.fd, ev, 0});
    ids.push_back(id);
  }
  if (fds.empty()) return 0;
  if (::poll(fds.data(), fds.size(), timeoutMs) <= 0) return 0;
  int posted = 0;
  for (std::size_t i = 0; i < fds.size(); ++i) {
    const short r = fds[i].revents;
    if (!r) continue;
    if ((fds[i].events & POLLOUT) && (r & (POLLOUT | POLLERR | POLLHUP))) {
      OnWritable(ids[i]);
      ++posted;
    }
    if ((fds[i].events & POLLIN) && (r & (POLLIN | POLLERR | POLLHUP))) {
      OnReadable(ids[i]);
      ++posted;
    }
  }
  return posted;
}

std::size_t OpenSocketCount() { return Table().size(); }

}  // namespace plat::net
