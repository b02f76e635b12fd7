#include "core/serial/linereceiver.h"

void CLineReceiver::Report(const LinePacketParser::Report& r, const MessageSink& sink) {
  using Event = LinePacketParser::Event;
  if (r.event == Event::kFrame) {
    const int result = DecodeFrameToMessage(coder_, r.frame, line::kMaxFrame, r.length, message_);
    if (onCheck_) onCheck_(r.length, result);
    if (result > 0) {
      if (sink) sink(message_);
    } else if (onDrop_) {
      onDrop_(Drop::kBadFrame, r.length, result);
    }
    return;
  }
  if (onDrop_) onDrop_(r.event == Event::kBadLength ? Drop::kBadLength : Drop::kBadChecksum, r.length, 0);
}

void CLineReceiver::Feed(const std::uint8_t* data, std::size_t n, const MessageSink& sink) {
  if (data == nullptr || n == 0) return;
  parser_.Feed(data, n, [&](const LinePacketParser::Report& r) { Report(r, sink); });
}

void CLineReceiver::Idle(const MessageSink& sink) {
  if (!InPacket()) return;
  if (onDrop_) onDrop_(Drop::kIdle, 0, 0);
  parser_.GiveUp([&](const LinePacketParser::Report& r) { Report(r, sink); });
}
