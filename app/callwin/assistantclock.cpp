#include "app/callwin/assistantclock.h"

#include "platform/text.h"

// localtime_r already applies the zone and daylight saving: nothing is
// added on top of it.
ClockText FormatClock(std::time_t t) {
  ClockText out;
  std::tm tm{};
  if (!localtime_r(&t, &tm)) return out;
  out.date = plat::StrFormatC("%i.%02i.%i", tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900);
  out.time = plat::StrFormatC("%i:%02i:%02i", tm.tm_hour, tm.tm_min, tm.tm_sec);
  return out;
}
