// Arbitrary bytes as a language file: the parser must only ever answer
// with a code, and a parsed file must be fully walkable.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "libs/texts/langfile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<texolan::TextGroup> groups;
  const int rc = texolan::ParseLanguageText(
      std::string_view(reinterpret_cast<const char*>(data), size), groups);
  if (rc < 0 || rc > 13 || (rc != 0 && !groups.empty())) __builtin_trap();
  std::size_t sum = 0;
  for (const auto& g : groups) {
    sum += g.description.size();
    for (const auto& e : g.entries) sum += e.description.size() + e.text.size();
    if (texolan::FindGroup(groups, g.number) == nullptr) __builtin_trap();
  }
  (void)sum;
  return 0;
}
