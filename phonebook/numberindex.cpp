#include "phonebook/numberindex.h"

#include <algorithm>
#include <cstring>

#include "phonebook/record.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {
constexpr std::uint32_t kEmpty = 0;
constexpr std::uint32_t kRemoved = 1;

struct SeparatorTable {
  bool is[256] = {};
  constexpr SeparatorTable() {
    for (const char* p = " */:.;,#-_+'=&"; *p; ++p) is[static_cast<unsigned char>(*p)] = true;
  }
};
constexpr SeparatorTable kSeparators;

bool IsSeparator(char c) { return kSeparators.is[static_cast<unsigned char>(c)]; }

// The hash sums the words of the number without separators (zero-padded,
// first byte lowest), each times its own odd factor: a word past the end
// adds nothing, so a field read as whole words hashes as the number read
// byte by byte does.
constexpr std::uint64_t kFactor = 0x9E3779B97F4A7C15ull;

std::uint32_t Finish(std::uint64_t h) {
  h ^= h >> 29;
  h *= 0xBF58476D1CE4E5B9ull;
  return static_cast<std::uint32_t>(h >> 32);
}

#if defined(__SSE2__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
// The record's number field without its NUL.
constexpr unsigned kFieldChars = DataBaseRecord::kNumberWidth - 1;
static_assert(kFieldChars > 16 && kFieldChars <= 24);

std::uint64_t Load64(const char* p) {
  std::uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// For each length n of a field, the bytes below n of its three words.
struct WordMasks {
  std::uint64_t of[kFieldChars + 1][3] = {};
  constexpr WordMasks() {
    for (unsigned n = 0; n <= kFieldChars; ++n)
      for (unsigned w = 0; w < 3; ++w)
        for (unsigned b = 0; b < 8; ++b)
          if (8 * w + b < n) of[n][w] |= 0xFFull << (8 * b);
  }
};
constexpr WordMasks kWordMasks;

unsigned ZeroMask(__m128i v) {
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_setzero_si128())));
}
unsigned NonDigitMask(__m128i v) {
  // '0'..'9' moved to the lowest ten signed bytes
  const __m128i x = _mm_add_epi8(v, _mm_set1_epi8(static_cast<char>(0x80 - '0')));
  return ~static_cast<unsigned>(_mm_movemask_epi8(_mm_cmplt_epi8(x, _mm_set1_epi8(-128 + 10)))) & 0xFFFFu;
}

// A number field that holds digits only up to its NUL, as almost every
// record has: hashed from whole words, without a pass over its bytes.
// False for any other, which takes the byte by byte way.
bool HashDigitField(const char* p, std::uint32_t* out) {
  constexpr unsigned kTail = kFieldChars - 16;  // the second load overlaps the first
  const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + kTail));
  const unsigned n = static_cast<unsigned>(__builtin_ctz(ZeroMask(a) | ZeroMask(b) << kTail | 1u << kFieldChars));
  if ((NonDigitMask(a) | NonDigitMask(b) << kTail) & ((1u << n) - 1)) return false;
  const std::uint64_t* m = kWordMasks.of[n];
  // bytes 16 up to the field's end, without reading past it
  const std::uint64_t w2 = Load64(p + kFieldChars - 8) >> (8 * (24 - kFieldChars));
  *out = Finish((Load64(p) & m[0]) * kFactor + (Load64(p + 8) & m[1]) * (kFactor * kFactor) +
                (w2 & m[2]) * (kFactor * kFactor * kFactor));
  return true;
}
#else
constexpr unsigned kFieldChars = 0;
bool HashDigitField(const char*, std::uint32_t*) { return false; }
#endif
}  // namespace

std::uint32_t CNumberIndex::Hash(const char* number, std::size_t maxLen) {
  std::uint32_t fast;
  if (maxLen == kFieldChars && HashDigitField(number, &fast)) return fast;
  std::uint64_t sum = 0, word = 0, factor = kFactor;
  unsigned inWord = 0;
  for (std::size_t i = 0; i < maxLen && number[i] != '\0'; ++i) {
    if (IsSeparator(number[i])) continue;
    word |= static_cast<std::uint64_t>(static_cast<unsigned char>(number[i])) << (8 * inWord);
    if (++inWord == 8) {
      sum += word * factor;
      factor *= kFactor;
      word = 0;
      inWord = 0;
    }
  }
  return Finish(sum + word * factor);
}

void CNumberIndex::Clear() {
  slots_.clear();
  live_ = used_ = 0;
}

void CNumberIndex::Reserve(std::size_t records) {
  std::size_t want = 64;
  while (want < records * 2 + 2) want *= 2;
  if (want <= slots_.size()) return;
  std::vector<Slot> old;
  old.swap(slots_);
  slots_.assign(want, Slot{0, kEmpty});
  live_ = used_ = 0;
  // Re-adding in offset order keeps equal hashes in file order.
  std::vector<Slot> keep;
  keep.reserve(old.size());
  for (const Slot& s : old)
    if (s.offset > kRemoved) keep.push_back(s);
  std::sort(keep.begin(), keep.end(), [](const Slot& a, const Slot& b) { return a.offset < b.offset; });
  for (const Slot& s : keep) Add(s.hash, s.offset);
}

void CNumberIndex::Grow() { Reserve(slots_.size()); }

void CNumberIndex::Add(std::uint32_t hash, std::uint32_t offset) {
  if (slots_.empty() || (used_ + 1) * 2 > slots_.size()) Grow();
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    if (slots_[i].offset == kEmpty) {
      slots_[i] = Slot{hash, offset};
      ++live_;
      ++used_;
      return;
    }
  }
}

void CNumberIndex::AddMany(const Entry* entries, std::size_t n) {
  if ((used_ + n + 1) * 2 > slots_.size()) Reserve(used_ + n);  // no growth on the way
  Slot* const slots = slots_.data();
  const std::size_t mask = slots_.size() - 1;
  for (const Entry* e = entries; e != entries + n; ++e) {
    std::size_t i = e->hash & mask;
    while (slots[i].offset != kEmpty) i = (i + 1) & mask;
    slots[i] = Slot{e->hash, e->offset};
  }
  live_ += n;
  used_ += n;
}

void CNumberIndex::Remove(std::uint32_t hash, std::uint32_t offset) {
  if (slots_.empty()) return;
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = hash & mask; slots_[i].offset != kEmpty; i = (i + 1) & mask) {
    if (slots_[i].hash == hash && slots_[i].offset == offset) {
      slots_[i].offset = kRemoved;
      --live_;
      return;
    }
  }
}

std::vector<std::uint32_t> CNumberIndex::Candidates(std::uint32_t hash) const {
  std::vector<std::uint32_t> out;
  if (slots_.empty()) return out;
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = hash & mask; slots_[i].offset != kEmpty; i = (i + 1) & mask)
    if (slots_[i].hash == hash && slots_[i].offset > kRemoved) out.push_back(slots_[i].offset);
  std::sort(out.begin(), out.end());
  return out;
}
