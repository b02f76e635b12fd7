// Dates typed by the user are read against a format pattern: the input is
// "text" NUL "pattern".
#include <cstdint>
#include <cstring>
#include <string>

#include "core/base/globalconfig.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string all(reinterpret_cast<const char*>(data), size);
  const std::size_t cut = all.find('\0');
  const std::string text = all.substr(0, cut);
  const std::string pattern = cut == std::string::npos ? "DD.MM.YY" : all.substr(cut + 1);
  CGlobalConfig::ParseDateByPattern(text.c_str(), pattern.c_str());

  // The replacing helper must never write past its buffer.
  char buf[32];
  std::strncpy(buf, text.c_str(), sizeof buf - 1);
  buf[sizeof buf - 1] = '\0';
  const std::size_t n = CGlobalConfig::ReplaceToken(buf, sizeof buf, "%RemoteNumber%", pattern.c_str());
  if (n > sizeof buf || (n && std::strlen(buf) + 1 != n)) __builtin_trap();
  return 0;
}
