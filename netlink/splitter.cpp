#include "netlink/splitter.h"

namespace netlink {

StreamSplitter::StreamSplitter() { buf_.reserve(2 * kRecvChunk + kMaxFrame); }

void StreamSplitter::Append(const std::uint8_t* p, std::size_t n) {
  if (off_ > 0) {
    buf_.erase(buf_.begin(), buf_.begin() + static_cast<std::ptrdiff_t>(off_));
    off_ = 0;
  }
  buf_.insert(buf_.end(), p, p + n);
}

const std::uint8_t* StreamSplitter::Next(std::size_t* len) {
  const std::size_t avail = buf_.size() - off_;
  if (avail == 0) return nullptr;
  const std::uint8_t* p = buf_.data() + off_;
  std::size_t n = 0;
  switch (FrameLength(p, avail, &n)) {
    case Length::NeedMore:
      return nullptr;
    case Length::RestOfBlock:
      n = kMaxFrame;
      [[fallthrough]];
    case Length::Frame:
      if (avail < n) return nullptr;
      off_ += n;
      *len = n;
      return p;
    case Length::Invalid:
      loss.bytes += avail;
      ++loss.events;
      buf_.clear();
      off_ = 0;
      return nullptr;
  }
  return nullptr;
}

void StreamSplitter::Reset() {
  buf_.clear();
  off_ = 0;
}

void BlockSplitter::DropRest() {
  if (off_ < n_) {
    loss_->bytes += n_ - off_;
    ++loss_->events;
  }
  off_ = n_;
}

const std::uint8_t* BlockSplitter::Next(std::size_t* len) {
  const std::size_t avail = n_ - off_;
  if (avail == 0) return nullptr;
  if (avail < kHeaderSize) {
    DropRest();
    return nullptr;
  }
  const std::uint8_t* p = p_ + off_;
  std::size_t n = 0;
  switch (FrameLength(p, avail, &n)) {
    case Length::RestOfBlock:
      n = avail;
      break;
    case Length::Frame:
      if (n <= avail) break;
      DropRest();
      return nullptr;
    default:
      DropRest();
      return nullptr;
  }
  off_ += n;
  *len = n;
  return p;
}

}  // namespace netlink
