// Builders of the requests that the program sends to the PBX. Each returns
// a zeroed record with the invoke id at 0, the cross-reference id of the
// acting device at 4, the type at 8 and the fields of its layout. Numbers
// longer than their field are cut so that the field keeps its zero.
#pragma once
#include <cstdint>
#include <string_view>

#include "core/wire/csta_message.h"

// Record offsets of the request layouts.
namespace csta_req {
inline constexpr std::size_t kMakeCallCallingAt = 10;
inline constexpr std::size_t kMakeCallCalledAt = 74;
inline constexpr std::size_t kCallIdAt = 10;
inline constexpr std::size_t kDeviceAt = 14;
inline constexpr std::size_t kHoldOtherNumberAt = 74;
inline constexpr std::size_t kSecondNumberAt = 80;       // consultation, deflect
inline constexpr std::size_t kTransferActiveCallIdAt = 80;
inline constexpr std::size_t kTransferActiveCalledAt = 84;
inline constexpr std::size_t kExtensionAt = 10;          // monitor, snapshot, query forwarding
inline constexpr std::size_t kMonitorFilterAt = 74;
inline constexpr std::size_t kMonitorFlagsAt = 76;
inline constexpr std::size_t kMonitorStopRefAt = 10;
inline constexpr std::size_t kPrivateKindAt = 10;
inline constexpr std::size_t kPrivateTextAt = 11;
// The private request's text reaches to the end of the 111 bytes sent.
inline constexpr std::size_t kPrivateTextWidth = kCSTAPrivateLength - kPrivateTextAt;
inline constexpr std::uint16_t kMonitorFilter = 0xFFFC;
inline constexpr std::uint8_t kMonitorFlags = 0xFF;

static_assert(kMakeCallCalledAt == kMakeCallCallingAt + CSTAMessage::kNumberWidth);
static_assert(kDeviceAt + CSTAMessage::kNumberWidth <= kSecondNumberAt);
static_assert(kTransferActiveCalledAt + CSTAMessage::kNumberWidth <= 150);
static_assert(kSecondNumberAt + CSTAMessage::kNumberWidth == 144);
}  // namespace csta_req

// 23: calling device (own extension) at 10, called number in dialable form at 74.
CSTAMessage MakeCallRequest(std::uint32_t invokeId, std::uint32_t crossRefId, std::string_view calling,
                            std::string_view called);
// 9: call id at 10, the device of the connection at 14.
CSTAMessage ClearConnectionRequest(std::uint32_t invokeId, std::uint32_t crossRefId, std::uint32_t callId,
                                   std::string_view device);
// 21: call id at 10, own main phone at 14, then the other party's number
// from 74 on. The two number fields overlap at 74..77: the main phone is
// written first, so the other party's number stands from 74 as sent.
CSTAMessage HoldCallRequest(std::uint32_t invokeId, std::uint32_t crossRefId, std::uint32_t callId,
                            std::string_view mainPhone, std::string_view otherNumber);
// 13: active call id at 10, own main phone at 14, number to consult at 80.
CSTAMessage ConsultationCallRequest(std::uint32_t invokeId, std::uint32_t crossRefId, std::uint32_t activeCallId,
                                    std::string_view mainPhone, std::string_view consultNumber);
// 51: held call id at 10, the held call's device at 14, active call id at
// 80, the active call's called number at 84.
CSTAMessage TransferCallRequest(std::uint32_t invokeId, std::uint32_t crossRefId, std::uint32_t heldCallId,
                                std::string_view heldDevice, std::uint32_t activeCallId,
                                std::string_view activeCalled);
// 15: call id at 10, the call's calling number at 14, destination at 80
// (the called number to deflect, or the own main phone to pick the call up).
CSTAMessage DeflectCallRequest(std::uint32_t invokeId, std::uint32_t crossRefId, std::uint32_t callId,
                               std::string_view calling, std::string_view destination);
// 124: header only.
CSTAMessage GetApiCapsRequest(std::uint32_t invokeId, std::uint32_t crossRefId);
// 111: cross-reference id 0, extension at 10, u16 0xFFFC at 74, 0xFF at 76.
CSTAMessage MonitorDeviceRequest(std::uint32_t invokeId, std::string_view extension);
// 117: the monitor's cross-reference id at 4 and again at 10.
CSTAMessage MonitorStopRequest(std::uint32_t invokeId, std::uint32_t crossRefId);
// 122: extension at 10.
CSTAMessage SnapshotDeviceRequest(std::uint32_t invokeId, std::uint32_t crossRefId, std::string_view extension);
// 31: extension at 10.
CSTAMessage QueryForwardingRequest(std::uint32_t invokeId, std::uint32_t crossRefId, std::string_view extension);
// 93: the kind at 10 and, when given, its text parameter from 11 (an index
// for kind 2, a device number or "*" for kinds 10 and 12).
CSTAMessage PrivateRequest(std::uint32_t invokeId, std::uint32_t crossRefId, std::uint8_t kind,
                           std::string_view text = {});
