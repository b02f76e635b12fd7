// A byte stream in the splits that its first byte chooses: the receiver
// must take it whole and report each packet the same way as fed at once.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/wire/line_packet.h"

namespace {

struct Seen {
  int event;
  int result;
  std::size_t length;
  bool operator==(const Seen&) const = default;
};

std::vector<Seen> Run(const std::uint8_t* data, std::size_t size, std::size_t step) {
  static SerialReceiver rx;
  rx.Reset();
  std::vector<Seen> seen;
  auto sink = [&](const SerialReceiver::Result& r) {
    seen.push_back({static_cast<int>(r.event), r.frameResult, r.frameLength});
  };
  for (std::size_t i = 0; i < size; i += step) rx.Feed(data + i, std::min(step, size - i), sink);
  return seen;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t step = 1 + data[0] % 64;
  ++data;
  --size;
  if (Run(data, size, size == 0 ? 1 : size) != Run(data, size, step)) std::abort();
  return 0;
}
