// The assistant window (dialog 102): the user's current call, a second
// call, the clock, the memory keys, two program keys and the buttons that
// open other windows. It never talks to the PBX: every action goes to the
// view's hub under the assistant's origin 11, and the view notifies it
// back through Notify.
#pragma once
#include <QIcon>
#include <QPoint>
#include <QRect>
#include <cstdint>
#include <memory>
#include <string>

#include "app/callwin/callwindow.h"
#include "core/calls/callinfo.h"
#include "platform/dialogkit/dialog.h"

class CVisualizeConnections;
class IMemoryKeyStore;
class QWidget;

class CAssistantDlg : public plat::Dialog, public ICallWindow {
 public:
  static constexpr int kResourceId = 102;
  static constexpr int kOrigin = 11;
  static constexpr int kPosition = 4;
  enum : int {
    IDC_CALLER = 1124, IDC_STATE = 1125, IDC_SECONDCALL = 1126, IDC_CHARGE = 1127,
    IDC_LABEL1 = 1000,  // to 1011
    IDC_M1 = 1012,      // to 1023
    IDC_DATE = 1025, IDC_TIME = 1195, IDC_ICON = 1026, IDC_HINT = 1204, IDC_OWNFIELD = 1230,
    IDC_NUMBERTEXT = 1265, IDC_HANGUP = 1040, IDC_REJECT2 = 1179, IDC_ACCEPT2 = 1196, IDC_DB = 1039,
    IDC_P1 = 1205, IDC_P2 = 1206, IDC_PICKC = 1570, IDC_PICKT = 1571, IDC_PICKP = 1572,
    IDC_DATECAPTION = 1659, IDC_TIMECAPTION = 1660, IDC_HELP = 1203,
    IDC_TEST = 1119, IDC_CBLIST = 1120, IDC_DEFLECT = 1135, IDC_NPLIST = 1156, IDC_REDIAL = 1157,
    IDC_CIL = 1227,
  };
  // The drag's targets and sources as the connection drawing knows them.
  enum : int { kSourceDeflect = 0, kSourceConsult = 13, kSourceTransfer = 51, kOwnPhoneItem = 28 };
  // Icons of the window and of its call states.
  enum : int { kIconMinimised = 103, kIconOutgoing = 109, kIconIdle = 110, kIconIncoming = 111 };
  // Sent to the view on the system menu's Close answered with Yes.
  static constexpr plat::UINT kCloseProgram = 1138;

  struct DragState {
    int state = 0;  // 0 none, 1 source picked, 2 pressed on a target, 3 released on one
    int press = 0, release = 0, source = 0;
  };

  CAssistantDlg();
  ~CAssistantDlg() override;

  // Stored by the view before Create.
  IMemoryKeyStore* speedDial = nullptr;
  CVisualizeConnections* drawing = nullptr;
  plat::WindowId mainWindow = 0;  // told to close when the user ends the program here

  // ICallWindow
  bool Create(plat::WindowId view) override;
  bool IsOpen() const override { return IsCreated(); }
  plat::LRESULT Notify(plat::UINT code, plat::WPARAM wParam, plat::LPARAM lParam) override {
    return OnHubMessage(code, wParam, lParam);
  }
  void Show(int show) override;
  void Destroy() override { DestroyWindow(); }

  // Hub codes: lParam is a CCallInfo* for 1028, 1029, 1046, 1047 and 1050,
  // a terminated Windows-1252 text for 1056. 1 when handled, 0 while the
  // window does not exist.
  plat::LRESULT OnHubMessage(plat::UINT code, plat::WPARAM wParam, plat::LPARAM lParam);
  int SetMinimizeAllowed(int flag);
  int GetMinimizeAllowed() const { return minimizeAllowed_; }
  void OnMemoryKey(int n);
  void UpdateCallText(int code);
  void UpdateStateText(int code);
  void DrawStateIcon(int code);
  // The view's timer 1: the date and the clock.
  void Tick() override;
  // P1 (1) and P2 (2).
  void StartProgram(int which);

  const CCallInfo& CurrentCall() const { return current_; }
  const CCallInfo& SecondCall() const { return second_; }
  int CurrentIcon() const { return icon_; }
  bool IsMinimised() const;
  static DragState Drag();
  static void ResetDrag();

  // Mouse input in window coordinates (the event filter's and tests').
  void MousePress(const QPoint& pos, bool right);
  void MouseRelease(const QPoint& pos, bool right);
  void MouseDoubleClick(const QPoint& pos);
  void MouseMove(const QPoint& pos);
  void Hover(int controlId, bool moving);
  // The rubber band over the state icon area, in its coordinates; a double
  // click there tracks a new one until the button is released.
  QRect RubberBand() const { return band_; }
  bool TrackingBand() const { return banding_; }

  // The window's own menu command: a box with a hint.
  static constexpr int kCommandHint = 32806;

 protected:
  bool OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override {}
  void OnClose() override;
  bool OnCommand(int id, plat::Notify code) override;
  plat::LRESULT OnWindowMessage(const plat::Message& m) override;
  void OnDestroy() override;

 private:
  class Events;
  friend class Events;

  void Hub(plat::UINT code, plat::WPARAM w, const CCallInfo* call);
  void Later(plat::UINT what, plat::WPARAM w = 0);
  void RefreshMemoryKeys();
  void TakeCall(CCallInfo* into, plat::LPARAM l);
  void Minimise();
  void Restore();
  void BringToFront();
  void PickSource(int source, bool keepSource);
  void EndDrag();
  int ControlAt(const QPoint& pos) const;
  void SetHint(int entry);
  void SetDragCursor(int id);
  void BindBitmapButtons();
  void DoMemoryKey(int n);
  void DoStartProgram(int which);
  void DoClose();
  void Log(const std::string& line) const;
  void StartBand(const QPoint& pos);
  void EndBand();

  plat::WindowId view_ = 0;
  CCallInfo current_;
  CCallInfo second_;
  int minimizeAllowed_ = 1;
  int icon_ = kIconIdle;
  int started_[3] = {0, 0, 0};
  QRect band_{0, 0, 20, 20};
  QPoint bandAnchor_;
  bool banding_ = false;
  QWidget* bandOverlay_ = nullptr;  // a child of the icon area
  std::unique_ptr<Events> events_;
};
