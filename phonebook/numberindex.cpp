#include "phonebook/numberindex.h"

#include <algorithm>

namespace {
constexpr std::uint32_t kEmpty = 0;
constexpr std::uint32_t kRemoved = 1;

struct SeparatorTable {
  bool is[256] = {};
  SeparatorTable() {
    for (const char* p = " */:.;,#-_+'=&"; *p; ++p) is[static_cast<unsigned char>(*p)] = true;
  }
};
const SeparatorTable kSeparators;

bool IsSeparator(char c) { return kSeparators.is[static_cast<unsigned char>(c)]; }
}  // namespace

std::uint32_t CNumberIndex::Hash(const char* number, std::size_t maxLen) {
  std::uint32_t h = 2166136261u;
  for (std::size_t i = 0; i < maxLen && number[i] != '\0'; ++i) {
    if (IsSeparator(number[i])) continue;
    h = (h ^ static_cast<unsigned char>(number[i])) * 16777619u;
  }
  return h;
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
