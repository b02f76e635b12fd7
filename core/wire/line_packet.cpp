#include "core/wire/line_packet.h"

#include <algorithm>
#include <cstring>

using namespace line;

std::uint16_t LineChecksum(const std::uint8_t* data, std::size_t n) {
  std::uint16_t sum = 0;
  for (std::size_t i = 0; i < n; ++i) sum = static_cast<std::uint16_t>(sum + data[i]);
  return sum;
}

std::size_t BuildLinePacket(const std::uint8_t* frame, std::size_t frameLength, std::uint8_t* out,
                            std::size_t capacity) {
  if (frame == nullptr || out == nullptr) return 0;
  if (frameLength < kMinFrame || frameLength > kMaxFrame || capacity < frameLength + kOverhead) return 0;
  out[0] = kSync;
  out[1] = kSync;
  out[2] = static_cast<std::uint8_t>(frameLength);
  out[3] = static_cast<std::uint8_t>(frameLength >> 8);
  std::memmove(out + kHeaderSize, frame, frameLength);
  const std::uint16_t sum = LineChecksum(out + kHeaderSize, frameLength);
  out[kHeaderSize + frameLength] = static_cast<std::uint8_t>(sum);
  out[kHeaderSize + frameLength + 1] = static_cast<std::uint8_t>(sum >> 8);
  return frameLength + kOverhead;
}

void LinePacketParser::Reset() {
  state_ = 0;
  expected_ = 0;
  collected_ = 0;
  sum_ = 0;
  received_ = 0;
  rawLength_ = 0;
}

bool LinePacketParser::Step(std::uint8_t b, const Sink& sink) {
  if (state_ != 0 || b == kSync) raw_[rawLength_++] = b;
  switch (state_) {
    case 0:
      if (b == kSync) state_ = 1;
      return true;
    case 1:
      if (b == kSync) {
        state_ = 2;
      } else {
        Reset();
      }
      return true;
    case 2:
      expected_ = b;
      state_ = 3;
      return true;
    case 3:
      expected_ = static_cast<std::uint16_t>(expected_ | (b << 8));
      if (expected_ >= kMinFrame && expected_ <= kMaxFrame) {
        collected_ = 0;
        sum_ = 0;
        state_ = 4;
        return true;
      }
      if (sink) sink({Event::kBadLength, nullptr, expected_, 0, 0});
      return false;
    case 4:
      frame_[collected_++] = b;
      sum_ = static_cast<std::uint16_t>(sum_ + b);
      if (collected_ == expected_) state_ = 5;
      return true;
    case 5:
      received_ = b;
      state_ = 6;
      return true;
    case 6: {
      received_ = static_cast<std::uint16_t>(received_ | (b << 8));
      const bool good = received_ == sum_;
      const Report r{good ? Event::kFrame : Event::kBadChecksum, frame_.data(), expected_, sum_, received_};
      if (sink) sink(r);
      if (good) Reset();
      return good;
    }
    default:
      Reset();
      return true;
  }
}

// A refused packet may hide the start of a good one (a stray sync byte
// before it, or a packet cut short by the next one): read its bytes again
// from the one after its first sync byte. Each refusal moves the start on by
// at least one byte, so this ends.
void LinePacketParser::Rescan(const Sink& sink) {
  const std::size_t length = rawLength_;
  std::copy_n(raw_.begin(), length, replay_.begin());
  std::size_t start = 1;
  for (;;) {
    Reset();
    std::size_t j = start;
    bool refused = false;
    for (; j < length; ++j) {
      if (!Step(replay_[j], sink)) {
        refused = true;
        break;
      }
    }
    if (!refused) return;
    start = j - rawLength_ + 2;  // one past the refused packet's first byte
  }
}

void LinePacketParser::GiveUp(const Sink& sink) {
  if (state_ != 0) Rescan(sink);
}

void LinePacketParser::Feed(const std::uint8_t* data, std::size_t n, const Sink& sink) {
  if (data == nullptr) return;
  for (std::size_t i = 0; i < n; ++i) {
    if (state_ == 4) {
      // Take as much of this read as the frame still needs.
      const std::size_t take = std::min<std::size_t>(expected_ - collected_, n - i);
      for (std::size_t k = 0; k < take; ++k) {
        const std::uint8_t b = data[i + k];
        frame_[collected_ + k] = b;
        raw_[rawLength_ + k] = b;
        sum_ = static_cast<std::uint16_t>(sum_ + b);
      }
      collected_ += take;
      rawLength_ += take;
      i += take - 1;
      if (collected_ == expected_) state_ = 5;
      continue;
    }
    if (!Step(data[i], sink)) Rescan(sink);
  }
}

std::size_t EncodeMessagePacket(FrameCoder& coder, const std::uint8_t* message, std::size_t length,
                                std::uint8_t* out, std::size_t capacity) {
  if (message == nullptr || out == nullptr || length >= frame::kLengthLimit) return 0;
  std::array<std::uint8_t, frame::kHeaderSize + frame::kLengthLimit> work{};
  work[frame::kPlainLengthAt] = static_cast<std::uint8_t>(length);
  work[frame::kPlainLengthAt + 1] = static_cast<std::uint8_t>(length >> 8);
  std::memcpy(work.data() + frame::kDataAt, message, length);
  const int f = coder.BuildFrame(work.data(), work.size());
  if (f < 0) return 0;
  return BuildLinePacket(work.data(), static_cast<std::size_t>(f), out, capacity);
}

std::size_t EncodeMessagePacket(FrameCoder& coder, const CSTAMessage& message, std::uint8_t* out,
                                std::size_t capacity) {
  return EncodeMessagePacket(coder, message.data(), CSTASendLength(message.Type()), out, capacity);
}

int DecodeFrameToMessage(FrameCoder& coder, std::uint8_t* frame, std::size_t capacity, std::size_t total,
                         CSTAMessage& out) {
  const int n = coder.CheckFrame(frame, capacity, total);
  // A message longer than the record is cut to it.
  if (n > 0) out = CSTAMessage::FromBytes(frame, static_cast<std::size_t>(n));
  return n;
}

void SerialReceiver::Feed(const std::uint8_t* data, std::size_t n, const Sink& sink) {
  parser_.Feed(data, n, [&](const LinePacketParser::Report& r) {
    Result res{r.event, 0, r.length, nullptr};
    if (r.event == LinePacketParser::Event::kFrame) {
      res.frameResult = DecodeFrameToMessage(coder_, r.frame, kMaxFrame, r.length, message_);
      if (res.frameResult > 0) res.message = &message_;
    }
    if (sink) sink(res);
  });
}
