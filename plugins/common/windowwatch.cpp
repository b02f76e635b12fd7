#include "plugins/common/windowwatch.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindowStateChangeEvent>
#include <algorithm>

#include "platform/winplace.h"

namespace pluginkit {

WindowWatch::WindowWatch(QWidget* window, QWidget* parent) : QObject(window), window_(window), parent_(parent) {
  if (window) window->installEventFilter(this);
  if (parent) parent->installEventFilter(this);
}

WindowRect WindowWatch::RectOf(const QWidget* w) {
  const plat::place::Rect f = plat::place::OuterRect(w);
  return WindowRect{f.top, f.left, f.bottom, f.right};
}

void WindowWatch::MoveTo(QWidget* w, const WindowRect& r) {
  if (w) plat::place::Restore(w, {r.left, r.top, std::max(r.right, r.left + 1), std::max(r.bottom, r.top + 1)}, true);
}

bool WindowWatch::eventFilter(QObject* watched, QEvent* event) {
  if (window_ && watched == window_.data()) {
    if (event->type() == QEvent::Move && !window_->isMinimized()) {
      if (onMoved) onMoved(RectOf(window_));
    } else if (event->type() == QEvent::Show || event->type() == QEvent::Hide) {
      if (onShown) onShown(event->type() == QEvent::Show);
    } else if (event->type() == QEvent::WindowStateChange && window_->isMinimized() && minimiseSwitch == 0) {
      // After the minimise has run to its end (which shows the window).
      QTimer::singleShot(0, window_.data(), [w = window_] {
        if (w && w->isMinimized()) w->hide();
      });
    }
  } else if (parent_ && watched == parent_.data() && event->type() == QEvent::WindowStateChange) {
    const auto* change = static_cast<QWindowStateChangeEvent*>(event);
    if ((change->oldState() & Qt::WindowMinimized) && !parent_->isMinimized() && window_) window_->showNormal();
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace pluginkit
