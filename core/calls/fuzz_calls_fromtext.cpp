// A call record read from outside text: every layout, and the INI form.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "core/calls/callinfo.h"
#include "fuzz/scratch.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  for (int layout = 0; layout <= 9; ++layout) {
    CCallInfo c;
    c.SetFromText(layout, text);
    for (int out = 1; out <= 8; ++out) (void)c.GetDescription(out);
  }
  static const std::string file = fuzzscratch::File("calls_fromtext.ini");
  if (FILE* f = std::fopen(file.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    CCallInfo c;
    c.Load(1, file, "E");
    (void)c.GetDescription(3);
    std::remove(file.c_str());
  }
  return 0;
}
