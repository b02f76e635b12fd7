// Windows-1252 <-> UTF-8 and number formatting in the C locale.
#include "platform/text.h"

#include <cerrno>
#include <climits>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <vector>

#include "platform/text_tables.h"

namespace plat {

namespace {

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Decodes one UTF-8 sequence at s[i]; a malformed one yields U+FFFD and
// consumes one byte.
char32_t DecodeUtf8(const std::string& s, std::size_t& i) {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char c = b(i);
  if (c < 0x80) {
    ++i;
    return c;
  }
  int n = (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
  if (n < 0 || i + static_cast<std::size_t>(n) >= s.size()) {
    ++i;
    return 0xFFFD;
  }
  char32_t cp = c & (0x3F >> n);
  for (int k = 1; k <= n; ++k) {
    unsigned char cc = b(i + k);
    if ((cc & 0xC0) != 0x80) {
      ++i;
      return 0xFFFD;
    }
    cp = (cp << 6) | (cc & 0x3F);
  }
  static const char32_t minimum[4] = {0, 0x80, 0x800, 0x10000};
  if (cp < minimum[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return 0xFFFD;
  }
  i += static_cast<std::size_t>(n) + 1;
  return cp;
}

locale_t CLocale() {
  static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return loc;
}

// Switches the calling thread to the C locale for the lifetime of the guard.
class CLocaleScope {
 public:
  CLocaleScope() : old_(uselocale(CLocale())) {}
  ~CLocaleScope() { uselocale(old_); }
  CLocaleScope(const CLocaleScope&) = delete;
  CLocaleScope& operator=(const CLocaleScope&) = delete;

 private:
  locale_t old_;
};

}  // namespace

std::string Cp1252ToUtf8(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (unsigned char c : s) AppendUtf8(out, detail::Cp1252ToUnicode(c));
  return out;
}

std::string Utf8ToCp1252(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) out += static_cast<char>(detail::UnicodeToCp1252(DecodeUtf8(s, i)));
  return out;
}

int VFormatC(char* buf, std::size_t size, const char* fmt, va_list ap) {
  if (!fmt) {
    if (buf && size) buf[0] = '\0';
    return 0;
  }
  CLocaleScope c;
  int n = std::vsnprintf(size ? buf : nullptr, size, fmt, ap);
  if (n < 0 && buf && size) buf[0] = '\0';
  return n;
}

int FormatC(char* buf, std::size_t size, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  int n = VFormatC(buf, size, fmt, ap);
  va_end(ap);
  return n;
}

std::string StrFormatC(const char* fmt, ...) {
  char small[256];
  va_list ap;
  va_start(ap, fmt);
  va_list again;
  va_copy(again, ap);
  int n = VFormatC(small, sizeof small, fmt, ap);
  va_end(ap);
  std::string out;
  if (n < 0) {
    out.clear();
  } else if (static_cast<std::size_t>(n) < sizeof small) {
    out.assign(small, static_cast<std::size_t>(n));
  } else {
    std::vector<char> big(static_cast<std::size_t>(n) + 1);
    VFormatC(big.data(), big.size(), fmt, again);
    out.assign(big.data(), static_cast<std::size_t>(n));
  }
  va_end(again);
  return out;
}

double StrToDoubleC(const char* s, char** end) {
  if (!s) {
    if (end) *end = nullptr;
    return 0.0;
  }
  return strtod_l(s, end, CLocale());
}

double AtofC(const char* s) { return StrToDoubleC(s, nullptr); }

long AtolC(const char* s) {
  if (!s) return 0;
  while (*s == ' ' || (*s >= '\t' && *s <= '\r')) ++s;
  bool neg = false;
  if (*s == '+' || *s == '-') neg = *s++ == '-';
  unsigned long long mag = 0;
  const unsigned long long limit = neg ? static_cast<unsigned long long>(LONG_MAX) + 1 : LONG_MAX;
  bool saturated = false;
  for (; *s >= '0' && *s <= '9'; ++s) {
    if (saturated) continue;
    mag = mag * 10 + static_cast<unsigned>(*s - '0');
    if (mag >= limit) {
      mag = limit;
      saturated = true;
    }
  }
  if (neg) return mag == static_cast<unsigned long long>(LONG_MAX) + 1 ? LONG_MIN : -static_cast<long>(mag);
  return static_cast<long>(mag);
}

int AtoiC(const char* s) {
  long v = AtolC(s);
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

std::size_t CopyBounded(char* dst, std::size_t size, const char* src) {
  if (!dst || size == 0) return 0;
  std::size_t n = src ? strnlen(src, size - 1) : 0;
  if (n) std::memcpy(dst, src, n);
  dst[n] = '\0';
  return n;
}

}  // namespace plat
