#include "charges/handler/chargerecord.h"

#include <algorithm>
#include <cstring>

namespace {

void PutU16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
void PutU32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
std::uint16_t GetU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t GetU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

}  // namespace

// ------------------------------------------------------------------ record

std::int16_t ChargeRecord::Clamp(long v) {
  return static_cast<std::int16_t>(std::clamp<long>(v, 0, kMaxValue));
}

std::string_view ChargeRecord::Bounded(const std::array<char, kNumberWidth>& a) {
  const void* nul = std::memchr(a.data(), 0, a.size());
  const std::size_t n = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - a.data()) : a.size();
  return std::string_view(a.data(), n);
}

void ChargeRecord::SetBounded(std::array<char, kNumberWidth>& a, std::string_view s) {
  a.fill(0);
  // A NUL inside the text ends it there.
  s = s.substr(0, std::min(s.find('\0'), a.size() - 1));
  std::memcpy(a.data(), s.data(), s.size());
}

void ChargeRecord::Serialize(std::uint8_t* out) const {
  PutU32(out + kStartAt, start);
  PutU16(out + kDurationAt, static_cast<std::uint16_t>(duration));
  PutU16(out + kUnitsAt, static_cast<std::uint16_t>(units));
  std::memcpy(out + kCalledAt, called.data(), kNumberWidth);
  std::memcpy(out + kCallingAt, calling.data(), kNumberWidth);
}

ChargeRecord ChargeRecord::Parse(const std::uint8_t* in) {
  ChargeRecord r;
  r.start = GetU32(in + kStartAt);
  r.duration = static_cast<std::int16_t>(GetU16(in + kDurationAt));
  r.units = static_cast<std::int16_t>(GetU16(in + kUnitsAt));
  std::memcpy(r.called.data(), in + kCalledAt, kNumberWidth);
  std::memcpy(r.calling.data(), in + kCallingAt, kNumberWidth);
  return r;
}

std::array<std::uint8_t, ChargeRecord::kSize> ChargeRecord::Key() const {
  std::array<std::uint8_t, kSize> k{};
  PutU32(k.data() + kStartAt, start);
  PutU16(k.data() + kDurationAt, static_cast<std::uint16_t>(duration));
  PutU16(k.data() + kUnitsAt, static_cast<std::uint16_t>(units));
  const std::string_view a = Called(), b = Calling();
  std::memcpy(k.data() + kCalledAt, a.data(), a.size());
  std::memcpy(k.data() + kCallingAt, b.data(), b.size());
  return k;
}

bool ChargeRecord::operator==(const ChargeRecord& o) const {
  return start == o.start && duration == o.duration && units == o.units && Called() == o.Called() &&
         Calling() == o.Calling();
}

bool ChargeRecord::IsNewerThan(const ChargeRecord& o) const {
  return End() > o.End() || (End() == o.End() && !(*this == o));
}

// --------------------------------------------------------------- selection

int ChargeSelection::Flag(int i) const {
  if (i < 0 || i >= kExtensions) return 0;
  const std::uint8_t b = flags[static_cast<std::size_t>(i / 2)];
  return i % 2 == 0 ? (b & 0x0F) : (b >> 4);
}

void ChargeSelection::SetFlag(int i, int value) {
  if (i < 0 || i >= kExtensions) return;
  std::uint8_t& b = flags[static_cast<std::size_t>(i / 2)];
  const std::uint8_t v = static_cast<std::uint8_t>(value & 0x0F);
  b = i % 2 == 0 ? static_cast<std::uint8_t>((b & 0xF0) | v) : static_cast<std::uint8_t>((b & 0x0F) | (v << 4));
}

ChargeSelection ChargeSelection::Default() {
  ChargeSelection s;
  std::tm t{};
  t.tm_year = 95;
  t.tm_mon = 0;
  t.tm_mday = 1;
  t.tm_isdst = -1;
  const std::time_t from = std::mktime(&t);
  s.from = from > 0 ? static_cast<std::uint32_t>(from) : 0;
  s.to = 0;
  s.flags.fill(0x11);
  s.minUnits = 1;
  s.showNumbers = 1;
  s.minDuration = 1;
  return s;
}

void ChargeSelection::Serialize(std::uint8_t* out) const {
  PutU32(out + kSumsReadOutAt, sumsReadOut);
  PutU32(out + kRecordsReadOutAt, recordsReadOut);
  PutU32(out + kFromAt, from);
  PutU32(out + kToAt, to);
  std::memcpy(out + kFlagsAt, flags.data(), kFlagBytes);
  PutU16(out + kMinUnitsAt, minUnits);
  PutU16(out + kShowNumbersAt, showNumbers);
  PutU16(out + kMinDurationAt, minDuration);
  std::memcpy(out + kRestAt, rest.data(), kRestSize);
}

ChargeSelection ChargeSelection::Parse(const std::uint8_t* in) {
  ChargeSelection s;
  s.sumsReadOut = GetU32(in + kSumsReadOutAt);
  s.recordsReadOut = GetU32(in + kRecordsReadOutAt);
  s.from = GetU32(in + kFromAt);
  s.to = GetU32(in + kToAt);
  std::memcpy(s.flags.data(), in + kFlagsAt, kFlagBytes);
  s.minUnits = GetU16(in + kMinUnitsAt);
  s.showNumbers = GetU16(in + kShowNumbersAt);
  s.minDuration = GetU16(in + kMinDurationAt);
  std::memcpy(s.rest.data(), in + kRestAt, kRestSize);
  return s;
}

// ------------------------------------------------------------------ header

ChargeFileHeader ChargeFileHeader::Default() {
  ChargeFileHeader h;
  h.selection = ChargeSelection::Default();
  return h;
}

void ChargeFileHeader::Serialize(std::uint8_t* out) const {
  PutU32(out + kSumIndexAt, sumIndex);
  PutU32(out + kReadOffsetAt, readOffset);
  std::memcpy(out + kClearedAt, cleared.data(), kClearedSize);
  selection.Serialize(out + kSelectionAt);
}

ChargeFileHeader ChargeFileHeader::Parse(const std::uint8_t* in) {
  ChargeFileHeader h;
  h.sumIndex = GetU32(in + kSumIndexAt);
  h.readOffset = GetU32(in + kReadOffsetAt);
  std::memcpy(h.cleared.data(), in + kClearedAt, kClearedSize);
  h.selection = ChargeSelection::Parse(in + kSelectionAt);
  return h;
}
