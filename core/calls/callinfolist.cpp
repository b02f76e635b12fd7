#include "core/calls/callinfolist.h"

#include "platform/profile.h"
#include "platform/text.h"

struct CCallInfoList::Node {
  CCallInfo* call = nullptr;
  Node* prev = nullptr;
  Node* next = nullptr;
};

CCallInfoList::CCallInfoList() { RemoveAll(); }

CCallInfoList::~CCallInfoList() { CCallInfoList::RemoveAll(); }

int CCallInfoList::RemoveAll() {
  Node* n = head_;
  while (n) {
    Node* next = n->next;
    delete n;
    n = next;
  }
  head_ = tail_ = cursor_ = last_ = nullptr;
  count_ = 0;
  return 1;
}

int CCallInfoList::AddCall(CCallInfo* call) {
  if (!call) return 0;
  Node* n = new Node;
  n->call = call;
  n->prev = tail_;
  if (tail_) tail_->next = n;
  else head_ = n;
  tail_ = n;
  ++count_;
  last_ = n;
  return 1;
}

bool CCallInfoList::Contains(Position pos) const {
  if (!pos) return false;
  for (Node* n = head_; n; n = n->next)
    if (n == pos) return true;
  return false;
}

int CCallInfoList::RemoveAt(Position pos) {
  if (!Contains(pos)) return 0;
  // Neither the walk nor the last-visited mark may keep pointing at it.
  if (cursor_ == pos) cursor_ = pos->next;
  if (last_ == pos) last_ = nullptr;
  if (pos->prev) pos->prev->next = pos->next;
  else head_ = pos->next;
  if (pos->next) pos->next->prev = pos->prev;
  else tail_ = pos->prev;
  delete pos;
  --count_;
  return 1;
}

int CCallInfoList::RemoveByText(const std::string& text) {
  cursor_ = head_;
  while (cursor_) {
    Node* n = cursor_;
    cursor_ = n->next;
    last_ = n;
    if (n->call && n->call->description == text) {
      CCallInfo* call = n->call;
      RemoveAt(n);
      call->Release();
      return 1;
    }
  }
  return 0;
}

bool CCallInfoList::Holds(const CCallInfo* call) const {
  for (Node* n = head_; n; n = n->next)
    if (n->call == call) return true;
  return false;
}

int CCallInfoList::Reserved1(CCallInfo*) { return 1; }

CCallInfo* CCallInfoList::GetAt(Position pos) const { return Contains(pos) ? pos->call : nullptr; }

CCallInfo* CCallInfoList::GetCall(int n) const {
  if (n < 1 || n > count_) return nullptr;
  Node* p = head_;
  while (--n > 0 && p) p = p->next;
  return p ? p->call : nullptr;
}

int CCallInfoList::GetCount() const { return count_; }

int CCallInfoList::SaveCount(int, const std::string& file, const std::string& section) const {
  std::string v = plat::StrFormatC("%i", count_);
  return plat::WritePrivateProfileString(section.c_str(), "LC", v.c_str(), file.c_str()) ? 1 : 0;
}

int CCallInfoList::LoadCount(int, const std::string& file, const std::string& section) {
  (void)plat::GetProfileText(section.c_str(), "LC", "0", file, 128);
  return 1;
}

int CCallInfoList::Reserved2(const std::string&) { return 1; }
int CCallInfoList::Reserved3(const std::string&) { return 1; }

CCallInfoList::Position CCallInfoList::FindByText(int layout, const std::string& text) {
  cursor_ = head_;
  while (cursor_) {
    Node* n = cursor_;
    cursor_ = n->next;
    last_ = n;
    if (n->call && n->call->GetDescription(layout) == text) return n;
  }
  return nullptr;
}

CCallInfoList::Position CCallInfoList::FindByCallID(int callId) {
  cursor_ = head_;
  while (cursor_) {
    Node* n = cursor_;
    cursor_ = n->next;
    last_ = n;
    if (n->call && n->call->callId == callId) return n;
  }
  return nullptr;
}

CCallInfo* CCallInfoList::GetByCallID(int callId) {
  Position p = FindByCallID(callId);
  return p ? p->call : nullptr;
}

CCallInfoList::Position CCallInfoList::GetHeadPosition() const { return head_; }

CCallInfoList::Position CCallInfoList::GetNextPosition(Position pos) const { return pos ? pos->next : nullptr; }

void CCallInfoList::ResetCursor() { cursor_ = head_; }

CCallInfo* CCallInfoList::NextCall() {
  if (!cursor_) return nullptr;
  Node* n = cursor_;
  cursor_ = n->next;
  last_ = n;
  return n->call;
}
