// The line packet that carries one serial frame on the PBX's serial line:
// 0x16 0x16, u16 frame length F, the F frame bytes, u16 sum of those bytes
// (modulo 65536), all little-endian; F + 6 bytes in all.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "core/wire/csta_message.h"
#include "core/wire/frame_coder.h"

namespace line {
inline constexpr std::uint8_t kSync = 0x16;
inline constexpr std::size_t kHeaderSize = 4;
inline constexpr std::size_t kOverhead = 6;
inline constexpr std::size_t kMinFrame = 6;
inline constexpr std::size_t kMaxFrame = 1024;
inline constexpr std::size_t kMaxPacket = kMaxFrame + kOverhead;
}  // namespace line

std::uint16_t LineChecksum(const std::uint8_t* data, std::size_t n);

// Writes the packet for `frameLength` frame bytes into `out`. Result F + 6,
// or 0 when F lies outside 6..1024 or `capacity` is too small.
std::size_t BuildLinePacket(const std::uint8_t* frame, std::size_t frameLength, std::uint8_t* out,
                            std::size_t capacity);

// Cuts a byte stream into frames. Bytes may come in any split, from one at
// a time to many packets at once; the state carries over between calls.
// Noise before a packet is skipped; a length outside 6..1024 or a wrong sum
// drops the packet, and the parser looks for the next 0x16 0x16 again from
// the byte after the refused packet's first sync byte, so a stray sync byte
// or a truncated packet costs no valid packet after it.
class LinePacketParser {
 public:
  enum class Event { kFrame, kBadLength, kBadChecksum };
  struct Report {
    Event event;
    // kFrame: the parser's frame buffer, which the sink may work on in
    // place (it holds kMaxFrame bytes); valid during the call only.
    std::uint8_t* frame;
    std::size_t length;        // F
    std::uint16_t sum;         // the sum of the received frame bytes
    std::uint16_t received;    // the sum that the packet carried
  };
  using Sink = std::function<void(const Report&)>;

  void Feed(const std::uint8_t* data, std::size_t n, const Sink& sink);
  // Gives up the packet being read (the line went quiet in its middle) and
  // reads its bytes again for a good packet it may have swallowed.
  void GiveUp(const Sink& sink);
  void Reset();
  // 0 waiting for sync ... 6 waiting for the sum's high byte.
  int State() const { return state_; }

 private:
  // One byte through the state machine; false when it refused a packet
  // (its bytes are then in raw_).
  bool Step(std::uint8_t b, const Sink& sink);
  void Rescan(const Sink& sink);

  int state_ = 0;
  std::uint16_t expected_ = 0;
  std::size_t collected_ = 0;
  std::uint16_t sum_ = 0;
  std::uint16_t received_ = 0;
  std::array<std::uint8_t, line::kMaxFrame> frame_{};
  // The bytes of the packet being read, from its first sync byte.
  std::array<std::uint8_t, line::kMaxPacket> raw_{};
  std::size_t rawLength_ = 0;
  std::array<std::uint8_t, line::kMaxPacket> replay_{};
};

// Sending side: the first CSTASendLength(type) bytes of the record as a
// frame (compressed when that is shorter) inside a line packet. Result the
// packet length, 0 when it does not fit `capacity`.
std::size_t EncodeMessagePacket(FrameCoder& coder, const CSTAMessage& message, std::uint8_t* out,
                                std::size_t capacity);
// The same for `length` message bytes.
std::size_t EncodeMessagePacket(FrameCoder& coder, const std::uint8_t* message, std::size_t length,
                                std::uint8_t* out, std::size_t capacity);

// Receiving side: checks and expands a received frame (see
// FrameCoder::CheckFrame) and, for a positive length n, fills `out` with
// its first 982 bytes at most, zero after them. Result n or the checker's
// error code; `out` is untouched unless n > 0.
int DecodeFrameToMessage(FrameCoder& coder, std::uint8_t* frame, std::size_t capacity, std::size_t total,
                         CSTAMessage& out);

// Parser and coder together: the receiving half of the serial link.
class SerialReceiver {
 public:
  struct Result {
    LinePacketParser::Event event;
    int frameResult;                 // kFrame: the checker's result
    std::size_t frameLength;         // F
    const CSTAMessage* message;      // set when frameResult > 0
  };
  using Sink = std::function<void(const Result&)>;

  void Feed(const std::uint8_t* data, std::size_t n, const Sink& sink);
  void Reset() { parser_.Reset(); }

 private:
  FrameCoder coder_;
  LinePacketParser parser_;
  CSTAMessage message_;
};
