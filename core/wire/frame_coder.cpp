#include "core/wire/frame_coder.h"

#include <algorithm>
#include <cstring>

using namespace frame;

namespace {

std::uint16_t GetU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

void PutU16(std::uint8_t* p, std::size_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

}  // namespace

int FrameCoder::Run(std::uint8_t* buffer, std::size_t length, std::size_t capacity, int mode) {
  if (buffer == nullptr) return kErrCoder;
  if (mode == kModeCompress) return Compress(buffer, length);
  if (mode == kModeExpand) return Expand(buffer, length, buffer, capacity);
  return kErrCoder;
}

void FrameCoder::PutBits(std::uint32_t value, int n) {
  for (int i = n - 1; i >= 0; --i) {
    accumulator_ = static_cast<std::uint16_t>((accumulator_ << 1) | ((value >> i) & 1u));
    if (--bitCount_ == 0) {
      if (writePos_ < out_.size()) out_[writePos_] = static_cast<std::uint8_t>(accumulator_);
      ++writePos_;
      accumulator_ = 0;
      bitCount_ = 8;
    }
  }
}

std::size_t FrameCoder::Flush() {
  if (bitCount_ != 8) {
    if (writePos_ < out_.size()) out_[writePos_] = static_cast<std::uint8_t>(accumulator_ << bitCount_);
    ++writePos_;
    accumulator_ = 0;
    bitCount_ = 8;
  }
  return writePos_;
}

bool FrameCoder::GetBit(int& bit) {
  if (bitCount_ == 8) {
    if (readPos_ >= inLength_) return false;  // past the stored data
    accumulator_ = in_[readPos_++];
    bitCount_ = 0;
  }
  bit = (accumulator_ >> (7 - bitCount_)) & 1;
  ++bitCount_;
  return true;
}

bool FrameCoder::GetBits(int n, std::uint32_t& value) {
  value = 0;
  for (int i = 0; i < n; ++i) {
    int bit = 0;
    if (!GetBit(bit)) return false;
    value = (value << 1) | static_cast<std::uint32_t>(bit);
  }
  return true;
}

FrameCoder::Match FrameCoder::Search(std::size_t p) {
  std::uint16_t& head = buckets_[In(p)];
  if (head == kNone) {
    head = static_cast<std::uint16_t>(p);
    return {0, 0};
  }
  Match best{0, 0};
  std::size_t q = head;
  for (;;) {
    std::size_t k = 1;
    while (k < kMatchMax && In(p + k) == In(q + k)) ++k;
    if (k > best.length) {
      best = {k, q};
      if (k == kMatchMax) return best;
    }
    const int diff = static_cast<std::int16_t>(In(p + k) - In(q + k));
    std::uint16_t& link = links_[2 * q + (diff < 0 ? 0 : 1)];
    if (link == kNone) {
      link = static_cast<std::uint16_t>(p);
      return best;
    }
    q = link;
  }
}

int FrameCoder::Compress(std::uint8_t* buffer, std::size_t length) {
  if (length > kMaxCoderInput) return kErrCoder;
  if (buffer == nullptr || length == 0) return static_cast<int>(length);
  const std::size_t L = length;
  in_ = buffer;
  inLength_ = L;

  std::fill_n(entries_.begin(), L, 0);
  std::fill_n(marks_.begin(), L, 0);
  buckets_.fill(kNone);
  std::fill_n(links_.begin(), 2 * L, kNone);
  buckets_[buffer[0]] = 0;

  // Parse: a literal or a copy at each stop; the entry table holds, per
  // copy start, its source + 1 and (one further) its length.
  Match match{0, 0};
  for (std::size_t p = 0; p < L;) {
    const std::size_t m = std::min(match.length, L - p);
    if (m <= 1) {
      ++p;
    } else {
      marks_[match.source] = 1;
      entries_[p] = static_cast<std::uint16_t>(match.source + 1);
      entries_[p + 1] = static_cast<std::uint16_t>(m);
      p += m;
    }
    if (p < L) match = Search(p);
  }

  // Emit. A copy code carries the expander's two leading flag bits inside
  // its width, hence 4 here against the expander's 2.
  writePos_ = 0;
  bitCount_ = 8;
  accumulator_ = 0;
  unsigned n = 1, limit = 4;
  int width = 4;
  for (std::size_t p = 0; p < L;) {
    if (writePos_ > L) return static_cast<int>(L);  // does not pay
    const std::uint16_t copy = entries_[p];  // read before an entry number replaces it
    bool defined = false;
    if (marks_[p]) {
      PutBits(1, 2);
      if (n == limit) {
        limit *= 2;
        ++width;
      }
      entries_[p] = static_cast<std::uint16_t>(n++);
      defined = true;
    }
    if (copy == 0) {
      PutBits(256u + buffer[p], 9);
      ++p;
    } else {
      const std::size_t source = copy - 1u;
      const std::size_t m = entries_[p + 1];
      PutBits(entries_[source], defined ? width - 1 : width);
      if (m == 2) {
        PutBits(1, 1);
      } else {
        PutBits(static_cast<std::uint32_t>(m - 3), 5);
      }
      p += m;
    }
  }
  PutBits(0, width);
  const std::size_t count = Flush();
  if (count >= L) return static_cast<int>(L);
  std::memcpy(buffer, out_.data(), count);
  return static_cast<int>(count);
}

int FrameCoder::Expand(const std::uint8_t* in, std::size_t length, std::uint8_t* out, std::size_t capacity) {
  if (in == nullptr || out == nullptr) return kErrCoder;
  in_ = in;
  inLength_ = length;
  readPos_ = 0;
  bitCount_ = 8;
  accumulator_ = 0;

  unsigned n = 1, limit = 4;
  int width = 2;
  bool defined = false;
  std::size_t pos = 1;
  for (;;) {
    if (pos > kMaxExpandPosition) return kErrCoder;
    int bit = 0;
    if (!GetBit(bit)) return kErrCoder;
    if (bit == 1) {
      std::uint32_t v = 0;
      if (!GetBits(8, v)) return kErrCoder;
      expanded_[pos++] = static_cast<std::uint8_t>(v);
      defined = false;
      continue;
    }
    if (!defined) {
      if (!GetBit(bit)) return kErrCoder;
      if (bit == 1) {
        if (n >= kEntries) return kErrCoder;
        entries_[n] = static_cast<std::uint16_t>(pos);
        if (n == limit) {
          limit *= 2;
          ++width;
        }
        ++n;
        defined = true;
        continue;
      }
    }
    defined = false;
    std::uint32_t code = 0;
    if (!GetBits(width, code)) return kErrCoder;
    if (code == 0) {
      const std::size_t produced = pos - 1;
      if (produced > capacity) return kErrCoder;
      std::memmove(out, expanded_.data() + 1, produced);
      return static_cast<int>(produced);
    }
    if (code >= n) return kErrCoder;  // entry not defined yet
    if (!GetBit(bit)) return kErrCoder;
    std::size_t count = 2;
    if (bit == 0) {
      std::uint32_t v = 0;
      if (!GetBits(4, v)) return kErrCoder;
      count = v + 3;
    }
    std::size_t source = entries_[code];
    // An entry defined right here has produced nothing yet to copy.
    if (source >= pos) return kErrCoder;
    for (std::size_t i = 0; i < count; ++i) {
      if (pos > kMaxExpandPosition) return kErrCoder;
      expanded_[pos++] = expanded_[source++];
    }
  }
}

int FrameCoder::BuildFrame(std::uint8_t* frame, std::size_t capacity) {
  if (frame == nullptr || capacity < kHeaderSize) return kErrFieldLength;
  const std::size_t plain = GetU16(frame + kPlainLengthAt);
  if (plain >= kLengthLimit || plain + kHeaderSize > capacity) return kErrFieldLength;

  std::fill_n(work_.begin(), kHeaderSize + plain, 0);
  PutU16(work_.data() + kPlainLengthAt, plain);
  std::memcpy(work_.data() + kDataAt, frame + kDataAt, plain);
  std::size_t stored = plain;
  if (plain > 1) {
    const int r = Compress(work_.data() + kDataAt, plain);
    if (r >= 1 && static_cast<std::size_t>(r) < plain) stored = static_cast<std::size_t>(r);
  }
  PutU16(work_.data() + kStoredLengthAt, stored);
  std::memcpy(frame, work_.data(), kHeaderSize + stored);
  return static_cast<int>(kHeaderSize + stored);
}

int FrameCoder::CheckFrame(std::uint8_t* frame, std::size_t capacity, std::size_t total) {
  if (total < kMinFrame || total > kMaxFrame) return kErrTotalLength;
  if (frame == nullptr || total > capacity) return kErrTotalLength;
  const std::size_t plain = GetU16(frame + kPlainLengthAt);
  const std::size_t stored = GetU16(frame + kStoredLengthAt);
  if (plain >= kLengthLimit || stored >= kLengthLimit) return kErrFieldLength;
  // A frame that claims more data than arrived is refused, not read past.
  if (kHeaderSize + stored > total || plain > capacity) return kErrFieldLength;
  if (plain == stored) {
    std::memmove(frame, frame + kDataAt, plain);
    return static_cast<int>(plain);
  }
  std::memcpy(work_.data(), frame + kDataAt, stored);
  const int n = Expand(work_.data(), stored, work_.data(), work_.size());
  if (n < 0 || static_cast<std::size_t>(n) != plain) return kErrExpandedLength;
  std::memcpy(frame, work_.data(), plain);
  return static_cast<int>(plain);
}
