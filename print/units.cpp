#include "print/units.h"

#include <cfloat>
#include <cmath>
#include <cstring>

#include "platform/text.h"

namespace marpel {

const char* UnitName(int unit) {
  switch (unit) {
    case kMm: return "mm";
    case kCm: return "cm";
    case kPt: return "pt";
    case kIn: return "in";
    case kDevice: return "";
    default: return nullptr;
  }
}

int FindUnit(std::string_view text) {
  for (int u = kMm; u <= kIn; ++u)
    if (text.find(UnitName(u)) != std::string_view::npos) return u;
  return kDevice;
}

bool ReadNumber(std::string_view t, double* value) {
  std::size_t i = 0;
  while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
  bool negative = false;
  if (i < t.size() && (t[i] == '-' || t[i] == '+')) negative = t[i++] == '-';
  double v = 0;
  bool digits = false;
  // Saturates far beyond any page: nothing overflows to infinity.
  for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i, digits = true)
    if (v < 1e30) v = v * 10 + (t[i] - '0');
  if (i < t.size() && (t[i] == '.' || t[i] == ',')) {
    double scale = 0.1;
    for (++i; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i, digits = true) {
      v += (t[i] - '0') * scale;
      scale /= 10;
    }
  }
  if (!digits) return false;
  *value = negative ? -v : v;
  return true;
}

bool ReadMeasure(std::string_view text, Measure* out) {
  out->unit = FindUnit(text);
  double v = 0;
  bool ok = ReadNumber(text, &v);
  out->value = ok ? v : 0;
  return ok;
}

namespace {

double MmPerUnit(int unit) {
  switch (unit) {
    case kMm: return 1;
    case kCm: return 10;
    case kPt: return 1 / 2.85;
    case kIn: return 25.4;
    default: return 0;
  }
}

}  // namespace

std::int32_t Clamp32(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return 2147483647;
  if (v <= -2147483648.0) return -2147483647 - 1;
  return static_cast<std::int32_t>(v);  // towards zero
}

std::int16_t Clamp16(std::int64_t v) {
  if (v > 32767) return 32767;
  if (v < -32768) return -32768;
  return static_cast<std::int16_t>(v);
}

std::int32_t ToDevice(const Measure& m, Axis axis, const Resolution& r) {
  const double perMm = axis == Axis::X ? r.perMmX : r.perMmY;
  switch (m.unit) {
    case kDevice: return Clamp32(m.value);
    case kPercent: return Clamp32(m.value * (axis == Axis::X ? r.width : r.height) / 100.0);
    default: return Clamp32(m.value * MmPerUnit(m.unit) * perMm);
  }
}

std::int32_t ConvertWhole(int from, int to, double v, const Resolution& r) {
  // R / S of the table: device units per millimetre across.
  const double rs = r.perMmX;
  double out = 0;
  if (from == to) {
    out = v;
  } else if (to == kDevice) {
    if (rs == 0) return 0;
    switch (from) {
      case kMm: out = v * rs; break;
      case kCm: out = v * 10 * rs; break;
      case kPt: out = v * rs / 2.85; break;
      case kIn: out = v * 25.4 * rs; break;
      default: return 0;
    }
  } else if (from == kDevice) {
    if (rs == 0) return 0;
    const double mm = v / rs;
    switch (to) {
      case kMm: out = mm; break;
      case kCm: out = mm / 10; break;
      case kPt: out = mm * 2.85; break;
      case kIn: out = mm / 25.4; break;
      default: return 0;
    }
  } else {
    static const double kTable[4][4] = {
        // to: mm, cm, pt, in
        {1, 1 / 10.0, 2.85, 1 / 25.4},     // from mm
        {10, 1, 28.5, 1 / 2.54},           // from cm
        {1 / 2.85, 1 / 28.5, 1, 1 / 72.27},  // from pt
        {25.4, 2.54, 72.27, 1},            // from in
    };
    if (from < kMm || from > kIn || to < kMm || to > kIn) return 0;
    out = v * kTable[from][to];
  }
  return Clamp32(out);
}

bool ConvertExact(int from, int to, double v, const Resolution& r, double* out) {
  auto mmPer = [](int u) {
    switch (u) {
      case kMm: return 1.0;
      case kCm: return 10.0;
      case kPt: return 25.4 / 72.27;
      case kIn: return 25.4;
      default: return 0.0;
    }
  };
  if (from < kMm || from > kDevice || to < kMm || to > kDevice) return false;
  if (from == to) {
    *out = v;
    return true;
  }
  if ((from == kDevice || to == kDevice) && r.perMmX <= 0) return false;
  const double mm = from == kDevice ? v / r.perMmX : v * mmPer(from);
  *out = to == kDevice ? mm * r.perMmX : mm / mmPer(to);
  return true;
}

bool FormatMeasure(int unit, double value, char* out, std::size_t size) {
  const char* name = UnitName(unit);
  if (!name || !*name || !out || size == 0) return false;
  // Every float fits: 39 digits, the sign, ".00" and the unit in 48 bytes.
  if (value > FLT_MAX) value = FLT_MAX;
  if (value < -FLT_MAX) value = -FLT_MAX;
  plat::FormatC(out, size, "%.2f %s", value, name);
  return true;
}

std::string FormatMeasure(int unit, double value) {
  char buf[64];
  return FormatMeasure(unit, value, buf, sizeof buf) ? std::string(buf) : std::string();
}

}  // namespace marpel
