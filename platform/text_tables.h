// The one Windows-1252 table, used by the UTF-8 and the QString conversions.
// The five bytes the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) map to the control characters of the same number, so every byte
// survives a round trip.
#pragma once
#include <cstdint>

namespace plat::detail {

char32_t Cp1252ToUnicode(unsigned char c);
// '?' for characters the code page lacks.
unsigned char UnicodeToCp1252(char32_t u);

}  // namespace plat::detail
