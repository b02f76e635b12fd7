// The serial frame and its dictionary coder.
//
// SerialFrame (little-endian): u8 flag (0), u16 plain length P, u16 stored
// length S, then S data bytes: the message itself when S == P, else its
// compressed form.
//
// The coder's bit stream, most significant bit first, the last byte padded
// with zeros: "1" + 8 bits is a literal; "0 1" (only right after a literal
// or copy) defines the next dictionary entry at the current output
// position; otherwise "0" [+ "0" unless an entry was just defined] + a
// w-bit code: 0 ends the stream, k copies from entry k, followed by "1"
// for 2 bytes or "0" + 4 bits v for v + 3 bytes. w starts at 2 and grows by
// one each time the entry count reaches the doubling limit (4, 8, ...).
//
// A FrameCoder holds all tables of one caller; it allocates nothing and
// keeps nothing from one call to the next. Give each thread its own.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

namespace frame {
inline constexpr std::size_t kHeaderSize = 5;
inline constexpr std::size_t kFlagAt = 0;
inline constexpr std::size_t kPlainLengthAt = 1;
inline constexpr std::size_t kStoredLengthAt = 3;
inline constexpr std::size_t kDataAt = 5;
// Longest input that the compressor takes.
inline constexpr std::size_t kMaxCoderInput = 1024;
// A received frame is 7 to 1024 bytes long; its lengths stay below 1024.
inline constexpr std::size_t kMinFrame = 7;
inline constexpr std::size_t kMaxFrame = 1024;
inline constexpr std::size_t kLengthLimit = 1024;
// The expander's output positions run from 1 to this.
inline constexpr std::size_t kMaxExpandPosition = 1025;
// The builder's work copy: header plus two coder inputs.
inline constexpr std::size_t kWorkFrameSize = 2053;

// Coder modes.
inline constexpr int kModeCompress = 1;
inline constexpr int kModeExpand = 2;

// Results.
inline constexpr int kErrCoder = -1;          // input too long, malformed stream, unknown mode
inline constexpr int kErrTotalLength = -8;    // received length outside 7..1024
inline constexpr int kErrFieldLength = -9;    // P or S of 1024 or more, or S beyond what arrived
inline constexpr int kErrExpandedLength = -10;  // expansion does not give P bytes

static_assert(kDataAt == kHeaderSize);
static_assert(kWorkFrameSize == kHeaderSize + 2 * kMaxCoderInput);
}  // namespace frame

class FrameCoder {
 public:
  // Mode 1 compresses `length` bytes of `buffer` in place and returns the
  // new length, or `length` (buffer untouched) when that does not shorten
  // it; above 1024 bytes the result is -1. Mode 2 expands `length` stored
  // bytes in place and returns the expanded length, -1 when the stream is
  // malformed or its result would not fit `capacity`. Other modes give -1.
  int Run(std::uint8_t* buffer, std::size_t length, std::size_t capacity, int mode);

  // Compresses `length` bytes in place; see Run.
  int Compress(std::uint8_t* buffer, std::size_t length);
  // Expands `length` stored bytes from `in` into `out` (`capacity` bytes);
  // the result is the number of bytes written or -1. `in` and `out` may be
  // the same buffer.
  int Expand(const std::uint8_t* in, std::size_t length, std::uint8_t* out, std::size_t capacity);

  // Frame builder: `frame` holds flag, the plain length P and P message
  // bytes; on return it holds the frame to send and the result is its
  // length S + 5. A message of 1 byte is never compressed. -9 when P is
  // 1024 or more or the frame does not fit `capacity`.
  int BuildFrame(std::uint8_t* frame, std::size_t capacity);

  // Frame checker: `frame` holds `total` received bytes (`capacity` is the
  // buffer's size). On success the message bytes stand at the start of the
  // buffer and the result is their count P; else -8, -9 or -10.
  int CheckFrame(std::uint8_t* frame, std::size_t capacity, std::size_t total);

 private:
  static constexpr std::uint16_t kNone = 0xFFFF;
  static constexpr std::size_t kMatchMax = 18;
  // Room for every entry an expansion can define (one per output byte and
  // one more) and for the compressor's per-position use.
  static constexpr std::size_t kEntries = frame::kMaxExpandPosition + 2;

  struct Match {
    std::size_t length;
    std::size_t source;
  };

  std::uint8_t In(std::size_t i) const { return i < inLength_ ? in_[i] : 0; }
  Match Search(std::size_t p);

  // Bit writer over out_.
  void PutBits(std::uint32_t value, int n);
  std::size_t Flush();
  // Bit reader over in_; false when the stored data runs out.
  bool GetBit(int& bit);
  bool GetBits(int n, std::uint32_t& value);

  // Compressor input (reads past its end give zero) or expander input.
  const std::uint8_t* in_ = nullptr;
  std::size_t inLength_ = 0;
  std::size_t readPos_ = 0;

  // Bit position shared by reader and writer: free (writing) or unread
  // (reading) bits of the current byte, 8 = no byte started.
  int bitCount_ = 8;
  std::uint16_t accumulator_ = 0;
  std::size_t writePos_ = 0;

  std::array<std::uint16_t, kEntries> entries_{};
  std::array<std::uint8_t, frame::kMaxCoderInput> marks_{};
  std::array<std::uint16_t, 256> buckets_{};
  std::array<std::uint16_t, 2 * frame::kMaxCoderInput> links_{};
  // Compressed bits; a step may run a few bytes past the input length
  // before the compressor gives up.
  std::array<std::uint8_t, frame::kMaxCoderInput + 16> out_{};
  // Expander output, addressed from position 1.
  std::array<std::uint8_t, frame::kMaxExpandPosition + 1> expanded_{};
  // The builder's and checker's work frame.
  std::array<std::uint8_t, frame::kWorkFrameSize> work_{};
};
