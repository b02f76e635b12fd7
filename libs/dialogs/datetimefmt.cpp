#include "libs/dialogs/datetimefmt.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/text.h"

namespace kestrum {

const FormatName kDateFormats[6] = {
    {"dd.mm.yy", "%d.%m.%y"},   {"dd.mm.yyyy", "%d.%m.%Y"}, {"mm/dd/yy", "%m/%d/%y"},
    {"mm/dd/yyyy", "%m/%d/%Y"}, {"yy-mm-dd", "%y-%m-%d"},   {"yyyy-mm-dd", "%Y-%m-%d"},
};
const FormatName kTimeFormats[2] = {{"HH:MM", "%H:%M"}, {"HH:MM:SS", "%H:%M:%S"}};

const char* PatternOf(const std::string& name) {
  for (const auto& f : kDateFormats)
    if (name == f.name) return f.pattern;
  for (const auto& f : kTimeFormats)
    if (name == f.name) return f.pattern;
  return nullptr;
}

std::string FormatTime(std::time_t t, const char* pattern) {
  std::tm tm{};
  localtime_r(&t, &tm);
  std::string out;
  for (const char* p = pattern ? pattern : ""; *p; ++p) {
    if (*p != '%' || p[1] == '\0') {
      out += *p;
      continue;
    }
    ++p;
    switch (*p) {
      case 'd': out += plat::StrFormatC("%d", tm.tm_mday); break;
      case 'm': out += plat::StrFormatC("%02d", tm.tm_mon + 1); break;
      case 'y': out += plat::StrFormatC("%02d", (tm.tm_year + 1900) % 100); break;
      case 'Y': out += plat::StrFormatC("%d", tm.tm_year + 1900); break;
      case 'H': out += plat::StrFormatC("%d", tm.tm_hour); break;
      case 'M': out += plat::StrFormatC("%02d", tm.tm_min); break;
      case 'S': out += plat::StrFormatC("%02d", tm.tm_sec); break;
      default:
        out += '%';
        out += *p;
    }
  }
  if (out.size() > 31) out.resize(31);
  return out;
}

int MapYear(long year, int currentYear) {
  if (year >= 1 && year <= 70) return static_cast<int>(2000 + year);
  if (year >= 71 && year <= 99) return static_cast<int>(1900 + year);
  if (year >= 1971 && year <= 2037) return static_cast<int>(year);
  return currentYear;
}

namespace {

// Splits like the platform's token reader: runs of separators count once.
std::vector<long> Numbers(const std::string& text, const char* seps) {
  std::vector<long> out;
  std::size_t i = 0;
  while (i < text.size() && out.size() < 3) {
    while (i < text.size() && std::strchr(seps, text[i])) ++i;
    if (i >= text.size()) break;
    std::size_t j = i;
    while (j < text.size() && !std::strchr(seps, text[j])) ++j;
    std::string part = text.substr(i, std::min<std::size_t>(j - i, 31));
    out.push_back(plat::AtolC(part.c_str()));
    i = j;
  }
  return out;
}

int Clamp(long v) {
  // Far-off values only need to stay far off; mktime normalises the rest.
  if (v > 100000) return 100000;
  if (v < -100000) return -100000;
  return static_cast<int>(v);
}

}  // namespace

void ReadDate(const std::string& text, const std::string& formatName, const std::tm& now, std::tm* out) {
  std::vector<long> n = Numbers(text, "-./");
  long day = now.tm_mday, month = now.tm_mon + 1, year = now.tm_year + 1900;
  long* order[3];
  if (formatName.rfind("mm", 0) == 0) {
    order[0] = &month; order[1] = &day; order[2] = &year;
  } else if (formatName.rfind("yy", 0) == 0) {
    order[0] = &year; order[1] = &month; order[2] = &day;
  } else {
    order[0] = &day; order[1] = &month; order[2] = &year;
  }
  for (std::size_t i = 0; i < n.size(); ++i) *order[i] = n[i];
  out->tm_mday = Clamp(day);
  out->tm_mon = Clamp(month) - 1;
  out->tm_year = MapYear(year, now.tm_year + 1900) - 1900;
}

void ReadTime(const std::string& text, const std::tm& now, std::tm* out) {
  std::vector<long> n = Numbers(text, ":.");
  long v[3] = {now.tm_hour, now.tm_min, now.tm_sec};
  for (std::size_t i = 0; i < n.size(); ++i) v[i] = n[i];
  out->tm_hour = Clamp(v[0]);
  out->tm_min = Clamp(v[1]);
  out->tm_sec = Clamp(v[2]);
}

std::time_t LocalToTime(std::tm tm) {
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

}  // namespace kestrum
