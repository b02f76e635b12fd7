// Integer types and message numbers with the widths the program's records
// and interfaces were laid out with.
#pragma once
#include <cstdint>

namespace plat {

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using BOOL = std::int32_t;
using LONG = std::int32_t;
using WPARAM = std::uint64_t;
using LPARAM = std::int64_t;
using LRESULT = std::int64_t;

// A window (message target) is named by an id from the target registry,
// never by an address. 0 is no window.
using WindowId = std::uint32_t;

constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_USER = 0x0400;

}  // namespace plat
