#include "fakes.h"

#include <algorithm>

#include "core/base/globalconfig.h"
#include "core/iface/viewhub.h"
#include "core/wire/csta_requests.h"
#include "platform/msgbox.h"

// ---------------------------------------------------------------- link

std::uint32_t FakeLink::XrefOf(const std::string& number) const {
  return monitors ? monitors->GetCrossRefId(number) : 0;
}

void FakeLink::Open() { RequestCapabilities(0); }

void FakeLink::RequestCapabilities(int kind) {
  if (kind == 1) {
    filter->TakeOrRelease(jobstate::kApiCaps, 1);
    Send(GetApiCapsRequest(++requests, 0), 1);
  } else {
    filter->TakeOrRelease(jobstate::kDeviceCount, 1);
    Send(PrivateRequest(++requests, 0, EXTPBX_GETMAXNUMBEROFDEVICES), 1);
  }
}

int FakeLink::StartStop(int start) {
  filter->MonitorStep(start);
  if (start || state != linkstate::kClosed) plat::SetTimer(view, hub::kTimerLinkStep, 100);
  state = start ? linkstate::kStarting : (state == linkstate::kClosed ? state : linkstate::kStopping);
  return static_cast<int>(state);
}

int FakeLink::LinkStep() { return filter->MonitorStep(state == linkstate::kStarting ? 1 : 0); }

int FakeLink::Send(const CSTAMessage& record, int note) {
  if (note == 1 && filter) filter->NoteOutstanding(&record);
  sent.push_back({record, note});
  return 0;
}

int FakeLink::SendRequest(const CSTAMessage* record) {
  if (!record || refuse) return 0;
  Send(*record, 0);
  return 1;
}

plat::LRESULT FakeLink::OnLinkMessage(plat::UINT code, plat::WPARAM, const CSTAMessage* record) {
  events.push_back(code);
  switch (code) {
    case linkev::kIncoming:
      return record ? filter->OnCSTAMessage(record) : 0;
    case linkev::kMonitorsStarted:
      if (answersFwd) {
        monitors->ResetCursor();
        filter->TakeOrRelease(jobstate::kForwarding, 1);
        QueryForwarding(monitors->Next(1, true, false));
      } else {
        plat::SendMessage(view, hub::kMonitoringStarted);
      }
      state = linkstate::kRunning;
      return 0;
    case linkev::kMonitorsStopped:
      state = linkstate::kClosed;
      plat::SendMessage(view, hub::kLinkStopStep);
      return 0;
    case linkev::kDeviceCountDone:
      if (!capsRequested) {
        capsRequested = true;
        filter->TakeOrRelease(jobstate::kDeviceCount, 0);
        RequestCapabilities(1);
      }
      return 0;
    case linkev::kForwardingDone:
      filter->TakeOrRelease(jobstate::kForwarding, 0);
      if (answersSnap) {
        monitors->ResetCursor();
        filter->TakeOrRelease(jobstate::kSnapshot, 1);
        SnapshotDevice(monitors->Next(1, true, false));
      } else {
        plat::SendMessage(view, hub::kMonitoringStarted);
      }
      return 0;
    case linkev::kSnapshotsDone:
      plat::SendMessage(view, hub::kMonitoringStarted);
      return 0;
    case linkev::kCapabilities:
      filter->TakeOrRelease(jobstate::kApiCaps, 0);
      if (record) {
        answersFwd = record->U16(40) == 1;
        answersSnap = record->U16(140) == 1;
      }
      StartStop(1);
      return 0;
    default:
      return 0;
  }
}

int FakeLink::QueryForwarding(std::string_view number) {
  std::string n(number);
  Send(QueryForwardingRequest(++requests, XrefOf(n), n), 1);
  return 1;
}

int FakeLink::SnapshotDevice(std::string_view number) {
  std::string n(number);
  Send(SnapshotDeviceRequest(++requests, XrefOf(n), n), 1);
  return 1;
}

int FakeLink::MakeCall(CCallInfo* call) {
  if (!call || refuse) return 0;
  std::string dial;
  GlobalConfig().GetDialNumber(call->calledNumber, dial);
  const std::uint32_t id = invoke++;
  CSTAMessage m = MakeCallRequest(id, XrefOf(call->callingNumber), call->callingNumber, dial);
  filter->NoteMakeCall(CSTA_MAKE_CALL, call, id);
  Send(m, GlobalConfig().IO1008 == 1 ? 1 : 0);
  return 1;
}

int FakeLink::ClearCall(CCallInfo* call) {
  if (!call || refuse) return 0;
  std::string main = monitors ? monitors->GetMainPhone() : std::string();
  std::string device;
  if (main == call->callingNumber || main == call->calledNumber) device = main;
  else if (monitors && monitors->IsKnownNumber(call->callingNumber)) device = call->callingNumber;
  else if (monitors && monitors->IsKnownNumber(call->calledNumber)) device = call->calledNumber;
  Send(ClearConnectionRequest(invoke++, XrefOf(device), static_cast<std::uint32_t>(call->callId), device), 0);
  return 1;
}

int FakeLink::HoldCall(CCallInfo* call) {
  if (!call || refuse) return 0;
  std::string main = monitors->GetMainPhone();
  Send(HoldCallRequest(invoke++, XrefOf(main), static_cast<std::uint32_t>(call->callId), main, call->calledNumber), 0);
  return 0;
}

int FakeLink::ConsultationCall(CCallInfo* active, CCallInfo* consult) {
  if (!active || !consult || refuse) return 0;
  std::string main = monitors->GetMainPhone();
  Send(ConsultationCallRequest(invoke++, XrefOf(main), static_cast<std::uint32_t>(active->callId), main,
                               consult->calledNumber),
       0);
  return 0;
}

int FakeLink::TransferCall(CCallInfo* held, CCallInfo* active) {
  if ((!held && !active) || refuse) return 0;
  std::string main = monitors->GetMainPhone();
  std::string heldDevice = held ? (held->calledNumber == main ? held->callingNumber : held->calledNumber) : "";
  Send(TransferCallRequest(invoke++, XrefOf(main), held ? static_cast<std::uint32_t>(held->callId) : 0, heldDevice,
                           active ? static_cast<std::uint32_t>(active->callId) : 0,
                           active ? active->calledNumber : std::string()),
       0);
  return 0;
}

int FakeLink::DeflectCall(CCallInfo* call) {
  if (!call || refuse) return 0;
  std::string main = monitors->GetMainPhone();
  Send(DeflectCallRequest(invoke++, XrefOf(main), static_cast<std::uint32_t>(call->callId), call->callingNumber,
                          call->calledNumber),
       0);
  return 0;
}

int FakeLink::PickupCall(CCallInfo* call) {
  if (!call || refuse) return 0;
  std::string main = monitors->GetMainPhone();
  Send(DeflectCallRequest(invoke++, XrefOf(main), static_cast<std::uint32_t>(call->callId), call->callingNumber, main),
       0);
  return 1;
}

// ---------------------------------------------------------------- view

FakeView::FakeView() { id = plat::RegisterTarget(this); }
FakeView::~FakeView() { plat::UnregisterTarget(id); }

plat::LRESULT FakeView::OnMessage(const plat::Message& m) {
  if (m.msg == plat::WM_TIMER) {
    if (m.wParam == hub::kTimerRequest && filter) filter->OnTimer(hub::kTimerRequest);
    if (m.wParam == hub::kTimerLinkStep && link && link->LinkStep()) plat::SetTimer(id, hub::kTimerLinkStep, 100);
    return 0;
  }
  if (m.msg == hub::kStartRequestTimer) {
    ++timerStarts;
    plat::SetTimer(id, hub::kTimerRequest, static_cast<plat::UINT>(m.wParam));
    return 0;
  }
  if (m.msg == hub::kStopRequestTimer) {
    ++timerStops;
    plat::KillTimer(id, hub::kTimerRequest);
    return 0;
  }
  HubRecord r;
  r.code = m.msg;
  r.w = m.wParam;
  if (m.msg == hub::kShowRecordMatch && m.payload.size() == sizeof(CallRecordMatch)) {
    std::copy(m.payload.begin(), m.payload.end(), reinterpret_cast<std::uint8_t*>(&r.match));
  } else if (m.lParam && m.msg != hub::kNewRecordAnswer && m.msg != hub::kAssistantText) {
    r.call = reinterpret_cast<CCallInfo*>(static_cast<std::intptr_t>(m.lParam));
    r.callText = r.call->callingNumber + ">" + r.call->calledNumber;
  }
  messages.push_back(r);
  return route ? route(m) : 0;
}

// ---------------------------------------------------------------- lists

CCallInfo* FakeCallbackList::FindByDescription(const std::string& text) {
  for (CCallInfo* c : entries)
    if (c->GetDescription(7) == text) return c;
  return nullptr;
}

int FakeCallbackList::RemoveEntry(CCallInfo* entry) {
  auto it = std::find(entries.begin(), entries.end(), entry);
  if (it == entries.end()) return 0;
  entries.erase(it);
  entry->Release();
  return 1;
}

int FakeCallbackList::AddCallback(CCallInfo* call) {
  entries.push_back(call);
  return 1;
}

int FakeCallData::AddCallData(CCallInfo* call) {
  if (call->connectedMark != 1) return 0;
  lines.push_back(call->callingNumber + ">" + call->calledNumber);
  return 1;
}

int FakePrompt::Show() {
  ++shown;
  if (answers.empty()) return plat::IDCANCEL;
  int a = answers.front();
  answers.pop_front();
  return a;
}
