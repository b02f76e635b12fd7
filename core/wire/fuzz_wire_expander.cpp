// Any byte string fed to the expander: it either fails or yields at most
// 1025 bytes, and what it yields compresses and expands back unchanged.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/wire/frame_coder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static FrameCoder coder;
  static std::uint8_t out[2048];
  if (size > 2048) size = 2048;
  const int n = coder.Expand(data, size, out, sizeof out);
  if (n < 0) return 0;
  if (n > static_cast<int>(frame::kMaxExpandPosition)) std::abort();
  if (n == 0) return 0;
  static std::uint8_t plain[2048], packed[2048], back[2048];
  std::memcpy(plain, out, static_cast<std::size_t>(n));
  std::memcpy(packed, out, static_cast<std::size_t>(n));
  const int s = coder.Compress(packed, static_cast<std::size_t>(n));
  if (s < 0 || s > n) std::abort();
  if (s < n) {
    const int m = coder.Expand(packed, static_cast<std::size_t>(s), back, sizeof back);
    if (m != n || std::memcmp(back, plain, static_cast<std::size_t>(n)) != 0) std::abort();
  }
  return 0;
}
