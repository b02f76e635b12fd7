// A speed-dial file of any bytes: what loads saves and loads back equal.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "app/lists/shortdial.h"
#include "fuzz/scratch.h"

namespace {
std::string TempName(const char* what) {
  return fuzzscratch::File(std::string(what) + ".ini");
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string in = TempName("sd_in"), out = TempName("sd_out");
  {
    std::ofstream f(in, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  std::remove(out.c_str());
  CShortDialHandler a(in);
  if (a.SaveAll(out) != 0) __builtin_trap();
  CShortDialHandler b(out);
  for (int n = 0; n < CShortDialHandler::kEntries; ++n) {
    const ShortDialEntry x = *a.GetEntry(n);
    const ShortDialEntry y = *b.GetEntry(n);
    if (x.index != y.index || x.set != y.set || x.external != y.external || x.recordRef != y.recordRef ||
        std::strcmp(x.company, y.company) || std::strcmp(x.salutation, y.salutation) || std::strcmp(x.name, y.name) ||
        std::strcmp(x.further, y.further) || std::strcmp(x.number, y.number) ||
        std::strcmp(x.entryText, y.entryText))
      __builtin_trap();
  }
  return 0;
}
