#include "core/wire/csta_requests.h"

using namespace csta_req;

namespace {

constexpr std::size_t kW = CSTAMessage::kNumberWidth;

CSTAMessage Header(std::uint32_t invokeId, std::uint32_t crossRefId, std::uint16_t type) {
  CSTAMessage m;
  m.SetInvokeId(invokeId);
  m.SetCrossRefId(crossRefId);
  m.SetType(type);
  return m;
}

}  // namespace

CSTAMessage MakeCallRequest(std::uint32_t invokeId, std::uint32_t crossRefId, std::string_view calling,
                            std::string_view called) {
  CSTAMessage m = Header(invokeId, crossRefId, CSTA_MAKE_CALL);
  m.SetText(kMakeCallCallingAt, kW, calling);
  m.SetText(kMakeCallCalledAt, kW, called);
  return m;
}

CSTAMessage ClearConnectionRequest(std::uint32_t invokeId, std::uint32_t crossRefId, std::uint32_t callId,
                                   std::string_view device) {
  CSTAMessage m = Header(invokeId, crossRefId, CSTA_CLEAR_CONNECTION);
  m.SetU32(kCallIdAt, callId);
  m.SetText(kDeviceAt, kW, device);
  return m;
}

CSTAMessage HoldCallRequest(std::uint32_t invokeId, std::uint32_t crossRefId, std::uint32_t callId,
                            std::string_view mainPhone, std::string_view otherNumber) {
  CSTAMessage m = Header(invokeId, crossRefId, CSTA_HOLD_CALL);
  m.SetU32(kCallIdAt, callId);
  // Order matters: the other number overwrites the main phone's last bytes.
  m.SetText(kDeviceAt, kW, mainPhone);
  m.SetText(kHoldOtherNumberAt, kW, otherNumber);
  return m;
}

CSTAMessage ConsultationCallRequest(std::uint32_t invokeId, std::uint32_t crossRefId, std::uint32_t activeCallId,
                                    std::string_view mainPhone, std::string_view consultNumber) {
  CSTAMessage m = Header(invokeId, crossRefId, CSTA_CONSULTATION_CALL);
  m.SetU32(kCallIdAt, activeCallId);
  m.SetText(kDeviceAt, kW, mainPhone);
  m.SetText(kSecondNumberAt, kW, consultNumber);
  return m;
}

CSTAMessage TransferCallRequest(std::uint32_t invokeId, std::uint32_t crossRefId, std::uint32_t heldCallId,
                                std::string_view heldDevice, std::uint32_t activeCallId,
                                std::string_view activeCalled) {
  CSTAMessage m = Header(invokeId, crossRefId, CSTA_TRANSFER_CALL);
  m.SetU32(kCallIdAt, heldCallId);
  m.SetText(kDeviceAt, kW, heldDevice);
  m.SetU32(kTransferActiveCallIdAt, activeCallId);
  m.SetText(kTransferActiveCalledAt, kW, activeCalled);
  return m;
}

CSTAMessage DeflectCallRequest(std::uint32_t invokeId, std::uint32_t crossRefId, std::uint32_t callId,
                               std::string_view calling, std::string_view destination) {
  CSTAMessage m = Header(invokeId, crossRefId, CSTA_DEFLECT_CALL);
  m.SetU32(kCallIdAt, callId);
  m.SetText(kDeviceAt, kW, calling);
  m.SetText(kSecondNumberAt, kW, destination);
  return m;
}

CSTAMessage GetApiCapsRequest(std::uint32_t invokeId, std::uint32_t crossRefId) {
  return Header(invokeId, crossRefId, CSTA_GETAPI_CAPS);
}

CSTAMessage MonitorDeviceRequest(std::uint32_t invokeId, std::string_view extension) {
  CSTAMessage m = Header(invokeId, 0, CSTA_MONITOR_DEVICE);
  m.SetText(kExtensionAt, kW, extension);
  m.SetU16(kMonitorFilterAt, kMonitorFilter);
  m.SetU8(kMonitorFlagsAt, kMonitorFlags);
  return m;
}

CSTAMessage MonitorStopRequest(std::uint32_t invokeId, std::uint32_t crossRefId) {
  CSTAMessage m = Header(invokeId, crossRefId, CSTA_MONITOR_STOP);
  m.SetU32(kMonitorStopRefAt, crossRefId);
  return m;
}

CSTAMessage SnapshotDeviceRequest(std::uint32_t invokeId, std::uint32_t crossRefId, std::string_view extension) {
  CSTAMessage m = Header(invokeId, crossRefId, CSTA_SNAPSHOT_DEVICE);
  m.SetText(kExtensionAt, kW, extension);
  return m;
}

CSTAMessage QueryForwardingRequest(std::uint32_t invokeId, std::uint32_t crossRefId, std::string_view extension) {
  CSTAMessage m = Header(invokeId, crossRefId, CSTA_QUERY_FWD);
  m.SetText(kExtensionAt, kW, extension);
  return m;
}

CSTAMessage PrivateRequest(std::uint32_t invokeId, std::uint32_t crossRefId, std::uint8_t kind,
                           std::string_view text) {
  CSTAMessage m = Header(invokeId, crossRefId, CSTA_PRIVATE);
  m.SetU8(kPrivateKindAt, kind);
  if (!text.empty()) m.SetText(kPrivateTextAt, kPrivateTextWidth, text);
  return m;
}
