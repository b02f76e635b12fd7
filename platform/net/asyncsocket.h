// Non-blocking IPv4 sockets that report their events as window messages,
// the way the program's network code expects them: the event in the low
// word of lParam, an error code (WinSock numbering) in the high word, the
// socket in wParam.
//
// Edge semantics kept from that model:
// - FD_CONNECT is reported once, with the connect's error (0 on success);
//   a successful connect is followed by FD_WRITE.
// - FD_WRITE otherwise comes only after a send failed with WSAEWOULDBLOCK
//   and the socket can take data again (and once on an accepted socket).
// - FD_READ is reported once until the next Recv/RecvFrom; if data is
//   still there after it, it is reported again.
// - FD_ACCEPT likewise until the next Accept, so every pending connection
//   is taken in turn.
// - FD_CLOSE comes after the remaining data has been read, with 0 for an
//   orderly close or the reason (WSAECONNRESET, ...).
//
// Sockets are ids from a table (1..0xFFFE), never file descriptors; a
// closed socket's id is not reused until the others have been used. Main
// thread only.
//
// Events are watched by QSocketNotifier while a plat::QtEventLoop is the
// current loop, else by PumpSockets(), which tests call between runs of the
// ManualLoop.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/win32types.h"

namespace plat::net {

using SOCKET = std::uint32_t;
constexpr SOCKET INVALID_SOCKET = 0;
constexpr int SOCKET_ERROR = -1;

constexpr long FD_READ = 0x01, FD_WRITE = 0x02, FD_OOB = 0x04, FD_ACCEPT = 0x08, FD_CONNECT = 0x10,
               FD_CLOSE = 0x20;

inline LPARAM MakeSelectReply(long event, int error) {
  return static_cast<LPARAM>((static_cast<std::uint32_t>(error & 0xFFFF) << 16) |
                             static_cast<std::uint32_t>(event & 0xFFFF));
}
inline long SelectEvent(LPARAM l) { return static_cast<long>(l & 0xFFFF); }
inline int SelectError(LPARAM l) { return static_cast<int>((l >> 16) & 0xFFFF); }

// Error codes in WinSock numbering.
constexpr int WSAEINTR = 10004, WSAEBADF = 10009, WSAEACCES = 10013, WSAEFAULT = 10014, WSAEINVAL = 10022,
              WSAEMFILE = 10024, WSAEWOULDBLOCK = 10035, WSAEINPROGRESS = 10036, WSAEALREADY = 10037,
              WSAENOTSOCK = 10038, WSAEDESTADDRREQ = 10039, WSAEMSGSIZE = 10040, WSAEPROTOTYPE = 10041,
              WSAENOPROTOOPT = 10042, WSAEPROTONOSUPPORT = 10043, WSAESOCKTNOSUPPORT = 10044,
              WSAEOPNOTSUPP = 10045, WSAEPFNOSUPPORT = 10046, WSAEAFNOSUPPORT = 10047, WSAEADDRINUSE = 10048,
              WSAEADDRNOTAVAIL = 10049, WSAENETDOWN = 10050, WSAENETUNREACH = 10051, WSAENETRESET = 10052,
              WSAECONNABORTED = 10053, WSAECONNRESET = 10054, WSAENOBUFS = 10055, WSAEISCONN = 10056,
              WSAENOTCONN = 10057, WSAESHUTDOWN = 10058, WSAETOOMANYREFS = 10059, WSAETIMEDOUT = 10060,
              WSAECONNREFUSED = 10061, WSAELOOP = 10062, WSAENAMETOOLONG = 10063, WSAEHOSTDOWN = 10064,
              WSAEHOSTUNREACH = 10065, WSASYSNOTREADY = 10091, WSAVERNOTSUPPORTED = 10092,
              WSANOTINITIALISED = 10093, WSAHOST_NOT_FOUND = 11001, WSATRY_AGAIN = 11002,
              WSANO_RECOVERY = 11003, WSANO_DATA = 11004;

// errno value -> WinSock code (WSAEINVAL for anything unmapped).
int ErrnoToWsa(int err);
// WinSock code of the last failed call on this thread.
int LastError();

struct SockAddr {
  std::uint32_t ip = 0;  // address bytes in text order as the u32's little-endian bytes
  std::uint16_t port = 0;  // host order
};
// 127.0.0.1 in the SockAddr form.
constexpr std::uint32_t kLoopback = 0x0100007F;

SOCKET Socket(bool datagram);
int Bind(SOCKET s, const SockAddr& a);
int Listen(SOCKET s, int backlog);
SOCKET Accept(SOCKET s, SockAddr* peer);
// Non-blocking: a stream connect returns SOCKET_ERROR with WSAEWOULDBLOCK
// and reports FD_CONNECT later; a datagram connect completes at once. A
// connect to address 0 fails with WSAEADDRNOTAVAIL.
int Connect(SOCKET s, const SockAddr& a);
int Recv(SOCKET s, void* buf, int len);
int Send(SOCKET s, const void* buf, int len);
int RecvFrom(SOCKET s, void* buf, int len, SockAddr* from);
int SendTo(SOCKET s, const void* buf, int len, const SockAddr& to);
int CloseSocket(SOCKET s);
// Closes with a reset instead of an orderly close.
int AbortSocket(SOCKET s);
int GetSockName(SOCKET s, SockAddr* a);
int GetPeerName(SOCKET s, SockAddr* a);
int SetReuseAddr(SOCKET s, bool on);
// Keep-alive probes after idleSec of silence, every intervalSec, count times.
int SetKeepAlive(SOCKET s, int idleSec, int intervalSec, int count);
int SetNoDelay(SOCKET s, bool on);

// Asks for `events` as message `msg` to `window`; 0 stops reporting.
int AsyncSelect(SOCKET s, WindowId window, UINT msg, long events);

// Poll-driven back end: waits up to timeoutMs for socket readiness and posts
// the resulting events. Returns the number of events posted.
int PumpSockets(int timeoutMs);
std::size_t OpenSocketCount();

}  // namespace plat::net
