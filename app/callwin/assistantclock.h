// The assistant window's date and clock fields: the plain local time.
#pragma once
#include <ctime>
#include <string>

struct ClockText {
  std::string date;  // "5.03.2026": day, month with two digits, year
  std::string time;  // "9:05:07": hour without padding
};

// Both empty when the time cannot be broken down.
ClockText FormatClock(std::time_t t);
