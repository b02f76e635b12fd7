#include "plugins/common/wndparam.h"

#include <cctype>

namespace pluginkit {

namespace {
// The record's coordinate fields carry top, left, bottom, right.
CWndPosition ToRecord(const WindowRect& r) {
  CWndPosition p;
  p.left = static_cast<std::int16_t>(r.top);
  p.top = static_cast<std::int16_t>(r.left);
  p.right = static_cast<std::int16_t>(r.bottom);
  p.bottom = static_cast<std::int16_t>(r.right);
  return p;
}
// How many numbers a "%d,%d,%d,%d" scan would take from text.
int CountNumbers(const char* p) {
  int n = 0;
  for (; n < 4; ++n) {
    if (n > 0) {
      if (*p != ',') break;
      ++p;
    }
    while (*p && std::isspace(static_cast<unsigned char>(*p))) ++p;
    if (*p == '+' || *p == '-') ++p;
    if (!std::isdigit(static_cast<unsigned char>(*p))) break;
    while (std::isdigit(static_cast<unsigned char>(*p))) ++p;
  }
  return n;
}

}  // namespace

void FormatWndPosition(const WindowRect& r, char* buffer, std::size_t size) {
  ToRecord(r).ToText(buffer, size, CWndPosition::kRectOnly);
}

int ParseWndPosition(const char* text, WindowRect* r) {
  if (!text || !r) return 0;
  const int n = CountNumbers(text);
  if (n == 0) return 0;
  CWndPosition p = ToRecord(*r);
  p.FromText(text, CWndPosition::kRectOnly);  // the record's own 16-bit rule
  int* out[4] = {&r->top, &r->left, &r->bottom, &r->right};
  const std::int16_t in[4] = {p.left, p.top, p.right, p.bottom};
  for (int i = 0; i < n; ++i) *out[i] = in[i];
  return n;
}

}  // namespace pluginkit
