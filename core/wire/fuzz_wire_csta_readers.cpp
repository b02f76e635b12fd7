// Any received bytes as a record: every reader and name lookup stays inside
// the 982 bytes whatever counts and texts the record claims.
#include <cstdint>
#include <cstdlib>

#include "core/wire/csta_events.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const CSTAMessage m = CSTAMessage::FromBytes(data, size);
  (void)CSTAMessageName(m);
  (void)CSTAFailureName(ReadUniversalFailureCode(m));
  (void)CSTASendLength(m.Type());
  (void)ReadMakeCallConf(m);
  (void)ReadConferenceCallConf(m);
  const ConferencedEvent c = ReadConferenced(m);
  if (c.connections.size() > ConferencedEvent::kMaxEntries) std::abort();
  (void)ReadConnectionCleared(m);
  (void)ReadDelivered(m);
  (void)ReadFailed(m);
  (void)ReadHeld(m);
  (void)ReadServiceInitiated(m);
  (void)ReadTransferred(m);
  (void)ReadSnapshotDeviceNumber(m);
  (void)ReadSnapshotDeviceConf(m);
  (void)ReadMonitorConf(m);
  (void)ReadApiCapsConf(m);
  (void)ReadQueryForwardingConf(m);
  const PrivateReply r = ReadPrivateReply(m);
  if (r.callingNumber.size() > 20 || r.calledNumber.size() > 20) std::abort();
  return 0;
}
