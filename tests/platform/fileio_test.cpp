// Whole-file replacement and INI batches under a full disk, a failing
// device, and a real SIGKILL at random instants and at each fsync and rename.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/fileio.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "tests/support/filefaults.h"

using namespace plat;
namespace fs = std::filesystem;

namespace {

class FileIo : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("plat_fileio_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    file_ = (dir_ / "t.ini").string();
  }
  void TearDown() override { fs::remove_all(dir_); }

  void Put(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
  static std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> n;
    for (auto& e : fs::directory_iterator(dir_)) n.push_back(e.path().filename().string());
    std::sort(n.begin(), n.end());
    return n;
  }
  // A pid that no process has: a child that has already been reaped.
  static pid_t DeadPid() {
    pid_t p = ::fork();
    if (p == 0) ::_exit(0);
    int st;
    ::waitpid(p, &st, 0);
    return p;
  }

  fs::path dir_;
  std::string file_;
};

TEST_F(FileIo, AFailureAtAnyStepLeavesTheOldFileAndNoTemporary) {
  const std::string before = "[A]\r\nK=old\r\n";
  struct Case { io::Op op; int err; };
  for (Case c : {Case{io::Op::Open, ENOSPC}, Case{io::Op::Write, ENOSPC}, Case{io::Op::Write, EIO},
                 Case{io::Op::Fsync, EIO}, Case{io::Op::Close, EIO}, Case{io::Op::Rename, ENOSPC}}) {
    Put(file_, before);
    {
      testsupport::FileFault fault(c.op, 1, c.err);
      errno = 0;
      EXPECT_FALSE(io::ReplaceFile(file_, "[A]\r\nK=new\r\n")) << io::OpName(c.op);
      EXPECT_EQ(errno, c.err) << io::OpName(c.op);
      EXPECT_EQ(fault.Failed(), 1);
      // The INI layer reports it too and leaves the file.
      testsupport::FileFault again(c.op, 1, c.err);
      EXPECT_EQ(WritePrivateProfileString("A", "K", "new", file_.c_str()), 0) << io::OpName(c.op);
    }
    EXPECT_EQ(Bytes(file_), before) << io::OpName(c.op);
    EXPECT_EQ(Names(), std::vector<std::string>{"t.ini"}) << io::OpName(c.op);
  }
  // Without a fault the same write goes through with one fsync and one rename.
  testsupport::FileFault count;
  EXPECT_TRUE(io::ReplaceFile(file_, "x"));
  EXPECT_EQ(count.Count(io::Op::Fsync), 2);  // the file and its folder
  EXPECT_EQ(count.Count(io::Op::Rename), 1);
  EXPECT_EQ(Bytes(file_), "x");
}

TEST_F(FileIo, LeftoversOfEndedProcessesGoAtTheNextWriteOfThatFile) {
  const pid_t dead = DeadPid();
  const std::string mine = StrFormatC("t.ini.tmp%ld_1", static_cast<long>(::getpid()));
  const std::vector<std::string> kept = {
      "other.ini.tmp" + std::to_string(dead) + "_0",  // another file's
      "t.ini.tmp1_0",                                 // pid 1 runs
      "t.ini.tmpx_0", "t.ini.tmp" + std::to_string(dead) + "_",  // not our pattern
      mine,                                           // this process's own
  };
  for (const std::string& n : kept) Put((dir_ / n).string(), "keep");
  for (int i = 0; i < 3; ++i) Put((dir_ / ("t.ini.tmp" + std::to_string(dead) + "_" + std::to_string(i))).string(), "x");
  Put(file_, "[A]\r\n");
  ASSERT_EQ(WritePrivateProfileString("A", "K", "1", file_.c_str()), 1);
  std::vector<std::string> want = kept;
  want.push_back("t.ini");
  std::sort(want.begin(), want.end());
  EXPECT_EQ(Names(), want);
}

// A write that leaves the file as it is still clears what ended writers
// left beside it.
TEST_F(FileIo, LeftoversGoAlsoWhenTheWriteChangesNothing) {
  Put(file_, "[A]\r\nK=1\r\n");
  const std::string left = "t.ini.tmp" + std::to_string(DeadPid()) + "_3";
  Put((dir_ / left).string(), "[A]\r\nK=2\r\n");
  testsupport::FileFault count;
  ASSERT_EQ(WritePrivateProfileString("A", "K", "1", file_.c_str()), 1);
  EXPECT_EQ(count.Count(io::Op::Rename), 0);
  EXPECT_EQ(Names(), std::vector<std::string>{"t.ini"});
  EXPECT_EQ(Bytes(file_), "[A]\r\nK=1\r\n");
}

// Two contents of many keys each, written in turn by a child as one batch
// each; killed at random instants, the file is always one of them whole.
TEST_F(FileIo, AKilledBatchWriterLeavesTheOldOrTheNewFileNeverAMixture) {
  auto content = [](int gen) {
    std::string s;
    for (int e = 0; e < 60; ++e) {
      s += StrFormatC("[MONTAB-%02d]\r\n", 10 + e);
      for (const char* k : {"NR", "NM", "MF", "WM", "CR"}) s += StrFormatC("%s=%d\r\n", k, gen * 1000 + e);
    }
    return s;
  };
  auto write = [&](int gen) {
    ProfileBatch b(file_);
    for (int e = 0; e < 60; ++e)
      for (const char* k : {"NR", "NM", "MF", "WM", "CR"})
        b.Write(StrFormatC("MONTAB-%02d", 10 + e).c_str(), k, StrFormatC("%d", gen * 1000 + e).c_str());
    return b.Commit();
  };
  Put(file_, content(0));
  std::uniform_int_distribution<long> delay(50, 20000);
  int killed = 0;
  for (int run = 0; run < 60; ++run) {
    const std::string before = Bytes(file_);
    const bool wasKilled = testsupport::RunChild(
        [&] {
          for (int gen = 1;; gen = gen % 2 + 1) write(gen);
        },
        delay(testsupport::KillRandom()));
    killed += wasKilled;
    const std::string after = Bytes(file_);
    EXPECT_TRUE(after == content(0) || after == content(1) || after == content(2)) << "run " << run;
  }
  EXPECT_GT(killed, 50);
  // The next write clears what the killed writers left (a content none of
  // them wrote, so the write is not skipped as a no-op).
  ASSERT_TRUE(write(3));
  EXPECT_EQ(Names(), std::vector<std::string>{"t.ini"});
}

TEST_F(FileIo, AWriterKilledAtEachFsyncAndRenameLeavesTheOldOrTheNewFile) {
  const std::string before = "[A]\r\nK=old\r\n";
  for (int nth = 1; nth <= 3; ++nth) {  // file fsync, rename, folder fsync
    Put(file_, before);
    EXPECT_TRUE(testsupport::RunChild(
        [&] {
          testsupport::KillAtOp kill(nth);
          WritePrivateProfileString("A", "K", "new", file_.c_str());
          WritePrivateProfileString("A", "K", "newer", file_.c_str());
        },
        0))
        << nth;
    const std::string after = Bytes(file_);
    EXPECT_EQ(after, nth <= 2 ? before : "[A]\r\nK=new\r\n") << nth;
  }
}

// The batch gives exactly the bytes of the same writes done one by one.
TEST_F(FileIo, ABatchWritesTheBytesOfTheSameWritesOneByOne) {
  struct W { const char* s; const char* k; const char* v; };
  const std::vector<std::string> files = {
      "",
      "[A]\r\nK=1\r\n",
      "[A]\nK=1",                                 // LF, no end on the last line
      "; head\r\n\r\n[a]\r\n  k = 1 \r\n; c\r\n\r\n[B]\r\n[A]\r\nK=dup\r\n",
      "x=1\n[B]\r\nJ=2\n",
      "[A]",
      "[A]\nK=1\r",                               // a lone CR ends the last line
  };
  const std::vector<std::vector<W>> ops = {
      {{"A", "K", "2"}, {"A", "L", "3"}, {"C", "M", "4"}, {"a", "k", "5"}},
      {{"A", nullptr, nullptr}, {"A", "K", "back"}, {"B", "J", nullptr}, {"B", "J", "again"}},
      {{"N", "K", "1"}, {"N", nullptr, nullptr}, {"N", "K", "2"}, {"A", "K", nullptr}, {"A", "Q", "x"}},
      {{"A", "K=bad", "1"}, {"A", "", "1"}, {"A", "K", "line\r\nbreak"}, {"Se]c", "K", "1"}, {" A ", " K ", "v"}},
      {{"B", "J", nullptr}, {"B", nullptr, nullptr}, {"B", nullptr, nullptr}},
  };
  int n = 0;
  for (const std::string& base : files) {
    for (const auto& seq : ops) {
      const std::string one = (dir_ / StrFormatC("one%d.ini", n)).string();
      const std::string many = (dir_ / StrFormatC("many%d.ini", n)).string();
      ++n;
      if (!base.empty()) {
        Put(one, base);
        Put(many, base);
      }
      ProfileBatch b(many);
      for (const W& w : seq) {
        BOOL single = WritePrivateProfileString(w.s, w.k, w.v, one.c_str());
        EXPECT_EQ(b.Write(w.s, w.k, w.v), single != 0) << base << " " << w.s;
      }
      ASSERT_TRUE(b.Commit());
      EXPECT_EQ(fs::exists(many), fs::exists(one)) << base;
      EXPECT_EQ(Bytes(many), Bytes(one)) << "file <" << base << "> sequence " << n;
    }
  }
}

TEST_F(FileIo, ABatchIsOneFsyncAndAFailedOneChangesNothing) {
  Put(file_, "[A]\r\nK=0\r\n");
  {
    testsupport::FileFault count;
    ProfileBatch b(file_);
    for (int i = 0; i < 600; ++i) b.Write(StrFormatC("S%d", i % 60).c_str(), StrFormatC("K%d", i).c_str(), "v");
    ASSERT_TRUE(b.Commit());
    EXPECT_EQ(count.Count(io::Op::Rename), 1);
    EXPECT_EQ(count.Count(io::Op::Fsync), 2);
    EXPECT_EQ(b.Pending(), 0u);
  }
  const std::string before = Bytes(file_);
  testsupport::FileFault fault(io::Op::Fsync, 1, EIO);
  ProfileBatch b(file_);
  b.Write("A", "K", "1");
  EXPECT_FALSE(b.Commit());
  EXPECT_EQ(Bytes(file_), before);
  // Nothing to change: no write at all.
  testsupport::FileFault none;
  ProfileBatch same(file_);
  same.Write("A", "K", "0");
  EXPECT_TRUE(same.Commit());
  EXPECT_EQ(none.Count(io::Op::Rename), 0);
}

}  // namespace
