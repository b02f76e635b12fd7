// A received frame of any content: the checker answers a length or one of
// its error codes and never reads or writes outside the frame buffer.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/wire/csta_message.h"
#include "core/wire/line_packet.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static FrameCoder coder;
  if (size > frame::kMaxFrame) size = frame::kMaxFrame;
  // Exactly the received bytes, so that the sanitizer sees any overrun;
  // the message may be longer than the frame, so give the buffer room.
  std::vector<std::uint8_t> buf(data, data + size);
  buf.resize(frame::kMaxFrame);
  CSTAMessage m;
  const int n = DecodeFrameToMessage(coder, buf.data(), buf.size(), size, m);
  if (n > 0 && n >= static_cast<int>(frame::kLengthLimit)) std::abort();
  if (n < 0 && n != frame::kErrTotalLength && n != frame::kErrFieldLength && n != frame::kErrExpandedLength)
    std::abort();
  return 0;
}
