// The PBX link object as the message filter and the call handler see it,
// and the message filter as the link object sees it. Both sides are owned
// elsewhere (the view owns the link, the document the filter) and run on
// the main thread.
#pragma once
#include <cstdint>
#include <string_view>

#include "core/wire/csta_message.h"
#include "platform/win32types.h"

class CCallInfo;

namespace linkev {

using plat::UINT;

inline constexpr UINT kIncoming = 0;              // OnLinkMessage: a received record
inline constexpr UINT kMonitorsStarted = 1058;    // filter: monitor-start steps done
inline constexpr UINT kRequestGivenUp = 1072;     // view: outstanding request unanswered
inline constexpr UINT kNothing1073 = 1073;        // no action
inline constexpr UINT kMonitorsStopped = 1074;    // filter: monitor-stop steps done
inline constexpr UINT kDeviceCountDone = 1075;    // filter: device count (or its failure) came
inline constexpr UINT kForwardingDone = 1076;     // filter: all forwarding queries answered
inline constexpr UINT kSnapshotsDone = 1077;      // filter: all snapshots answered
inline constexpr UINT kCapabilities = 1078;       // filter: capability reply (record or none)

// The failed-link report to the view is hub code 1072 (kRequestGivenUp);
// its wParam tells why: an unanswered request (0, from the filter) or a
// serial line that went away (from the link object, which is closed then).
inline constexpr plat::WPARAM kFailedNoAnswer = 0;
inline constexpr plat::WPARAM kFailedLineLost = 1;

}  // namespace linkev

// Exclusive job states of the filter's job lock.
namespace jobstate {

inline constexpr std::uint32_t kFree = 0;
inline constexpr std::uint32_t kMonitorStart = 1;    // link start
inline constexpr std::uint32_t kChargeReadout = 2;   // charge and log handler
inline constexpr std::uint32_t kViewJob = 3;         // view: missed-call read-out
inline constexpr std::uint32_t kJob4 = 4;
inline constexpr std::uint32_t kReadout = 5;
inline constexpr std::uint32_t kChargeSums = 6;      // charge and log handler
inline constexpr std::uint32_t kMonitorStop = 7;
inline constexpr std::uint32_t kSnapshot = 8;        // link start
inline constexpr std::uint32_t kForwarding = 9;      // link start
inline constexpr std::uint32_t kApiCaps = 10;        // link start
inline constexpr std::uint32_t kDeviceCount = 11;    // link start

}  // namespace jobstate

// Link states.
namespace linkstate {

inline constexpr std::uint32_t kIdle = 0;
inline constexpr std::uint32_t kStarting = 1;
inline constexpr std::uint32_t kRunning = 2;
inline constexpr std::uint32_t kStopping = 3;
inline constexpr std::uint32_t kClosed = 4;

}  // namespace linkstate

class IPBXLink {
 public:
  virtual ~IPBXLink() = default;

  // Sends one record (its type's send length). note 1 hands it to the
  // filter as the outstanding request first. Result 0.
  virtual int Send(const CSTAMessage& record, int note) = 0;
  // Sends without noting; 0 for no record or when requests are off, else 1.
  virtual int SendRequest(const CSTAMessage* record) = 0;
  // Code 0: an incoming record (copied into the ring, then filtered).
  // Other codes: the link events above; record is the capability reply for
  // kCapabilities (may be null) and unused otherwise. Valid during the call.
  virtual plat::LRESULT OnLinkMessage(plat::UINT code, plat::WPARAM wParam, const CSTAMessage* record) = 0;
  virtual std::uint32_t GetLinkState() const = 0;
  virtual void SetLinkState(std::uint32_t state) = 0;
  // Noted link-management queries for one extension, sent during jobs 9 and 8.
  virtual int QueryForwarding(std::string_view number) = 0;
  virtual int SnapshotDevice(std::string_view number) = 0;
  // The invoke id of the next link-management request (the filter's
  // monitor requests take theirs here); 0 when the link counts none.
  virtual std::uint32_t NextRequestId() { return 0; }

  // Call-control requests from the call handler. Each sends nothing and
  // answers 0 when requests are off or there is no call to act on; when a
  // request was sent, MakeCall, ClearCall and PickupCall answer 1 (the
  // call handler reads only these three).
  virtual int MakeCall(CCallInfo* call) = 0;
  virtual int ClearCall(CCallInfo* call) = 0;
  virtual int HoldCall(CCallInfo* call) = 0;
  virtual int ConsultationCall(CCallInfo* active, CCallInfo* consult) = 0;
  virtual int TransferCall(CCallInfo* held, CCallInfo* active) = 0;
  virtual int DeflectCall(CCallInfo* call) = 0;
  virtual int PickupCall(CCallInfo* call) = 0;
};

// What the link object calls on the message filter.
class IPBXLinkFilter {
 public:
  virtual ~IPBXLinkFilter() = default;

  // Entry for every received record; 1 when it concerned a watched device.
  virtual int OnCSTAMessage(const CSTAMessage* record) = 0;
  // One monitor-start (1) or -stop (0) step; 1 while more steps follow.
  virtual int MonitorStep(int start) = 0;
  // Keeps a copy as the outstanding request and arms its repeat timer;
  // null clears it.
  virtual int NoteOutstanding(const CSTAMessage* record) = 0;
  // Told before a make-call request (type 23) leaves, with its invoke id:
  // the PBX's failure for it carries that id.
  virtual int NoteMakeCall(int type, CCallInfo* call, std::uint32_t invokeId) = 0;
  // Job lock: take non-zero takes state (free or already held by it), 0
  // releases it when held. 1 done, 0 busy / not held.
  virtual int TakeOrRelease(std::uint32_t state, int take) = 0;
  // The line went away: no event of the calls in progress will come.
  virtual void OnLineLost() {}
};
