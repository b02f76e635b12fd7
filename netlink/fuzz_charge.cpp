// Charge records of any content: reading and formatting stay within the
// 982 bytes of a record.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "netlink/chargeformat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace netlink;
  // Exactly the record's bytes on the heap, so a read past them is caught.
  std::vector<std::uint8_t> rec(data, data + (size < kChargeRecordLimit ? size : kChargeRecordLimit));
  ChargeFields f;
  if (ReadChargeRecord(rec.data(), rec.size(), &f)) {
    const ChargeLines l = FormatChargeFields(f);
    if (l.fileLine.size() < l.line.size()) __builtin_trap();
  }
  return 0;
}
