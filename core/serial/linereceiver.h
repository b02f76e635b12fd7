// The receiving half of the serial line: the line parser (which reads a
// refused packet's bytes again for a hidden good one) and the frame
// checker, plus the one case the parser cannot settle by itself: a packet
// cut off by a quiet line. Idle() gives that packet up, so the whole
// packets that its length had swallowed come out at once instead of
// whenever the PBX next speaks.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>

#include "core/wire/line_packet.h"

class CLineReceiver {
 public:
  enum class Drop { kBadLength, kBadChecksum, kBadFrame, kIdle };
  using MessageSink = std::function<void(const CSTAMessage&)>;
  using DropSink = std::function<void(Drop, std::size_t frameLength, int frameResult)>;
  // Every frame whose sum matched, once checked: its length F and the
  // checker's result (the message length, or the error).
  using CheckSink = std::function<void(std::size_t frameLength, int frameResult)>;

  void SetDropSink(DropSink sink) { onDrop_ = std::move(sink); }
  void SetCheckSink(CheckSink sink) { onCheck_ = std::move(sink); }

  void Feed(const std::uint8_t* data, std::size_t n, const MessageSink& sink);
  // The line went quiet in the middle of a packet: give it up.
  void Idle(const MessageSink& sink);
  // True while a packet has begun but not ended.
  bool InPacket() const { return parser_.State() != 0; }
  void Reset() { parser_.Reset(); }

 private:
  void Report(const LinePacketParser::Report& r, const MessageSink& sink);

  LinePacketParser parser_;
  FrameCoder coder_;
  CSTAMessage message_;
  DropSink onDrop_;
  CheckSink onCheck_;
};
