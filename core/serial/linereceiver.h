// The receiving half of the serial line with resynchronisation: the line
// parser and frame checker, plus a copy of the bytes of the packet in
// progress. When a packet fails (bad length, wrong sum) or stops arriving
// for a while, its bytes after the first sync byte are parsed again, so a
// packet that noise or a cut packet had swallowed is still found.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "core/wire/line_packet.h"

class CLineReceiver {
 public:
  enum class Drop { kBadLength, kBadChecksum, kBadFrame, kIdle };
  using MessageSink = std::function<void(const CSTAMessage&)>;
  using DropSink = std::function<void(Drop, std::size_t frameLength, int frameResult)>;

  void SetDropSink(DropSink sink) { onDrop_ = std::move(sink); }

  void Feed(const std::uint8_t* data, std::size_t n, const MessageSink& sink);
  // The line went quiet in the middle of a packet: give it up and parse
  // its bytes again.
  void Idle(const MessageSink& sink);
  // True while a packet has begun but not ended.
  bool InPacket() const { return !raw_.empty(); }
  void Reset();

 private:
  void Run(const MessageSink& sink);
  void Replay();

  LinePacketParser parser_;
  FrameCoder coder_;
  CSTAMessage message_;
  std::vector<std::uint8_t> raw_;      // the packet in progress, from its first sync byte
  std::vector<std::uint8_t> pending_;  // bytes still to parse
  std::size_t pos_ = 0;
  DropSink onDrop_;
};
