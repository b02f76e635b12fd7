#include "plugins/common/windowwatch.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindowStateChangeEvent>

namespace pluginkit {

WindowWatch::WindowWatch(QWidget* window, QWidget* parent) : QObject(window), window_(window), parent_(parent) {
  if (window) window->installEventFilter(this);
  if (parent) parent->installEventFilter(this);
}

WindowRect WindowWatch::RectOf(const QWidget* w) {
  const QRect f = w->frameGeometry();
  return WindowRect{f.y(), f.x(), f.y() + f.height(), f.x() + f.width()};
}

void WindowWatch::MoveTo(QWidget* w, const WindowRect& r) {
  if (w) w->move(r.left, r.top);
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
