// Import files are read whole and handed out token by token: any content
// with any separator must come back in full, without reading past the end.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/base/textlogfile.h"
#include "fuzz/scratch.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const char* const kSeparators[] = {"\r\n", "\n", ";", "", "\t\t", "0123456789"};
  static const std::string path = fuzzscratch::File("tokens");
  if (size == 0) return 0;
  const std::string content(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
  } else {
    return 0;
  }
  CTextLogFile file;
  file.SetFileName(path.c_str());
  file.SetSeparator(kSeparators[data[0] % 6]);
  const std::string sep = file.GetSeparator();  // long ones are cut to the field
  if (!file.OpenRead()) return 0;
  std::string token, joined;
  char small[4];
  std::size_t count = 0;
  for (int r = file.FirstToken(token); r; r = file.NextToken(token)) {
    if (count++) joined += sep;
    joined += token;
  }
  // A separator at the very end gives no empty last token.
  if (joined != content && joined + sep != content) __builtin_trap();
  file.FirstToken(small, sizeof small);
  if (std::strlen(small) > 3) __builtin_trap();
  file.Close();
  std::remove(path.c_str());
  return 0;
}
