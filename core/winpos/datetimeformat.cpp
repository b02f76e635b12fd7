#include "core/winpos/datetimeformat.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/text.h"

const char* const g_DateFormatNames[] = {"dd.mm.yy",   "dd.mm.yyyy", "mm/dd/yy", "mm/dd/yyyy",
                                         "yy-mm-dd",   "yyyy-mm-dd", ""};

const DateTimeFormatPair g_DateFormats[] = {
    {"dd.mm.yy", "%d.%m.%y"},   {"dd.mm.yyyy", "%d.%m.%Y"}, {"mm/dd/yy", "%m/%d/%y"},
    {"mm/dd/yyyy", "%m/%d/%Y"}, {"yy-mm-dd", "%y-%m-%d"},   {"yyyy-mm-dd", "%Y-%m-%d"},
    {"", ""},
};

const char* const g_TimeFormatNames[] = {"HH:MM", "HH:MM:SS", ""};

const DateTimeFormatPair g_TimeFormats[] = {
    {"HH:MM", "%H:%M"},
    {"HH:MM:SS", "%H:%M:%S"},
    {"", ""},
};

const char* FindDateTimePattern(const char* name) {
  if (!name) return nullptr;
  for (const DateTimeFormatPair* t : {g_DateFormats, g_TimeFormats})
    for (; t->name[0]; ++t)
      if (std::strcmp(t->name, name) == 0) return t->pattern;
  return nullptr;
}

namespace {

constexpr std::size_t kWorkChars = 127;

void Append(std::string& work, const char* s) {
  const std::size_t room = kWorkChars - work.size();
  work.append(s, std::min(room, std::strlen(s)));
}

void AppendNum(std::string& work, const char* fmt, int v) {
  char num[16];
  plat::FormatC(num, sizeof num, fmt, v);
  Append(work, num);
}

}  // namespace

int FormatDateTime(std::time_t t, const char* pattern, char* buffer, std::size_t size) {
  std::tm tm{};
  if (!localtime_r(&t, &tm)) {
    if (buffer && size > 0) buffer[0] = '\0';
    return 0;
  }
  std::string work;
  for (const char* p = pattern ? pattern : ""; *p && work.size() < kWorkChars; ++p) {
    if (*p != '%') {
      work.push_back(*p);
      continue;
    }
    const char c = p[1];
    if (c == '\0') {  // a lone "%" at the end stays as it is
      work.push_back('%');
      break;
    }
    ++p;
    switch (c) {
      case '%': work.push_back('%'); break;
      case 'H': AppendNum(work, "%d", tm.tm_hour); break;
      case 'I': AppendNum(work, "%d", tm.tm_hour % 12 == 0 ? 12 : tm.tm_hour % 12); break;
      case 'M': AppendNum(work, "%02d", tm.tm_min); break;
      case 'S': AppendNum(work, "%02d", tm.tm_sec); break;
      case 'd': AppendNum(work, "%d", tm.tm_mday); break;
      case 'm': AppendNum(work, "%02d", tm.tm_mon + 1); break;
      case 'Y': AppendNum(work, "%d", tm.tm_year + 1900); break;
      case 'y': AppendNum(work, "%02d", (tm.tm_year + 1900) % 100); break;
      case 'p': Append(work, tm.tm_hour < 12 ? "AM" : "PM"); break;
      case 'A': case 'B': case 'U': case 'W': case 'X': case 'Z':
      case 'a': case 'b': case 'c': case 'j': case 'w': case 'x':
        break;
      default: {
        const char two[3] = {'%', c, '\0'};
        Append(work, two);
        break;
      }
    }
  }
  if (buffer && size > 0) plat::CopyBounded(buffer, size, work.c_str());
  return 1;
}
