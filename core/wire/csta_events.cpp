#include "core/wire/csta_events.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::size_t kW = CSTAMessage::kNumberWidth;
constexpr std::size_t kBcdAt = 40;
constexpr std::size_t kBcdBytes = 10;

template <std::size_t N>
void CopyOut(const CSTAMessage& m, std::size_t at, std::array<std::uint8_t, N>& out) {
  static_assert(N > 0);
  std::memcpy(out.data(), m.data() + at, N);
}

}  // namespace

MakeCallConf ReadMakeCallConf(const CSTAMessage& m) { return {CSTAConnectionId::Read(m, 10)}; }

ConferenceCallConf ReadConferenceCallConf(const CSTAMessage& m) {
  return {CSTAConnectionId::Read(m, 10), m.U16(80)};
}

std::int16_t ReadUniversalFailureCode(const CSTAMessage& m) { return m.I16(10); }

ConferencedEvent ReadConferenced(const CSTAMessage& m) {
  ConferencedEvent e;
  e.primaryOldCall = CSTAConnectionId::Read(m, 10);
  e.secondaryOldCall = CSTAConnectionId::Read(m, 80);
  e.conferencingDevice = CSTAExtendedDevice::Read(m, 150);
  e.addedParty = CSTAExtendedDevice::Read(m, 218);
  e.count = m.U16(286);
  const std::size_t n = std::min<std::size_t>(e.count, ConferencedEvent::kMaxEntries);
  e.connections.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t at = ConferencedEvent::kEntriesAt + i * ConferencedEvent::kEntrySize;
    e.connections.push_back(
        {CSTAConnectionId::Read(m, at), CSTAExtendedDevice::Read(m, at + CSTAConnectionId::kSize)});
  }
  return e;
}

ConnectionClearedEvent ReadConnectionCleared(const CSTAMessage& m) {
  return {CSTAConnectionId::Read(m, 10), CSTAExtendedDevice::Read(m, 80), m.U16(148), m.U16(150)};
}

DeliveredEvent ReadDelivered(const CSTAMessage& m) {
  DeliveredEvent e;
  e.connection = CSTAConnectionId::Read(m, 10);
  e.alertingDevice = CSTAExtendedDevice::Read(m, 80);
  e.callingDevice = CSTAExtendedDevice::Read(m, 148);
  e.calledDevice = CSTAExtendedDevice::Read(m, 216);
  e.lastRedirectionDevice = CSTAExtendedDevice::Read(m, 284);
  e.localConnectionState = m.U16(352);
  e.cause = m.U16(354);
  return e;
}

FailedEvent ReadFailed(const CSTAMessage& m) {
  return {CSTAConnectionId::Read(m, 10), CSTAExtendedDevice::Read(m, 80), CSTAExtendedDevice::Read(m, 148),
          m.U16(216), m.U16(218)};
}

HeldEvent ReadHeld(const CSTAMessage& m) {
  return {CSTAConnectionId::Read(m, 10), CSTAExtendedDevice::Read(m, 80), m.U16(148), m.U16(150)};
}

ServiceInitiatedEvent ReadServiceInitiated(const CSTAMessage& m) {
  return {CSTAConnectionId::Read(m, 10), m.U16(80), m.U16(82)};
}

TransferredEvent ReadTransferred(const CSTAMessage& m) {
  return {CSTAConnectionId::Read(m, 10), CSTAConnectionId::Read(m, 80)};
}

std::string ReadSnapshotDeviceNumber(const CSTAMessage& m) { return m.Text(10, kW); }

SnapshotDeviceConf ReadSnapshotDeviceConf(const CSTAMessage& m) {
  SnapshotDeviceConf c;
  c.count = m.I16(10);
  c.device = m.Text(16, kW);
  CopyOut(m, SnapshotDeviceConf::kKeptAt, c.kept);
  return c;
}

MonitorConf ReadMonitorConf(const CSTAMessage& m) { return {m.U32(10), m.U32(14), m.U32(18), m.U8(22)}; }

ApiCapsConf ReadApiCapsConf(const CSTAMessage& m) {
  ApiCapsConf c;
  CopyOut(m, ApiCapsConf::kKeptAt, c.kept);
  c.answersQueryForwarding = m.U16(ApiCapsConf::kQueryForwardingAt) == 1;
  c.answersSnapshotDevice = m.U16(ApiCapsConf::kSnapshotDeviceAt) == 1;
  return c;
}

QueryForwardingConf ReadQueryForwardingConf(const CSTAMessage& m) {
  QueryForwardingConf c;
  CopyOut(m, QueryForwardingConf::kKeptAt, c.kept);
  return c;
}

PrivateReply ReadPrivateReply(const CSTAMessage& m) {
  // Each text ends at the next field or at the end of the 111 bytes sent.
  auto text = [&m](std::size_t at, std::size_t end) { return m.Text(at, end - at); };
  constexpr std::size_t kEnd = kCSTAPrivateLength;
  PrivateReply r;
  r.kind = m.PrivateKind();
  switch (r.kind) {
    case EXTPBX_GETNUMBEROFCALLINFOS_CONF:
    case EXTPBX_GETMAXNUMBEROFCALLINFOS_CONF:
      r.count = text(22, kEnd);
      break;
    case EXTPBX_GETSINGLECALLINFOBYIDX_CONF:
      r.index = text(11, 16);
      r.startTime = text(16, 27);
      r.duration = text(27, 33);
      r.units = text(33, kBcdAt);
      UnpackBcdNumbers(m.data() + kBcdAt, &r.callingNumber, &r.calledNumber);
      break;
    case EXTPBX_GETLASTCALLINFO_CONF:
      r.device = text(11, 22);
      r.startTime = text(22, 33);
      r.duration = text(33, 39);
      r.units = text(39, 46);
      r.dialledNumber = text(46, kEnd);
      break;
    case EXTPBX_DELETEDEVICEUNITS_CONF:
      r.device = text(11, kEnd);
      break;
    case EXTPBX_GETDEVICEUNITS_CONF:
      r.device = text(11, 22);
      r.units = text(22, 28);
      r.dialledNumber = text(28, kEnd);
      break;
    case EXTPBX_GETMAXNUMBEROFDEVICES_CONF:
      r.count = text(11, kEnd);
      break;
    default:
      break;
  }
  return r;
}

int UnpackBcdNumbers(const std::uint8_t* source, std::string* first, std::string* second) {
  if (source == nullptr || first == nullptr || second == nullptr) return 0;
  first->clear();
  second->clear();
  std::string* out = first;
  for (std::size_t i = 0; i < kBcdBytes; ++i) {
    const std::uint8_t b = source[i];
    if (b == 0xFF) {
      if (out == second) break;
      out = second;
      continue;
    }
    for (const int digit : {b >> 4, b & 0x0F}) {
      if (digit <= 9) out->push_back(static_cast<char>('0' + digit));
    }
  }
  return 1;
}
