#include "app/lists/missedcalls.h"

#include <mutex>

#include "app/lists/callbacklist.h"
#include "core/base/listsupport.h"
#include "core/base/globalconfig.h"
#include "core/callhandler/callhandler.h"
#include "core/iface/viewhub.h"
#include "core/iface/databaseinterface.h"
#include "platform/messages.h"
#include "platform/msgbox.h"

namespace {

std::vector<std::string> SplitTabs(const std::string& text) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    std::size_t tab = text.find('\t', start);
    parts.push_back(text.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return parts;
    start = tab + 1;
  }
}

}  // namespace

bool CMissedCallList::IsKnownNumber(const std::string& number) {
  std::size_t i = number.find_first_not_of(" \t");
  if (i == std::string::npos) return false;
  if (number[i] == '+' || number[i] == '-') ++i;
  for (; i < number.size() && number[i] >= '0' && number[i] <= '9'; ++i)
    if (number[i] != '0') return true;
  return false;
}

bool CMissedCallList::Passes(const CCallInfo& call, const CGlobalConfig& cfg) {
  bool caller = cfg.NPLTO == 1 || (cfg.NPLTO == 0 && IsKnownNumber(call.callingNumber));
  bool period = cfg.NPLCDOC != 0 || static_cast<long long>(call.beginTime) >= cfg.LLOT;
  return caller && period;
}

int CMissedCallList::AddCall(CCallInfo* call) {
  if (!call) return 0;
  if (!Passes(*call, GlobalConfig())) return 1;
  std::string text = call->GetDescription(2);
  if (!text.empty()) texts_.push_back(std::move(text));
  return 1;
}

int CMissedCallList::RemoveAll() {
  texts_.clear();
  return CCallInfoList::RemoveAll();
}

std::string CMissedCallList::GetEntryText(int n) const {
  if (n < 1 || n > GetCount()) return {};
  return texts_[static_cast<std::size_t>(n - 1)];
}

void CMissedCallList::SetReadingMode(int mode) {
  if (mode == readingMode_) return;
  readingMode_ = mode;
  if (view) plat::SendMessage(view, hub::kMissedFilterChanged, kKind, 0);
}

int CMissedCallList::NoCall(int) {
  // The PBX has told every stored call: the read-out is over.
  SetReadingMode(0);
  return 0;
}

std::string CMissedCallList::GetTitle() const {
  if (readingMode_ == -1) return lists::Text(plat::TextId(57, 1));
  if (readingMode_ == 1) return lists::Text(plat::TextId(57, 2));
  return {};
}

// Whichever extension the line was for, the caller is the one to call.
void CMissedCallList::FillFromLine(CCallInfo& call, const std::string& line) {
  call.SetFromText(2, line);
  std::vector<std::string> p = SplitTabs(line);
  auto part = [&](std::size_t i) { return i < p.size() ? p[i] : std::string(); };
  call.direction = CCallInfo::kOutgoing;
  call.calledNumber = part(2);
  call.calledCompany = part(3);
  call.calledName = part(4);
  call.callingNumber = part(1);
  call.callingCompany.clear();
  call.callingName.clear();
  // A new call: the missed one's end is not its end.
  call.endTime = 0;
}

int CMissedCallList::Act(int code, const std::string& text) {
  switch (code) {
    case kCallBack: return CallBack(text);
    case kToCallbackList: return ToCallbackList(text);
    case kToPhoneBook: return ToPhoneBook(text);
    default: return 0;
  }
}

int CMissedCallList::CallBack(const std::string& text) {
  if (!callHandler || text.empty()) return 0;
  CCallInfo* call = callHandler->GetFreeCall(kKind);
  if (!call) return 0;
  FillFromLine(*call, text);
  if (!call->calledNumber.empty() && callHandler->WaitForHandset(kKind) && callHandler->MakeCall(call, kKind) == 1)
    return 1;
  call->Release();
  return 0;
}

int CMissedCallList::ToCallbackList(const std::string& text) {
  if (!callbackList || text.empty()) return 0;
  CCallInfo* entry = callbackList->NewCallFor(kKind);
  if (!entry) return 0;
  FillFromLine(*entry, text);
  if (entry->calledNumber.empty() || !callbackList->AddCall(entry)) {
    entry->Release();
    return 0;
  }
  return 1;
}

int CMissedCallList::ToPhoneBook(const std::string& text) {
  if (!phoneBook || text.empty()) return 2;
  CCallInfo call;
  FillFromLine(call, text);
  if (call.calledNumber.empty()) return 2;
  std::unique_lock<std::mutex> lock;
  if (callHandler) lock = callHandler->LockPhoneBook();
  CDataBaseParam number;
  number.SetText(call.calledNumber);
  if (phoneBook->FindRecord(PBP_NUMBER, number, "", 0) == PBS_FOUND) {
    if (lock.owns_lock()) lock.unlock();
    plat::MessageBox(view, lists::Text(plat::TextId(57, 0)), "", plat::MB_OK | plat::MB_ICONINFORMATION);
    return 2;
  }
  // Asked for only now: a new record is stored at once.
  CMyDataBaseParamInterface* rec = nullptr;
  if (phoneBook->NewRecord(&rec) != PBS_DONE || !rec) return 2;
  CDataBaseIdList ids;
  ids.Allocate(1);
  ids.SetAt(0, 0);
  CDataBaseParam v;
  v.SetText(call.calledNumber);
  rec->SetParam(PBP_NUMBER, v, &ids);
  v.SetText(call.calledCompany);
  rec->SetParam(PBP_SET_COMPANY, v, &ids);
  v.SetText(call.calledName);
  rec->SetParam(PBP_SET_NAME, v, &ids);
  bool stored = phoneBook->UpdateRecord(&rec) == PBS_DONE;
  if (stored) phoneBook->FindRecord(PBP_NUMBER, number, "", 0);
  if (lock.owns_lock()) lock.unlock();
  if (stored && view) plat::SendMessage(view, hub::kOpenDatabase, kKind, 0);
  return 2;
}
