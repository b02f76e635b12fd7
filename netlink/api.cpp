// The exported functions and the tables behind them: 10 handle entries, at
// most 5 windows and 5 notification contexts, one each per open handler.
#include <netdb.h>
#include <sys/socket.h>

#include <array>
#include <cctype>
#include <cstring>
#include <memory>

#include "netlink/handler.h"
#include "netlink/lorquin32.h"
#include "netlink/netwindow.h"
#include "platform/msgbox.h"
#include "platform/text.h"

#define NETLINK_EXPORT extern "C" __attribute__((visibility("default")))

namespace netlink {
namespace {

constexpr int kHandles = 10;
constexpr int kWindows = 5;

struct HandleEntry {
  std::shared_ptr<CNetworkHandler> handler;
  std::unique_ptr<CNetMainWindow> window;
  int windowSlot = -1;
  int context = -1;
};

struct Tables {
  std::array<HandleEntry, kHandles> handles;
  std::array<int, kWindows> windows{};   // handle served, -1 free
  std::array<bool, kWindows> contexts{};  // taken
  Tables() { windows.fill(-1); }
};

Tables& T() {
  static Tables* t = new Tables;
  return *t;
}

// The entry of an open handle, or nullptr. Only the low word counts.
HandleEntry* FindOpen(std::uint32_t handle) {
  const std::uint32_t h = handle & 0xFFFF;
  if (h >= kHandles) return nullptr;
  HandleEntry& e = T().handles[h];
  return e.handler ? &e : nullptr;
}

const char* RoleWord(Role r) {
  switch (r) {
    case Role::Server: return "serv";
    case Role::Client: return "cli";
    case Role::Multi: return "mult";
    default: return "undef";
  }
}

std::uint32_t LookUpHost(const char* name) {
  if (!name || !*name) return 0;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* res = nullptr;
  if (::getaddrinfo(name, nullptr, &hints, &res) != 0 || !res) return 0;
  std::uint8_t b[4];
  std::memcpy(b, &reinterpret_cast<sockaddr_in*>(res->ai_addr)->sin_addr.s_addr, 4);
  ::freeaddrinfo(res);
  return GetU32(b);
}

void FreeEntry(HandleEntry& e) {
  if (e.windowSlot >= 0) T().windows[static_cast<std::size_t>(e.windowSlot)] = -1;
  if (e.context >= 0) T().contexts[static_cast<std::size_t>(e.context)] = false;
  e.windowSlot = -1;
  e.context = -1;
  e.window.reset();
  // The handler object goes when the last holder lets go: a close from
  // inside one of its own deliveries returns into a live object.
  e.handler.reset();
}

std::uint32_t OpenHandler(plat::WindowId wnd, std::uint32_t flags, std::uint32_t ip, bool haveAddress, int port) {
  Tables& t = T();
  int w = -1;
  for (int i = 0; i < kWindows; ++i)
    if (t.windows[static_cast<std::size_t>(i)] < 0) { w = i; break; }
  if (w < 0) return kFailedOpen;
  const Role role = (flags & kFlagServer) ? Role::Server
                    : (flags & kFlagClient) ? Role::Client
                    : (flags & kFlagMulti)  ? Role::Multi
                                            : Role::None;
  // Without a role there is no handler, and so no handle to give.
  if (role == Role::None) return kFailedOpen;
  int h = -1;
  for (int i = 0; i < kHandles; ++i)
    if (!t.handles[static_cast<std::size_t>(i)].handler) { h = i; break; }
  int ctx = -1;
  for (int i = 0; i < kWindows; ++i)
    if (!t.contexts[static_cast<std::size_t>(i)]) { ctx = i; break; }
  if (h < 0 || ctx < 0) return kFailedOpen;

  HandleEntry& e = t.handles[static_cast<std::size_t>(h)];
  e.handler = std::make_shared<CNetworkHandler>(role, static_cast<std::uint16_t>(h));
  e.window = std::make_unique<CNetMainWindow>();
  e.windowSlot = w;
  e.context = ctx;
  t.windows[static_cast<std::size_t>(w)] = h;
  t.contexts[static_cast<std::size_t>(ctx)] = true;
  if (flags & kFlagShowWindow) e.window->Show((flags & kFlagMinimised) != 0);

  CNetworkHandler& n = *e.handler;
  CNetMainWindow* win = e.window.get();
  n.trace = [win](const std::string& line) { win->Trace(line); };
  n.SetCaller(wnd);
  if (haveAddress) n.SetRemote(ip);
  if (role == Role::Client || role == Role::Multi) {
    n.SetNotification(10, wnd, kMsgRegistered);
    n.SetNotification(11, wnd, kMsgRegistrationRefused);
    n.SetNotification(12, wnd, kMsgUnregistered);
    n.SetNotification(13, wnd, kMsgUnregistrationRefused);
  } else {
    n.SetNotification(18, wnd, kMsgClientRegistered);
    n.SetNotification(19, wnd, kMsgClientUnregistered);
  }
  if (flags & kFlagCsta) n.SetNotification(6, wnd, kMsgCsta);
  if (flags & kFlagType5) n.SetNotification(5, wnd, kMsgType5);
  if (flags & kFlagType21) n.SetNotification(21, wnd, kMsgType21);
  if (flags & kFlagType20) n.SetNotification(20, wnd, kMsgType20);
  if (flags & kFlagType24) n.SetNotification(24, wnd, kMsgType24);
  if (flags & kFlagType25) n.SetNotification(25, wnd, kMsgType25);
  if (flags & kFlagType26) n.SetNotification(26, wnd, kMsgType26);
  n.SetNotification(2, n.window(), kMsgSendFrame);
  n.SetNotification(17, n.window(), kMsgRegistrationConfirmed);
  n.SetNotification(22, n.window(), kMsgAliveTimeOut);
  n.SetNotification(23, n.window(), kMsgAliveConfirmation);
  if (port != -1) n.SetPort(static_cast<std::uint16_t>(port));
  n.SetDatagram((flags & kFlagDatagram) != 0);
  if (!n.Open()) {
    FreeEntry(e);
    return kFailedOpen;
  }
  const char* udp = (flags & kFlagDatagram) ? "-UDP" : "";
  if (haveAddress)
    e.window->AddUser(plat::StrFormatC("usr hd: %i for %d.%d.%d.%d-%s%s", h, static_cast<int>(ip & 0xFF),
                                       static_cast<int>((ip >> 8) & 0xFF), static_cast<int>((ip >> 16) & 0xFF),
                                       static_cast<int>(ip >> 24), RoleWord(role), udp));
  else
    e.window->AddUser(plat::StrFormatC("usr hd: %i localhost-%s%s", h, RoleWord(role), udp));
  return static_cast<std::uint32_t>(h);
}

// Event type of the notification export -> notification slot; -1 ignored.
int SlotOfEventType(std::uint32_t type) {
  if (type == 1) return 0;
  if (type == 2) return 30;
  if (type >= 3 && type <= 6) return static_cast<int>(type) + 7;
  if (type >= 10 && type <= 15) return static_cast<int>(type) - 9;
  if (type <= 30) return static_cast<int>(type);
  return -1;
}

}  // namespace
}  // namespace netlink

using namespace netlink;

NETLINK_EXPORT std::uint32_t PBXNWHConvertIPStringToLONG(const char* text) {
  if (!text || !std::isdigit(static_cast<unsigned char>(text[0]))) return 0;
  std::uint8_t b[4];
  const char* p = text;
  for (int i = 0; i < 4; ++i) {
    // Each part is a decimal number: "192.168.001.010" is 192.168.1.10.
    if (!std::isdigit(static_cast<unsigned char>(*p))) return 0;
    unsigned v = 0;
    int digits = 0;
    while (std::isdigit(static_cast<unsigned char>(*p))) {
      v = v * 10 + static_cast<unsigned>(*p - '0');
      if (++digits > 3 || v > 255) return 0;
      ++p;
    }
    b[i] = static_cast<std::uint8_t>(v);
    if (i < 3) {
      if (*p != '.') return 0;
      ++p;
    }
  }
  while (*p == ' ' || *p == '\t') ++p;
  if (*p) return 0;
  return GetU32(b);
}

NETLINK_EXPORT std::uint32_t PBXNWHGetIPLongForHostName(const char* name, std::int32_t show) {
  const std::uint32_t ip = LookUpHost(name);
  if (show)
    plat::MessageBox(0,
                     plat::StrFormatC("%d.%d.%d.%d", static_cast<int>(ip & 0xFF), static_cast<int>((ip >> 8) & 0xFF),
                                      static_cast<int>((ip >> 16) & 0xFF), static_cast<int>(ip >> 24)),
                     "", plat::MB_OK);
  return ip;
}

NETLINK_EXPORT std::uint32_t PBXNWHOpenDLLEx(plat::WindowId wnd, std::uint32_t flags, const char* host,
                                             std::int32_t port) {
  std::uint32_t ip = 0;
  bool have = false;
  if (host && *host) {
    ip = PBXNWHConvertIPStringToLONG(host);
    if (ip == 0) ip = LookUpHost(host);
    have = true;
  }
  return OpenHandler(wnd, flags, ip, have, port);
}

NETLINK_EXPORT std::uint32_t PBXNWHOpenDLL(plat::WindowId wnd, std::uint32_t flags, const std::uint8_t* addr) {
  return OpenHandler(wnd, flags, addr ? GetU32(addr) : 0, addr != nullptr, kDefaultPort);
}

NETLINK_EXPORT std::uint32_t PBXNWHCloseDLL(std::uint32_t handle) {
  HandleEntry* e = FindOpen(handle);
  if (!e) return 0;
  std::shared_ptr<CNetworkHandler> keep = e->handler;
  keep->Unregister(true);
  keep->Close();
  FreeEntry(*e);
  return 1;
}

NETLINK_EXPORT std::uint32_t PBXNWHCloseDLLConnection(std::uint32_t handle, std::uint32_t /*reserved*/) {
  HandleEntry* e = FindOpen(handle);
  if (!e) return 0;
  std::shared_ptr<CNetworkHandler> keep = e->handler;
  keep->Unregister(false);
  return 1;
}

NETLINK_EXPORT std::uint32_t PBXNWHSendMessageToNetWork(std::uint32_t handle, std::uint32_t clientId,
                                                        std::uint32_t typeBit, const void* data,
                                                        std::uint32_t length) {
  if ((handle & 0xFFFF) >= 10) return 0xFFFFFFFFu;
  HandleEntry* e = FindOpen(handle);
  if (!e || e->windowSlot < 0) return kNoWindow;
  std::shared_ptr<CNetworkHandler> keep = e->handler;
  CNetMainWindow* win = e->window.get();
  const std::uint8_t wire = WireTypeForTypeBit(typeBit & 0xFFFF);
  const int r = keep->Send(static_cast<std::uint16_t>(clientId), wire, data, length & 0xFFFF);
  win->Trace(plat::StrFormatC("(ID%i-%i):T=%i, L=%i, %s", static_cast<int>(handle & 0xFFFF),
                              static_cast<int>(clientId & 0xFFFF), static_cast<int>(wire),
                              static_cast<int>(length & 0xFFFF), keep->status().c_str()));
  return static_cast<std::uint32_t>(r);
}

NETLINK_EXPORT std::uint32_t PBXNWHSetNotificationParametersEx(std::uint32_t handle, plat::WindowId wnd,
                                                               std::uint32_t eventType, std::uint32_t message) {
  HandleEntry* e = FindOpen(handle);
  if (!e) return 0;
  const int slot = SlotOfEventType(eventType & 0xFFFF);
  if (slot >= 0) e->handler->SetNotification(slot, wnd, message & 0xFFFF);
  return 1;
}

NETLINK_EXPORT std::uint32_t PBXNWHSetNotificationParameters(std::uint32_t, std::uint32_t, std::uint32_t) {
  return 0;
}

NETLINK_EXPORT std::uint32_t PBXNWHGetDLLConnectionState(std::uint32_t handle, std::uint32_t /*clientId*/) {
  return FindOpen(handle) ? 1 : 0;
}

NETLINK_EXPORT std::uint32_t PBXNWHOpenDLLTraceWindow(std::uint32_t handle) {
  HandleEntry* e = FindOpen(handle);
  if (!e) return 0;
  e->window->Show(false);
  return 1;
}

NETLINK_EXPORT std::uint32_t PBXNWHCloseDLLTraceWindow(std::uint32_t handle) {
  HandleEntry* e = FindOpen(handle);
  if (!e) return 0;
  e->window->Hide();
  return 1;
}

NETLINK_EXPORT const char* PBXNWHGetDLLVersion() { return ""; }

namespace netlink {
// For tests: the handler and window behind an open handle.
std::shared_ptr<CNetworkHandler> HandlerOf(std::uint32_t handle) {
  HandleEntry* e = FindOpen(handle);
  return e ? e->handler : nullptr;
}
CNetMainWindow* WindowOf(std::uint32_t handle) {
  HandleEntry* e = FindOpen(handle);
  return e ? e->window.get() : nullptr;
}
}  // namespace netlink
