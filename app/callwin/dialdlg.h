// The keypad (dialog 108): types a number, dials it through the call
// handler under origin 12 and hangs up through the view's hub. Closing it
// only hides it.
#pragma once
#include <memory>
#include <string>

#include "app/callwin/callwindow.h"
#include "platform/dialogkit/dialog.h"

class CCallHandler;
class CCallInfo;

class CDialDlg : public plat::Dialog, public ICallWindow {
 public:
  static constexpr int kResourceId = 108;
  static constexpr int kOrigin = 12;
  static constexpr int kPosition = 3;
  static constexpr int kIconMinimised = 104;
  enum : int {
    IDC_KEY1 = 1012,  // "1" to "9": 1012 to 1020
    IDC_KEY0 = 1021, IDC_STAR = 1022, IDC_HASH = 1023,
    IDC_DIAL = 1032, IDC_HANGUP = 1033, IDC_PICK = 1035, IDC_NUMBER = 1037, IDC_DIALLED = 1038,
    IDC_FROMDB = 1656, IDC_NUMBERCAPTION = 1657, IDC_LISTCAPTION = 1658,
  };

  CDialDlg();
  ~CDialDlg() override;

  CCallHandler* callHandler = nullptr;  // set by the view

  // ICallWindow
  bool Create(plat::WindowId view) override;
  bool IsOpen() const override { return IsCreated(); }
  // 1026 to the front, 1028 (lParam the CCallInfo* that ended) idle when
  // it is the keypad's own call, 1029 (lParam a CCallInfo*) in call.
  plat::LRESULT Notify(plat::UINT code, plat::WPARAM wParam, plat::LPARAM lParam) override;
  void Show(int show) override;
  void Destroy() override { DestroyWindow(); }

  bool InCall() const { return inCall_; }
  const std::string& Number() const { return number_; }
  // The call the keypad shows: its reference id (-1 none) and generator.
  int CallRef() const { return callRef_; }
  int CallGenerator() const { return callGenerator_; }

 protected:
  bool OnInitDialog() override;
  void OnOK() override {}
  void OnCancel() override {}
  void OnClose() override { Show(0); }
  bool OnCommand(int id, plat::Notify code) override;
  plat::LRESULT OnWindowMessage(const plat::Message& m) override;
  void OnDestroy() override;

 private:
  class Events;

  void ReadControls();
  void ShowControls();
  void SetInCall(bool inCall);
  void Dial();
  void Pick();
  void HangUp();
  void Remember(const CCallInfo* call);

  plat::WindowId view_ = 0;
  bool inCall_ = false;
  int callRef_ = -1;
  int callGenerator_ = -1;
  std::string number_;
  std::unique_ptr<Events> events_;
};
