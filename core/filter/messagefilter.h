// Every PBX record passes here: traced, checked against the watched
// extensions, dispatched by type to the call model and the monitor table,
// then shown to the listeners. Also owns the job lock, the one outstanding
// request with its repeat on the view's timer 7, and the monitor steps.
// Main thread only.
#pragma once
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "core/base/textlogfile.h"
#include "core/filter/filterifaces.h"
#include "core/iface/pbxlink.h"
#include "core/monitor/monitortable.h"
#include "platform/messages.h"
#include "platform/win32types.h"

class CCallHandler;
class CCallInfo;

class CMessageFilter : public CPBXJobLock, public IPBXLinkFilter, public IMonitorRequester, public plat::IMessageTarget {
 public:
  static constexpr int kPoolCode = 21;
  static constexpr int kMaxRepeats = 4;
  static constexpr plat::UINT kRequestPeriodMs = 1000;
  // The device-count reply's internal number length (text field).
  static constexpr std::size_t kNumberLengthAt = 22;
  static constexpr std::size_t kNumberLengthWidth = 11;

  CMessageFilter();
  ~CMessageFilter() override;
  CMessageFilter(const CMessageFilter&) = delete;
  CMessageFilter& operator=(const CMessageFilter&) = delete;

  // Partners, set by the document and the view; any may stay null.
  IPBXLink* link = nullptr;
  CCallHandler* callHandler = nullptr;
  CMonitorTable* monitors = nullptr;
  IConnectionDrawing* drawing = nullptr;
  IServiceRecordSink* serviceRecords = nullptr;
  IChargeLogHandler* charge = nullptr;
  plat::WindowId view = 0;

  // The message-sink part handed to the charge and log handler and the view.
  CPBXMessageSink* MessageSink() { return &sink_; }

  // IPBXLinkFilter
  int OnCSTAMessage(const CSTAMessage* record) override;
  int MonitorStep(int start) override;
  int NoteOutstanding(const CSTAMessage* record) override;
  int NoteMakeCall(int type, CCallInfo* call, std::uint32_t invokeId) override;
  // Ends the calls in progress: their events are lost with the line, and
  // a call kept current would make the next one a waiting second call.
  void OnLineLost() override;
  // CPBXJobLock (also IPBXLinkFilter)
  int TakeOrRelease(std::uint32_t state, int take) override;
  std::uint32_t GetJobText(char* buffer, std::size_t size) override;
  // IMonitorRequester
  int SendMonitorRequest(const std::string& number, int start) override;

  std::string GetMessageText(const CSTAMessage& record);
  static const char* GetErrorName(int code);
  static std::string JobText(std::uint32_t state);
  CSTAMessage BuildMonitorRequest(const std::string& number, int start, bool* ok, std::uint32_t invokeId = 0);

  int RegisterListener(CSTAMessageListener* listener, void* reserved, std::int16_t position);
  int RemoveListener(CSTAMessageListener* listener);
  void NotifyListeners(const CSTAMessage& record);

  int SetRequestTimer(int reserved, int on);
  const CSTAMessage* GetOutstanding() const { return hasOutstanding_ ? &outstanding_ : nullptr; }
  int RepeatCount() const { return repeats_; }
  int OnTimer(unsigned id);

  // Its own queued calls (a message box is never shown inside a dispatch).
  plat::LRESULT OnMessage(const plat::Message& m) override;

  std::uint32_t JobState() const { return job_; }
  int ReadOutCount() const { return readCount_; }
  int ReadOutIndex() const { return readIndex_; }

 private:
  class Sink : public CPBXMessageSink {
   public:
    explicit Sink(CMessageFilter& f) : f_(f) {}
    int ProcessMessage(const CSTAMessage* record) override { return f_.OnCSTAMessage(record) ? 0 : 1; }
    int TakeJob(std::uint32_t state, int take) override { return f_.TakeOrRelease(state, take) ? 0 : 1; }
    int GetJobText(char* buffer, std::size_t size) override {
      f_.GetJobText(buffer, size);
      return 0;
    }

   private:
    CMessageFilter& f_;
  };

  void Dispatch(const CSTAMessage& r);
  CMonitorEntry* EntryFor(const CSTAMessage& r, const std::string& device);
  void OnConferenceConf(const CSTAMessage& r);
  void OnMakeCallConf(const CSTAMessage& r);
  void OnQueryForwardingConf(const CSTAMessage& r);
  void NextForwardingQuery();
  void EndForwarding();
  void NextSnapshot();
  void EndSnapshots();
  // Whether a reply may answer the outstanding request (by its invoke id;
  // 0 from a peer that does not echo ids).
  bool AnswersOutstanding(const CSTAMessage& r) const;
  // The watched entry whose monitor request a confirmation or failure
  // answers, by invoke id; without one, the entry in progress.
  CMonitorEntry* MonitorEntryAnswered(const CSTAMessage& r);
  std::uint32_t NextMonitorInvoke();
  void StopMonitor(std::uint32_t crossRefId);
  // The PBX refused the make-call request: its record ends as a call would.
  void FailMakeCall();
  void RefusePrivate(int code);
  void LogFailure(int code);
  void OnFailure(const CSTAMessage& r);
  void OnConferenced(const CSTAMessage& r);
  void OnConnectionCleared(const CSTAMessage& r);
  void OnDelivered(const CSTAMessage& r);
  void OnEstablished(const CSTAMessage& r);
  void OnHeld(const CSTAMessage& r);
  void OnRetrieved(const CSTAMessage& r);
  void OnServiceInitiated(const CSTAMessage& r);
  void OnTransferred(const CSTAMessage& r);
  void OnPrivate(const CSTAMessage& r);
  void OnMonitorConf(const CSTAMessage& r);
  void OnMonitorStopConf(const CSTAMessage& r);
  void OnSnapshotConf(const CSTAMessage& r);
  void OnApiCapsConf(const CSTAMessage& r);

  void FillCallFromDelivered(CCallInfo* call, const std::string& calling, const std::string& called,
                             std::uint32_t callId, const std::string& own);
  void AskCallRecord(int index);
  void EndReadOut();
  bool DrivesReadOut() const;
  bool KeepsServiceRecords() const;
  void Tell(const std::string& device, std::uint32_t callId, int type);
  void Log(const std::string& text);
  void LinkEvent(plat::UINT code, const CSTAMessage* data = nullptr);
  void HubReport(plat::UINT code, plat::WPARAM w = 0);

  Sink sink_{*this};
  plat::WindowId self_ = 0;
  CMonitorEntry* main_ = nullptr;
  // The record in dispatch and the entry its cross-reference id names.
  const CSTAMessage* xrefRecord_ = nullptr;
  CMonitorEntry* xrefEntry_ = nullptr;
  CTextLogFile traceFile_;
  bool traceFileOpen_ = false;
  CSTAMessage outstanding_{};
  bool hasOutstanding_ = false;
  int repeats_ = 0;
  int readCount_ = 0;
  int readMax_ = 856;
  int readIndex_ = 0;
  std::uint32_t job_ = 0;
  // The make-call request last sent and not yet confirmed.
  bool makeCallPending_ = false;
  int makeCallRef_ = 0;
  std::uint32_t makeCallInvoke_ = 0;
  std::uint32_t monitorInvoke_ = 0;  // when the link counts no ids
  std::list<CSTAMessageListener*> listeners_;
  CSTAMessage notifyCopy_{};
  std::vector<CSTAMessageListener*> notifySnapshot_;
  int notifyDepth_ = 0;
};
