// The measure readers: a LaTeX command's argument, the text of
// MARPLAPIConvertStringToBaseUnit and the page dialog's read-back; and the
// dialog's texts read back to the value they show.
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "print/engine.h"
#include "print/marpel32.h"
#include "print/pagedlg.h"
#include "print/units.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string c = text.c_str();  // as the exports see it
  marpel::Measure m;
  const bool ok = marpel::ReadMeasure(c, &m);
  if (!std::isfinite(m.value) || (!ok && m.value != 0)) __builtin_trap();
  const marpel::Resolution r{23.6, 23.6, 4961, 7016};
  marpel::ToDevice(m, marpel::Axis::X, r);
  marpel::ToDevice(m, marpel::Axis::Y, r);
  for (int to = marpel::kMm; to <= marpel::kDevice; ++to) marpel::ConvertWhole(m.unit, to, m.value, r);

  for (const char* token : {"\\vspace{", "\\documentstyle["}) {
    const std::string cmd = token + c;
    const std::string_view arg = marpel::LatexArgument(cmd, std::strlen(token));
    if (arg.find_first_of("}]") != std::string_view::npos || arg.size() > c.size()) __builtin_trap();
  }

  MARPLMEASURE out{};
  if (MARPLAPIConvertStringToBaseUnit(c.c_str(), &out) != 1 || out.unit > MARPL_UNIT_DEVICE) __builtin_trap();
  MARPLMEASURE field{};
  if (marpel::ReadField(c, &field) != ok) __builtin_trap();

  // A shown value reads back to itself within its two decimals.
  if (size >= 5) {
    float v;
    std::memcpy(&v, data, sizeof v);
    const std::uint32_t unit = data[4] % 4;
    char shown[MARPL_UNIT_TEXT_SIZE];
    if (MARPLAPIConvertBaseUnitToString(unit, v, shown) != 1 || std::strlen(shown) >= sizeof shown) __builtin_trap();
    if (std::isfinite(v) && std::fabs(v) < 1e6f) {
      MARPLMEASURE back{};
      if (!marpel::ReadField(shown, &back) || back.unit != unit) __builtin_trap();
      if (std::fabs(back.value - v) > 0.0051 + std::fabs(v) * 1e-6) __builtin_trap();
    }
  }
  return 0;
}
