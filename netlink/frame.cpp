#include "netlink/frame.h"

namespace netlink {

const char* ResultName(std::uint8_t code) {
  switch (code) {
    case kResUnspecific: return "EC_UNSPECIFIC";
    case kResSuccess: return "success";
    case kResClientCountExceeded: return "EC_CLIENTCOUNTEXCEEDED";
    case kResAlreadyRegistered: return "EC_CLIENTALREADYREGISTERED";
    case kResClientUnknown: return "EC_CLIENTUNKOWN";
    case kResInvalidPermission: return "EC_CLIENTINVALIDPERMISSION";
    case kResWrongServer: return "EC_WRONGSERVER";
    default: return "unspecific";
  }
}

std::size_t CstaWireSize(std::uint16_t t) {
  if (t < 1 || t > 133) return 0;
  switch (t) {
    case 1: case 11: case 39: case 51: return 150;
    case 2: case 4: case 10: case 16: case 18: case 20: case 22: case 40: case 42: case 118: return 11;
    case 3: case 9: case 14: case 24: case 41: return 80;
    case 12: return 772;
    case 13: case 15: case 17: case 19: return 144;
    case 21: return 81;
    case 23: return 138;
    case 52: case 57: case 59: return 356;
    case 53: return 12;
    case 56: case 61: case 65: return 152;
    case 60: return 220;
    case 66: return 84;
    case 67: return 566;
    case 93: return 111;
    case 111: return 83;
    case 114: return 23;
    case 117: return 14;
    case 122: return 74;
    case 126: return 16;
    default: return 10;
  }
}

std::uint8_t WireTypeForTypeBit(std::uint32_t bit) {
  switch (bit) {
    case 1: return 1;
    case 2: return 2;
    case 4: return 3;
    case 8: return 4;
    case 16: return 5;
    case 32: return 6;
    case 512: return 20;
    case 1024: return 21;
    case 2048: return 24;
    case 4096: return 25;
    default: return 0;
  }
}

Length FrameLength(const std::uint8_t* p, std::size_t avail, std::size_t* len) {
  if (avail < kHeaderSize) return Length::NeedMore;
  const std::uint8_t type = p[kOffWireType];
  const std::uint16_t plen = GetU16(p + kOffLength);
  switch (type) {
    case 1: *len = 79; return Length::Frame;
    case 2: *len = kControlFrameSize; return Length::Frame;
    case 5: case 7: case 25: case 26: case 64:
      if (plen == 0) return Length::RestOfBlock;
      if (plen > kMaxPayload) return Length::Invalid;
      *len = kHeaderSize + plen;
      return Length::Frame;
    case 3: case 4: return Length::RestOfBlock;
    case 6: {
      if (avail < kHeaderSize + 10) return Length::NeedMore;
      const std::size_t s = CstaWireSize(GetU16(p + kHeaderSize + 8));
      if (s == 0) return Length::Invalid;
      *len = kHeaderSize + s;
      return Length::Frame;
    }
    case 20: *len = 45; return Length::Frame;
    case 21: *len = 154; return Length::Frame;
    case 24: *len = 519; return Length::Frame;
    default: return Length::Invalid;
  }
}

std::size_t SendLength(const std::uint8_t* frame) {
  std::size_t len = 0;
  // A full frame buffer is at hand, so NeedMore cannot happen here.
  switch (FrameLength(frame, kMaxFrame, &len)) {
    case Length::Frame: return GetU16(frame + kOffLength) == 0 ? kMaxFrame : len;
    case Length::RestOfBlock: return kMaxFrame;
    default: return 0;
  }
}

std::vector<std::uint8_t> BuildDataFrame(std::uint8_t wireType, std::uint16_t clientId, const void* data,
                                         std::size_t len) {
  if (len > kMaxPayload) return {};
  std::vector<std::uint8_t> f(kMaxFrame, 0);
  f[kOffKind] = kAddrByClientId;
  PutU16(&f[5], clientId);
  f[kOffDataMark] = 2;
  PutU16(&f[kOffLength], static_cast<std::uint16_t>(len));
  f[kOffClientIdLow] = clientId & 0xFF;
  f[kOffWireType] = wireType;
  if (len) std::memcpy(&f[kHeaderSize], data, len);
  const std::size_t n = SendLength(f.data());
  if (n == 0) return {};
  f.resize(n);
  return f;
}

ControlFrame BuildControlFrame(const std::array<std::uint8_t, kAddressBlockSize>& headerAddr, const Control& c) {
  ControlFrame f{};
  std::memcpy(&f[0], headerAddr.data(), kAddressBlockSize);
  PutU16(&f[kOffLength], kControlPayloadSize);
  f[kOffClientIdLow] = c.id & 0xFF;
  f[kOffWireType] = kWireControl;
  std::uint8_t* p = &f[kHeaderSize];
  std::memcpy(p + kCtlOffAnswerAddr, c.answerAddr.data(), kAddressBlockSize);
  p[kCtlOffOpcode] = c.opcode;
  PutU16(p + kCtlOffId, c.id);
  p[kCtlOffResult] = c.result;
  PutU32(p + kCtlOffKey, c.key);
  return f;
}

std::array<std::uint8_t, kAddressBlockSize> AddrBySlot(std::uint32_t slot) {
  std::array<std::uint8_t, kAddressBlockSize> a{};
  a[0] = kAddrBySlot;
  PutU32(&a[1], slot);
  return a;
}

std::array<std::uint8_t, kAddressBlockSize> AddrByClientId(std::uint16_t id) {
  std::array<std::uint8_t, kAddressBlockSize> a{};
  a[0] = kAddrByClientId;
  PutU16(&a[5], id);
  return a;
}

std::array<std::uint8_t, kAddressBlockSize> AddressBlockOf(const std::uint8_t* frame) {
  std::array<std::uint8_t, kAddressBlockSize> a{};
  std::memcpy(a.data(), frame, kAddressBlockSize);
  return a;
}

bool ParseControl(const std::uint8_t* frame, std::size_t len, Control* out) {
  if (len < kControlFrameSize || frame[kOffWireType] != kWireControl) return false;
  const std::uint8_t* p = frame + kHeaderSize;
  std::memcpy(out->answerAddr.data(), p + kCtlOffAnswerAddr, kAddressBlockSize);
  out->opcode = p[kCtlOffOpcode];
  out->id = GetU16(p + kCtlOffId);
  out->result = p[kCtlOffResult];
  out->key = GetU32(p + kCtlOffKey);
  return true;
}

std::uint32_t KeyFor(std::uint32_t ip, std::uint16_t port) {
  std::uint8_t b[4];
  PutU32(b, ip);
  if (b[0] == 127) {
    b[2] = port >> 8;
    b[3] = port & 0xFF;
  }
  return GetU32(b);
}

}  // namespace netlink
