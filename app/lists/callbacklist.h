// The call/callback list: calls the user wants to make or return, kept in
// the CBLFN file and called back on the view's timer 4 within working
// hours, by priority, tries, pauses and time windows.
//
// Entries are records of the call handler's pool; the list holds them and
// releases a record when it removes its entry. The automation's candidate
// and its call in progress are kept as call reference ids, so a removed
// entry can never be dialled or counted afterwards. Main thread only.
#pragma once
#include <cstdint>
#include <ctime>
#include <set>
#include <string>

#include "core/callhandler/callpartners.h"
#include "core/calls/callinfolist.h"
#include "platform/messages.h"

class CCallHandler;

class CCallBackList : public CCallInfoList, public ICallbackList, public plat::IMessageTarget {
 public:
  static constexpr int kOrigin = 18;
  static constexpr const char* kSection = "CBLIST";

  CCallBackList();
  ~CCallBackList() override;
  CCallBackList(const CCallBackList&) = delete;
  CCallBackList& operator=(const CCallBackList&) = delete;

  // Set by the document before Load.
  CCallHandler* callHandler = nullptr;
  plat::WindowId view = 0;

  // --- the base list ---
  // Appends (once), then offers the entry's settings (hub 1068) when
  // CBLACONFPO is on.
  int AddCall(CCallInfo* call) override;
  int RemoveAt(Position pos) override;
  int RemoveAll() override;
  // The entry whose layout-1 description is text: removed and released.
  int RemoveByText(const std::string& text) override;
  using CCallInfoList::FindByText;

  // --- own operations ---
  // The eligible entry of highest priority, then fewest tries, then first
  // listed; chosen afresh on every call. Null when none.
  CCallInfo* SelectNextEntry();
  // A fresh outgoing record of the pool for codes 13, 18, 23, 25-27 and
  // 31; null for other codes and without a call handler (box 47/11).
  CCallInfo* NewCallFor(int code);
  // Entry n (from 1) in layout 1; "" when there is none.
  std::string GetEntryText(int n, std::string* out = nullptr);
  // Layout 1 first, then layout 7.
  CCallInfo* FindByText(const std::string& text);
  int AutomationStep();
  int Refresh() { SelectNextEntry(); return 0; }
  // 1 written, 0 when the file could not be replaced (logged).
  int Save(const std::string& file);
  // Appends the entries of the file's existing sections CBLIST-1..LC.
  int Load(const std::string& file);
  int IsRunning() override { return running_; }
  void SetRunning(int running) override { running_ = running ? 1 : 0; }

  // --- what the call handler calls ---
  int OnCallFinished(CCallInfo* call, int requester) override;
  CCallInfo* FindByDescription(const std::string& text) override { return FindByText(text); }
  int RemoveEntry(CCallInfo* entry) override;
  int AddCallback(CCallInfo* call) override { return AddCall(call); }
  bool HoldsCall(const CCallInfo* call) const override { return call && Holds(call); }

  // --- dialog 124 on an entry: while it is open the entry is not dialled;
  // the write-back finds it again by its reference id ---
  bool BeginEdit(int refId, CCallInfo* copy);
  // edited null: cancelled. False when the entry is gone meanwhile.
  bool EndEdit(int refId, const CCallInfo* edited);

  CCallInfo* EntryByRef(int refId) const;
  Position FindEntry(const CCallInfo* call) const;
  CCallInfo* Candidate() const { return EntryByRef(candidateRef_); }
  CCallInfo* CallInProgress() const { return EntryByRef(inProgressRef_); }
  std::time_t LastAutomationTime() const { return lastAutomation_; }
  long ElapsedSeconds() const { return elapsed_; }

  // The settings dialog 124 writes: the partner, the mode, the tries,
  // the date, the interval and the time window.
  static void ApplySettings(CCallInfo& to, const CCallInfo& from);

  plat::WindowId Id() const { return self_; }
  plat::LRESULT OnMessage(const plat::Message& m) override;

 private:
  bool Eligible(const CCallInfo& c, long t, std::time_t now) const;
  bool CallStillLive(const CCallInfo& c) const;
  void FinishTry(CCallInfo* entry, bool answered);
  void MarkAutomationCall();
  void BusyLine(CCallInfo* candidate);
  bool AskToDial(int ref);
  int Box(const std::string& text, plat::UINT flags);
  void ClearMarks(int refId);

  plat::WindowId self_ = 0;
  int running_ = 0;
  int candidateRef_ = -1;
  int inProgressRef_ = -1;
  std::time_t lastAutomation_ = 0;
  std::uint64_t lastAutomationMs_ = 0;
  long elapsed_ = 0;
  int boxes_ = 0;  // boxes (and the handset prompt) of the list now open
  std::set<int> editing_;
  std::set<int> asking_;  // entries whose "remove?" question is pending
};
