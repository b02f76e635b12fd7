// The server address of the system connection dialog: any stored text is
// split into the four edits and joined again; a join gives a dotted quad
// of four numbers up to 255, or fails.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/dialogs/systemconnectiondlg.h"

namespace {

bool IsQuad(const std::string& s) {
  int parts = 0;
  std::size_t i = 0;
  while (i <= s.size()) {
    std::size_t j = s.find('.', i);
    if (j == std::string::npos) j = s.size();
    const std::string p = s.substr(i, j - i);
    if (p.empty() || p.size() > 3 || p.find_first_not_of("0123456789") != std::string::npos) return false;
    if (std::atoi(p.c_str()) > 255 || (p.size() > 1 && p[0] == '0')) return false;
    ++parts;
    i = j + 1;
  }
  return parts == 4;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const sysconn::AddressParts parts = sysconn::SplitServerAddress(text);
  std::string joined;
  if (sysconn::JoinServerAddress(parts, &joined) && !IsQuad(joined)) std::abort();
  // The same text cut into four edits as a user could type them.
  sysconn::AddressParts typed;
  for (std::size_t i = 0; i < 4; ++i) typed[i] = text.substr(std::min(size, i * size / 4), size / 4 + 1);
  joined.clear();
  if (sysconn::JoinServerAddress(typed, &joined) && !IsQuad(joined)) std::abort();
  return 0;
}
