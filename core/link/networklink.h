// The network path of the PBX link: the network library opened as a
// registered client of a relay server, with the view as its notification
// window. The view hands the library's messages (and its own 1074, the
// link's "stopped") to OnViewMessage; this object keeps the handle and the
// client id, starts the link object when the server confirms the
// registration, feeds it the received records, sends its records, and
// closes: unregister first, close when the server confirms or, when it
// never does, after a time-out. Main thread only.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "core/link/sytemobject.h"
#include "platform/messages.h"

class CNetworkLink : public IPBXNetworkPath, public plat::IMessageTarget {
 public:
  static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
  static constexpr std::uint32_t kOpenFlags = 0x02000020;  // client, CSTA frames
  static constexpr plat::UINT kTimerUnregister = 1;
  static constexpr plat::UINT kUnregisterTimeoutMs = 5000;

  // Messages of the library that the view passes on.
  static constexpr plat::UINT kMsgRegistered = 1580;
  static constexpr plat::UINT kMsgRegistrationRefused = 1581;
  static constexpr plat::UINT kMsgUnregistered = 1582;
  static constexpr plat::UINT kMsgUnregistrationRefused = 1583;
  static constexpr plat::UINT kMsgLinkLost = 1588;
  static constexpr plat::UINT kMsgReceived = 1590;
  static constexpr plat::UINT kMsgSocketError = 1599;
  static constexpr plat::UINT kMsgStopStep = 1074;

  explicit CNetworkLink(CSytemObject* link);
  ~CNetworkLink() override;
  CNetworkLink(const CNetworkLink&) = delete;
  CNetworkLink& operator=(const CNetworkLink&) = delete;

  // Opens the library as a client of `server` (dotted quad or host name;
  // port -1 for the default) reporting to `view`; an open handle is closed
  // first, so this also opens the link again after a loss. False when the
  // library refused (no handle is kept).
  bool Open(plat::WindowId view, const std::string& server, std::int32_t port = -1, bool traceWindow = false);

  // The library's messages and the view's 1074; true when the message was
  // one of the link's. The view shows its own boxes for 1581, 1588, 1599.
  bool OnViewMessage(const plat::Message& m);

  // The view's close: from now on the link is stopping. When the link
  // object has nothing left to stop, the network side closes at once
  // (unregistering first).
  void BeginClose();
  // True once the handle is closed after BeginClose.
  bool Closed() const { return closing_ && handle_ == kNone; }

  // The view's exit command: run once when the close is complete.
  std::function<void()> onClosed;

  std::uint32_t Handle() const { return handle_; }
  std::uint32_t ClientId() const { return clientId_; }
  bool Registered() const { return clientId_ != kNone; }
  bool Closing() const { return closing_; }
  bool UnregisterPending() const { return unregisterPending_; }

  std::uint32_t SendToNetwork(std::uint32_t kind, const void* data, std::uint32_t length) override;
  plat::LRESULT OnMessage(const plat::Message& m) override;

 private:
  void StopStep();
  void CloseHandle();
  void Finish();

  CSytemObject* link_;
  plat::WindowId self_ = 0;
  plat::WindowId view_ = 0;
  std::uint32_t handle_ = kNone;
  std::uint32_t clientId_ = kNone;
  bool closing_ = false;
  bool unregisterPending_ = false;
  bool finished_ = false;
};
