// The program's engine room: every component reports to the view's hub, and
// the view owns, opens, stops and closes the PBX link, drives the
// notification-area icon and the modeless windows, and serves the menu
// commands. Its code uses no widgets: the shell sits behind IViewFrame and
// IViewTray, windows behind IViewWindow, dialogs come through the dialog
// kit. Main thread only.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/doc/brimlowdoc.h"
#include "app/plugins/pluginbinding.h"
#include "core/service/servicerecordfile.h"
#include "app/view/commandtable.h"
#include "app/view/displaycontroladapter.h"
#include "app/view/viewlink.h"
#include "app/view/viewshell.h"
#include "charges/counter/sumchargehandler.h"
#include "charges/handler/chargeandloghandler.h"
#include "core/calls/callinfo.h"
#include "core/filter/filterifaces.h"
#include "core/iface/viewhub.h"
#include "platform/messages.h"

class CGlobalConfig;
class CHandsetPromptDlg;
class CNetworkLink;
class CLinkWatch;
class CMissedCallDlg;

class CBrimlowView : public plat::IMessageTarget, public IViewMessageSink, public IDocumentView {
 public:
  enum WindowSlot { kAssistant = 0, kKeypad, kDatabase, kOverview, kQuestion, kWindowSlots };
  // The view's link state.
  enum : int { kLinkNone = 0, kLinkCreated = 1, kLinkStarting = 2, kLinkStopping = 3, kLinkClosed = 4 };

  // Commands of the view.
  enum : plat::UINT {
    ID_SERIAL_ERROR = 68, ID_ASSISTANT = 32771, ID_KEYPAD = 32772, ID_OVERVIEW = 32774, ID_DATABASE = 32779,
    ID_CALLBACKLIST = 32781, ID_MISSED_CALLS = 32784, ID_MISSED_SETUP = 32785, ID_CALLBACK_SETUP = 32786,
    ID_GENERAL_SETTINGS = 32790, ID_CALLDATA = 32792, ID_CHARGE_EVALUATION = 32796, ID_TOTAL_CHARGES = 32797,
    ID_CHARGE_FILE = 32807, ID_DATABASE_FILE = 32808,
    ID_BACKGROUND = 32813, ID_CONNECTION_VIEWER = 32815, ID_DISPLAY_CONTROL = 32816, ID_APP_EXIT = 57665,
  };

  // Window messages treated before the framework.
  static constexpr plat::UINT kMsgCommNotify = 68;
  static constexpr plat::UINT kMsgCommand = 273;
  static constexpr plat::UINT kMsgTrayNotify = 1079;
  static constexpr plat::UINT kMsgFirstChargeButton = 1095;
  static constexpr plat::UINT kMsgLastChargeButton = 1106;
  static constexpr plat::UINT kMsgReceived = 1590;
  static constexpr plat::UINT kTrayDoubleClick = 515;
  static constexpr plat::UINT kTrayRightButton = 516;
  // The view's own queue: work that must not run inside the sender's call.
  static constexpr plat::UINT kMsgDeferredBox = 0x8001;       // payload: the text
  static constexpr plat::UINT kMsgCallbackSettings = 0x8002;  // wParam: call reference id
  static constexpr plat::UINT kMsgDestroyWindow = 0x8003;     // wParam: window slot
  static constexpr plat::UINT kMsgDeferredCommand = 0x8004;   // wParam: command id
  static constexpr plat::UINT kMsgExit = 0x8005;
  static constexpr plat::WPARAM kPostedStopStep = 1;  // wParam of the posted 1074

  // Icons and texts of the notification area.
  static constexpr int kIconIdle = 223, kIconCall = 224, kIconIncoming = 225;
  // The plug-ins' window ids and the viewer's row of the position table.
  static constexpr std::int32_t kViewerWindowId = 36, kDisplayWindowId = 37;
  static constexpr int kViewerPosition = 6;
  static constexpr long kDefaultTb1cMs = 2000, kDefaultCallbackPeriodMs = 5000;

  // link: the PBX link object; null builds the real one. config: the
  // program's configuration when null.
  CBrimlowView(CBrimlowDoc& doc, IViewFrame& frame, IViewTray& tray, std::unique_ptr<IViewLink> link = nullptr,
               CGlobalConfig* config = nullptr);
  ~CBrimlowView() override;
  CBrimlowView(const CBrimlowView&) = delete;
  CBrimlowView& operator=(const CBrimlowView&) = delete;

  // A modeless window for its slot, before the creation; the view owns it
  // and its menu command exists from now on.
  void SetWindow(WindowSlot slot, std::unique_ptr<IViewWindow> window);
  IViewWindow* Window(WindowSlot slot) const { return windows_[slot].get(); }
  // The connection drawing (member 7), before the creation; the view owns it.
  void SetDrawing(std::unique_ptr<IConnectionDrawing> drawing) { drawing_ = std::move(drawing); }
  IConnectionDrawing* Drawing() const { return drawing_.get(); }
  // The phone book's record views, before the creation; not owned.
  void SetRecordViews(IRecordViews* views) { recordViews_ = views; }
  bool IsOpen(WindowSlot slot) const { return open_[slot]; }

  // The life, in the order the shell runs it.
  bool Create();           // the view's window: links, start-up windows
  void OnInitialUpdate();  // tray icon, link open
  bool CanCloseView() override;  // stops the link; true once it is closed
  void Destroy();          // windows destroyed, links undone (the destructor runs it too)

  // The hub; the result is always 0.
  plat::LRESULT HandleAppMessage(plat::UINT code, plat::WPARAM wParam, plat::LPARAM lParam);
  // The window procedure: messages treated before the framework, the rest
  // to the hub when they are hub codes.
  plat::LRESULT WindowProc(const plat::Message& m);
  plat::LRESULT OnMessage(const plat::Message& m) override { return WindowProc(m); }
  plat::LRESULT OnViewMessage(plat::UINT message, plat::WPARAM wParam, plat::LPARAM lParam) override {
    return HandleAppMessage(message, wParam, lParam);
  }
  void OnUpdate(int hint, const std::string& text) override;
  plat::WindowId ViewWindow() const override { return self_; }

  // Commands: the view's first, then the document's.
  CCommandTable& Commands() { return commands_; }
  bool RunCommand(plat::UINT id);
  bool IsCommandEnabled(plat::UINT id) const;
  // Rules applied whenever the menu is shown.
  void UpdateMenu(IViewMenu& menu) const;
  std::vector<TrayMenuEntry> TrayMenu() const;
  // 0 hides the program, 1 brings it back.
  void ShowStep(int show);

  // Dialog 124 on a copy of a call (the callback settings); IDOK writes it
  // back. Tests put their own script here.
  std::function<int(CCallInfo& copy)> callbackSettingsDialog;

  // Inspection.
  plat::WindowId Id() const { return self_; }
  int LinkState() const { return linkState_; }
  IViewLink& Link() { return *link_; }
  CNetworkLink* Network() { return net_.get(); }
  CServiceRecordFile& ServiceRecords() { return serviceFile_; }
  CChargeAndLogHandler& Charges() { return *charge_; }
  CCallInfo& WorkingCall() { return workingCall_; }
  const std::string& QuestionNumber() const { return questionNumber_; }
  bool Created() const { return created_; }
  // The link's status line as the view last set it.
  const std::string& StatusText() const { return status_; }
  CLinkWatch& Watch() { return *watch_; }
  CConnectionViewerBinding& Viewer() { return viewer_; }
  CDisplayControlBinding& DisplayControl() { return display_; }
  CSumChargeHandler& SumCharges() { return *sumCharge_; }
  // The charge-counter manager's slot for 1095 to 1106 (the display
  // control's buttons and its own cancel messages): message, window, item.
  std::function<void(plat::UINT, plat::WPARAM, plat::LPARAM)> chargeCommands;
  // Closes the charge windows that outlive a command; run before the handler goes.
  std::function<void()> closeChargeWindows;

 private:
  // The service record file as the filter sees it, and the filter's
  // unpacking as the file's digit source.
  class ServiceRecordAdapter : public IServiceRecordSink, public IBcdNumberSource {
   public:
    explicit ServiceRecordAdapter(CServiceRecordFile& file) : file_(file) {}
    void OnCallRecordCount(const CSTAMessage& reply) override;
    int UnpackBcdNumbers(const std::uint8_t* source, std::string* first, std::string* second) override;

   private:
    CServiceRecordFile& file_;
  };

  CGlobalConfig& Config() const { return *config_; }
  void RegisterCommands();
  void OpenWindow(WindowSlot slot);
  void NotifyWindow(WindowSlot slot, plat::UINT code, plat::WPARAM w, plat::LPARAM l);
  void OnWindowClosed(WindowSlot slot);
  void DestroyWindow(WindowSlot slot);
  void ShowCallInAssistant(int origin, plat::LPARAM call);
  void OnMonitoringStarted();
  void OnCallbackSettings(int callRefId);
  void AskNewRecord();
  void AnswerNewRecord(plat::LPARAM answer);
  void SetTrayIdle();
  void SetTrayCall(CCallInfo* call);
  void OpenNetworkLink();
  void OnTimer(plat::UINT id);
  plat::LRESULT OnNetworkMessage(const plat::Message& m);
  void OnNetworkStopStep();
  void OnReceived(const plat::Message& m);
  void OnCommandMessage(plat::UINT id);
  void OnTrayNotify(plat::LPARAM mouse);
  void RunExitCommand();
  void PostBox(const std::string& text);
  void Box(const std::string& text, plat::UINT flags);
  void LogUnhandled(plat::UINT code);
  long PeriodOr(long value, long fallback, const char* name) const;
  void LoadPlugIns();
  void SaveViewerPosition();
  // The plug-in's name text, "" when it gives none.
  std::string PlugInName(CPlugInBinding& plugin) const;
  // The bindings with their menu commands, viewer first.
  std::array<std::pair<CPlugInBinding*, plat::UINT>, 2> PlugIns() const;
  void SetStatus(const std::string& text);
  void ChooseChargeFile();
  // 32808: another phone book file, once the open one is written.
  void ChooseDatabaseFile();

  CBrimlowDoc& doc_;
  IViewFrame& frame_;
  CGlobalConfig* config_;
  plat::WindowId self_ = 0;

  // Members in the order of construction (destruction runs backwards).
  IViewTray& tray_;                                                 // 1
  std::array<std::unique_ptr<IViewWindow>, kWindowSlots> windows_;  // 2, 3, 4, 8 and question 173
  std::unique_ptr<IViewLink> link_;                                 // 6
  std::unique_ptr<IConnectionDrawing> drawing_;                     // 7
  // The call-throughs are not const: the menu rules ask for names.
  mutable CConnectionViewerBinding viewer_;                         // 9
  mutable CDisplayControlBinding display_;                          // 10
  CDisplayControlAdapter displayAdapter_{display_};
  std::unique_ptr<CSumChargeHandler> sumCharge_;                    // 11
  IRecordViews* recordViews_ = nullptr;
  std::unique_ptr<CChargeAndLogHandler> charge_;                    // 13
  CServiceRecordFile serviceFile_;                                  // 14
  ServiceRecordAdapter serviceAdapter_{serviceFile_};
  CCallInfo workingCall_;                                           // 15
  std::unique_ptr<CHandsetPromptDlg> prompt_;
  std::unique_ptr<CNetworkLink> net_;
  std::unique_ptr<CLinkWatch> watch_;

  // Plain state.
  int linkState_ = kLinkNone;
  int origin_ = hub::kIdView;
  std::array<bool, kWindowSlots> open_{};
  std::array<bool, kWindowSlots> hiddenByShowStep_{};
  bool assistantRefresh_ = false;
  bool open_missed_ = false;              // the missed-calls dialog is shown
  CMissedCallDlg* missedDlg_ = nullptr;  // while it is shown
  bool trayMenuOpen_ = false;
  bool created_ = false;
  bool destroyed_ = false;
  bool exitPending_ = false;
  std::vector<plat::UINT> startCommands_;  // modal start-up windows, after the initial update
  std::string questionNumber_;
  std::string status_;
  CCommandTable commands_;
};
