// Dialog 184: asks the user to lift the handset before dialling.
#pragma once
#include "core/callhandler/callpartners.h"
#include "platform/dialogkit/dialog.h"

class CHandsetPromptDlg : public plat::Dialog, public IHandsetPrompt {
 public:
  static constexpr int kResourceId = 184;
  enum : int { IDC_PROMPTTEXT = 1272 };

  CHandsetPromptDlg();

  // IHandsetPrompt
  int Show() override { return DoModal(0); }
  void Lifted() override { Notify(1057, 0, 0); }

  // Message 1057 (the handset was lifted) ends the prompt with OK; every
  // other message goes on to the window.
  plat::LRESULT Notify(plat::UINT message, plat::WPARAM wParam, plat::LPARAM lParam);

 protected:
  bool OnInitDialog() override;
};
