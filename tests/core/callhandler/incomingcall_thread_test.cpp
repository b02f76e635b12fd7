// Incoming-call workers look the caller up beside the main thread; the
// main thread keeps every decision. Runs under ThreadSanitizer too.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "core/base/globalconfig.h"
#include "core/callhandler/callhandler.h"
#include "platform/eventloop.h"
#include "platform/messages.h"
#include "gated_phonebook.h"
#include "tests/phonebook/fake/fake_phonebook.h"

namespace {

// Like the real phone book: the first hit is one current item that every
// search overwrites.
class SharedItemPhoneBook : public FakePhoneBook {
 public:
  int FirstSearchHit(CMyDataBaseParamInterface** out) override {
    CMyDataBaseParamInterface* hit = nullptr;
    int r = FakePhoneBook::FirstSearchHit(&hit);
    if (r != PBS_DONE || !hit) return r;
    const auto* rec = static_cast<FakePhoneBookRecord*>(hit);
    item_.number = rec->number;
    item_.company = rec->company;
    item_.name = rec->name;
    if (out) *out = &item_;
    return PBS_DONE;
  }

 private:
  FakePhoneBookRecord item_;
};

class Recorder : public plat::IMessageTarget {
 public:
  Recorder() { id = plat::RegisterTarget(this); }
  ~Recorder() override { plat::UnregisterTarget(id); }
  plat::LRESULT OnMessage(const plat::Message& m) override {
    codes.push_back(m.msg);
    return 0;
  }
  plat::WindowId id = 0;
  std::vector<plat::UINT> codes;
};

CCallInfo* Incoming(CCallHandler& h, const std::string& number, int callId) {
  CCallInfo* c = h.GetFreeCall(21);
  c->direction = CCallInfo::kIncoming;
  c->callingNumber = number;
  c->calledNumber = "21";
  c->callId = callId;
  return c;
}

// An incoming call for extension 21 whose caller a worker looks up.
CCallInfo* Ring(CCallHandler& h, const std::string& number, int callId) {
  CCallInfo* c = Incoming(h, number, callId);
  h.StartIncomingCall(c, 21);
  return c;
}

struct ThreadTest : ::testing::Test {
  CGlobalConfig saved = GlobalConfig();
  plat::ManualLoop loop;
  void SetUp() override { GlobalConfig().CHLO = 0; }
  void TearDown() override { GlobalConfig() = saved; }
};

}  // namespace

TEST_F(ThreadTest, StateAndSlotAreSettledBeforeTheLookupEnds) {
  GatedPhoneBook book;
  book.Add("0301234", "Muster GmbH", "", "Meier");
  Recorder view;
  CCallHandler h;
  h.phoneBook = &book;
  h.view = view.id;
  CCallInfo* c = Ring(h, "0301234", 1);
  EXPECT_EQ(h.GetCurrentCall(17), c);
  EXPECT_EQ(c->state, CCallInfo::kRinging);
  EXPECT_EQ(c->busy.load(), 1);
  book.WaitForSearch(1);
  EXPECT_TRUE(view.codes.empty());
  book.Open();
  h.JoinWorkers();
  loop.RunUntilIdle();
  EXPECT_EQ(c->callingName, "Meier");
  EXPECT_EQ(c->busy.load(), 0);
  ASSERT_EQ(view.codes.size(), 2u);
  EXPECT_EQ(view.codes[0], 1029u);
  EXPECT_EQ(view.codes[1], 1038u);
}

TEST_F(ThreadTest, CallClearedDuringTheLookupDoesNotComeBack) {
  GatedPhoneBook book;
  Recorder view;
  CCallHandler h;
  h.phoneBook = &book;
  h.view = view.id;
  CCallInfo* c = Ring(h, "0301234", 1);
  book.WaitForSearch(1);
  h.ClearCall(c, 21);
  h.PurgeReleasedCalls();  // busy: kept
  EXPECT_EQ(h.PoolSize(), 1u);
  book.Open();
  h.JoinWorkers();
  view.codes.clear();
  loop.RunUntilIdle();
  EXPECT_EQ(h.GetCurrentCall(17), nullptr);
  EXPECT_TRUE(view.codes.empty());
  h.PurgeReleasedCalls();
  EXPECT_EQ(h.PoolSize(), 0u);
}

TEST_F(ThreadTest, ManyWorkersBesideTheMainThread) {
  FakePhoneBook book;
  for (int i = 0; i < 20; ++i) book.Add("0301" + std::to_string(i), "Firma", "", "Name");
  Recorder view;
  CCallHandler h;
  h.phoneBook = &book;
  h.view = view.id;
  for (int i = 0; i < 40; ++i) {
    CCallInfo* c = Incoming(h, "0301" + std::to_string(i % 25), 100 + i);
    h.StartIncomingCall(c, 21);
    // The main thread goes on with the pool and the phone book meanwhile.
    h.FindLiveCall(100 + i / 2);
    h.PurgeReleasedCalls();
    if (i % 3 == 0) h.ClearCall(c, 21);
    loop.RunUntilIdle();
  }
  h.JoinWorkers();
  loop.RunUntilIdle();
  h.PurgeReleasedCalls();
  EXPECT_EQ(h.PoolSize(), 26u);  // the 14 cleared ones are gone
}

TEST_F(ThreadTest, DestructorJoinsRunningWorkers) {
  GatedPhoneBook book;
  std::thread opener;
  {
    CCallHandler h;
    h.phoneBook = &book;
    h.StartIncomingCall(Incoming(h, "0301234", 1), 21);
    h.StartIncomingCall(Incoming(h, "0301235", 2), 21);
    book.WaitForSearch(1);
    opener = std::thread([&book] {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      book.Open();
    });
  }  // waits for both workers; their late posts are dropped
  opener.join();
  loop.RunUntilIdle();
}

TEST_F(ThreadTest, FinishedWorkersAreJoinedWhenTheirResultArrives) {
  FakePhoneBook book;
  Recorder view;
  CCallHandler h;
  h.phoneBook = &book;
  h.view = view.id;
  for (int i = 0; i < 5; ++i) h.StartIncomingCall(Incoming(h, "0301234", i), 21);
  EXPECT_EQ(h.WorkerCount(), 5u);  // only the main thread reaps them
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (h.WorkerCount() > 0 && std::chrono::steady_clock::now() < deadline) {
    loop.RunUntilIdle();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(h.WorkerCount(), 0u);
}

// The main thread's own look-ups (here the read-out of unanswered calls)
// take the party from the phone book's current item while no worker can
// overwrite it. ThreadSanitizer reports a read of the item outside the
// phone book's lock.
TEST_F(ThreadTest, MainThreadReadsTheHitWhileItHoldsThePhoneBook) {
  SharedItemPhoneBook book;
  book.Add("0301234", "Muster GmbH", "", "Meier");
  book.Add("0407777", "Beispiel AG", "", "Schulz");
  GlobalConfig().NPLLAIDB = 1;
  CCallHandler h;
  h.phoneBook = &book;
  for (int i = 0; i < 200; ++i) {
    h.StartIncomingCall(Incoming(h, "0301234", i), 21);
    CCallInfo* missed = Incoming(h, "0407777", 100 + i);
    h.OnCallEvent(93, missed);
    EXPECT_EQ(missed->callingName, "Schulz");
    h.JoinWorkers();
    loop.RunUntilIdle();
  }
}
