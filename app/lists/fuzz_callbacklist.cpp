// A callback list file of any bytes: loading, saving and loading again give
// the same list, and nothing reads past what exists.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "app/lists/callbacklist.h"
#include "core/callhandler/callhandler.h"
#include "platform/eventloop.h"
#include "fuzz/scratch.h"

namespace {

std::string TempName(const char* what) {
  return fuzzscratch::File(std::string(what) + ".ini");
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static plat::ManualLoop loop(1765180800);
  static const std::string in = TempName("cbl_in"), first = TempName("cbl_1"), second = TempName("cbl_2");
  {
    std::ofstream f(in, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  std::remove(first.c_str());
  std::remove(second.c_str());
  CCallHandler handler;
  CCallBackList a, b;
  a.callHandler = &handler;
  b.callHandler = &handler;
  a.Load(in);
  if (a.Save(first) != 1) __builtin_trap();
  b.Load(first);
  if (b.GetCount() != a.GetCount()) __builtin_trap();
  if (b.Save(second) != 1) __builtin_trap();
  if (ReadAll(first) != ReadAll(second)) __builtin_trap();
  return 0;
}
