// The network link library's interface: a WinSock-style endpoint to a
// server that relays the PBX's CSTA messages, opened by handle and reporting
// to the caller's window by messages.
//
// Reading the messages: a message's data travels in plat::Message::payload
// (the message owns it), never as a pointer in lParam.
// - 1590 and the other frame deliveries (1591, 1593, 1594, 1598, 1600,
//   1601): payload is a 982-byte record, the frame's payload followed by
//   zeros; lParam is 982.
// - 1581, 1583 and 1599: payload is the name of the result or error code,
//   NUL-terminated; lParam is the name's length, 0 when there is no name
//   (1581 for an unanswered hello).
// - 1588: lParam is the socket event's lParam (event in the low word, error
//   in the high word), or 0; no payload.
// Handles are numbers 0..9 in the low word of the result; 0xFFFF in the low
// word is a failed open. Every function checks the handle it is given.
#pragma once
#include <cstdint>

#include "platform/win32types.h"

namespace netlink {

// Open flags.
constexpr std::uint32_t kFlagServer = 0x01000000;
constexpr std::uint32_t kFlagClient = 0x02000000;
constexpr std::uint32_t kFlagMulti = 0x04000000;
constexpr std::uint32_t kFlagDatagram = 0x10000000;
constexpr std::uint32_t kFlagShowWindow = 0x00010000;
constexpr std::uint32_t kFlagMinimised = 0x00040000;
constexpr std::uint32_t kFlagCsta = 0x00000020;
constexpr std::uint32_t kFlagType5 = 0x00000010;
constexpr std::uint32_t kFlagType20 = 0x00000200;
constexpr std::uint32_t kFlagType21 = 0x00000400;
constexpr std::uint32_t kFlagType24 = 0x00000800;
constexpr std::uint32_t kFlagType25 = 0x00001000;
constexpr std::uint32_t kFlagType26 = 0x00002000;

// Messages to the caller's window.
constexpr plat::UINT kMsgRegistered = 1580;
constexpr plat::UINT kMsgRegistrationRefused = 1581;
constexpr plat::UINT kMsgUnregistered = 1582;
constexpr plat::UINT kMsgUnregistrationRefused = 1583;
constexpr plat::UINT kMsgClientRegistered = 1585;
constexpr plat::UINT kMsgClientUnregistered = 1586;
constexpr plat::UINT kMsgLinkLost = 1588;
constexpr plat::UINT kMsgCsta = 1590;
constexpr plat::UINT kMsgType5 = 1591;
constexpr plat::UINT kMsgType20 = 1593;
constexpr plat::UINT kMsgType21 = 1594;
constexpr plat::UINT kMsgType24 = 1598;
constexpr plat::UINT kMsgSocketError = 1599;
constexpr plat::UINT kMsgType25 = 1600;
constexpr plat::UINT kMsgType26 = 1601;

// The library's own window messages.
constexpr plat::UINT kMsgSocketEvent = 1124;
constexpr plat::UINT kMsgSendFrame = 1132;
constexpr plat::UINT kMsgRegistrationConfirmed = 1138;
constexpr plat::UINT kMsgAliveTimeOut = 1144;
constexpr plat::UINT kMsgAliveConfirmation = 1145;

constexpr std::uint16_t kFailedOpen = 0xFFFF;
constexpr std::uint16_t kNoWindow = 0xFFFE;
constexpr int kDefaultPort = 4369;
constexpr std::size_t kRecordSize = 982;

}  // namespace netlink

extern "C" {
std::uint32_t PBXNWHOpenDLLEx(plat::WindowId wnd, std::uint32_t flags, const char* host, std::int32_t port);
// addr: four bytes of an IPv4 address in network order (may be null).
std::uint32_t PBXNWHOpenDLL(plat::WindowId wnd, std::uint32_t flags, const std::uint8_t* addr);
std::uint32_t PBXNWHCloseDLL(std::uint32_t handle);
std::uint32_t PBXNWHCloseDLLConnection(std::uint32_t handle, std::uint32_t reserved);
// Result 1: handed to the socket layer; 0: refused (length 0 or above 982,
// a type that cannot be framed, no connection for the client id);
// 0xFFFFFFFF: handle outside the table; 0xFFFE: no window serves the handle.
std::uint32_t PBXNWHSendMessageToNetWork(std::uint32_t handle, std::uint32_t clientId, std::uint32_t typeBit,
                                         const void* data, std::uint32_t length);
std::uint32_t PBXNWHSetNotificationParametersEx(std::uint32_t handle, plat::WindowId wnd, std::uint32_t eventType,
                                                std::uint32_t message);
std::uint32_t PBXNWHSetNotificationParameters(std::uint32_t a, std::uint32_t b, std::uint32_t c);
// The four numbers as bytes in text order: the result's bytes in memory
// (little-endian) are the address in network order. 0 when the text does
// not start with a dotted quad.
std::uint32_t PBXNWHConvertIPStringToLONG(const char* text);
std::uint32_t PBXNWHGetIPLongForHostName(const char* name, std::int32_t show);
std::uint32_t PBXNWHGetDLLConnectionState(std::uint32_t handle, std::uint32_t clientId);
std::uint32_t PBXNWHOpenDLLTraceWindow(std::uint32_t handle);
std::uint32_t PBXNWHCloseDLLTraceWindow(std::uint32_t handle);
const char* PBXNWHGetDLLVersion();

// The call-charge logger (one per process). flags: 0x01 log at once; 0x02
// or 0x04 write to the file; 0x08 write to a file named after the day;
// 0x10 switch to the day's file when the day changes. 1 when made; 0xFFFF
// in the low word when one exists.
std::uint32_t PBXNWHOpenChargingThreat(plat::WindowId owner, std::uint32_t reserved, std::uint32_t flags);
// record: a message record of at most 982 bytes (none is read beyond).
// 1 when a line was added; 0 for another kind, while not logging, or
// without a logger.
std::uint32_t PBXNWHProcessChargingThreatMsg(const void* record, std::uint32_t reserved);
// flag 0: the last file line (valid until the next call into the logger);
// otherwise, or without a logger, "".
const char* PBXNWHGetChargingFStringFromMsg(std::uint32_t flag, std::uint32_t reserved1, std::uint32_t reserved2);
// 1 when the logger was closed; -1 when there was none.
std::int32_t PBXNWHCloseChargingThreat(std::uint32_t reserved);
}
