#include "charges/counter/sumchargehandler.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "charges/counter/readoutquestiondlg.h"
#include "charges/handler/chargeandloghandler.h"
#include "charges/handler/chargetime.h"
#include "core/base/globalconfig.h"
#include "core/base/globallog.h"
#include "core/callhandler/callhandler.h"
#include "core/monitor/monitortable.h"
#include "core/wire/csta_events.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/text.h"

namespace {

// Posted to the manager itself: what must not run inside the filter's
// dispatch, a listener call or a dialog's own handler.
constexpr plat::UINT kMsgAsk = 0x8251;     // wParam: the number of records
constexpr plat::UINT kMsgReport = 0x8252;

constexpr const char* kGeneral = "General";
constexpr std::uint32_t kProgressFlags = 0xA13;
constexpr std::size_t kValueSize = 1025;

constexpr const char* kBusy = "Besetzt!";
constexpr const char* kRecordsTitle = "Gespr\xe4" "chsinformationen auslesen...";
constexpr const char* kSumsTitle = "Summengeb\xfchren auslesen...";

std::uint32_t Now() {
  const std::time_t t = std::time(nullptr);
  return t > 0 ? static_cast<std::uint32_t>(t) : 0;
}

std::int16_t I16(long v) { return static_cast<std::int16_t>(std::clamp<long>(v, INT16_MIN, INT16_MAX)); }

// A colour as an unsigned decimal number; anything else is 0.
std::uint32_t U32(const std::string& text) {
  const char* p = text.c_str();
  while (*p == ' ' || *p == '\t') ++p;
  if (*p < '0' || *p > '9') return 0;
  errno = 0;
  const unsigned long long v = std::strtoull(p, nullptr, 10);
  return errno == ERANGE || v > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<std::uint32_t>(v);
}

}  // namespace

CSumChargeHandler::CSumChargeHandler(CGlobalConfig* config) : config_(config ? config : &GlobalConfig()) {
  self_ = plat::RegisterTarget(this);
}

CSumChargeHandler::~CSumChargeHandler() {
  StopListening();
  CloseProgress();
  // Only what was read is written back: a manager that never loaded its
  // file must not replace the user's with constructor values.
  if (loaded_) SaveAll();
  plat::UnregisterTarget(self_);
}

std::string CSumChargeHandler::Path() const { return plat::MapPath(file_); }

void CSumChargeHandler::Commit(plat::ProfileBatch& batch) {
  if (!batch.Commit())
    GlobalLog().WriteEntry(plat::StrFormatC("%s: %s", Path().c_str(), std::strerror(errno)).c_str());
}

// ------------------------------------------------------------------ settings

int CSumChargeHandler::LoadSettings(const std::string& file) {
  if (!file.empty()) file_ = file;
  const std::string path = Path();
  const plat::ProfileReadScope once(path);
  auto text = [&](const char* key, const char* def) {
    return plat::GetProfileText(kGeneral, key, def, path, kValueSize);
  };
  auto number = [&](const char* key, const char* def) { return plat::AtolC(text(key, def).c_str()); };
  maxColumns = I16(number("MaxColumns", "3"));
  maxRows = I16(number("MaxRows", "4"));
  maxDisplaysOnDefault = I16(number("MaxDisplaysOnDefault", "12"));
  blinkOnState1 = I16(number("BlinkOnState1", "1"));
  showGroupsInOverview = static_cast<std::int32_t>(std::clamp<long>(number("ShowGroupsInOverview", "0"), INT32_MIN, INT32_MAX));
  const long groups = number("NumberOfGroups", "0");
  bkColorDisplay = U32(text("BKColorDisplay", "49087"));
  bkColorChargeNotify = U32(text("BKColorChargeNotify", "8553215"));
  groups_.clear();
  // A count larger than the sections written ends at the first missing one.
  for (long i = 0; i < groups; ++i) {
    auto g = std::make_unique<SumChargeGroup>();
    if (!g->Load(path, plat::StrFormatC("Group_%02li", i))) break;
    groups_.push_back(std::move(g));
  }
  loaded_ = true;
  return 1;
}

void CSumChargeHandler::WriteGeneral(plat::ProfileBatch& batch) const {
  batch.Write(kGeneral, "MaxColumns", plat::StrFormatC("%d", maxColumns).c_str());
  batch.Write(kGeneral, "MaxRows", plat::StrFormatC("%d", maxRows).c_str());
  batch.Write(kGeneral, "MaxDisplaysOnDefault", plat::StrFormatC("%d", maxDisplaysOnDefault).c_str());
  batch.Write(kGeneral, "BlinkOnState1", plat::StrFormatC("%d", blinkOnState1).c_str());
  batch.Write(kGeneral, "ShowGroupsInOverview", plat::StrFormatC("%d", showGroupsInOverview).c_str());
  batch.Write(kGeneral, "NumberOfGroups", plat::StrFormatC("%d", static_cast<int>(groups_.size())).c_str());
  batch.Write(kGeneral, "BKColorDisplay", plat::StrFormatC("%lu", static_cast<unsigned long>(bkColorDisplay)).c_str());
  batch.Write(kGeneral, "BKColorChargeNotify",
              plat::StrFormatC("%lu", static_cast<unsigned long>(bkColorChargeNotify)).c_str());
}

// The count and the sections go together: a count without its sections
// would give empty groups, and no tiles, at the next start.
void CSumChargeHandler::WriteGroups(plat::ProfileBatch& batch) const {
  for (std::size_t i = 0; i < groups_.size(); ++i)
    groups_[i]->Save(batch, plat::StrFormatC("Group_%02zu", i));
}

bool CSumChargeHandler::SaveSettings(const std::string& file) {
  if (!file.empty()) file_ = file;
  plat::ProfileBatch batch(Path());
  WriteGeneral(batch);
  WriteGroups(batch);
  if (batch.Commit()) return true;
  GlobalLog().WriteEntry(plat::StrFormatC("%s: %s", Path().c_str(), std::strerror(errno)).c_str());
  return false;
}

void CSumChargeHandler::SaveExtension(const SumChargeExtension& e) {
  plat::ProfileBatch batch(Path());
  e.Save(batch);
  Commit(batch);
}

void CSumChargeHandler::SaveAll() {
  plat::ProfileBatch batch(Path());
  WriteGeneral(batch);
  WriteGroups(batch);
  for (const auto& e : exts_) e->Save(batch);
  Commit(batch);
}

// --------------------------------------------------------------------- tiles

int CSumChargeHandler::AttachDisplay(CMonitorTable* monitors, IDisplayControl* display, CChargeAndLogHandler* charges,
                                     CCallHandler* calls, plat::WindowId window) {
  if (!monitors || !display) return 0;
  monitors_ = monitors;
  display_ = display;
  charges_ = charges;
  calls_ = calls;
  window_ = window;
  display_->SetDisplayParam("MaxColumns", plat::StrFormatC("%i", maxColumns));
  display_->SetDisplayParam("MaxRows", plat::StrFormatC("%i", maxRows));
  noted_ = nullptr;
  exts_.clear();
  if (!groups_.empty()) {
    BuildFromGroups();
  } else {
    BuildFromMonitors();
    // Kept at once: the next start shows the same groups.
    if (!groups_.empty()) SaveAll();
  }
  return 1;
}

void CSumChargeHandler::Detach() {
  StopListening();
  CloseProgress();
  Forget();
  mode_ = kIdle;
  deleteAfterwards_ = false;
  charges_ = nullptr;
  calls_ = nullptr;
  display_ = nullptr;
  monitors_ = nullptr;
}

void CSumChargeHandler::ShowTile(SumChargeExtension& e, std::int32_t parent) {
  e.item = parent >= 0 ? display_->AddItem(parent) : -1;
  UpdateLabels(e);
  UpdateContents(e);
}

// A group's tab shows its short name; groups stored without one (made
// from the monitor table by earlier versions) get the name they were shown
// with then, and keep it.
std::string CSumChargeHandler::GroupLabel(std::size_t position) { return plat::StrFormatC("Gr. %zu", position + 1); }

void CSumChargeHandler::BuildFromGroups() {
  const std::string path = Path();
  const plat::ProfileReadScope once(path);  // every extension's keys from one read
  for (std::size_t i = 0; i < groups_.size(); ++i) {
    SumChargeGroup* g = groups_[i].get();
    if (g->shortName.empty()) g->shortName = GroupLabel(i);
    g->item = display_->AddItem(0);
    if (g->item >= 0) display_->SetItemParam(g->item, "Label", g->shortName);
    for (const std::string& number : g->members) {
      // One extension, one tile, even when two groups name it.
      if (FindExtension(0, number)) continue;
      auto e = std::make_unique<SumChargeExtension>(number);
      e->Load(path);
      if (e->doDisplay == 0) continue;
      SumChargeExtension& ref = *e;
      exts_.push_back(std::move(e));
      ShowTile(ref, g->item);
    }
  }
}

void CSumChargeHandler::BuildFromMonitors() {
  const std::string path = Path();
  const plat::ProfileReadScope once(path);  // every extension's keys from one read
  const int n = maxDisplaysOnDefault;
  int shown = 0;
  SumChargeGroup* group = nullptr;
  monitors_->ResetCursor();
  for (std::string number = monitors_->Next(1, true, false); !number.empty();
       number = monitors_->Next(1, true, false)) {
    if (FindExtension(0, number)) continue;
    auto e = std::make_unique<SumChargeExtension>(number);
    e->Load(path);
    if (e->doDisplay == 0) continue;
    if (e->name.empty()) e->name = monitors_->NameOf(number, 1);
    SumChargeExtension& ref = *e;
    exts_.push_back(std::move(e));
    if (n <= 0) continue;  // kept, without a tile
    if (shown % n == 0) {
      auto g = std::make_unique<SumChargeGroup>();
      g->groupId = static_cast<std::uint16_t>(shown / n);
      // Stored with the group: the next start labels its tab from the file.
      g->shortName = GroupLabel(groups_.size());
      g->item = display_->AddItem(0);
      if (g->item >= 0) display_->SetItemParam(g->item, "Label", g->shortName);
      groups_.push_back(std::move(g));
      group = groups_.back().get();
    }
    ++shown;
    group->AddMember(ref);
    ShowTile(ref, group->item);
  }
}

// The device number the PBX's charge messages name an extension by is its
// slot in the monitor table (10 + index), as far as the PBX counts devices:
// known from the start, before any units came in (they confirm it).
const std::string& CSumChargeHandler::Token(SumChargeExtension& e) {
  if (!e.token.empty() || !monitors_ || !charges_) return e.token;
  CMonitorEntry* entry = monitors_->FindByNumber(e.number);
  const int index = entry ? monitors_->IndexOf(entry) : -1;
  if (index >= 0 && index < charges_->DeviceCount()) e.token = entry->SlotKey();
  return e.token;
}

SumChargeExtension* CSumChargeHandler::FindExtension(int kind, const std::string& key) {
  for (auto& e : exts_) {
    switch (kind) {
      case 0:
        if (e->number == key) return e.get();
        break;
      case 1:
        if (!key.empty() && e->token == key) return e.get();
        break;
      case 2:
        if (e->item >= 0 && plat::StrFormatC("%d", e->item) == key) return e.get();
        break;
      default: return nullptr;
    }
  }
  return nullptr;
}

SumChargeExtension* CSumChargeHandler::FindByItem(std::int32_t item) {
  if (item < 0) return nullptr;
  for (auto& e : exts_)
    if (e->item == item) return e.get();
  return nullptr;
}

void CSumChargeHandler::UpdateContents(SumChargeExtension& e) {
  if (e.item < 0 || !display_) return;
  const double money = static_cast<double>(e.lastSum) * static_cast<double>(Config().PPCU);
  display_->SetItemParam(e.item, "Contents", plat::StrFormatC("%s %5.2f", Config().CAUN.c_str(), money));
  const unsigned long colour = e.lastSum != 0 ? bkColorChargeNotify : kGrey;
  display_->SetItemParam(e.item, "SmallLabel.BackgroundColor", plat::StrFormatC("%lu", colour));
}

void CSumChargeHandler::UpdateLabels(SumChargeExtension& e) {
  if (e.item < 0 || !display_) return;
  display_->SetItemParam(e.item, "SmallLabel", e.number);
  std::string label = e.name;
  if (e.showCheckIn) {
    const std::string date = FormatChargeTime(static_cast<std::uint32_t>(e.lastReset), "%d.%m.%y");
    if (!date.empty()) label += (label.empty() ? "" : " ") + date;
  }
  display_->SetItemParam(e.item, "Label", label);
}

void CSumChargeHandler::ShowExtensionInfo(SumChargeExtension& e, plat::WindowId parent) {
  if (!info_ || info_->ShowExtensionInfo(e, parent) != plat::IDOK) return;
  UpdateLabels(e);
  UpdateContents(e);
  SaveExtension(e);
}

// ------------------------------------------------------------------ messages

int CSumChargeHandler::ProcessCSTAMessage(const CSTAMessage& m) {
  const std::uint16_t type = m.Type();
  if (type == CSTA_CONNECTION_CLEARED || type == CSTA_DELIVERED || type == CSTA_ESTABLISHED ||
      type == CSTA_SERVICE_INITIATED) {
    SumChargeExtension* e = FindExtension(0, CSTAConnectionId::Read(m, CSTAMessage::kDataAt).device);
    if (!e) return 3;
    const bool cleared = type == CSTA_CONNECTION_CLEARED;
    if (e->item >= 0 && display_) display_->SetItemParam(e->item, "State1", cleared ? "0" : "1");
    if (cleared && charges_ && !Token(*e).empty()) charges_->RequestDeviceUnits(e->token);
    return 3;
  }
  if (type != CSTA_PRIVATE) return 3;
  const PrivateReply r = ReadPrivateReply(m);
  if (r.kind == EXTPBX_GETDEVICEUNITS_CONF) {
    SumChargeExtension* e = FindExtension(0, r.dialledNumber);
    if (!e) return 3;
    const std::int16_t sum = SumChargeExtension::ClampSum(plat::AtolC(r.units.c_str()));
    const bool changed = e->token != r.device || e->lastSum != sum;
    e->token = r.device;
    e->lastSum = sum;
    UpdateContents(*e);
    if (changed) SaveExtension(*e);
  } else if (r.kind == EXTPBX_DELETEDEVICEUNITS_CONF) {
    UnitsCleared(r.device);
  }
  return 3;
}

// The PBX confirmed: only now is the counter zero.
void CSumChargeHandler::UnitsCleared(const std::string& device) {
  const std::int32_t now = static_cast<std::int32_t>(std::min<std::uint32_t>(Now(), INT32_MAX));
  if (!device.empty() && device[0] == '*') {
    for (auto& e : exts_) {
      e->lastSum = 0;
      e->lastReset = now;
      UpdateContents(*e);
      UpdateLabels(*e);
    }
    plat::ProfileBatch batch(Path());
    for (const auto& e : exts_) e->Save(batch);
    Commit(batch);
    return;
  }
  SumChargeExtension* e = FindExtension(1, device);
  if (!e) return;
  e->lastSum = 0;
  e->lastReset = now;
  UpdateContents(*e);
  UpdateLabels(*e);
  SaveExtension(*e);
}

bool CSumChargeHandler::Busy() const { return noted_ || records_ || mode_ != kIdle || progress_ || listening_ || asking_; }

void CSumChargeHandler::Box(const std::string& text, const std::string& caption, plat::UINT flags, int* answer) {
  const int a = plat::MessageBox(window_, text, caption, flags);
  if (answer) *answer = a;
}

plat::LRESULT CSumChargeHandler::ExecuteCommand(plat::UINT message, plat::WPARAM window, plat::LPARAM item) {
  if (!charges_) return 0;
  SumChargeExtension* e = nullptr;
  if (message >= kReadRecords && message <= 1099) {
    e = item >= INT32_MIN && item <= INT32_MAX ? FindByItem(static_cast<std::int32_t>(item)) : nullptr;
    if (!e) return 0;
  }
  const auto from = static_cast<plat::WindowId>(window);
  switch (message) {
    case kReadRecords: {
      if (Busy()) {
        Box(kBusy, "", plat::MB_OK | plat::MB_ICONWARNING);
        return 0;
      }
      noted_ = e;
      notedWindow_ = from;
      records_ = true;
      int answer = plat::IDCANCEL;
      Box(std::string("Sollen alle Gespr\xe4" "chsinformationen ausgelesen werden?") + "\r\nStand:\t" +
              charges_->GetReadOutTimeText(1),
          "Information", plat::MB_YESNOCANCEL | plat::MB_ICONQUESTION, &answer);
      if (answer == plat::IDYES) {
        Listen();
        if (!charges_->RequestRecordCount()) {
          StopListening();
          Forget();
        }
      } else if (answer == plat::IDNO) {
        OnChargeNotify(chargecode::kRecordsDone, {});
      } else {
        Forget();
      }
      return 0;
    }
    case kDeleteUnits:
      if (!Token(*e).empty()) charges_->DeleteDeviceUnits(e->token);
      return 0;
    case kInfo: ShowExtensionInfo(*e, from); return 0;
    case kCall: Call(*e); return 0;
    case kReadSums:
      if (Busy()) {
        Box(kBusy, "", plat::MB_OK | plat::MB_ICONWARNING);
        return 0;
      }
      OpenProgress(kSumsTitle, kCancelSums, nullptr);
      Listen();
      if (!charges_->StartSumsReadOut()) {
        StopListening();
        CloseProgress();
      }
      return 0;
    case kClearSums: {
      int answer = plat::IDNO;
      Box("M\xf6" "chten Sie wirklich alle Summen l\xf6schen?", "Summen l\xf6schen",
          plat::MB_YESNO | plat::MB_ICONQUESTION, &answer);
      if (answer == plat::IDYES) charges_->DeleteDeviceUnits("*");
      return 0;
    }
    case kReadAllRecords: {
      if (Busy()) {
        Box(kBusy, "", plat::MB_OK | plat::MB_ICONWARNING);
        return 0;
      }
      records_ = true;
      OpenProgress(kRecordsTitle, kCancelRecords, "Reading all...");
      Listen();
      mode_ = kReading;
      const int ends = ends_;
      if (!charges_->StartAllRecordsReadOut() && ends == ends_) {
        mode_ = kIdle;
        StopListening();
        CloseProgress();
        Forget();
      }
      return 0;
    }
    case kCancelSums:
      OnChargeNotify(chargecode::kFailed, {});
      charges_->CancelSumsReadOut();
      return 0;
    case kCancelRecords:
      OnChargeNotify(chargecode::kFailed, {});
      charges_->CancelRecordsReadOut();
      return 0;
    default: return 0;
  }
}

void CSumChargeHandler::Call(SumChargeExtension& e) {
  if (!calls_) return;
  CCallInfo* call = calls_->GetFreeCall(kRequester);
  if (!call) return;
  call->calledNumber = e.number;
  call->direction = CCallInfo::kOutgoing;
  call->external = 0;
  // A refused call gives its record back to the pool.
  if (calls_->MakeCall(call, kRequester) != 1) call->Release();
}

// ------------------------------------------------------------------ read-outs

void CSumChargeHandler::Listen() {
  if (listening_ || !charges_) return;
  listening_ = true;
  charges_->AddListener(this);
}

void CSumChargeHandler::StopListening() {
  if (!listening_) return;
  listening_ = false;
  if (charges_) charges_->RemoveListener(this);
}

void CSumChargeHandler::OpenProgress(const char* title, plat::UINT cancel, const char* status) {
  CloseProgress();
  params_ = PROGRESSPARAMS{};
  params_.size = sizeof(PROGRESSPARAMS);
  params_.parent = window_;
  params_.flags = kProgressFlags;
  params_.message = cancel;
  params_.notify = window_;
  PROGRESSTEXTS texts{title, status, nullptr, nullptr};
  KESTRUMShowProgressTextDialogEx(&progress_, KESTRUM_PROGRESS_CREATE, &texts, &params_);
  progressTexts_ = KESTRUMShowProgressTextDialogEx(&progress_, KESTRUM_PROGRESS_TEXTS, &texts, &params_);
}

void CSumChargeHandler::ProgressText(const char* line) {
  if (!progress_) return;
  PROGRESSTEXTS texts{nullptr, line, nullptr, nullptr};
  progressTexts_ = KESTRUMShowProgressTextDialogEx(&progress_, KESTRUM_PROGRESS_TEXTS, &texts, &params_);
}

void CSumChargeHandler::CloseProgress() {
  if (!progress_) return;
  KESTRUMShowProgressTextDialogEx(&progress_, KESTRUM_PROGRESS_DESTROY, nullptr, &params_);
  progress_ = 0;
  progressTexts_ = nullptr;
}

void CSumChargeHandler::Forget() {
  noted_ = nullptr;
  notedWindow_ = 0;
  records_ = false;
}

void CSumChargeHandler::OnChargeNotify(int code, const ChargeNotice& notice) {
  switch (code) {
    case chargecode::kSumsDone:
    case chargecode::kAllSumsCleared:
      // The end of a sums read-out; a call-record job ends by its own codes.
      if (records_) return;
      StopListening();
      CloseProgress();
      return;
    case chargecode::kPbxRecordsDeleted:
      if (mode_ == kDeleting) lastCount_ = 0;
      EndRecords(true);
      return;
    case chargecode::kRecordsDone: EndRecords(true); return;
    case chargecode::kNoRecords:
    case 6:
    case chargecode::kFailed: EndRecords(false); return;
    case chargecode::kProgress:
      if (!progress_) return;
      params_.position = static_cast<std::uint8_t>(notice.number & 0xFF);
      KESTRUMShowProgressTextDialogEx(&progress_, KESTRUM_PROGRESS_POSITION, nullptr, &params_);
      return;
    case chargecode::kAvailable: OnRecordCount(notice.number); return;
    default: return;
  }
}

void CSumChargeHandler::EndRecords(bool checkDelete) {
  ++ends_;
  if (checkDelete && deleteAfterwards_) {
    // Deleted only when no record came in during the read-out: the count
    // is asked again and compared.
    deleteAfterwards_ = false;
    mode_ = kChecking;
    if (charges_ && charges_->RequestRecordCount()) return;
  }
  deleteAfterwards_ = false;
  mode_ = kIdle;
  StopListening();
  CloseProgress();
  if (!records_) return;
  // The report runs modally: not inside the dispatch that told us.
  plat::PostMessage(self_, kMsgReport);
}

void CSumChargeHandler::OnRecordCount(int count) {
  if (mode_ == kDeleting) return;
  if (mode_ == kChecking) {
    if (count == lastCount_) {
      if (charges_ && charges_->DeleteAllPbxRecords()) {
        mode_ = kDeleting;
        return;
      }
      EndRecords(false);
      return;
    }
  } else {
    lastCount_ = I16(count);
    if (progress_) {
      ProgressText(plat::StrFormatC("%s %i", "verf\xfc" "gbare Datens\xe4tze:", count).c_str());
      return;
    }
  }
  Ask(count);
}

int CSumChargeHandler::PresetChoice(int index, int count, int* marker) {
  if (marker) *marker = index > count ? 1 : 0;
  if (index > count) return CReadOutQuestionDlg::kAll;
  if (index == count) return CReadOutQuestionDlg::kNone;
  return index != 0 ? CReadOutQuestionDlg::kNewOnly : CReadOutQuestionDlg::kAll;
}

void CSumChargeHandler::Ask(int count) {
  if (asking_) return;
  asking_ = true;
  plat::PostMessage(self_, kMsgAsk, static_cast<plat::WPARAM>(std::max(count, 0)));
}

plat::LRESULT CSumChargeHandler::OnMessage(const plat::Message& m) {
  if (m.msg == kMsgReport) {
    ShowReport();
    return 0;
  }
  if (m.msg != kMsgAsk) return 0;
  // A cancel or the end of the program's link may have come first.
  if (!listening_ || !charges_) {
    asking_ = false;
    return 0;
  }
  const int count = static_cast<int>(m.wParam);
  const int index = charges_->ReadOutIndex();
  CReadOutQuestionDlg dlg;
  dlg.lastReadOut = "Sie haben die Daten zuletzt ausgelesen am: " + charges_->GetReadOutTimeText(1);
  dlg.oldLabel = "alte DS:";
  dlg.oldValue = plat::StrFormatC("%i", index);
  dlg.newLabel = "neue DS:";
  dlg.newValue = plat::StrFormatC("%i", count);
  dlg.SetChoice(PresetChoice(index, count, &dlg.marker));
  // Still asking while the question is open: a count that comes in
  // meanwhile opens no second one inside its loop.
  const int choice = dlg.DoModal(notedWindow_ ? notedWindow_ : window_) == plat::IDOK ? dlg.GetChoice() : -1;
  asking_ = false;
  if (!listening_) return 0;
  if (choice == CReadOutQuestionDlg::kAll || choice == CReadOutQuestionDlg::kNewOnly) {
    const bool all = choice == CReadOutQuestionDlg::kAll;
    deleteAfterwards_ = dlg.GetDeleteAfterwards() != 0;
    OpenProgress(kRecordsTitle, kCancelRecords, all ? "Reading all..." : "Updating...");
    mode_ = kReading;
    records_ = true;
    const int ends = ends_;
    const int started = all ? charges_->StartAllRecordsReadOut() : charges_->StartNewRecordsReadOut();
    // "Nothing new" ends the read-out at once and says so; a refusal
    // says nothing and would leave the dialog and the extension behind.
    if (!started && ends == ends_) {
      deleteAfterwards_ = false;
      mode_ = kIdle;
      StopListening();
      CloseProgress();
      Forget();
    }
    return 0;
  }
  deleteAfterwards_ = false;
  mode_ = kIdle;
  StopListening();
  if (choice == CReadOutQuestionDlg::kNone) {
    OnChargeNotify(chargecode::kRecordsDone, {});
    return 0;
  }
  CloseProgress();
  Forget();
  return 0;
}

void CSumChargeHandler::ShowReport() {
  if (!report_ || !charges_) {
    Forget();
    return;
  }
  // The report works on the handler's selection: the noted extension from
  // its last reset to now, and afterwards the user's selection again,
  // whole.
  const ChargeSelection saved = charges_->Header().selection;
  static constexpr int kSwitchIds[] = {7, 8, 9, 11, 12, 13};
  std::int32_t switches[std::size(kSwitchIds)] = {};
  for (std::size_t i = 0; i < std::size(kSwitchIds); ++i)
    if (const void* v = charges_->GetParameter(kSwitchIds[i])) switches[i] = *static_cast<const std::int32_t*>(v);
  if (noted_) {
    charges_->SelectExtension("-", 0);
    charges_->SelectExtension(noted_->number, 1);
    charges_->SetTimeRange(static_cast<std::uint32_t>(std::max<std::int32_t>(noted_->lastReset, 0)), Now());
    const std::int32_t on = 1;
    charges_->SetParameter(9, &on);
    charges_->SetParameter(11, &on);
  }
  const plat::WindowId parent = notedWindow_ ? notedWindow_ : window_;
  report_->ShowReport(parent);
  if (noted_) {
    ChargeSelection restored = saved;
    // The read-out times are the handler's news, not the user's choice.
    restored.sumsReadOut = charges_->Header().selection.sumsReadOut;
    restored.recordsReadOut = charges_->Header().selection.recordsReadOut;
    charges_->SetSelection(restored);
    for (std::size_t i = 0; i < std::size(kSwitchIds); ++i) charges_->SetParameter(kSwitchIds[i], &switches[i]);
  }
  Forget();
}
