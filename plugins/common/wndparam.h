// The plug-ins' "WNDPosition" parameter: the window's top, left, bottom
// and right, kept in the four coordinate fields of a CWndPosition in that
// order and written in its four-number text form.
#pragma once
#include <cstddef>

#include "core/winpos/wndposition.h"

namespace pluginkit {

struct WindowRect {
  int top = 0, left = 0, bottom = 0, right = 0;
  bool operator==(const WindowRect&) const = default;
};

// "top,left,bottom,right" into buffer (at most size - 1 characters).
void FormatWndPosition(const WindowRect& r, char* buffer, std::size_t size);
// The numbers the text supplies replace those of r, in order; returns how
// many there were (0 to 4).
int ParseWndPosition(const char* text, WindowRect* r);

}  // namespace pluginkit
