// The call-charge logger's record reading and line formatting, without any
// window. A record is handed over as a pointer to a message record of at
// most 982 bytes; nothing here reads past that.
//
// Binary record (kind 11): i32 start time at 22, the duration at 26,
// calling number at 28 and called number at 48 (20 bytes each,
// zero-terminated), i16 charge units at 68, u8 cause at 70. The duration
// field is laid out four bytes wide but the calling number starts at 28,
// so only its two low bytes are the duration (unsigned seconds).
//
// Text record (kind 12): byte 22 is a tab; the text from 23 runs to its
// terminating zero (or to the end of the record) and holds the columns,
// separated by tabs: start time (seconds), duration (seconds), calling
// number, called number, charge units, cause. Numbers are decimal; the two
// phone numbers are cut to 19 characters like the binary fields; a
// missing column counts as empty or 0.
#pragma once
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

namespace netlink {

constexpr std::size_t kChargeRecordLimit = 982;
constexpr std::size_t kChargeKindAt = 18;
constexpr std::size_t kChargeStartAt = 22;
constexpr std::size_t kChargeDurationAt = 26;
constexpr std::size_t kChargeCallingAt = 28;
constexpr std::size_t kChargeCalledAt = 48;
constexpr std::size_t kChargeNumberSize = 20;
constexpr std::size_t kChargeUnitsAt = 68;
constexpr std::size_t kChargeCauseAt = 70;
static_assert(kChargeCallingAt + kChargeNumberSize == kChargeCalledAt);
static_assert(kChargeCalledAt + kChargeNumberSize == kChargeUnitsAt);
static_assert(kChargeCauseAt < kChargeRecordLimit);

constexpr std::uint8_t kChargeKindBinary = 11;
constexpr std::uint8_t kChargeKindText = 12;
constexpr std::int32_t kChargeTimeOffset = 14400;
constexpr double kChargeUnitPrice = 0.12;

struct ChargeFields {
  std::int64_t start = 0;
  std::int64_t duration = 0;
  bool durationValid = true;
  std::string calling, called;
  std::int32_t units = 0;
  std::uint8_t cause = 0;  // only the low byte counts
};

struct ChargeLines {
  std::string line;      // start, duration, numbers, units, cost, each followed by a tab
  std::string fileLine;  // line and the cause as a number
  std::string listLine;  // line and the cause's name
};

// Reads a record of kind 11 or 12; false for any other kind and for a text
// record whose byte 22 is not a tab. `size` is what the caller has (at
// most 982 is read).
bool ReadChargeRecord(const std::uint8_t* rec, std::size_t size, ChargeFields* out);
ChargeLines FormatChargeFields(const ChargeFields& f, std::int32_t timeOffset = kChargeTimeOffset);
// The cause's name; "" for a number without one.
const char* ChargeCauseName(unsigned cause);
// "%02i%02i%04i.gdt" of the local date of `now`.
std::string ChargeDayFileName(std::time_t now);

}  // namespace netlink
