#include "charges/handler/chargewire.h"

#include <cstring>

#include "platform/text.h"

namespace chargewire {

namespace {

std::string Digits(const std::string& s) {
  std::string d;
  for (char c : s)
    if (c >= '0' && c <= '9') d += c;
  return d;
}

CSTAMessage Reply(std::uint8_t kind) {
  CSTAMessage m;
  m.SetType(CSTA_PRIVATE);
  m.SetU8(10, kind);
  return m;
}

}  // namespace

void PackNumbers(const std::string& calling, const std::string& called, std::uint8_t* out) {
  std::memset(out, 0xFF, kBcdBytes);
  std::string a = Digits(calling), b = Digits(called);
  if (a.size() > kBcdDigits) a.resize(kBcdDigits);
  // Each number takes whole bytes; the separator one more.
  while ((a.size() + 1) / 2 + 1 + (b.size() + 1) / 2 > kBcdBytes) b.pop_back();
  std::size_t at = 0;
  auto put = [&](const std::string& d) {
    for (std::size_t i = 0; i < d.size(); i += 2) {
      const int hi = d[i] - '0';
      const int lo = i + 1 < d.size() ? d[i + 1] - '0' : 0xF;
      out[at++] = static_cast<std::uint8_t>(hi << 4 | lo);
    }
  };
  put(a);
  out[at++] = 0xFF;
  put(b);
}

CSTAMessage CountReply(std::uint8_t kind, const std::string& count) {
  CSTAMessage m = Reply(kind);
  m.SetText(22, kCSTAPrivateLength - 22, count);
  return m;
}

CSTAMessage RecordReply(long index, long long start, long duration, long units, const std::string& calling,
                        const std::string& called) {
  CSTAMessage m = Reply(EXTPBX_GETSINGLECALLINFOBYIDX_CONF);
  m.SetText(11, 5, plat::StrFormatC("%li", index));
  m.SetText(16, 11, plat::StrFormatC("%lli", start));
  m.SetText(27, 6, plat::StrFormatC("%li", duration));
  m.SetText(33, 7, plat::StrFormatC("%li", units));
  PackNumbers(calling, called, m.data() + kBcdAt);
  return m;
}

CSTAMessage UnitsReply(const std::string& device, long units, const std::string& name) {
  CSTAMessage m = Reply(EXTPBX_GETDEVICEUNITS_CONF);
  m.SetText(11, 11, device);
  m.SetText(22, 6, plat::StrFormatC("%li", units));
  m.SetText(28, kCSTAPrivateLength - 28, name);
  return m;
}

CSTAMessage DeviceReply(std::uint8_t kind, const std::string& text) {
  CSTAMessage m = Reply(kind);
  m.SetText(11, kCSTAPrivateLength - 11, text);
  return m;
}

}  // namespace chargewire
