#include "core/filter/messagefilter.h"

#include <algorithm>
#include <vector>

#include "core/base/globalconfig.h"
#include "core/base/globallog.h"
#include "core/callhandler/callhandler.h"
#include "core/iface/viewhub.h"
#include "core/wire/csta_events.h"
#include "core/wire/csta_requests.h"
#include "platform/eventloop.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/textid.h"
#include "platform/trace.h"

namespace {

std::string Text(plat::TextId id) { return plat::GetTextOr(id, ""); }

// To the filter's own target: no extension could be monitored.
constexpr plat::UINT kWarnNoMonitor = plat::WM_USER + 311;

std::string CallerDialForm(const std::string& number) {
  std::string out;
  GlobalConfig().GetCallerNumber(number, out);
  return out;
}

}  // namespace

CMessageFilter::CMessageFilter() {
  const CGlobalConfig& cfg = GlobalConfig();
  if (cfg.PBXLO && !cfg.PBXLFN.empty()) traceFileOpen_ = traceFile_.Create(plat::MapPath(cfg.PBXLFN).c_str()) == 1;
  if (cfg.TOLECSTALOGDLL) OpenCSTATraceWindow(0, 0);
  self_ = plat::RegisterTarget(this);
}

CMessageFilter::~CMessageFilter() {
  plat::UnregisterTarget(self_);
  traceFile_.Close();
  // Closed whatever the switch: the general settings may have opened it.
  CloseCSTATraceWindow(0);
  listeners_.clear();
}

void CMessageFilter::Log(const std::string& text) { GlobalLog().WriteEntry(text.c_str()); }

void CMessageFilter::LinkEvent(plat::UINT code, const CSTAMessage* data) {
  if (link) link->OnLinkMessage(code, 0, data);
}

void CMessageFilter::HubReport(plat::UINT code, plat::WPARAM w) {
  if (view) plat::SendMessage(view, code, w, 0);
}

void CMessageFilter::Tell(const std::string& device, std::uint32_t callId, int type) {
  if (drawing) drawing->OnConnectionEvent(device, callId, type);
}

// ---------------------------------------------------------------- job lock

int CMessageFilter::TakeOrRelease(std::uint32_t state, int take) {
  if (take) {
    if (job_ != 0 && job_ != state) return 0;
    job_ = state;
    return 1;
  }
  if (job_ != state) return 0;
  job_ = 0;
  // During these jobs replies leave timer 7 running (see the entry); once
  // the job is over, its last request was answered and must not be repeated.
  if (hasOutstanding_ && (state == jobstate::kChargeReadout || state == jobstate::kViewJob ||
                          state == jobstate::kChargeSums)) {
    hasOutstanding_ = false;
    SetRequestTimer(0, 0);
  }
  return 1;
}

std::string CMessageFilter::JobText(std::uint32_t state) {
  static const plat::TextId kTexts[] = {
      plat::TextId(55, 23), plat::TextId(55, 24), plat::TextId(55, 25), plat::TextId(55, 26),
      plat::TextId(55, 27), plat::TextId(55, 28), plat::TextId(55, 29), plat::TextId(55, 29),
      plat::TextId(55, 30), plat::TextId(55, 31), plat::TextId(55, 32), plat::TextId(55, 33)};
  if (state > 11 || state == jobstate::kMonitorStop) return {};
  return Text(kTexts[state]);
}

std::uint32_t CMessageFilter::GetJobText(char* buffer, std::size_t size) {
  if (buffer && size) plat::CopyBounded(buffer, size, JobText(job_).c_str());
  return job_;
}

// ---------------------------------------------------------------- entry

int CMessageFilter::OnCSTAMessage(const CSTAMessage* record) {
  if (!record) return 0;
  ProcessCSTATraceMessage(0, record->data());
  const std::uint32_t xref = record->CrossRefId();
  // The watched entry of the id is looked up once for the whole dispatch.
  CMonitorEntry* byXref = monitors && xref != 0 ? monitors->FindByState(2, xref) : nullptr;
  const bool known = byXref || (monitors ? monitors->IsKnownCrossRefId(xref) != 0 : xref == 0);
  if (!known) {
    if (GlobalConfig().NTPAR == 1) GetMessageText(*record);
    return 0;
  }
  if (traceFileOpen_) GetMessageText(*record);
  main_ = monitors ? monitors->MainPhoneEntry() : nullptr;
  const std::uint16_t type = record->Type();
  // Call and agent events answer no request: the outstanding one keeps its
  // repeat, or a start-up step would wait for ever for a lost answer.
  const bool event = type >= CSTA_CALL_CLEARED && type <= CSTA_WORK_READY;
  if (!event && job_ != jobstate::kChargeReadout && job_ != jobstate::kViewJob && job_ != jobstate::kChargeSums)
    SetRequestTimer(0, 0);
  const CSTAMessage* outerRecord = xrefRecord_;
  CMonitorEntry* outerEntry = xrefEntry_;
  xrefRecord_ = record;
  xrefEntry_ = byXref;
  if (type >= 1 && type <= 125) Dispatch(*record);
  xrefRecord_ = outerRecord;
  xrefEntry_ = outerEntry;
  NotifyListeners(*record);
  // The records this one ended are used no more once its dispatch is over.
  if (!outerRecord && callHandler) callHandler->PurgeReleasedCalls();
  return 1;
}

void CMessageFilter::Dispatch(const CSTAMessage& r) {
  switch (r.Type()) {
    case CSTA_CONFERENCE_CALL_CONF:
    case CSTA_CONSULTATION_CALL_CONF: OnConferenceConf(r); break;
    case CSTA_MAKE_CALL_CONF: OnMakeCallConf(r); break;
    case CSTA_QUERY_FWD_CONF: OnQueryForwardingConf(r); break;
    case CSTA_UNIVERSAL_FAILURE_CONF: OnFailure(r); break;
    case CSTA_CONFERENCED: OnConferenced(r); break;
    case CSTA_CONNECTION_CLEARED: OnConnectionCleared(r); break;
    case CSTA_DELIVERED: OnDelivered(r); break;
    case CSTA_ESTABLISHED: OnEstablished(r); break;
    case CSTA_HELD: OnHeld(r); break;
    case CSTA_RETRIEVED: OnRetrieved(r); break;
    case CSTA_SERVICE_INITIATED: OnServiceInitiated(r); break;
    case CSTA_TRANSFERRED: OnTransferred(r); break;
    case CSTA_PRIVATE: OnPrivate(r); break;
    case CSTA_MONITOR_CONF: OnMonitorConf(r); break;
    case CSTA_MONITOR_STOP_CONF: OnMonitorStopConf(r); break;
    case CSTA_SNAPSHOT_DEVICE_CONF: OnSnapshotConf(r); break;
    case CSTA_GETAPI_CAPS_CONF: OnApiCapsConf(r); break;
    default: break;
  }
}

// The entry an event concerns: the one whose monitor reported it, else the
// entry of the event's device.
CMonitorEntry* CMessageFilter::EntryFor(const CSTAMessage& r, const std::string& device) {
  if (!monitors) return nullptr;
  if (&r == xrefRecord_) {
    if (xrefEntry_) return xrefEntry_;
  } else if (CMonitorEntry* e = monitors->FindByState(2, r.CrossRefId())) {
    return e;
  }
  if (device.empty()) return nullptr;
  return monitors->FindByNumber(device);
}

// ---------------------------------------------------------------- handlers

void CMessageFilter::OnConferenceConf(const CSTAMessage& r) {
  ConferenceCallConf c = ReadConferenceCallConf(r);
  CMonitorEntry* e = EntryFor(r, c.newCall.device);
  if (e && e != main_ && e->monitoringOn && e->watchMode == CMonitorEntry::kExtended && e->currentCall) {
    e->currentCall->state = CCallInfo::kConnected;
    e->currentCall->beginTime = plat::WallTime();
  }
}

void CMessageFilter::OnMakeCallConf(const CSTAMessage& r) {
  makeCallPending_ = false;
  if (!main_) return;
  MakeCallConf c = ReadMakeCallConf(r);
  CCallInfo* call = main_->currentCall;
  if (!call && callHandler) call = callHandler->GetCallByCallID(static_cast<int>(c.newCall.callId), kPoolCode);
  if (call && call->state != CCallInfo::kIdle) call->callId = static_cast<int>(c.newCall.callId);
}

void CMessageFilter::OnQueryForwardingConf(const CSTAMessage& r) {
  if (monitors) {
    if (CMonitorEntry* e = monitors->FindByState(2, r.CrossRefId())) {
      QueryForwardingConf c = ReadQueryForwardingConf(r);
      std::copy(c.kept.begin(), c.kept.end(), e->forwardingData);
      e->forwardingTime = static_cast<std::uint32_t>(plat::WallTime());
    }
  }
  if (job_ == jobstate::kForwarding) NextForwardingQuery();
}

void CMessageFilter::NextForwardingQuery() {
  std::string next = monitors ? monitors->Next(1, true, false) : std::string();
  if (!next.empty()) {
    if (link) link->QueryForwarding(next);
    return;
  }
  EndForwarding();
}

void CMessageFilter::EndForwarding() {
  TakeOrRelease(jobstate::kForwarding, 0);  // only our own state
  HubReport(linkev::kForwardingDone);
  LinkEvent(linkev::kForwardingDone);
}

void CMessageFilter::NextSnapshot() {
  std::string next = monitors ? monitors->Next(1, true, false) : std::string();
  if (!next.empty()) {
    if (link) link->SnapshotDevice(next);
    return;
  }
  EndSnapshots();
}

void CMessageFilter::EndSnapshots() {
  TakeOrRelease(jobstate::kSnapshot, 0);
  HubReport(linkev::kForwardingDone);
  LinkEvent(linkev::kSnapshotsDone);
}

bool CMessageFilter::AnswersOutstanding(const CSTAMessage& r) const {
  return !hasOutstanding_ || r.InvokeId() == 0 || r.InvokeId() == outstanding_.InvokeId();
}

void CMessageFilter::LogFailure(int code) {
  Log(plat::StrFormatC("%s: %s", JobText(job_).c_str(), GetErrorName(code)));
}

// A refused start-up step does not hold the start-up: the device count and
// the capabilities are only asked (the monitors start without them), a
// refused query or snapshot moves on to the next extension, a refused
// monitor leaves its entry failed for the next step to pass.
void CMessageFilter::OnFailure(const CSTAMessage& r) {
  const int code = ReadUniversalFailureCode(r);
  if (makeCallPending_ && r.InvokeId() == makeCallInvoke_) {
    FailMakeCall();
    return;
  }
  // The start-up's device count is private too: its refusal is the start-up's.
  const bool chargeJob = job_ == jobstate::kFree || job_ == jobstate::kChargeReadout || job_ == jobstate::kViewJob ||
                         job_ == jobstate::kChargeSums;
  if (chargeJob && hasOutstanding_ && outstanding_.Type() == CSTA_PRIVATE && AnswersOutstanding(r)) {
    RefusePrivate(code);
    return;
  }
  if (job_ == jobstate::kMonitorStart) {
    CMonitorEntry* e = MonitorEntryAnswered(r);
    if (e && e->monitorState == CMonitorEntry::kStartRequested) {
      e->monitorState = CMonitorEntry::kStartFailed;
      if (code == 12) e->monitoringOn = 0;
    }
    return;
  }
  const bool startUp = job_ == jobstate::kForwarding || job_ == jobstate::kSnapshot || job_ == jobstate::kApiCaps ||
                       job_ == jobstate::kDeviceCount;
  if (!startUp || !AnswersOutstanding(r)) return;
  if (code != 81 && code != 12) LogFailure(code);
  hasOutstanding_ = false;
  switch (job_) {
    case jobstate::kForwarding: NextForwardingQuery(); break;
    case jobstate::kSnapshot: NextSnapshot(); break;
    case jobstate::kApiCaps: LinkEvent(linkev::kCapabilities); break;
    default: LinkEvent(linkev::kDeviceCountDone); break;
  }
}

// A refused charge request ends its job as an unanswered one does, but
// without repeats: a refusal is the PBX's answer.
void CMessageFilter::RefusePrivate(int code) {
  hasOutstanding_ = false;
  SetRequestTimer(0, 0);
  LogFailure(code);
  const std::uint32_t job = job_;
  if (job == jobstate::kChargeReadout || job == jobstate::kChargeSums) {
    TakeOrRelease(job, 0);
  } else if (job == jobstate::kViewJob) {
    TakeOrRelease(job, 0);
    readCount_ = 0;
    readIndex_ = 0;
    if (callHandler) callHandler->OnCallEvent(CSTA_PRIVATE, nullptr);
  }
  if (charge) charge->OnRequestRefused(job, code);
}

void CMessageFilter::FailMakeCall() {
  makeCallPending_ = false;
  CCallInfo* call = callHandler ? callHandler->GetCallByCallReferenceID(makeCallRef_, kPoolCode) : nullptr;
  if (!call || call->state == CCallInfo::kIdle || call->connectedMark == -1) return;
  if (main_ && main_->currentCall == call) main_->currentCall = nullptr;
  callHandler->ClearCall(call, kPoolCode);
}

void CMessageFilter::OnConferenced(const CSTAMessage& r) {
  ConferencedEvent ev = ReadConferenced(r);
  const std::string mainNumber = main_ ? main_->Number() : std::string();
  bool done = false;
  auto takeUp = [&] {
    if (done || !callHandler || ev.connections.empty()) return;
    done = true;
    CCallInfo* call = callHandler->GetCallByCallID(static_cast<int>(ev.connections[0].connection.callId), kPoolCode);
    if (call) {
      call->generatorId = CCallHandler::kUserId;
      callHandler->RetrieveCall(call, kPoolCode);
      if (main_) main_->currentCall = call;
      callHandler->OnCallEvent(CSTA_CONFERENCED, call);
    }
    Log(Text(call ? plat::TextId(55, 8) : plat::TextId(55, 9)));
  };
  if (!mainNumber.empty() && ev.conferencingDevice.device == mainNumber) takeUp();
  for (const ConferencedEntry& c : ev.connections) {
    CMonitorEntry* e = monitors && !c.connection.device.empty() ? monitors->FindByNumber(c.connection.device) : nullptr;
    if (!e) continue;
    e->connectionState = 3;
    Tell(e->Number(), c.connection.callId, CSTA_CONFERENCED);
    if (e == main_) takeUp();
  }
}

void CMessageFilter::OnConnectionCleared(const CSTAMessage& r) {
  ConnectionClearedEvent ev = ReadConnectionCleared(r);
  CMonitorEntry* e = EntryFor(r, ev.droppedConnection.device);
  if (!e) return;
  const int callId = static_cast<int>(ev.droppedConnection.callId);
  // A call the user has cleared already is not cleared a second time: it
  // would be counted again as missed or as call data.
  if (e == main_) {
    CCallInfo* cur = e->currentCall;
    if (cur && cur->callId == callId) {
      if (callHandler && cur->state != CCallInfo::kIdle) callHandler->ClearCall(cur, kPoolCode);
      cur->state = CCallInfo::kIdle;
      e->currentCall = nullptr;
    } else if (callHandler) {
      CCallInfo* call = callHandler->FindLiveCall(callId);
      if (call && call->state != CCallInfo::kIdle &&
          callHandler->ClearCall(call, kPoolCode) == CCallHandler::kCleared)
        callHandler->OnCallEvent(CSTA_CONNECTION_CLEARED, call);
    }
  } else if (e->monitoringOn && e->watchMode == CMonitorEntry::kExtended && e->currentCall) {
    if (callHandler) callHandler->ClearCall(e->currentCall, kPoolCode);
    e->currentCall = nullptr;
  }
  e->connectionState = -1;
  e->lastEvent = 0;
  e->lastCallId = 0;
  Tell(e->Number(), ev.droppedConnection.callId, CSTA_CONNECTION_CLEARED);
}

void CMessageFilter::FillCallFromDelivered(CCallInfo* call, const std::string& calling, const std::string& called,
                                           std::uint32_t callId, const std::string& own) {
  const CGlobalConfig& cfg = GlobalConfig();
  if (calling == Text(plat::TextId(55, 7))) {
    call->callingNumber.clear();
    call->external = 1;
  } else if (calling.size() < 3) {
    call->callingNumber = calling;
  } else {
    call->callingNumber = cfg.CUTOFFLEADINGDIGIT == 1 ? calling.substr(1) : "0" + calling;
    call->external = 1;
  }
  call->calledNumber = called;
  call->callId = static_cast<int>(callId);
  if (own == called) {
    call->direction = CCallInfo::kIncoming;
    if (monitors && monitors->IsKnownNumber(calling)) {
      call->callingName = monitors->NameOf(calling, 1);
      call->state = CCallInfo::kRinging;
    }
  } else if (own == calling) {
    call->direction = CCallInfo::kOutgoing;
    if (monitors && monitors->IsKnownNumber(called)) {
      call->calledName = monitors->NameOf(called, 1);
      call->state = CCallInfo::kDialling;
    }
  }
}

void CMessageFilter::OnDelivered(const CSTAMessage& r) {
  DeliveredEvent ev = ReadDelivered(r);
  CMonitorEntry* e = EntryFor(r, ev.connection.device);
  if (!e || !e->monitoringOn) return;
  const std::uint32_t callId = ev.connection.callId;
  const std::string calling = ev.callingDevice.device;
  const std::string called = ev.calledDevice.device;
  const std::string number = e->Number();
  CCallInfo* cur = e->currentCall;

  if (e == main_ && callHandler) {
    if (!cur) {
      CCallInfo* call = callHandler->GetFreeCall(kPoolCode);
      if (!call) return;
      FillCallFromDelivered(call, calling, called, callId, number);
      e->currentCall = call;
      callHandler->StartIncomingCall(call, kPoolCode);
    } else if (cur->callId == static_cast<int>(callId)) {
      cur->state = CCallInfo::kDialling;
      e->connectionState = 1;
      callHandler->OnCallEvent(CSTA_DELIVERED, cur);
      Tell(number, callId, CSTA_DELIVERED);
      Log(Text(plat::TextId(55, 6)));
    } else if (cur->state >= 1 && cur->state <= 5) {
      CCallInfo* call = callHandler->GetFreeCall(kPoolCode);
      if (call) {
        FillCallFromDelivered(call, calling, called, callId, number);
        call->state = CCallInfo::kRinging;
        call->direction = CCallInfo::kIncoming;
        call->callingNumber = CallerDialForm(call->callingNumber);
        callHandler->IncomingCall(call, kPoolCode);
      }
    } else {
      callHandler->OnCallEvent(CSTA_DELIVERED, cur);
    }
  } else if (e != main_ && callHandler) {
    if (e->watchMode == CMonitorEntry::kExtended && !cur) {
      if (CCallInfo* call = callHandler->GetFreeCall(kPoolCode)) {
        call->callingNumber = CallerDialForm(calling);
        call->calledNumber = called;
        call->callId = static_cast<int>(callId);
        call->generatorId = kPoolCode;
        e->currentCall = call;
      }
    } else if (e->watchMode == CMonitorEntry::kTakeOver && number == called) {
      if (CCallInfo* call = callHandler->GetFreeCall(kPoolCode)) {
        call->calledNumber = called;
        call->callId = static_cast<int>(callId);
        call->callingNumber = main_ ? main_->Number() : std::string();
        callHandler->PickupCall(call, kPoolCode);
      }
    }
  }

  e->lastCallId = callId;
  if (number == calling) {
    e->SetOtherParty(called);
    e->connDirection = 2;
    e->connectionState = 1;
  } else if (number == called) {
    e->SetOtherParty(CallerDialForm(calling));
    e->connDirection = 1;
    e->connectionState = 2;
  }
  if (e->currentCall && e->connDirection) e->currentCall->direction = static_cast<int>(e->connDirection);
  Tell(number, callId, CSTA_DELIVERED);
}

void CMessageFilter::OnEstablished(const CSTAMessage& r) {
  DeliveredEvent ev = ReadEstablished(r);
  CMonitorEntry* e = EntryFor(r, ev.connection.device);
  if (!e) return;
  const int callId = static_cast<int>(ev.connection.callId);
  CCallInfo* cur = e->currentCall;
  if (e == main_) {
    if (e->monitoringOn && cur && cur->callId == callId) {
      cur->state = CCallInfo::kConnected;
      if (callHandler) callHandler->OnCallEvent(CSTA_ESTABLISHED, cur);
    }
  } else if (e->monitoringOn && e->watchMode == CMonitorEntry::kExtended && cur) {
    cur->state = CCallInfo::kConnected;
    cur->beginTime = plat::WallTime();
  }
  e->connectionState = 3;
  e->lastEvent = CSTA_ESTABLISHED;
  e->lastCallId = ev.connection.callId;
  Tell(e->Number(), ev.connection.callId, CSTA_ESTABLISHED);
}

void CMessageFilter::OnHeld(const CSTAMessage& r) {
  HeldEvent ev = ReadHeld(r);
  CMonitorEntry* e = EntryFor(r, ev.connection.device);
  if (!e) return;
  CCallInfo* cur = e->currentCall;
  if (e == main_ && callHandler) {
    if (cur && cur->state != CCallInfo::kHeld) callHandler->HoldCall(cur, kPoolCode);
    else callHandler->OnCallEvent(CSTA_HELD, cur);
  }
  e->connectionState = 4;
  if (cur) cur->state = CCallInfo::kHeld;
  Tell(e->Number(), ev.connection.callId, CSTA_HELD);
}

void CMessageFilter::OnRetrieved(const CSTAMessage& r) {
  HeldEvent ev = ReadRetrieved(r);
  CMonitorEntry* e = EntryFor(r, ev.connection.device);
  if (!e) return;
  if (e == main_ && callHandler) {
    if (CCallInfo* call = callHandler->GetCallByCallID(static_cast<int>(ev.connection.callId), kPoolCode)) {
      e->currentCall = call;
      callHandler->RetrieveCall(call, kPoolCode);
    }
  }
  e->connectionState = 3;
  if (e->currentCall) e->currentCall->state = CCallInfo::kConnected;
  if (e == main_ && callHandler) callHandler->OnCallEvent(CSTA_RETRIEVED, e->currentCall);
  Tell(e->Number(), ev.connection.callId, CSTA_RETRIEVED);
}

void CMessageFilter::OnServiceInitiated(const CSTAMessage& r) {
  ServiceInitiatedEvent ev = ReadServiceInitiated(r);
  CMonitorEntry* e = EntryFor(r, ev.initiatedConnection.device);
  if (!e) return;
  if (e == main_ && e->monitoringOn && callHandler) callHandler->OnCallEvent(CSTA_SERVICE_INITIATED, nullptr);
  e->connectionState = 0;
  Tell(e->Number(), ev.initiatedConnection.callId, CSTA_SERVICE_INITIATED);
}

// A transfer at the main phone ends both of its calls there: the records
// of the primary and the secondary old call are cleared (released records
// are left alone rather than revived by their recurring call ids).
void CMessageFilter::OnTransferred(const CSTAMessage& r) {
  TransferredEvent ev = ReadTransferred(r);
  CMonitorEntry* e = monitors && !ev.secondaryOldCall.device.empty() ? monitors->FindByNumber(ev.secondaryOldCall.device)
                                                                      : nullptr;
  if (!e) return;
  if (e == main_ && callHandler) {
    for (std::uint32_t id : {ev.primaryOldCall.callId, ev.secondaryOldCall.callId}) {
      CCallInfo* call = callHandler->FindLiveCall(static_cast<int>(id));
      if (call && call->state != CCallInfo::kIdle) callHandler->ClearCall(call, kPoolCode);
    }
    main_->currentCall = nullptr;
    callHandler->OnCallEvent(CSTA_TRANSFERRED, nullptr);
  }
  Tell(e->Number(), ev.secondaryOldCall.callId, CSTA_TRANSFERRED);
}

// ---------------------------------------------------------------- private

// Only one side asks the PBX for the next call-charge record: this
// dispatcher drives its own read-outs (job 3, the view's, and job 5); the
// charge and log handler drives job 2 (and the sums of job 6) itself, so
// here the replies of those jobs are only handed over.
bool CMessageFilter::DrivesReadOut() const { return job_ == jobstate::kViewJob || job_ == jobstate::kReadout; }

// The service record file lists the call records of a read-out: the counts
// and records of the charge handler's and the view's, not those that others
// ask for (a count would empty it).
bool CMessageFilter::KeepsServiceRecords() const {
  return job_ == jobstate::kChargeReadout || job_ == jobstate::kViewJob;
}

void CMessageFilter::AskCallRecord(int index) {
  CSTAMessage req = PrivateRequest(0, 0, EXTPBX_GETSINGLECALLINFOBYIDX, plat::StrFormatC("%i", index));
  Log(Text(plat::TextId(55, 11)));
  if (link) link->Send(req, 1);
}

void CMessageFilter::EndReadOut() {
  SetRequestTimer(0, 0);
  hasOutstanding_ = false;
  if (DrivesReadOut()) TakeOrRelease(job_, 0);
  readCount_ = 0;
  readIndex_ = 0;
  if (callHandler) callHandler->OnCallEvent(CSTA_PRIVATE, nullptr);
}

void CMessageFilter::OnPrivate(const CSTAMessage& r) {
  const std::uint8_t kind = r.PrivateKind();
  if (kind % 2 == 0) {
    static const plat::TextId kCommandTexts[] = {
        plat::TextId(55, 10), plat::TextId(55, 11), plat::TextId(55, 12), plat::TextId(55, 13),
        plat::TextId(55, 14), plat::TextId(55, 15), plat::TextId(55, 16), plat::TextId(55, 17),
        plat::TextId(55, 18), plat::TextId(55, 19)};
    const std::uint32_t xref = kind == EXTPBX_GETSINGLECALLINFOBYIDX ? 0 : r.CrossRefId();
    CSTAMessage req = PrivateRequest(0, xref, kind, r.Text(csta_req::kPrivateTextAt, csta_req::kPrivateTextWidth));
    if (kind < 20) Log(Text(kCommandTexts[kind / 2]));
    if (link) link->Send(req, 1);
    return;
  }
  PrivateReply reply = ReadPrivateReply(r);
  switch (kind) {
    case EXTPBX_GETNUMBEROFCALLINFOS_CONF: {
      SetRequestTimer(0, 0);
      const int max = charge ? charge->GetMaxRecordCount() : readMax_;
      const long n = plat::AtolC(reply.count.c_str());
      // The charge read-out takes a negative count as none, as its handler does.
      readCount_ = n < 0 ? (job_ == jobstate::kChargeReadout ? 0 : max) : static_cast<int>(std::min<long>(n, max));
      if (charge) charge->ProcessChargeMessage(r);
      if (readCount_ == 0) {
        EndReadOut();
        if (charge) charge->OnReadOutFinished();
        return;
      }
      if (serviceRecords && KeepsServiceRecords()) serviceRecords->OnCallRecordCount(r);
      if (DrivesReadOut()) {
        readIndex_ = 0;
        AskCallRecord(readIndex_);
      }
      return;
    }
    case EXTPBX_GETMAXNUMBEROFCALLINFOS_CONF:
      if (charge) charge->ProcessChargeMessage(r);
      // A read-out of the view's begins with the maximum: the count follows.
      if (DrivesReadOut() && readCount_ <= 0) {
        CSTAMessage req = PrivateRequest(0, r.CrossRefId(), EXTPBX_GETNUMBEROFCALLINFOS);
        Log(Text(plat::TextId(55, 10)));
        if (link) link->Send(req, 1);
      }
      return;
    case EXTPBX_GETLASTCALLINFO_CONF:
    case EXTPBX_DELETEDEVICEUNITS_CONF:
    case EXTPBX_GETDEVICEUNITS_CONF:
    case EXTPBX_DELALLREPORTLOGENTRIES_CONF:
      if (charge) charge->ProcessChargeMessage(r);
      return;
    case EXTPBX_GETSINGLECALLINFOBYIDX_CONF:
      if (serviceRecords && KeepsServiceRecords()) serviceRecords->OnCallRecordCount(r);
      if (charge) charge->ProcessChargeMessage(r);
      // Only a record moves a read-out on: other replies answer other requests.
      if (!DrivesReadOut() || readCount_ <= 0) return;
      if (kind == EXTPBX_GETSINGLECALLINFOBYIDX_CONF && job_ == jobstate::kViewJob && callHandler) {
        // The view's read-out brings the calls that reached the workstation.
        if (CCallInfo* call = callHandler->GetFreeCall(kPoolCode)) {
          call->callingNumber = reply.callingNumber;
          call->calledNumber = reply.calledNumber;
          call->beginTime = static_cast<std::time_t>(plat::AtolC(reply.startTime.c_str()));
          call->duration = static_cast<std::time_t>(std::max(0L, plat::AtolC(reply.duration.c_str())));
          call->endTime = call->beginTime + call->duration;
          callHandler->OnCallEvent(CSTA_PRIVATE, call);
          callHandler->FreeCall(call);
        }
      }
      if (++readIndex_ < readCount_) {
        AskCallRecord(readIndex_);
      } else {
        EndReadOut();
      }
      return;
    case EXTPBX_GETMAXNUMBEROFDEVICES_CONF: {
      SetRequestTimer(0, 0);
      hasOutstanding_ = false;
      const long devices = plat::AtolC(reply.count.c_str());
      if (monitors && devices > 0) monitors->SetShownCount(static_cast<int>(devices));
      const long length = plat::AtolC(r.Text(kNumberLengthAt, kNumberLengthWidth).c_str());
      if (monitors && length > 0 && length <= 64) monitors->SetInternalNumberLength(static_cast<int>(length));
      if (charge) charge->ProcessChargeMessage(r);
      LinkEvent(linkev::kDeviceCountDone);
      return;
    }
    default:
      if (charge) charge->ProcessChargeMessage(r);
      return;
  }
}

// ---------------------------------------------------------------- monitors

CMonitorEntry* CMessageFilter::MonitorEntryAnswered(const CSTAMessage& r) {
  if (!monitors) return nullptr;
  const std::uint32_t id = r.InvokeId();
  if (id == 0) return monitors->EntryInProgress();
  for (int i = 0; i < CMonitorTable::kEntries; ++i)
    if (CMonitorEntry* e = monitors->EntryAt(i); e && e->requestInvokeId == id) return e;
  return nullptr;
}

std::uint32_t CMessageFilter::NextMonitorInvoke() {
  const std::uint32_t id = link ? link->NextRequestId() : 0;
  return id != 0 ? id : ++monitorInvoke_;
}

void CMessageFilter::StopMonitor(std::uint32_t crossRefId) {
  CSTAMessage req = MonitorStopRequest(NextMonitorInvoke(), crossRefId);
  if (link) link->SendRequest(&req);
  if (traceFileOpen_) GetMessageText(req);
}

void CMessageFilter::OnMonitorConf(const CSTAMessage& r) {
  MonitorConf c = ReadMonitorConf(r);
  CMonitorEntry* e = MonitorEntryAnswered(r);
  if (!e) {
    // A monitor that no entry asked for (or no longer waits for) is of no
    // use and would report calls under an id nobody knows.
    if (r.InvokeId() != 0 && c.crossRefId != 0) StopMonitor(c.crossRefId);
    else Log(Text(plat::TextId(56, 1)));
    return;
  }
  if (e->monitorState == CMonitorEntry::kMonitored && e->crossRefId == c.crossRefId) return;
  if (e->monitorState != CMonitorEntry::kStartRequested) {
    // Too late: the entry was given up, the steps went on without it.
    if (c.crossRefId != 0) StopMonitor(c.crossRefId);
    return;
  }
  e->monitorState = CMonitorEntry::kMonitored;
  e->monitoringOn = 1;
  e->crossRefId = c.crossRefId;
  e->confWord1 = c.word14;
  e->confWord2 = c.word18;
  e->confByte = c.byte22;
  if (monitors->GetMode() == CMonitorTable::kStartingOne) monitors->SetMode(CMonitorTable::kIdle);
  monitors->MarkChanged();
}

void CMessageFilter::OnMonitorStopConf(const CSTAMessage& r) {
  CMonitorEntry* e = monitors ? monitors->EntryInProgress() : nullptr;
  if (!e) {
    Log(Text(plat::TextId(56, 1)));
    return;
  }
  if (e->crossRefId != r.CrossRefId()) return;
  e->monitorState = CMonitorEntry::kStopped;
  e->monitoringOn = 0;
}

void CMessageFilter::OnSnapshotConf(const CSTAMessage& r) {
  SnapshotDeviceConf c = ReadSnapshotDeviceConf(r);
  if (monitors && !c.device.empty()) {
    if (CMonitorEntry* e = monitors->FindByNumber(c.device)) {
      std::copy(c.kept.begin(), c.kept.end(), e->snapshotData);
      e->snapshotTime = static_cast<std::uint32_t>(plat::WallTime());
    }
  }
  if (job_ == jobstate::kSnapshot) NextSnapshot();
}

void CMessageFilter::OnApiCapsConf(const CSTAMessage& r) {
  if (job_ == jobstate::kApiCaps) LinkEvent(linkev::kCapabilities, &r);
}

int CMessageFilter::MonitorStep(int start) {
  if (!monitors) return 0;
  if (start) {
    TakeOrRelease(jobstate::kMonitorStart, 1);
    if (monitors->GetMode() != CMonitorTable::kStartingOne) monitors->SetMode(CMonitorTable::kStarting);
  } else {
    TakeOrRelease(jobstate::kMonitorStop, 1);
    monitors->SetMode(CMonitorTable::kStopping);
  }
  if (monitors->EntryInProgress() && monitors->WaitForConfirmation(start ? 0 : 1)) return 1;
  std::string next = monitors->NextToMonitor();
  if (!next.empty()) {
    SendMonitorRequest(next, start);
    return 1;
  }
  // The sequence is over: its last entry is settled, so nothing is left in
  // progress for the next sequence to wait for.
  monitors->SetEntryInProgress(nullptr);
  if (start) {
    TakeOrRelease(jobstate::kMonitorStart, 0);
    if (monitors->CountMonitored() == 0) {
      // The first step runs inside the dispatch of the capability reply; a
      // modal box there would let the next record in before this one is done.
      plat::PostMessage(self_, kWarnNoMonitor);
      Log(Text(plat::TextId(55, 0)));
    }
    // The start-up goes on to its end with or without monitors: the line
    // works, and the user can watch extensions once told.
    LinkEvent(linkev::kMonitorsStarted);
    main_ = monitors->MainPhoneEntry();
    monitors->SetMode(CMonitorTable::kIdle);
    return 0;
  }
  monitors->SetMode(CMonitorTable::kIdle);
  if (link) link->SetLinkState(linkstate::kClosed);
  LinkEvent(linkev::kMonitorsStopped);
  TakeOrRelease(jobstate::kMonitorStop, 0);
  return 0;
}

CSTAMessage CMessageFilter::BuildMonitorRequest(const std::string& number, int start, bool* ok,
                                                std::uint32_t invokeId) {
  if (ok) *ok = false;
  if (start) {
    if (ok) *ok = true;
    return MonitorDeviceRequest(invokeId, number);
  }
  CMonitorEntry* e = monitors ? monitors->FindByNumber(number) : nullptr;
  if (!e || e->crossRefId == 0) return CSTAMessage{};
  if (ok) *ok = true;
  return MonitorStopRequest(invokeId, e->crossRefId);
}

// Each request has an id of its own, kept with its entry: a confirmation
// is matched by it, never by which entry happens to be in progress.
int CMessageFilter::SendMonitorRequest(const std::string& number, int start) {
  bool ok = false;
  const std::uint32_t id = NextMonitorInvoke();
  CSTAMessage req = BuildMonitorRequest(number, start, &ok, id);
  if (!ok) return 0;
  if (CMonitorEntry* e = monitors ? monitors->FindByNumber(number) : nullptr) e->requestInvokeId = id;
  int r = link ? link->SendRequest(&req) : 0;
  if (traceFileOpen_) GetMessageText(req);
  return r;
}

int CMessageFilter::NoteMakeCall(int type, CCallInfo* call, std::uint32_t invokeId) {
  if (type != CSTA_MAKE_CALL) return 0;
  makeCallPending_ = call != nullptr;
  makeCallRef_ = call ? call->callRefId : 0;
  makeCallInvoke_ = invokeId;
  main_ = monitors ? monitors->MainPhoneEntry() : nullptr;
  if (main_) main_->currentCall = call;
  if (traceFileOpen_ && call)
    traceFile_.WriteTimeStampedLine(plat::StrFormatC("MakeCall CR-ID:%ld %s -> %s", static_cast<long>(call->callRefId),
                                                     call->callingNumber.c_str(), call->calledNumber.c_str())
                                        .c_str());
  return 1;
}

void CMessageFilter::OnLineLost() {
  makeCallPending_ = false;
  hasOutstanding_ = false;
  if (!monitors) return;
  main_ = monitors->MainPhoneEntry();
  for (int i = 0; i < CMonitorTable::kEntries; ++i) {
    CMonitorEntry* e = monitors->EntryAt(i);
    if (!e) continue;
    CCallInfo* cur = e->currentCall;
    e->currentCall = nullptr;
    e->connectionState = -1;
    e->lastEvent = 0;
    e->lastCallId = 0;
    if (cur && callHandler && cur->state != CCallInfo::kIdle && cur->connectedMark != -1)
      callHandler->ClearCall(cur, kPoolCode);
  }
  // The call handler's own current and second calls, when no entry held them.
  if (!callHandler) return;
  for (CCallInfo* c : {callHandler->GetCurrentCall(kPoolCode), callHandler->GetSecondCall(kPoolCode)})
    if (c && c->state != CCallInfo::kIdle) callHandler->ClearCall(c, kPoolCode);
}

// ---------------------------------------------------------------- outstanding request

int CMessageFilter::SetRequestTimer(int reserved, int on) {
  (void)reserved;
  HubReport(on ? hub::kStartRequestTimer : hub::kStopRequestTimer, kRequestPeriodMs);
  return 1;
}

int CMessageFilter::NoteOutstanding(const CSTAMessage* record) {
  if (!record) {
    hasOutstanding_ = false;
    repeats_ = 0;
    return 0;
  }
  outstanding_ = *record;
  hasOutstanding_ = true;
  repeats_ = 0;
  SetRequestTimer(0, 1);
  return 1;
}

int CMessageFilter::OnTimer(unsigned id) {
  if (id != hub::kTimerRequest || !hasOutstanding_) return 0;
  if (repeats_ < kMaxRepeats) {
    SetRequestTimer(0, 0);
    ++repeats_;
    Log(plat::StrFormatC("%s%i", Text(plat::TextId(55, 20)).c_str(), repeats_));
    // Sent without noting: noting would start the count again.
    if (link) link->Send(outstanding_, 0);
    SetRequestTimer(0, 1);
    return 1;
  }
  hasOutstanding_ = false;
  if (job_ == jobstate::kChargeReadout || job_ == jobstate::kChargeSums) {
    const std::uint32_t job = job_;
    TakeOrRelease(job, 0);
    if (charge) charge->OnRequestFailed(job);
  } else if (job_ == jobstate::kViewJob) {
    TakeOrRelease(jobstate::kViewJob, 0);
    readCount_ = 0;
    readIndex_ = 0;
    if (callHandler) callHandler->OnCallEvent(CSTA_PRIVATE, nullptr);
  } else {
    Log(plat::StrFormatC("%s %i%s", Text(plat::TextId(55, 21)).c_str(), repeats_, Text(plat::TextId(55, 22)).c_str()));
    HubReport(hub::kRequestGivenUp);
    // A charge request outside the read-outs (a count, a deletion) would
    // leave its job waiting for ever.
    if (charge && outstanding_.Type() == CSTA_PRIVATE) charge->OnRequestFailed(job_);
    // A start-up step whose request got no answer ends here: its job is
    // released; the queries and snapshots end their run as if all answered.
    switch (job_) {
      case jobstate::kDeviceCount:
      case jobstate::kApiCaps: TakeOrRelease(job_, 0); break;
      case jobstate::kForwarding: EndForwarding(); break;
      case jobstate::kSnapshot: EndSnapshots(); break;
      default:
        if (makeCallPending_ && outstanding_.Type() == CSTA_MAKE_CALL) FailMakeCall();
        break;
    }
  }
  return 0;
}

plat::LRESULT CMessageFilter::OnMessage(const plat::Message& m) {
  if (m.msg != kWarnNoMonitor) return 0;
  std::string text = plat::StrFormatC("%s\r\n\r\n%s\r\n%s\r\n%s\r\n%s", Text(plat::TextId(55, 0)).c_str(),
                                      Text(plat::TextId(55, 1)).c_str(), Text(plat::TextId(55, 2)).c_str(),
                                      Text(plat::TextId(55, 3)).c_str(), Text(plat::TextId(55, 4)).c_str());
  plat::MessageBox(view, text, "", plat::MB_OK | plat::MB_ICONWARNING);
  return 0;
}

// ---------------------------------------------------------------- listeners

int CMessageFilter::RegisterListener(CSTAMessageListener* listener, void* reserved, std::int16_t position) {
  (void)reserved;
  if (!listener) return 1;
  if (position == 1) listeners_.push_front(listener);
  else if (position == -1) listeners_.push_back(listener);
  return 1;
}

int CMessageFilter::RemoveListener(CSTAMessageListener* listener) {
  auto it = std::find(listeners_.begin(), listeners_.end(), listener);
  if (it == listeners_.end()) return 0;
  listeners_.erase(it);
  return 1;
}

// One fresh copy a record, in a block of the filter's own: every record
// passes here, and the outermost call needs no allocation. A listener that
// feeds the filter again from inside gets blocks of its own.
void CMessageFilter::NotifyListeners(const CSTAMessage& record) {
  if (listeners_.empty()) return;
  std::unique_ptr<CSTAMessage> nestedCopy;
  std::vector<CSTAMessageListener*> nestedSnapshot;
  const bool outer = notifyDepth_++ == 0;
  CSTAMessage& copy = outer ? notifyCopy_ : *(nestedCopy = std::make_unique<CSTAMessage>());
  std::vector<CSTAMessageListener*>& snapshot = outer ? notifySnapshot_ : nestedSnapshot;
  copy = record;
  // A listener may register or remove listeners while it is called.
  snapshot.assign(listeners_.begin(), listeners_.end());
  for (CSTAMessageListener* l : snapshot)
    if (std::find(listeners_.begin(), listeners_.end(), l) != listeners_.end()) l->OnMessage(copy);
  --notifyDepth_;
}
