#include "core/link/networklink.h"

#include "core/wire/csta_message.h"
#include "netlink/lorquin32.h"

CNetworkLink::CNetworkLink(CSytemObject* link) : link_(link) { self_ = plat::RegisterTarget(this); }

CNetworkLink::~CNetworkLink() {
  CloseHandle();
  plat::UnregisterTarget(self_);
  if (link_) link_->SetNetworkPath(nullptr);
}

bool CNetworkLink::Open(plat::WindowId view, const std::string& server, std::int32_t port, bool traceWindow) {
  if (handle_ != kNone) {
    CloseHandle();
    if (link_) link_->OnNetworkLost();
  }
  view_ = view;
  closing_ = false;
  finished_ = false;
  const std::uint32_t r = PBXNWHOpenDLLEx(view, kOpenFlags, server.c_str(), port);
  if ((r & 0xFFFF) == netlink::kFailedOpen) return false;
  handle_ = r & 0xFFFF;
  if (traceWindow)
    PBXNWHOpenDLLTraceWindow(handle_);
  else
    PBXNWHCloseDLLTraceWindow(handle_);
  if (link_) {
    link_->SetNetworkPath(this);
    link_->SetView(view);
  }
  return true;
}

bool CNetworkLink::OnViewMessage(const plat::Message& m) {
  switch (m.msg) {
    case kMsgRegistered:
      if (handle_ == kNone) return true;
      clientId_ = static_cast<std::uint32_t>(m.wParam & 0xFFFF);
      if (closing_)
        StopStep();  // registered while closing: unregister at once
      else if (link_)
        link_->Open(view_);
      return true;

    case kMsgUnregistered:
    case kMsgUnregistrationRefused:
      // Either way the server has answered: nothing is left to wait for.
      if (closing_) {
        CloseHandle();
        Finish();
      } else {
        clientId_ = kNone;
      }
      return true;

    case kMsgLinkLost:
      if (closing_ && unregisterPending_) {
        // The server went before it confirmed: it never will.
        CloseHandle();
        Finish();
        return true;
      }
      if (clientId_ != kNone) {
        clientId_ = kNone;
        if (link_) link_->OnNetworkLost();
      }
      return true;

    case kMsgSocketError:
      // A connection that failed is given up; the handle goes with it.
      if (handle_ != kNone) {
        const bool wasRegistered = clientId_ != kNone;
        CloseHandle();
        if (wasRegistered && link_ && !closing_) link_->OnNetworkLost();
      }
      if (closing_) Finish();
      return true;

    case kMsgReceived:
      if (m.payload.size() >= CSTAMessage::kSize && link_ && handle_ != kNone && clientId_ != kNone) {
        const CSTAMessage copy = CSTAMessage::FromBytes(m.payload.data(), m.payload.size());
        link_->OnLinkMessage(linkev::kIncoming, 0, &copy);
      }
      return true;

    case kMsgStopStep:
      StopStep();
      return true;

    default:
      return false;
  }
}

void CNetworkLink::BeginClose() {
  closing_ = true;
  // The link object reports its "stopped" (1074) only when it had monitors
  // to stop; otherwise the network side goes on from here.
  if (!link_ || link_->GetLinkState() == linkstate::kClosed) StopStep();
}

void CNetworkLink::StopStep() {
  if (unregisterPending_) return;
  if (clientId_ != kNone && closing_) {
    PBXNWHCloseDLLConnection(handle_, clientId_);
    clientId_ = kNone;
    unregisterPending_ = true;
    plat::SetTimer(self_, kTimerUnregister, kUnregisterTimeoutMs);
    return;
  }
  // Only a close ends the program's link; a monitor restart also stops.
  if (!closing_ || clientId_ != kNone) return;
  CloseHandle();
  Finish();
}

void CNetworkLink::CloseHandle() {
  if (handle_ != kNone) PBXNWHCloseDLL(handle_);
  handle_ = kNone;
  clientId_ = kNone;
  unregisterPending_ = false;
  if (self_) plat::KillTimer(self_, kTimerUnregister);
}

void CNetworkLink::Finish() {
  if (!closing_ || finished_) return;
  finished_ = true;
  if (onClosed) onClosed();
}

std::uint32_t CNetworkLink::SendToNetwork(std::uint32_t kind, const void* data, std::uint32_t length) {
  if (handle_ == kNone || clientId_ == kNone) return 0;
  return PBXNWHSendMessageToNetWork(handle_, clientId_, kind, data, length);
}

plat::LRESULT CNetworkLink::OnMessage(const plat::Message& m) {
  if (m.msg == plat::WM_TIMER && m.wParam == kTimerUnregister && unregisterPending_) {
    // The server never confirmed: the program closes all the same.
    CloseHandle();
    Finish();
  }
  return 0;
}
