// The network link's frame: a 31-byte header and at most 982 bytes of
// payload, little-endian, every unset byte 0. Both ends size a frame by the
// wire type (and, for CSTA frames, by the message type in the payload) with
// the table in frame.cpp, not by the length field alone.
//
// Bytes the frame layout leaves to us, and the rule we keep:
// - Data frames sent through the API: addressing kind 4 (by client id) with
//   the client id as u16 at 5-6, byte 17 = 2, byte 28 = low byte of the id.
// - Control frames we originate: kind 1 with the sending slot's index as u32
//   at 1-4; the alive request (opcode 9) goes by kind 4 with the id at 5-6.
//   Byte 28 carries the low byte of the control payload's id. Answers copy
//   the received address block (bytes 0-16) into both their header and
//   payload offset 0.
// - Hello (opcode 1) carries id 0 and the sender's key. The hello reply
//   carries result 1, id 0 and the server's key. Register (5) carries id 0
//   and the client's key; its reply carries the given id (index + 256).
//   Unregister (7) and alive requests carry the client's id.
// - Key: the IPv4 address of the connected socket's own end, in network
//   order. Every client on one host shares 127.x.x.x over loopback, so for a
//   loopback address bytes 2-3 carry the socket's local port instead of the
//   address's low half; clients on one host then stay distinct.
// - A frame whose length rule says "the rest of the block": a sender puts
//   out the whole 1013-byte frame, so on a stream the receiver takes 1013
//   bytes; in a datagram the datagram is the block.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace netlink {

constexpr std::size_t kHeaderSize = 31;
constexpr std::size_t kMaxPayload = 982;
constexpr std::size_t kMaxFrame = kHeaderSize + kMaxPayload;  // 1013
constexpr std::size_t kControlPayloadSize = 47;
constexpr std::size_t kControlFrameSize = kHeaderSize + kControlPayloadSize;  // 78
constexpr std::size_t kAddressBlockSize = 17;  // kind byte and 16 address bytes
constexpr std::size_t kRecvChunk = 1200;
static_assert(kMaxFrame == 1013 && kControlFrameSize == 78);

// Header offsets.
constexpr std::size_t kOffKind = 0;
constexpr std::size_t kOffAddress = 1;
constexpr std::size_t kOffDataMark = 17;
constexpr std::size_t kOffIpv4 = 19;
constexpr std::size_t kOffLength = 26;
constexpr std::size_t kOffClientIdLow = 28;
constexpr std::size_t kOffWireType = 30;

// Addressing kinds.
constexpr std::uint8_t kAddrBySlot = 1, kAddrByIpv4 = 2, kAddrBySocket = 3, kAddrByClientId = 4;

// Wire types.
constexpr std::uint8_t kWireControl = 2, kWireCsta = 6;

// Control payload offsets (relative to the payload).
constexpr std::size_t kCtlOffAnswerAddr = 0;
constexpr std::size_t kCtlOffOpcode = 17;
constexpr std::size_t kCtlOffId = 18;
constexpr std::size_t kCtlOffResult = 22;
constexpr std::size_t kCtlOffKey = 23;
static_assert(kCtlOffKey + 4 + 20 == kControlPayloadSize);

// Opcodes.
enum : std::uint8_t {
  kOpHello = 1, kOpHelloReply = 2, kOpRegister = 5, kOpRegisterReply = 6,
  kOpUnregister = 7, kOpUnregisterReply = 8, kOpAliveRequest = 9, kOpAliveReply = 10,
  kOpServerAliveRequest = 11, kOpServerAliveReply = 12,
};

// Result codes.
enum : std::uint8_t {
  kResUnspecific = 0, kResSuccess = 1, kResClientCountExceeded = 2, kResAlreadyRegistered = 3,
  kResClientUnknown = 4, kResInvalidPermission = 5, kResWrongServer = 50,
};
const char* ResultName(std::uint8_t code);

inline std::uint16_t GetU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
inline void PutU16(std::uint8_t* p, std::uint16_t v) { p[0] = v & 0xFF; p[1] = v >> 8; }
inline std::uint32_t GetU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline void PutU32(std::uint8_t* p, std::uint32_t v) {
  p[0] = v & 0xFF; p[1] = (v >> 8) & 0xFF; p[2] = (v >> 16) & 0xFF; p[3] = v >> 24;
}

// Bytes of a CSTA message of the given type as the link sends it; 0 for a
// type outside 1..133.
std::size_t CstaWireSize(std::uint16_t messageType);

// The wire type of a type bit of the send export; 0 for an unknown bit.
std::uint8_t WireTypeForTypeBit(std::uint32_t typeBit);

enum class Length { Frame, RestOfBlock, NeedMore, Invalid };
// Sizes the frame at p with `avail` bytes at hand. Frame: *len is the
// frame's length (may exceed avail). RestOfBlock: the frame takes whatever
// the block holds. NeedMore: the header (or the CSTA type) is not all there.
Length FrameLength(const std::uint8_t* p, std::size_t avail, std::size_t* len);

// Bytes that go out for a built frame: 1013 when the length field is 0 or
// the rule says "rest of the block", else the rule's length; 0 when the
// frame is not valid.
std::size_t SendLength(const std::uint8_t* frame);

// A data frame as the send export builds it. Returns the bytes to send
// (empty when the type or the CSTA message type cannot be framed).
std::vector<std::uint8_t> BuildDataFrame(std::uint8_t wireType, std::uint16_t clientId, const void* data,
                                         std::size_t len);

struct Control {
  std::array<std::uint8_t, kAddressBlockSize> answerAddr{};  // payload offset 0
  std::uint8_t opcode = 0;
  std::uint16_t id = 0;
  std::uint8_t result = 0;
  std::uint32_t key = 0;  // four bytes in network order, stored as read
};

using ControlFrame = std::array<std::uint8_t, kControlFrameSize>;

// Builds a control frame whose header carries `headerAddr` (kind byte and
// 16 address bytes).
ControlFrame BuildControlFrame(const std::array<std::uint8_t, kAddressBlockSize>& headerAddr, const Control& c);
// Header address for a frame sent by slot, or by client id.
std::array<std::uint8_t, kAddressBlockSize> AddrBySlot(std::uint32_t slot);
std::array<std::uint8_t, kAddressBlockSize> AddrByClientId(std::uint16_t id);
std::array<std::uint8_t, kAddressBlockSize> AddressBlockOf(const std::uint8_t* frame);
// False when the frame is not a whole control frame.
bool ParseControl(const std::uint8_t* frame, std::size_t len, Control* out);

// The registration key of a socket end (see the note at the top).
std::uint32_t KeyFor(std::uint32_t localIpNetOrder, std::uint16_t localPort);

}  // namespace netlink
