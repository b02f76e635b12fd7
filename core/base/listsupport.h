// Small helpers the lists and their dialogs share.
#pragma once
#include <ctime>
#include <string>
#include <vector>

#include "platform/textid.h"

namespace lists {

// The language file's text, "" when it lacks it.
std::string Text(plat::TextId id);
// Local time of day in seconds after midnight.
long SecondsOfDay(std::time_t t);
bool SameLocalDay(std::time_t a, std::time_t b);
// The local day of t at 23:59:59.
std::time_t EndOfDay(std::time_t t);
// strftime of the local time in the C locale; "" when t cannot be converted.
std::string FormatTime(std::time_t t, const char* format);
// Every section name of an INI file, in file order.
std::vector<std::string> SectionNames(const std::string& file);

// Hours and minutes of a time of day as the dialogs show them ("%02i").
std::string HoursText(long secondsOfDay);
std::string MinutesText(long secondsOfDay);
// Typed hours (0-23) and minutes (0-59) as seconds after midnight; false
// when either is not such a number.
bool ParseTimeOfDay(const std::string& hours, const std::string& minutes, long* seconds);
// A date typed as "dd.mm.yy" that names a real day: that day at 23:59:59;
// 0 when it does not.
std::time_t ParseDialogDate(const std::string& text);

}  // namespace lists
