// Target registry, posted and sent messages, timers and both loops.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/eventloop.h"
#include "platform/messages.h"

using namespace plat;

namespace {

struct Recorder : IMessageTarget {
  std::vector<Message> got;
  std::function<LRESULT(const Message&)> onMessage;
  LRESULT OnMessage(const Message& m) override {
    got.push_back(m);
    return onMessage ? onMessage(m) : 0;
  }
};

// Registers on construction, unregisters on destruction.
struct Target : Recorder {
  WindowId id = RegisterTarget(this);
  ~Target() override { UnregisterTarget(id); }
};

std::vector<UINT> Msgs(const Recorder& r) {
  std::vector<UINT> v;
  for (const auto& m : r.got) v.push_back(m.msg);
  return v;
}

}  // namespace

TEST(Messages, IdsAreNeverReusedAndUnknownIdsAreNoOps) {
  ManualLoop loop;
  WindowId first;
  {
    Target a;
    first = a.id;
    EXPECT_NE(first, 0u);
    EXPECT_TRUE(IsTarget(first));
  }
  EXPECT_FALSE(IsTarget(first));
  Target b;
  EXPECT_GT(b.id, first);
  EXPECT_FALSE(PostMessage(first, WM_USER));
  EXPECT_EQ(SendMessage(first, WM_USER), 0);
  EXPECT_FALSE(SetTimer(first, 1, 10));
  EXPECT_FALSE(PostMessage(0, WM_USER));
  EXPECT_EQ(loop.RunUntilIdle(), 0u);
}

TEST(Messages, PostsArriveInOrderWithTheirOwnPayload) {
  ManualLoop loop;
  Target t;
  char buf[4] = {'a', 'b', 'c', 'd'};
  ASSERT_TRUE(PostMessage(t.id, WM_USER + 1, 7, -8, buf, sizeof buf));
  std::memset(buf, 0, sizeof buf);  // the queued copy must not change
  ASSERT_TRUE(PostMessage(t.id, WM_USER + 2));
  EXPECT_TRUE(t.got.empty());  // nothing before the loop runs
  EXPECT_EQ(loop.RunUntilIdle(), 2u);
  ASSERT_EQ(t.got.size(), 2u);
  EXPECT_EQ(t.got[0].msg, WM_USER + 1);
  EXPECT_EQ(t.got[0].wParam, 7u);
  EXPECT_EQ(t.got[0].lParam, -8);
  EXPECT_EQ(std::string(t.got[0].payload.begin(), t.got[0].payload.end()), "abcd");
  EXPECT_EQ(t.got[1].data(), nullptr);
}

TEST(Messages, SendOnTheMainThreadCallsDirectlyAndIsReentrant) {
  ManualLoop loop;
  Target a, b;
  b.onMessage = [&](const Message& m) -> LRESULT {
    if (m.msg == WM_USER + 1) {
      // Inside a send: send again, post, and drop another target.
      EXPECT_EQ(SendMessage(b.id, WM_USER + 2), 42);
      PostMessage(b.id, WM_USER + 3);
      UnregisterTarget(a.id);
      return 5;
    }
    return m.msg == WM_USER + 2 ? 42 : 0;
  };
  PostMessage(a.id, WM_USER + 9);  // dropped by the unregister below
  EXPECT_EQ(SendMessage(b.id, WM_USER + 1, 0, 0, "xy", 2), 5);
  EXPECT_EQ(Msgs(b), (std::vector<UINT>{WM_USER + 1, WM_USER + 2}));
  EXPECT_EQ(std::string(b.got[0].payload.begin(), b.got[0].payload.end()), "xy");
  loop.RunUntilIdle();
  EXPECT_EQ(Msgs(b), (std::vector<UINT>{WM_USER + 1, WM_USER + 2, WM_USER + 3}));
  EXPECT_TRUE(a.got.empty());
}

TEST(Messages, UnregisterInsideDeliveryDropsTheRestOfItsQueue) {
  ManualLoop loop;
  auto victim = std::make_unique<Target>();
  Target killer;
  killer.onMessage = [&](const Message&) -> LRESULT {
    victim.reset();  // unregisters and frees the victim mid-drain
    return 0;
  };
  PostMessage(killer.id, WM_USER);
  PostMessage(victim->id, WM_USER + 1);
  PostMessage(victim->id, WM_USER + 2);
  EXPECT_EQ(loop.RunUntilIdle(), 1u);
}

TEST(Messages, SendFromAnotherThreadBecomesAPost) {
  ManualLoop loop;
  Target t;
  t.onMessage = [](const Message&) -> LRESULT { return 99; };
  LRESULT r = -1;
  bool mainThereSeen = true;
  std::thread th([&] {
    mainThereSeen = IsMainThread();
    r = SendMessage(t.id, WM_USER + 4, 1, 2);
  });
  th.join();
  EXPECT_FALSE(mainThereSeen);
  EXPECT_EQ(r, 0);
  EXPECT_TRUE(t.got.empty());
  loop.RunUntilIdle();
  EXPECT_EQ(Msgs(t), (std::vector<UINT>{WM_USER + 4}));
}

TEST(Messages, RecordPostedFromAThreadArrivesIntactAfterTheSenderFreedIt) {
  ManualLoop loop;
  Target t;
  constexpr std::size_t kRecord = 982;
  constexpr int kThreads = 4, kEach = 50;
  std::vector<std::thread> threads;
  for (int n = 0; n < kThreads; ++n) {
    threads.emplace_back([&, n] {
      for (int i = 0; i < kEach; ++i) {
        auto rec = std::make_unique<std::uint8_t[]>(kRecord);
        for (std::size_t k = 0; k < kRecord; ++k) rec[k] = static_cast<std::uint8_t>(k * 7 + n * 31 + i);
        ASSERT_TRUE(PostMessage(t.id, 1590, static_cast<WPARAM>(n), i, rec.get(), kRecord));
        std::memset(rec.get(), 0xEE, kRecord);  // scribble, then free
      }
    });
  }
  for (auto& th : threads) th.join();
  loop.RunUntilIdle();
  ASSERT_EQ(t.got.size(), static_cast<std::size_t>(kThreads * kEach));
  std::vector<int> nextOf(kThreads, 0);
  for (const auto& m : t.got) {
    const int n = static_cast<int>(m.wParam), i = static_cast<int>(m.lParam);
    EXPECT_EQ(i, nextOf[n]++) << "per-sender order";
    ASSERT_EQ(m.payload.size(), kRecord);
    for (std::size_t k = 0; k < kRecord; ++k)
      ASSERT_EQ(m.payload[k], static_cast<std::uint8_t>(k * 7 + n * 31 + i));
  }
}

TEST(Timers, FireInVirtualTimeInDeadlineThenArmingOrder) {
  ManualLoop loop;
  Target a, b;
  std::vector<std::pair<WindowId, WPARAM>> fired;
  std::vector<std::uint64_t> at;
  auto rec = [&](WindowId id) {
    return [&, id](const Message& m) -> LRESULT {
      EXPECT_EQ(m.msg, WM_TIMER);
      fired.emplace_back(id, m.wParam);
      at.push_back(NowMs());
      return 0;
    };
  };
  a.onMessage = rec(a.id);
  b.onMessage = rec(b.id);
  SetTimer(a.id, 1, 300);
  SetTimer(b.id, 7, 100);
  SetTimer(a.id, 4, 100);  // same deadline as b/7, armed later
  SetTimer(b.id, 5, 5000);
  EXPECT_TRUE(IsTimerArmed(b.id, 5));
  loop.Advance(99);
  EXPECT_TRUE(fired.empty());
  loop.Advance(250);
  EXPECT_EQ(fired, (std::vector<std::pair<WindowId, WPARAM>>{{b.id, 7}, {a.id, 4}, {a.id, 1}}));
  EXPECT_EQ(at, (std::vector<std::uint64_t>{100, 100, 300}));
  EXPECT_EQ(NowMs(), 349u);
  EXPECT_TRUE(KillTimer(b.id, 5));
  EXPECT_FALSE(KillTimer(b.id, 5));
  loop.Advance(10000);
  EXPECT_EQ(fired.size(), 3u);
}

TEST(Timers, ReArmedTimerFiresOnceAtTheNewDeadline) {
  ManualLoop loop;
  Target t;
  SetTimer(t.id, 4, 2000);
  loop.Advance(1500);
  SetTimer(t.id, 4, 5000);  // replaces: due at 6500, not 2000
  loop.Advance(1000);
  EXPECT_TRUE(t.got.empty());
  loop.Advance(4000);
  ASSERT_EQ(t.got.size(), 1u);
  EXPECT_EQ(NowMs(), 6500u);
  loop.Advance(60000);
  EXPECT_EQ(t.got.size(), 1u);
  EXPECT_FALSE(IsTimerArmed(t.id, 4));
}

TEST(Timers, HandlerReArmsAndPostsAreRunBetweenTimers) {
  ManualLoop loop;
  Target t;
  std::vector<std::string> log;
  t.onMessage = [&](const Message& m) -> LRESULT {
    if (m.msg == WM_TIMER) {
      log.push_back("timer@" + std::to_string(NowMs()));
      if (NowMs() < 3000) SetTimer(t.id, 1, 990);  // one-shot, re-armed by its handler
      PostMessage(t.id, WM_USER);
    } else {
      log.push_back("post@" + std::to_string(NowMs()));
    }
    return 0;
  };
  SetTimer(t.id, 1, 100);
  loop.Advance(10000);
  EXPECT_EQ(log, (std::vector<std::string>{"timer@100", "post@100", "timer@1090", "post@1090", "timer@2080",
                                           "post@2080", "timer@3070", "post@3070"}));
}

TEST(Timers, UnregisterDropsTimersAndWallTimeFollowsTheClock) {
  ManualLoop loop(1000);
  auto t = std::make_unique<Target>();
  WindowId id = t->id;
  SetTimer(id, 1, 10);
  t.reset();
  EXPECT_FALSE(IsTimerArmed(id, 1));
  std::uint64_t d;
  EXPECT_FALSE(NextTimerDeadline(&d));
  loop.Advance(61000);
  EXPECT_EQ(WallTime(), 1061);
}

TEST(Timers, QtLoopDeliversPostsAndTimers) {
  int argc = 1;
  char name[] = "platform_tests";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  QtEventLoop loop;
  Target t;
  std::vector<UINT> seen;
  t.onMessage = [&](const Message& m) -> LRESULT {
    seen.push_back(m.msg);
    if (m.msg == WM_USER + 1) SetTimer(t.id, 3, 20);
    if (m.msg == WM_TIMER) app.quit();
    return 0;
  };
  std::thread th([&] { PostMessage(t.id, WM_USER + 1, 0, 0, "q", 1); });
  th.join();
  QTimer::singleShot(10000, &app, [&] { app.quit(); });  // safety net only
  app.exec();
  EXPECT_EQ(seen, (std::vector<UINT>{WM_USER + 1, WM_TIMER}));
  SetEventLoop(nullptr);
}

TEST(ModalLoops, WorkWaitsForTheOutermostLoopToEnd) {
  ManualLoop loop;
  Target t;
  EXPECT_EQ(ModalLoopDepth(), 0);
  EXPECT_TRUE(PostWhenNoModalLoop(t.id, 1, 7));
  loop.RunUntilIdle();
  ASSERT_EQ(Msgs(t), (std::vector<UINT>{1}));
  {
    ModalLoopScope outer;
    {
      ModalLoopScope inner;
      EXPECT_EQ(ModalLoopDepth(), 2);
      PostWhenNoModalLoop(t.id, 2, 8);
    }
    loop.RunUntilIdle();
    EXPECT_EQ(Msgs(t), (std::vector<UINT>{1}));  // the outer loop still runs
    PostWhenNoModalLoop(t.id, 3);
  }
  EXPECT_EQ(ModalLoopDepth(), 0);
  loop.RunUntilIdle();
  EXPECT_EQ(Msgs(t), (std::vector<UINT>{1, 2, 3}));
  EXPECT_EQ(t.got[1].wParam, 8u);
  // Another thread's loop is not the main thread's.
  std::thread([] { ModalLoopScope other; EXPECT_EQ(ModalLoopDepth(), 0); }).join();
}

// The exit ends each open loop once, innermost first, through the end it
// gave; a loop's end may close another loop; a loop that gave none is
// waited for all the same. Asked again, only what opened since is ended.
TEST(ModalLoops, TheExitEndsEachOpenLoopOnceInnermostFirst) {
  ManualLoop loop;
  Target t;
  std::vector<std::string> ended;
  {
    ModalLoopScope outer;
    outer.SetEnd([&] { ended.push_back("outer"); });
    ModalLoopScope silent;  // a loop without an end of its own
    auto middle = std::make_unique<ModalLoopScope>();
    auto inner = std::make_unique<ModalLoopScope>();
    // The inner one's end lets the middle one go at once.
    inner->SetEnd([&] {
      ended.push_back("inner");
      middle.reset();
    });
    middle->SetEnd([&] { ended.push_back("middle"); });
    EXPECT_FALSE(Exiting());
    PostWhenNoModalLoop(t.id, 9);
    BeginExit();
    EXPECT_TRUE(Exiting());
    EXPECT_EQ(ended, (std::vector<std::string>{"inner", "outer"}));
    EXPECT_TRUE(inner->EndedForExit());
    EXPECT_TRUE(outer.EndedForExit());
    EXPECT_FALSE(silent.EndedForExit());
    inner.reset();
    ModalLoopScope late;
    late.SetEnd([&] { ended.push_back("late"); });
    BeginExit();
    EXPECT_EQ(ended, (std::vector<std::string>{"inner", "outer", "late"}));
    loop.RunUntilIdle();
    EXPECT_TRUE(Msgs(t).empty());  // the work still waits for the outermost
  }
  loop.RunUntilIdle();
  EXPECT_EQ(Msgs(t), (std::vector<UINT>{9}));
  ResetExit();
  EXPECT_FALSE(Exiting());
}
