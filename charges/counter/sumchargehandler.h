// The charge counter of every watched extension, shown as a tile on the
// display control: grouped tiles with number, name, optional check-in date,
// the charge as money and the call state; the tiles' and the general
// buttons come back here as the messages 1095 to 1106. Kept in the
// charge-counter file, fed by every CSTA message (as a listener of the
// filter) and by the charge and log handler's read-outs. Main thread only.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "charges/counter/displaycontrol.h"
#include "charges/counter/sumchargerecords.h"
#include "charges/handler/chargeifaces.h"
#include "core/filter/filterifaces.h"
#include "libs/dialogs/kestrum.h"
#include "platform/messages.h"

class CCallHandler;
class CChargeAndLogHandler;
class CGlobalConfig;
class CMonitorTable;

namespace plat {
class ProfileBatch;
}

class CSumChargeHandler : public CSTAMessageListener, public IChargeListener, public plat::IMessageTarget {
 public:
  static constexpr const char* kDefaultFile = ".\\sumcharge.ini";
  static constexpr std::uint32_t kGrey = 12632256;  // 0xC0C0C0: a counter at 0
  // The read-out modes.
  enum : int { kIdle = 0, kReading = 2, kChecking = 3, kDeleting = 4 };
  enum : plat::UINT {
    kReadRecords = 1095, kDeleteUnits = 1096, kInfo = 1097, kCall = 1098,
    kReadSums = 1100, kClearSums = 1101, kReadAllRecords = 1102, kCancelSums = 1105, kCancelRecords = 1106,
  };
  // Requester id towards the call handler: the view's, whose buttons these are.
  static constexpr int kRequester = 10;

  // config: the program's configuration when null.
  explicit CSumChargeHandler(CGlobalConfig* config = nullptr);
  // Saves [General], the groups and every extension in one replacement.
  ~CSumChargeHandler() override;
  CSumChargeHandler(const CSumChargeHandler&) = delete;
  CSumChargeHandler& operator=(const CSumChargeHandler&) = delete;

  // A given name replaces the stored one. [General], then the groups until
  // the first missing section. 1.
  int LoadSettings(const std::string& file = {});
  // [General] and the groups, in one replacement of the file; false when it
  // could not be written (logged).
  bool SaveSettings(const std::string& file = {});
  // monitors and display must be given (else 0); builds the tiles from the
  // stored groups, else from the monitor table. 1.
  int AttachDisplay(CMonitorTable* monitors, IDisplayControl* display, CChargeAndLogHandler* charges,
                    CCallHandler* calls = nullptr, plat::WindowId window = 0);
  // Before the partners go: no more listening, no progress dialog, no
  // requests; the tiles' records stay to be saved.
  void Detach();
  // Dialogs of the charge evaluation; null leaves them out.
  void SetReportWindow(IChargeReportWindow* w) { report_ = w; }
  void SetExtensionInfoWindow(IExtensionInfoWindow* w) { info_ = w; }

  // kind 0 number, 1 device token, 2 tile; null when none.
  SumChargeExtension* FindExtension(int kind, const std::string& key);
  SumChargeExtension* FindByItem(std::int32_t item);
  // The extension's device token; an empty one is filled from its place
  // in the monitor table when the PBX counts that many devices.
  const std::string& Token(SumChargeExtension& e);
  void UpdateContents(SumChargeExtension& e);
  void UpdateLabels(SumChargeExtension& e);
  void ShowExtensionInfo(SumChargeExtension& e, plat::WindowId parent);
  // The buttons: wParam the window that sent it, lParam the tile. 0.
  plat::LRESULT ExecuteCommand(plat::UINT message, plat::WPARAM window, plat::LPARAM item);
  // Always 3.
  int ProcessCSTAMessage(const CSTAMessage& record);
  void OnMessage(const CSTAMessage& record) override { ProcessCSTAMessage(record); }
  void OnChargeNotify(int code, const ChargeNotice& notice) override;
  void OnRecordCount(int count);
  // The question's preset for the handler's read-out index and the count;
  // marker is set when the index lies past the count.
  static int PresetChoice(int index, int count, int* marker);

  plat::LRESULT OnMessage(const plat::Message& m) override;

  // Inspection.
  const std::string& FileName() const { return file_; }
  const std::vector<std::unique_ptr<SumChargeExtension>>& Extensions() const { return exts_; }
  const std::vector<std::unique_ptr<SumChargeGroup>>& Groups() const { return groups_; }
  int Mode() const { return mode_; }
  int LastCount() const { return lastCount_; }
  bool DeleteAfterwards() const { return deleteAfterwards_; }
  bool Listening() const { return listening_; }
  bool ProgressOpen() const { return progress_ != 0; }
  const char* const* ProgressTexts() const { return progressTexts_; }
  const SumChargeExtension* Noted() const { return noted_; }
  plat::WindowId Id() const { return self_; }

  // [General].
  std::int16_t maxColumns = 0, maxRows = 0, maxDisplaysOnDefault = 20, blinkOnState1 = 1;
  std::int32_t showGroupsInOverview = 0;
  std::uint32_t bkColorDisplay = 49087, bkColorChargeNotify = 8553215;

 private:
  CGlobalConfig& Config() const { return *config_; }
  std::string Path() const;
  static std::string GroupLabel(std::size_t position);
  void BuildFromGroups();
  void BuildFromMonitors();
  void ShowTile(SumChargeExtension& e, std::int32_t parent);
  void WriteGeneral(plat::ProfileBatch& batch) const;
  void WriteGroups(plat::ProfileBatch& batch) const;
  void SaveExtension(const SumChargeExtension& e);
  void SaveAll();
  void Commit(plat::ProfileBatch& batch);
  bool Busy() const;
  void Box(const std::string& text, const std::string& caption, plat::UINT flags, int* answer = nullptr);
  void Listen();
  void StopListening();
  void OpenProgress(const char* title, plat::UINT cancel, const char* status);
  void ProgressText(const char* line);
  void CloseProgress();
  void Forget();
  void EndRecords(bool checkDelete);
  void Ask(int count);
  void ShowReport();
  void UnitsCleared(const std::string& device);
  void Call(SumChargeExtension& e);

  CGlobalConfig* config_;
  plat::WindowId self_ = 0;
  std::string file_ = kDefaultFile;
  std::vector<std::unique_ptr<SumChargeExtension>> exts_;
  std::vector<std::unique_ptr<SumChargeGroup>> groups_;
  CMonitorTable* monitors_ = nullptr;
  IDisplayControl* display_ = nullptr;
  CChargeAndLogHandler* charges_ = nullptr;
  CCallHandler* calls_ = nullptr;
  plat::WindowId window_ = 0;
  IChargeReportWindow* report_ = nullptr;
  IExtensionInfoWindow* info_ = nullptr;

  // The read-out.
  SumChargeExtension* noted_ = nullptr;
  plat::WindowId notedWindow_ = 0;
  int mode_ = kIdle;
  std::int16_t lastCount_ = 0;
  bool deleteAfterwards_ = false;
  bool listening_ = false;
  bool records_ = false;    // the running job is a call-record one
  bool asking_ = false;     // the question is posted or shown
  bool loaded_ = false;
  int ends_ = 0;            // read-out ends seen, to tell a refusal from an end
  KESTRUMHANDLE progress_ = 0;
  PROGRESSPARAMS params_{};
  const char* const* progressTexts_ = nullptr;
};
