// Feeds arbitrary record bytes to the line former.
#include <cstdint>
#include <cstring>
#include <string>

#include "core/service/servicerecordfile.h"
#include "core/wire/csta_events.h"

namespace {
// The digits unpacked as the message filter unpacks them.
class Digits : public IBcdNumberSource {
 public:
  int UnpackBcdNumbers(const std::uint8_t* src, std::string* a, std::string* b) override {
    return ::UnpackBcdNumbers(src, a, b);
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
