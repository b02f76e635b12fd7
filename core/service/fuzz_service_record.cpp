// Feeds arbitrary record bytes to the line former.
#include <cstdint>
#include <cstring>
#include <string>

#include "core/service/servicerecordfile.h"

namespace {
class Digits : public IBcdNumberSource {
 public:
  int UnpackBcdNumbers(const std::uint8_t* src, std::string* a, std::string* b) override {
    std::string* out = a;
    for (int i = 0; i < 10; ++i) {
      if (src[i] == 0xFF) {
        if (out == b) break;
        out = b;
        continue;
      }
      if ((src[i] >> 4) <= 9) *out += static_cast<char>('0' + (src[i] >> 4));
      if ((src[i] & 15) <= 9) *out += static_cast<char>('0' + (src[i] & 15));
    }
    return 1;
  }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Digits digits;
  CServiceRecordFile f;
  f.Link(0, nullptr, size % 2 ? &digits : nullptr, nullptr);
  std::uint8_t rec[ServiceRecordLayout::kSize] = {};
  std::memcpy(rec, data, size < sizeof rec ? size : sizeof rec);
  std::string line = f.FormLine(rec);
  (void)line;
  return 0;
}
