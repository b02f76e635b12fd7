#include "plugins/common/visualstate.h"

#include <QWidget>

#include "platform/dialogkit/dlgsupport.h"
#include "plugins/common/windowwatch.h"

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

void ToFront(QWidget* w, plat::WindowId id) {
  BringToFront(w);
  plat::dlg::SetForegroundWindow(id);
}

void ApplyVisualState(QWidget* w, plat::WindowId id, const VisualState& v, std::int32_t value, WindowWatch* watch) {
  if (!w) return;
  if (v.showCommand >= 0) ApplyShowCommand(w, v.showCommand);
  if (v.action == kMinimiseSwitch) {
    if (watch) watch->minimiseSwitch = value;
    if (value != 0) {
      if (w->isMinimized()) w->showNormal();
      else w->show();
    }
  } else if (v.action == kToFront) {
    ToFront(w, id);
  }
}

}  // namespace pluginkit
