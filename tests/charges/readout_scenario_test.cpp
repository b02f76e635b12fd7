// Read-outs through the real filter and the real handler on the manual loop.
#include <gtest/gtest.h>

#include "chargerig.h"

namespace {

// A read-out of all records up to the first record request.
const char* kStartAll = R"(
charge start all
expect charge result 1
expect sent private kind=16 note=1
expect job 2
charge reply 17 856
expect sent private kind=0
)";

std::string FiveRecords() {
  return R"(
expect sent private kind=2 text=0
charge record 0 1700000000 60 3 21 0891234
expect sent private kind=2 text=1
charge record 1 1700000100 10 1 22 0301111
expect sent private kind=2 text=2
charge record 2 1700000200 -5 0 21 0172222
expect sent private kind=2 text=3
charge record 3 1700000300 40000 9 23 555
expect sent private kind=2 text=4
charge record 4 1700000400 30 2 21 0893333
)";
}

TEST(ChargeReadOut, FiveRecordsEachAskedOnceThenQuiet) {
  ChargeScenario s;
  EXPECT_EQ(s.Run(std::string(kStartAll) + R"(
charge reply 1 5
expect charge listener 12:5
)" + FiveRecords() + R"(
expect charge listener 11:20 11:40 11:60 11:80 4
expect charge listener none
expect job 0
expect charge job 0
expect charge index 5
expect charge records 5
expect charge record 2 1700000200 0 0 21 0172222
expect charge record 3 1700000300 32767 9 23 555
advance 6000
expect quiet
)"),
            "");
  // Byte for byte: the header names the read-out, then five records.
  const std::string bytes = ReadFileBytes(s.charge().FilePath());
  ASSERT_EQ(bytes.size(), 256u + 5 * 48u);
  const ChargeFileHeader h = ChargeFileHeader::Parse(reinterpret_cast<const std::uint8_t*>(bytes.data()));
  EXPECT_EQ(h.selection.recordsReadOut, s.charge().handler->ReadOutTime());
  EXPECT_NE(h.selection.recordsReadOut, 0u);
  ChargeRecord want;
  want.start = 1700000000;
  want.duration = 60;
  want.units = 3;
  want.SetCalling("21");
  want.SetCalled("0891234");
  std::uint8_t b[48];
  want.Serialize(b);
  EXPECT_EQ(bytes.substr(256, 48), std::string(reinterpret_cast<char*>(b), 48));
  // The index reached the configuration.
  EXPECT_EQ(s.charge().config.LastReadOutIndex, 5);
}

TEST(ChargeReadOut, DuplicatesAndOrder) {
  struct Case {
    const char* name;
    std::string records;
    int stored;
  } cases[] = {
      {"two in one second", R"(
charge record 0 1700000000 60 3 21 0891234
charge record 1 1700000000 60 3 22 0891234
charge record 2 1700000000 60 3 21 0891235
)", 3},
      {"one out of order", R"(
charge record 0 1700000500 60 3 21 0891234
charge record 1 1700000000 60 3 22 0891234
charge record 2 1700000900 60 3 21 0891235
)", 3},
      {"the same twice", R"(
charge record 0 1700000000 60 3 21 0891234
charge record 1 1700000000 60 3 21 0891234
charge record 2 1700000000 61 3 21 0891234
)", 2},
      {"start 0 and a start past 32 bits", R"(
charge record 0 0 60 3 21 0891234
charge record 1 99999999999 60 3 21 0891234
charge record 2 1700000000 60 3 21 0891234
)", 1},
  };
  for (const Case& c : cases) {
    ChargeScenario s;
    EXPECT_EQ(s.Run(std::string(kStartAll) + "charge reply 1 3\n" + c.records + "expect charge records " +
                    std::to_string(c.stored) + "\nexpect charge index 3\n"),
              "")
        << c.name;
  }
}

TEST(ChargeReadOut, ReReadStoresNothing) {
  ChargeScenario s;
  const std::string once = std::string(kStartAll) + "charge reply 1 5\n" + FiveRecords();
  EXPECT_EQ(s.Run(once + once + R"(
expect charge records 5
expect charge index 5
)"),
            "");
}

TEST(ChargeReadOut, NewRecordsCountsAndEnds) {
  ChargeScenario s;
  const std::string first = std::string(kStartAll) + "charge reply 1 5\n" + FiveRecords() + "skip\n";
  struct Case {
    const char* name;
    std::string script;
  } cases[] = {
      {"nothing new sends nothing", first + R"(
charge start new
expect charge result 0
expect charge listener 12 11 11 11 11 4 4
expect quiet
)"},
      {"two new from the index on", first + R"(
charge start count
expect sent private kind=0
charge reply 1 7
expect charge available 7
charge start new
expect sent private kind=16
charge reply 17 856
expect sent private kind=0
charge reply 1 7
expect sent private kind=2 text=5
charge record 5 1700000500 60 3 21 0891234
expect sent private kind=2 text=6
charge record 6 1700000600 60 3 21 0891234
expect charge records 7
expect charge index 7
expect quiet
)"},
      {"count equal to the index ends at once", first + R"(
charge start count
expect sent private kind=0
charge reply 1 7
charge start new
charge reply 17 856
expect sent private kind=16
expect sent private kind=0
charge reply 1 5
expect quiet
expect charge job 0
expect job 0
expect charge index 5
)"},
      {"count 0 releases the job state", std::string(kStartAll) + R"(
charge reply 1 0
expect charge listener 5
expect job 0
expect charge job 0
charge start all
expect charge result 1
expect sent private kind=16
)"},
      {"negative count is none", std::string(kStartAll) + R"(
charge reply 1 -3
expect charge listener 5
expect job 0
expect quiet
)"},
      {"index past the count starts again", first + R"(
charge start all
charge reply 17 856
skip
charge reply 1 3
expect sent private kind=2 text=0
)"},
      {"count above the maximum", R"(
charge start all
charge reply 17 4
charge reply 1 900
expect charge available 4
)"},
  };
  for (const Case& c : cases) {
    ChargeScenario t;
    EXPECT_EQ(t.Run(c.script), "") << c.name;
  }
}

TEST(ChargeReadOut, RefusalsAndStrayReplies) {
  struct Case {
    const char* name;
    std::string script;
  } cases[] = {
      {"busy lock", R"(
job 3 take
charge start all
expect charge result 0
charge start sums
expect charge result 0
expect quiet
expect charge job 0
expect job 3
expect count boxes 2
expect box T48.5
expect box T48.12
)"},
      {"one job at a time", std::string(kStartAll) + R"(
charge start sums
expect charge result 0
charge delete all
expect charge result 0
charge start count
expect charge result 0
expect quiet
expect charge job 3
)"},
      {"wrong index", std::string(kStartAll) + R"(
charge reply 1 2
expect sent private kind=2 text=0
charge record 1 1700000000 60 3 21 0891234
expect quiet
expect charge records 0
charge record 0 1700000000 60 3 21 0891234
expect sent private kind=2 text=1
)"},
      {"cancel", std::string(kStartAll) + R"(
charge reply 1 2
expect sent private kind=2 text=0
charge cancel records
expect job 0
charge record 0 1700000000 60 3 21 0891234
expect quiet
expect charge records 0
)"},
      {"give-up in the job", R"(
charge start all
expect sent private kind=16
advance 1000
advance 1000
advance 1000
advance 1000
expect resent
expect resent
expect resent
expect resent
advance 1000
expect quiet
expect job 0
expect charge job 0
expect charge listener 7
)"},
      {"give-up outside the read-outs", R"(
charge delete all
expect charge job 4
expect sent private kind=14
advance 1000
advance 1000
advance 1000
advance 1000
advance 1000
expect charge job 0
expect charge listener 7
charge delete all
expect charge result 1
)"},
      {"a stray count of the view's job", R"(
job 3 take
charge reply 1 4
expect charge available 4
expect charge listener none
)"},
      {"save ends the read-out and keeps the index", std::string(kStartAll) + R"(
charge reply 1 3
charge record 0 1700000000 60 3 21 0891234
charge save
expect job 0
expect charge index 1
charge record 1 1700000100 60 3 21 0891234
expect charge records 1
)"},
  };
  for (const Case& c : cases) {
    ChargeScenario s;
    EXPECT_EQ(s.Run(c.script), "") << c.name;
  }
}

TEST(ChargeReadOut, ViewJobWithTheRealHandler) {
  ChargeScenario s;
  EXPECT_EQ(s.Run(R"(
job 3 take
pbx private kind=16 text=0
expect sent private kind=16
charge reply 17 856
expect sent private kind=0
charge reply 1 2
expect sent private kind=2 text=0
charge record 0 1700000000 60 3 21 0891234
expect sent private kind=2 text=1
charge record 1 1700000100 60 3 22 0891234
expect quiet
expect job 0
expect charge records 0
expect charge listener none
)"),
            "");
}

std::string SumsScript(int devices) {
  std::string s = "charge start sums\nexpect charge result 1\n";
  for (int i = 0; i < devices; ++i) {
    s += "expect sent private kind=12 text=" + std::to_string(10 + i) + "\n";
    s += "charge units " + std::to_string(10 + i) + " " + std::to_string(i * 3) + " N" + std::to_string(i) + "\n";
  }
  s += "expect sent private kind=12 text=" + std::to_string(10 + devices) + "\n";
  s += "charge units " + std::to_string(10 + devices) + " 0\nexpect quiet\nexpect job 0\nexpect charge job 0\n";
  return s;
}

TEST(ChargeReadOut, Sums) {
  {
    ChargeScenario s;
    EXPECT_EQ(s.Run(SumsScript(50) + "expect charge sum 49 147\nexpect charge sum 50 0\n"), "");
    EXPECT_EQ(s.charge().handler->DeviceName(7), "N7");
    EXPECT_EQ(s.charge().listener.notices.back().first, chargecode::kSumsDone);
  }
  {
    ChargeScenario s;
    EXPECT_EQ(s.Run(SumsScript(9) + "expect charge sum 8 24\n",
                    [](ChargeRig& c) {
                      c.config.IO1008 = 1;
                      c.handler = std::make_unique<CChargeAndLogHandler>(&c.config);
                    }),
              "");
  }
  struct Case {
    const char* name;
    std::string script;
  } cases[] = {
      {"a stray answer does not fork", R"(
charge start sums
expect sent private kind=12 text=10
charge units 33 7
expect quiet
charge units 10 7
expect sent private kind=12 text=11
expect charge sum 0 7
expect charge sum 23 0
)"},
      {"all cleared", SumsScript(9) + R"(
charge delete *
expect sent private kind=10 text=*
expect charge job 5
charge reply 11 *
expect charge job 0
expect charge sum 1 0
expect charge listener 11 11 11 11 11 11 11 11 11 0 1
)"},
      {"one cleared, and a reply of another job changes nothing", R"(
charge start sums
charge reply 11 10
expect charge job 2
)" + SumsScript(9).substr(std::string("charge start sums\nexpect charge result 1\n").size()) + R"(
charge delete 11	x
expect sent private kind=10 text=11
charge reply 11 12
expect charge job 5
charge reply 11 11
expect charge job 0
expect charge sum 1 0
expect charge sum 2 6
)"},
  };
  for (const Case& c : cases) {
    ChargeScenario s;
    EXPECT_EQ(s.Run(c.script, [](ChargeRig& r) {
      r.config.IO1008 = 1;
      r.handler = std::make_unique<CChargeAndLogHandler>(&r.config);
    }), "") << c.name;
  }
}

TEST(ChargeReadOut, DeviceCountIsBounded) {
  ChargeScenario s;
  EXPECT_EQ(s.Run("charge reply 19 100000\nexpect charge devices 200\ncharge reply 19 -4\nexpect charge devices 0\n"), "");
}

}  // namespace
