// Measures with units, how they are read from texts and converted to
// device units (pixels of the printer).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace marpel {

enum Unit : int { kMm = 0, kCm = 1, kPt = 2, kIn = 3, kDevice = 4, kPercent = 5 /* internal */ };

struct Measure {
  int unit = kMm;
  double value = 0;
};

// "mm", "cm", "pt", "in", "" for device units; null for others.
const char* UnitName(int unit);

// Pixels per millimetre of a device on each axis; 0 when unknown.
struct Resolution {
  double perMmX = 0, perMmY = 0;
  int width = 0, height = 0;  // device units, for percentages
};
enum class Axis { X, Y };

// The first of "mm", "cm", "pt", "in" found in text, else device units.
int FindUnit(std::string_view text);
// A decimal number at the start of text (blanks skipped, a sign, digits,
// a point or a comma and more digits). False when there are no digits.
bool ReadNumber(std::string_view text, double* value);
// Unit and number of a text, as FindUnit and ReadNumber. False without a
// number (the unit is set anyway).
bool ReadMeasure(std::string_view text, Measure* out);

// Device units of a measure on one axis, cut towards zero only at the end
// and kept within 32 bits.
std::int32_t ToDevice(const Measure& m, Axis axis, const Resolution& r);

// The whole-number conversion table of the page engine (fractions cut
// towards zero; points at 2.85 per millimetre), horizontal resolution.
std::int32_t ConvertWhole(int from, int to, double value, const Resolution& r);
// Exact conversion (points at 72.27 per inch), horizontal resolution for
// device units. False for an unknown unit or device units without a device.
bool ConvertExact(int from, int to, double value, const Resolution& r, double* out);

// "%.2f %s" in the C locale; out holds size bytes.
bool FormatMeasure(int unit, double value, char* out, std::size_t size);
std::string FormatMeasure(int unit, double value);

// Clamps to the 16-bit boundary of results and stored positions.
std::int16_t Clamp16(std::int64_t v);
std::int32_t Clamp32(double v);

}  // namespace marpel
