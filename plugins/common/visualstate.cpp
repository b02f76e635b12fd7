#include "plugins/common/visualstate.h"

#include <QWidget>

namespace pluginkit {

void ApplyShowCommand(QWidget* w, int command) {
  if (!w) return;
  switch (command) {
    case kHide: w->hide(); break;
    case kShowNormal: case kRestore: case kShowDefault: w->showNormal(); break;
    case kShowMinimized: case kMinimize: case kShowMinNoActive: w->showMinimized(); break;
    case kShowMaximized: w->showMaximized(); break;
    case kShowNoActivate: case kShowNA: {
      const bool before = w->testAttribute(Qt::WA_ShowWithoutActivating);
      w->setAttribute(Qt::WA_ShowWithoutActivating, true);
      w->show();
      w->setAttribute(Qt::WA_ShowWithoutActivating, before);
      break;
    }
    case kShow: w->show(); break;
    default: break;
  }
}

void BringToFront(QWidget* w) {
  if (!w) return;
  if (w->isMinimized()) w->showNormal();
  w->show();
  w->raise();
  w->activateWindow();
}

}  // namespace pluginkit
