// Stand-ins for the partners of the filter and the call handler: the PBX
// link object (with the start-up reactions it owes the filter), the view,
// the lists, the prompt and a listener. Each records what it was given.
#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "core/callhandler/callhandler.h"
#include "core/filter/messagefilter.h"
#include "platform/messages.h"

struct SentRecord {
  CSTAMessage record;
  int note = 0;
};

class FakeLink : public IPBXLink {
 public:
  CMessageFilter* filter = nullptr;
  CMonitorTable* monitors = nullptr;
  plat::WindowId view = 0;
  bool refuse = false;        // the no-requests flag
  bool answersFwd = false;    // from the capability reply
  bool answersSnap = false;
  std::uint32_t state = 0;
  std::uint32_t invoke = 0;
  std::uint32_t requests = 0;
  bool capsRequested = false;
  std::vector<SentRecord> sent;
  std::vector<plat::UINT> events;

  // Link start as the link object opens it: the device count first.
  void Open();
  void RequestCapabilities(int kind);
  int StartStop(int start);
  int LinkStep();

  int Send(const CSTAMessage& record, int note) override;
  int SendRequest(const CSTAMessage* record) override;
  plat::LRESULT OnLinkMessage(plat::UINT code, plat::WPARAM wParam, const CSTAMessage* record) override;
  std::uint32_t GetLinkState() const override { return state; }
  void SetLinkState(std::uint32_t s) override { state = s; }
  int QueryForwarding(std::string_view number) override;
  int SnapshotDevice(std::string_view number) override;
  std::uint32_t NextRequestId() override { return ++requests; }
  int MakeCall(CCallInfo* call) override;
  int ClearCall(CCallInfo* call) override;
  int HoldCall(CCallInfo* call) override;
  int ConsultationCall(CCallInfo* active, CCallInfo* consult) override;
  int TransferCall(CCallInfo* held, CCallInfo* active) override;
  int DeflectCall(CCallInfo* call) override;
  int PickupCall(CCallInfo* call) override;

 private:
  std::uint32_t XrefOf(const std::string& number) const;
};

struct HubRecord {
  plat::UINT code = 0;
  plat::WPARAM w = 0;
  CCallInfo* call = nullptr;  // lParam, when a call
  CallRecordMatch match;      // payload of 1038
  std::string callText;       // the call's parties when it arrived
};

class FakeView : public plat::IMessageTarget {
 public:
  FakeView();
  ~FakeView() override;
  plat::WindowId id = 0;
  CMessageFilter* filter = nullptr;
  FakeLink* link = nullptr;
  std::vector<HubRecord> messages;  // without the timer codes 1059/1060
  int timerStarts = 0, timerStops = 0;
  // Called with every hub message after it was recorded (a test's router).
  std::function<plat::LRESULT(const plat::Message&)> route;
  plat::LRESULT OnMessage(const plat::Message& m) override;
};

class FakeDrawing : public IConnectionDrawing {
 public:
  struct Event { std::string device; std::uint32_t callId; int type; };
  std::vector<Event> events;
  void OnConnectionEvent(const std::string& d, std::uint32_t id, int t) override { events.push_back({d, id, t}); }
};

class FakeCallbackList : public ICallbackList {
 public:
  std::vector<CCallInfo*> entries;
  int running = 0;
  int finished = 0;
  int OnCallFinished(CCallInfo*, int) override { return ++finished, 0; }
  CCallInfo* FindByDescription(const std::string& text) override;
  int RemoveEntry(CCallInfo* entry) override;
  int AddCallback(CCallInfo* call) override;
  bool HoldsCall(const CCallInfo* call) const override {
    for (const CCallInfo* e : entries)
      if (e == call) return true;
    return false;
  }
  int IsRunning() override { return running; }
  void SetRunning(int r) override { running = r; }
};

class FakeMissedCalls : public IMissedCallList {
 public:
  std::vector<std::string> numbers;
  int noCall = 0;
  int AddMissedCall(CCallInfo* call) override {
    numbers.push_back(call->callingNumber);
    return 1;
  }
  int NoCall(int) override { return ++noCall, 0; }
};

class FakeCallData : public ICallDataList {
 public:
  std::vector<std::string> lines;
  int AddCallData(CCallInfo* call) override;
};

class FakeSpeedDial : public ISpeedDialStore {
 public:
  int forgotten = 0;
  void ForgetPendingDial() override { ++forgotten; }
};

class FakePrompt : public IHandsetPrompt {
 public:
  std::deque<int> answers;
  int shown = 0, lifted = 0;
  int Show() override;
  void Lifted() override { ++lifted; }
};

class FakeCharge : public IChargeLogHandler {
 public:
  std::vector<int> kinds;
  std::vector<std::uint32_t> failed;
  int finished = 0;
  int max = 856;
  int ProcessChargeMessage(const CSTAMessage& r) override {
    kinds.push_back(r.PrivateKind());
    return 0;
  }
  int GetMaxRecordCount() override { return max; }
  void OnRequestFailed(std::uint32_t job) override { failed.push_back(job); }
  void OnReadOutFinished() override { ++finished; }
};

class RecordingListener : public CSTAMessageListener {
 public:
  explicit RecordingListener(std::string n, std::vector<std::string>* order = nullptr) : name(std::move(n)), order_(order) {}
  std::string name;
  std::vector<std::uint16_t> types;
  std::vector<const CSTAMessage*> seen;
  void OnMessage(const CSTAMessage& r) override {
    types.push_back(r.Type());
    seen.push_back(&r);
    if (order_) order_->push_back(name);
  }

 private:
  std::vector<std::string>* order_;
};
