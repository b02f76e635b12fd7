// The codes the view's hub understands and the requester ids that travel
// with them. Components reach the hub by plat::SendMessage (same thread) or
// plat::PostMessage to the view's WindowId; wParam is mostly the sender's
// requester id, lParam a CCallInfo* (or the object named below) that stays
// owned by the sender and is valid only while a sent message is handled.
#pragma once
#include "platform/win32types.h"

namespace hub {

using plat::UINT;

// Requester ids: who asks the call handler, also the wParam of hub codes.
inline constexpr int kIdView = 10;
inline constexpr int kIdAssistant = 11;
inline constexpr int kIdKeypad = 12;
inline constexpr int kIdDatabaseDialog = 13;
inline constexpr int kIdSpeedDial = 16;
inline constexpr int kIdCallHandler = 17;
inline constexpr int kIdCallbackList = 18;
inline constexpr int kIdFilter = 21;
inline constexpr int kIdCallDataList = 31;

inline constexpr UINT kAssistantReady = 1025;      // accepted, nothing done
inline constexpr UINT kBringToFront = 1026;        // not handled
inline constexpr UINT kCallDialled = 1027;         // origin / call (or phone book record for 13)
inline constexpr UINT kCallCleared = 1028;         // origin / call
inline constexpr UINT kCallActive = 1029;          // origin / call: current call (incoming, retrieved)
inline constexpr UINT kOpenDatabase = 1034;        // -
inline constexpr UINT kDatabaseClosed = 1035;      // -
inline constexpr UINT kStartCallbackTimer = 1036;  // - : timer 4 with TB1C
inline constexpr UINT kStopCallbackTimer = 1037;   // -
inline constexpr UINT kShowRecordMatch = 1038;     // 17 / 0, payload: a CallRecordMatch (byte copy)
inline constexpr UINT kCloseRecordView = 1039;     // - / slot index
inline constexpr UINT kAddCallbackFromRecord = 1040;  // 13 / phone book record
inline constexpr UINT kOpenCallbackList = 1042;    // -
inline constexpr UINT kAccepted1043 = 1043;        // accepted, nothing done
inline constexpr UINT kOpenMissedCalls = 1044;     // -
inline constexpr UINT kSecondCall = 1046;          // origin / call: a waiting second call
inline constexpr UINT kSecondCallCleared = 1047;   // origin / call
inline constexpr UINT kRedial = 1048;              // call selector
inline constexpr UINT kCallEvent = 1050;           // event type / call (may be null)
inline constexpr UINT kAssistantUpdate = 1051;     // update hint 0
inline constexpr UINT kAskNewRecord = 1052;        // 17 / 0: unknown external caller
inline constexpr UINT kNewRecordAnswer = 1053;     // question id / 1 yes, 0 no
inline constexpr UINT kOpenCallData = 1054;        // -
inline constexpr UINT kAccepted1055 = 1055;        // accepted, nothing done
inline constexpr UINT kAssistantText = 1056;       // - / text
inline constexpr UINT kHandsetLifted = 1057;       // closes the handset prompt (not a hub code)
inline constexpr UINT kMonitoringStarted = 1058;   // -
inline constexpr UINT kStartRequestTimer = 1059;   // period in ms: arm timer 7
inline constexpr UINT kStopRequestTimer = 1060;    // period: kill timer 7
inline constexpr UINT kMissedFilterChanged = 1061; // -
inline constexpr UINT kCallbackSettings = 1068;    // - / call
inline constexpr UINT kAccepted1069 = 1069;        // accepted, nothing done
inline constexpr UINT kRequestGivenUp = 1072;      // the outstanding request got no answer
inline constexpr UINT kSubscriberReport = 1073;    // wParam / lParam of the overview
inline constexpr UINT kLinkStopStep = 1074;        // - : network link stop step

inline constexpr UINT kFirstCode = 1025;
inline constexpr UINT kLastCode = 1074;

// The view's timers that these components arm through the hub or directly.
inline constexpr UINT kTimerCallback = 4;
inline constexpr UINT kTimerLinkStep = 5;
inline constexpr UINT kTimerRequest = 7;

}  // namespace hub

// The view's one-operation interface to its hub, handed to components that
// must not know the view (the charge and log handler). Result 0.
class IViewMessageSink {
 public:
  virtual ~IViewMessageSink() = default;
  virtual plat::LRESULT OnViewMessage(plat::UINT message, plat::WPARAM wParam, plat::LPARAM lParam) = 0;
};
