// Bounded reads of the message record as the plug-ins receive it: plain
// bytes at offsets, little-endian; a field reaching past the record reads
// as zero, a text ends at its first zero or at its field's width.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "plugins/dllifc.h"

namespace pluginkit {

inline constexpr std::size_t kRecordSize = DLLIFC_RECORD_SIZE;
inline constexpr std::size_t kTypeAt = 8;
inline constexpr std::size_t kCrossRefAt = 4;
inline constexpr std::size_t kDeviceWidth = 64;

// A device text with room for its end.
using DeviceText = std::array<char, kDeviceWidth + 1>;

inline std::uint16_t ReadU16(const unsigned char* r, std::size_t at) {
  if (!r || at + 2 > kRecordSize) return 0;
  return static_cast<std::uint16_t>(r[at] | (r[at + 1] << 8));
}

inline std::uint32_t ReadU32(const unsigned char* r, std::size_t at) {
  if (!r || at + 4 > kRecordSize) return 0;
  return static_cast<std::uint32_t>(r[at]) | (static_cast<std::uint32_t>(r[at + 1]) << 8) |
         (static_cast<std::uint32_t>(r[at + 2]) << 16) | (static_cast<std::uint32_t>(r[at + 3]) << 24);
}

inline void ReadDevice(const unsigned char* r, std::size_t at, DeviceText& out) {
  out.fill('\0');
  if (!r || at + kDeviceWidth > kRecordSize) return;
  const char* p = reinterpret_cast<const char*>(r + at);
  std::memcpy(out.data(), p, strnlen(p, kDeviceWidth));
}

// A connection: u32 call id, then the device text.
struct Connection {
  std::uint32_t callId = 0;
  DeviceText device{};
  bool IsZero() const { return callId == 0 && device[0] == '\0'; }
};

inline Connection ReadConnection(const unsigned char* r, std::size_t at) {
  Connection c;
  c.callId = ReadU32(r, at);
  ReadDevice(r, at + 4, c.device);
  return c;
}

inline bool SameText(const DeviceText& a, const DeviceText& b) { return std::strcmp(a.data(), b.data()) == 0; }

}  // namespace pluginkit
