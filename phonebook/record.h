// The phone book file's byte layouts: the 1127-byte header and the 666-byte
// record of format 5, and the 203-byte header and 536-byte record of the
// older format 3 that is converted on open. Every value is read and written
// at its offset, little-endian; nothing depends on the compiler's layout.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace pbfile {

// Reads at most width - 1 bytes up to the first NUL: a damaged record that
// lacks the terminator still gives a text of its field alone.
inline std::string TextAt(const std::uint8_t* base, std::size_t offset, std::size_t width) {
  const char* p = reinterpret_cast<const char*>(base + offset);
  std::size_t n = 0;
  while (n + 1 < width && p[n] != '\0') ++n;
  return std::string(p, n);
}
// Writes the text cut to width - 1 and zero-fills the rest of the field.
inline void PutText(std::uint8_t* base, std::size_t offset, std::size_t width, const std::string& text) {
  std::size_t n = text.size() < width - 1 ? text.size() : width - 1;
  std::memcpy(base + offset, text.data(), n);
  std::memset(base + offset + n, 0, width - n);
}
inline std::uint32_t U32At(const std::uint8_t* base, std::size_t offset) {
  return static_cast<std::uint32_t>(base[offset]) | static_cast<std::uint32_t>(base[offset + 1]) << 8 |
         static_cast<std::uint32_t>(base[offset + 2]) << 16 | static_cast<std::uint32_t>(base[offset + 3]) << 24;
}
inline void PutU32(std::uint8_t* base, std::size_t offset, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) base[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline std::int16_t I16At(const std::uint8_t* base, std::size_t offset) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(base[offset] | base[offset + 1] << 8));
}
inline void PutI16(std::uint8_t* base, std::size_t offset, std::int16_t v) {
  auto u = static_cast<std::uint16_t>(v);
  base[offset] = static_cast<std::uint8_t>(u & 0xFF);
  base[offset + 1] = static_cast<std::uint8_t>(u >> 8);
}

// Where one text field lies in the record: offset and width with the NUL.
struct TextField {
  std::size_t offset;
  std::size_t width;
};

}  // namespace pbfile

// One phone book entry as stored: 666 bytes.
struct DataBaseRecord {
  static constexpr std::size_t kSize = 666;
  static constexpr std::size_t kWord0 = 0;       // 32-bit word, kept as read
  static constexpr std::size_t kInUse = 4;       // 1 in use, 0 deleted
  static constexpr std::size_t kNumber = 146;       // the number: 20 characters and NUL
  static constexpr std::size_t kNumberWidth = 21;
  static constexpr std::size_t kExternal = 167;  // external number flag
  static constexpr std::size_t kByte528 = 528;   // read, kept, never written from memory
  static constexpr std::size_t kTreatment = 533;   // signed 16-bit
  static constexpr std::size_t kLineEnd = 535;     // "\r\n" and NUL
  static constexpr std::size_t kSelector = 538;    // signed 16-bit
  static constexpr std::size_t kTarget = 540;      // individual treatment target
  static constexpr std::size_t kTargetWidth = 126;

  std::array<std::uint8_t, kSize> bytes{};

  std::uint8_t* data() { return bytes.data(); }
  const std::uint8_t* data() const { return bytes.data(); }
  bool InUse() const { return bytes[kInUse] != 0; }
  void Clear() { bytes.fill(0); }
};
static_assert(sizeof(DataBaseRecord) == DataBaseRecord::kSize);

// The file header in front of the records: 1127 bytes.
struct DataBaseHeader {
  static constexpr std::size_t kSize = 1127;
  static constexpr std::size_t kFormat = 0;
  static constexpr std::size_t kPath = 1;  // 40 characters and NUL
  static constexpr std::size_t kPathWidth = 41;
  static constexpr std::size_t kCount = 53;  // u32
  static constexpr std::size_t kText = 57;   // 40 bytes, kept
  static constexpr std::size_t kTextWidth = 40;
  static constexpr std::uint8_t kFormatCurrent = 5;
  static constexpr std::uint8_t kFormatOld = 3;

  std::array<std::uint8_t, kSize> bytes{};

  std::uint8_t* data() { return bytes.data(); }
  const std::uint8_t* data() const { return bytes.data(); }
  std::uint8_t Format() const { return bytes[kFormat]; }
  std::uint32_t Count() const { return pbfile::U32At(bytes.data(), kCount); }
  void SetCount(std::uint32_t n) { pbfile::PutU32(bytes.data(), kCount, n); }
  std::string PathText() const { return pbfile::TextAt(bytes.data(), kPath, kPathWidth); }

  // Format 5, the path (cut to 40 characters), all else 0 but CR LF at 1124.
  static DataBaseHeader Fresh(const std::string& path) {
    DataBaseHeader h;
    h.bytes[kFormat] = kFormatCurrent;
    pbfile::PutText(h.bytes.data(), kPath, kPathWidth, path);
    h.bytes[1124] = 13;
    h.bytes[1125] = 10;
    return h;
  }
};
static_assert(sizeof(DataBaseHeader) == DataBaseHeader::kSize);

// The older format: a 203-byte header (path at 1, count at 53, text at 57)
// and 536-byte records (0-532 as today, the line end at 533).
struct OldDataBaseLayout {
  static constexpr std::size_t kHeaderSize = 203;
  static constexpr std::size_t kRecordSize = 536;
  static constexpr std::size_t kSharedBytes = 533;
  static constexpr std::size_t kLineEnd = 533;
};
