// The one object through which the program talks to the PBX: it starts and
// stops the link in steps on the view's timer 5, builds the call-control
// requests, sends every record under its own lock over the serial port or
// the network path, keeps the last 30 incoming records and passes each to
// the message filter. Main thread only.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "core/iface/pbxlink.h"
#include "core/wire/csta_message.h"
#include "core/wire/frame_coder.h"
#include "platform/messages.h"

class CGlobalConfig;
class CMonitorTable;
class CSerialPort;

// The network library's send of the view's open link (its handle and
// client id are the view's): the link object's way out when no serial port
// is open.
class IPBXNetworkPath {
 public:
  virtual ~IPBXNetworkPath() = default;
  virtual std::uint32_t SendToNetwork(std::uint32_t kind, const void* data, std::uint32_t length) = 0;
};

class CSytemObject : public IPBXLink, public plat::IMessageTarget {
 public:
  static constexpr int kRingSize = 30;
  static constexpr std::size_t kCapsAt = 10;
  static constexpr std::size_t kCapsSize = 158;
  static constexpr plat::UINT kTimerLinkStep = 5;
  static constexpr plat::UINT kStepMs = 100;
  static constexpr std::uint32_t kNetworkKindCsta = 32;
  static constexpr int kNetworkPort = 6;  // CPID of the network link
  // The serial port's comm notification, handled by ProcessCommInput.
  static constexpr plat::UINT kMsgCommNotify = 68;
  static constexpr plat::UINT kMsgReceived = 1590;
  // A box of group 59 (lParam its entry), shown from the queue.
  static constexpr plat::UINT kMsgShowText = 1701;

  // Serial event bits, in the order OnCommEvents handles them.
  static constexpr std::uint32_t EV_RXCHAR = 0x0001, EV_RXFLAG = 0x0002, EV_TXEMPTY = 0x0004, EV_CTS = 0x0008,
                                 EV_DSR = 0x0010, EV_RLSD = 0x0020, EV_BREAK = 0x0040, EV_ERR = 0x0080,
                                 EV_RING = 0x0100, EV_PERR = 0x0200;

  // config: the program's configuration when null.
  CSytemObject(plat::WindowId view, IPBXLinkFilter* filter, CMonitorTable* monitors,
               CGlobalConfig* config = nullptr);
  ~CSytemObject() override;
  CSytemObject(const CSytemObject&) = delete;
  CSytemObject& operator=(const CSytemObject&) = delete;

  // Partners.
  void SetView(plat::WindowId view) { view_ = view; }
  void SetFilter(IPBXLinkFilter* filter) { filter_ = filter; }
  void SetMonitorTable(CMonitorTable* monitors) { monitors_ = monitors; }
  void SetNetworkPath(IPBXNetworkPath* path) { network_ = path; }
  plat::WindowId Window() const { return self_; }
  plat::WindowId View() const { return view_; }

  int PostToSelf(plat::UINT message, plat::WPARAM wParam, plat::LPARAM lParam);
  plat::LRESULT OnLinkMessage(plat::UINT code, plat::WPARAM wParam, const CSTAMessage* record) override;
  int ProcessCommInput(plat::WPARAM wParam, plat::LPARAM lParam);
  int SetNoRequests(std::uint32_t flag);
  std::uint32_t GetNoRequests() const { return noRequests_; }
  int LinkStep();
  std::uint32_t GetLinkState() const override { return state_; }
  void SetLinkState(std::uint32_t state) override { state_ = state; }
  int HasFilter() const { return filter_ != nullptr ? 1 : 0; }
  // Serial link: opens the port and starts. Network link (CPID 6 and NTPAR
  // not 1): called once the server confirmed the registration; starts.
  int Open(plat::WindowId view);
  bool UsesNetwork() const;
  // The network link went away: the server and the PBX behind it forget
  // our monitors, so the next registration starts from scratch.
  void OnNetworkLost();
  // The serial line went away (the port's worker reports it; tests may call
  // it): the port is closed, the start-up forgotten, the link closed (state
  // 4), call requests refused, one log line, and the view gets hub 1072
  // with linkev::kFailedLineLost. Nothing happens twice for one loss.
  void OnLineLost(int err = 0);
  // Set from a loss until the link is opened again.
  bool LineLost() const { return lineLost_; }
  // The view's retry after a loss: opens the port again, silently; 1 when
  // it opened (the whole start-up runs anew, as after Open), 0 when it
  // cannot be opened yet (the link stays closed, nothing is shown).
  int Reopen();
  int StopStep();
  int SendRequest(const CSTAMessage* record) override;
  int CanSend() const { return noRequests_ == 0 ? 1 : 0; }
  int AddToRing(const CSTAMessage& record);
  int Send(const CSTAMessage& record, int note) override;
  int RequestCapabilities(int kind);
  std::uint32_t StartStop(int start);
  int SnapshotDevice(std::string_view number) override;
  int QueryForwarding(std::string_view number) override;
  std::uint32_t NextRequestId() override;
  int ClearRing();
  int OnCommEvents(std::uint32_t mask);

  // Call-control requests.
  int MakeCall(CCallInfo* call) override;
  int ClearCall(CCallInfo* call) override;
  int HoldCall(CCallInfo* call) override;
  int ConsultationCall(CCallInfo* active, CCallInfo* consult) override;
  int TransferCall(CCallInfo* held, CCallInfo* active) override;
  int DeflectCall(CCallInfo* call) override;
  int PickupCall(CCallInfo* call) override;

  // Inspection.
  const CSTAMessage* RingAt(int slot) const;
  int RingIndex() const { return ringIndex_; }
  bool CapabilitiesRequested() const { return capsRequested_ != 0; }
  bool CapabilitiesReceived() const { return capsReceived_ != 0; }
  bool AnswersQueryForwarding() const;
  bool StartQueryRun(std::uint32_t job, int (CSytemObject::*ask)(std::string_view));
  bool AnswersSnapshot() const;
  CSerialPort* Port() const { return port_.get(); }
  std::uint32_t CallInvokeCounter() const { return callInvoke_; }

  plat::LRESULT OnMessage(const plat::Message& m) override;

 private:
  CGlobalConfig& Config() const;
  void ReportToView(plat::UINT code);
  void ArmStepTimer();
  void StartMonitors();
  void ForgetEntryInProgress();
  void LoadNoRequests();
  void ClosePort();
  // Opens the configured port and starts; false when it did not open.
  bool OpenPort();
  void BeginStartUp();
  // Forgets a start-up in progress and every monitor: the PBX knows none.
  void ForgetStartUp();
  // Call requests on a closed link: refused, and the log says so.
  bool Refuses(const char* request) const;
  std::uint32_t CrossRefOf(const std::string& number) const;
  std::string MainPhone() const;
  void CommLog(const std::string& line) const;
  void LogLine(const std::string& line) const;

  plat::WindowId self_ = 0;
  plat::WindowId view_ = 0;
  IPBXLinkFilter* filter_ = nullptr;
  CMonitorTable* monitors_ = nullptr;
  CGlobalConfig* config_ = nullptr;
  IPBXNetworkPath* network_ = nullptr;

  std::uint32_t noRequests_ = 0;
  std::uint32_t callInvoke_ = 0;
  std::unique_ptr<CSerialPort> port_;
  std::array<std::unique_ptr<CSTAMessage>, kRingSize> ring_;
  int ringIndex_ = 0;
  std::array<std::uint8_t, frame::kWorkFrameSize> sendArea_{};
  std::recursive_mutex sendMutex_;  // a view handler reached while noting may send again
  std::uint32_t state_ = linkstate::kIdle;
  std::uint32_t capsRequested_ = 0;
  std::uint32_t requestCounter_ = 0;
  std::array<std::uint8_t, kCapsSize> caps_{};
  std::uint32_t capsReceived_ = 0;
  bool lineLost_ = false;
};
