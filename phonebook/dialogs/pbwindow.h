// A phone book window that stays up beside the program: OK and Cancel close
// it through Close(), which hides it; its owner takes it apart once the
// handler has returned.
#pragma once
#include "platform/dialogkit/dialog.h"

class CPbWindowDlg : public plat::Dialog {
 public:
  using plat::Dialog::Dialog;

 protected:
  void OnOK() override { Close(); }
  void OnCancel() override { Close(); }
  virtual void Close() = 0;
};
