// The monitor table loaded from an arbitrary speed-dial file, then looked
// up with the file's own bytes as a number.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "core/base/globalconfig.h"
#include "core/monitor/monitortable.h"
#include "fuzz/scratch.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string file = fuzzscratch::File("monitor_load.ini");
  FILE* f = std::fopen(file.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  GlobalConfig().SDFN = file;
  {
    CMonitorTable t;
    std::string text(reinterpret_cast<const char*>(data), size);
    (void)t.FindByNumber(text);
    t.ResetCursor();
    while (!t.Next(2, false, false).empty()) {
    }
    // Saved by the destructor into the same file.
  }
  GlobalConfig().SDFN.clear();
  std::remove(file.c_str());
  return 0;
}
