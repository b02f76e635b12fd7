#include "core/link/sytemobject.h"

#include <cstring>

#include "core/base/globalconfig.h"
#include "core/base/globallog.h"
#include "core/base/textlogfile.h"
#include "core/calls/callinfo.h"
#include "core/iface/viewhub.h"
#include "core/monitor/monitortable.h"
#include "core/serial/serialport.h"
#include "core/wire/csta_requests.h"
#include "platform/msgbox.h"
#include "platform/text.h"
#include "platform/textid.h"
#include "platform/trace.h"

namespace {

constexpr const char* kCommLogName = "comport.log";

std::uint32_t CallIdOf(const CCallInfo* call) { return call ? static_cast<std::uint32_t>(call->callId) : 0; }

}  // namespace

CSytemObject::CSytemObject(plat::WindowId view, IPBXLinkFilter* filter, CMonitorTable* monitors,
                           CGlobalConfig* config)
    : view_(view), filter_(filter), monitors_(monitors), config_(config) {
  self_ = plat::RegisterTarget(this);
}

CSytemObject::~CSytemObject() {
  plat::UnregisterTarget(self_);
  ClearRing();
  ClosePort();
}

CGlobalConfig& CSytemObject::Config() const { return config_ ? *config_ : GlobalConfig(); }

int CSytemObject::PostToSelf(plat::UINT message, plat::WPARAM wParam, plat::LPARAM lParam) {
  return plat::PostMessage(self_, message, wParam, lParam) ? 1 : 0;
}

plat::LRESULT CSytemObject::OnMessage(const plat::Message& m) {
  const CSTAMessage* record = nullptr;
  CSTAMessage copy;
  if (m.payload.size() >= CSTAMessage::kSize) {
    copy = CSTAMessage::FromBytes(m.payload.data(), m.payload.size());
    record = &copy;
  }
  if (m.msg == kMsgReceived) return record ? OnLinkMessage(linkev::kIncoming, 0, record) : 0;
  if (m.msg == kMsgCommNotify) return ProcessCommInput(m.wParam, m.lParam);
  if (m.msg == kMsgShowText) {
    plat::MessageBox(view_, plat::GetTextOr(plat::TextId(59, static_cast<int>(m.lParam)), ""), "",
                     plat::MB_OK | plat::MB_ICONERROR);
    return 0;
  }
  if (m.msg == CSerialPort::kMsgLineLost) {
    OnLineLost(static_cast<int>(m.lParam));
    return 0;
  }
  if (m.msg >= linkev::kMonitorsStarted && m.msg <= linkev::kCapabilities)
    return OnLinkMessage(m.msg, m.wParam, record);
  return 0;
}

void CSytemObject::ReportToView(plat::UINT code) {
  if (view_ != 0) plat::SendMessage(view_, code, 0, 0);
}

void CSytemObject::ArmStepTimer() {
  if (view_ != 0) plat::SetTimer(view_, kTimerLinkStep, kStepMs);
}

std::uint32_t CSytemObject::CrossRefOf(const std::string& number) const {
  return monitors_ && !number.empty() ? monitors_->GetCrossRefId(number) : 0;
}

std::string CSytemObject::MainPhone() const { return monitors_ ? monitors_->GetMainPhone() : std::string(); }

void CSytemObject::LogLine(const std::string& line) const { GlobalLog().WriteEntry(line.c_str()); }

// The serial trace log: a new file is only created by the first line.
void CSytemObject::CommLog(const std::string& line) const {
  CTextLogFile file;
  if (file.CreateIfMissing(kCommLogName) == 1) {
    file.Close();
    return;
  }
  if (file.OpenAppend(kCommLogName)) {
    file.WriteTimeStampedLine(line.c_str());
    file.Close();
  }
}

// ------------------------------------------------------------------ incoming

plat::LRESULT CSytemObject::OnLinkMessage(plat::UINT code, plat::WPARAM, const CSTAMessage* record) {
  switch (code) {
    case linkev::kIncoming:
      if (record == nullptr) return 0;
      AddToRing(*record);
      if (filter_) filter_->OnCSTAMessage(record);
      return 1;

    case linkev::kMonitorsStarted:
      state_ = linkstate::kRunning;
      if (AnswersQueryForwarding() && StartQueryRun(jobstate::kForwarding, &CSytemObject::QueryForwarding)) return 1;
      ReportToView(linkev::kMonitorsStarted);
      return 1;

    case linkev::kRequestGivenUp:
      // Shown from the queue: this comes from the link's own timer.
      if (!capsRequested_) PostToSelf(kMsgShowText, 0, 0);
      return 1;

    case linkev::kNothing1073:
      return 0;

    case linkev::kMonitorsStopped:
      state_ = linkstate::kClosed;
      ReportToView(linkev::kMonitorsStopped);
      return 1;

    case linkev::kDeviceCountDone:
      if (capsRequested_) return 0;
      if (filter_) filter_->TakeOrRelease(jobstate::kDeviceCount, 0);
      RequestCapabilities(1);
      return 1;

    case linkev::kForwardingDone:
      if (filter_) filter_->TakeOrRelease(jobstate::kForwarding, 0);
      if (AnswersSnapshot() && StartQueryRun(jobstate::kSnapshot, &CSytemObject::SnapshotDevice)) return 1;
      ReportToView(linkev::kMonitorsStarted);
      return 1;

    case linkev::kSnapshotsDone:
      ReportToView(linkev::kMonitorsStarted);
      return 1;

    case linkev::kCapabilities:
      if (filter_) filter_->TakeOrRelease(jobstate::kApiCaps, 0);
      if (record) {
        std::memcpy(caps_.data(), record->data() + kCapsAt, kCapsSize);
        capsReceived_ = 1;
      }
      StartStop(1);
      return 1;

    default:
      return 0;
  }
}

int CSytemObject::AddToRing(const CSTAMessage& record) {
  // Main thread only: the ring keeps its own copy in place of the slot's
  // old one; a slot's block is made once and then reused.
  auto& slot = ring_[static_cast<std::size_t>(ringIndex_)];
  if (slot) *slot = record;
  else slot = std::make_unique<CSTAMessage>(record);
  ringIndex_ = (ringIndex_ + 1) % kRingSize;
  return 1;
}

int CSytemObject::ClearRing() {
  int any = 0;
  for (auto& slot : ring_) {
    if (slot) any = 1;
    slot.reset();
  }
  return any;
}

const CSTAMessage* CSytemObject::RingAt(int slot) const {
  if (slot < 0 || slot >= kRingSize) return nullptr;
  return ring_[static_cast<std::size_t>(slot)].get();
}

bool CSytemObject::AnswersQueryForwarding() const {
  constexpr std::size_t at = 40 - kCapsAt;
  return capsReceived_ && (caps_[at] | (caps_[at + 1] << 8)) == 1;
}

// Takes the job and asks for the first watched extension; the filter's
// confirmations walk the rest. False (job released) when none is watched.
bool CSytemObject::StartQueryRun(std::uint32_t job, int (CSytemObject::*ask)(std::string_view)) {
  if (!monitors_ || !filter_) return false;
  monitors_->ResetCursor();
  filter_->TakeOrRelease(job, 1);
  const std::string first = monitors_->Next(1, true, false);
  if (first.empty()) {
    filter_->TakeOrRelease(job, 0);
    return false;
  }
  (this->*ask)(first);
  return true;
}

bool CSytemObject::AnswersSnapshot() const {
  constexpr std::size_t at = 140 - kCapsAt;
  return capsReceived_ && (caps_[at] | (caps_[at + 1] << 8)) == 1;
}

// ------------------------------------------------------------------- sending

int CSytemObject::Send(const CSTAMessage& record, int note) {
  std::lock_guard<std::recursive_mutex> lock(sendMutex_);
  if (Config().TOLECSTALOGDLL != 0) ProcessCSTATraceMessage(0, record.data());
  const std::uint16_t n = CSTASendLength(record.Type());
  // The filter may report to the view while noting; the send area is
  // filled only afterwards.
  if (note == 1 && filter_) filter_->NoteOutstanding(&record);
  sendArea_.fill(0);
  sendArea_[frame::kPlainLengthAt] = static_cast<std::uint8_t>(n);
  sendArea_[frame::kPlainLengthAt + 1] = static_cast<std::uint8_t>(n >> 8);
  std::memcpy(sendArea_.data() + frame::kDataAt, record.data(), n);
  if (port_) {
    port_->Send(sendArea_.data(), sendArea_.size());
  } else if (network_) {
    network_->SendToNetwork(kNetworkKindCsta, record.data(), n);
  }
  return 0;
}

int CSytemObject::SendRequest(const CSTAMessage* record) {
  if (record == nullptr || noRequests_ != 0) return 0;
  Send(*record, 0);
  return 1;
}

int CSytemObject::SetNoRequests(std::uint32_t flag) {
  const int changed = flag != noRequests_ ? 1 : 0;
  noRequests_ = flag;
  return changed;
}

void CSytemObject::LoadNoRequests() { noRequests_ = static_cast<std::uint32_t>(Config().SYSCON); }

std::uint32_t CSytemObject::NextRequestId() { return ++requestCounter_; }

int CSytemObject::RequestCapabilities(int kind) {
  if (kind == 1) {
    if (filter_) filter_->TakeOrRelease(jobstate::kApiCaps, 1);
    capsRequested_ = 1;
    Send(GetApiCapsRequest(NextRequestId(), 0), 1);
  } else {
    if (filter_) filter_->TakeOrRelease(jobstate::kDeviceCount, 1);
    Send(PrivateRequest(NextRequestId(), 0, EXTPBX_GETMAXNUMBEROFDEVICES), 1);
  }
  return 1;
}

int CSytemObject::SnapshotDevice(std::string_view number) {
  const std::string n(number);
  Send(SnapshotDeviceRequest(NextRequestId(), CrossRefOf(n), n), 1);
  return 1;
}

int CSytemObject::QueryForwarding(std::string_view number) {
  const std::string n(number);
  Send(QueryForwardingRequest(NextRequestId(), CrossRefOf(n), n), 1);
  return 1;
}

// ------------------------------------------------------------ start and stop

std::uint32_t CSytemObject::StartStop(int start) {
  // The state comes first, so a step that finishes at once (and sets the
  // next state itself) is not overwritten; the timer only runs while a
  // step asks for more.
  ForgetEntryInProgress();
  if (start == 1) {
    state_ = linkstate::kStarting;
    if (filter_ && filter_->MonitorStep(1) != 0) ArmStepTimer();
  } else {
    state_ = linkstate::kStopping;
    if (filter_ && filter_->MonitorStep(0) != 0 && state_ != linkstate::kClosed) ArmStepTimer();
  }
  return state_;
}

int CSytemObject::LinkStep() {
  if (!filter_) return 0;
  return filter_->MonitorStep(state_ == linkstate::kStarting ? 1 : 0);
}

int CSytemObject::Open(plat::WindowId view) {
  view_ = view;
  // Every open is a new start-up with a PBX that knows nothing of us: the
  // device count, the capabilities and the monitors are asked again.
  capsRequested_ = 0;
  capsReceived_ = 0;
  lineLost_ = false;
  if (UsesNetwork()) {
    // Called when the server confirmed the registration: started whatever
    // NIU says (the link would otherwise never start).
    ClosePort();
    BeginStartUp();
    return 1;
  }
  if (!OpenPort()) {
    // A port that did not open is no link: say so and stay closed. The box
    // comes from the queue, so no modal loop runs inside the start-up (a
    // terminate signal could not end the program then).
    PostToSelf(kMsgShowText, 0, 1);
    return 1;
  }
  // The start-up goes out once, on the port that is now open.
  BeginStartUp();
  return 1;
}

int CSytemObject::Reopen() {
  if (UsesNetwork() || port_) return 0;
  if (!OpenPort()) return 0;
  capsRequested_ = 0;
  capsReceived_ = 0;
  lineLost_ = false;
  BeginStartUp();
  return 1;
}

bool CSytemObject::OpenPort() {
  ClosePort();
  auto port = std::make_unique<CSerialPort>();
  port->SetLossTarget(self_);
  if (port->Open(Config().CPID, view_) != CSerialPort::kStatusOpen) return false;
  port_ = std::move(port);
  return true;
}

void CSytemObject::BeginStartUp() {
  const CGlobalConfig& c = Config();
  if (c.NIU != 0 && c.OLDPROTOCOLL == 1)
    StartMonitors();
  else
    RequestCapabilities(0);
  LoadNoRequests();
}

bool CSytemObject::UsesNetwork() const {
  const CGlobalConfig& c = Config();
  return c.CPID == kNetworkPort && c.NTPAR != 1;
}

void CSytemObject::OnNetworkLost() {
  if (state_ == linkstate::kClosed) return;
  state_ = linkstate::kIdle;
  ForgetStartUp();
}

void CSytemObject::ForgetStartUp() {
  if (filter_) {
    for (std::uint32_t job : {jobstate::kMonitorStart, jobstate::kMonitorStop, jobstate::kSnapshot,
                              jobstate::kForwarding, jobstate::kApiCaps, jobstate::kDeviceCount})
      filter_->TakeOrRelease(job, 0);
    filter_->NoteOutstanding(nullptr);  // nothing can answer it any more
  }
  if (view_ != 0) plat::KillTimer(view_, kTimerLinkStep);
  if (!monitors_) return;
  ForgetEntryInProgress();
  monitors_->SetMode(CMonitorTable::kIdle);
  for (int i = 0; i < CMonitorTable::kEntries; ++i) {
    CMonitorEntry* e = monitors_->EntryAt(i);
    if (!e) continue;
    e->monitorState = CMonitorEntry::kNotMonitored;
    e->crossRefId = 0;
  }
}

void CSytemObject::OnLineLost(int err) {
  if (lineLost_ || !port_) return;
  lineLost_ = true;
  ClosePort();  // its worker has ended already
  ForgetStartUp();
  if (filter_) filter_->OnLineLost();
  state_ = linkstate::kClosed;
  LogLine(plat::StrFormatC("%s (COM%i, %i)", plat::GetTextOr(plat::TextId(52, 1), ""), Config().CPID + 1, err));
  if (view_ != 0) plat::SendMessage(view_, hub::kRequestGivenUp, linkev::kFailedLineLost, 0);
}

bool CSytemObject::Refuses(const char* request) const {
  if (state_ != linkstate::kClosed) return false;
  LogLine(plat::StrFormatC("CSytemObject::%s: link closed, request refused", request));
  return true;
}

// A new run of steps starts clean: the entry left in progress by the last
// run would otherwise be waited for, and then marked failed or stopped
// without a request.
void CSytemObject::ForgetEntryInProgress() {
  if (monitors_) monitors_->SetEntryInProgress(nullptr);
}

void CSytemObject::StartMonitors() {
  if (filter_ && filter_->TakeOrRelease(jobstate::kMonitorStart, 1)) StartStop(1);
}

void CSytemObject::ClosePort() {
  if (!port_) return;
  port_->Close();
  port_.reset();
}

int CSytemObject::StopStep() {
  if (state_ == linkstate::kClosed) {
    ClosePort();
    return 1;
  }
  if (state_ < linkstate::kStopping) {
    state_ = linkstate::kStopping;
    if (!monitors_ || monitors_->CountMonitored() == 0) return StopStep();
    ForgetEntryInProgress();
    if (filter_ && filter_->MonitorStep(0) != 0 && state_ != linkstate::kClosed) ArmStepTimer();
    return 0;
  }
  state_ = linkstate::kClosed;
  return StopStep();
}

// ------------------------------------------------------------ serial events

int CSytemObject::ProcessCommInput(plat::WPARAM, plat::LPARAM lParam) {
  if (Config().CPLFLAG == 1) CommLog("ProcessCommInput");
  return OnCommEvents(static_cast<std::uint32_t>(lParam));
}

int CSytemObject::OnCommEvents(std::uint32_t mask) {
  static constexpr struct {
    std::uint32_t bit;
    const char* name;
  } kOrder[] = {{EV_BREAK, "EV_BREAK"}, {EV_CTS, "EV_CTS"},   {EV_DSR, "EV_DSR"},         {EV_ERR, "EV_ERR"},
                {EV_PERR, "EV_PERR"},   {EV_RING, "EV_RING"}, {EV_RLSD, "EV_RLSD"},       {EV_RXCHAR, nullptr},
                {EV_TXEMPTY, "EV_TXEMPTY"}, {EV_RXFLAG, "EV_RXFLAG"}};
  const bool logging = Config().CPLFLAG == 1;
  bool known = false;
  for (const auto& e : kOrder) {
    if (!(mask & e.bit)) continue;
    known = true;
    const std::uint32_t before = mask;
    mask &= ~e.bit;
    const char* name = e.name;
    if (e.bit == EV_RXCHAR) {
      // The port's worker reads as well; Receive lets only one of them in.
      const bool received = port_ && port_->Receive() == 1;
      name = received ? "EV_RXCHAR - Receive" : "EV_RXCHAR - No Receive";
    }
    if (logging) CommLog(plat::StrFormatC("%s : 0x%04x -> 0x%04x", name, before, mask));
  }
  if (!known && logging) CommLog("Kill");
  return 1;
}

// ------------------------------------------------------- call-control requests

int CSytemObject::MakeCall(CCallInfo* call) {
  if (call == nullptr || noRequests_ != 0 || Refuses("MakeCall")) return 0;
  std::string dial;
  Config().GetDialNumber(call->calledNumber, dial);
  const std::uint32_t invoke = callInvoke_++;
  const CSTAMessage m = MakeCallRequest(invoke, CrossRefOf(call->callingNumber), call->callingNumber, dial);
  if (filter_) filter_->NoteMakeCall(CSTA_MAKE_CALL, call, invoke);
  Send(m, Config().IO1008 == 1 ? 1 : 0);
  return 1;
}

int CSytemObject::ClearCall(CCallInfo* call) {
  if (call == nullptr || noRequests_ != 0 || Refuses("ClearCall")) return 0;
  LogLine("CSytemObject::ClearCall: CallingNum" + call->callingNumber + " CalledNum" + call->calledNumber);
  const std::string main = MainPhone();
  std::string device;
  if (!main.empty() && (main == call->callingNumber || main == call->calledNumber)) {
    device = main;
    LogLine("CSytemObject::ClearCall: Chose MainPhone");
  } else if (monitors_ && !call->callingNumber.empty() && monitors_->IsKnownNumber(call->callingNumber)) {
    device = call->callingNumber;
    LogLine("CSytemObject::ClearCall: Chose Calling Phone");
  } else if (monitors_ && !call->calledNumber.empty() && monitors_->IsKnownNumber(call->calledNumber)) {
    device = call->calledNumber;
    LogLine("CSytemObject::ClearCall: Chose Called Phone");
  }
  Send(ClearConnectionRequest(callInvoke_++, CrossRefOf(device), CallIdOf(call), device), 0);
  return 1;
}

int CSytemObject::HoldCall(CCallInfo* call) {
  if (call == nullptr || noRequests_ != 0 || Refuses("HoldCall")) return 0;
  const std::string main = MainPhone();
  const int internalLength = monitors_ ? monitors_->InternalNumberLength() : Config().IntPhnNumLength;
  std::string other = call->calledNumber;
  if (call->external == 1 || static_cast<int>(other.size()) > internalLength)
    other = plat::StrFormatC("%c%s", Config().OffnumDigit, other.c_str());
  Send(HoldCallRequest(callInvoke_++, CrossRefOf(main), CallIdOf(call), main, other), 0);
  return 0;
}

int CSytemObject::ConsultationCall(CCallInfo* active, CCallInfo* consult) {
  if (active == nullptr || consult == nullptr || noRequests_ != 0 || Refuses("ConsultationCall")) return 0;
  const std::string main = MainPhone();
  Send(ConsultationCallRequest(callInvoke_++, CrossRefOf(main), CallIdOf(active), main, consult->calledNumber), 0);
  return 0;
}

int CSytemObject::TransferCall(CCallInfo* held, CCallInfo* active) {
  if ((held == nullptr && active == nullptr) || noRequests_ != 0 || Refuses("TransferCall")) return 0;
  const std::string main = MainPhone();
  std::string heldDevice;
  if (held) heldDevice = main == held->calledNumber ? held->callingNumber : held->calledNumber;
  Send(TransferCallRequest(callInvoke_++, CrossRefOf(main), CallIdOf(held), heldDevice, CallIdOf(active),
                           active ? active->calledNumber : std::string()),
       0);
  return 0;
}

int CSytemObject::DeflectCall(CCallInfo* call) {
  if (call == nullptr || noRequests_ != 0 || Refuses("DeflectCall")) return 0;
  const std::string main = MainPhone();
  Send(DeflectCallRequest(callInvoke_++, CrossRefOf(main), CallIdOf(call), call->callingNumber, call->calledNumber),
       0);
  return 0;
}

int CSytemObject::PickupCall(CCallInfo* call) {
  if (call == nullptr || noRequests_ != 0 || Refuses("PickupCall")) return 0;
  const std::string main = MainPhone();
  Send(DeflectCallRequest(callInvoke_++, CrossRefOf(main), CallIdOf(call), call->callingNumber, main), 0);
  return 1;
}
