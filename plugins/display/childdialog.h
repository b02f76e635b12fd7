// A dialog shown as a part of another window (the pages of the overview,
// the tiles of a page): made as a child of a host widget at a fixed place,
// hidden until its owner shows it.
#pragma once
#include <string>

#include "platform/dialogkit/dialog.h"

class QWidget;

namespace tarquel {

class CChildDialog : public plat::Dialog {
 public:
  using plat::Dialog::Dialog;

  // False when the dialog could not be built.
  bool CreateIn(plat::WindowId owner, QWidget* host, int x, int y);

 protected:
  // From OnInitDialog: into the host at its place. keepLayout false: the
  // class places its controls itself.
  void Attach(bool keepLayout);

 private:
  QWidget* host_ = nullptr;
  int x_ = 0, y_ = 0;
};

}  // namespace tarquel
