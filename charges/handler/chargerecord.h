// The charge subsystem's stored layouts: the 48-byte call record of the
// charge file and of the selection file, the 148-byte selection and the
// 256-byte header that holds it. Little-endian, field by field at fixed
// offsets; texts are NUL-terminated Windows-1252 in fixed fields.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

struct ChargeRecord {
  static constexpr std::size_t kSize = 48;
  static constexpr std::size_t kStartAt = 0;
  static constexpr std::size_t kDurationAt = 4;
  static constexpr std::size_t kUnitsAt = 6;
  static constexpr std::size_t kCalledAt = 8;
  static constexpr std::size_t kCallingAt = 28;
  static constexpr std::size_t kNumberWidth = 20;
  static constexpr std::int16_t kMaxValue = 32767;

  std::uint32_t start = 0;  // seconds since 1970 UTC; 0 is an empty record
  std::int16_t duration = 0;
  std::int16_t units = 0;
  std::array<char, kNumberWidth> called{};
  std::array<char, kNumberWidth> calling{};

  // Texts end at their first NUL or at the field's end.
  std::string_view Called() const { return Bounded(called); }
  std::string_view Calling() const { return Bounded(calling); }
  // Cut to 19 characters and a NUL; the rest of the field is zero.
  void SetCalled(std::string_view s) { SetBounded(called, s); }
  void SetCalling(std::string_view s) { SetBounded(calling, s); }
  // Clamped to 0..32767.
  static std::int16_t Clamp(long v);

  std::uint64_t End() const { return static_cast<std::uint64_t>(start) + static_cast<std::uint64_t>(duration); }
  void Clear() { *this = ChargeRecord{}; }

  void Serialize(std::uint8_t* out) const;
  static ChargeRecord Parse(const std::uint8_t* in);
  // The record as stored, with every byte after a text's NUL zero: equal
  // records (texts compared as texts) give equal keys.
  std::array<std::uint8_t, kSize> Key() const;

  // All five fields equal, the texts as texts.
  bool operator==(const ChargeRecord& o) const;
  // Ends later, or ends at the same second and differs.
  bool IsNewerThan(const ChargeRecord& o) const;

 private:
  static std::string_view Bounded(const std::array<char, kNumberWidth>& a);
  static void SetBounded(std::array<char, kNumberWidth>& a, std::string_view s);
};

struct ChargeSelection {
  static constexpr std::size_t kSize = 148;
  static constexpr std::size_t kSumsReadOutAt = 0;
  static constexpr std::size_t kRecordsReadOutAt = 4;
  static constexpr std::size_t kFromAt = 8;
  static constexpr std::size_t kToAt = 12;
  static constexpr std::size_t kFlagsAt = 16;
  static constexpr std::size_t kFlagBytes = 50;
  static constexpr std::size_t kMinUnitsAt = 66;
  static constexpr std::size_t kShowNumbersAt = 68;
  static constexpr std::size_t kMinDurationAt = 70;
  static constexpr std::size_t kRestAt = 72;
  static constexpr std::size_t kRestSize = 76;
  static constexpr int kExtensions = 60;

  std::uint32_t sumsReadOut = 0;
  std::uint32_t recordsReadOut = 0;
  std::uint32_t from = 0;
  std::uint32_t to = 0;  // 0: no end
  std::array<std::uint8_t, kFlagBytes> flags{};
  std::uint16_t minUnits = 0;
  std::uint16_t showNumbers = 0;
  std::uint16_t minDuration = 0;
  std::array<std::uint8_t, kRestSize> rest{};

  // Entry i (0..59): byte 16 + i / 2, low half for even i, high for odd.
  int Flag(int i) const;
  void SetFlag(int i, int value);

  // Every extension flagged, from 1995-01-01 00:00:00 local time with no
  // end, minimum units, duration and the show-numbers switch 1.
  static ChargeSelection Default();

  void Serialize(std::uint8_t* out) const;
  static ChargeSelection Parse(const std::uint8_t* in);
  bool operator==(const ChargeSelection&) const = default;
};

struct ChargeFileHeader {
  static constexpr std::size_t kSize = 256;
  static constexpr std::size_t kSumIndexAt = 0;
  static constexpr std::size_t kReadOffsetAt = 4;
  static constexpr std::size_t kClearedAt = 8;
  static constexpr std::size_t kClearedSize = 100;
  static constexpr std::size_t kSelectionAt = 108;

  std::uint32_t sumIndex = 0;
  std::uint32_t readOffset = 0;
  std::array<std::uint8_t, kClearedSize> cleared{};
  ChargeSelection selection;

  static ChargeFileHeader Default();
  void Serialize(std::uint8_t* out) const;
  static ChargeFileHeader Parse(const std::uint8_t* in);
  bool operator==(const ChargeFileHeader&) const = default;
};

static_assert(ChargeRecord::kCalledAt == ChargeRecord::kUnitsAt + 2);
static_assert(ChargeRecord::kCallingAt == ChargeRecord::kCalledAt + ChargeRecord::kNumberWidth);
static_assert(ChargeRecord::kSize == ChargeRecord::kCallingAt + ChargeRecord::kNumberWidth);
static_assert(ChargeSelection::kMinUnitsAt == ChargeSelection::kFlagsAt + ChargeSelection::kFlagBytes);
static_assert(ChargeSelection::kFlagBytes * 2 >= ChargeSelection::kExtensions);
static_assert(ChargeSelection::kSize == ChargeSelection::kRestAt + ChargeSelection::kRestSize);
static_assert(ChargeFileHeader::kSelectionAt == ChargeFileHeader::kClearedAt + ChargeFileHeader::kClearedSize);
static_assert(ChargeFileHeader::kSize == ChargeFileHeader::kSelectionAt + ChargeSelection::kSize);
