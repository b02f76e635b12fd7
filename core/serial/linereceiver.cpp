#include "core/serial/linereceiver.h"

void CLineReceiver::Feed(const std::uint8_t* data, std::size_t n, const MessageSink& sink) {
  if (data == nullptr || n == 0) return;
  using Event = LinePacketParser::Event;
  parser_.Feed(data, n, [&](const LinePacketParser::Report& r) {
    if (r.event == Event::kFrame) {
      const int result = DecodeFrameToMessage(coder_, r.frame, line::kMaxFrame, r.length, message_);
      if (result > 0) {
        if (sink) sink(message_);
      } else if (onDrop_) {
        onDrop_(Drop::kBadFrame, r.length, result);
      }
      return;
    }
    if (onDrop_) onDrop_(r.event == Event::kBadLength ? Drop::kBadLength : Drop::kBadChecksum, r.length, 0);
  });
}

void CLineReceiver::Idle(const MessageSink& sink) {
  if (!InPacket()) return;
  if (onDrop_) onDrop_(Drop::kIdle, 0, 0);
  // Zero bytes run the waiting packet to its end, where its sum fails and
  // the parser reads its bytes again; zeros never start a packet.
  static constexpr std::uint8_t kZero = 0;
  for (std::size_t i = 0; i < line::kMaxPacket + line::kOverhead && InPacket(); ++i) Feed(&kZero, 1, sink);
}
