// Incoming-call workers look the caller up beside the main thread; the
// main thread keeps every decision. Runs under ThreadSanitizer too.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "core/base/globalconfig.h"
#include "core/callhandler/callhandler.h"
#include "platform/eventloop.h"
#include "platform/messages.h"
#include "tests/phonebook/fake/fake_phonebook.h"

namespace {

// A phone book whose search waits until the test lets it go.
class GatedPhoneBook : public FakePhoneBook {
 public:
  int FindRecord(std::uint32_t kind, const CDataBaseParam& v, const char* x, std::uint32_t r) override {
    {
      std::unique_lock<std::mutex> lock(mu_);
      ++waiting_;
      cv_.notify_all();
      cv_.wait(lock, [this] { return open_; });
    }
    return FakePhoneBook::FindRecord(kind, v, x, r);
  }
  void WaitForSearch(int n) {
    std::unique_lock<std::mutex> lock(mu_);
    cv_.wait(lock, [&] { return waiting_ >= n; });
  }
  void Open() {
    std::lock_guard<std::mutex> lock(mu_);
    open_ = true;
    cv_.notify_all();
  }

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  int waiting_ = 0;
  bool open_ = false;
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
  CCallInfo* c = Incoming(h, "0301234", 1);
  h.StartIncomingCall(c, 21);
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
  CCallInfo* c = Incoming(h, "0301234", 1);
  h.StartIncomingCall(c, 21);
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
