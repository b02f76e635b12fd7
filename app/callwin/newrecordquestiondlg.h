// The modeless question (dialog 173) whether an unknown caller becomes a
// phone book record. It answers the view with hub code 1053 (question id,
// 1 yes or 0 no) by posting: the view destroys the dialog on that answer,
// which must not happen under the button's own handler.
#pragma once
#include "app/callwin/callwindow.h"
#include "platform/dialogkit/dialog.h"

class CNewRecordQuestionDlg : public plat::Dialog, public ICallWindow {
 public:
  static constexpr int kResourceId = 173;
  static constexpr int kPosition = 7;
  static constexpr int kDefaultQuestion = 30;
  enum : int { IDC_QUESTION = 1226 };

  CNewRecordQuestionDlg();
  ~CNewRecordQuestionDlg() override;

  int questionId = kDefaultQuestion;

  // ICallWindow
  bool Create(plat::WindowId view) override;
  bool IsOpen() const override { return IsCreated(); }
  plat::LRESULT Notify(plat::UINT, plat::WPARAM, plat::LPARAM) override { return IsCreated() ? 1 : 0; }
  void Show(int show) override;
  void Destroy() override { DestroyWindow(); }

 protected:
  bool OnInitDialog() override;
  void OnOK() override { Answer(1); }
  void OnCancel() override { Answer(0); }
  void OnDestroy() override { NotifyClosed(); }

 private:
  void Answer(int yes);

  plat::WindowId view_ = 0;
};
