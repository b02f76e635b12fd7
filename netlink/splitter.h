// Finds frame boundaries in received bytes. A stream keeps what is left of
// a frame until the rest arrives; a datagram is one block on its own.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "netlink/frame.h"

namespace netlink {

struct SplitLoss {
  std::uint64_t bytes = 0;   // bytes thrown away
  std::uint64_t events = 0;  // invalid headers and short blocks
};

// One per stream connection.
class StreamSplitter {
 public:
  StreamSplitter();
  void Append(const std::uint8_t* p, std::size_t n);
  // The next whole frame, or nullptr when none is complete yet. The bytes
  // stay valid until the next Append, Next or Reset. An invalid header
  // throws away everything buffered (the stream cannot be resynchronised)
  // and counts the loss.
  const std::uint8_t* Next(std::size_t* len);
  std::size_t Buffered() const { return buf_.size() - off_; }
  void Reset();
  SplitLoss loss;

 private:
  std::vector<std::uint8_t> buf_;
  std::size_t off_ = 0;
};

// Walks the frames of one received datagram in place. A block of 30 bytes
// or fewer, a frame reaching past the block and an invalid header end the
// block; what is left is counted as lost.
class BlockSplitter {
 public:
  BlockSplitter(const std::uint8_t* p, std::size_t n, SplitLoss* loss) : p_(p), n_(n), loss_(loss) {}
  const std::uint8_t* Next(std::size_t* len);

 private:
  void DropRest();
  const std::uint8_t* p_;
  std::size_t n_;
  std::size_t off_ = 0;
  SplitLoss* loss_;
};

}  // namespace netlink
