// Times of the charge subsystem: seconds since 1970 UTC, shown as the local
// time of their own instant (the daylight saving time of that day, not of
// today). Numbers never follow the process locale.
#pragma once
#include <cstdint>
#include <string>

// Pattern conversions: %H hour and %d day unpadded, %M %S %m two digits, %Y
// four-digit year, %y two digits, %% a percent sign; %A %B %I %U %W %X %Z %a
// %b %c %j %p %w %x give nothing; any other "%" and its character stay.
// Time 0, or one the platform cannot convert, gives "".
std::string FormatChargeTime(std::uint32_t seconds, const char* pattern);
// A duration as hours, minutes and seconds: 90061 gives "25:01:01".
std::string FormatChargeDuration(long seconds);
