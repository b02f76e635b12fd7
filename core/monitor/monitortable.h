// The internal extensions that the workstation watches: 60 fixed slots,
// stored in the speed-dial and monitor-table file (setting SDFN).
#pragma once
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "core/monitor/devicecontents.h"

class CCallInfo;

// Signalled by the call model for an extension; wakes one waiter.
class CAutoResetEvent {
 public:
  void Set();
  // true when signalled within the time.
  bool Wait(unsigned timeoutMs);

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  bool signalled_ = false;
};

// Whoever starts monitoring an extension at once (the message filter).
class IMonitorRequester {
 public:
  virtual ~IMonitorRequester() = default;
  virtual int SendMonitorRequest(const std::string& number, int start) = 0;
};

struct CMonitorEntry {
  static constexpr std::size_t kNumberSize = 10;
  static constexpr std::size_t kOtherPartySize = 20;
  static constexpr std::size_t kForwardingSize = 471;
  static constexpr std::size_t kSnapshotSize = 224;

  enum WatchMode { kIgnore = 0, kSimple = 1, kExtended = 2, kTakeOver = 3 };
  enum MonitorState { kNotMonitored = 0, kStartRequested = 1, kMonitored = 2, kStartFailed = 3,
                      kStopRequested = 4, kStopped = 5 };

  std::uint32_t monitoringOn = 0;
  std::uint32_t watchMode = kIgnore;
  char number[kNumberSize] = {};
  char slotKey[kNumberSize] = {};  // the slot's default number; names its section
  std::string title;
  std::string name;
  std::uint32_t monitorState = kNotMonitored;
  std::uint32_t crossRefId = 0;
  std::uint32_t requestInvokeId = 0;  // of the last monitor request; its confirmation carries it
  std::uint32_t confWord1 = 0;
  std::uint32_t confWord2 = 0;
  std::uint8_t confByte = 0;
  std::int32_t connectionState = -1;  // -1 none, 0 initiated, 1 far end rings, 2 rings here, 3 connected, 4 held
  std::uint32_t lastEvent = 0;
  std::uint32_t lastCallId = 0;
  char otherParty[kOtherPartySize] = {};
  std::uint32_t connDirection = 0;  // 1 incoming, 2 outgoing
  CCallInfo* currentCall = nullptr;
  CAutoResetEvent event;
  std::uint32_t forwardingTime = 0;
  std::uint8_t forwardingData[kForwardingSize] = {};
  std::uint32_t snapshotTime = 0;
  std::uint8_t snapshotData[kSnapshotSize] = {};

  // Texts into the fixed fields, cut to fit.
  void SetNumber(const std::string& n);
  void SetOtherParty(const std::string& n);
  std::string Number() const { return number; }
  std::string SlotKey() const { return slotKey; }
  std::string OtherParty() const { return otherParty; }
};

class CMonitorTable : public CDeviceContentsInterface {
 public:
  static constexpr int kEntries = 60;
  enum Mode { kIdle = 0, kStarting = 1, kStopping = 2, kStartingOne = 3 };

  // Loads the table from the SDFN file.
  CMonitorTable();
  // Saves the table.
  ~CMonitorTable() override;
  CMonitorTable(const CMonitorTable&) = delete;
  CMonitorTable& operator=(const CMonitorTable&) = delete;

  // The key of a number: its leading digits without leading zeros ("0021",
  // "21 - Herr X" -> "21"); "" when it does not start with a digit.
  static std::string NumberKey(const std::string& number);

  // Lookups change nothing in the table: the incoming-call thread makes
  // them while the main thread does too.
  CMonitorEntry* FindByNumber(const std::string& number);
  int IsKnownNumber(const std::string& number);
  std::uint32_t GetCrossRefId(const std::string& number);
  int IsKnownCrossRefId(std::uint32_t id);
  // how 0: first not monitored; 1: first with monitoring on and start
  // requested; 2: the one with cross-reference id id.
  CMonitorEntry* FindByState(int how, std::uint32_t id);
  int CountMonitored();
  int IsMonitored(const std::string& number);
  std::string NameOf(const std::string& number, int how);
  std::string EntryText(const CMonitorEntry* entry, bool shortForm) const;

  int SetMainPhone(const std::string& number);
  int SetCollectorPhone(const std::string& number);
  std::string GetMainPhone() const;
  std::string GetCollectorPhone() const;
  CMonitorEntry* MainPhoneEntry() { return main_; }
  CMonitorEntry* CollectorPhoneEntry() { return collector_; }
  int GetMainPhoneConnectionState() const;
  void ResetConnection(const std::string& number);

  void ResetCursor();
  // The next entry from the cursor that passes the filters, as text of the
  // form (0 and 3 "number - title name", 1 number, 2 entry text with the
  // current call's other party); "" at the end.
  std::string Next(int form, bool onlyMonitoringOn, bool onlyConnected);

  // One step of the start or stop sequence: the next entry's number, "".
  std::string NextToMonitor();
  // 1 while the entry in progress still waits for its answer.
  int WaitForConfirmation(int stopping);

  // Takes monitoring flag, number, title, name and watch mode of entry into
  // the slot with its number. 0 when no slot has that number.
  int SetEntry(const CMonitorEntry& entry);
  int SetShownCount(int n);
  int GetShownCount() const { return shown_; }
  void SetInternalNumberLength(int n) { intNumLength_ = n; }
  int InternalNumberLength() const { return intNumLength_; }
  void MarkChanged() { changed_ = 1; }
  int TakeChanged(bool clear);

  // An empty name means the SDFN file; any other name does nothing.
  int Load(const std::string& name = std::string());
  int Save(const std::string& name = std::string());

  void SetPartner(IMonitorRequester* partner) { partner_ = partner; }
  void SetMode(int mode) { mode_ = mode; }
  int GetMode() const { return mode_; }
  CMonitorEntry* EntryInProgress() { return inProgress_; }
  void SetEntryInProgress(CMonitorEntry* e) { inProgress_ = e; }
  CMonitorEntry* EntryAt(int index);
  int IndexOf(const CMonitorEntry* e) const;
  bool IsAllocated() const { return entries_ != nullptr; }

  // CDeviceContentsInterface
  int GetCount() override { return shown_; }
  std::string Navigate(int how) override;
  std::string GetNumberAt(int index) override;
  int GetField(const char* number, int field, char* buffer, std::size_t size, int reserved) override;
  int SetField(const char* number, int field, const char* text) override;
  int IsReady() override { return 1; }

 private:
  std::string FileName() const;
  std::string FormText(const CMonitorEntry& e, int form) const;

  int count_ = kEntries;
  int cursor_ = 0;
  std::unique_ptr<CMonitorEntry[]> entries_;
  CMonitorEntry* main_ = nullptr;
  CMonitorEntry* collector_ = nullptr;
  CMonitorEntry* inProgress_ = nullptr;
  IMonitorRequester* partner_ = nullptr;
  int mode_ = kIdle;
  std::uint64_t askedAtMs_ = 0;
  int shown_ = kEntries;
  int changed_ = 0;
  int intNumLength_ = 2;
  int navPos_ = 0;
};
