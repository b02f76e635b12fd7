// The CSTA message record exchanged with the PBX: a fixed block of 982
// bytes whose layout is a wire format. It is kept as plain bytes and read
// and written only at explicit little-endian offsets, so host padding and
// byte order never leak onto the line.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

enum CSTAType : std::uint16_t {
  CSTA_NO_TYPE = 0,
  CSTA_ALTERNATE_CALL = 1,
  CSTA_ALTERNATE_CALL_CONF = 2,
  CSTA_ANSWER_CALL = 3,
  CSTA_ANSWER_CALL_CONF = 4,
  CSTA_CALL_COMPLETION = 5,
  CSTA_CALL_COMPLETION_CONF = 6,
  CSTA_CLEAR_CALL = 7,
  CSTA_CLEAR_CALL_CONF = 8,
  CSTA_CLEAR_CONNECTION = 9,
  CSTA_CLEAR_CONNECTION_CONF = 10,
  CSTA_CONFERENCE_CALL = 11,
  CSTA_CONFERENCE_CALL_CONF = 12,
  CSTA_CONSULTATION_CALL = 13,
  CSTA_CONSULTATION_CALL_CONF = 14,
  CSTA_DEFLECT_CALL = 15,
  CSTA_DEFLECT_CALL_CONF = 16,
  CSTA_PICKUP_CALL = 17,
  CSTA_PICKUP_CALL_CONF = 18,
  CSTA_GROUP_PICKUP_CALL = 19,
  CSTA_GROUP_PICKUP_CALL_CONF = 20,
  CSTA_HOLD_CALL = 21,
  CSTA_HOLD_CALL_CONF = 22,
  CSTA_MAKE_CALL = 23,
  CSTA_MAKE_CALL_CONF = 24,
  CSTA_MAKE_PREDICTIVE_CALL = 25,
  CSTA_MAKE_PREDICTIVE_CALL_CONF = 26,
  CSTA_QUERY_MWI = 27,
  CSTA_QUERY_MWI_CONF = 28,
  CSTA_QUERY_DND = 29,
  CSTA_QUERY_DND_CONF = 30,
  CSTA_QUERY_FWD = 31,
  CSTA_QUERY_FWD_CONF = 32,
  CSTA_QUERY_AGENT_STATE = 33,
  CSTA_QUERY_AGENT_STATE_CONF = 34,
  CSTA_QUERY_LAST_NUMBER = 35,
  CSTA_QUERY_LAST_NUMBER_CONF = 36,
  CSTA_QUERY_DEVICE_INFO = 37,
  CSTA_QUERY_DEVICE_INFO_CONF = 38,
  CSTA_RECONNECT_CALL = 39,
  CSTA_RECONNECT_CALL_CONF = 40,
  CSTA_RETRIEVE_CALL = 41,
  CSTA_RETRIEVE_CALL_CONF = 42,
  CSTA_SET_MWI = 43,
  CSTA_SET_MWI_CONF = 44,
  CSTA_SET_DND = 45,
  CSTA_SET_DND_CONF = 46,
  CSTA_SET_FWD = 47,
  CSTA_SET_FWD_CONF = 48,
  CSTA_SET_AGENT_STATE = 49,
  CSTA_SET_AGENT_STATE_CONF = 50,
  CSTA_TRANSFER_CALL = 51,
  CSTA_TRANSFER_CALL_CONF = 52,
  CSTA_UNIVERSAL_FAILURE_CONF = 53,
  CSTA_CALL_CLEARED = 54,
  CSTA_CONFERENCED = 55,
  CSTA_CONNECTION_CLEARED = 56,
  CSTA_DELIVERED = 57,
  CSTA_DIVERTED = 58,
  CSTA_ESTABLISHED = 59,
  CSTA_FAILED = 60,
  CSTA_HELD = 61,
  CSTA_NETWORK_REACHED = 62,
  CSTA_ORIGINATED = 63,
  CSTA_QUEUED = 64,
  CSTA_RETRIEVED = 65,
  CSTA_SERVICE_INITIATED = 66,
  CSTA_TRANSFERRED = 67,
  CSTA_CALL_INFORMATION = 68,
  CSTA_DO_NOT_DISTURB = 69,
  CSTA_FORWARDING = 70,
  CSTA_MESSAGE_WAITING = 71,
  CSTA_LOGGED_ON = 72,
  CSTA_LOGGED_OFF = 73,
  CSTA_NOT_READY = 74,
  CSTA_READY = 75,
  CSTA_WORK_NOT_READY = 76,
  CSTA_WORK_READY = 77,
  CSTA_ROUTE_REGISTER_REQ = 78,
  CSTA_ROUTE_REGISTER_REQ_CONF = 79,
  CSTA_ROUTE_REGISTER_CANCEL = 80,
  CSTA_ROUTE_REGISTER_CANCEL_CONF = 81,
  CSTA_ROUTE_REGISTER_ABORT = 82,
  CSTA_ROUTE_REQUEST = 83,
  CSTA_ROUTE_SELECT_REQUEST = 84,
  CSTA_RE_ROUTE_REQUEST = 85,
  CSTA_ROUTE_USED = 86,
  CSTA_ROUTE_END = 87,
  CSTA_ROUTE_END_REQUEST = 88,
  CSTA_ESCAPE_SVC = 89,
  CSTA_ESCAPE_SVC_CONF = 90,
  CSTA_ESCAPE_SVC_REQ = 91,
  CSTA_ESCAPE_SVC_REQ_CONF = 92,
  CSTA_PRIVATE = 93,  // the PBX's extension messages; named by kind
  CSTA_PRIVATE_STATUS = 94,
  CSTA_SEND_PRIVATE = 95,
  CSTA_BACK_IN_SERVICE = 96,
  CSTA_OUT_OF_SERVICE = 97,
  CSTA_REQ_SYS_STAT = 98,
  CSTA_SYS_STAT_REQ_CONF = 99,
  CSTA_SYS_STAT_START = 100,
  CSTA_SYS_STAT_START_CONF = 101,
  CSTA_SYS_STAT_STOP = 102,
  CSTA_SYS_STAT_STOP_CONF = 103,
  CSTA_CHANGE_SYS_STAT_FILTER = 104,
  CSTA_CHANGE_SYS_STAT_FILTER_CONF = 105,
  CSTA_SYS_STAT = 106,
  CSTA_SYS_STAT_ENDED = 107,
  CSTA_SYS_STAT_REQ = 108,
  CSTA_REQ_SYS_STAT_CONF = 109,
  CSTA_SYS_STAT_EVENT_SEND = 110,
  CSTA_MONITOR_DEVICE = 111,
  CSTA_MONITOR_CALL = 112,
  CSTA_MONITOR_CALLS_VIA_DEVICE = 113,
  CSTA_MONITOR_CONF = 114,
  CSTA_CHANGE_MONITOR_FILTER = 115,
  CSTA_CHANGE_MONITOR_FILTER_CONF = 116,
  CSTA_MONITOR_STOP = 117,
  CSTA_MONITOR_STOP_CONF = 118,
  CSTA_MONITOR_ENDED = 119,
  CSTA_SNAPSHOT_CALL = 120,
  CSTA_SNAPSHOT_CALL_CONF = 121,
  CSTA_SNAPSHOT_DEVICE = 122,
  CSTA_SNAPSHOT_DEVICE_CONF = 123,
  CSTA_GETAPI_CAPS = 124,
  CSTA_GETAPI_CAPS_CONF = 125,
  CSTA_GET_DEVICE_LIST = 126,
  CSTA_GET_DEVICE_LIST_CONF = 127,
  CSTA_QUERY_CALL_MONITOR = 128,
  CSTA_QUERY_CALL_MONITOR_CONF = 129,
  CSTA_ROUTE_REQUEST_EXT = 130,
  CSTA_ROUTE_USED_EXT = 131,
  CSTA_ROUTE_SELECT_INV_REQUEST = 132,
  CSTA_ROUTE_END_INV_REQUEST = 133,
};

// Kind byte (offset 10) of a CSTA_PRIVATE record. Requests are even, their
// replies the next odd kind.
enum ExtPbxKind : std::uint8_t {
  EXTPBX_GETNUMBEROFCALLINFOS = 0,
  EXTPBX_GETNUMBEROFCALLINFOS_CONF = 1,
  EXTPBX_GETSINGLECALLINFOBYIDX = 2,
  EXTPBX_GETSINGLECALLINFOBYIDX_CONF = 3,
  EXTPBX_GETSINGLECALLINFO = 4,
  EXTPBX_GETSINGLECALLINFO_CONF = 5,
  EXTPBX_GETDEVICEPARAMETER = 6,
  EXTPBX_GETDEVICEPARAMETER_CONF = 7,
  EXTPBX_GETLASTCALLINFO = 8,
  EXTPBX_GETLASTCALLINFO_CONF = 9,
  EXTPBX_DELETEDEVICEUNITS = 10,
  EXTPBX_DELETEDEVICEUNITS_CONF = 11,
  EXTPBX_GETDEVICEUNITS = 12,
  EXTPBX_GETDEVICEUNITS_CONF = 13,
  EXTPBX_DELALLREPORTLOGENTRIES = 14,
  EXTPBX_DELALLREPORTLOGENTRIES_CONF = 15,
  EXTPBX_GETMAXNUMBEROFCALLINFOS = 16,
  EXTPBX_GETMAXNUMBEROFCALLINFOS_CONF = 17,
  EXTPBX_GETMAXNUMBEROFDEVICES = 18,
  EXTPBX_GETMAXNUMBEROFDEVICES_CONF = 19,
};

struct CSTAMessage {
  static constexpr std::size_t kSize = 982;
  static constexpr std::size_t kInvokeIdAt = 0;
  static constexpr std::size_t kCrossRefIdAt = 4;
  static constexpr std::size_t kTypeAt = 8;
  static constexpr std::size_t kDataAt = 10;
  static constexpr std::size_t kDataSize = kSize - kDataAt;
  // Width of the device-number text fields.
  static constexpr std::size_t kNumberWidth = 64;

  std::array<std::uint8_t, kSize> bytes{};

  // A record from received bytes: at most kSize are taken, the rest is zero.
  static CSTAMessage FromBytes(const std::uint8_t* data, std::size_t n);

  void Clear() { bytes.fill(0); }
  std::uint8_t* data() { return bytes.data(); }
  const std::uint8_t* data() const { return bytes.data(); }
  static constexpr std::size_t size() { return kSize; }

  std::uint32_t InvokeId() const { return U32(kInvokeIdAt); }
  void SetInvokeId(std::uint32_t v) { SetU32(kInvokeIdAt, v); }
  std::uint32_t CrossRefId() const { return U32(kCrossRefIdAt); }
  void SetCrossRefId(std::uint32_t v) { SetU32(kCrossRefIdAt, v); }
  std::uint16_t Type() const { return U16(kTypeAt); }
  void SetType(std::uint16_t v) { SetU16(kTypeAt, v); }
  // The kind byte of a CSTA_PRIVATE record.
  std::uint8_t PrivateKind() const { return U8(kDataAt); }

  // Field access at a record offset. A field that would reach past the
  // record reads as zero and is not written.
  std::uint8_t U8(std::size_t at) const;
  std::uint16_t U16(std::size_t at) const;
  std::int16_t I16(std::size_t at) const { return static_cast<std::int16_t>(U16(at)); }
  std::uint32_t U32(std::size_t at) const;
  void SetU8(std::size_t at, std::uint8_t v);
  void SetU16(std::size_t at, std::uint16_t v);
  void SetU32(std::size_t at, std::uint32_t v);

  // A NUL-terminated text in a field of `width` bytes: the text ends at the
  // first zero or at the field's end, whichever comes first.
  std::string Text(std::size_t at, std::size_t width) const;
  // Writes at most width - 1 characters, a zero, and zero over the rest of
  // the field; a longer text is cut. Never writes outside the field.
  void SetText(std::size_t at, std::size_t width, std::string_view text);

  bool operator==(const CSTAMessage&) const = default;
};
static_assert(sizeof(CSTAMessage) == CSTAMessage::kSize);
static_assert(CSTAMessage::kDataSize == 972);

// A connection: u32 call id, the device number text, u16 device id type.
struct CSTAConnectionId {
  static constexpr std::size_t kSize = 70;
  static constexpr std::size_t kCallIdAt = 0;
  static constexpr std::size_t kDeviceAt = 4;
  static constexpr std::size_t kDeviceWidth = 64;
  static constexpr std::size_t kDeviceIdTypeAt = 68;

  std::uint32_t callId = 0;
  std::string device;
  std::uint16_t deviceIdType = 0;

  static CSTAConnectionId Read(const CSTAMessage& m, std::size_t at);
  void Write(CSTAMessage& m, std::size_t at) const;
  bool operator==(const CSTAConnectionId&) const = default;
};
static_assert(CSTAConnectionId::kDeviceAt == CSTAConnectionId::kCallIdAt + 4);
static_assert(CSTAConnectionId::kDeviceIdTypeAt == CSTAConnectionId::kDeviceAt + CSTAConnectionId::kDeviceWidth);
static_assert(CSTAConnectionId::kSize == CSTAConnectionId::kDeviceIdTypeAt + 2);

// A device: the device number text, u16 device id type, u16 device id status.
struct CSTAExtendedDevice {
  static constexpr std::size_t kSize = 68;
  static constexpr std::size_t kDeviceAt = 0;
  static constexpr std::size_t kDeviceWidth = 64;
  static constexpr std::size_t kDeviceIdTypeAt = 64;
  static constexpr std::size_t kDeviceIdStatusAt = 66;

  std::string device;
  std::uint16_t deviceIdType = 0;
  std::uint16_t deviceIdStatus = 0;

  static CSTAExtendedDevice Read(const CSTAMessage& m, std::size_t at);
  void Write(CSTAMessage& m, std::size_t at) const;
  bool operator==(const CSTAExtendedDevice&) const = default;
};
static_assert(CSTAExtendedDevice::kDeviceIdTypeAt == CSTAExtendedDevice::kDeviceAt + CSTAExtendedDevice::kDeviceWidth);
static_assert(CSTAExtendedDevice::kDeviceIdStatusAt == CSTAExtendedDevice::kDeviceIdTypeAt + 2);
static_assert(CSTAExtendedDevice::kSize == CSTAExtendedDevice::kDeviceIdStatusAt + 2);

// Highest message type that has a name.
inline constexpr std::uint16_t kCSTAMaxType = 133;
// Bytes sent for a message with only its header.
inline constexpr std::uint16_t kCSTAHeaderLength = 10;
// Every CSTA_PRIVATE record travels with this many bytes.
inline constexpr std::uint16_t kCSTAPrivateLength = 111;

// Number of bytes from the record's start that are transmitted for a type:
// the header alone (10) for every type without a length of its own and for
// every type outside 1..126.
std::uint16_t CSTASendLength(std::uint16_t type);
// Trace name of a type; nullptr for 0, for CSTA_PRIVATE (named by its kind,
// see ExtPbxKindName) and for types above 133. The caller substitutes its
// language text for those.
const char* CSTATypeName(std::uint16_t type);
// Name of a private kind; nullptr for kinds of 20 or more.
const char* ExtPbxKindName(std::uint8_t kind);
// Name of a record: its type's name, or for CSTA_PRIVATE its kind's name;
// nullptr when neither has one.
const char* CSTAMessageName(const CSTAMessage& m);
// Universal failure name; "UNKNOWN ERROR CODE" for every code not listed.
const char* CSTAFailureName(int code);
