// The date and time format names offered in the settings and the patterns
// behind them, and the formatter that applies a pattern to a time.
#pragma once
#include <cstddef>
#include <ctime>

struct DateTimeFormatPair {
  const char* name;
  const char* pattern;
};

// Name lists end with an empty text, pair tables with an empty pair.
extern const char* const g_DateFormatNames[];
extern const DateTimeFormatPair g_DateFormats[];
extern const char* const g_TimeFormatNames[];
extern const DateTimeFormatPair g_TimeFormats[];

// The pattern of a date or time format name; null when there is none.
const char* FindDateTimePattern(const char* name);

// Expands the pattern for the local time of t into buffer (unpadded "%d" and
// "%H"; see the source for the letters). The expansion is cut to 127
// characters, then to size - 1. Returns 0 with an empty buffer when the
// time cannot be converted, else 1.
int FormatDateTime(std::time_t t, const char* pattern, char* buffer, std::size_t size);
