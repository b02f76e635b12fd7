#include "core/base/listsupport.h"

#include <filesystem>

#include "core/base/globalconfig.h"
#include "platform/profile.h"
#include "platform/text.h"

namespace lists {

std::string Text(plat::TextId id) { return plat::GetTextOr(id, ""); }

long SecondsOfDay(std::time_t t) {
  std::tm tm{};
  if (!localtime_r(&t, &tm)) return 0;
  return tm.tm_hour * 3600L + tm.tm_min * 60L + tm.tm_sec;
}

bool SameLocalDay(std::time_t a, std::time_t b) {
  std::tm x{}, y{};
  if (!localtime_r(&a, &x) || !localtime_r(&b, &y)) return false;
  return x.tm_year == y.tm_year && x.tm_yday == y.tm_yday;
}

std::time_t EndOfDay(std::time_t t) {
  std::tm tm{};
  if (!localtime_r(&t, &tm)) return 0;
  tm.tm_hour = 23;
  tm.tm_min = 59;
  tm.tm_sec = 59;
  tm.tm_isdst = -1;
  std::time_t r = std::mktime(&tm);
  return r == static_cast<std::time_t>(-1) ? 0 : r;
}

std::string FormatTime(std::time_t t, const char* format) {
  std::tm tm{};
  if (!localtime_r(&t, &tm)) return {};
  char buf[64];
  // Only digits and separators are formatted: the locale plays no part.
  std::size_t n = std::strftime(buf, sizeof buf, format, &tm);
  return std::string(buf, n);
}

std::vector<std::string> SectionNames(const std::string& file) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(file, ec);
  std::vector<std::string> out;
  if (ec || size == 0) return out;
  std::vector<char> buf(static_cast<std::size_t>(size) + 2);
  plat::DWORD n = plat::GetPrivateProfileString(nullptr, nullptr, "", buf.data(), static_cast<plat::DWORD>(buf.size()),
                                                file.c_str());
  for (std::size_t i = 0; i < n;) {
    std::string name(buf.data() + i);
    if (name.empty()) break;
    i += name.size() + 1;
    out.push_back(std::move(name));
  }
  return out;
}

std::string HoursText(long s) { return plat::StrFormatC("%02i", static_cast<int>(s / 3600)); }
std::string MinutesText(long s) { return plat::StrFormatC("%02i", static_cast<int>((s / 60) % 60)); }

namespace {
bool SmallNumber(const std::string& text, int max, int* out) {
  std::size_t b = text.find_first_not_of(' '), e = text.find_last_not_of(' ');
  if (b == std::string::npos) return false;
  std::string t = text.substr(b, e - b + 1);
  if (t.empty() || t.size() > 2) return false;
  int v = 0;
  for (char c : t) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (v > max) return false;
  *out = v;
  return true;
}
}  // namespace

bool ParseTimeOfDay(const std::string& hours, const std::string& minutes, long* seconds) {
  int h = 0, m = 0;
  if (!SmallNumber(hours, 23, &h) || !SmallNumber(minutes, 59, &m)) return false;
  *seconds = (h * 60L + m) * 60L;
  return true;
}

std::time_t ParseDialogDate(const std::string& text) {
  static const char kPattern[] = "dd.mm.yy";
  if (text.size() != sizeof kPattern - 1 || text[2] != '.' || text[5] != '.') return 0;
  for (int i : {0, 1, 3, 4, 6, 7})
    if (text[i] < '0' || text[i] > '9') return 0;
  const int day = (text[0] - '0') * 10 + (text[1] - '0');
  const int month = (text[3] - '0') * 10 + (text[4] - '0');
  const std::time_t t = CGlobalConfig::ParseDateByPattern(text.c_str(), kPattern);
  if (t == 0) return 0;
  // The reader moves days that do not exist into the next month.
  std::tm tm{};
  if (!localtime_r(&t, &tm) || tm.tm_mday != day || tm.tm_mon + 1 != month) return 0;
  return t;
}

}  // namespace lists
