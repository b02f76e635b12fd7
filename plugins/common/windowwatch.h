// What a plug-in window does on its own: a move while not minimised is
// reported (the plug-in stores it as "WNDPosition"); minimising with the
// minimise switch at 0 also hides it; restoring its parent shows it.
#pragma once
#include <QObject>
#include <QPointer>
#include <functional>

#include "plugins/common/wndparam.h"

class QWidget;

namespace pluginkit {

class WindowWatch : public QObject {
 public:
  // Owned by window; parent may be null.
  WindowWatch(QWidget* window, QWidget* parent);

  std::function<void(const WindowRect&)> onMoved;
  // The window became visible (true) or went out of sight (false).
  std::function<void(bool)> onShown;
  int minimiseSwitch = 1;  // 0: minimising also hides

  // The window's outer frame as top, left, bottom, right.
  static WindowRect RectOf(const QWidget* window);
  // The frame's top-left corner to (left, top), onto the screen when that
  // lies off every screen; the size stays.
  static void MoveTo(QWidget* window, const WindowRect& r);

  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPointer<QWidget> window_;
  QPointer<QWidget> parent_;
};

}  // namespace pluginkit
