// The program keys' command line from any setting and any partner number:
// the number reaches an argument only as a dial string, and only where the
// token stood; a refused number leaves what no number leaves.
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
  // A refused number leaves the same words as no number at all: the token
  // gives way to the empty text, whatever its neighbours then spell.
  if (!good) {
    ProgramCommand none;
    BuildProgramCommand(setting, std::string(), &none);
    if (none.program != cmd.program || none.args != cmd.args) std::abort();
  }
  // A dial string stands where the token stood, and only there.
  if (good && ok) {
    ProgramCommand none;
    BuildProgramCommand(setting, std::string(), &none);
    if (none.args.size() != cmd.args.size()) std::abort();
    int changed = 0;
    for (std::size_t i = 0; i < cmd.args.size(); ++i) {
      if (cmd.args[i] == none.args[i]) continue;
      ++changed;
      if (cmd.args[i].size() != none.args[i].size() + number.size()) std::abort();
    }
    if (changed > 1) std::abort();
  }
  return 0;
}
