#include "app/callwin/winplace.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>
#include <algorithm>

#include "core/base/globalconfig.h"
#include "platform/dialogkit/dlgsupport.h"
#include "platform/winplace.h"

namespace callwin {

bool RestorePosition(QWidget* w, int positionId) {
  if (!w) return false;
  int l = 0, t = 0, r = 0, b = 0;
  if (!GlobalConfig().GetWindowPosition(positionId, l, t, r, b)) return false;
  // Only the corner counts: the window keeps its size.
  return plat::place::Restore(w, {l, t, std::max(r, l + 1), std::max(b, t + 1)}, true);
}

void SavePosition(const QWidget* w, int positionId) {
  if (!w || w->isMinimized()) return;
  const plat::place::Rect g = plat::place::OuterRect(w);
  GlobalConfig().SetWindowPosition(positionId, g.left, g.top, g.right, g.bottom);
}

bool PlaceOrCentre(QWidget* w, int positionId) {
  if (!w) return false;
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QRect area = screen ? screen->geometry() : QRect(0, 0, 640, 480);
  int l = 0, t = 0, r = 0, b = 0;
  GlobalConfig().GetWindowPosition(positionId, l, t, r, b);
  // Coordinates are signed 16-bit: what lies left of or above the screen
  // counts as off it, like what lies beyond its far edges.
  const bool usable = !(l == 0 && t == 0) && l >= 0 && t >= 0 && l <= area.width() && t <= area.height();
  if (usable) {
    plat::place::MoveOuter(w, l, t);
    return true;
  }
  const QSize size = w->size();
  plat::place::MoveOuter(w, area.x() + area.width() / 2 - size.width() / 2, area.y() + area.height() / 2 - size.height() / 2);
  return false;
}

void SetShown(QWidget* w, int show) {
  if (w) w->setVisible(show != 0);
}

void BringToFront(QWidget* w, plat::WindowId id) {
  if (w->isMinimized()) w->showNormal();
  w->show();
  w->raise();
  plat::dlg::SetForegroundWindow(id);
}

}  // namespace callwin
