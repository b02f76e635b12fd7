// Phone book files written byte by byte at their documented offsets, so a
// test compares the program's files with an independent picture of them.
#pragma once
#include <cstdint>
#include <string>

namespace pbtest {

inline void PutAt(std::string& s, std::size_t off, const std::string& v) { s.replace(off, v.size(), v); }
inline void PutU32At(std::string& s, std::size_t off, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s[off + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// A format-5 header with the path and the count.
inline std::string Header5(const std::string& path, std::uint32_t count) {
  std::string h(1127, '\0');
  h[0] = 5;
  PutAt(h, 1, path.substr(0, 40));
  PutU32At(h, 53, count);
  h[1124] = 13;
  h[1125] = 10;
  return h;
}

// A 666-byte record: in use, company, name, number, CR LF at 535.
inline std::string Record5(const std::string& company, const std::string& name, const std::string& number,
                           bool inUse = true) {
  std::string r(666, '\0');
  r[4] = inUse ? 1 : 0;
  PutAt(r, 5, company);
  PutAt(r, 210, name);
  PutAt(r, 146, number);
  PutAt(r, 535, "\r\n");
  return r;
}

}  // namespace pbtest
