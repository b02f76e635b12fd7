// The event path allocates nothing for a record that makes no new call
// record: counted by this binary's own operator new, over the traffic of
// 60 watched extensions through the filter, the call handler and two
// listeners.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "core/base/globalconfig.h"
#include "platform/trace.h"
#include "tests/core/filter/eventpath_rig.h"

namespace {
std::atomic<long> g_allocs{0};
}

void* operator new(std::size_t n) {
  g_allocs.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n) {
  g_allocs.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  g_allocs.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(n ? n : 1);
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
  g_allocs.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(n ? n : 1);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

struct EventPathTest : ::testing::Test {
  void SetUp() override {
    sdfn_ = GlobalConfig().SDFN;
    GlobalConfig().SDFN.clear();
  }
  void TearDown() override { GlobalConfig().SDFN = sdfn_; }
  std::string sdfn_;
};

TEST_F(EventPathTest, NoAllocationForAnEventThatMakesNoCallRecord) {
  const std::vector<CSTAMessage> traffic = eventpath::Traffic();
  eventpath::Rig r;
  long plain = 0, plainAllocs = 0, records = 0;
  // Also the first round: a release that outnumbers all before it must not
  // grow the handler's list of released records then.
  for (int round = 0; round < 2; ++round) {
    for (const CSTAMessage& m : traffic) {
      const std::size_t pool = r.handler.PoolSize();
      const long before = g_allocs.load();
      r.filter.OnCSTAMessage(&m);
      r.loop.RunUntilIdle();
      const long allocs = g_allocs.load() - before;
      if (r.handler.PoolSize() > pool) {
        ++records;
        r.handler.JoinWorkers();
        r.loop.RunUntilIdle();
      } else {
        ++plain;
        plainAllocs += allocs;
        EXPECT_EQ(allocs, 0) << "type " << m.Type() << " xref " << m.CrossRefId();
        if (allocs != 0) return;
      }
    }
    r.handler.PurgeReleasedCalls();
  }
  EXPECT_GT(plain, 10000);
  EXPECT_GT(records, 100);
  EXPECT_EQ(plainAllocs, 0);
}

// With the trace window closed a record is not even copied.
TEST_F(EventPathTest, TheClosedTraceWindowTakesNoCopy) {
  CSTAMessage m;
  m.SetType(CSTA_DELIVERED);
  CloseCSTATraceWindow(0);
  ProcessCSTATraceMessage(0, m.data());
  const long before = g_allocs.load();
  for (int i = 0; i < 100; ++i) ProcessCSTATraceMessage(0, m.data());
  EXPECT_EQ(g_allocs.load() - before, 0);
}

}  // namespace
