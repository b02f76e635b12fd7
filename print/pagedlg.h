// The page parameters dialog (102): the twelve measures of a PAGEPARAMS
// block as texts with units, and a standard page size.
#pragma once
#include <cstdint>
#include <string>

#include "platform/win32types.h"
#include "print/marpel32.h"

namespace marpel {

struct PageField {
  int offset;  // measure index in PAGEPARAMS
  int control;
  std::uint32_t flag;
};
inline constexpr int kPageFields = 12;
extern const PageField kPageFieldTable[kPageFields];

struct PageSize {
  const char* name;
  const char* width;
  const char* height;
};
inline constexpr int kPageSizes = 7;
extern const PageSize kPageSizeTable[kPageSizes];

// "%.2f %s" of a measure with a unit name; "" for device units.
std::string FieldText(const MARPLMEASURE& m);
// A field read back: the unit name anywhere, the value a decimal number
// (point or comma). False when the text holds no number.
bool ReadField(const std::string& text, MARPLMEASURE* out);
MARPLMEASURE& MeasureAt(PAGEPARAMS& p, int offset);

// 1 when confirmed; 0 when cancelled, for a null block or an owner that is
// no window.
std::uint16_t RunPageParamsDialog(PAGEPARAMS* params, plat::WindowId owner);

}  // namespace marpel
