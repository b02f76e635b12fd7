#include "netlink/chargeformat.h"

#include <cstring>

#include "platform/text.h"

namespace netlink {

namespace {

const char* const kCauseNames[] = {
    "NONE", "ACTIVE_MONITOR", "ALTERNATE", "BUSY", "CALL_BACK", "CALL_CANCELLED", "CALL_FORWARD_ALWAYS",
    "CALL_FORWARD_BUSY", "CALL_FORWARD_NO_ANSWER", "CALL_FORWARD", "CALL_NOT_ANSWERED", "CALL_PICKUP", "CAMP_ON",
    "DEST_NOT_OBTAINABLE", "DO_NOT_DISTURB", "INCOMPATIBLE_DESTINATION", "INVALID_ACCOUNT_CODE",
    "KEY_CONFERENCE", "LOCKOUT", "MAINTENANCE", "NETWORK_CONGESTION", "NETWORK_NOT_OBTAINABLE", "NEW_CALL",
    "NO_AVAILABLE_AGENTS", "OVERRIDE", "PARK", "OVERFLOW", "RECALL", "REDIRECTED", "REORDER_TONE",
    "RESOURCES_NOT_AVAILABLE", "SILENT_MONITOR", "TRANSFER", "TRUNKS_BUSY", "VOICE_UNIT_INITIATOR",
    "BUSY_ON_INITIATED", "BUSY_ON_CONNECTED", "BUSY_ON_OFFHOOK", "NORMAL_CALL_CLEARED_LOCAL",
    "NORMAL_CALL_CLEARED_REMOTE", "CALL_DELIVERED", "ALERTING"};
static_assert(sizeof kCauseNames / sizeof kCauseNames[0] == 42);

// A number field: up to its terminating zero, never past the field.
std::string Field(const std::uint8_t* p, std::size_t size) {
  const void* z = std::memchr(p, 0, size);
  const std::size_t n = z ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(z) - p) : size;
  return std::string(reinterpret_cast<const char*>(p), n);
}

std::int32_t I32(const std::uint8_t* p) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                                   (static_cast<std::uint32_t>(p[2]) << 16) |
                                   (static_cast<std::uint32_t>(p[3]) << 24));
}

bool ReadText(const std::uint8_t* rec, std::size_t size, ChargeFields* out) {
  const std::uint8_t* p = rec + kChargeStartAt + 1;
  const std::size_t avail = size - (kChargeStartAt + 1);
  const void* z = std::memchr(p, 0, avail);
  const std::size_t n = z ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(z) - p) : avail;
  const std::string text(reinterpret_cast<const char*>(p), n);
  std::string col[6];
  std::size_t at = 0;
  for (int i = 0; i < 6 && at <= text.size(); ++i) {
    std::size_t tab = text.find('\t', at);
    if (tab == std::string::npos) tab = text.size();
    col[i] = text.substr(at, tab - at);
    at = tab + 1;
  }
  const auto trimmed = [](const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\r' || s[b] == '\n')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\r' || s[e - 1] == '\n')) --e;
    return s.substr(b, e - b);
  };
  out->start = plat::AtolC(trimmed(col[0]).c_str());
  out->duration = plat::AtolC(trimmed(col[1]).c_str());
  out->durationValid = out->duration >= 0;
  out->calling = trimmed(col[2]).substr(0, kChargeNumberSize - 1);
  out->called = trimmed(col[3]).substr(0, kChargeNumberSize - 1);
  const long units = plat::AtolC(trimmed(col[4]).c_str());
  out->units = units > INT32_MAX ? INT32_MAX : units < INT32_MIN ? INT32_MIN : static_cast<std::int32_t>(units);
  out->cause = static_cast<std::uint8_t>(plat::AtolC(trimmed(col[5]).c_str()) & 0xFF);
  return true;
}

}  // namespace

bool ReadChargeRecord(const std::uint8_t* rec, std::size_t size, ChargeFields* out) {
  if (!rec || !out) return false;
  if (size > kChargeRecordLimit) size = kChargeRecordLimit;
  if (size <= kChargeCauseAt) return false;
  *out = ChargeFields{};
  const std::uint8_t kind = rec[kChargeKindAt];
  if (kind == kChargeKindBinary) {
    out->start = I32(rec + kChargeStartAt);
    out->duration = static_cast<std::uint16_t>(rec[kChargeDurationAt] | (rec[kChargeDurationAt + 1] << 8));
    out->calling = Field(rec + kChargeCallingAt, kChargeNumberSize);
    out->called = Field(rec + kChargeCalledAt, kChargeNumberSize);
    out->units = static_cast<std::int16_t>(rec[kChargeUnitsAt] | (rec[kChargeUnitsAt + 1] << 8));
    out->cause = rec[kChargeCauseAt];
    return true;
  }
  if (kind == kChargeKindText && rec[kChargeStartAt] == '\t') return ReadText(rec, size, out);
  return false;
}

ChargeLines FormatChargeFields(const ChargeFields& f, std::int32_t timeOffset) {
  std::string start = "?\t?";
  // A start read from a text record may be any number: no overflow here.
  std::int64_t t64 = 0;
  const bool inRange = !__builtin_sub_overflow(static_cast<std::int64_t>(f.start), timeOffset, &t64);
  std::tm tm{};
  const std::time_t t = static_cast<std::time_t>(t64);
  if (inRange && t64 >= 0 && localtime_r(&t, &tm))
    start = plat::StrFormatC("%i.%i.%i\t%2i:%02i:%02i", tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900, tm.tm_hour,
                             tm.tm_min, tm.tm_sec);
  std::string duration = "?";
  if (f.durationValid && f.duration >= 0 && f.duration / 3600 <= INT32_MAX)
    duration = plat::StrFormatC("%2i:%02i:%02i", static_cast<int>(f.duration / 3600),
                                static_cast<int>(f.duration / 60 % 60), static_cast<int>(f.duration % 60));
  ChargeLines l;
  l.line = plat::StrFormatC("%s\t%s\t%s\t%s\t%i\t%5.2f\t", start.c_str(), duration.c_str(), f.calling.c_str(),
                            f.called.c_str(), static_cast<int>(f.units), f.units * kChargeUnitPrice);
  l.fileLine = l.line + plat::StrFormatC("%u", static_cast<unsigned>(f.cause));
  l.listLine = l.line + ChargeCauseName(f.cause);
  return l;
}

const char* ChargeCauseName(unsigned cause) {
  return cause < sizeof kCauseNames / sizeof kCauseNames[0] ? kCauseNames[cause] : "";
}

std::string ChargeDayFileName(std::time_t now) {
  std::tm tm{};
  if (!localtime_r(&now, &tm)) return std::string();
  return plat::StrFormatC("%02i%02i%04i.gdt", tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900);
}

}  // namespace netlink
