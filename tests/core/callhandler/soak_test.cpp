// A working week of calls through the real message filter and call
// handler: answered, missed, outgoing, second, held and retrieved calls at
// the own extension, calls of a watched extension, call ids that recur, and
// incoming-call workers still looking the caller up when their call clears.
// The pool holds the live calls and a few more, whatever has passed, and
// (under the sanitizers) no record is used after it was freed.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "core/base/globalconfig.h"
#include "fakes.h"
#include "tests/core/filter/eventpath_rig.h"
#include "gated_phonebook.h"

namespace {

using eventpath::Event;

constexpr std::uint32_t kMain = 1021;  // the own extension 21
constexpr std::size_t kSlack = 4;      // records beyond the live calls

struct SoakRig : eventpath::Rig {
  GatedPhoneBook book{true};
  FakeMissedCalls missed;
  FakeCallbackList callbacks;
  FakeCallData callData;
  CGlobalConfig saved = GlobalConfig();
  std::size_t maxPool = 0;

  SoakRig() {
    GlobalConfig().CHLO = 0;
    handler.phoneBook = &book;
    handler.missedCalls = &missed;
    handler.callbackList = &callbacks;
    handler.callData = &callData;
    book.Add("0301234567", "Firma", "Herr", "Kunde");
  }
  ~SoakRig() {
    book.Open();
    handler.JoinWorkers();
    handler.phoneBook = nullptr;
    handler.missedCalls = nullptr;
    handler.callbackList = nullptr;
    handler.callData = nullptr;
    GlobalConfig() = saved;
  }
  void Feed(std::uint16_t type, std::uint32_t xref, std::uint32_t id, const std::string& device,
            const std::string& calling = "", const std::string& called = "") {
    CSTAMessage m = Event(type, xref, id, device, calling, called);
    filter.OnCSTAMessage(&m);
  }
  // The workers' results and the purge, as the main loop would run them.
  void Settle() {
    handler.JoinWorkers();
    loop.RunUntilIdle();
  }
  void Note() { maxPool = std::max(maxPool, handler.PoolSize()); }
};

}  // namespace

// 2,500 rounds of eight calls, in four quarters that run side by side (a
// worker thread a call makes a quarter as long as a whole test may take on
// a loaded machine). The own extension starts an incoming-call worker for
// each first call (a thread each, as in the program), so a round has two of
// them and six calls that need none.
class CallPoolSoak : public ::testing::TestWithParam<int> {};

TEST_P(CallPoolSoak, FiveThousandCallsKeepThePoolToTheLiveCalls) {
  SoakRig r;
  std::size_t calls = 0, answered = 0, missed = 0;
  const int first = GetParam() * 625;
  for (int round = first; round < first + 625; ++round) {
    // PBX call ids come round again every 61 ids.
    auto id = [&](int k) { return 1 + static_cast<std::uint32_t>((round * 8 + k) % 61); };
    const std::string caller = round % 5 == 0 ? "0301234567" : "0409" + std::to_string(round % 997);
    const bool out = round % 2 == 1;

    // 1, 2: the own extension's call (incoming or outgoing), with a second
    // caller who gives up while it rings; every other round it is held and
    // taken back before it ends.
    const std::string from = out ? "21" : caller, to = out ? caller : "21";
    r.Feed(CSTA_DELIVERED, kMain, id(0), "21", from, to);
    r.Feed(CSTA_DELIVERED, kMain, id(1), "21", "22", "21");
    r.Note();
    r.Feed(CSTA_CONNECTION_CLEARED, kMain, id(1), "21");
    r.Feed(CSTA_ESTABLISHED, kMain, id(0), "21", from, to);
    if (round % 2 == 0) {
      r.Settle();
      r.Feed(CSTA_HELD, kMain, id(0), "21");
      r.Feed(CSTA_RETRIEVED, kMain, id(0), "21");
    }
    r.Feed(CSTA_CONNECTION_CLEARED, kMain, id(0), "21");
    calls += 2, answered += 1, missed += 1;
    r.Settle();

    // 3: the caller hangs up while the worker still looks them up; the
    // purge must leave the record to the worker.
    const int searches = r.book.Begun();
    r.book.Close();
    r.Feed(CSTA_DELIVERED, kMain, id(2), "21", caller, "21");
    r.book.WaitForSearch(searches + 1);
    r.Feed(CSTA_CONNECTION_CLEARED, kMain, id(2), "21");
    r.loop.RunUntilIdle();
    ASSERT_EQ(r.handler.WorkerCount(), 1u) << "round " << round;
    ASSERT_EQ(r.handler.ReleasedCount(), 1u) << "round " << round;
    r.Note();
    r.book.Open();
    r.Settle();
    calls += 1, missed += 1;

    // 4 to 8: watched extensions, answered and not, no worker.
    for (int k = 3; k < 8; ++k) {
      const std::uint32_t xref = 1030 + static_cast<std::uint32_t>(k % 3) * 10;  // 30, 40, 50
      const std::string ext = std::to_string(xref - 1000);
      r.Feed(CSTA_DELIVERED, xref, id(k), ext, caller, ext);
      if (k != 5) r.Feed(CSTA_ESTABLISHED, xref, id(k), ext, caller, ext);
      r.Note();
      r.Feed(CSTA_CONNECTION_CLEARED, xref, id(k), ext);
      ++calls;
    }
    r.Settle();
    r.Note();
    ASSERT_LE(r.handler.PoolSize(), kSlack) << "round " << round;
  }
  EXPECT_EQ(calls, 5000u);
  EXPECT_LE(r.maxPool, 2 + kSlack);
  EXPECT_EQ(r.handler.PoolSize(), 0u);
  EXPECT_EQ(r.callData.lines.size(), answered);
  EXPECT_GE(r.missed.numbers.size(), missed);
  EXPECT_EQ(r.handler.WorkerCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Quarters, CallPoolSoak, ::testing::Range(0, 4));
