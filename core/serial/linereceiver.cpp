#include "core/serial/linereceiver.h"

#include <algorithm>
#include <cstring>

void CLineReceiver::Reset() {
  parser_.Reset();
  raw_.clear();
  pending_.clear();
  pos_ = 0;
}

void CLineReceiver::Feed(const std::uint8_t* data, std::size_t n, const MessageSink& sink) {
  if (data == nullptr || n == 0) return;
  if (pos_ >= pending_.size()) {
    pending_.clear();
    pos_ = 0;
  }
  pending_.insert(pending_.end(), data, data + n);
  Run(sink);
}

void CLineReceiver::Idle(const MessageSink& sink) {
  if (raw_.empty()) return;
  if (onDrop_) onDrop_(Drop::kIdle, 0, 0);
  Replay();
  Run(sink);
}

void CLineReceiver::Replay() {
  parser_.Reset();
  // Everything after the failed packet's first sync byte is parsed again.
  const std::size_t keep = raw_.size() > 1 ? raw_.size() - 1 : 0;
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(pos_));
  pending_.insert(pending_.begin(), raw_.end() - static_cast<std::ptrdiff_t>(keep), raw_.end());
  pos_ = 0;
  raw_.clear();
}

void CLineReceiver::Run(const MessageSink& sink) {
  using Event = LinePacketParser::Event;
  while (pos_ < pending_.size()) {
    const std::size_t avail = pending_.size() - pos_;
    std::size_t take = 1;
    if (parser_.State() == 0) {
      const void* s = std::memchr(pending_.data() + pos_, line::kSync, avail);
      if (s == nullptr) {
        pos_ = pending_.size();
        break;
      }
      pos_ = static_cast<std::size_t>(static_cast<const std::uint8_t*>(s) - pending_.data());
      raw_.clear();
    } else if (parser_.State() == 4 && raw_.size() >= line::kHeaderSize) {
      // The rest of the packet in one piece; the parser ends it at its sum.
      const std::size_t total = (raw_[2] | (raw_[3] << 8)) + line::kOverhead;
      take = std::min(total > raw_.size() ? total - raw_.size() : 1, avail);
    }

    bool ended = false;
    Event event = Event::kFrame;
    int result = 0;
    std::size_t length = 0;
    parser_.Feed(pending_.data() + pos_, take, [&](const LinePacketParser::Report& r) {
      ended = true;
      event = r.event;
      length = r.length;
      if (r.event == Event::kFrame)
        result = DecodeFrameToMessage(coder_, r.frame, line::kMaxFrame, r.length, message_);
    });
    raw_.insert(raw_.end(), pending_.begin() + static_cast<std::ptrdiff_t>(pos_),
                pending_.begin() + static_cast<std::ptrdiff_t>(pos_ + take));
    pos_ += take;

    if (!ended) {
      if (parser_.State() == 0) raw_.clear();  // a lone sync byte
      continue;
    }
    if (event == Event::kFrame) {
      raw_.clear();
      if (result > 0) {
        if (sink) sink(message_);
      } else if (onDrop_) {
        onDrop_(Drop::kBadFrame, length, result);
      }
      continue;
    }
    if (onDrop_) onDrop_(event == Event::kBadLength ? Drop::kBadLength : Drop::kBadChecksum, length, 0);
    Replay();
  }
  if (pos_ >= pending_.size()) {
    pending_.clear();
    pos_ = 0;
  }
}
