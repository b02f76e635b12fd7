// Any byte stream, in any split, through the resynchronising receiver: no
// crash, no read past a buffer, every delivered record whole.
#include <cstddef>
#include <cstdint>

#include "core/serial/linereceiver.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CLineReceiver r;
  std::size_t delivered = 0;
  const auto sink = [&](const CSTAMessage& m) { delivered += m.size() == CSTAMessage::kSize ? 1 : 0; };
  // The first byte picks the split width, so splits are explored too.
  const std::size_t step = size > 0 ? (data[0] % 64) + 1 : 1;
  for (std::size_t i = 0; i < size; i += step) r.Feed(data + i, size - i < step ? size - i : step, sink);
  r.Idle(sink);
  return delivered > size ? 1 : 0;
}
