#include "app/lists/callbacklist.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <vector>

#include "core/base/listsupport.h"
#include "core/base/globalconfig.h"
#include "core/base/globallog.h"
#include "core/callhandler/callhandler.h"
#include "core/iface/viewhub.h"
#include "platform/eventloop.h"
#include "platform/msgbox.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "platform/textid.h"

namespace {

constexpr plat::UINT kAskRemove = plat::WM_USER + 310;  // wParam: call reference id

std::string SectionOf(int n) { return plat::StrFormatC("%s-%i", CCallBackList::kSection, n); }

// "CBLIST-<n>" exactly as "%s-%i" writes it (any case): n, else 0.
long SectionNumber(const std::string& name) {
  const std::string prefix = std::string(CCallBackList::kSection) + "-";
  if (name.size() <= prefix.size() || name.size() > prefix.size() + 10) return 0;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(name[i])) != prefix[i]) return 0;
  if (name[prefix.size()] == '0') return 0;
  long n = 0;
  for (std::size_t i = prefix.size(); i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return 0;
    n = n * 10 + (name[i] - '0');
  }
  return n;
}

// The numbered sections of the file, by number (the first of duplicates).
std::map<long, std::string> NumberedSections(const std::string& file) {
  std::map<long, std::string> out;
  for (const std::string& name : lists::SectionNames(file))
    if (long n = SectionNumber(name); n > 0) out.emplace(n, name);
  return out;
}

bool IsNewEntryCode(int code) {
  switch (code) {
    case 13: case 18: case 23: case 25: case 26: case 27: case 31:
      return true;
    default:
      return false;
  }
}

}  // namespace

CCallBackList::CCallBackList()
    : self_(plat::RegisterTarget(this)), lastAutomation_(plat::WallTime()), lastAutomationMs_(plat::NowMs()) {}

CCallBackList::~CCallBackList() {
  plat::UnregisterTarget(self_);
  CCallInfoList::RemoveAll();
}

// ---------------------------------------------------------------- entries

CCallInfo* CCallBackList::EntryByRef(int refId) const {
  if (refId < 0) return nullptr;
  for (Position p = GetHeadPosition(); p; p = GetNextPosition(p))
    if (CCallInfo* c = GetAt(p); c && c->callRefId == refId) return c;
  return nullptr;
}

CCallBackList::Position CCallBackList::FindEntry(const CCallInfo* call) const {
  if (!call) return nullptr;
  for (Position p = GetHeadPosition(); p; p = GetNextPosition(p))
    if (GetAt(p) == call) return p;
  return nullptr;
}

void CCallBackList::ClearMarks(int refId) {
  if (refId < 0) return;
  if (candidateRef_ == refId) candidateRef_ = -1;
  if (inProgressRef_ == refId) inProgressRef_ = -1;
  editing_.erase(refId);
  asking_.erase(refId);
}

int CCallBackList::AddCall(CCallInfo* call) {
  if (!call || FindEntry(call)) return 0;
  CCallInfoList::AddCall(call);
  // Appended first: the view shows the dialog later and finds the entry by
  // its reference id.
  if (GlobalConfig().CBLACONFPO && view)
    plat::SendMessage(view, hub::kCallbackSettings, kOrigin, static_cast<plat::LPARAM>(reinterpret_cast<std::intptr_t>(call)));
  return 1;
}

int CCallBackList::RemoveAt(Position pos) {
  CCallInfo* c = GetAt(pos);
  if (!CCallInfoList::RemoveAt(pos)) return 0;
  if (c) ClearMarks(c->callRefId);
  return 1;
}

int CCallBackList::RemoveAll() {
  candidateRef_ = inProgressRef_ = -1;
  editing_.clear();
  asking_.clear();
  return CCallInfoList::RemoveAll();
}

int CCallBackList::RemoveByText(const std::string& text) {
  Position p = CCallInfoList::FindByText(1, text);
  CCallInfo* c = GetAt(p);
  if (!c) return 0;
  RemoveAt(p);
  c->Release();
  return 1;
}

int CCallBackList::RemoveEntry(CCallInfo* entry) {
  Position p = FindEntry(entry);
  if (!p) return 0;
  RemoveAt(p);
  entry->Release();
  return 1;
}

CCallInfo* CCallBackList::NewCallFor(int code) {
  if (!IsNewEntryCode(code)) return nullptr;
  if (!callHandler) {
    Box(lists::Text(plat::TextId(47, 11)), plat::MB_OK | plat::MB_ICONWARNING);
    return nullptr;
  }
  CCallInfo* c = callHandler->GetFreeCall(kOrigin);
  if (c) c->direction = CCallInfo::kOutgoing;
  return c;
}

std::string CCallBackList::GetEntryText(int n, std::string* out) {
  CCallInfo* c = GetCall(n);
  std::string text = c ? c->GetDescription(1) : std::string();
  if (out) *out = text;
  return text;
}

CCallInfo* CCallBackList::FindByText(const std::string& text) {
  Position p = CCallInfoList::FindByText(1, text);
  if (!p) p = CCallInfoList::FindByText(7, text);
  return GetAt(p);
}

bool CCallBackList::BeginEdit(int refId, CCallInfo* copy) {
  CCallInfo* c = EntryByRef(refId);
  if (!c || !copy) return false;
  editing_.insert(refId);
  copy->CopyFrom(*c);
  return true;
}

bool CCallBackList::EndEdit(int refId, const CCallInfo* edited) {
  editing_.erase(refId);
  CCallInfo* c = EntryByRef(refId);
  if (!c) return false;
  if (edited) ApplySettings(*c, *edited);
  return true;
}

void CCallBackList::ApplySettings(CCallInfo& to, const CCallInfo& from) {
  if (to.direction == CCallInfo::kOutgoing || to.direction == CCallInfo::kNoDirection) {
    to.calledCompany = from.calledCompany;
    to.calledName = from.calledName;
    to.calledNumber = from.calledNumber;
  } else {
    to.callingCompany = from.callingCompany;
    to.callingName = from.callingName;
    to.callingNumber = from.callingNumber;
  }
  to.external = from.external;
  to.callbackCriterion = from.callbackCriterion;
  to.callbackMaximum = from.callbackMaximum;
  to.callbackDate = from.callbackDate;
  to.callbackInterval = from.callbackInterval;
  to.callbackType = from.callbackType;
  to.callbackTimeBegin = from.callbackTimeBegin;
  to.callbackTimeEnd = from.callbackTimeEnd;
}

// ---------------------------------------------------------------- automation

bool CCallBackList::Eligible(const CCallInfo& c, long t, std::time_t now) const {
  if (editing_.count(c.callRefId) || asking_.count(c.callRefId)) return false;
  if (static_cast<long long>(c.callbackInterval) + c.spare3 > static_cast<long long>(now)) return false;
  const long long b = c.callbackTimeBegin, e = c.callbackTimeEnd;
  bool inWindow = true;
  switch (c.callbackType) {
    case 1: inWindow = t > b; break;
    case 2: inWindow = t < e; break;
    case 3:
    case 5: inWindow = b <= t && t <= e; break;
    case 4: inWindow = t < b || t > e; break;
    default: break;
  }
  if (!inWindow) return false;
  return c.callbackCriterion != 2 || lists::SameLocalDay(c.callbackDate, now);
}

CCallInfo* CCallBackList::SelectNextEntry() {
  candidateRef_ = -1;
  const CGlobalConfig& cfg = GlobalConfig();
  const std::time_t now = plat::WallTime();
  const long t = lists::SecondsOfDay(now);
  if (t < cfg.CBLGSTRTT || t > cfg.CBLGSTPT) return nullptr;
  if (t > cfg.CBLLTB && t < cfg.CBLLTE) return nullptr;
  CCallInfo* best = nullptr;
  for (Position p = GetHeadPosition(); p; p = GetNextPosition(p)) {
    CCallInfo* c = GetAt(p);
    if (!c || !Eligible(*c, t, now)) continue;
    if (!best || c->priority > best->priority ||
        (c->priority == best->priority && c->callbackCount < best->callbackCount))
      best = c;
  }
  if (best) candidateRef_ = best->callRefId;
  return best;
}

bool CCallBackList::CallStillLive(const CCallInfo& c) const {
  if (c.connectedMark == -1 || !callHandler) return false;
  if (&c == callHandler->GetCurrentCall(kOrigin) || &c == callHandler->GetSecondCall(kOrigin)) return true;
  return c.state >= CCallInfo::kDialling && c.state <= CCallInfo::kHeld;
}

void CCallBackList::MarkAutomationCall() {
  lastAutomation_ = plat::WallTime();
  lastAutomationMs_ = plat::NowMs();
}

int CCallBackList::Box(const std::string& text, plat::UINT flags) {
  ++boxes_;
  int r = plat::MessageBox(view, text, "", flags);
  --boxes_;
  return r;
}

int CCallBackList::AutomationStep() {
  // A box of an earlier step runs a nested loop that brings timer 4 again.
  if (!running_ || boxes_ > 0) return 0;
  if (inProgressRef_ >= 0) {
    CCallInfo* c = EntryByRef(inProgressRef_);
    if (c && CallStillLive(*c)) return 0;
    // The call ended without the call handler reporting it: an unanswered try.
    if (c) FinishTry(c, false);
    inProgressRef_ = -1;
  }
  CCallInfo* cand = SelectNextEntry();
  const std::uint64_t nowMs = plat::NowMs();
  elapsed_ = static_cast<long>(plat::WallTime() - lastAutomation_);
  const long pause = GlobalConfig().TB2C / 1000;
  if (pause > 0 && nowMs - lastAutomationMs_ < static_cast<std::uint64_t>(pause) * 1000) {
    candidateRef_ = -1;
    return 0;
  }
  if (!cand) {
    if (GetCount() == 0) {
      running_ = 0;
      if (GlobalConfig().CBLNWLIE) Box(lists::Text(plat::TextId(47, 0)), plat::MB_OK | plat::MB_ICONINFORMATION);
    }
    return 0;
  }
  if (!callHandler) return 0;
  if (!callHandler->IsLineFree(kOrigin)) {
    BusyLine(cand);
    return 0;
  }
  const int ref = cand->callRefId;
  if (GlobalConfig().ABNC && !AskToDial(ref)) return 0;
  ++boxes_;  // the handset prompt is modal as well
  int ready = callHandler->WaitForHandset(kOrigin);
  --boxes_;
  if (!ready) return 0;
  // What the prompt's loop may have changed is checked again.
  cand = EntryByRef(ref);
  if (!cand || !running_ || !callHandler->IsLineFree(kOrigin)) return 0;
  cand->callId = -1;
  cand->beginTime = cand->endTime = cand->duration = 0;
  cand->connectedMark = 0;
  candidateRef_ = -1;
  if (callHandler->MakeCall(cand, kOrigin) == 1) {
    inProgressRef_ = ref;
  } else {
    cand->spare3 = static_cast<long>(plat::WallTime());
  }
  return 0;
}

// Yes dials on; No counts as a skipped try. A candidate gone or no longer
// eligible while the box was open is not dialled.
bool CCallBackList::AskToDial(int ref) {
  CCallInfo* cand = EntryByRef(ref);
  std::string text = plat::StrFormatC("%s\r\n%s\r\n%s", lists::Text(plat::TextId(47, 5)).c_str(),
                                      cand->GetDescription(5).c_str(), lists::Text(plat::TextId(47, 6)).c_str());
  int answer = Box(text, plat::MB_YESNO | plat::MB_ICONQUESTION);
  cand = EntryByRef(ref);
  if (answer != plat::IDYES) {
    MarkAutomationCall();
    if (cand) cand->spare3 = static_cast<long>(lastAutomation_);
    candidateRef_ = -1;
    return false;
  }
  const std::time_t now = plat::WallTime();
  if (!cand || !running_ || !Eligible(*cand, lists::SecondsOfDay(now), now)) {
    candidateRef_ = -1;
    return false;
  }
  return true;
}

void CCallBackList::BusyLine(CCallInfo* cand) {
  if (cand->callbackType != 5) return;
  const int ref = cand->callRefId;
  CCallInfo* current = callHandler->GetCurrentCall(kOrigin);
  if (current && (current->callingNumber == cand->calledNumber || current->calledNumber == cand->calledNumber)) {
    cand->callbackTimeEnd += 60;
    return;
  }
  if (!GlobalConfig().CBLAWICITBMWUIB) return;
  std::string text = plat::StrFormatC(
      "%s \r\n%s\r\n %s %s %s\r\n%s", lists::Text(plat::TextId(47, 1)).c_str(), cand->GetDescription(5).c_str(),
      lists::Text(plat::TextId(47, 2)).c_str(), lists::FormatTime(plat::WallTime(), "%H:%M").c_str(),
      lists::Text(plat::TextId(47, 3)).c_str(), lists::Text(plat::TextId(47, 4)).c_str());
  int answer = Box(text, plat::MB_RETRYCANCEL | plat::MB_ICONWARNING);
  cand = EntryByRef(ref);  // it may have been deleted meanwhile
  if (answer == plat::IDRETRY && cand) {
    cand->callbackTimeBegin += 60;
    cand->callbackTimeEnd += 60;
  }
}

int CCallBackList::OnCallFinished(CCallInfo* call, int) {
  if (!call) return 0;
  if (call->callRefId == inProgressRef_) inProgressRef_ = -1;
  if (!FindEntry(call)) {
    // Deleted while it was dialled: the clear path took it out of the
    // released state, so it is released again.
    call->Release();
    MarkAutomationCall();
    return 0;
  }
  FinishTry(call, call->connectedMark == 1);
  return 0;
}

void CCallBackList::FinishTry(CCallInfo* c, bool answered) {
  c->callbackCount += 1;
  c->spare3 = static_cast<long>(plat::WallTime());
  MarkAutomationCall();
  if (c->callRefId == inProgressRef_) inProgressRef_ = -1;
  switch (c->callbackCriterion) {
    case 0:
    case 2:
      if (answered) RemoveEntry(c);
      break;
    case 1:
      if (answered) {
        RemoveEntry(c);
      } else if (c->callbackCount >= c->callbackMaximum && !asking_.count(c->callRefId)) {
        // This runs inside the filter's dispatch: the question waits for
        // the queue, and the entry is not dialled until it is answered.
        asking_.insert(c->callRefId);
        plat::PostMessage(self_, kAskRemove, static_cast<plat::WPARAM>(c->callRefId), 0);
      }
      break;
    default:
      break;
  }
}

plat::LRESULT CCallBackList::OnMessage(const plat::Message& m) {
  if (m.msg != kAskRemove) return 0;
  const int ref = static_cast<int>(m.wParam);
  CCallInfo* c = EntryByRef(ref);
  if (!c || !asking_.count(ref)) return 0;
  std::string text = plat::StrFormatC("%s %s \r\n%s %s\r\n%i%s\r\n%s", lists::Text(plat::TextId(47, 7)).c_str(),
                                      c->calledName.c_str(), lists::Text(plat::TextId(47, 8)).c_str(),
                                      c->calledNumber.c_str(), c->callbackMaximum,
                                      lists::Text(plat::TextId(47, 9)).c_str(), lists::Text(plat::TextId(47, 10)).c_str());
  int answer = Box(text, plat::MB_YESNO | plat::MB_ICONQUESTION);
  asking_.erase(ref);
  c = EntryByRef(ref);
  if (answer == plat::IDYES && c) RemoveEntry(c);
  return 0;
}

// ---------------------------------------------------------------- file

int CCallBackList::Save(const std::string& file) {
  plat::ProfileBatch batch(file);
  const int count = GetCount();
  batch.Write(kSection, "LC", plat::StrFormatC("%i", count).c_str());
  int n = 0;
  for (Position p = GetHeadPosition(); p; p = GetNextPosition(p))
    if (CCallInfo* c = GetAt(p)) c->SaveToBatch(1, batch, SectionOf(++n));
  // Sections of a longer list saved before would be read again by nobody.
  for (const auto& [k, name] : NumberedSections(file))
    if (k > count) batch.RemoveSection(name.c_str());
  if (batch.Commit()) return 1;
  GlobalLog().WriteEntry(("Rueckrufliste: Datei nicht geschrieben: " + file).c_str());
  return 0;
}

int CCallBackList::Load(const std::string& file) {
  if (!callHandler) {
    GlobalLog().WriteEntry("Rueckrufliste: keine Anrufverwaltung, Liste nicht geladen");
    return 0;
  }
  const plat::ProfileReadScope once(file);  // every entry's keys from one read of the file
  const long lc = plat::AtolC(plat::GetProfileText(kSection, "LC", "0", file, 128).c_str());
  // Only sections that exist: a count that lies can neither loop for long
  // nor bring empty entries.
  std::map<long, std::string> sections = NumberedSections(file);
  std::vector<std::string> wanted;
  for (const auto& [n, name] : sections)
    if (n <= lc) wanted.push_back(name);
  if (static_cast<long>(wanted.size()) != lc)
    GlobalLog().WriteEntry(plat::StrFormatC("Rueckrufliste: LC=%ld, gefunden %zu Eintraege", lc, wanted.size()).c_str());
  const std::time_t now = plat::WallTime();
  for (const std::string& section : wanted) {
    CCallInfo* c = callHandler->GetFreeCall(kOrigin);
    if (!c) continue;
    c->Load(1, file, section);
    if (c->callbackCriterion == 2) {
      if (c->callbackDate < now) {
        c->Release();
        continue;
      }
    } else {
      c->callbackDate = 0;
    }
    CCallInfoList::AddCall(c);
  }
  return 0;
}
