// The plug-ins' VisualStateFunction(state, value): the low byte, when 10
// or less, is a show command of the platform; the high byte a further
// action (1 minimise switch, 2 show and bring to front, 3 plug-in's own).
#pragma once
#include <cstdint>

#include "platform/win32types.h"

class QWidget;

namespace pluginkit {

class WindowWatch;

enum ShowCommand {
  kHide = 0, kShowNormal = 1, kShowMinimized = 2, kShowMaximized = 3, kShowNoActivate = 4, kShow = 5,
  kMinimize = 6, kShowMinNoActive = 7, kShowNA = 8, kRestore = 9, kShowDefault = 10,
};
enum VisualAction { kNoAction = 0, kMinimiseSwitch = 1, kToFront = 2, kOwnWindow = 3 };

struct VisualState {
  int showCommand = -1;  // -1: none
  int action = kNoAction;
};

inline VisualState DecodeVisualState(std::int32_t state) {
  VisualState v;
  const int low = state & 0xFF;
  if (low <= kShowDefault) v.showCommand = low;
  v.action = (state >> 8) & 0xFF;
  return v;
}

// The platform's show command on a window.
void ApplyShowCommand(QWidget* window, int command);
// Shown normally, raised and made the active window.
void BringToFront(QWidget* window);
// Brought to the front and made the foreground window of the host.
void ToFront(QWidget* window, plat::WindowId id);
// A decoded state on a made window (null: nothing happens): the show
// command, then the minimise switch (the watch, when there is one, keeps
// value; a non-zero one shows the window) or the bring to the front.
void ApplyVisualState(QWidget* window, plat::WindowId id, const VisualState& v, std::int32_t value,
                      WindowWatch* watch);

}  // namespace pluginkit
