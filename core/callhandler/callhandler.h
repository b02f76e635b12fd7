// The own workstation's call model: the pool of call records, the current
// and the second call, the user's call requests and the call events the
// message filter hands over. Main thread, except the phone book look-up of
// incoming calls, which runs on short-lived worker threads.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/base/textlogfile.h"
#include "core/calls/callinfo.h"
#include "core/callhandler/callpartners.h"
#include "platform/messages.h"

class CMonitorTable;
class CMyDataBaseInterface;
class IPBXLink;

class CCallHandler : public ICallInfoOwner, public plat::IMessageTarget {
 public:
  static constexpr int kUserId = 17;

  // Results of ClearCall.
  enum { kCleared = 10, kNoRecord = 11 };

  CCallHandler();
  ~CCallHandler() override;
  CCallHandler(const CCallHandler&) = delete;
  CCallHandler& operator=(const CCallHandler&) = delete;

  // Partners, set by the document; any may stay null.
  plat::WindowId view = 0;
  ISpeedDialStore* speedDial = nullptr;
  ICallbackList* callbackList = nullptr;
  CMyDataBaseInterface* phoneBook = nullptr;
  IMissedCallList* missedCalls = nullptr;
  IPBXLink* link = nullptr;
  CMonitorTable* monitors = nullptr;
  ICallDataList* callData = nullptr;
  IHandsetPrompt* prompt = nullptr;

  // Pool. A released record goes once nobody holds it any more: purged at
  // the end of each PBX record's dispatch, when a worker lets go of one,
  // and on the view's clock, never inside a modal loop.
  CCallInfo* GetFreeCall(int requester);
  int FreeCall(CCallInfo* call) override;
  void CallIdChanged(CCallInfo* call, int old) override;
  CCallInfo* GetCurrentCall(int receiver);
  CCallInfo* GetSecondCall(int receiver);
  CCallInfo* GetCallByCallID(int callId, int requester);
  CCallInfo* GetCallByCallReferenceID(int refId, int requester);
  // The newest record with that call id that is not released; no revival.
  CCallInfo* FindLiveCall(int callId);
  int IsLineFree(int requester) const { (void)requester; return current_ ? 0 : 1; }
  int PurgeReleasedCalls();
  std::size_t PoolSize() const;
  // Records released and not purged yet.
  std::size_t ReleasedCount() const;
  CCallInfo* LastDialled() const { return lastDialled_; }

  // Requests. MakeCall answers 1 only when the request left.
  int MakeCall(CCallInfo* call, int requester);
  int Redial(int requester);
  int DialRecord(CMyDataBaseParamInterface* record, int requester);
  int ClearCall(CCallInfo* call, int requester);
  int HoldCall(CCallInfo* call, int requester);
  int RetrieveCall(CCallInfo* call, int requester);
  int ConsultationCall(CCallInfo* active, CCallInfo* consult, int requester);
  int TransferCall(CCallInfo* held, CCallInfo* other, int requester);
  int DeflectCall(CCallInfo* call, int requester);
  int PickupCall(CCallInfo* call, int requester);

  int OnCallEvent(int type, CCallInfo* call);
  int ProcessClearedCall(CCallInfo* call);
  int WaitForHandset(int requester);
  std::string GetOwnNumber() const;
  int IsPromptShowing() const { return promptShowing_; }
  // The phone book takes no lock of its own and the incoming-call workers
  // search it: another user on the main thread holds this meanwhile.
  std::unique_lock<std::mutex> LockPhoneBook() { return std::unique_lock<std::mutex>(phoneBookMu_); }

  // Incoming calls. StartIncomingCall settles the record's state and slot
  // at once and looks the party up on a worker thread; the rest follows on
  // the main thread when the worker's result arrives. IncomingCall does it
  // all at once on the calling (main) thread. 0 reported or handled, -1
  // when the record was already over.
  int StartIncomingCall(CCallInfo* call, int requester);
  int IncomingCall(CCallInfo* call, int requester);
  // The answer "Ja" to the new-record question: a record "New" for the
  // number asked about. 1 when it was stored.
  int CreateRecordForCall(const std::string& partnerNumber);
  // Joins every worker started so far (tests; the destructor).
  void JoinWorkers();
  // Workers started and not yet joined: each is joined when its result is
  // handled, so a long run keeps no finished threads.
  std::size_t WorkerCount() const;

  plat::WindowId Id() const { return self_; }
  plat::LRESULT OnMessage(const plat::Message& m) override;

 private:
  struct Lookup;  // a worker's copy of what the phone book found
  using CallKey = std::pair<int, int>;  // call id, reference id
  struct Filed {
    int ref;     // key in pool_
    int callId;  // under which it is in byCallId_
  };
  struct Worker {
    std::thread thread;
    std::unique_ptr<Lookup> result;  // set by the worker before it posts
  };

  void TraceF(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
  void TraceRef(const char* text, const CCallInfo* call, int requester);
  void Hub(plat::UINT code, plat::WPARAM w, const CCallInfo* call);
  void HubMatch(CCallInfo* call, CMyDataBaseParamInterface* hit);
  // Searches the phone book by number; the first hit or null. A call given
  // takes its party from the hit while the phone book is still held (a
  // worker's search would change the hit under it). Main thread.
  CMyDataBaseParamInterface* FindFirstHit(const std::string& number, int* result, CCallInfo* takeParty = nullptr);
  std::unique_ptr<Lookup> LookupParty(const std::string& number);
  void PrepareIncoming(CCallInfo* call, int requester, std::string* lookupNumber);
  int FinishIncoming(CCallInfo* call, int requester, const Lookup* found);
  void AskQueued(plat::UINT question, CCallInfo* call);
  void OnQuestion(plat::UINT question, int refId);
  bool IsPinned(const CCallInfo* call) const;
  // The newest record filed under the call id, live ones first; released
  // ones only when allowed. Under poolMu_.
  CCallInfo* NewestByCallId(int callId, bool takeReleased) const;
  // A call of the own extension (by its numbers and direction).
  bool IsOwnCall(const CCallInfo& call) const;

  plat::WindowId self_ = 0;
  mutable std::mutex poolMu_;
  // Under poolMu_: the records by their reference id (so in the order
  // they were made), the same by call id, the reference id of each, and
  // those released since the last purge or kept by it.
  std::map<int, std::unique_ptr<CCallInfo>> pool_;
  std::map<CallKey, CCallInfo*> byCallId_;
  std::unordered_map<const CCallInfo*, Filed> filed_;
  std::vector<CCallInfo*> released_;
  int refCounter_ = 0;
  CCallInfo* current_ = nullptr;
  CCallInfo* second_ = nullptr;
  CCallInfo* lastDialled_ = nullptr;
  int promptShowing_ = 0;
  CTextLogFile trace_;
  bool tracing_ = false;
  // The phone book takes no lock of its own; every look-up of ours holds this.
  std::mutex phoneBookMu_;
  mutable std::mutex workersMu_;
  std::map<std::size_t, Worker> workers_;  // under workersMu_, by slot
  std::size_t nextSlot_ = 0;
};
