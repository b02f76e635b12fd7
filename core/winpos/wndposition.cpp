#include "core/winpos/wndposition.h"

#include <cctype>
#include <climits>

#include "platform/text.h"

namespace {

// Reads one decimal number the way a scanf "%d" would: blanks, an optional
// sign, at least one digit. Saturates instead of overflowing.
bool ReadInt(const char*& p, int& out) {
  const char* s = p;
  while (*s && std::isspace(static_cast<unsigned char>(*s))) ++s;
  bool neg = false;
  if (*s == '+' || *s == '-') neg = (*s++ == '-');
  if (!std::isdigit(static_cast<unsigned char>(*s))) return false;
  long long v = 0;
  while (std::isdigit(static_cast<unsigned char>(*s))) {
    if (v <= INT_MAX) v = v * 10 + (*s - '0');
    ++s;
  }
  if (neg) v = -v;
  if (v > INT_MAX) v = INT_MAX;
  if (v < INT_MIN) v = INT_MIN;
  out = static_cast<int>(v);
  p = s;
  return true;
}

// Reads numbers separated by the given literal characters; returns how many
// were read before the text stopped matching.
int ReadList(const char* text, const char* separators, int* values, int count) {
  const char* p = text;
  int n = 0;
  for (; n < count; ++n) {
    if (n > 0) {
      if (*p != separators[n - 1]) break;
      ++p;
    }
    if (!ReadInt(p, values[n])) break;
  }
  return n;
}

}  // namespace

int CWndPosition::ToText(char* buffer, std::size_t size, int mode) const {
  if (!buffer || size == 0) return 1;
  if (mode == kRectOnly)
    plat::FormatC(buffer, size, "%d,%d,%d,%d", left, top, right, bottom);
  else
    plat::FormatC(buffer, size, "%d:%d,%d,%d,%d", showState, left, top, right, bottom);
  return 1;
}

std::string CWndPosition::ToText(int mode) const {
  char buf[64];
  ToText(buf, sizeof buf, mode);
  return buf;
}

int CWndPosition::FromText(const char* text, int mode) {
  if (!text) return 1;
  int v[5];
  if (mode == kRectOnly) {
    const int n = ReadList(text, ",,,", v, 4);
    std::int16_t* fields[4] = {&left, &top, &right, &bottom};
    for (int i = 0; i < n; ++i) *fields[i] = static_cast<std::int16_t>(v[i]);
  } else {
    const int n = ReadList(text, ":,,,", v, 5);
    if (n >= 1 && v[0] >= 1 && v[0] <= 10) showState = static_cast<std::int16_t>(v[0]);
    std::int16_t* fields[4] = {&left, &top, &right, &bottom};
    for (int i = 1; i < n; ++i) *fields[i - 1] = static_cast<std::int16_t>(v[i]);
  }
  return 1;
}
