// The trace line of a record: a detail text per type, then
// "CMR:<cross-reference id>, <name> - <detail>".
#include "core/base/globalconfig.h"
#include "core/filter/messagefilter.h"
#include "core/wire/csta_events.h"
#include "core/wire/csta_requests.h"
#include "platform/text.h"
#include "platform/textid.h"

namespace {

const char* C(const std::string& s) { return s.c_str(); }
long L(std::uint32_t v) { return static_cast<long>(v); }

std::string PrivateDetail(const CSTAMessage& r) {
  PrivateReply p = ReadPrivateReply(r);
  switch (p.kind) {
    case 1: case 17: return p.count;
    // The requests the program sends carry their index or device as text.
    case 2: return r.Text(csta_req::kPrivateTextAt, csta_req::kPrivateTextWidth);
    case 10: case 12:
      return plat::StrFormatC("DID %s", C(r.Text(csta_req::kPrivateTextAt, csta_req::kPrivateTextWidth)));
    case 3: return plat::StrFormatC("DID %s, ST %s, DUR %s, U %s", C(p.index), C(p.startTime), C(p.duration), C(p.units));
    case 9:
      return plat::StrFormatC("DID %s, ST %s, DUR %s, U %s, RN %s", C(p.device), C(p.startTime), C(p.duration),
                              C(p.units), C(p.dialledNumber));
    case 11: return plat::StrFormatC("DID %s", C(p.device));
    case 13: return plat::StrFormatC("DID %s, U %s, DNum %s", C(p.device), C(p.units), C(p.dialledNumber));
    case 19: return plat::StrFormatC("MaxDev %s, L %s", C(p.count), C(r.Text(CMessageFilter::kNumberLengthAt, CMessageFilter::kNumberLengthWidth)));
    default: return plat::StrFormatC("Type %i", static_cast<int>(p.kind));
  }
}

std::string Detail(const CSTAMessage& r) {
  switch (r.Type()) {
    case CSTA_CONFERENCE_CALL: {
      CSTAConnectionId held = CSTAConnectionId::Read(r, 10), active = CSTAConnectionId::Read(r, 80);
      return plat::StrFormatC("\tACD%s \tID:%ld \tHCD%s\tID:%ld", C(active.device), L(active.callId), C(held.device),
                              L(held.callId));
    }
    case CSTA_CONFERENCE_CALL_CONF: {
      ConferenceCallConf c = ReadConferenceCallConf(r);
      return plat::StrFormatC("\tNCD%s \tID:%ld \tCOUNT:%d", C(c.newCall.device), L(c.newCall.callId), c.count);
    }
    case CSTA_HOLD_CALL: {
      CSTAConnectionId c = CSTAConnectionId::Read(r, 10);
      return plat::StrFormatC("\tAC%s \tIDT%i \tRES%i", C(c.device), c.deviceIdType, r.U8(80));
    }
    case CSTA_HOLD_CALL_CONF:
    case CSTA_RECONNECT_CALL_CONF:
    case CSTA_RETRIEVE_CALL:
      return plat::StrFormatC("\t%i", r.U8(10));
    case CSTA_MAKE_CALL_CONF: {
      MakeCallConf c = ReadMakeCallConf(r);
      return plat::StrFormatC("\tCID%ld\tDID%s", L(c.newCall.callId), C(c.newCall.device));
    }
    case CSTA_UNIVERSAL_FAILURE_CONF:
      return plat::StrFormatC("\tError: %s", CMessageFilter::GetErrorName(ReadUniversalFailureCode(r)));
    case CSTA_CONFERENCED: {
      ConferencedEvent e = ReadConferenced(r);
      std::string dev[3];
      long id[3] = {0, 0, 0};
      for (std::size_t i = 0; i < 3 && i < e.connections.size(); ++i) {
        dev[i] = e.connections[i].connection.device;
        id[i] = L(e.connections[i].connection.callId);
      }
      return plat::StrFormatC("\tPD%s \tSD:%s \tCD%s\tADDP:%s Count:%i, Conn:%s-%ld, %s-%ld, %s-%ld",
                              C(e.primaryOldCall.device), C(e.secondaryOldCall.device), C(e.conferencingDevice.device),
                              C(e.addedParty.device), e.count, C(dev[0]), id[0], C(dev[1]), id[1], C(dev[2]), id[2]);
    }
    case CSTA_CONNECTION_CLEARED: {
      ConnectionClearedEvent e = ReadConnectionCleared(r);
      return plat::StrFormatC("\tDC%s, \tRD%s, \tCS%i", C(e.droppedConnection.device), C(e.releasingDevice.device),
                              e.cause);
    }
    case CSTA_DELIVERED: {
      DeliveredEvent e = ReadDelivered(r);
      return plat::StrFormatC("\tT:%ld\tCH:%ld, \tAD%s, \tCED%s, \tCIN%s, \tLR%s, \tCS%i",
                              static_cast<long>(e.localConnectionState), L(e.connection.callId),
                              C(e.alertingDevice.device), C(e.calledDevice.device), C(e.callingDevice.device),
                              C(e.lastRedirectionDevice.device), e.cause);
    }
    case CSTA_ESTABLISHED: {
      DeliveredEvent e = ReadEstablished(r);
      return plat::StrFormatC("\tAD%s, \tCED%s, \tCIN%s, \tLR%s, \tCS%i", C(e.alertingDevice.device),
                              C(e.calledDevice.device), C(e.callingDevice.device), C(e.lastRedirectionDevice.device),
                              e.cause);
    }
    case CSTA_HELD: {
      HeldEvent e = ReadHeld(r);
      return plat::StrFormatC("\tHC%s, \tHD%s, \tCS%i", C(e.connection.device), C(e.device.device), e.cause);
    }
    case CSTA_RETRIEVED: {
      HeldEvent e = ReadRetrieved(r);
      return plat::StrFormatC("\tREC%s, RED%s, CS%i", C(e.connection.device), C(e.device.device), e.cause);
    }
    case CSTA_SERVICE_INITIATED: {
      ServiceInitiatedEvent e = ReadServiceInitiated(r);
      return plat::StrFormatC("\tIC%s, CS%i", C(e.initiatedConnection.device), e.cause);
    }
    case CSTA_PRIVATE:
      return PrivateDetail(r);
    case CSTA_SNAPSHOT_DEVICE:
      return plat::StrFormatC("\tSD%s", C(ReadSnapshotDeviceNumber(r)));
    case CSTA_SNAPSHOT_DEVICE_CONF: {
      SnapshotDeviceConf c = ReadSnapshotDeviceConf(r);
      return plat::StrFormatC("\tC%i\tCD%s\t%i", c.count, C(c.device), r.U16(80));
    }
    default:
      return {};
  }
}

}  // namespace

const char* CMessageFilter::GetErrorName(int code) { return CSTAFailureName(code); }

std::string CMessageFilter::GetMessageText(const CSTAMessage& r) {
  const char* name = CSTAMessageName(r);
  std::string fallback;
  if (!name) {
    fallback = plat::GetTextOr(r.Type() == CSTA_PRIVATE ? plat::TextId(54, 0) : plat::TextId(54, 1), "");
    name = fallback.c_str();
  }
  std::string line = plat::StrFormatC("CMR:%ld, %s - %s", L(r.CrossRefId()), name, C(Detail(r)));
  if (traceFileOpen_) traceFile_.WriteLine(line.c_str());
  return line;
}
