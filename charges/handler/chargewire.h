// The PBX's side of the charge replies (type 93), as a PBX builds them:
// for the simulator and for tests that play the PBX.
#pragma once
#include <cstdint>
#include <string>

#include "core/wire/csta_message.h"

namespace chargewire {

inline constexpr std::size_t kBcdAt = 40;
inline constexpr std::size_t kBcdBytes = 10;
// Digits of both numbers together: 20 half-bytes less the 0xFF between.
inline constexpr std::size_t kBcdDigits = 18;

// Calling digits, 0xFF, called digits, padded with 0xF half-bytes; other
// characters are left out, and digits past the 18th (the called number's
// last ones first) are cut.
void PackNumbers(const std::string& calling, const std::string& called, std::uint8_t* out);

// Kind 1 or 17 with the number at 22.
CSTAMessage CountReply(std::uint8_t kind, const std::string& count);
// Kind 3: index at 11, start at 16, duration at 27, units at 33, numbers at 40.
CSTAMessage RecordReply(long index, long long start, long duration, long units, const std::string& calling,
                        const std::string& called);
// Kind 13: device at 11, units at 22, name at 28.
CSTAMessage UnitsReply(const std::string& device, long units, const std::string& name);
// Kind 11 (device at 11) or 19 (device count at 11).
CSTAMessage DeviceReply(std::uint8_t kind, const std::string& text);

}  // namespace chargewire
