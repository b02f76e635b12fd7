// The program keys' command line from any setting and any partner number:
// the number reaches an argument only as a dial string, and only where the
// token stood.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/callwin/programline.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string in(reinterpret_cast<const char*>(data), size);
  const std::size_t cut = in.find('\n');
  const std::string setting = in.substr(0, cut);
  const std::string number = cut == std::string::npos ? std::string() : in.substr(cut + 1);
  ProgramCommand cmd;
  const bool ok = BuildProgramCommand(setting, number, &cmd);
  if (!ok && (!cmd.program.empty() || !cmd.args.empty())) std::abort();
  if (ok && cmd.program.empty()) std::abort();
  const bool good = IsDialString(number);
  if (cmd.numberRefused && (good || number.empty())) std::abort();
  // Nothing of a refused number gets through, and a word never holds a
  // blank that the setting did not quote.
  if (!good && !number.empty() && number.find_first_not_of("0123456789+*#") != std::string::npos) {
    for (const std::string& a : cmd.args)
      if (a.find(number) != std::string::npos && setting.find(number) == std::string::npos) std::abort();
  }
  return 0;
}
