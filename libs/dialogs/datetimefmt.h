// Showing and reading the dates and times of the time-and-date dialog.
#pragma once
#include <ctime>
#include <string>

namespace kestrum {

struct FormatName {
  const char* name;
  const char* pattern;
};
extern const FormatName kDateFormats[6];
extern const FormatName kTimeFormats[2];
const char* PatternOf(const std::string& name);  // nullptr when unknown

// Expands the pattern over the local time of t: %d and %H without a leading
// zero, %m %y %M %S with two digits, %Y in full; cut to 31 characters.
std::string FormatTime(std::time_t t, const char* pattern);

// Two-digit and out-of-range years: 1-70 -> 2001-2070, 71-99 -> 1971-1999,
// 1971-2037 as given, anything else the current year.
int MapYear(long year, int currentYear);

// Reads day, month and year into out (other fields untouched); parts the
// text does not give keep now's values.
void ReadDate(const std::string& text, const std::string& formatName, const std::tm& now, std::tm* out);
// Reads hour, minute and second into out; missing parts keep now's values.
void ReadTime(const std::string& text, const std::tm& now, std::tm* out);
// Local time to seconds; the C library decides daylight saving.
std::time_t LocalToTime(std::tm tm);

}  // namespace kestrum
