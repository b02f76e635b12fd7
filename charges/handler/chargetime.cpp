#include "charges/handler/chargetime.h"

#include <cstring>
#include <ctime>

#include "platform/text.h"

std::string FormatChargeTime(std::uint32_t seconds, const char* pattern) {
  if (seconds == 0 || !pattern) return {};
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  if (!localtime_r(&t, &tm)) return {};
  std::string out;
  for (const char* p = pattern; *p; ++p) {
    if (*p != '%' || p[1] == '\0') {
      out += *p;
      continue;
    }
    const char c = *++p;
    switch (c) {
      case 'H': out += plat::StrFormatC("%i", tm.tm_hour); break;
      case 'd': out += plat::StrFormatC("%i", tm.tm_mday); break;
      case 'M': out += plat::StrFormatC("%02i", tm.tm_min); break;
      case 'S': out += plat::StrFormatC("%02i", tm.tm_sec); break;
      case 'm': out += plat::StrFormatC("%02i", tm.tm_mon + 1); break;
      case 'Y': out += plat::StrFormatC("%04i", tm.tm_year + 1900); break;
      case 'y': out += plat::StrFormatC("%02i", tm.tm_year % 100); break;
      case '%': out += '%'; break;
      default:
        if (std::strchr("ABIUWXZabcjpwx", c) == nullptr) {
          out += '%';
          out += c;
        }
        break;
    }
  }
  return out;
}

std::string FormatChargeDuration(long seconds) {
  if (seconds < 0) seconds = 0;
  return plat::StrFormatC("%li:%02li:%02li", seconds / 3600, seconds / 60 % 60, seconds % 60);
}
