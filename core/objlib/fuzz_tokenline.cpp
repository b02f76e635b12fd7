// Feeds a column template line (first byte picks the separator) through the
// token line and reads every token back.
#include <cstdint>
#include <cstring>
#include <string>

#include "core/objlib/xtokenline.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const char* const kSeparators[] = {",", "\t", "\r\n", "", "ab", nullptr};
  XTokenLine line;
  std::string text;
  if (size > 0) {
    line.SetSeparator(kSeparators[data[0] % 6]);
    text.assign(reinterpret_cast<const char*>(data) + 1, size - 1);
  }
  const int n = line.Parse(text.c_str());
  for (int i = 0; i <= n; ++i) {
    const char* a = line.GetTokenAt(static_cast<std::size_t>(i));
    const char* b = line.GetToken(static_cast<std::size_t>(i));
    if ((a == nullptr) != (i == n) || (b == nullptr) != (i == n)) __builtin_trap();
    if (a && (std::strlen(a) > XTokenLine::kMaxTokenChars || std::strcmp(a, b) != 0)) __builtin_trap();
  }
  return 0;
}
