#include <gtest/gtest.h>

#include <thread>

#include "core/base/globalconfig.h"
#include "core/monitor/monitortable.h"

// The incoming-call worker looks extensions up while the main thread does
// the same; lookups must leave the table untouched.
TEST(MonitorTableThreads, ConcurrentLookupsWriteNothing) {
  GlobalConfig().SDFN.clear();  // no file: the table keeps its defaults
  CMonitorTable table;
  auto lookups = [&table] {
    for (int i = 0; i < 2000; ++i) {
      const std::string n = std::to_string(10 + i % 60);
      EXPECT_TRUE(table.FindByNumber(n));
      EXPECT_EQ(table.IsKnownNumber(n + " - Herr X"), 1);
      EXPECT_EQ(table.GetCrossRefId(n), 0u);
      EXPECT_EQ(table.NameOf(n, 0), "");
    }
  };
  std::thread worker(lookups);
  lookups();
  worker.join();
}
