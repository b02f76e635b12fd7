// The base of the lists' dialogs: what a button starts that runs a modal
// loop of its own (another dialog, a picker, a message box) is posted to
// the dialog and done from its queue, never inside the button's handler.
#pragma once
#include <cstdint>

#include "platform/dialogkit/dialog.h"
#include "platform/textid.h"

class CListDialog : public plat::Dialog {
 public:
  using plat::Dialog::Dialog;

 protected:
  void Defer(int action, std::int64_t arg = 0);
  virtual void OnDeferred(int action, std::int64_t arg) = 0;
  plat::LRESULT OnWindowMessage(const plat::Message& m) override;
  // A box with a text of the language file and the dialog's caption.
  int Box(plat::TextId text, plat::UINT flags);
};
