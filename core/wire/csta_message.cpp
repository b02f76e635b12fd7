#include "core/wire/csta_message.h"

#include <algorithm>
#include <cstring>

CSTAMessage CSTAMessage::FromBytes(const std::uint8_t* data, std::size_t n) {
  CSTAMessage m;
  if (data != nullptr) std::memcpy(m.bytes.data(), data, std::min(n, kSize));
  return m;
}

std::uint8_t CSTAMessage::U8(std::size_t at) const { return at < kSize ? bytes[at] : 0; }

std::uint16_t CSTAMessage::U16(std::size_t at) const {
  if (at > kSize - 2) return 0;
  return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

std::uint32_t CSTAMessage::U32(std::size_t at) const {
  if (at > kSize - 4) return 0;
  return static_cast<std::uint32_t>(bytes[at]) | (static_cast<std::uint32_t>(bytes[at + 1]) << 8) |
         (static_cast<std::uint32_t>(bytes[at + 2]) << 16) | (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

void CSTAMessage::SetU8(std::size_t at, std::uint8_t v) {
  if (at < kSize) bytes[at] = v;
}

void CSTAMessage::SetU16(std::size_t at, std::uint16_t v) {
  if (at > kSize - 2) return;
  bytes[at] = static_cast<std::uint8_t>(v);
  bytes[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void CSTAMessage::SetU32(std::size_t at, std::uint32_t v) {
  if (at > kSize - 4) return;
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::string CSTAMessage::Text(std::size_t at, std::size_t width) const {
  if (at >= kSize) return {};
  width = std::min(width, kSize - at);
  const auto* begin = reinterpret_cast<const char*>(bytes.data() + at);
  const void* nul = std::memchr(begin, 0, width);
  return std::string(begin, nul ? static_cast<const char*>(nul) - begin : width);
}

void CSTAMessage::SetText(std::size_t at, std::size_t width, std::string_view text) {
  if (width == 0 || at >= kSize || width > kSize - at) return;
  const std::size_t n = std::min(text.size(), width - 1);
  std::memcpy(bytes.data() + at, text.data(), n);
  std::memset(bytes.data() + at + n, 0, width - n);
}

CSTAConnectionId CSTAConnectionId::Read(const CSTAMessage& m, std::size_t at) {
  CSTAConnectionId c;
  c.callId = m.U32(at + kCallIdAt);
  c.device = m.Text(at + kDeviceAt, kDeviceWidth);
  c.deviceIdType = m.U16(at + kDeviceIdTypeAt);
  return c;
}

void CSTAConnectionId::Write(CSTAMessage& m, std::size_t at) const {
  m.SetU32(at + kCallIdAt, callId);
  m.SetText(at + kDeviceAt, kDeviceWidth, device);
  m.SetU16(at + kDeviceIdTypeAt, deviceIdType);
}

CSTAExtendedDevice CSTAExtendedDevice::Read(const CSTAMessage& m, std::size_t at) {
  CSTAExtendedDevice d;
  d.device = m.Text(at + kDeviceAt, kDeviceWidth);
  d.deviceIdType = m.U16(at + kDeviceIdTypeAt);
  d.deviceIdStatus = m.U16(at + kDeviceIdStatusAt);
  return d;
}

void CSTAExtendedDevice::Write(CSTAMessage& m, std::size_t at) const {
  m.SetText(at + kDeviceAt, kDeviceWidth, device);
  m.SetU16(at + kDeviceIdTypeAt, deviceIdType);
  m.SetU16(at + kDeviceIdStatusAt, deviceIdStatus);
}

namespace {

// Index 0 is type 1.
constexpr const char* kTypeNames[kCSTAMaxType] = {
    "CSTA_ALTERNATE_CALL",
    "CSTA_ALTERNATE_CALL_CONF",
    "CSTA_ANSWER_CALL",
    "CSTA_ANSWER_CALL_CONF",
    "CSTA_CALL_COMPLETION",
    "CSTA_CALL_COMPLETION_CONF",
    "CSTA_CLEAR_CALL",
    "CSTA_CLEAR_CALL_CONF",
    "CSTA_CLEAR_CONNECTION",
    "CSTA_CLEAR_CONNECTION_CONF",
    "CSTA_CONFERENCE_CALL",
    "CSTA_CONFERENCE_CALL_CONF",
    "CSTA_CONSULTATION_CALL",
    "CSTA_CONSULTATION_CALL_CONF",
    "CSTA_DEFLECT_CALL",
    "CSTA_DEFLECT_CALL_CONF",
    "CSTA_PICKUP_CALL",
    "CSTA_PICKUP_CALL_CONF",
    "CSTA_GROUP_PICKUP_CALL",
    "CSTA_GROUP_PICKUP_CALL_CONF",
    "CSTA_HOLD_CALL",
    "CSTA_HOLD_CALL_CONF",
    "CSTA_MAKE_CALL",
    "CSTA_MAKE_CALL_CONF",
    "CSTA_MAKE_PREDICTIVE_CALL",
    "CSTA_MAKE_PREDICTIVE_CALL_CONF",
    "CSTA_QUERY_MWI",
    "CSTA_QUERY_MWI_CONF",
    "CSTA_QUERY_DND",
    "CSTA_QUERY_DND_CONF",
    "CSTA_QUERY_FWD",
    "CSTA_QUERY_FWD_CONF",
    "CSTA_QUERY_AGENT_STATE",
    "CSTA_QUERY_AGENT_STATE_CONF",
    "CSTA_QUERY_LAST_NUMBER",
    "CSTA_QUERY_LAST_NUMBER_CONF",
    "CSTA_QUERY_DEVICE_INFO",
    "CSTA_QUERY_DEVICE_INFO_CONF",
    "CSTA_RECONNECT_CALL",
    "CSTA_RECONNECT_CALL_CONF",
    "CSTA_RETRIEVE_CALL",
    "CSTA_RETRIEVE_CALL_CONF",
    "CSTA_SET_MWI",
    "CSTA_SET_MWI_CONF",
    "CSTA_SET_DND",
    "CSTA_SET_DND_CONF",
    "CSTA_SET_FWD",
    "CSTA_SET_FWD_CONF",
    "CSTA_SET_AGENT_STATE",
    "CSTA_SET_AGENT_STATE_CONF",
    "CSTA_TRANSFER_CALL",
    "CSTA_TRANSFER_CALL_CONF",
    "CSTA_UNIVERSAL_FAILURE_CONF",
    "CSTA_CALL_CLEARED",
    "CSTA_CONFERENCED",
    "CSTA_CONNECTION_CLEARED",
    "CSTA_DELIVERED",
    "CSTA_DIVERTED",
    "CSTA_ESTABLISHED",
    "CSTA_FAILED",
    "CSTA_HELD",
    "CSTA_NETWORK_REACHED",
    "CSTA_ORIGINATED",
    "CSTA_QUEUED",
    "CSTA_RETRIEVED",
    "CSTA_SERVICE_INITIATED",
    "CSTA_TRANSFERRED",
    "CSTA_CALL_INFORMATION",
    "CSTA_DO_NOT_DISTURB",
    "CSTA_FORWARDING",
    "CSTA_MESSAGE_WAITING",
    "CSTA_LOGGED_ON",
    "CSTA_LOGGED_OFF",
    "CSTA_NOT_READY",
    "CSTA_READY",
    "CSTA_WORK_NOT_READY",
    "CSTA_WORK_READY",
    "CSTA_ROUTE_REGISTER_REQ",
    "CSTA_ROUTE_REGISTER_REQ_CONF",
    "CSTA_ROUTE_REGISTER_CANCEL",
    "CSTA_ROUTE_REGISTER_CANCEL_CONF",
    "CSTA_ROUTE_REGISTER_ABORT",
    "CSTA_ROUTE_REQUEST",
    "CSTA_ROUTE_SELECT_REQUEST",
    "CSTA_RE_ROUTE_REQUEST",
    "CSTA_ROUTE_USED",
    "CSTA_ROUTE_END",
    "CSTA_ROUTE_END_REQUEST",
    "CSTA_ESCAPE_SVC",
    "CSTA_ESCAPE_SVC_CONF",
    "CSTA_ESCAPE_SVC_REQ",
    "CSTA_ESCAPE_SVC_REQ_CONF",
    nullptr,  // 93: named by its kind
    "CSTA_PRIVATE_STATUS",
    "CSTA_SEND_PRIVATE",
    "CSTA_BACK_IN_SERVICE",
    "CSTA_OUT_OF_SERVICE",
    "CSTA_REQ_SYS_STAT",
    "CSTA_SYS_STAT_REQ_CONF",
    "CSTA_SYS_STAT_START",
    "CSTA_SYS_STAT_START_CONF",
    "CSTA_SYS_STAT_STOP",
    "CSTA_SYS_STAT_STOP_CONF",
    "CSTA_CHANGE_SYS_STAT_FILTER",
    "CSTA_CHANGE_SYS_STAT_FILTER_CONF",
    "CSTA_SYS_STAT",
    "CSTA_SYS_STAT_ENDED",
    "CSTA_SYS_STAT_REQ",
    "CSTA_REQ_SYS_STAT_CONF",
    "CSTA_SYS_STAT_EVENT_SEND",
    "CSTA_MONITOR_DEVICE",
    "CSTA_MONITOR_CALL",
    "CSTA_MONITOR_CALLS_VIA_DEVICE",
    "CSTA_MONITOR_CONF",
    "CSTA_CHANGE_MONITOR_FILTER",
    "CSTA_CHANGE_MONITOR_FILTER_CONF",
    "CSTA_MONITOR_STOP",
    "CSTA_MONITOR_STOP_CONF",
    "CSTA_MONITOR_ENDED",
    "CSTA_SNAPSHOT_CALL",
    "CSTA_SNAPSHOT_CALL_CONF",
    "CSTA_SNAPSHOT_DEVICE",
    "CSTA_SNAPSHOT_DEVICE_CONF",
    "CSTA_GETAPI_CAPS",
    "CSTA_GETAPI_CAPS_CONF",
    "CSTA_GET_DEVICE_LIST",
    "CSTA_GET_DEVICE_LIST_CONF",
    "CSTA_QUERY_CALL_MONITOR",
    "CSTA_QUERY_CALL_MONITOR_CONF",
    "CSTA_ROUTE_REQUEST_EXT",
    "CSTA_ROUTE_USED_EXT",
    "CSTA_ROUTE_SELECT_INV_REQUEST",
    "CSTA_ROUTE_END_INV_REQUEST",
};

constexpr std::uint16_t kSendLengths[kCSTAMaxType] = {
    150,
    10,
    80,
    10,
    10,
    10,
    80,
    10,
    80,
    10,
    150,
    10,
    144,
    10,
    144,
    10,
    144,
    10,
    10,
    10,
    81,
    10,
    138,
    10,
    10,
    10,
    10,
    10,
    74,
    11,
    74,
    481,
    74,
    12,
    10,
    10,
    74,
    77,
    150,
    10,
    80,
    10,
    10,
    10,
    75,
    11,
    141,
    11,
    204,
    11,
    150,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    111,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
    83,
    10,
    10,
    10,
    10,
    10,
    14,
    10,
    10,
    10,
    10,
    74,
    10,
    10,
    10,
    16,
    10,
    10,
    10,
    10,
    10,
    10,
    10,
};

// Types above this travel with the header alone, whatever the table says.
constexpr std::uint16_t kLastTypeWithLength = 126;

constexpr const char* kKindNames[20] = {
    "EXTPBX_GETNUMBEROFCALLINFOS",
    "EXTPBX_GETNUMBEROFCALLINFOS_CONF",
    "EXTPBX_GETSINGLECALLINFOBYIDX",
    "EXTPBX_GETSINGLECALLINFOBYIDX_CONF",
    "EXTPBX_GETSINGLECALLINFO",
    "EXTPBX_GETSINGLECALLINFO_CONF",
    "EXTPBX_GETDEVICEPARAMETER",
    "EXTPBX_GETDEVICEPARAMETER_CONF",
    "EXTPBX_GETLASTCALLINFO",
    "EXTPBX_GETLASTCALLINFO_CONF",
    "EXTPBX_DELETEDEVICEUNITS",
    "EXTPBX_DELETEDEVICEUNITS_CONF",
    "EXTPBX_GETDEVICEUNITS",
    "EXTPBX_GETDEVICEUNITS_CONF",
    "EXTPBX_DELALLREPORTLOGENTRIES",
    "EXTPBX_DELALLREPORTLOGENTRIES_CONF",
    "EXTPBX_GETMAXNUMBEROFCALLINFOS",
    "EXTPBX_GETMAXNUMBEROFCALLINFOS_CONF",
    "EXTPBX_GETMAXNUMBEROFDEVICES",
    "EXTPBX_GETMAXNUMBEROFDEVICES_CONF",
};

struct FailureName {
  int code;
  const char* name;
};

constexpr FailureName kFailureNames[] = {
    {0, "GENERIC_UNSPECIFIED"},
    {1, "GENERIC_OPERATION"},
    {2, "REQUEST_INCOMPATIBLE_WITH_OBJECT"},
    {3, "VALUE_OUT_OF_RANGE"},
    {4, "OBJECT_NOT_KNOWN"},
    {5, "INVALID_CALLING_DEVICE"},
    {6, "INVALID_CALLED_DEVICE"},
    {7, "INVALID_FORWARDING_DESTINATION"},
    {8, "PRIVILEGE_VIOLATION_ON_SPECIFIED_DEVICE"},
    {9, "PRIVILEGE_VIOLATION_ON_CALLED_DEVICE"},
    {10, "PRIVILEGE_VIOLATION_ON_CALLING_DEVICE"},
    {11, "INVALID_CSTA_CALL_IDENTIFIER"},
    {12, "INVALID_CSTA_DEVICE_IDENTIFIER"},
    {13, "INVALID_CSTA_CONNECTION_IDENTIFIER"},
    {14, "INVALID_DESTINATION"},
    {15, "INVALID_FEATURE"},
    {16, "INVALID_ALLOCATION_STATE"},
    {17, "INVALID_CROSS_REF_ID"},
    {18, "INVALID_OBJECT_TYPE"},
    {19, "SECURITY_VIOLATION"},
    {21, "GENERIC_STATE_INCOMPATIBILITY"},
    {22, "INVALID_OBJECT_STATE"},
    {23, "INVALID_CONNECTION_ID_FOR_ACTIVE_CALL"},
    {24, "NO_ACTIVE_CALL"},
    {25, "NO_HELD_CALL"},
    {26, "NO_CALL_TO_CLEAR"},
    {27, "NO_CONNECTION_TO_CLEAR"},
    {28, "NO_CALL_TO_ANSWER"},
    {29, "NO_CALL_TO_COMPLETE"},
    {31, "GENERIC_SYSTEM_RESOURCE_AVAILABILITY"},
    {32, "SERVICE_BUSY"},
    {33, "RESOURCE_BUSY"},
    {34, "RESOURCE_OUT_OF_SERVICE"},
    {35, "NETWORK_BUSY"},
    {36, "NETWORK_OUT_OF_SERVICE"},
    {37, "OVERALL_MONITOR_LIMIT_EXCEEDED"},
    {38, "CONFERENCE_MEMBER_LIMIT_EXCEEDED"},
    {41, "GENERIC_SUBSCRIBED_RESOURCE_AVAILABILITY"},
    {42, "OBJECT_MONITOR_LIMIT_EXCEEDED"},
    {43, "EXTERNAL_TRUNK_LIMIT_EXCEEDED"},
    {44, "OUTSTANDING_REQUEST_LIMIT_EXCEEDED"},
    {51, "GENERIC_PERFORMANCE_MANAGEMENT"},
    {52, "PERFORMANCE_LIMIT_EXCEEDED"},
    {60, "UNSPECIFIED_SECURITY_ERROR"},
    {61, "SEQUENCE_NUMBER_VIOLATED"},
    {62, "TIME_STAMP_VIOLATED"},
    {63, "PAC_VIOLATED"},
    {64, "SEAL_VIOLATED"},
    {70, "GENERIC_UNSPECIFIED_REJECTION"},
    {71, "GENERIC_OPERATION_REJECTION"},
    {72, "DUPLICATE_INVOCATION_REJECTION"},
    {73, "UNRECOGNIZED_OPERATION_REJECTION"},
    {74, "MISTYPED_ARGUMENT_REJECTION"},
    {75, "RESOURCE_LIMITATION_REJECTION"},
    {76, "ACS_HANDLE_TERMINATION_REJECTION"},
    {77, "SERVICE_TERMINATION_REJECTION"},
    {78, "REQUEST_TIMEOUT_REJECTION"},
    {79, "REQUESTS_ON_DEVICE_EXCEEDED_REJECTION"},
    {80, "UNRECOGNIZED_APDU_REJECTION"},
    {81, "MISTYPED_APDU_REJECTION"},
    {82, "BADLY_STRUCTURED_APDU_REJECTION"},
    {83, "INITIATOR_RELEASING_REJECTION"},
    {84, "UNRECOGNIZED_LINKEDID_REJECTION"},
    {85, "LINKED_RESPONSE_UNEXPECTED_REJECTION"},
    {86, "UNEXPECTED_CHILD_OPERATION_REJECTION"},
    {87, "MISTYPED_RESULT_REJECTION"},
    {88, "UNRECOGNIZED_ERROR_REJECTION"},
    {89, "UNEXPECTED_ERROR_REJECTION"},
    {90, "MISTYPED_PARAMETER_REJECTION"},
    {100, "NON_STANDARD"}};

}  // namespace

std::uint16_t CSTASendLength(std::uint16_t type) {
  if (type < 1 || type > kLastTypeWithLength) return kCSTAHeaderLength;
  return kSendLengths[type - 1];
}

const char* CSTATypeName(std::uint16_t type) {
  if (type < 1 || type > kCSTAMaxType) return nullptr;
  return kTypeNames[type - 1];
}

const char* ExtPbxKindName(std::uint8_t kind) {
  return kind < std::size(kKindNames) ? kKindNames[kind] : nullptr;
}

const char* CSTAMessageName(const CSTAMessage& m) {
  if (m.Type() == CSTA_PRIVATE) return ExtPbxKindName(m.PrivateKind());
  return CSTATypeName(m.Type());
}

const char* CSTAFailureName(int code) {
  for (const auto& f : kFailureNames) {
    if (f.code == code) return f.name;
  }
  return "UNKNOWN ERROR CODE";
}
