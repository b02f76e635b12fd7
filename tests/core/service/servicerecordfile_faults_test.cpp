// The service file under a full disk, a failing device and kill -9: a
// failure is returned and logged and leaves the file as it was; a kill at
// any instant leaves the last read-out or whole lines of the new one.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/service/servicerecordfile.h"
#include "core/base/globalconfig.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "tests/support/filefaults.h"

namespace fs = std::filesystem;
using plat::io::Op;

namespace {

constexpr int kLines = 8;

std::vector<std::uint8_t> Record(int kind, int index = 0, int units = 0) {
  std::vector<std::uint8_t> r(ServiceRecordLayout::kSize, 0);
  r[0] = static_cast<std::uint8_t>(kind);
  const std::string i = std::to_string(index), u = std::to_string(units);
  std::memcpy(r.data() + ServiceRecordLayout::kIndex, i.data(), i.size());
  r[ServiceRecordLayout::kTime] = '0';
  r[ServiceRecordLayout::kDuration] = '0';
  std::memcpy(r.data() + ServiceRecordLayout::kUnits, u.data(), u.size());
  return r;
}

// The line that record (index, units) gives (TZ is UTC).
std::string Line(int index, int units) {
  return std::to_string(index) + "\t01.01.70\t00:00:00\t00:00:00\t\t\t" + std::to_string(units) + "\r\n";
}

std::string ReadOut(int gen, int lines = kLines) {
  std::string s;
  for (int k = 1; k <= lines; ++k) s += Line(k, gen);
  return s;
}

int Put(CServiceRecordFile& f, const std::vector<std::uint8_t>& r) { return f.WriteRecord(r.data(), r.size()); }

// One whole read-out: the count reply, then its records.
void WriteReadOut(CServiceRecordFile& f, int gen) {
  Put(f, Record(1));
  for (int k = 1; k <= kLines; ++k) Put(f, Record(3, k, gen));
}

// True when text is the first n lines of some read-out; an empty file is a
// read-out that has just begun.
bool WholeLinesOfOneReadOut(const std::string& text, int* genOut = nullptr) {
  if (text.empty()) return true;
  const std::size_t tab = text.find("\r\n");
  if (tab == std::string::npos) return false;
  const std::string first = text.substr(0, tab);
  const int gen = std::atoi(first.substr(first.rfind('\t') + 1).c_str());
  for (int n = 1; n <= kLines; ++n)
    if (text == ReadOut(gen, n)) {
      if (genOut) *genOut = gen;
      return true;
    }
  return false;
}

std::string ReadFile(const std::string& p) { return testsupport::FileBytes(p); }

class ServiceFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
    root_ = fs::temp_directory_path() / ("service_faults_" + std::to_string(::getpid()) + "_" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_ / "log");
    plat::SetDriveRoot(root_.string());
    path_ = plat::MapPath("c:\\service.xxx");
    log_ = (root_ / "log" / "program.log").string();
    GlobalConfig().GLO = 1;
    GlobalConfig().GLFN = log_;
  }
  void TearDown() override {
    GlobalConfig().GLO = 0;
    GlobalConfig().GLFN.clear();
    fs::remove_all(root_);
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> n;
    for (auto& e : fs::directory_iterator(root_))
      if (e.is_regular_file()) n.push_back(e.path().filename().string());
    std::sort(n.begin(), n.end());
    return n;
  }
  fs::path root_;
  std::string path_, log_;
};

}  // namespace

// Each operation of each write failing in turn: 0, the file as it was, no
// temporary, and a log line naming the file.
TEST_F(ServiceFaults, AFailingOperationIsReturnedLoggedAndLeavesTheFile) {
  struct Case {
    const char* what;
    bool startFirst;  // the failing record is the start of a new read-out
    Op op;
    int err;
  };
  const Case cases[] = {
      {"append open", false, Op::Open, EACCES},   {"append write", false, Op::Write, ENOSPC},
      {"append sync", false, Op::Fdatasync, EIO}, {"replace open", true, Op::Open, ENOSPC},
      {"replace write", true, Op::Write, ENOSPC}, {"replace fsync", true, Op::Fsync, EIO},
      {"replace close", true, Op::Close, EIO},    {"replace rename", true, Op::Rename, ENOSPC},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    {
      CServiceRecordFile setup;
      WriteReadOut(setup, 1);
    }
    const std::string before = ReadFile(path_);
    fs::remove(log_);
    CServiceRecordFile f;
    {
      // A failing start leaves the old read-out whole.
      testsupport::FileFault fault(c.op, 1, c.err);
      EXPECT_EQ(Put(f, Record(c.startFirst ? 1 : 3, 1, 2)), 0);
      EXPECT_EQ(fault.Failed(), 1);
    }
    EXPECT_EQ(ReadFile(path_), before);
    EXPECT_EQ(Names(), std::vector<std::string>{"service.xxx"});
    EXPECT_NE(ReadFile(log_).find(path_), std::string::npos);
    // The next record goes through; after a failed start it replaces the
    // file, so the new read-out does not land behind the old one.
    EXPECT_EQ(Put(f, Record(3, 1, 2)), 1);
    EXPECT_EQ(ReadFile(path_), c.startFirst ? Line(1, 2) : before + Line(1, 2));
  }
  // A close that fails after the line went out is still a failure.
  CServiceRecordFile f;
  testsupport::FileFault fault(Op::Close, 1, EIO);
  EXPECT_EQ(Put(f, Record(3, 5, 5)), 0);
}

TEST_F(ServiceFaults, ACopyThatCannotBeCompletedLeavesTheTarget) {
  {
    CServiceRecordFile setup;
    WriteReadOut(setup, 3);
  }
  const std::string target = (root_ / "saved.ple").string();
  const std::string users(1560, 'u');
  for (auto [op, nth] : {std::pair{Op::Open, 1}, {Op::Open, 2}, {Op::Write, 1}, {Op::Fsync, 1}, {Op::Close, 2},
                         {Op::Rename, 1}}) {
    SCOPED_TRACE(plat::io::OpName(op) + std::to_string(nth));
    std::ofstream(target, std::ios::binary) << users;
    CServiceRecordFile f;
    {
      testsupport::FileFault fault(op, nth, ENOSPC);
      EXPECT_EQ(f.CopyTo(target), 0);
    }
    EXPECT_EQ(ReadFile(target), users);
    EXPECT_EQ(Names(), (std::vector<std::string>{"saved.ple", "service.xxx"}));
  }
  CServiceRecordFile f;
  testsupport::FileFault count;
  EXPECT_EQ(f.CopyTo(target), 1);
  EXPECT_EQ(ReadFile(target), ReadOut(3));
  EXPECT_GE(count.Count(Op::Fsync), 1);
}

// A disk with room for part of a line only: the part is taken back.
TEST_F(ServiceFaults, ANearlyFullDiskLeavesNoHalfLine) {
  {
    CServiceRecordFile setup;
    WriteReadOut(setup, 4);
  }
  const std::string before = ReadFile(path_);
  const std::string target = (root_ / "saved.ple").string();
  std::ofstream(target, std::ios::binary) << "mine";
  std::string lines;
  for (int i = 1; i <= 40; ++i) lines += Line(i, i);
  std::ofstream(plat::MapPath("c:\\big.xxx"), std::ios::binary) << lines;
  int code = -1;
  testsupport::RunChild(
      [&] {
        testsupport::LimitFileSize(static_cast<off_t>(before.size() + 10));
        CServiceRecordFile f;
        const int appended = Put(f, Record(3, 9, 9));
        CServiceRecordFile big;
        big.SetFileName("c:\\big.xxx");
        const int copied = big.CopyTo(target);
        ::_exit(appended == 0 && copied == 0 ? 0 : 1);
      },
      0, &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadFile(path_), before);
  EXPECT_EQ(ReadFile(target), "mine");
  EXPECT_EQ(Names(), (std::vector<std::string>{"big.xxx", "saved.ple", "service.xxx"}));
  CServiceRecordFile f;
  EXPECT_EQ(Put(f, Record(3, 9, 9)), 1);
  EXPECT_EQ(ReadFile(path_), before + Line(9, 9));
}

// A child writes read-out after read-out and is killed at random instants:
// the file always exists and holds whole first lines of one read-out (none
// just after its start), never a torn line; no temporary stays after the
// next write.
TEST_F(ServiceFaults, AKilledReadOutLeavesWholeLinesOfOneReadOut) {
  GlobalConfig().GLO = 0;
  {
    CServiceRecordFile setup;
    WriteReadOut(setup, 0);
  }
  int lastGen = 0;
  const testsupport::KillTally t = testsupport::KillEndlessWriter(
      {.enough = 100, .time = std::chrono::seconds(3)}, 20000,
      [&] {
        CServiceRecordFile f;
        for (int gen = lastGen + 1;; ++gen) WriteReadOut(f, gen);
      },
      [&](int run) {
        EXPECT_TRUE(fs::exists(path_)) << "run " << run;
        const std::string now = ReadFile(path_);
        int gen = -1;
        EXPECT_TRUE(WholeLinesOfOneReadOut(now, &gen)) << "run " << run << ": " << now.size() << " bytes";
        if (gen > lastGen) lastGen = gen;
      });
  EXPECT_EQ(t.killed, t.runs);  // the writer never ends by itself

  // Killed at each sync and rename of one read-out.
  for (int nth = 1; nth <= 3 + kLines - 1; ++nth) {
    {
      CServiceRecordFile setup;
      WriteReadOut(setup, 50);
    }
    EXPECT_TRUE(testsupport::RunChild(
        [&] {
          testsupport::KillAtOp kill(nth);
          CServiceRecordFile f;
          WriteReadOut(f, 51);
        },
        0))
        << nth;
    const std::string now = ReadFile(path_);
    EXPECT_TRUE(now == ReadOut(50) || WholeLinesOfOneReadOut(now)) << nth;
  }
  CServiceRecordFile f;
  WriteReadOut(f, 60);
  EXPECT_EQ(ReadFile(path_), ReadOut(60));
  EXPECT_EQ(Names(), std::vector<std::string>{"service.xxx"});
}

TEST_F(ServiceFaults, AKilledCopyLeavesTheOldOrTheNewTarget) {
  GlobalConfig().GLO = 0;
  CServiceRecordFile a, b;
  a.SetFileName("c:\\a.xxx");
  b.SetFileName("c:\\b.xxx");
  auto fill = [&](CServiceRecordFile& f, int gen) {
    for (int k = 1; k <= 200; ++k) Put(f, Record(3, k, gen));
  };
  fill(a, 1);
  fill(b, 2);
  const std::string target = (root_ / "saved.ple").string();
  std::ofstream(target, std::ios::binary) << "old";
  const std::string copyA = ReadFile(plat::MapPath("c:\\a.xxx")), copyB = ReadFile(plat::MapPath("c:\\b.xxx"));
  const testsupport::KillTally t = testsupport::KillEndlessWriter(
      {.enough = 40, .time = std::chrono::seconds(3)}, 20000,
      [&] {
        for (;;) {
          a.CopyTo(target);
          b.CopyTo(target);
        }
      },
      [&](int run) {
        const std::string now = ReadFile(target);
        EXPECT_TRUE(now == "old" || now == copyA || now == copyB) << "run " << run << ": " << now.size();
      });
  EXPECT_EQ(t.killed, t.runs);  // the writer never ends by itself
  ASSERT_EQ(a.CopyTo(target), 1);
  EXPECT_EQ(Names(), (std::vector<std::string>{"a.xxx", "b.xxx", "saved.ple"}));
}
