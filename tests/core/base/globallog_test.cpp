#include "core/base/globallog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "core/base/globalconfig.h"
#include "platform/eventloop.h"
#include "platform/textid.h"
#include "platform/trace.h"
#include "testdir.h"
#include "tests/support/filefaults.h"

namespace {

class GlobalLogTest : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    plat::SetTraceBackend(&trace_);
  }
  void TearDown() override {
    plat::SetTraceBackend(nullptr);
    TempDirTest::TearDown();
  }
  std::vector<plat::TraceEvent> LogEvents() const {
    std::vector<plat::TraceEvent> out;
    for (const auto& e : trace_.Events())
      if (e.channel == plat::TraceEvent::Log) out.push_back(e);
    return out;
  }

  plat::RecordingTraceBackend trace_;
};

// A back end on which no window ever opens.
class NoWindowBackend : public plat::ITraceBackend {
 public:
  std::uint32_t Handle(const plat::TraceEvent& e) override {
    if (e.op == plat::TraceEvent::Open) ++opens;
    return 0;
  }
  int opens = 0;
};

const char* StandardTexts(int group, int entry) {
  static const char* const texts[] = {"m0", "m1", "m2", "m3", "m4", "m5", "m6"};
  return group == 52 && entry >= 0 && entry <= 6 ? texts[entry] : nullptr;
}

TEST_F(GlobalLogTest, ModeZeroWritesNothing) {
  CGlobalConfig config;
  config.GLO = 0;
  config.GLFN = Path("log.txt");
  CGlobalLogObject log(config);
  EXPECT_EQ(log.WriteEntry("x"), 0);
  EXPECT_FALSE(std::filesystem::exists(Path("log.txt")));
  EXPECT_TRUE(LogEvents().empty());
  config.GLO = 7;
  EXPECT_EQ(log.Write("x"), 1);
  EXPECT_FALSE(std::filesystem::exists(Path("log.txt")));
}

TEST_F(GlobalLogTest, ModeOneAppendsTimeStampedLinesToTheFile) {
  plat::ManualLoop loop(1765180800);
  plat::SetEventLoop(&loop);
  const std::string stamp = CTextLogFile::MakeTimeStamp(1765180800);
  CGlobalConfig config;
  config.GLO = 1;
  config.GLFN = Path("log.txt");
  WriteFile(config.GLFN, "kept\r\n");
  CGlobalLogObject log(config);
  EXPECT_EQ(log.WriteEntry("eins"), 1);
  EXPECT_EQ(log.Write("zwei"), 1);
  plat::SetEventLoop(nullptr);
  EXPECT_EQ(ReadFile(config.GLFN), "kept\r\n" + stamp + "eins\r\n" + stamp + "zwei\r\n");
  EXPECT_TRUE(LogEvents().empty());

  config.GLFN = Path("new.txt");
  EXPECT_EQ(log.WriteEntry("drei"), 1);
  EXPECT_NE(ReadFile(config.GLFN).find("drei\r\n"), std::string::npos);
}

// A line that cannot be written is no success; a file failure is logged
// with the standard message, the file and the cause.
TEST_F(GlobalLogTest, AnUnwrittenLineIsReportedAndFileFailuresAreLogged) {
  CGlobalConfig config;
  config.GLO = 1;
  config.GLFN = Path("log.txt");
  CGlobalLogObject log(config);
  // The n-th operation of its kind: the first open and close only look
  // whether the file is there.
  for (auto [op, nth] : {std::pair{plat::io::Op::Open, 2}, {plat::io::Op::Write, 1}, {plat::io::Op::Close, 2}}) {
    testsupport::FileFault fault(op, nth, ENOSPC);
    EXPECT_EQ(log.WriteEntry("x"), 0) << plat::io::OpName(op);
    EXPECT_EQ(fault.Failed(), 1) << plat::io::OpName(op);
  }
  EXPECT_EQ(log.WriteEntry("y"), 1);
  plat::SetTextSource([](int group, int entry) -> const char* {
    if (group == 52 && entry == 3) return "Die Datei kann nicht geschrieben werden.";
    if (group == 53 && entry == 1) return "Der Datenträger ist voll.";
    return nullptr;
  });
  CGlobalConfig& global = GlobalConfig();
  const int glo = global.GLO;
  const std::string glfn = global.GLFN;
  global.GLO = 1;
  global.GLFN = Path("program.log");
  EXPECT_EQ(LogFileFailure("/data/service.xxx", ENOSPC), 1);
  global.GLO = glo;
  global.GLFN = glfn;
  plat::SetTextSource(nullptr);
  const std::string text = ReadFile(Path("program.log"));
  EXPECT_NE(text.find(": Die Datei kann nicht geschrieben werden. /data/service.xxx: Der Datenträger ist voll.\r\n"),
            std::string::npos)
      << text;
}

TEST_F(GlobalLogTest, ModeTwoOpensTheLogWindowOnceAndClosesItAtTheEnd) {
  CGlobalConfig config;
  config.GLO = 2;
  {
    CGlobalLogObject log(config);
    EXPECT_EQ(log.SetOwnerWindow(42), 1);
    EXPECT_EQ(log.WriteEntry("Hallo"), 1);
    EXPECT_EQ(log.WriteEntry("Welt!"), 1);
    EXPECT_TRUE(log.IsLogWindowOpen());
  }
  const auto events = LogEvents();
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0].op, plat::TraceEvent::Open);
  EXPECT_EQ(events[1].op, plat::TraceEvent::Process);
  EXPECT_EQ(std::string(events[1].data.begin(), events[1].data.end()), "Hallo");
  EXPECT_EQ(events[2].op, plat::TraceEvent::Process);
  EXPECT_EQ(events[1].handle, events[2].handle);
  EXPECT_NE(events[1].handle, 0u);
  EXPECT_EQ(events[3].op, plat::TraceEvent::Close);
  EXPECT_EQ(events[3].handle, events[1].handle);
}

TEST_F(GlobalLogTest, ModeTwoWritesOnWhenNoWindowOpens) {
  NoWindowBackend none;
  plat::SetTraceBackend(&none);
  CGlobalConfig config;
  config.GLO = 2;
  {
    CGlobalLogObject log(config);
    EXPECT_EQ(log.WriteEntry("a"), 1);
    EXPECT_EQ(log.WriteEntry("b"), 1);
    EXPECT_FALSE(log.IsLogWindowOpen());
  }
  plat::SetTraceBackend(&trace_);
  EXPECT_EQ(none.opens, 2);  // tried again for the next entry
}

TEST_F(GlobalLogTest, StandardMessagesComeFromGroupFiftyTwo) {
  plat::SetTextSource(&StandardTexts);
  CGlobalConfig config;
  config.GLO = 2;
  CGlobalLogObject log(config);
  EXPECT_EQ(log.WriteStandardMessage(0), 1);
  EXPECT_EQ(log.WriteStandardMessage(6), 1);
  EXPECT_EQ(log.WriteStandardMessage(7), 0);
  EXPECT_EQ(log.WriteStandardMessage(-1), 0);
  plat::SetTextSource(nullptr);
  const auto events = LogEvents();
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(std::string(events[1].data.begin(), events[1].data.end()), "m6");
  EXPECT_EQ(std::string(events[2].data.begin(), events[2].data.end()), "m0");
}

TEST_F(GlobalLogTest, EntriesFromWorkerThreadsAreAllWritten) {
  CGlobalConfig config;
  config.GLO = 1;
  config.GLFN = Path("threads.txt");
  CGlobalLogObject log(config);
  std::vector<std::thread> threads;
  for (int n = 0; n < 4; ++n)
    threads.emplace_back([&log, n] {
      for (int i = 0; i < 50; ++i) log.WriteEntry(("worker " + std::to_string(n)).c_str());
    });
  for (auto& t : threads) t.join();
  const std::string text = ReadFile(config.GLFN);
  std::size_t lines = 0;
  for (std::size_t p = text.find("worker "); p != std::string::npos; p = text.find("worker ", p + 1)) ++lines;
  EXPECT_EQ(lines, 200u);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 200);
}

}  // namespace
