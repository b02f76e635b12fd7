// The one object that talks to the PBX about call charges: it reads the
// PBX's call records into the charge file (one 48-byte record per call
// behind a 256-byte header), reads the per-extension charge sums, clears
// both in the PBX on request, and answers every report of the charge
// subsystem (selection, report lines, summaries). The message filter hands
// it every private reply; its own requests go back through the filter's
// message sink. Main thread only.
#pragma once
#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "charges/handler/chargeifaces.h"
#include "charges/handler/chargerecord.h"
#include "core/filter/filterifaces.h"
#include "core/iface/viewhub.h"
#include "core/monitor/monitortable.h"
#include "phonebook/structfile.h"
#include "platform/messages.h"
#include "platform/textid.h"

class CGlobalConfig;
class IPBXLink;

class CChargeAndLogHandler : public IChargeLogHandler, public IReportFieldProvider, public plat::IMessageTarget {
 public:
  static constexpr int kMaxDevices = 200;
  static constexpr int kExtensions = ChargeSelection::kExtensions;
  static constexpr int kDefaultMaxCount = 856;
  static constexpr std::size_t kPatternSize = 128;
  static constexpr std::size_t kLineSize = 256;
  static constexpr int kPlaceholders = 22;
  // Handler jobs.
  enum : int { kJobNone = 0, kJobSums = 2, kJobRecords = 3, kJobDeleteAll = 4, kJobDeleteUnits = 5 };
  // Report filter modes.
  enum : int { kModeInternal = 0, kModeAll = 1, kModeExternal = 2, kModeInternalEx = 3, kModeNumber = 4, kModePeriod = 5 };
  // The six match switches.
  enum : int { kSwCalled = 0, kSwCalling, kSwTimeRange, kSwExtensions, kSwMinDuration, kSwMinUnits, kSwitches };

  // config: the program's configuration when null.
  explicit CChargeAndLogHandler(CGlobalConfig* config = nullptr);
  ~CChargeAndLogHandler() override;
  CChargeAndLogHandler(const CChargeAndLogHandler&) = delete;
  CChargeAndLogHandler& operator=(const CChargeAndLogHandler&) = delete;

  // ------------------------------------------------------------ files
  // Keeps each partner given; the read-out index and time from CHARGES.
  int SetPartners(IViewMessageSink* view, IPBXLink* link, CPBXMessageSink* filter, CMonitorTable* monitors);
  // The settings file that CHARGES is written to after each read-out;
  // empty keeps the values in the configuration only.
  void SetSettingsFile(const std::string& path) { settingsFile_ = path; }
  // With CPROCON set: the charge file (created with the default header)
  // and a fresh selection file. 1 when both are open, else 0.
  int OpenChargeFile(const std::string& name);
  // Ends a running read-out, writes the header and CHARGES. 1, 0 with
  // CPROCON off.
  int SaveState();
  // Closes both files; the selection file is removed.
  void CloseFiles();
  // Kind 1: a copy of the selection file at path (0, -1 when the copy
  // failed). Other kinds: the kind-1 report lines of mode into path,
  // replaced whole (1, 0 when it could not be written).
  int SaveReport(int kind, const char* path, int mode);
  bool ChargeFileOpen() const { return chargeOpen_; }
  bool SelectionFileOpen() const { return selOpen_; }
  const std::string& SelectionFileName() const { return selName_; }

  // ------------------------------------------------------------ filter side
  int ProcessChargeMessage(const CSTAMessage& reply) override;
  int GetMaxRecordCount() override { return maxCount_; }
  void OnRequestFailed(std::uint32_t job) override;
  void OnRequestRefused(std::uint32_t job, int code) override;
  void OnReadOutFinished() override;

  // ------------------------------------------------------------ listeners
  // Ignores a listener already there; tells it code 10 with the handler.
  void AddListener(IChargeListener* listener);
  void RemoveListener(IChargeListener* listener);
  void NotifyListeners(int code, const ChargeNotice& notice = {});
  // Null detaches; 1 when a window was given. A null sums window also
  // releases the sums job state.
  int SetRecordsWindow(IChargeWindow* w);
  int SetSumsWindow(IChargeWindow* w);
  int SetThirdWindow(IChargeWindow* w);
  // -1 all three (records, sums, third), 0, 1 or 2 one of them.
  virtual void ForwardToWindows(int target, int code, const std::string& text);

  // ------------------------------------------------------------ read-outs
  // Each start, delete and count request is refused (0) while a job runs
  // or the job lock is held by another job; nothing is sent then.
  int StartSumsReadOut();
  int StartAllRecordsReadOut();
  int StartNewRecordsReadOut();
  int RequestRecordCount();
  // One extension's units for the charge-counter manager (kind 12).
  int RequestDeviceUnits(const std::string& device);
  int CancelRecordsReadOut();
  int CancelSumsReadOut();
  int DeleteAllPbxRecords();
  int DeleteDeviceUnits(const std::string& text);
  std::string GetReadOutTimeText(int which) const;
  int Command(int code);

  // ------------------------------------------------------------ selection
  int SelectExtension(const std::string& number, int value);
  int SetExtensionFlags(int n, const std::int32_t* values);
  int GetExtensionFlags(int n, std::int32_t* out) const;
  int IsExtensionSelected(const std::string& number);
  int SetTimeRange(std::uint32_t from, std::uint32_t to);
  int GetTimeRange(std::uint32_t* from, std::uint32_t* to) const;
  int SetMinUnits(int kind, const char* text);
  std::string GetMinUnitsText(int kind) const;
  int SetShowNumbers(int value);
  // The whole selection block at once (a caller restoring what it saved).
  void SetSelection(const ChargeSelection& s) { header_.selection = s; }
  int GetShowNumbers() const { return header_.selection.showNumbers; }
  // The value's type follows the id: a text for 1, 18 i32 for 0, one i32
  // for the others. Ids above 15 give 0.
  int SetParameter(int id, const void* value);
  // Points at the parameter's value, null for ids without one.
  const void* GetParameter(int id, const char* argument = nullptr);

  // ------------------------------------------------------------ reports
  virtual int ConfirmStore(const ChargeRecord& record);
  virtual int MatchesSelection(const ChargeRecord& record, int mode);
  virtual int ReadNextMatching(int first, int mode);
  // A null pattern keeps the one set before.
  std::string GetFirstReportLine(int kind, int mode, const char* pattern = nullptr, int patternFlag = 0);
  std::string GetNextReportLine(int kind, int mode);
  virtual const std::string& FormatReportLine(int kind, int style);
  virtual const std::string& FormatTemplateLine(const char* templ);
  virtual int FillPartyNumbers(const ChargeRecord& record, const char* templ, char* out, std::size_t size);
  std::string GetSummaryText(int kind, int style);

  // IReportFieldProvider
  int GetFieldCount() override { return 30; }
  std::string GetFieldName(int i) override;
  int GetFieldType(int i) override { return i > 20 ? 4 : 0; }
  int GetFieldIndex(int i) override { return i >= 0 && i <= 20 ? i : 0; }

  plat::LRESULT OnMessage(const plat::Message& m) override;

  // ------------------------------------------------------------ inspection
  int Job() const { return job_; }
  // Why the last request given up failed: the PBX's failure code when it
  // refused it, -1 when it went unanswered.
  int LastRefusal() const { return refusal_; }
  int ReadOutIndex() const { return readIndex_; }
  std::uint32_t ReadOutTime() const { return readTime_; }
  int AvailableCount() const { return available_; }
  int DeviceCount() const { return deviceCount_; }
  std::int32_t Sum(int i) const { return i >= 0 && i < kMaxDevices ? sums_[static_cast<std::size_t>(i)] : 0; }
  const std::string& DeviceName(int i) const;
  const std::vector<std::string>& DeviceNames() const { return nameList_; }
  const ChargeFileHeader& Header() const { return header_; }
  const ChargeRecord& LastRecord() const { return last_; }
  const ChargeRecord& ReadRecord() const { return read_; }
  std::uint32_t RecordCount();
  std::int64_t QuerySum() const { return querySum_; }
  int FilterMode() const { return filterMode_; }
  const std::string& NumberPattern() const { return pattern_; }
  static const char* Placeholder(int i);

 protected:
  // Appends a record unless an equal one is stored; 1 stored, 0 dropped,
  // -1 the write failed.
  int StoreRecord(const ChargeRecord& record);

 private:
  enum class Step { kNone, kMax, kCount, kRecord, kDevice, kDeleteAll, kDeleteUnits, kUnits };
  struct KeyHash {
    std::size_t operator()(const std::array<std::uint8_t, ChargeRecord::kSize>& k) const;
  };

  CGlobalConfig& Config() const { return *config_; }
  bool RecordingOn() const;
  void Send(std::uint8_t kind, const std::string& text = {});
  bool TakeLock(std::uint32_t state, plat::TextId before, plat::TextId after);
  void ReleaseLock(std::uint32_t state);
  void Status(int target, const std::string& text);
  void EndJob();
  void GiveUp();
  void FinishRecords();
  void PersistReadOut();
  bool PersistHeader();
  void WriteCharges();
  void OnRecordCount(const CSTAMessage& m);
  void OnRecord(const CSTAMessage& m);
  void OnDeviceUnits(const CSTAMessage& m);
  void OnUnitsDeleted(const CSTAMessage& m);
  void LoadRecentKeys();
  void RememberKey(const ChargeRecord& r);
  void PostBox(const std::string& text);
  void Log(const std::string& text) const;
  void OpenSelectionFile();
  void CloseSelectionFile();
  bool ResetSelectionFile();

  // Selection helpers.
  int IndexOf(std::string_view number);
  void RefreshIndexCache();
  bool InRange(std::uint32_t start) const;
  bool PatternFits(std::string_view number) const;
  std::int64_t PriceCents() const;
  std::string Money(std::int64_t cents, const char* format) const;
  std::string DeviceTextOf(int index);
  bool ReadRecordAt(std::uint32_t n, ChargeRecord* out);
  void DropReadBuffer();

  CGlobalConfig* config_;
  plat::WindowId self_ = 0;
  IViewMessageSink* view_ = nullptr;
  IPBXLink* link_ = nullptr;
  CPBXMessageSink* requests_ = nullptr;
  CPBXMessageSink* lock_ = nullptr;
  CMonitorTable* monitors_ = nullptr;
  std::string settingsFile_;

  CStructFile chargeFile_{static_cast<std::int32_t>(ChargeFileHeader::kSize), static_cast<std::int32_t>(ChargeRecord::kSize)};
  CStructFile selFile_{static_cast<std::int32_t>(ChargeFileHeader::kSize), static_cast<std::int32_t>(ChargeRecord::kSize)};
  std::string selName_;
  bool chargeOpen_ = false;
  bool selOpen_ = false;
  ChargeFileHeader header_ = ChargeFileHeader::Default();
  ChargeFileHeader selHeader_ = ChargeFileHeader::Default();
  ChargeRecord last_;
  ChargeRecord read_;

  // Equal records already stored: the file's last maximum-count records.
  std::unordered_set<std::array<std::uint8_t, ChargeRecord::kSize>, KeyHash> recent_;
  std::deque<std::array<std::uint8_t, ChargeRecord::kSize>> recentOrder_;

  int available_ = 0;
  int readIndex_ = 0;
  std::uint32_t readTime_ = 0;
  int maxCount_ = kDefaultMaxCount;
  int deviceCount_ = 50;
  std::vector<std::string> nameList_;
  std::array<std::string, kMaxDevices> names_;
  std::array<std::int32_t, kMaxDevices> sums_{};
  int job_ = kJobNone;
  Step step_ = Step::kNone;
  std::string asked_;  // the index or device the step waits for
  bool countAsked_ = false;
  int refusal_ = -1;
  CSTAMessage request_{};

  std::string pattern_ = "*";
  int patternFlag_ = 0;
  std::array<int, kSwitches> switches_{1, 1, 0, 0, 0, 0};
  std::array<std::int32_t, 18> columns_{};
  std::int32_t param2_ = 0, param4_ = 0;
  std::int32_t paramValue_ = 0;  // what GetParameter points at for its i32 ids
  int copyMatches_ = 0;
  int filterMode_ = 0;
  std::int64_t querySum_ = 0;
  std::string line_;
  std::string paramText_;

  // The report cursor: its own record number, not the file's position.
  std::uint32_t reportNext_ = 0;
  std::vector<std::uint8_t> readBuf_;
  std::uint64_t readBufFirst_ = 0;  // record number of readBuf_'s first record
  std::uint64_t readBufCount_ = 0;

  // Number -> extension index, rebuilt when the table's numbers change.
  std::vector<std::string> cachedNumbers_;
  std::vector<std::pair<std::uint64_t, int>> indexByKey_;
  bool inScan_ = false;  // the table is checked once a report pass

  std::array<IChargeWindow*, 3> windows_{};
  std::vector<IChargeListener*> listeners_;
};
