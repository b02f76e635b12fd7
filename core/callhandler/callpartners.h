// The lists and dialogs that the call handler hands ended calls to, and the
// handset prompt, as narrow interfaces (their owners come later).
#pragma once
#include <cstdint>
#include <string>

class CCallInfo;
class CMyDataBaseParamInterface;

// Passed with hub code 1038 as the message's payload (a byte copy), so the
// receiver owns its copy; the pointers stay owned by the phone book and the
// call handler.
struct CallRecordMatch {
  CMyDataBaseParamInterface* record = nullptr;
  CCallInfo* call = nullptr;
  std::uint32_t reserved = 0;
};

class ICallbackList {
 public:
  virtual ~ICallbackList() = default;
  // A call made for the list (generator 18) has ended.
  virtual int OnCallFinished(CCallInfo* call, int requester) = 0;
  // The entry whose layout-7 description is text, or null.
  virtual CCallInfo* FindByDescription(const std::string& text) = 0;
  // Removes that entry and releases its record.
  virtual int RemoveEntry(CCallInfo* entry) = 0;
  // Appends the call; the record stays in the call handler's pool.
  virtual int AddCallback(CCallInfo* call) = 0;
  // Whether the list has the record as an entry (the pool keeps it then,
  // released or not). Called with the pool locked: asks nothing back.
  virtual bool HoldsCall(const CCallInfo* call) const = 0;
  virtual int IsRunning() = 0;
  virtual void SetRunning(int running) = 0;
};

class IMissedCallList {
 public:
  virtual ~IMissedCallList() = default;
  // Keeps the call's text; the record stays with its owner.
  virtual int AddMissedCall(CCallInfo* call) = 0;
  // The read-out of unanswered calls ended without a call.
  virtual int NoCall(int reserved) = 0;
};

class ISpeedDialStore {
 public:
  virtual ~ISpeedDialStore() = default;
  virtual void ForgetPendingDial() = 0;
};

// The own workstation's call data list.
class ICallDataList {
 public:
  virtual ~ICallDataList() = default;
  virtual int AddCallData(CCallInfo* call) = 0;
};

// The modal "lift the handset" prompt.
class IHandsetPrompt {
 public:
  virtual ~IHandsetPrompt() = default;
  // Runs modally: plat::IDOK or plat::IDCANCEL.
  virtual int Show() = 0;
  // The handset was lifted while the prompt shows: ends it with OK.
  virtual void Lifted() = 0;
};
