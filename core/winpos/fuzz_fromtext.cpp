// Window positions come from the settings file and from a plug-in's
// parameter text: read any text in both forms and write it back.
#include <cstdint>
#include <cstring>
#include <string>

#include "core/winpos/wndposition.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (int mode : {0, 1}) {
    CWndPosition pos;
    pos.FromText(text.c_str(), mode);
    char small[8];
    pos.ToText(small, sizeof small, mode);
    if (std::strlen(small) > 7) __builtin_trap();
    CWndPosition again;
    again.showState = pos.showState;
    again.FromText(pos.ToText(mode).c_str(), mode);
    if (again.left != pos.left || again.top != pos.top || again.right != pos.right ||
        again.bottom != pos.bottom || again.showState != pos.showState)
      __builtin_trap();
  }
  return 0;
}
