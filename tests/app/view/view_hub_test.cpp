// The view's hub, window messages and timers with the real filter, call
// handler and monitor table behind them.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "core/base/globalconfig.h"
#include "platform/filedlg.h"

#include "app/view/linkwatch.h"
#include "core/iface/viewhub.h"
#include "core/wire/csta_requests.h"
#include "core/settingsdlg/generalsettingsdlg.h"
#include "platform/dialogkit/dlgscript.h"
#include "tests/platform/dialogkit/testapp.h"
#include "tests/phonebook/fake/fake_phonebook.h"
#include "viewrig.h"

using viewrig::Rig;
using V = CBrimlowView;

namespace {

CCallInfo* NewCall(Rig& r, const std::string& calling, const std::string& called, int direction) {
  CCallInfo* c = r.doc->CallHandler().GetFreeCall(hub::kIdCallHandler);
  c->callingNumber = calling;
  c->calledNumber = called;
  c->direction = direction;
  return c;
}

std::vector<plat::UINT> Codes(const viewrig::RecordingWindow* w) { return w->Codes(); }

CSTAMessage Delivered(std::uint32_t callId, const std::string& device, const std::string& calling,
                      const std::string& called) {
  CSTAMessage m;
  m.SetType(CSTA_DELIVERED);
  m.SetU32(10, callId);
  m.SetText(14, 64, device);
  m.SetText(80, 64, device);
  m.SetText(148, 64, calling);
  m.SetText(216, 64, called);
  return m;
}

}  // namespace

TEST(ViewHub, UnhandledAndUnknownCodesWriteOneLogLineAndChangeNothing) {
  for (plat::UINT code : {1026u, 1030u, 1031u, 1032u, 1033u, 1041u, 1045u, 1049u, 1051u, 1057u, 1062u, 1063u, 1064u,
                          1065u, 1066u, 1067u, 1070u, 1071u, 1076u, 1000u, 2000u}) {
    Rig r;
    r.Start();
    const auto mark = r.Mark();
    const std::size_t sent = r.fake->link.sent.size();
    EXPECT_EQ(r.view->HandleAppMessage(code, 17, 0), 0);
    r.loop.RunUntilIdle();
    EXPECT_EQ(r.globals.LogCount("T43.12 " + std::to_string(code) + " T43.13"), 1) << code;
    EXPECT_EQ(r.Since(mark), std::vector<std::string>{}) << code;
    EXPECT_EQ(r.fake->link.sent.size(), sent) << code;
    EXPECT_TRUE(r.boxes.shown.empty()) << code;
  }
}

TEST(ViewHub, AcceptedCodesAndAbsentReceiversDoNothingAndLogNothing) {
  // Accepted codes, and those whose receivers (lists, record views, the
  // charge components) are not part of the program yet.
  for (plat::UINT code : {1025u, 1043u, 1055u, 1069u, 1038u, 1039u, 1040u, 1042u, 1044u, 1054u, 1061u, 1073u}) {
    Rig r;
    r.Start();
    const auto mark = r.Mark();
    r.Hub(code, hub::kIdDatabaseDialog, 0);
    EXPECT_EQ(r.Since(mark), std::vector<std::string>{}) << code;
    EXPECT_TRUE(r.globals.Log().empty()) << code;
    EXPECT_TRUE(r.boxes.shown.empty()) << code;
  }
  Rig r;
  r.Start();
  const auto mark = r.Mark();
  for (plat::UINT m = 1095; m <= 1106; ++m) EXPECT_EQ(plat::SendMessage(r.view->Id(), m, 1, 2), 0);
  r.loop.RunUntilIdle();
  EXPECT_EQ(r.Since(mark), std::vector<std::string>{});
}

TEST(ViewHub, CallDialledOpensAndNotifiesByOrigin) {
  struct Case {
    int origin;
    bool assistantOpens;
    std::vector<plat::UINT> assistant, keypad;
  } cases[] = {
      {hub::kIdAssistant, true, {1056, 1029}, {1029}},
      {hub::kIdCallHandler, true, {1056, 1029}, {1029}},
      {hub::kIdKeypad, true, {1056, 1029}, {}},
      {14, false, {}, {}},
      {16, false, {}, {}},
      {99, false, {}, {}},
  };
  for (const Case& c : cases) {
    Rig r;
    r.Start();
    r.view->RunCommand(V::ID_KEYPAD);
    CCallInfo* call = NewCall(r, "21", "0301234", CCallInfo::kOutgoing);
    r.Hub(hub::kCallDialled, c.origin, Rig::P(call));
    EXPECT_EQ(r.view->IsOpen(V::kAssistant), c.assistantOpens) << c.origin;
    EXPECT_EQ(Codes(r.win[V::kAssistant]), c.assistant) << c.origin;
    std::vector<plat::UINT> keypad = Codes(r.win[V::kKeypad]);
    EXPECT_EQ(keypad, c.keypad) << c.origin;
    if (!c.assistant.empty()) {
      EXPECT_EQ(r.win[V::kAssistant]->notices.back().w, 10u);
      EXPECT_EQ(r.win[V::kAssistant]->notices.back().l, Rig::P(call));
    }
  }
}

TEST(ViewHub, DialFromThePhoneBookTellsTheDatabaseDialogWhetherItLeft) {
  for (bool refuse : {false, true}) {
    Rig r;
    r.Start();
    r.view->RunCommand(V::ID_DATABASE);
    r.fake->link.refuse = refuse;
    FakePhoneBookRecord record;
    record.number = "0301234";
    record.company = "Muster";
    r.Hub(hub::kCallDialled, hub::kIdDatabaseDialog, Rig::P(&record));
    ASSERT_FALSE(r.win[V::kDatabase]->notices.empty());
    const auto& n = r.win[V::kDatabase]->notices.back();
    EXPECT_EQ(n.code, refuse ? 1028u : 1029u);
    EXPECT_EQ(n.w, 10u);
    EXPECT_EQ(n.l, 0);
    EXPECT_EQ(r.fake->link.sent.size(), refuse ? 0u : 1u);
  }
}

TEST(ViewHub, CallClearedByOriginThenTheTrayGoesIdle) {
  struct Case {
    int origin;
    std::size_t clears;  // clear requests that left
    std::vector<plat::UINT> assistant, keypad;
  } cases[] = {
      {hub::kIdAssistant, 1, {1056}, {}},
      {hub::kIdKeypad, 1, {1056, 1028}, {}},  // cleared (10): the assistant hears of it
      {hub::kIdCallHandler, 0, {1056, 1028}, {1028}},
      {40, 0, {1056}, {}},
  };
  for (const Case& c : cases) {
    Rig r;
    r.Start();
    r.view->RunCommand(V::ID_ASSISTANT);
    r.view->RunCommand(V::ID_KEYPAD);
    CCallInfo* call = NewCall(r, "0301234", "21", CCallInfo::kIncoming);
    r.Hub(hub::kCallActive, 20, Rig::P(call));  // tray shows the call
    ASSERT_EQ(r.tray.icon, V::kIconIncoming);
    r.fake->link.sent.clear();
    r.win[V::kAssistant]->notices.resize(1);
    r.win[V::kKeypad]->notices.clear();
    r.Hub(hub::kCallCleared, c.origin, Rig::P(call));
    EXPECT_EQ(r.fake->link.sent.size(), c.clears) << c.origin;
    if (c.clears) EXPECT_EQ(r.fake->link.sent[0].record.Type(), CSTA_CLEAR_CONNECTION);
    EXPECT_EQ(Codes(r.win[V::kAssistant]), c.assistant) << c.origin;
    EXPECT_EQ(Codes(r.win[V::kKeypad]), c.keypad) << c.origin;
    EXPECT_EQ(r.tray.icon, V::kIconIdle) << c.origin;
    EXPECT_EQ(r.tray.tip, "T15.0") << c.origin;
  }
}

TEST(ViewHub, CallActiveSetsTheTrayByDirectionAndOpensTheAssistant) {
  struct Case {
    int direction;
    bool withCall;
    int origin;
    int icon;
    bool assistantNotified, keypadNotified;
  } cases[] = {
      {CCallInfo::kIncoming, true, 17, V::kIconIncoming, true, true},
      {CCallInfo::kOutgoing, true, 11, V::kIconCall, true, true},
      {CCallInfo::kNoDirection, true, 12, V::kIconCall, true, false},
      {CCallInfo::kIncoming, false, 17, V::kIconIdle, true, true},
      {CCallInfo::kIncoming, false, 12, V::kIconIdle, true, false},
      {CCallInfo::kIncoming, false, 11, V::kIconIdle, true, true},
      {CCallInfo::kIncoming, true, 30, V::kIconIncoming, false, false},
  };
  for (const Case& c : cases) {
    Rig r;
    r.Start();
    r.view->RunCommand(V::ID_KEYPAD);
    const int appliesBefore = r.tray.applies;
    CCallInfo* call = NewCall(r, "0301234567", "21", c.direction);
    call->callingName = "Ein sehr langer Name, der im Tip des Symbols keinen Platz mehr hat";
    r.Hub(hub::kCallActive, c.origin, c.withCall ? Rig::P(call) : 0);
    EXPECT_EQ(r.tray.icon, c.icon);
    if (c.withCall) {
      EXPECT_EQ(r.tray.tip, call->GetDescription(8).substr(0, 63));
      EXPECT_EQ(r.tray.applies, appliesBefore + 1);
    } else {
      EXPECT_EQ(r.tray.tip, "T15.0");  // left as it was
      EXPECT_EQ(r.tray.applies, appliesBefore);
    }
    auto a = Codes(r.win[V::kAssistant]);
    EXPECT_EQ(!a.empty() && a.back() == 1029u, c.assistantNotified) << c.origin;
    auto k = Codes(r.win[V::kKeypad]);
    EXPECT_EQ(!k.empty() && k.back() == 1029u, c.keypadNotified) << c.origin;
  }
}

TEST(ViewHub, DatabaseDialogOpensOnceUntilItSaysItClosed) {
  Rig r;
  r.Start();
  r.Hub(hub::kOpenDatabase);
  r.Hub(hub::kOpenDatabase);
  EXPECT_EQ(r.win[V::kDatabase]->creates, 1);
  EXPECT_EQ(Codes(r.win[V::kDatabase]), (std::vector<plat::UINT>{1026}));  // brought to the front
  r.Hub(hub::kDatabaseClosed);
  r.win[V::kDatabase]->open = false;
  r.Hub(hub::kOpenDatabase);
  EXPECT_EQ(r.win[V::kDatabase]->creates, 2);
}

TEST(ViewHub, CallbackTimerTakesItsPeriodsAndNeverSpins) {
  struct Case {
    long tb1c, period;
    std::uint64_t first, next;
    int logLines;
  } cases[] = {{3000, 7000, 3000, 7000, 0}, {0, 5000, 2000, 5000, 1}, {-5, -1, 2000, 5000, 2}, {2500, 0, 2500, 5000, 1}};
  for (const Case& c : cases) {
    Rig r;
    r.Start();
    GlobalConfig().TB1C = c.tb1c;
    GlobalConfig().CBLCASOTI = c.period;
    r.Hub(hub::kStartCallbackTimer, 17);
    r.loop.Advance(c.first - 1);
    EXPECT_TRUE(plat::IsTimerArmed(r.view->Id(), 4));
    r.loop.Advance(1);  // fired, re-armed with the period
    EXPECT_TRUE(plat::IsTimerArmed(r.view->Id(), 4));
    r.loop.Advance(c.next - 1);
    EXPECT_TRUE(plat::IsTimerArmed(r.view->Id(), 4));
    r.Hub(hub::kStopCallbackTimer);
    EXPECT_FALSE(plat::IsTimerArmed(r.view->Id(), 4));
    EXPECT_EQ(static_cast<int>(r.globals.Log().size()), c.logLines) << c.tb1c << " " << c.period;
  }
}

TEST(ViewHub, SecondCallAndItsEnd) {
  Rig r;
  r.Start();
  CCallInfo* call = NewCall(r, "0301234", "21", CCallInfo::kIncoming);
  r.Hub(hub::kSecondCall, 17, Rig::P(call));
  EXPECT_TRUE(r.view->IsOpen(V::kAssistant));
  EXPECT_EQ(Codes(r.win[V::kAssistant]), (std::vector<plat::UINT>{1056, 1046}));
  r.Hub(hub::kSecondCallCleared, 17, Rig::P(call));
  r.Hub(hub::kSecondCallCleared, 30, Rig::P(call));  // others: nothing
  EXPECT_EQ(Codes(r.win[V::kAssistant]), (std::vector<plat::UINT>{1056, 1046, 1047}));
  r.Hub(hub::kSecondCallCleared, 11, Rig::P(call));  // asks the call handler to clear
  ASSERT_EQ(r.fake->link.sent.size(), 1u);
  EXPECT_EQ(r.fake->link.sent[0].record.Type(), CSTA_CLEAR_CONNECTION);
}

TEST(ViewHub, CallEventOpensTheAssistantAndPassesTheEvent) {
  Rig r;
  r.Start();
  CCallInfo* call = NewCall(r, "0301234", "21", CCallInfo::kIncoming);
  r.Hub(hub::kCallEvent, 59, Rig::P(call));
  r.Hub(hub::kCallEvent, 61, 0);
  EXPECT_EQ(r.win[V::kAssistant]->creates, 1);
  const auto& n = r.win[V::kAssistant]->notices;
  ASSERT_EQ(n.size(), 3u);
  EXPECT_EQ(n[1].code, 1050u);
  EXPECT_EQ(n[1].w, 59u);
  EXPECT_EQ(n[1].l, Rig::P(call));
  EXPECT_EQ(n[2].w, 61u);
}

TEST(ViewHub, RedialAsksTheCallHandler) {
  Rig r;
  r.Start();
  r.Hub(hub::kRedial, 12);
  EXPECT_TRUE(r.fake->link.sent.empty());  // nothing dialled yet
  CCallInfo* c = r.doc->CallHandler().GetFreeCall(12);
  c->calledNumber = "0301234";
  ASSERT_EQ(r.doc->CallHandler().MakeCall(c, 12), 1);
  r.doc->CallHandler().ClearCall(c, 17);
  r.doc->CallHandler().ProcessClearedCall(c);
  r.fake->link.sent.clear();
  r.Hub(hub::kRedial, 12);
  ASSERT_FALSE(r.fake->link.sent.empty());
  EXPECT_EQ(r.fake->link.sent.back().record.Type(), CSTA_MAKE_CALL);
}

TEST(ViewHub, AssistantTextAndUpdateHints) {
  Rig r;
  r.Start();
  const char* text = "0301234";
  r.Hub(hub::kAssistantText, 0, Rig::P(text));
  EXPECT_TRUE(r.win[V::kAssistant]->notices.empty());  // not open: nobody to tell
  r.view->RunCommand(V::ID_ASSISTANT);
  r.Hub(hub::kAssistantText, 5, Rig::P(text));
  r.doc->UpdateAllViews(CBrimlowDoc::kHintRefresh);
  r.doc->UpdateAllViews(CBrimlowDoc::kHintText, "42");
  const auto& n = r.win[V::kAssistant]->notices;
  ASSERT_EQ(n.size(), 4u);
  EXPECT_EQ(n[1].code, 1056u);
  EXPECT_EQ(n[1].w, 0u);
  EXPECT_EQ(n[1].text, "0301234");
  EXPECT_EQ(n[2].code, 1051u);
  EXPECT_EQ(n[3].code, 1056u);
  EXPECT_EQ(n[3].text, "42");
}

// ------------------------------------------------------------- question 173

class NewRecordQuestion : public ::testing::Test {
 protected:
  void SetUp() override {
    r.Start();
    r.doc->CallHandler().phoneBook = &book;
    CMonitorEntry e;
    e.SetNumber("21");
    e.watchMode = 2;
    e.monitoringOn = 1;
    r.doc->MonitorTable().SetEntry(e);
    r.doc->MonitorTable().SetMainPhone("21");
  }
  void TearDown() override { r.doc->CallHandler().phoneBook = nullptr; }
  // A current incoming call from the number.
  void Incoming(const std::string& number, int callId) {
    CSTAMessage m = Delivered(static_cast<std::uint32_t>(callId), "21", number, "21");
    r.fake->link.OnLinkMessage(linkev::kIncoming, 0, &m);
    r.doc->CallHandler().JoinWorkers();
    r.loop.RunUntilIdle();
  }
  Rig r;
  FakePhoneBook book;
};

TEST_F(NewRecordQuestion, YesStoresTheNumberAskedAboutEvenWhenAnotherCallIsCurrent) {
  Incoming("0407777", 101);
  ASSERT_TRUE(r.view->IsOpen(V::kQuestion));
  EXPECT_EQ(r.win[V::kQuestion]->creates, 1);
  EXPECT_EQ(r.view->QuestionNumber(), "407777");
  r.Hub(hub::kAskNewRecord, 17);  // a second question while one is open
  EXPECT_EQ(r.win[V::kQuestion]->creates, 1);
  // Another party is current by the time the user answers.
  r.doc->CallHandler().GetCurrentCall(10)->callingNumber = "0309999";
  // Answer "Ja" from inside the dialog's own handler (a sent message).
  const auto mark = r.Mark();
  plat::SendMessage(r.view->Id(), hub::kNewRecordAnswer, 1, 1);
  EXPECT_EQ(r.Since(mark), (std::vector<std::string>{"question.hide"}));  // destroyed only later
  EXPECT_FALSE(r.view->IsOpen(V::kQuestion));
  r.loop.RunUntilIdle();
  EXPECT_EQ(r.win[V::kQuestion]->destroys, 1);
  ASSERT_EQ(book.records.size(), 1u);
  EXPECT_EQ(book.records[0]->number, "407777");
  EXPECT_EQ(book.records[0]->company, "New");
  // An answer with nothing open does nothing.
  r.Hub(hub::kNewRecordAnswer, 1, 1);
  EXPECT_EQ(book.records.size(), 1u);
}

TEST_F(NewRecordQuestion, NoOrTheCallsEndDestroysWithoutARecord) {
  for (plat::LPARAM answer : {0, 2, -1}) {
    r.Hub(hub::kAskNewRecord, 17);
    ASSERT_TRUE(r.view->IsOpen(V::kQuestion));
    r.Hub(hub::kNewRecordAnswer, 17, answer);
    EXPECT_FALSE(r.view->IsOpen(V::kQuestion));
    EXPECT_FALSE(r.win[V::kQuestion]->open);
  }
  EXPECT_TRUE(book.records.empty());
  // With AWNNCI off nobody is asked.
  GlobalConfig().AWNNCI = 0;
  const int creates = r.win[V::kQuestion]->creates;
  r.Hub(hub::kAskNewRecord, 17);
  EXPECT_EQ(r.win[V::kQuestion]->creates, creates);
}

// ---------------------------------------------------------------- 1058

TEST(ViewHub, MonitoringStartedRefreshesTheOverview) {
  Rig r;
  r.Start();
  r.Hub(hub::kMonitoringStarted);
  EXPECT_EQ(r.win[V::kOverview]->refreshAsks, 1);
  EXPECT_TRUE(r.win[V::kOverview]->notices.empty());
  r.view->RunCommand(V::ID_OVERVIEW);
  r.Hub(hub::kMonitoringStarted);
  ASSERT_EQ(r.win[V::kOverview]->notices.size(), 1u);
  EXPECT_EQ(r.win[V::kOverview]->notices[0].code, 1058u);
  EXPECT_EQ(r.win[V::kOverview]->notices[0].w, 0u);
  EXPECT_TRUE(r.fake->link.sent.empty());  // NPLROOBOF off: no read-out
}

TEST(ViewHub, MonitoringStartedReadsOutMissedCallsWhenTheJobIsFree) {
  Rig r;
  r.Start();
  GlobalConfig().NPLROOBOF = 1;
  r.Hub(hub::kMonitoringStarted);
  ASSERT_EQ(r.fake->link.sent.size(), 1u);
  const CSTAMessage& m = r.fake->link.sent[0].record;
  EXPECT_EQ(m.Type(), CSTA_PRIVATE);
  EXPECT_EQ(m.U8(10), EXTPBX_GETMAXNUMBEROFCALLINFOS);
  EXPECT_EQ(r.fake->link.sent[0].note, 1);
  EXPECT_EQ(r.doc->Filter().JobState(), jobstate::kViewJob);
  EXPECT_TRUE(r.boxes.shown.empty());
}

TEST(ViewHub, MonitoringStartedWithTheJobTakenShowsTheBoxLaterAndSendsNothing) {
  Rig r;
  r.Start();
  GlobalConfig().NPLROOBOF = 1;
  ASSERT_EQ(r.doc->Filter().TakeOrRelease(jobstate::kChargeReadout, 1), 1);
  plat::SendMessage(r.view->Id(), hub::kMonitoringStarted);
  EXPECT_TRUE(r.boxes.shown.empty());  // not inside the sender's call
  r.loop.RunUntilIdle();
  ASSERT_EQ(r.boxes.shown.size(), 1u);
  EXPECT_EQ(r.boxes.shown[0].text, "T43.16\nT43.17 T55.25");
  EXPECT_TRUE(r.fake->link.sent.empty());
  EXPECT_EQ(r.doc->Filter().JobState(), jobstate::kChargeReadout);
}

// -------------------------------------------------------- timer 7 and 1068

TEST(ViewHub, RequestTimerFiresOncePerArming) {
  Rig r;
  r.Start();
  int fired = 0;
  // The filter's repeat: an outstanding request is sent again on expiry.
  CSTAMessage req = MakeCallRequest(1, 0, "21", "22");
  r.doc->Filter().NoteOutstanding(&req);  // arms timer 7 through 1059
  EXPECT_TRUE(plat::IsTimerArmed(r.view->Id(), 7));
  r.fake->link.sent.clear();
  r.loop.Advance(999);
  EXPECT_TRUE(r.fake->link.sent.empty());
  r.loop.Advance(1);
  fired = static_cast<int>(r.fake->link.sent.size());
  EXPECT_EQ(fired, 1);
  r.Hub(hub::kStopRequestTimer, 1000);
  EXPECT_FALSE(plat::IsTimerArmed(r.view->Id(), 7));
  r.Hub(hub::kStartRequestTimer, 300);
  r.Hub(hub::kStartRequestTimer, 600);  // re-armed with the new period
  r.loop.Advance(599);
  EXPECT_EQ(r.fake->link.sent.size(), 1u);
  r.loop.Advance(1);
  EXPECT_EQ(r.fake->link.sent.size(), 2u);
}

TEST(ViewHub, CallbackSettingsRunAfterTheSenderAndWriteBackOnlyALiveCall) {
  struct Case {
    int result;
    bool callGoes;
    const char* expected;
  } cases[] = {{plat::IDOK, false, "geändert"}, {plat::IDCANCEL, false, "alt"}, {plat::IDOK, true, nullptr}};
  for (const Case& c : cases) {
    Rig r;
    r.Start();
    CCallInfo* call = NewCall(r, "0301234", "21", CCallInfo::kIncoming);
    call->note = "alt";
    const int ref = call->callRefId;
    int runs = 0;
    r.view->callbackSettingsDialog = [&](CCallInfo& copy) {
      ++runs;
      EXPECT_NE(&copy, call);
      copy.note = "geändert";
      if (c.callGoes) {
        call->Release();
        r.doc->CallHandler().PurgeReleasedCalls();
      }
      return c.result;
    };
    plat::SendMessage(r.view->Id(), hub::kCallbackSettings, 18, Rig::P(call));
    EXPECT_EQ(runs, 0);
    r.loop.RunUntilIdle();
    EXPECT_EQ(runs, 1);
    CCallInfo* still = r.doc->CallHandler().GetCallByCallReferenceID(ref, 10);
    if (c.expected) {
      ASSERT_EQ(still, call);
      EXPECT_EQ(call->note, c.expected);
    } else {
      EXPECT_EQ(still, nullptr);
    }
    r.Hub(hub::kCallbackSettings, 18, 0);  // no call: nothing
    EXPECT_EQ(runs, 1);
  }
}

TEST(ViewHub, RequestGivenUpGoesToTheLinkObject) {
  Rig r;
  r.Start();
  r.fake->link.events.clear();
  r.Hub(hub::kRequestGivenUp);
  EXPECT_EQ(r.fake->link.events, (std::vector<plat::UINT>{linkev::kRequestGivenUp}));
  EXPECT_TRUE(r.globals.Log().empty());
}

TEST(ViewHub, ALostLineIsShownAndThePortTriedAgainUntilItOpens) {
  Rig r;
  r.Start();
  plat::SendMessage(r.view->Id(), hub::kRequestGivenUp, linkev::kFailedLineLost);
  r.loop.RunUntilIdle();
  ASSERT_FALSE(r.frame.status.empty());
  EXPECT_EQ(r.frame.status.back(), "T43.26");
  EXPECT_EQ(r.globals.LogCount("T43.26"), 1);
  EXPECT_TRUE(r.fake->link.events.empty());  // not bounced back to the link object
  EXPECT_TRUE(r.boxes.shown.empty());
  plat::SendMessage(r.view->Id(), hub::kRequestGivenUp, linkev::kFailedLineLost);  // one loss, one line
  EXPECT_EQ(r.globals.LogCount("T43.26"), 1);
  r.loop.Advance(CLinkWatch::kRetryMs - 1);
  EXPECT_EQ(r.fake->reopens, 0);
  r.loop.Advance(1);
  EXPECT_EQ(r.fake->reopens, 1);  // still away
  r.loop.Advance(CLinkWatch::kRetryMs);
  EXPECT_EQ(r.fake->reopens, 2);
  r.fake->reopenResult = 1;
  r.loop.Advance(CLinkWatch::kRetryMs);
  EXPECT_EQ(r.fake->reopens, 3);
  EXPECT_EQ(r.frame.status.back(), "T43.27");
  ASSERT_EQ(r.fake->link.sent.size(), 1u);  // the start-up from its first step
  EXPECT_EQ(r.fake->link.sent[0].record.U8(10), EXTPBX_GETMAXNUMBEROFDEVICES);
  r.loop.Advance(10 * CLinkWatch::kRetryMs);
  EXPECT_EQ(r.fake->reopens, 3);
}

TEST(ViewHub, TheShutDownEndsTheRetries) {
  Rig r;
  r.Start();
  plat::SendMessage(r.view->Id(), hub::kRequestGivenUp, linkev::kFailedLineLost);
  r.view->CanCloseView();
  EXPECT_EQ(r.frame.status.back(), "T43.25");
  r.loop.Advance(5 * CLinkWatch::kRetryMs);
  EXPECT_EQ(r.fake->reopens, 0);
  plat::SendMessage(r.view->Id(), hub::kRequestGivenUp, linkev::kFailedLineLost);  // late: nothing
  r.loop.Advance(5 * CLinkWatch::kRetryMs);
  EXPECT_EQ(r.fake->reopens, 0);
}

// --------------------------------------------------------- window messages

TEST(ViewWindowProc, ReceivedRecordsReachTheLinkObjectOnce) {
  Rig r;
  r.Start();
  r.fake->link.events.clear();
  CSTAMessage m = Delivered(5, "99", "98", "99");
  plat::PostMessage(r.view->Id(), V::kMsgReceived, 0, CSTAMessage::kSize, m.data(), CSTAMessage::kSize);
  plat::PostMessage(r.view->Id(), V::kMsgReceived, 0, 0);  // no record: nothing
  r.loop.RunUntilIdle();
  EXPECT_EQ(r.fake->link.events, (std::vector<plat::UINT>{linkev::kIncoming}));
}

TEST(ViewWindowProc, CommNotificationAndCallMessagesGoWhereTheyBelong) {
  Rig r;
  r.Start();
  plat::SendMessage(r.view->Id(), V::kMsgCommNotify, 3, 0x41);
  ASSERT_EQ(r.fake->comm.size(), 1u);
  EXPECT_EQ(r.fake->comm[0].second, 0x41);
  CCallInfo* call = NewCall(r, "0301234", "21", CCallInfo::kIncoming);
  plat::PostMessage(r.view->Id(), hub::kCallActive, 17, Rig::P(call));
  plat::PostMessage(r.view->Id(), hub::kSecondCall, 17, Rig::P(call));
  r.loop.RunUntilIdle();
  // Opening an open window brings it to the front first.
  EXPECT_EQ(Codes(r.win[V::kAssistant]), (std::vector<plat::UINT>{1056, 1029, 1026, 1046}));
}

TEST(ViewWindowProc, TrayMouseAndItsMenu) {
  Rig r;
  r.Start();
  r.Hub(V::kMsgTrayNotify, 0, 512);  // mouse move: nothing
  EXPECT_EQ(r.tray.menus, 0);
  r.Hub(V::kMsgTrayNotify, 0, V::kTrayRightButton);
  ASSERT_EQ(r.tray.menus, 1);
  ASSERT_EQ(r.tray.menu.size(), 5u);
  EXPECT_EQ(r.tray.menu[0].command, 32771u);
  EXPECT_EQ(r.tray.menu[0].text, "T40.4");
  EXPECT_EQ(r.tray.menu[2].command, 32774u);
  EXPECT_EQ(r.tray.menu[3].command, 0u);  // separator
  EXPECT_EQ(r.tray.menu[4].command, 57665u);
  // A command from the menu: the menu goes, the command runs.
  r.Hub(V::kMsgCommand, V::ID_KEYPAD);
  EXPECT_EQ(r.tray.menuCloses, 1);
  EXPECT_TRUE(r.view->IsOpen(V::kKeypad));
  // Exit from a menu: the exit command, after the menu's own call.
  r.Hub(V::kMsgTrayNotify, 0, V::kTrayRightButton);
  plat::SendMessage(r.view->Id(), V::kMsgCommand, V::ID_APP_EXIT);
  EXPECT_EQ(r.frame.exits, 0);
  r.loop.RunUntilIdle();
  EXPECT_EQ(r.frame.exits, 1);
  // A double click brings the window back.
  const auto mark = r.Mark();
  r.Hub(V::kMsgTrayNotify, 0, V::kTrayDoubleClick);
  EXPECT_EQ(r.Since(mark),
            (std::vector<std::string>{"frame.restore", "frame.show", "frame.foreground", "frame.showpopups"}));
}

TEST(ViewWindowProc, NetworkMessagesShowTheirBoxesOutsideTheLibrarysCall) {
  struct Case {
    plat::UINT msg;
    plat::WPARAM w;
    std::string name;
    int linkState;
    const char* box;
  } cases[] = {
      {1581, 0, "", 2, "T43.23"},
      {1588, 3, "", 2, "T43.21 \nT43.22"},
      {1588, 3, "", 3, nullptr},  // a box would hold the exit back
      {1599, 111, "", 2, "T43.18 111 T43.20"},
      {1599, 111, "ECONNREFUSED", 2, "T43.18 111 T43.19 ECONNREFUSED T43.20"},
      {1599, 111, "ECONNREFUSED", 3, nullptr},
      {1599, 111, "", 4, nullptr},
      {1583, 0, "x", 2, nullptr},
      {1591, 0, "", 2, nullptr},
  };
  for (const Case& c : cases) {
    Rig r;
    r.Start();
    if (c.linkState == 3) r.view->CanCloseView();
    if (c.linkState == 4) {
      r.view->CanCloseView();
      r.view->CanCloseView();
    }
    r.boxes.shown.clear();
    if (c.name.empty())
      plat::SendMessage(r.view->Id(), c.msg, c.w, 0);
    else
      plat::SendMessage(r.view->Id(), c.msg, c.w, static_cast<plat::LPARAM>(c.name.size()), c.name.c_str(),
                        c.name.size() + 1);
    EXPECT_TRUE(r.boxes.shown.empty()) << c.msg;
    r.loop.RunUntilIdle();
    if (c.box) {
      ASSERT_EQ(r.boxes.shown.size(), 1u) << c.msg;
      EXPECT_EQ(r.boxes.shown[0].text, c.box);
    } else {
      EXPECT_TRUE(r.boxes.shown.empty()) << c.msg;
    }
  }
}

// ------------------------------------------------------------------ timers

TEST(ViewTimers, AssistantClockAndTheOthers) {
  Rig r;
  r.Start();
  r.view->RunCommand(V::ID_ASSISTANT);
  auto* a = r.win[V::kAssistant];
  r.loop.Advance(99);
  EXPECT_EQ(a->ticks, 0);
  r.loop.Advance(1);
  EXPECT_EQ(a->ticks, 1);
  r.loop.Advance(990);
  EXPECT_EQ(a->ticks, 2);
  // Timer 2 once: the assistant is told of the current call.
  plat::SetTimer(r.view->Id(), 2, 10);
  r.loop.Advance(10);
  EXPECT_EQ(a->notices.back().code, 1029u);
  EXPECT_EQ(a->notices.back().w, 10u);
  EXPECT_FALSE(plat::IsTimerArmed(r.view->Id(), 2));
  // Timer 3 and unknown ids: nothing.
  const auto n = a->notices.size();
  for (plat::UINT id : {3u, 8u, 99u}) plat::SetTimer(r.view->Id(), id, 5);
  r.loop.Advance(5);
  EXPECT_EQ(a->notices.size(), n);
  // Timer 6 re-arms itself.
  plat::SetTimer(r.view->Id(), 6, 1);
  r.loop.Advance(1);
  EXPECT_TRUE(plat::IsTimerArmed(r.view->Id(), 6));
}

TEST(ViewTimers, LinkStepsRunOnTimer5WhileTheyAskForMore) {
  Rig r;
  r.Start();
  r.fake->forcedStep = 1;
  plat::SetTimer(r.view->Id(), 5, 100);
  r.loop.Advance(100);
  r.loop.Advance(100);
  EXPECT_EQ(r.fake->linkSteps, 2);
  r.fake->forcedStep = 0;
  r.loop.Advance(100);
  EXPECT_EQ(r.fake->linkSteps, 3);
  EXPECT_FALSE(plat::IsTimerArmed(r.view->Id(), 5));
}

// ------------------------------------------------------------ open windows

TEST(ViewWindows, ACloseNoticeClearsTheFlagSoTheWindowCanOpenAgain) {
  Rig r;
  r.Start();
  r.view->RunCommand(V::ID_ASSISTANT);
  auto* a = r.win[V::kAssistant];
  ASSERT_TRUE(plat::IsTimerArmed(r.view->Id(), 1));
  a->UserCloses();
  EXPECT_FALSE(r.view->IsOpen(V::kAssistant));
  EXPECT_FALSE(plat::IsTimerArmed(r.view->Id(), 1));  // the clock stops with it
  EXPECT_EQ(a->destroys, 0);                            // not inside its own handler
  r.loop.RunUntilIdle();
  EXPECT_EQ(a->destroys, 1);
  r.view->RunCommand(V::ID_ASSISTANT);
  EXPECT_EQ(a->creates, 2);
  EXPECT_TRUE(r.view->IsOpen(V::kAssistant));
  // Notifications reach only open windows.
  a->UserCloses();
  r.Hub(hub::kAssistantText, 0, Rig::P("x"));
  EXPECT_EQ(a->notices.back().code, 1056u);
  EXPECT_EQ(a->notices.back().text, "");  // the reopening's main phone number, not "x"
}

TEST(ViewWindows, AWindowThatCannotBeCreatedSaysSoAndStaysClosed) {
  Rig r;
  r.Start();
  r.win[V::kKeypad]->failCreate = true;
  plat::SendMessage(r.view->Id(), hub::kCallDialled, 11, 0);  // opens the assistant only
  r.view->RunCommand(V::ID_KEYPAD);
  EXPECT_FALSE(r.view->IsOpen(V::kKeypad));
  r.loop.RunUntilIdle();
  ASSERT_EQ(r.boxes.shown.size(), 1u);
  EXPECT_EQ(r.boxes.shown[0].text, "T43.8\nT43.9");
}

TEST(ViewWindows, ChargeFileCommandMovesTheRecordsToTheChosenFile) {
  Rig r;
  r.Start();
  const std::string dir = ::testing::TempDir() + "brimlow-viewcharge-" + std::to_string(::getpid());
  std::filesystem::create_directories(dir);
  plat::ScriptedFileDialog files;
  plat::SetFileDialogImpl(&files);
  files.answers = {"", dir + "/chosen.log"};
  const std::string before = GlobalConfig().CPROCFN;
  r.view->RunCommand(32807);  // cancelled: nothing changes
  EXPECT_EQ(GlobalConfig().CPROCFN, before);
  r.view->RunCommand(32807);
  plat::SetFileDialogImpl(nullptr);
  ASSERT_EQ(files.requests.size(), 2u);
  EXPECT_EQ(files.requests[0].title, "T43.1");
  EXPECT_EQ(GlobalConfig().CPROCFN, dir + "/chosen.log");
  EXPECT_TRUE(r.view->Charges().ChargeFileOpen());
  EXPECT_EQ(std::filesystem::file_size(dir + "/chosen.log"), 256u);
  std::filesystem::remove_all(dir);
}

TEST(ViewWindows, AbsentWindowsOpenNothingAndTheirCommandsAreDisabled) {
  Rig r;
  r.Start(/*withWindows=*/false);
  for (plat::UINT id : {32772u, 32774u, 32779u, 32775u, 32776u, 32783u, 32796u, 32797u, 32801u, 32815u, 32816u,
                        32789u, 32794u})
    EXPECT_FALSE(r.view->IsCommandEnabled(id)) << id;
  // The document answers 32771 when the view has no assistant.
  EXPECT_TRUE(r.view->IsCommandEnabled(32771));
  for (plat::UINT id : {68u, 32781u, 32784u, 32785u, 32786u, 32787u, 32788u, 32790u, 32807u, 32808u, 32813u, 57665u})
    EXPECT_TRUE(r.view->IsCommandEnabled(id)) << id;
  const auto mark = r.Mark();
  r.Hub(hub::kCallActive, 17, 0);
  r.Hub(hub::kCallEvent, 57, 0);
  r.Hub(hub::kOpenDatabase);
  r.Hub(hub::kAskNewRecord, 17);
  EXPECT_TRUE(r.view->RunCommand(32771));
  EXPECT_FALSE(r.view->RunCommand(32772));
  r.loop.RunUntilIdle();
  EXPECT_EQ(r.Since(mark), std::vector<std::string>{});
  EXPECT_TRUE(r.boxes.shown.empty());
}

TEST(ViewWindows, DestructionDestroysEveryOpenWindowBeforeTheMembers) {
  Rig r;
  r.Start();
  for (plat::UINT id : {V::ID_ASSISTANT, V::ID_KEYPAD, V::ID_OVERVIEW, V::ID_DATABASE}) r.view->RunCommand(id);
  r.Hub(hub::kAskNewRecord, 17);
  const auto mark = r.Mark();
  r.view.reset();
  EXPECT_EQ(r.Since(mark), (std::vector<std::string>{"assistant.destroy", "keypad.destroy", "database.destroy",
                                                     "overview.destroy", "question.destroy", "tray.remove"}));
  EXPECT_EQ(r.doc->CallHandler().view, 0u);
  EXPECT_EQ(r.doc->CallHandler().link, nullptr);
  EXPECT_EQ(r.doc->Filter().link, nullptr);
  EXPECT_EQ(r.doc->View(), nullptr);
}

TEST(ViewCommands, SerialErrorBoxAndMenuRules) {
  Rig r;
  r.Start();
  EXPECT_TRUE(r.view->RunCommand(68));
  ASSERT_EQ(r.boxes.shown.size(), 1u);
  EXPECT_EQ(r.boxes.shown[0].text, "T43.24");

  struct Menu : IViewMenu {
    std::vector<plat::UINT> removed;
    void RemoveCommand(plat::UINT id) override { removed.push_back(id); }
    void SetCommandText(plat::UINT, const std::string&) override {}
  };
  for (int flags = 0; flags < 4; ++flags) {
    GlobalConfig().TOLEUPLV = flags & 1;
    GlobalConfig().TOLEUCLV = (flags >> 1) & 1;
    Menu m;
    r.view->UpdateMenu(m);
    auto has = [&](plat::UINT id) { return std::count(m.removed.begin(), m.removed.end(), id) == 1; };
    EXPECT_EQ(has(32801), (flags & 1) == 0);
    EXPECT_EQ(has(32803), (flags & 2) == 0);
    for (plat::UINT id : {32773u, 32802u, 32805u, 32811u, 32812u, 32815u, 32816u}) EXPECT_TRUE(has(id)) << id;
  }
}

TEST(ViewCommands, GeneralSettingsRunDialog172) {
  testapp::App();
  Rig r;
  r.Start();
  plat::DialogScript script;
  script.When(172).Set(CGeneralSettingsDlg::IDC_CURRENCY, "EUR").Press(plat::IDOK);
  EXPECT_TRUE(r.view->RunCommand(V::ID_GENERAL_SETTINGS));
  ASSERT_EQ(script.opened.size(), 1u);
  EXPECT_EQ(GlobalConfig().CAUN, "EUR");
}

// ----------------------------------------------------------------- exit

TEST(ViewExit, TheExitCommandWaitsForTheOutermostModalLoop) {
  Rig r;
  r.Start();
  {
    plat::ModalLoopScope outer;
    {
      plat::ModalLoopScope inner;
      r.view->RunCommand(V::ID_APP_EXIT);
      r.view->RunCommand(V::ID_APP_EXIT);  // asked twice: runs once
      r.loop.RunUntilIdle();
    }
    r.loop.RunUntilIdle();
    EXPECT_EQ(r.frame.exits, 0);
  }
  r.loop.RunUntilIdle();
  EXPECT_EQ(r.frame.exits, 1);
  // With nothing to stop, the close is granted at once: no exit needed.
  EXPECT_TRUE(r.view->CanCloseView());
  r.loop.RunUntilIdle();
  EXPECT_EQ(r.frame.exits, 1);
}

// Requests while one is queued join it; a request after the close was
// refused (the link still stopping) queues anew: none is lost.
TEST(ViewExit, EveryRequestIsServedOnceAndNoneIsLost) {
  Rig r;
  r.Start();
  struct Step {
    int requests;  // exit requests before the queue runs
    int exits;     // the frame's exits after it ran
  } steps[] = {{1, 1}, {3, 2}, {0, 2}, {2, 3}};
  for (const Step& s : steps) {
    for (int i = 0; i < s.requests; ++i) r.view->RunCommand(V::ID_APP_EXIT);
    r.loop.RunUntilIdle();
    EXPECT_EQ(r.frame.exits, s.exits);
  }
  EXPECT_TRUE(plat::Exiting());
}

TEST(ViewExit, TheLinksStoppedReportOutsideTheShutDownDoesNotExit) {
  Rig r;
  r.Start();
  r.Hub(hub::kLinkStopStep);  // a stop without a close (monitor restart)
  EXPECT_EQ(r.frame.exits, 0);
  EXPECT_TRUE(r.globals.Log().empty());
}

// ------------------------------------------------------------------ lists

TEST(ViewLists, ARecordFromTheDatabaseDialogGoesOnTheCallbackList) {
  Rig r;
  r.Start();
  FakePhoneBookRecord record;
  record.number = "0301234";
  record.company = "Muster";
  r.Hub(hub::kAddCallbackFromRecord, hub::kIdKeypad, Rig::P(&record));  // only 13
  r.Hub(hub::kAddCallbackFromRecord, hub::kIdDatabaseDialog, 0);       // and a record
  EXPECT_EQ(r.doc->CallbackList().GetCount(), 0);
  r.Hub(hub::kAddCallbackFromRecord, hub::kIdDatabaseDialog, Rig::P(&record));
  ASSERT_EQ(r.doc->CallbackList().GetCount(), 1);
  EXPECT_NE(r.doc->CallbackList().GetEntryText(1).find("0301234"), std::string::npos);
}

TEST(ViewLists, MonitoringStartedSetsTheMissedCallsFilterAndStartsTheAutomation) {
  struct Case {
    int nplroobof;
    bool jobTaken;
    int mode;
  } cases[] = {{0, false, 0}, {1, false, 1}, {1, true, 0}};
  for (const Case& c : cases) {
    Rig r;
    r.Start();
    GlobalConfig().NPLROOBOF = c.nplroobof;
    if (c.jobTaken) r.doc->Filter().TakeOrRelease(jobstate::kChargeReadout, 1);
    r.Hub(hub::kMonitoringStarted);
    EXPECT_EQ(r.doc->MissedCalls().GetReadingMode(), c.mode) << c.nplroobof << c.jobTaken;
    EXPECT_FALSE(plat::IsTimerArmed(r.view->Id(), 4));  // no entries: no automation
  }
  Rig r;
  r.Start();
  GlobalConfig().CBLASOBOS = 1;
  GlobalConfig().TB1C = 1500;
  CCallInfo* entry = r.doc->CallbackList().NewCallFor(13);
  entry->calledNumber = "0301234";
  r.doc->CallbackList().AddCall(entry);
  r.Hub(hub::kMonitoringStarted);
  EXPECT_EQ(r.doc->CallbackList().IsRunning(), 1);
  EXPECT_TRUE(plat::IsTimerArmed(r.view->Id(), 4));
  r.loop.Advance(1500);
  EXPECT_TRUE(plat::IsTimerArmed(r.view->Id(), 4));  // a step ran, re-armed
  r.Hub(hub::kStopCallbackTimer);
}

TEST(ViewLists, TheMissedCallsDialogOpensFromTheHubAndIsRefreshedWhileShown) {
  testapp::App();
  Rig r;
  r.Start();
  plat::DialogScript script;
  int refreshesSeen = 0;
  script.When(160).Do([&](plat::Dialog&) {
    // The list changes while the dialog is shown: the hub refreshes it.
    r.doc->MissedCalls().SetReadingMode(1);
    ++refreshesSeen;
  }).Press(plat::IDCANCEL);
  r.Hub(hub::kOpenMissedCalls, 18);
  ASSERT_EQ(script.opened.size(), 1u);
  EXPECT_EQ(script.opened[0].resourceId, 160);
  EXPECT_EQ(refreshesSeen, 1);
  r.Hub(hub::kMissedFilterChanged, 27);  // closed again: nobody to refresh
  script.When(145).Press(plat::IDCANCEL);
  r.Hub(hub::kOpenCallbackList, 11);
  ASSERT_EQ(script.opened.size(), 2u);
  EXPECT_EQ(script.opened[1].resourceId, 145);
}

TEST(ViewLists, CallDataCodeRunsTheCallDataCommandOnlyOnceItIsThere) {
  Rig r;
  r.Start();
  // Absent: nothing (the accepted-codes test above checks the log).
  r.Hub(hub::kOpenCallData, 11);
  EXPECT_FALSE(r.view->IsCommandEnabled(V::ID_CALLDATA));
  int runs = 0;
  r.view->Commands().Register(V::ID_CALLDATA, [&] { ++runs; });
  r.Hub(hub::kOpenCallData, 11);
  r.Hub(hub::kOpenCallData, 18);
  EXPECT_EQ(runs, 2);
  EXPECT_TRUE(r.boxes.shown.empty());
}

// The overview's double click posts 1073 with the extension's number: the
// view walks the handler's matching lines for that number.
TEST(ViewCharges, TheOverviewsReportCodeWalksTheMatchingLinesOfThatNumber) {
  Rig r;
  const struct {
    const char* number;
    int units;
  } records[] = {{"21", 3}, {"22", 5}, {"21", 7}, {"23", 11}};
  std::string file(ChargeFileHeader::kSize, '\0');
  ChargeFileHeader::Default().Serialize(reinterpret_cast<std::uint8_t*>(file.data()));
  std::uint32_t start = 1700000000;
  for (const auto& rec : records) {
    ChargeRecord c;
    c.start = start += 100;
    c.duration = 60;
    c.units = static_cast<std::int16_t>(rec.units);
    c.SetCalled(rec.number);
    c.SetCalling(rec.number);
    std::string bytes(ChargeRecord::kSize, '\0');
    c.Serialize(reinterpret_cast<std::uint8_t*>(bytes.data()));
    file += bytes;
  }
  {
    std::FILE* f = std::fopen(GlobalConfig().CPROCFN.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(file.data(), 1, file.size(), f), file.size());
    std::fclose(f);
  }
  r.Start();
  CChargeAndLogHandler& h = r.view->Charges();
  ASSERT_EQ(h.RecordCount(), 4u);
  auto walk = [&](const char* number) {
    for (std::string l = h.GetFirstReportLine(1, 4, number, 0); !l.empty(); l = h.GetNextReportLine(1, 4)) {
    }
    return h.QuerySum();
  };
  const std::int64_t of21 = walk("21"), of22 = walk("22");
  ASSERT_NE(of21, of22);
  for (const char* number : {"22", "21"}) {
    plat::PostMessage(r.view->Id(), hub::kSubscriberReport, 0, 0, number, std::strlen(number) + 1);
    r.loop.RunUntilIdle();
    EXPECT_EQ(h.QuerySum(), std::string(number) == "21" ? of21 : of22) << number;
  }
}
