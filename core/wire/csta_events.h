// Readers of the confirmations, events and private replies that the program
// takes from the PBX. They read the record at its fixed offsets and never
// look at the type: the caller dispatches on it first.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/wire/csta_message.h"

// 24 (make call conf): the new call at 10.
struct MakeCallConf {
  CSTAConnectionId newCall;
};
MakeCallConf ReadMakeCallConf(const CSTAMessage& m);

// 12 (conference call conf): the new call at 10, u16 count at 80.
struct ConferenceCallConf {
  CSTAConnectionId newCall;
  std::uint16_t count = 0;
};
ConferenceCallConf ReadConferenceCallConf(const CSTAMessage& m);

// 53 (universal failure conf): i16 failure code at 10.
std::int16_t ReadUniversalFailureCode(const CSTAMessage& m);

// 55 (conferenced). The listed connections start at 288, 138 bytes each;
// the count at 286 comes from the PBX, so only the entries that lie within
// the record are read.
struct ConferencedEntry {
  CSTAConnectionId connection;
  CSTAExtendedDevice device;
};
struct ConferencedEvent {
  static constexpr std::size_t kEntriesAt = 288;
  static constexpr std::size_t kEntrySize = CSTAConnectionId::kSize + CSTAExtendedDevice::kSize;
  static constexpr std::size_t kMaxEntries = (CSTAMessage::kSize - kEntriesAt) / kEntrySize;

  CSTAConnectionId primaryOldCall;
  CSTAConnectionId secondaryOldCall;
  CSTAExtendedDevice conferencingDevice;
  CSTAExtendedDevice addedParty;
  std::uint16_t count = 0;  // as the PBX sent it
  std::vector<ConferencedEntry> connections;  // at most kMaxEntries
};
static_assert(ConferencedEvent::kEntrySize == 138);
ConferencedEvent ReadConferenced(const CSTAMessage& m);

// 56 (connection cleared).
struct ConnectionClearedEvent {
  CSTAConnectionId droppedConnection;
  CSTAExtendedDevice releasingDevice;
  std::uint16_t localConnectionState = 0;
  std::uint16_t cause = 0;
};
ConnectionClearedEvent ReadConnectionCleared(const CSTAMessage& m);

// 57 (delivered) and 59 (established): the device at 80 is the alerting
// device of a delivered call and the answering device of an established one.
struct DeliveredEvent {
  CSTAConnectionId connection;
  CSTAExtendedDevice alertingDevice;  // answering device for 59
  CSTAExtendedDevice callingDevice;
  CSTAExtendedDevice calledDevice;
  CSTAExtendedDevice lastRedirectionDevice;
  std::uint16_t localConnectionState = 0;
  std::uint16_t cause = 0;
};
DeliveredEvent ReadDelivered(const CSTAMessage& m);
inline DeliveredEvent ReadEstablished(const CSTAMessage& m) { return ReadDelivered(m); }

// 60 (failed).
struct FailedEvent {
  CSTAConnectionId failedConnection;
  CSTAExtendedDevice failingDevice;
  CSTAExtendedDevice calledDevice;
  std::uint16_t localConnectionState = 0;
  std::uint16_t cause = 0;
};
FailedEvent ReadFailed(const CSTAMessage& m);

// 61 (held) and 65 (retrieved): the connection, the device that acted.
struct HeldEvent {
  CSTAConnectionId connection;
  CSTAExtendedDevice device;  // holding or retrieving device
  std::uint16_t localConnectionState = 0;
  std::uint16_t cause = 0;
};
HeldEvent ReadHeld(const CSTAMessage& m);
inline HeldEvent ReadRetrieved(const CSTAMessage& m) { return ReadHeld(m); }

// 66 (service initiated).
struct ServiceInitiatedEvent {
  CSTAConnectionId initiatedConnection;
  std::uint16_t localConnectionState = 0;
  std::uint16_t cause = 0;
};
ServiceInitiatedEvent ReadServiceInitiated(const CSTAMessage& m);

// 67 (transferred): the primary old call at 10, the secondary at 80.
struct TransferredEvent {
  CSTAConnectionId primaryOldCall;
  CSTAConnectionId secondaryOldCall;
};
TransferredEvent ReadTransferred(const CSTAMessage& m);

// 122 (snapshot device): the device number at 10.
std::string ReadSnapshotDeviceNumber(const CSTAMessage& m);

// 123 (snapshot device conf): i16 count at 10, device number at 16; the 224
// bytes from 10 are what an extension keeps.
struct SnapshotDeviceConf {
  static constexpr std::size_t kKeptAt = 10;
  static constexpr std::size_t kKeptSize = 224;
  std::int16_t count = 0;
  std::string device;
  std::array<std::uint8_t, kKeptSize> kept{};
};
SnapshotDeviceConf ReadSnapshotDeviceConf(const CSTAMessage& m);

// 114 (monitor conf).
struct MonitorConf {
  std::uint32_t crossRefId = 0;
  std::uint32_t word14 = 0;
  std::uint32_t word18 = 0;
  std::uint8_t byte22 = 0;
};
MonitorConf ReadMonitorConf(const CSTAMessage& m);

// 125 (get API capabilities conf): 158 bytes from 10 are kept.
struct ApiCapsConf {
  static constexpr std::size_t kKeptAt = 10;
  static constexpr std::size_t kKeptSize = 158;
  static constexpr std::size_t kQueryForwardingAt = 40;
  static constexpr std::size_t kSnapshotDeviceAt = 140;
  std::array<std::uint8_t, kKeptSize> kept{};
  bool answersQueryForwarding = false;  // u16 at 40 is 1
  bool answersSnapshotDevice = false;   // u16 at 140 is 1
};
ApiCapsConf ReadApiCapsConf(const CSTAMessage& m);

// 32 (query forwarding conf): 471 bytes from 10 are kept per extension.
struct QueryForwardingConf {
  static constexpr std::size_t kKeptAt = 10;
  static constexpr std::size_t kKeptSize = 471;
  std::array<std::uint8_t, kKeptSize> kept{};
};
QueryForwardingConf ReadQueryForwardingConf(const CSTAMessage& m);

// Private replies (type 93). Numbers travel as decimal texts.
struct PrivateReply {
  std::uint8_t kind = 0;
  // kinds 1, 17: count at 22; 19: devices at 11.
  std::string count;
  // kinds 3: index at 11; 9, 11, 13: device number at 11.
  std::string index;
  std::string device;
  // kinds 3, 9: start time, duration and units; 13: units.
  std::string startTime;
  std::string duration;
  std::string units;
  // kind 9: the dialled number at 46; 13: the text at 28 (dialled number,
  // shown by the charge side as the extension's name).
  std::string dialledNumber;
  // kind 3: the ten packed-decimal bytes at 40, unpacked.
  std::string callingNumber;
  std::string calledNumber;
};
PrivateReply ReadPrivateReply(const CSTAMessage& m);

// Unpacks up to 10 bytes of packed decimal digits: every byte below 0xFF
// gives its high then its low half as a digit, halves above 9 are skipped;
// the first 0xFF ends the first number and starts the second, a second 0xFF
// ends the scan. Result 1, 0 when the source or an output is missing.
int UnpackBcdNumbers(const std::uint8_t* source, std::string* first, std::string* second);
