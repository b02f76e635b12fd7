// The call model's pool and requests, on the scenario rig.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "core/base/globalconfig.h"
#include "core/callhandler/callhandler.h"
#include "core/iface/viewhub.h"
#include "core/monitor/monitortable.h"
#include "platform/messages.h"
#include "fakes.h"
#include "scenario.h"
#include "scenario_rig.h"

namespace {

struct HandlerTest : ::testing::Test {
  Scenario s;
  void SetUp() override { ASSERT_EQ(s.Run("watch 21 2 main xref=1001\n"), ""); }
  CCallHandler& h() { return s.rig().handler; }
};

}  // namespace

TEST_F(HandlerTest, ReferenceIdsStartAtOneAndAreNeverReused) {
  CCallInfo* a = h().GetFreeCall(12);
  CCallInfo* b = h().GetFreeCall(12);
  EXPECT_EQ(a->callRefId, 1);
  EXPECT_EQ(b->callRefId, 2);
  h().FreeCall(a);
  h().PurgeReleasedCalls();
  EXPECT_EQ(h().GetFreeCall(12)->callRefId, 3);
  EXPECT_EQ(h().PoolSize(), 2u);
}

TEST_F(HandlerTest, CallIdLookupPrefersTheNewestLiveRecord) {
  CCallInfo* old = h().GetFreeCall(21);
  old->callId = 7;
  CCallInfo* live = h().GetFreeCall(21);
  live->callId = 7;
  CCallInfo* newer = h().GetFreeCall(21);
  newer->callId = 7;
  h().FreeCall(newer);
  EXPECT_EQ(h().GetCallByCallID(7, 21), live);
  h().FreeCall(old);
  h().FreeCall(live);
  // Only released ones left: the newest comes back, revived.
  CCallInfo* found = h().GetCallByCallID(7, 21);
  EXPECT_EQ(found, newer);
  EXPECT_EQ(newer->connectedMark, 0);
  EXPECT_EQ(h().FindLiveCall(7), newer);
}

TEST_F(HandlerTest, PurgeKeepsPinnedAndBusyRecords) {
  ASSERT_EQ(s.Run("set GDOH 1\nwatch 21 2 main xref=1001\ndial 22\n"), "");
  CCallInfo* current = h().GetCurrentCall(17);
  ASSERT_NE(current, nullptr);
  CCallInfo* busy = h().GetFreeCall(21);
  busy->busy = 1;
  CCallInfo* gone = h().GetFreeCall(21);
  h().FreeCall(current);
  h().FreeCall(busy);
  h().FreeCall(gone);
  h().PurgeReleasedCalls();
  EXPECT_EQ(h().PoolSize(), 2u);
  EXPECT_EQ(h().GetCurrentCall(17), current);
  EXPECT_EQ(h().LastDialled(), current);
}

// Whoever still holds a released record keeps it in the pool; the purge
// after it lets go takes it.
TEST_F(HandlerTest, AReleasedRecordStaysWhileAnyoneHoldsIt) {
  std::unique_ptr<plat::ModalLoopScope> modal;
  CMonitorEntry* watched = s.rig().table.FindByNumber("21");
  ASSERT_NE(watched, nullptr);
  struct Case {
    const char* holder;
    std::function<void(CCallInfo*)> hold, letGo;
  } cases[] = {
      {"a worker", [](CCallInfo* c) { c->busy = 1; }, [](CCallInfo* c) { c->busy = 0; }},
      {"the callback list", [&](CCallInfo* c) { s.rig().callbacks.entries.push_back(c); },
       [&](CCallInfo*) { s.rig().callbacks.entries.clear(); }},
      {"a watched extension", [&](CCallInfo* c) { watched->currentCall = c; },
       [&](CCallInfo*) { watched->currentCall = nullptr; }},
      {"a modal loop above", [&](CCallInfo*) { modal = std::make_unique<plat::ModalLoopScope>(); },
       [&](CCallInfo*) { modal.reset(); }},
  };
  for (const Case& c : cases) {
    CCallInfo* rec = h().GetFreeCall(21);
    const int ref = rec->callRefId;
    c.hold(rec);
    h().FreeCall(rec);
    h().PurgeReleasedCalls();
    EXPECT_EQ(h().GetCallByCallReferenceID(ref, 17), rec) << c.holder;
    c.letGo(rec);
    h().PurgeReleasedCalls();
    EXPECT_EQ(h().GetCallByCallReferenceID(ref, 17), nullptr) << c.holder;
    EXPECT_EQ(h().PoolSize(), 0u) << c.holder;
  }
}

// The index by call id follows every change of a record's id, copies of a
// record (which carry its owner) leave it alone, and a record released,
// taken up again and released again goes once.
TEST_F(HandlerTest, CallIdLookupFollowsChangesAndIgnoresCopies) {
  CCallInfo* a = h().GetFreeCall(21);
  a->callId = 7;
  EXPECT_EQ(h().FindLiveCall(7), a);
  a->callId = 8;
  EXPECT_EQ(h().FindLiveCall(7), nullptr);
  EXPECT_EQ(h().FindLiveCall(8), a);
  CCallInfo copy;
  copy.CopyFrom(*a);
  ASSERT_EQ(copy.owner, a->owner);
  copy.callId = 9;
  copy.Release();
  EXPECT_EQ(h().FindLiveCall(9), nullptr);
  EXPECT_EQ(h().FindLiveCall(8), a);
  EXPECT_EQ(a->connectedMark, 0);

  h().FreeCall(a);
  EXPECT_EQ(h().FindLiveCall(8), nullptr);
  EXPECT_EQ(h().GetCallByCallID(8, 21), a);  // revived
  h().FreeCall(a);
  h().PurgeReleasedCalls();
  EXPECT_EQ(h().PoolSize(), 0u);
  EXPECT_EQ(h().GetCallByCallID(8, 21), nullptr);
  EXPECT_EQ(h().FindLiveCall(8), nullptr);
}

// The record of a call the PBX ended is gone once that record's dispatch
// is over, without waiting for the queue.
TEST_F(HandlerTest, AnEndedCallIsPurgedAtTheEndOfItsDispatch) {
  ASSERT_EQ(s.Run("watch 21 2 main xref=1001\n"
                  "pbx delivered xref=1001 callid=9 device=21 calling=0407777 called=21\n"),
            "");
  EXPECT_EQ(h().PoolSize(), 1u);
  CMonitorEntry* main = s.rig().table.FindByNumber("21");
  CSTAMessage cleared;
  cleared.SetType(CSTA_CONNECTION_CLEARED);
  cleared.SetCrossRefId(1001);
  CSTAConnectionId{9, "21", 0}.Write(cleared, 10);
  s.rig().filter.OnCSTAMessage(&cleared);
  EXPECT_EQ(main->currentCall, nullptr);
  EXPECT_EQ(h().PoolSize(), 0u);
  EXPECT_EQ(s.rig().missed.numbers.size(), 1u);
}

TEST_F(HandlerTest, MakeCallSwapsAndRefusesWithACurrentCall) {
  CCallInfo* c = h().GetFreeCall(12);
  c->calledNumber = "21";
  c->callingNumber = "0301234";
  EXPECT_EQ(h().MakeCall(c, 12), 1);
  EXPECT_EQ(c->callingNumber, "21");
  EXPECT_EQ(c->calledNumber, "0301234");
  CCallInfo* d = h().GetFreeCall(12);
  d->calledNumber = "22";
  EXPECT_EQ(h().MakeCall(d, 12), 0);
  EXPECT_EQ(d->state, CCallInfo::kDialling);
  EXPECT_EQ(d->direction, CCallInfo::kOutgoing);
  EXPECT_EQ(s.rig().link.sent.size(), 1u);
}

TEST_F(HandlerTest, RedialUsesAFreshRecord) {
  ASSERT_EQ(s.Run("set GDOH 1\nwatch 21 2 main xref=1001\ndial 0301234\n"
                  "pbx makecallconf xref=1001 callid=55 device=21\n"
                  "pbx cleared xref=1001 callid=55 device=21\n"),
            "");
  CCallInfo* old = h().LastDialled();
  ASSERT_NE(old, nullptr);
  EXPECT_NE(old->endTime, 0);
  EXPECT_EQ(h().Redial(12), 1);
  CCallInfo* fresh = h().GetCurrentCall(17);
  ASSERT_NE(fresh, nullptr);
  EXPECT_NE(fresh, old);
  EXPECT_EQ(fresh->calledNumber, "0301234");
  EXPECT_EQ(fresh->endTime, 0);
  EXPECT_EQ(fresh->callId, -1);
  EXPECT_EQ(h().LastDialled(), fresh);
}

TEST_F(HandlerTest, ClearingANeverConnectedCallGivesNoDuration) {
  CCallInfo* c = h().GetFreeCall(12);
  c->beginTime = 1000;
  c->endTime = 1600;
  c->state = CCallInfo::kDialling;
  EXPECT_EQ(h().ClearCall(c, 21), CCallHandler::kCleared);
  EXPECT_EQ(c->beginTime, 1600);
  EXPECT_EQ(c->duration, 0);
  EXPECT_EQ(c->clearCause, 21);
  EXPECT_EQ(c->state, CCallInfo::kIdle);
  EXPECT_EQ(h().ClearCall(nullptr, 11), CCallHandler::kNoRecord);
  // Requester 21 reports what the PBX did: no clear request goes out.
  EXPECT_TRUE(s.rig().link.sent.empty());
}

TEST_F(HandlerTest, YesRemovesTheCallbackEntryThatWasFound) {
  auto& cb = s.rig().callbacks;
  // Two entries: the layout-7 text matches only the second.
  CCallInfo* other = h().GetFreeCall(18);
  other->direction = CCallInfo::kOutgoing;
  other->callingNumber = "21";
  other->calledNumber = "0999";
  CCallInfo* match = h().GetFreeCall(18);
  match->direction = CCallInfo::kOutgoing;
  match->callingNumber = "21";
  match->calledNumber = "0301234";
  cb.entries = {other, match};
  s.rig().boxes.QueueAnswer(6);  // IDYES
  CCallInfo* c = h().GetFreeCall(12);
  c->direction = CCallInfo::kOutgoing;
  c->callingNumber = "21";
  c->calledNumber = "0301234";
  c->state = CCallInfo::kConnected;
  h().ClearCall(c, 21);
  // Asked from the queue, not inside the clear path.
  EXPECT_TRUE(s.rig().boxes.shown.empty());
  EXPECT_EQ(c->state, CCallInfo::kIdle);
  s.rig().Settle();
  ASSERT_EQ(s.rig().boxes.shown.size(), 1u);
  ASSERT_EQ(cb.entries.size(), 1u);
  EXPECT_EQ(cb.entries[0], other);
  EXPECT_EQ(match->connectedMark, -1);
  EXPECT_EQ(c->connectedMark, -1);
}

TEST_F(HandlerTest, WaitForHandset) {
  auto& prompt = s.rig().prompt;
  // Not lifted: three prompts at most.
  prompt.answers = {1, 1, 1};
  EXPECT_EQ(h().WaitForHandset(12), 0);
  EXPECT_EQ(prompt.shown, 3);
  prompt.answers = {2};
  EXPECT_EQ(h().WaitForHandset(12), 0);
  EXPECT_EQ(prompt.shown, 4);
  s.rig().table.MainPhoneEntry()->connectionState = 0;
  EXPECT_EQ(h().WaitForHandset(12), 1);
  EXPECT_EQ(prompt.shown, 4);
  GlobalConfig().GDOH = 1;
  s.rig().table.MainPhoneEntry()->connectionState = -1;
  EXPECT_EQ(h().WaitForHandset(12), 1);
  CCallInfo* c = h().GetFreeCall(12);
  c->calledNumber = "22";
  h().MakeCall(c, 12);
  EXPECT_EQ(h().WaitForHandset(12), 0);
  GlobalConfig().GDOH = 0;
}

TEST_F(HandlerTest, ServiceInitiatedClosesTheShowingPrompt) {
  struct LiftingPrompt : IHandsetPrompt {
    CCallHandler* h = nullptr;
    CMonitorEntry* main = nullptr;
    int lifted = 0;
    int Show() override {
      main->connectionState = 0;
      h->OnCallEvent(66, nullptr);
      return lifted ? 1 : 2;
    }
    void Lifted() override { ++lifted; }
  } p;
  p.h = &h();
  p.main = s.rig().table.MainPhoneEntry();
  h().prompt = &p;
  EXPECT_EQ(h().WaitForHandset(12), 1);
  EXPECT_EQ(p.lifted, 1);
  EXPECT_EQ(h().IsPromptShowing(), 0);
}

TEST_F(HandlerTest, CreateRecordForCallStoresThePartner) {
  ASSERT_EQ(s.Run("watch 21 2 main xref=1001\n"
                  "pbx delivered xref=1001 callid=9 device=21 calling=0407777 called=21\n"),
            "");
  EXPECT_EQ(h().CreateRecordForCall(h().GetCurrentCall(17)->GetPartnerNumber(h().GetOwnNumber())), 1);
  auto& book = s.rig().book;
  ASSERT_EQ(book.records.size(), 1u);
  EXPECT_EQ(book.records[0]->number, "407777");
  EXPECT_EQ(book.records[0]->company, "New");
  EXPECT_EQ(book.updates, 1);
  const auto& hubs = s.rig().view.messages;
  ASSERT_FALSE(hubs.empty());
  EXPECT_EQ(hubs.back().code, 1038u);
  EXPECT_EQ(hubs.back().match.call, h().GetCurrentCall(17));
  EXPECT_NE(hubs.back().match.record, nullptr);
}

TEST_F(HandlerTest, CreateRecordForCallTakesTheNumberAskedAboutAfterItsCallEnded) {
  ASSERT_EQ(s.Run("watch 21 2 main xref=1001\n"
                  "pbx delivered xref=1001 callid=9 device=21 calling=0407777 called=21\n"
                  "pbx cleared xref=1001 callid=9 device=21\n"
                  "pbx delivered xref=1001 callid=10 device=21 calling=0408888 called=21\n"),
            "");
  EXPECT_EQ(h().CreateRecordForCall("407777"), 1);
  auto& book = s.rig().book;
  ASSERT_EQ(book.records.size(), 1u);
  EXPECT_EQ(book.records[0]->number, "407777");  // not the caller now ringing
  EXPECT_EQ(s.rig().view.messages.back().match.call, nullptr);
  EXPECT_EQ(h().CreateRecordForCall(""), 0);
  EXPECT_EQ(book.records.size(), 1u);
}

// The requester of a fresh record is its generator: the clear path
// branches on it (the callback list hears of its own calls ending).
TEST_F(HandlerTest, AFreeCallKeepsItsRequesterAsGenerator) {
  const struct {
    int requester;
    int finished;  // the callback list told
  } cases[] = {{hub::kIdCallbackList, 1}, {hub::kIdCallDataList, 0}, {hub::kIdFilter, 0}, {hub::kIdKeypad, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.requester);
    s.rig().callbacks.finished = 0;
    CCallInfo* call = h().GetFreeCall(c.requester);
    ASSERT_NE(call, nullptr);
    EXPECT_EQ(call->generatorId, c.requester);
    call->state = CCallInfo::kRinging;
    h().ClearCall(call, hub::kIdFilter);
    EXPECT_EQ(s.rig().callbacks.finished, c.finished);
  }
}

// The handler is the own number's source for records read back from text.
TEST_F(HandlerTest, ALineReadBackPutsTheOwnNumberOnTheCallingSide) {
  EXPECT_EQ(CCallInfo::OwnNumber(), "21");
  CCallInfo in;
  in.direction = CCallInfo::kIncoming;
  in.callingNumber = "0621123456";
  in.calledNumber = "21";
  in.endTime = 1765180800;
  CCallInfo back;
  ASSERT_EQ(back.SetFromText(2, in.GetDescription(2)), 1);
  EXPECT_EQ(back.callingNumber, "21");
  EXPECT_EQ(back.calledNumber, "0621123456");
}

TEST(HandlerLifetime, TheOwnNumberSourceEndsWithTheHandler) {
  {
    CCallHandler handler;
    CMonitorTable table;
    handler.monitors = &table;
    table.FindByNumber("21")->monitoringOn = 1;
    table.SetMainPhone("21");
    EXPECT_EQ(CCallInfo::OwnNumber(), "21");
    handler.monitors = nullptr;
  }
  EXPECT_EQ(CCallInfo::OwnNumber(), "");
}
