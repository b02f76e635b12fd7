#include "app/view/brimlowview.h"

#include <cstring>

#include "app/lists/callbackdlg.h"
#include "app/lists/misseddlg.h"
#include "app/view/linkwatch.h"
#include "core/base/globalconfig.h"
#include "core/base/globallog.h"
#include "core/callhandler/callpartners.h"
#include "core/callhandler/handsetprompt.h"
#include "core/link/networklink.h"
#include "core/settingsdlg/generalsettingsdlg.h"
#include "core/wire/csta_events.h"
#include "netlink/lorquin32.h"
#include "platform/filedlg.h"
#include "plugins/common/wndparam.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/textid.h"

namespace {

std::string T(plat::TextId id) { return plat::GetTextOr(id, ""); }

plat::LPARAM AsParam(const void* p) { return static_cast<plat::LPARAM>(reinterpret_cast<std::intptr_t>(p)); }

template <class T>
T* FromParam(plat::LPARAM l) {
  return reinterpret_cast<T*>(static_cast<std::intptr_t>(l));
}

constexpr plat::UINT kTimerAssistant = 1, kTimerAssistantOnce = 2, kTimerNothing = 3, kTimerCallback = 4,
                     kTimerLinkStep = 5, kTimerStatus = 6, kTimerRequest = 7;
constexpr plat::UINT kAssistantFirstMs = 100, kAssistantMs = 990, kLinkStepMs = 100, kStatusMs = 1000;

// The menu entries that are never offered.
constexpr plat::UINT kAlwaysRemoved[] = {32773, 32802, 32805, 32811, 32812};
constexpr plat::UINT kServiceRecords = 32801, kChargeFileEntries = 32803;

// A file chooser from its language texts; the filter text reads
// "label|patterns|label|patterns||".
plat::FileDialogRequest FileRequest(plat::TextId title, const char* defaultTitle, plat::TextId filter,
                                    const char* defaultFilter, const std::string& file, const char* suffix) {
  plat::FileDialogRequest r;
  r.title = plat::GetTextOr(title, defaultTitle);
  r.fileName = file;
  r.defaultSuffix = suffix;
  const std::string text = plat::GetTextOr(filter, defaultFilter);
  std::vector<std::string> parts;
  for (std::size_t at = 0, bar; (bar = text.find('|', at)) != std::string::npos; at = bar + 1)
    parts.push_back(text.substr(at, bar - at));
  for (std::size_t i = 0; i + 1 < parts.size() && !parts[i].empty(); i += 2) r.filters.emplace_back(parts[i], parts[i + 1]);
  return r;
}

}  // namespace

// ------------------------------------------------------------------ service

void CBrimlowView::ServiceRecordAdapter::OnCallRecordCount(const CSTAMessage& reply) {
  file_.WriteRecord(reply.data() + CSTAMessage::kDataAt, CSTAMessage::kDataSize);
}

int CBrimlowView::ServiceRecordAdapter::UnpackBcdNumbers(const std::uint8_t* source, std::string* first,
                                                         std::string* second) {
  return ::UnpackBcdNumbers(source, first, second);
}

// ------------------------------------------------------------ construction

CBrimlowView::CBrimlowView(CBrimlowDoc& doc, IViewFrame& frame, IViewTray& tray, std::unique_ptr<IViewLink> link,
                           CGlobalConfig* config)
    : doc_(doc), frame_(frame), config_(config ? config : &GlobalConfig()), tray_(tray) {
  self_ = plat::RegisterTarget(this);
  link_ = link ? std::move(link) : std::make_unique<CSytemLink>(self_, &doc_.Filter(), &doc_.MonitorTable());
  prompt_ = std::make_unique<CHandsetPromptDlg>();
  sumCharge_ = std::make_unique<CSumChargeHandler>(config_);
  chargeCommands = [this](plat::UINT m, plat::WPARAM w, plat::LPARAM l) { sumCharge_->ExecuteCommand(m, w, l); };
  charge_ = std::make_unique<CChargeAndLogHandler>(config_);
  watch_ = std::make_unique<CLinkWatch>(*link_, [this](const std::string& text) { SetStatus(text); });
  RegisterCommands();
}

CBrimlowView::~CBrimlowView() {
  Destroy();
  watch_.reset();
  net_.reset();
  sumCharge_.reset();
  // The handlers own windows of their own (the total-charges dialog) that
  // still point at the charge handler: they go before it, with every hook
  // that holds them.
  commands_ = CCommandTable();
  closeChargeWindows = nullptr;
  chargeCommands = nullptr;
  charge_.reset();
  drawing_.reset();
  link_.reset();
  // The icon, built first, goes last.
  tray_.Remove();
  plat::UnregisterTarget(self_);
}

void CBrimlowView::SetWindow(WindowSlot slot, std::unique_ptr<IViewWindow> window) {
  if (windows_[slot]) DestroyWindow(slot);
  windows_[slot] = std::move(window);
  if (!windows_[slot]) return;
  windows_[slot]->SetClosedNotice([this, slot] { OnWindowClosed(slot); });
  static constexpr plat::UINT kCommand[kWindowSlots] = {ID_ASSISTANT, ID_KEYPAD, ID_DATABASE, ID_OVERVIEW, 0};
  if (kCommand[slot] != 0) commands_.Register(kCommand[slot], [this, slot] { OpenWindow(slot); });
}

void CBrimlowView::RegisterCommands() {
  commands_.Register(ID_SERIAL_ERROR, [this] { Box(T(plat::TextId(43, 24)), plat::MB_OK | plat::MB_ICONERROR); });
  commands_.Register(ID_GENERAL_SETTINGS, [this] { RunGeneralSettingsDlg(Config(), self_); });
  commands_.Register(ID_BACKGROUND, [this] { ShowStep(0); });
  commands_.Register(ID_APP_EXIT, [this] { RunExitCommand(); });
  commands_.Register(
      ID_CONNECTION_VIEWER, [this] { viewer_.VisualStateFunction(767, 1); }, [this] { return viewer_.IsLoaded(); });
  commands_.Register(
      ID_DISPLAY_CONTROL,
      [this] {
        display_.VisualStateFunction(768, 1);
        display_.VisualStateFunction(767, 1);
      },
      [this] { return display_.IsLoaded(); });
  commands_.Register(ID_CALLBACKLIST, [this] { RunCallBackListDlg(&doc_.CallbackList(), self_); });
  commands_.Register(ID_MISSED_CALLS, [this] {
    open_missed_ = true;
    RunMissedCallDlg(&doc_.MissedCalls(), self_, &missedDlg_);
    open_missed_ = false;
  });
  commands_.Register(ID_MISSED_SETUP, [this] { RunMissedCallSetupDlg(Config(), self_); });
  commands_.Register(ID_CALLBACK_SETUP, [this] { RunCallBackSetupDlg(Config(), self_); });
  commands_.Register(ID_CHARGE_FILE, [this] { ChooseChargeFile(); });
  commands_.Register(ID_DATABASE_FILE, [this] { ChooseDatabaseFile(); });
  // Dialog 124 on a copy of the call.
  callbackSettingsDialog = [this](CCallInfo& copy) {
    CCallBackSettingsDlg dlg(&copy);
    return dlg.DoModal(self_);
  };
}

bool CBrimlowView::Create() {
  if (created_) return true;
  created_ = true;
  linkState_ = kLinkCreated;
  frame_.SetBusy(true);

  // Cross-links: plain pointers that the receivers never free.
  doc_.SetView(this);
  doc_.CallbackList().view = self_;
  doc_.MissedCalls().view = self_;
  doc_.CallData().view = self_;
  CCallHandler& handler = doc_.CallHandler();
  handler.view = self_;
  handler.link = &link_->Pbx();
  handler.prompt = prompt_.get();
  CMessageFilter& filter = doc_.Filter();
  filter.link = &link_->Pbx();
  filter.view = self_;
  filter.drawing = drawing_.get();
  filter.serviceRecords = &serviceAdapter_;
  serviceFile_.Link(self_, &doc_.MonitorTable(), &serviceAdapter_, nullptr);
  filter.charge = charge_.get();
  charge_->SetPartners(this, &link_->Pbx(), filter.MessageSink(), &doc_.MonitorTable());
  charge_->OpenChargeFile(Config().CPROCFN);

  // Start-up windows. The modeless ones open now; the modal ones would run
  // their loops before the icon and the link exist, so they wait until the
  // initial update is over.
  const CGlobalConfig& c = Config();
  if (c.ASCA) RunCommand(ID_ASSISTANT);
  if (c.ASDB) RunCommand(ID_KEYPAD);
  if (c.ASMV) RunCommand(ID_OVERVIEW);
  if (c.ASDABA) RunCommand(ID_DATABASE);
  if (c.ASCBL) startCommands_.push_back(ID_CALLBACKLIST);
  if (c.ASSCCP) startCommands_.push_back(ID_CHARGE_EVALUATION);
  if (c.ASSUCP) startCommands_.push_back(ID_TOTAL_CHARGES);

  frame_.SetBusy(false);
  return true;
}

void CBrimlowView::OnInitialUpdate() {
  if (open_[kAssistant]) NotifyWindow(kAssistant, hub::kAssistantText, 0, AsParam(doc_.MainPhoneNumber().c_str()));

  tray_.SetOwner(self_, kMsgTrayNotify);
  tray_.SetTip(T(plat::TextId(15, 0)), false);
  tray_.SetIcon(kIconIdle, false);
  tray_.Apply();

  LoadPlugIns();

  linkState_ = kLinkStarting;
  const CGlobalConfig& c = Config();
  if (c.NTPAR == 1 || c.CPID != CSytemObject::kNetworkPort) {
    link_->Open(self_);
    // A port that is not there yet (an adapter not plugged in) is tried
    // again like a line that went away.
    if (CSytemObject* object = link_->Object(); object && !object->Port()) watch_->OnLineLost();
  } else {
    OpenNetworkLink();
  }
  link_->SetOwner(self_);
  frame_.RecalcLayout();
  // The modal start-up windows, once everything they may need exists.
  for (plat::UINT id : startCommands_) plat::PostMessage(self_, kMsgDeferredCommand, id);
  startCommands_.clear();
}

void CBrimlowView::LoadPlugIns() {
  // The connection viewer: hidden, at its saved place, fed by the filter.
  viewer_.Load(CConnectionViewerBinding::kFileName);
  char name[DLLIFC_TEXT_SIZE] = "";
  // Without the parameter's name there is nothing to hand the place to.
  const bool named = viewer_.GetParamName(0, name) == DLLIFC_OK;
  int left = 0, top = 0, right = 0, bottom = 0;
  Config().GetWindowPosition(kViewerPosition, left, top, right, bottom);
  char position[DLLIFC_TEXT_SIZE];
  plat::FormatC(position, sizeof position, "%d,%d,%d,%d", left, top, right, bottom);
  viewer_.Create(self_, kViewerWindowId, 0);
  if (named) viewer_.SetParamAsString(name, position);
  viewer_.SetCommandId(ID_CONNECTION_VIEWER);
  viewer_.SetDatabaseInterface(doc_.PhoneBook());
  viewer_.SetDeviceContentsInterface(&doc_.MonitorTable());
  doc_.Filter().RegisterListener(&viewer_, nullptr, -1);
  doc_.Filter().RegisterListener(sumCharge_.get(), nullptr, -1);
  viewer_.VisualStateFunction(0, 1);
  sumCharge_->LoadSettings(Config().ChargesCfgFile);

  // The display control and its function buttons, loaded or not.
  display_.Load(CDisplayControlBinding::kFileName);
  display_.Create(self_, kDisplayWindowId, 0);
  display_.SetCommandId(ID_DISPLAY_CONTROL);
  for (int n = 1; n <= 4; ++n)
    display_.SetParamAsString(plat::StrFormatC("Fkt%i.Message", n).c_str(), plat::StrFormatC("%i", 1094 + n).c_str());
  static const char* const kGeneral[4] = {"Summen auslesen", "Summen l\xf6schen", "Einzelgespr\xe4" "che auslesen",
                                          "Einzelgespr\xe4" "che l\xf6schen"};
  for (int n = 1; n <= 4; ++n) {
    display_.SetParamAsString(plat::StrFormatC("GenFkt%i.Message", n).c_str(), plat::StrFormatC("%i", 1099 + n).c_str());
    display_.SetParamAsString(plat::StrFormatC("GenFkt%i.Description", n).c_str(), kGeneral[n - 1]);
  }
  if (Config().ChargesActive)
    sumCharge_->AttachDisplay(&doc_.MonitorTable(), &displayAdapter_, charge_.get(), &doc_.CallHandler(), self_);
}

void CBrimlowView::SaveViewerPosition() {
  char name[DLLIFC_TEXT_SIZE] = "";
  char value[DLLIFC_TEXT_SIZE] = "";
  if (viewer_.GetParamName(0, name) != DLLIFC_OK) return;
  // A failed read may leave anything in the buffer: only a whole answer
  // replaces the stored position.
  if (viewer_.GetParamAsString(name, value) != DLLIFC_OK) return;
  value[sizeof value - 1] = '\0';
  pluginkit::WindowRect r;
  if (pluginkit::ParseWndPosition(value, &r) != 4) return;
  // Stored in the text's order, as the start hands it back.
  Config().SetWindowPosition(kViewerPosition, r.top, r.left, r.bottom, r.right);
}

std::array<std::pair<CPlugInBinding*, plat::UINT>, 2> CBrimlowView::PlugIns() const {
  return {{{&viewer_, ID_CONNECTION_VIEWER}, {&display_, ID_DISPLAY_CONTROL}}};
}

std::string CBrimlowView::PlugInName(CPlugInBinding& plugin) const {
  char name[DLLIFC_TEXT_SIZE] = "";
  if (plugin.GetName(name) != DLLIFC_OK) return {};
  name[sizeof name - 1] = '\0';
  return name;
}

void CBrimlowView::OpenNetworkLink() {
  CSytemObject* object = link_->Object();
  if (!object) return;
  if (!net_) {
    net_ = std::make_unique<CNetworkLink>(object);
    net_->onClosed = [this] { RunExitCommand(); };
  }
  const CGlobalConfig& c = Config();
  const std::int32_t port = c.NUP >= 1 && c.NUP <= 65535 ? static_cast<std::int32_t>(c.NUP) : -1;
  if (!net_->Open(self_, c.NSLA, port, c.TOLECOPOLOGDLL != 0)) {
    // Without a handle no registration follows: say so rather than look
    // alive with no link.
    const std::string text =
        plat::StrFormatC("%s %ld %s", T(plat::TextId(43, 18)).c_str(), static_cast<long>(netlink::kFailedOpen), T(plat::TextId(43, 20)).c_str());
    GlobalLog().WriteEntry(text.c_str());
    PostBox(text);
  }
}

// --------------------------------------------------------------- shut-down

bool CBrimlowView::CanCloseView() {
  if (linkState_ >= kLinkClosed) return true;
  if (linkState_ != kLinkStopping) {
    linkState_ = kLinkStopping;
    watch_->Stop();
    SetStatus(T(plat::TextId(43, 25)));
    charge_->SaveState();
    charge_->CloseFiles();
  }
  link_->StopStep();
  if (net_) net_->BeginClose();
  const bool linkClosed = link_->Pbx().GetLinkState() == linkstate::kClosed;
  if (linkClosed && (!net_ || net_->Closed() || net_->Handle() == CNetworkLink::kNone)) {
    linkState_ = kLinkClosed;
    return true;
  }
  return false;
}

void CBrimlowView::Destroy() {
  if (destroyed_) return;
  destroyed_ = true;
  // The plug-ins: the viewer's position kept, no more messages, windows closed.
  SaveViewerPosition();
  doc_.Filter().RemoveListener(&viewer_);
  doc_.Filter().RemoveListener(sumCharge_.get());
  // Its tiles are kept in its file at destruction; its partners go first.
  sumCharge_->Detach();
  viewer_.Close();
  display_.Close();
  // Every modeless window the view made goes before the members.
  for (int s = 0; s < kWindowSlots; ++s) DestroyWindow(static_cast<WindowSlot>(s));
  if (closeChargeWindows) closeChargeWindows();
  plat::KillTimer(self_, kTimerAssistant);
  CCallHandler& handler = doc_.CallHandler();
  handler.JoinWorkers();
  if (handler.view == self_) handler.view = 0;
  if (handler.link == &link_->Pbx()) handler.link = nullptr;
  if (handler.prompt == prompt_.get()) handler.prompt = nullptr;
  CMessageFilter& filter = doc_.Filter();
  if (filter.link == &link_->Pbx()) filter.link = nullptr;
  if (filter.view == self_) filter.view = 0;
  if (filter.charge == charge_.get()) filter.charge = nullptr;
  if (filter.serviceRecords == &serviceAdapter_) filter.serviceRecords = nullptr;
  if (drawing_ && filter.drawing == drawing_.get()) filter.drawing = nullptr;
  if (drawing_) doc_.SpeedDial().registerItem = nullptr;
  if (doc_.CallbackList().view == self_) doc_.CallbackList().view = 0;
  if (doc_.MissedCalls().view == self_) doc_.MissedCalls().view = 0;
  if (doc_.CallData().view == self_) doc_.CallData().view = 0;
  if (doc_.View() == this) doc_.SetView(nullptr);
}

// --------------------------------------------------------------- windows

void CBrimlowView::OpenWindow(WindowSlot slot) {
  IViewWindow* w = windows_[slot].get();
  if (!w) return;
  if (open_[slot] && w->IsOpen()) {
    w->Notify(hub::kBringToFront, origin_, 0);
    return;
  }
  if (w->IsOpen()) w->Destroy();  // closed by the user, not yet taken apart
  if (!w->Create(self_)) {
    open_[slot] = false;
    PostBox(T(plat::TextId(43, 8)) + "\n" + T(plat::TextId(43, 9)));
    return;
  }
  open_[slot] = true;
  hiddenByShowStep_[slot] = false;
  if (slot == kAssistant) {
    plat::SetTimer(self_, kTimerAssistant, kAssistantFirstMs);
    w->Notify(hub::kAssistantText, 0, AsParam(doc_.MainPhoneNumber().c_str()));
  }
}

void CBrimlowView::NotifyWindow(WindowSlot slot, plat::UINT code, plat::WPARAM w, plat::LPARAM l) {
  if (windows_[slot] && open_[slot]) windows_[slot]->Notify(code, w, l);
}

void CBrimlowView::OnWindowClosed(WindowSlot slot) {
  open_[slot] = false;
  hiddenByShowStep_[slot] = false;
  if (slot == kAssistant) plat::KillTimer(self_, kTimerAssistant);
  // Not under the feet of the window's own handler.
  plat::PostMessage(self_, kMsgDestroyWindow, static_cast<plat::WPARAM>(slot));
}

void CBrimlowView::DestroyWindow(WindowSlot slot) {
  open_[slot] = false;
  if (windows_[slot] && windows_[slot]->IsOpen()) windows_[slot]->Destroy();
}

// --------------------------------------------------------------------- hub

plat::LRESULT CBrimlowView::HandleAppMessage(plat::UINT code, plat::WPARAM wParam, plat::LPARAM lParam) {
  const int origin = static_cast<int>(wParam);
  CCallHandler& handler = doc_.CallHandler();
  switch (code) {
    case hub::kAssistantReady:
    case hub::kAccepted1043:
    case hub::kAccepted1055:
    case hub::kAccepted1069:
      return 0;

    case hub::kCallDialled:
      if (origin == hub::kIdDatabaseDialog) {
        const int issued = handler.DialRecord(FromParam<CMyDataBaseParamInterface>(lParam), hub::kIdDatabaseDialog);
        NotifyWindow(kDatabase, issued ? hub::kCallActive : hub::kCallCleared, origin_, 0);
      } else {
        ShowCallInAssistant(origin, lParam);
      }
      return 0;

    case hub::kCallCleared: {
      CCallInfo* call = FromParam<CCallInfo>(lParam);
      if (origin == hub::kIdAssistant) {
        handler.ClearCall(call, hub::kIdAssistant);
      } else if (origin == hub::kIdKeypad) {
        if (handler.ClearCall(call, hub::kIdKeypad) == CCallHandler::kCleared)
          NotifyWindow(kAssistant, hub::kCallCleared, origin_, lParam);
      } else if (origin == hub::kIdCallHandler) {
        NotifyWindow(kKeypad, hub::kCallCleared, origin_, lParam);
        NotifyWindow(kAssistant, hub::kCallCleared, origin_, lParam);
      }
      if (recordViews_) recordViews_->CloseViewForCall(call);
      SetTrayIdle();
      return 0;
    }

    case hub::kCallActive:
      if (lParam) SetTrayCall(FromParam<CCallInfo>(lParam));
      ShowCallInAssistant(origin, lParam);
      return 0;

    case hub::kOpenDatabase:
      RunCommand(ID_DATABASE);
      return 0;
    case hub::kDatabaseClosed:
      open_[kDatabase] = false;
      return 0;

    case hub::kStartCallbackTimer:
      plat::SetTimer(self_, kTimerCallback,
                     static_cast<plat::UINT>(PeriodOr(Config().TB1C, kDefaultTb1cMs, "TB1C")));
      return 0;
    case hub::kStopCallbackTimer:
      plat::KillTimer(self_, kTimerCallback);
      return 0;

    case hub::kShowRecordMatch:
      // The match comes as the message's payload (WindowProc).
      return 0;
    case hub::kCloseRecordView:
      if (recordViews_) recordViews_->CloseViewByIndex(static_cast<int>(lParam));
      return 0;

    case hub::kAddCallbackFromRecord:
      if (origin == hub::kIdDatabaseDialog && lParam) {
        CCallBackList& list = doc_.CallbackList();
        if (CCallInfo* entry = list.NewCallFor(hub::kIdDatabaseDialog)) {
          entry->SetPartyFromParams(FromParam<CMyDataBaseParamInterface>(lParam));
          list.AddCall(entry);
        }
      }
      return 0;
    case hub::kOpenCallbackList:
      RunCommand(ID_CALLBACKLIST);
      return 0;
    case hub::kOpenMissedCalls:
      RunCommand(ID_MISSED_CALLS);
      return 0;
    case hub::kMissedFilterChanged:
      if (open_missed_ && missedDlg_) missedDlg_->Refresh();
      return 0;
    case hub::kOpenCallData:
      RunCommand(ID_CALLDATA);
      return 0;
    case hub::kSubscriberReport:
      // Comes posted with the extension's number (see the window messages).
      return 0;

    case hub::kSecondCall:
      OpenWindow(kAssistant);
      NotifyWindow(kAssistant, hub::kSecondCall, origin_, lParam);
      return 0;

    case hub::kSecondCallCleared:
      if (origin == hub::kIdAssistant) {
        if (handler.ClearCall(FromParam<CCallInfo>(lParam), hub::kIdAssistant) == CCallHandler::kCleared)
          NotifyWindow(kAssistant, hub::kSecondCallCleared, origin_, lParam);
      } else if (origin == hub::kIdCallHandler) {
        NotifyWindow(kAssistant, hub::kSecondCallCleared, origin_, lParam);
      }
      return 0;

    case hub::kRedial:
      handler.Redial(origin);
      return 0;

    case hub::kCallEvent:
      if (!open_[kAssistant]) OpenWindow(kAssistant);
      NotifyWindow(kAssistant, hub::kCallEvent, wParam, lParam);
      return 0;

    case hub::kAskNewRecord:
      AskNewRecord();
      return 0;
    case hub::kNewRecordAnswer:
      AnswerNewRecord(lParam);
      return 0;

    case hub::kAssistantText:
      NotifyWindow(kAssistant, hub::kAssistantText, 0, lParam);
      return 0;

    case hub::kMonitoringStarted:
      OnMonitoringStarted();
      return 0;

    case hub::kStartRequestTimer:
      plat::SetTimer(self_, kTimerRequest, static_cast<plat::UINT>(wParam));
      return 0;
    case hub::kStopRequestTimer:
      plat::KillTimer(self_, kTimerRequest);
      return 0;

    case hub::kCallbackSettings:
      // Dialog 124 is modal: never inside the sender's dispatch. The call
      // is found again by its reference id when the dialog's turn comes.
      if (CCallInfo* call = FromParam<CCallInfo>(lParam))
        plat::PostMessage(self_, kMsgCallbackSettings, static_cast<plat::WPARAM>(call->callRefId));
      return 0;

    case hub::kRequestGivenUp:
      // The link object's own report of a lost line is the watch's; the
      // filter's unanswered request goes to the link object.
      if (wParam == linkev::kFailedLineLost)
        watch_->OnLineLost();
      else
        link_->Pbx().OnLinkMessage(linkev::kRequestGivenUp, 0, nullptr);
      return 0;

    case hub::kLinkStopStep:
      plat::PostMessage(self_, hub::kLinkStopStep, kPostedStopStep);
      return 0;

    default:
      LogUnhandled(code);
      return 0;
  }
}

// The call of a dial or of an active call, shown as its origin asks.
void CBrimlowView::ShowCallInAssistant(int origin, plat::LPARAM call) {
  if (origin != hub::kIdAssistant && origin != hub::kIdCallHandler && origin != hub::kIdKeypad) return;
  OpenWindow(kAssistant);
  NotifyWindow(kAssistant, hub::kCallActive, origin_, call);
  if (origin != hub::kIdKeypad) NotifyWindow(kKeypad, hub::kCallActive, origin_, call);
}

void CBrimlowView::LogUnhandled(plat::UINT code) {
  GlobalLog().WriteEntry(
      plat::StrFormatC("%s %i %s", T(plat::TextId(43, 12)).c_str(), static_cast<int>(code), T(plat::TextId(43, 13)).c_str()).c_str());
}

void CBrimlowView::SetTrayIdle() {
  tray_.SetTip(T(plat::TextId(15, 0)), false);
  tray_.SetIcon(kIconIdle, false);
  tray_.Apply();
}

void CBrimlowView::SetTrayCall(CCallInfo* call) {
  tray_.SetTip(call->GetDescription(8), false);
  tray_.SetIcon(call->direction == CCallInfo::kIncoming ? kIconIncoming : kIconCall, false);
  tray_.Apply();
}

void CBrimlowView::AskNewRecord() {
  IViewWindow* q = windows_[kQuestion].get();
  if (!q || open_[kQuestion] || Config().AWNNCI == 0) return;
  // The number asked about, kept now: "Ja" stores it even when another
  // call is current by then.
  CCallHandler& handler = doc_.CallHandler();
  CCallInfo* current = handler.GetCurrentCall(hub::kIdView);
  questionNumber_ = current ? current->GetPartnerNumber(handler.GetOwnNumber()) : std::string();
  if (q->IsOpen()) q->Destroy();  // answered before, not yet taken apart
  if (!q->Create(self_)) {
    PostBox(T(plat::TextId(43, 8)) + "\n" + T(plat::TextId(43, 9)));
    return;
  }
  open_[kQuestion] = true;
}

void CBrimlowView::AnswerNewRecord(plat::LPARAM answer) {
  if (!open_[kQuestion]) return;
  open_[kQuestion] = false;
  const std::string number = std::move(questionNumber_);
  questionNumber_.clear();
  if (answer == 1) doc_.CallHandler().CreateRecordForCall(number);
  // The answer comes from the dialog's own button: hide it now, take it
  // apart once that handler has returned.
  if (windows_[kQuestion]) windows_[kQuestion]->Show(0);
  plat::PostMessage(self_, kMsgDestroyWindow, kQuestion);
}

void CBrimlowView::OnMonitoringStarted() {
  if (open_[kOverview])
    NotifyWindow(kOverview, hub::kMonitoringStarted, 0, 0);
  else if (windows_[kOverview])
    windows_[kOverview]->RefreshWhenShown();

  const CGlobalConfig& c = Config();
  CMissedCallList& missed = doc_.MissedCalls();
  if (c.NPLROOBOF == 1) {
    CMessageFilter& filter = doc_.Filter();
    if (!filter.TakeOrRelease(jobstate::kViewJob, 1)) {
      // The PBX is busy with another job: say so and ask nothing.
      char job[129] = {};
      filter.GetJobText(job, sizeof job);
      PostBox(T(plat::TextId(43, 16)) + "\n" + T(plat::TextId(43, 17)) + " " + job);
      missed.SetReadingMode(0);
    } else {
      missed.SetReadingMode(1);
      CSTAMessage request;
      request.SetType(CSTA_PRIVATE);
      request.SetU8(CSTAMessage::kDataAt, EXTPBX_GETMAXNUMBEROFCALLINFOS);
      request.SetText(CSTAMessage::kDataAt + 1, 100, "0");
      filter.MessageSink()->ProcessMessage(&request);
      HandleAppMessage(hub::kMissedFilterChanged, 0, 0);
    }
  } else {
    missed.SetReadingMode(0);
  }
  CCallBackList& callbacks = doc_.CallbackList();
  if (c.CBLASOBOS && callbacks.GetCount() > 0 && !callbacks.IsRunning()) {
    callbacks.SetRunning(1);
    plat::SetTimer(self_, kTimerCallback, static_cast<plat::UINT>(PeriodOr(c.TB1C, kDefaultTb1cMs, "TB1C")));
  }
}

void CBrimlowView::OnCallbackSettings(int callRefId) {
  if (!callbackSettingsDialog) return;
  CCallHandler& handler = doc_.CallHandler();
  CCallInfo* call = handler.GetCallByCallReferenceID(callRefId, hub::kIdView);
  if (!call) return;
  CCallInfo copy;
  copy.CopyFrom(*call);
  if (callbackSettingsDialog(copy) != plat::IDOK) return;
  // The dialog's loop let other messages in: the call may be gone.
  if (CCallInfo* still = handler.GetCallByCallReferenceID(callRefId, hub::kIdView)) still->CopyFrom(copy);
}

void CBrimlowView::OnUpdate(int hint, const std::string& text) {
  if (hint == CBrimlowDoc::kHintRefresh)
    NotifyWindow(kAssistant, hub::kAssistantUpdate, 0, 0);
  else if (hint == CBrimlowDoc::kHintText)
    NotifyWindow(kAssistant, hub::kAssistantText, 0, AsParam(text.c_str()));
}

// ------------------------------------------------------------------ timers

long CBrimlowView::PeriodOr(long value, long fallback, const char* name) const {
  if (value > 0) return value;
  // A period of 0 would make the timer spin.
  GlobalLog().WriteEntry(plat::StrFormatC("%s %ld: %ld ms", name, value, fallback).c_str());
  return fallback;
}

void CBrimlowView::OnTimer(plat::UINT id) {
  plat::KillTimer(self_, id);
  switch (id) {
    case kTimerAssistant:
      // The call handler purges after each call; the clock catches records
      // that a window or an extension let go of only later.
      doc_.PurgeReleasedCalls();
      if (!open_[kAssistant]) return;
      windows_[kAssistant]->Tick();
      if (assistantRefresh_) {
        NotifyWindow(kAssistant, hub::kCallActive, origin_, 0);
        assistantRefresh_ = false;
      }
      plat::SetTimer(self_, kTimerAssistant, kAssistantMs);
      return;
    case kTimerAssistantOnce:
      NotifyWindow(kAssistant, hub::kCallActive, origin_, 0);
      return;
    case kTimerNothing:
      return;
    case kTimerCallback:
      doc_.CallbackList().AutomationStep();
      plat::SetTimer(self_, kTimerCallback,
                     static_cast<plat::UINT>(PeriodOr(Config().CBLCASOTI, kDefaultCallbackPeriodMs, "CBLCASOTI")));
      return;
    case kTimerLinkStep:
      if (link_->LinkStep()) plat::SetTimer(self_, kTimerLinkStep, kLinkStepMs);
      return;
    case kTimerStatus:
      plat::SetTimer(self_, kTimerStatus, kStatusMs);
      return;
    case kTimerRequest:
      doc_.Filter().OnTimer(kTimerRequest);
      return;
    default:
      return;
  }
}

// ---------------------------------------------------------- window messages

plat::LRESULT CBrimlowView::WindowProc(const plat::Message& m) {
  switch (m.msg) {
    case plat::WM_TIMER:
      OnTimer(static_cast<plat::UINT>(m.wParam));
      return 0;
    case kMsgCommNotify:
      link_->ProcessCommInput(m.wParam, m.lParam);
      return 0;
    case kMsgCommand:
      OnCommandMessage(static_cast<plat::UINT>(m.wParam & 0xFFFF));
      return 0;
    case hub::kCallActive:
    case hub::kSecondCall:
    case hub::kAskNewRecord:
      return HandleAppMessage(m.msg, m.wParam, m.lParam);
    case hub::kSubscriberReport: {
      // The overview's double click: the handler's matching lines for that
      // extension are run through (and not kept); a file of records ends
      // the walk, however the lines come.
      const char* text = reinterpret_cast<const char*>(m.data());
      const std::string number = m.payload.empty() ? std::string() : std::string(text, strnlen(text, m.payload.size()));
      std::uint32_t left = charge_->RecordCount();
      for (std::string line = charge_->GetFirstReportLine(1, 4, number.c_str(), static_cast<int>(m.wParam));
           !line.empty() && left > 0; line = charge_->GetNextReportLine(1, 4))
        --left;
      return 0;
    }
    case hub::kShowRecordMatch:
      if (recordViews_ && m.payload.size() == sizeof(CallRecordMatch)) {
        CallRecordMatch match;
        std::memcpy(&match, m.data(), sizeof match);
        recordViews_->OpenView(match);
      }
      return 0;
    case hub::kLinkStopStep:
      // The hub's 1074 comes back from the queue marked; a component's
      // goes through the hub first.
      if (m.wParam == kPostedStopStep) {
        OnNetworkStopStep();
        return 0;
      }
      return HandleAppMessage(m.msg, m.wParam, m.lParam);
    case kMsgTrayNotify:
      OnTrayNotify(m.lParam);
      return 0;
    case kMsgReceived:
      OnReceived(m);
      return 0;
    case kMsgDeferredBox:
      Box(std::string(m.payload.begin(), m.payload.end()), plat::MB_OK | plat::MB_ICONINFORMATION);
      return 0;
    case kMsgCallbackSettings:
      OnCallbackSettings(static_cast<int>(m.wParam));
      return 0;
    case kMsgDestroyWindow: {
      const auto slot = static_cast<WindowSlot>(m.wParam);
      if (m.wParam < kWindowSlots && !open_[slot] && windows_[slot] && windows_[slot]->IsOpen())
        windows_[slot]->Destroy();
      return 0;
    }
    case kMsgDeferredCommand:
      RunCommand(static_cast<plat::UINT>(m.wParam));
      return 0;
    case kMsgExit:
      exitPending_ = false;
      if (plat::ModalLoopDepth() > 0)
        RunExitCommand();
      else
        frame_.ExitCommand();
      return 0;
    default:
      break;
  }
  if (m.msg >= kMsgFirstChargeButton && m.msg <= kMsgLastChargeButton) {
    // The charge-counter manager's (its slot may be replaced).
    if (chargeCommands) chargeCommands(m.msg, m.wParam, m.lParam);
    return 0;
  }
  if (m.msg >= netlink::kMsgRegistered && m.msg <= netlink::kMsgType26) return OnNetworkMessage(m);
  if (m.msg >= hub::kFirstCode && m.msg <= hub::kLastCode) return HandleAppMessage(m.msg, m.wParam, m.lParam);
  return 0;
}

void CBrimlowView::OnReceived(const plat::Message& m) {
  if (m.payload.empty()) return;
  if (net_) {
    // The network path keeps the handle and the registration; it hands
    // the record on itself.
    net_->OnViewMessage(m);
    return;
  }
  const CSTAMessage copy = CSTAMessage::FromBytes(m.payload.data(), m.payload.size());
  link_->Pbx().OnLinkMessage(linkev::kIncoming, 0, &copy);
}

void CBrimlowView::OnNetworkStopStep() {
  if (net_ && net_->Handle() != CNetworkLink::kNone) {
    // Unregisters, or closes the handle and runs the exit command.
    net_->OnViewMessage(plat::Message{self_, hub::kLinkStopStep, 0, 0, {}});
    return;
  }
  if (linkState_ == kLinkStopping) RunExitCommand();
}

plat::LRESULT CBrimlowView::OnNetworkMessage(const plat::Message& m) {
  switch (m.msg) {
    case netlink::kMsgRegistrationRefused:
      PostBox(T(plat::TextId(43, 23)));
      break;
    case netlink::kMsgLinkLost:
      if (linkState_ < kLinkStopping) PostBox(T(plat::TextId(43, 21)) + " \n" + T(plat::TextId(43, 22)));
      break;
    case netlink::kMsgSocketError:
      if (linkState_ != kLinkStopping && linkState_ != kLinkClosed) {
        const long code = static_cast<long>(m.wParam);
        std::string text;
        if (m.lParam == 0 || m.payload.empty())
          text = plat::StrFormatC("%s %ld %s", T(plat::TextId(43, 18)).c_str(), code, T(plat::TextId(43, 20)).c_str());
        else
          text = plat::StrFormatC("%s %ld %s %s %s", T(plat::TextId(43, 18)).c_str(), code, T(plat::TextId(43, 19)).c_str(),
                                  reinterpret_cast<const char*>(m.payload.data()), T(plat::TextId(43, 20)).c_str());
        PostBox(text);
      }
      break;
    default:
      break;
  }
  if (net_) net_->OnViewMessage(m);
  return 0;
}

void CBrimlowView::OnTrayNotify(plat::LPARAM mouse) {
  if (mouse == kTrayDoubleClick) {
    ShowStep(1);
  } else if (mouse == kTrayRightButton) {
    if (trayMenuOpen_) tray_.CloseMenu();
    trayMenuOpen_ = true;
    tray_.ShowMenu(TrayMenu());
  }
}

void CBrimlowView::OnCommandMessage(plat::UINT id) {
  if (trayMenuOpen_) {
    if (id == ID_APP_EXIT) {
      RunExitCommand();
      return;
    }
    trayMenuOpen_ = false;
    tray_.CloseMenu();
  }
  RunCommand(id);
}

// ---------------------------------------------------------------- commands

bool CBrimlowView::RunCommand(plat::UINT id) {
  if (commands_.Has(id)) return commands_.Run(id);
  return doc_.Commands().Run(id);
}

bool CBrimlowView::IsCommandEnabled(plat::UINT id) const {
  if (commands_.Has(id)) return commands_.IsEnabled(id);
  return doc_.Commands().IsEnabled(id);
}

void CBrimlowView::UpdateMenu(IViewMenu& menu) const {
  if (Config().TOLEUPLV == 0) menu.RemoveCommand(kServiceRecords);
  if (Config().TOLEUCLV == 0) menu.RemoveCommand(kChargeFileEntries);
  // A plug-in that gives no name has no entry.
  for (const auto& [plugin, command] : PlugIns()) {
    const std::string name = PlugInName(*plugin);
    if (name.empty()) menu.RemoveCommand(command);
    else menu.SetCommandText(command, name);
  }
  for (plat::UINT id : kAlwaysRemoved) menu.RemoveCommand(id);
}

std::vector<TrayMenuEntry> CBrimlowView::TrayMenu() const {
  std::vector<TrayMenuEntry> entries = {
      {ID_ASSISTANT, T(plat::TextId(40, 4))}, {ID_KEYPAD, T(plat::TextId(40, 5))}, {ID_OVERVIEW, T(plat::TextId(40, 6))}};
  for (const auto& [plugin, command] : PlugIns())
    if (std::string name = PlugInName(*plugin); !name.empty()) entries.push_back({command, name});
  entries.push_back({0, {}});
  entries.push_back({ID_APP_EXIT, T(plat::TextId(40, 12))});
  return entries;
}

void CBrimlowView::ShowStep(int show) {
  if (show == 0) {
    if (!tray_.HasNotificationArea()) {
      // Nothing could bring a hidden window back.
      frame_.Minimise();
      return;
    }
    frame_.HideOwnedPopups();
    frame_.Hide();
    if (open_[kAssistant] && windows_[kAssistant]) {
      windows_[kAssistant]->Show(0);
      hiddenByShowStep_[kAssistant] = true;
    }
    viewer_.VisualStateFunction(511, 0);
    return;
  }
  frame_.Restore();
  frame_.Show();
  frame_.BringToForeground();
  frame_.ShowOwnedPopups();
  if (hiddenByShowStep_[kAssistant] && open_[kAssistant] && windows_[kAssistant]) windows_[kAssistant]->Show(1);
  hiddenByShowStep_[kAssistant] = false;
  viewer_.VisualStateFunction(511, 1);
}

void CBrimlowView::RunExitCommand() {
  // Every open dialog and box is ended now (innermost first) and none is
  // shown any more; the exit itself runs from the view's own queue once
  // the outermost loop has returned, never under a loop or a caller that
  // still runs on the objects it takes away. A request while one is queued
  // joins it; one after it ran (the close waits for the link) queues anew.
  plat::BeginExit();
  if (exitPending_) return;
  exitPending_ = true;
  plat::PostWhenNoModalLoop(self_, kMsgExit);
}

// ------------------------------------------------------------------ boxes

void CBrimlowView::PostBox(const std::string& text) {
  plat::PostMessage(self_, kMsgDeferredBox, 0, static_cast<plat::LPARAM>(text.size()), text.data(), text.size());
}

void CBrimlowView::Box(const std::string& text, plat::UINT flags) { plat::MessageBox(self_, text, T(plat::TextId(0, 0)), flags); }

void CBrimlowView::SetStatus(const std::string& text) {
  status_ = text;
  frame_.SetStatusText(text);
}

// ------------------------------------------------------------- charge file

void CBrimlowView::ChooseChargeFile() {
  const plat::FileDialogRequest r =
      FileRequest(plat::TextId(43, 1), "", plat::TextId(43, 0), "", plat::MapPath(Config().CPROCFN), "log");
  std::string path;
  if (!plat::RunFileDialog(self_, r, &path)) return;
  charge_->SaveState();
  charge_->CloseFiles();
  Config().CPROCFN = path;
  charge_->OpenChargeFile(path);
}

void CBrimlowView::ChooseDatabaseFile() {
  CMyDataBase& db = doc_.Database();
  const plat::FileDialogRequest r =
      FileRequest(plat::TextId(43, 3), "Datenbank w\xe4hlen", plat::TextId(43, 2),
                  "Datenbanken (*.db)|*.db|alle Dateien (*.*)|*.*||", plat::MapPath(Config().DNFN), "db");
  std::string path;
  if (!plat::RunFileDialog(self_, r, &path)) return;
  const std::string old = db.Path();
  if (db.IsOpen() && db.Flush() == 0)
    GlobalLog().WriteEntry(("CBrimlowView: phone book not saved " + old).c_str());
  if (db.Open(path) == 1) {
    Config().DNFN = path;
    return;
  }
  // The new book cannot be opened: the old one stays in use and named.
  db.Open(old);
  PostBox(std::string(plat::GetTextOr(plat::TextId(43, 4), "Die Datenbank kann nicht ge\xf6" "ffnet werden:")) + "\n" + path);
}
