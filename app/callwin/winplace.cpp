#include "app/callwin/winplace.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

#include "core/base/globalconfig.h"
#include "platform/dialogkit/dlgsupport.h"

namespace callwin {

bool RestorePosition(QWidget* w, int positionId) {
  if (!w) return false;
  int l = 0, t = 0, r = 0, b = 0;
  if (!GlobalConfig().GetWindowPosition(positionId, l, t, r, b)) return false;
  const QSize size = w->frameGeometry().size();
  QRect want(l, t, r > l ? r - l : size.width(), b > t ? b - t : size.height());
  bool visible = false;
  for (const QScreen* s : QGuiApplication::screens())
    if (s->geometry().intersects(want)) visible = true;
  if (!visible) return false;
  w->move(l, t);
  return true;
}

void SavePosition(const QWidget* w, int positionId) {
  if (!w || w->isMinimized()) return;
  const QRect g = w->frameGeometry();
  GlobalConfig().SetWindowPosition(positionId, g.left(), g.top(), g.left() + g.width(), g.top() + g.height());
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
    w->move(l, t);
    return true;
  }
  const QSize size = w->size();
  w->move(area.x() + area.width() / 2 - size.width() / 2, area.y() + area.height() / 2 - size.height() / 2);
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
