#include "core/callhandler/callhandler.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <limits>
#include <new>
#include <utility>

#include "core/base/globalconfig.h"
#include "core/callhandler/lookup_p.h"
#include "platform/eventloop.h"
#include "core/base/globallog.h"
#include "core/iface/pbxlink.h"
#include "core/iface/viewhub.h"
#include "core/monitor/monitortable.h"
#include "core/iface/databaseinterface.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/textid.h"

namespace {

// Messages to the handler's own target.
constexpr plat::UINT kAskRemove = plat::WM_USER + 302;    // wParam: call reference id
constexpr plat::UINT kAskAdd = plat::WM_USER + 303;       // wParam: call reference id

bool IsEventRequester(int r) { return r == hub::kIdFilter || r == 24 || r == 999; }

std::string Text(plat::TextId id) { return plat::GetTextOr(id, ""); }

}  // namespace

CCallHandler::CCallHandler() {
  const CGlobalConfig& cfg = GlobalConfig();
  if (cfg.CHLO && !cfg.CHLFN.empty()) tracing_ = trace_.Create(plat::MapPath(cfg.CHLFN).c_str()) == 1;
  self_ = plat::RegisterTarget(this);
  // Call records read back from text put the own number on its side.
  CCallInfo::SetOwnNumberSource([this] { return GetOwnNumber(); });
}

CCallHandler::~CCallHandler() {
  CCallInfo::SetOwnNumberSource(nullptr);
  JoinWorkers();
  plat::UnregisterTarget(self_);
  trace_.Close();
}

void CCallHandler::JoinWorkers() {
  std::vector<std::thread> running;
  {
    std::lock_guard<std::mutex> lock(workersMu_);
    for (auto& [slot, w] : workers_)
      if (w.thread.joinable()) running.push_back(std::move(w.thread));
  }
  for (auto& t : running) t.join();
}

std::size_t CCallHandler::WorkerCount() const {
  std::lock_guard<std::mutex> lock(workersMu_);
  std::size_t n = 0;
  for (const auto& [slot, w] : workers_)
    if (w.thread.joinable()) ++n;
  return n;
}

void CCallHandler::TraceF(const char* fmt, ...) {
  if (!tracing_) return;  // the event path formats nothing while tracing is off
  char line[256];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(line, sizeof line, fmt, ap);
  va_end(ap);
  trace_.WriteTimeStampedLine(line);
}

void CCallHandler::TraceRef(const char* text, const CCallInfo* call, int requester) {
  TraceF("%s%ld, %s %i", text, call ? static_cast<long>(call->callRefId) : 0L, "U-ID:", requester);
}

void CCallHandler::Hub(plat::UINT code, plat::WPARAM w, const CCallInfo* call) {
  if (!view) return;
  plat::SendMessage(view, code, w, static_cast<plat::LPARAM>(reinterpret_cast<std::intptr_t>(call)));
}

void CCallHandler::HubMatch(CCallInfo* call, CMyDataBaseParamInterface* hit) {
  if (!view) return;
  CallRecordMatch match;
  match.record = hit;
  match.call = call;
  plat::SendMessage(view, hub::kShowRecordMatch, kUserId, 0, &match, sizeof match);
}

// ---------------------------------------------------------------- pool

CCallInfo* CCallHandler::GetFreeCall(int requester) {
  std::unique_ptr<CCallInfo> rec(new (std::nothrow) CCallInfo);
  if (!rec) {
    GlobalLog().WriteEntry("Nicht genug Speicher f\xfcr einkommenden Ruf!\r\n\xdc" "berpr\xfc" "fen Sie Ihre Spreicherkonfiguration");
    TraceF("%s %s %i, %s", "GetFreeCall:", "U-ID:", requester, "FAIL!");
    return nullptr;
  }
  CCallInfo* raw = rec.get();
  {
    std::lock_guard<std::mutex> lock(poolMu_);
    raw->owner = this;
    raw->generatorId = requester;
    raw->callRefId = ++refCounter_;
    filed_[raw] = Filed{raw->callRefId, raw->callId};
    byCallId_.emplace(CallKey(raw->callId, raw->callRefId), raw);
    pool_.emplace(raw->callRefId, std::move(rec));
    // Room for every filed record, so a release never grows the list.
    if (released_.capacity() < filed_.size()) released_.reserve(filed_.size() * 2);
  }
  TraceRef("GetFreeCall: CR-ID:", raw, requester);
  return raw;
}

int CCallHandler::FreeCall(CCallInfo* call) {
  if (!call) return 0;
  TraceF("%s%ld, %s:%ld, %s %i", "FreeCall: CallRef-ID:", static_cast<long>(call->callRefId),
                         "Generator-ID", static_cast<long>(call->generatorId), "U-ID:", kUserId);
  std::lock_guard<std::mutex> lock(poolMu_);
  const bool already = call->connectedMark == -1;
  call->connectedMark = -1;
  // Copies of a record carry its owner too: only the pool's are purged.
  if (!already && filed_.count(call)) released_.push_back(call);
  return 1;
}

// Filed anew by moving its node, so that the event path allocates nothing.
void CCallHandler::CallIdChanged(CCallInfo* call, int old) {
  (void)old;  // it is filed under the id it had when it was last filed
  std::lock_guard<std::mutex> lock(poolMu_);
  auto f = filed_.find(call);
  if (f == filed_.end()) return;
  auto node = byCallId_.extract(CallKey(f->second.callId, f->second.ref));
  f->second.callId = call->callId;
  if (node.empty()) {
    byCallId_.emplace(CallKey(f->second.callId, f->second.ref), call);
    return;
  }
  node.key() = CallKey(f->second.callId, f->second.ref);
  byCallId_.insert(std::move(node));
}

CCallInfo* CCallHandler::GetCurrentCall(int receiver) {
  if (current_) TraceRef("GetCurrentCall: CR-ID:", current_, receiver);
  else TraceF("%s %i", "GetCurrentCall: NULL, Receive-ID:", receiver);
  return current_;
}

CCallInfo* CCallHandler::GetSecondCall(int receiver) {
  if (second_) TraceRef("GetSecondCall: CR-ID:", second_, receiver);
  else TraceF("%s %i", "GetSecondCall: NULL, Receive-ID:", receiver);
  return second_;
}

// PBX call ids recur: a live record wins over a released one, and among
// several the newest. Only the records filed under the id are looked at.
CCallInfo* CCallHandler::NewestByCallId(int callId, bool takeReleased) const {
  auto first = byCallId_.lower_bound(CallKey(callId, std::numeric_limits<int>::min()));
  auto it = byCallId_.upper_bound(CallKey(callId, std::numeric_limits<int>::max()));
  CCallInfo* released = nullptr;
  while (it != first) {
    CCallInfo* c = (--it)->second;
    if (c->callId != callId) continue;  // changed while it had no owner
    if (c->connectedMark != -1) return c;
    if (!released) released = c;
  }
  return takeReleased ? released : nullptr;
}

CCallInfo* CCallHandler::GetCallByCallID(int callId, int requester) {
  TraceF("%s%ld, %s %i", "GetCallByCallID: CallRefID:", static_cast<long>(callId), "Demand-ID:",
                         requester);
  CCallInfo* found = nullptr;
  bool revived = false;
  {
    std::lock_guard<std::mutex> lock(poolMu_);
    found = NewestByCallId(callId, true);
    if (found && found->connectedMark == -1) {
      found->connectedMark = 0;
      revived = true;
    }
  }
  if (revived) TraceRef("GetCallByCallID: Reactivated CallRef-ID:", found, requester);
  return found;
}

CCallInfo* CCallHandler::FindLiveCall(int callId) {
  std::lock_guard<std::mutex> lock(poolMu_);
  return NewestByCallId(callId, false);
}

CCallInfo* CCallHandler::GetCallByCallReferenceID(int refId, int requester) {
  TraceF("%s%ld, %s %i", "GetCallByCallReferenceID: CallRef-ID:", static_cast<long>(refId), "U-ID:",
                         requester);
  std::lock_guard<std::mutex> lock(poolMu_);
  auto it = pool_.find(refId);
  return it != pool_.end() ? it->second.get() : nullptr;
}

// A watched extension's current call is read again by the next PBX event
// for it, so its record outlives a release until that entry lets go; the
// callback list keeps its entries as records of the pool.
bool CCallHandler::IsPinned(const CCallInfo* c) const {
  if (c == current_ || c == second_ || c == lastDialled_) return true;
  if (callbackList && callbackList->HoldsCall(c)) return true;
  if (!monitors) return false;
  for (int i = 0; i < CMonitorTable::kEntries; ++i) {
    const CMonitorEntry* e = monitors->EntryAt(i);
    if (e && e->currentCall == c) return true;
  }
  return false;
}

// Only the records released since the last purge (and those kept then) are
// looked at; nothing is allocated.
int CCallHandler::PurgeReleasedCalls() {
  // Whoever runs a modal loop may hold a record: the next event or the
  // view's clock comes back for it.
  if (plat::IsMainThread() && plat::ModalLoopDepth() > 0) return 0;
  std::lock_guard<std::mutex> lock(poolMu_);
  if (released_.empty()) return 0;
  // A record released, taken up again and released again is listed twice.
  std::sort(released_.begin(), released_.end());
  released_.erase(std::unique(released_.begin(), released_.end()), released_.end());
  std::size_t kept = 0;
  for (std::size_t i = 0; i < released_.size(); ++i) {
    CCallInfo* c = released_[i];
    if (c->connectedMark != -1) continue;  // in use again: FreeCall lists it anew
    if (c->busy.load() != 0 || IsPinned(c)) {
      released_[kept++] = c;
      continue;
    }
    auto f = filed_.find(c);
    byCallId_.erase(CallKey(f->second.callId, f->second.ref));
    pool_.erase(f->second.ref);  // deletes the record
    filed_.erase(f);
  }
  released_.resize(kept);
  return 0;
}

std::size_t CCallHandler::PoolSize() const {
  std::lock_guard<std::mutex> lock(poolMu_);
  return pool_.size();
}

std::size_t CCallHandler::ReleasedCount() const {
  std::lock_guard<std::mutex> lock(poolMu_);
  std::size_t n = 0;
  for (const auto& [ref, c] : pool_) n += c->connectedMark == -1;
  return n;
}

std::string CCallHandler::GetOwnNumber() const {
  if (!monitors) return {};
  const CMonitorEntry* e = monitors->MainPhoneEntry();
  return e ? e->Number() : std::string();
}

// ---------------------------------------------------------------- phone book

CMyDataBaseParamInterface* CCallHandler::FindFirstHit(const std::string& number, int* result, CCallInfo* takeParty) {
  if (result) *result = PBS_NOT_FOUND;
  if (!phoneBook) return nullptr;
  std::lock_guard<std::mutex> lock(phoneBookMu_);
  CDataBaseParam p;
  p.SetText(number);
  int r = phoneBook->FindRecord(PBP_NUMBER, p, "", 0);
  if (result) *result = r;
  if (r != PBS_FOUND) return nullptr;
  CMyDataBaseParamInterface* hit = nullptr;
  if (phoneBook->FirstSearchHit(&hit) != PBS_DONE) return nullptr;
  if (hit && takeParty) takeParty->SetPartyFromParams(hit);
  return hit;
}

std::unique_ptr<CCallHandler::Lookup> CCallHandler::LookupParty(const std::string& number) {
  auto out = std::make_unique<Lookup>();
  if (!phoneBook || number.empty()) return out;
  std::lock_guard<std::mutex> lock(phoneBookMu_);
  CDataBaseParam p;
  p.SetText(number);
  out->result = phoneBook->FindRecord(PBP_NUMBER, p, "", 0);
  if (out->result != PBS_FOUND) return out;
  CMyDataBaseParamInterface* hit = nullptr;
  if (phoneBook->FirstSearchHit(&hit) != PBS_DONE || !hit) return out;
  auto text = [hit](std::uint32_t id) {
    CDataBaseParam v;
    return hit->GetParam(id, &v) == PBS_DONE ? v.Text() : std::string();
  };
  out->number = text(PBP_NUMBER);
  out->company = text(PBP_COMPANY);
  out->titleAndName = text(PBP_TITLE_AND_NAME);
  out->deflect = text(PBP_DEFLECT_NUMBER);
  out->hit = true;
  return out;
}

// ---------------------------------------------------------------- requests

int CCallHandler::MakeCall(CCallInfo* call, int requester) {
  if (!call) return 0;
  call->generatorId = requester;
  call->state = CCallInfo::kDialling;
  call->direction = CCallInfo::kOutgoing;
  TraceRef("MakeCall: CR-ID:", call, requester);
  if (current_) return 0;
  const std::string own = GetOwnNumber();
  if (call->calledNumber == own && !call->callingNumber.empty() && call->callingNumber != own)
    std::swap(call->calledNumber, call->callingNumber);
  call->callingNumber = own;
  lastDialled_ = call;
  // A refused request must say so: the keypad, speed dial and callback
  // automation wait for the call otherwise.
  if (!link || link->MakeCall(call) == 0) return 0;
  int result = PBS_NOT_FOUND;
  CMyDataBaseParamInterface* hit = FindFirstHit(call->calledNumber, &result, call);
  Hub(hub::kCallDialled, kUserId, call);
  if (hit) HubMatch(call, hit);
  current_ = call;
  return 1;
}

int CCallHandler::Redial(int requester) {
  if (!lastDialled_) return 0;
  if (!WaitForHandset(requester)) return 0;
  // A fresh record: the old one keeps its end time and call id.
  CCallInfo* old = lastDialled_;
  CCallInfo* fresh = GetFreeCall(requester);
  if (!fresh) return 0;
  fresh->calledCompany = old->calledCompany;
  fresh->calledName = old->calledName;
  fresh->calledNumber = old->calledNumber;
  fresh->callingCompany = old->callingCompany;
  fresh->callingName = old->callingName;
  fresh->callingNumber = old->callingNumber;
  fresh->external = old->external;
  fresh->note = old->note;
  int r = MakeCall(fresh, requester);
  if (!r && lastDialled_ != fresh) FreeCall(fresh);
  return r;
}

int CCallHandler::DialRecord(CMyDataBaseParamInterface* record, int requester) {
  if (!WaitForHandset(requester)) return 0;
  CCallInfo* call = GetFreeCall(requester);
  if (!call) return 0;
  call->SetPartyFromParams(record);
  int r = MakeCall(call, requester);
  if (!r && lastDialled_ != call) FreeCall(call);
  return r;
}

int CCallHandler::ClearCall(CCallInfo* call, int requester) {
  if (!call) return kNoRecord;
  Hub(hub::kNewRecordAnswer, kUserId, nullptr);
  CCallInfo* target = call;
  if (requester == hub::kIdAssistant) target = GetCallByCallReferenceID(call->callRefId, requester);
  else if (IsEventRequester(requester)) target = nullptr;
  CCallInfo* rec = target;
  if (!link || !target || link->ClearCall(target) == 0) rec = call;
  if (!rec) rec = call;

  rec->clearCause = requester;
  if (rec->endTime == 0) rec->endTime = plat::WallTime();
  rec->connectedMark = (rec->state == CCallInfo::kConnected || rec->state == CCallInfo::kHeld) ? 1 : 0;
  if (rec->connectedMark == 0) rec->beginTime = rec->endTime;
  rec->duration = rec->endTime - rec->beginTime;

  if (current_ && current_->callRefId == rec->callRefId) {
    current_ = nullptr;
    Hub(hub::kCallCleared, kUserId, rec);
    TraceRef("ClearCall: CR-ID:", rec, requester);
    if (callData) callData->AddCallData(rec);
    ProcessClearedCall(rec);
  } else if (second_ && second_->callRefId == rec->callRefId) {
    second_ = nullptr;
    Hub(hub::kSecondCallCleared, kUserId, rec);
    TraceRef("Clear2ndCall: CR-ID:", rec, requester);
    ProcessClearedCall(rec);
  } else {
    if (rec->state == CCallInfo::kHeld) {
      Hub(hub::kCallCleared, kUserId, rec);
      TraceRef("Held Call cleared: CR-ID:", rec, requester);
    } else {
      TraceRef("Other Call to clear: CR-ID:", rec, requester);
    }
    // Records of other watched extensions end here too; the call data are
    // the own extension's.
    if (callData && IsOwnCall(*rec)) callData->AddCallData(rec);
    ProcessClearedCall(rec);
  }
  rec->state = CCallInfo::kIdle;
  return kCleared;
}

int CCallHandler::HoldCall(CCallInfo* call, int requester) {
  if (!call) return 0;
  call->state = CCallInfo::kHeld;
  TraceRef("HoldCall: CR-ID:", call, requester);
  if (requester == 22) {
    if (link) link->HoldCall(call);
    Hub(hub::kCallEvent, CSTA_HELD, call);
  } else if (IsEventRequester(requester)) {
    Hub(hub::kCallEvent, CSTA_HELD, call);
  }
  current_ = nullptr;
  return 1;
}

int CCallHandler::RetrieveCall(CCallInfo* call, int requester) {
  if (!call) return 0;
  call->state = CCallInfo::kConnected;
  current_ = call;
  TraceRef("RetrieveCall: CR-ID:", call, requester);
  if (IsEventRequester(requester)) Hub(hub::kCallActive, kUserId, call);
  return 1;
}

int CCallHandler::ConsultationCall(CCallInfo* active, CCallInfo* consult, int requester) {
  TraceF("%s%ld %s%ld, %s %i", "ConsultationCall: ActiveCallRef-ID:",
                         active ? static_cast<long>(active->callRefId) : 0L, "ConsultCallRef-ID:",
                         consult ? static_cast<long>(consult->callRefId) : 0L, "User-ID:", requester);
  if (link) link->ConsultationCall(active, consult);
  return 0;
}

int CCallHandler::TransferCall(CCallInfo* held, CCallInfo* other, int requester) {
  if (link) link->TransferCall(held, other);
  TraceF("%s%ld %s%ld, %s %i", "TransferCall: CR-ID:", held ? static_cast<long>(held->callRefId) : 0L,
                         "-> CR-ID:", other ? static_cast<long>(other->callRefId) : 0L, "U-ID:", requester);
  return 0;
}

int CCallHandler::DeflectCall(CCallInfo* call, int requester) {
  (void)requester;
  if (link) link->DeflectCall(call);
  return 0;
}

int CCallHandler::PickupCall(CCallInfo* call, int requester) {
  if (link) link->PickupCall(call);
  TraceRef("PickupCall: CR-ID:", call, requester);
  if (call) call->Release();
  return 0;
}

int CCallHandler::WaitForHandset(int requester) {
  (void)requester;
  if (current_) return 0;
  auto state = [this] { return monitors ? monitors->GetMainPhoneConnectionState() : 0; };
  int s = state();
  if (GlobalConfig().GDOH || s == 0 || s == 4) return 1;
  for (int i = 0; i < 3; ++i) {
    promptShowing_ = 1;
    int r = prompt ? prompt->Show() : plat::IDCANCEL;
    promptShowing_ = 0;
    if (r != plat::IDOK) return 0;
    if (state() == 0) return 1;
  }
  return 0;
}

// ---------------------------------------------------------------- events

int CCallHandler::OnCallEvent(int type, CCallInfo* call) {
  CCallInfo* named = call;
  switch (type) {
    case CSTA_DELIVERED:
      named = current_;
      break;
    case CSTA_ESTABLISHED:
      if (current_) {
        current_->state = CCallInfo::kConnected;
        current_->beginTime = plat::WallTime();
        if (current_->external && current_->direction == CCallInfo::kOutgoing) current_->units = 1;
      }
      named = current_;
      break;
    case CSTA_HELD:
      if (current_ && call && current_->callId == call->callId) {
        current_->state = CCallInfo::kHeld;
        named = current_;
        current_ = nullptr;
      }
      break;
    case CSTA_SERVICE_INITIATED:
      if (promptShowing_ && prompt) prompt->Lifted();
      break;
    case CSTA_PRIVATE:
      if (call) {
        call->direction = CCallInfo::kIncoming;
        if (GlobalConfig().NPLLAIDB == 1) {
          int result = PBS_NOT_FOUND;
          FindFirstHit(call->callingNumber, &result, call);
        }
        if (call->duration == 0 && missedCalls) missedCalls->AddMissedCall(call);
      } else if (missedCalls) {
        missedCalls->NoCall(0);
      }
      break;
    default:
      break;
  }
  Hub(hub::kCallEvent, static_cast<plat::WPARAM>(type), named);
  return 0;
}

// Questions are asked from a queued call: the clear path runs inside the
// filter's dispatch, and a modal box there would let the next PBX record
// in before this one's state is settled.
void CCallHandler::AskQueued(plat::UINT question, CCallInfo* call) {
  plat::PostMessage(self_, question, static_cast<plat::WPARAM>(call->callRefId), 0);
}

bool CCallHandler::IsOwnCall(const CCallInfo& call) const {
  const std::string own = GetOwnNumber();
  if (own.empty()) return false;
  switch (call.direction) {
    case CCallInfo::kIncoming: return call.calledNumber == own;
    case CCallInfo::kOutgoing: return call.callingNumber == own;
    default: return call.calledNumber == own || call.callingNumber == own;
  }
}

int CCallHandler::ProcessClearedCall(CCallInfo* call) {
  if (!call) return 0;
  switch (call->generatorId) {
    case 23:
      return 0;
    case hub::kIdCallbackList:
      if (callbackList) callbackList->OnCallFinished(call, kUserId);
      return 0;
    case hub::kIdSpeedDial:
      if (speedDial) speedDial->ForgetPendingDial();
      break;
    default:
      break;
  }
  const std::string own = GetOwnNumber();
  if (call->connectedMark == 1) {
    bool ours = (call->direction == CCallInfo::kIncoming && call->calledNumber == own) ||
                (call->direction == CCallInfo::kOutgoing && call->callingNumber == own);
    if (ours && callbackList && callbackList->FindByDescription(call->GetDescription(7))) {
      AskQueued(kAskRemove, call);
      return 0;
    }
  } else if (call->direction == CCallInfo::kIncoming) {
    if (missedCalls) missedCalls->AddMissedCall(call);
  } else if (call->direction == CCallInfo::kOutgoing && GlobalConfig().CBLAFNEWCWNS != 0 &&
             call->callingNumber == own && callbackList &&
             !callbackList->FindByDescription(call->GetDescription(7))) {
    AskQueued(kAskAdd, call);
    return 1;  // kept for the callback list until the user answers
  }
  FreeCall(call);
  return 0;
}

void CCallHandler::OnQuestion(plat::UINT question, int refId) {
  CCallInfo* call = GetCallByCallReferenceID(refId, kUserId);
  if (!call) return;
  if (question == kAskRemove) {
    CCallInfo* entry = callbackList ? callbackList->FindByDescription(call->GetDescription(7)) : nullptr;
    if (entry && plat::MessageBox(view, Text(plat::TextId(46, 1)), "", plat::MB_YESNO | plat::MB_ICONQUESTION) ==
                     plat::IDYES)
      callbackList->RemoveEntry(entry);  // the entry found is the one removed
    FreeCall(call);
    return;
  }
  std::string text = Text(plat::TextId(46, 2)) + "\r\n" + Text(plat::TextId(46, 3));
  if (callbackList && plat::MessageBox(view, text, "", plat::MB_YESNO | plat::MB_ICONQUESTION) == plat::IDYES) {
    callbackList->AddCallback(call);
    if (GlobalConfig().CBLASONE == 1 && !callbackList->IsRunning()) {
      callbackList->SetRunning(1);
      Hub(hub::kStartCallbackTimer, kUserId, nullptr);
    }
    return;
  }
  FreeCall(call);
}

plat::LRESULT CCallHandler::OnMessage(const plat::Message& m) {
  switch (m.msg) {
    case kWorkerDone: {
      std::unique_ptr<Lookup> found;
      std::thread done;
      {
        std::lock_guard<std::mutex> lock(workersMu_);
        auto it = workers_.find(static_cast<std::size_t>(m.wParam));
        if (it == workers_.end()) return 0;
        found = std::move(it->second.result);
        done = std::move(it->second.thread);
        workers_.erase(it);
      }
      // Posting is the worker's last act: this join is short.
      if (done.joinable()) done.join();
      if (!found) return 0;
      CCallInfo* call = GetCallByCallReferenceID(found->refId, kUserId);
      if (!call) return 0;
      call->busy = 0;
      const int r = FinishIncoming(call, found->requester, found.get());
      // Cleared while the worker looked: it may go now.
      PurgeReleasedCalls();
      return r;
    }
    case kAskRemove:
    case kAskAdd:
      OnQuestion(m.msg, static_cast<int>(m.wParam));
      return 0;
    default:
      return 0;
  }
}
