// Call records saved through one batch (as a list saves them all at once)
// give exactly the bytes of the key-by-key writes; a record saved alone is
// one replacement whose failure is reported, and a kill leaves old or new.
#include <gtest/gtest.h>

#include <unistd.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/calls/callinfolist.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "tests/support/filefaults.h"

namespace fs = std::filesystem;
using plat::io::Op;

namespace {

const char kSeed[] =
    "[GENERAL]\r\n"
    "KEEP=1\r\n"
    "[cblist]\r\n"
    "lc = 1\r\n"
    "[CBLIST-1]\r\n"
    "CEDNAME=alt\r\n"
    "OTHER=bleibt\r\n"
    "[CBLIST-7]\n"
    "CEDNUM=9\n";

std::string ReadFile(const std::string& p) { return testsupport::FileBytes(p); }

void Put(const std::string& p, const std::string& bytes) { testsupport::PutFile(p, bytes); }

// count records whose fields differ by generation.
struct Records {
  std::deque<CCallInfo> calls;
  CCallInfoList list;
  Records(int gen, int count) {
    for (int i = 0; i < count; ++i) {
      CCallInfo& c = calls.emplace_back();
      c.calledCompany = plat::StrFormatC("Firma %d", gen);
      c.calledName = plat::StrFormatC("Herr %d-%d", gen, i);
      c.calledNumber = plat::StrFormatC("0401%04d", gen * 100 + i);
      c.callingName = "Ich";
      c.callingNumber = "21";
      c.external = i % 2;
      c.direction = 2;
      c.callbackCriterion = gen;
      c.callbackCount = i;
      c.callbackMaximum = 3 + gen;
      c.callbackTimeBegin = 28800;
      c.callbackTimeEnd = 61200 + gen;
      c.callbackDate = 1765180800 + i;
      c.callbackInterval = 300 + gen;
      c.callbackType = i % 4;
      c.priority = gen % 3;
      list.AddCall(&c);
    }
  }
};

// The record's save as it was: seventeen writes, each its own.
void SaveRecordKeyByKey(const CCallInfo& c, const std::string& file, const std::string& section) {
  auto w = [&](const char* key, const std::string& v) {
    plat::WritePrivateProfileString(section.c_str(), key, v.c_str(), file.c_str());
  };
  w("CEDCMPY", c.calledCompany);
  w("CEDNAME", c.calledName);
  w("CEDNUM", c.calledNumber);
  w("CINCMPY", c.callingCompany);
  w("CINNAME", c.callingName);
  w("CINNUM", c.callingNumber);
  w("EXT", c.external ? "1" : "0");
  w("DIRECT", plat::StrFormatC("%i", c.direction));
  w("CECRI", plat::StrFormatC("%i", c.callbackCriterion));
  w("CC", plat::StrFormatC("%i", c.callbackCount));
  w("CMC", plat::StrFormatC("%i", c.callbackMaximum));
  w("CCTB", plat::StrFormatC("%ld", static_cast<long>(c.callbackTimeBegin)));
  w("CCTE", plat::StrFormatC("%ld", static_cast<long>(c.callbackTimeEnd)));
  w("CTIDA", plat::StrFormatC("%ld", static_cast<long>(c.callbackDate)));
  w("CTINTV", plat::StrFormatC("%ld", c.callbackInterval));
  w("CTSPT", plat::StrFormatC("%i", c.callbackType));
  w("CPRIO", plat::StrFormatC("%i", c.priority));
}

// The list's save as it was: the count, then each record.
void SaveListKeyByKey(const CCallInfoList& l, const std::string& file, const std::string& section) {
  l.SaveCount(1, file, section);
  for (int n = 1; n <= l.GetCount(); ++n)
    SaveRecordKeyByKey(*l.GetCall(n), file, plat::StrFormatC("%s-%i", section.c_str(), n));
}

// A list's records through one batch, as the lists that keep a file do.
int SaveListInOneBatch(const CCallInfoList& l, const std::string& file, const std::string& section) {
  plat::ProfileBatch batch(file);
  batch.Write(section.c_str(), "LC", plat::StrFormatC("%i", l.GetCount()).c_str());
  for (int n = 1; n <= l.GetCount(); ++n)
    l.GetCall(n)->SaveToBatch(1, batch, plat::StrFormatC("%s-%i", section.c_str(), n));
  return batch.Commit() ? 1 : 0;
}

class ListSave : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("list_save_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    file_ = (dir_ / "cblist.ini").string();
    Put(file_, kSeed);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::vector<std::string> Names() const { return testsupport::NamesIn(dir_.string()); }
  fs::path dir_;
  std::string file_;
};

}  // namespace

TEST_F(ListSave, OneReplacementWithTheBytesOfTheKeyByKeyWrites) {
  const std::string old = (dir_ / "old.ini").string();
  // Longer, shorter and empty lists over what the file holds.
  for (auto [gen, count] : {std::pair{1, 6}, {2, 3}, {3, 0}, {4, 9}}) {
    SCOPED_TRACE(count);
    Records r(gen, count);
    Put(old, ReadFile(file_));
    SaveListKeyByKey(r.list, old, "CBLIST");
    testsupport::FileFault ops;
    ASSERT_EQ(SaveListInOneBatch(r.list, file_, "CBLIST"), 1);
    EXPECT_EQ(ops.Count(Op::Rename), 1);
    EXPECT_EQ(ops.Count(Op::Fsync), 2);
    EXPECT_EQ(ReadFile(file_), ReadFile(old));
  }
  // One record alone: seventeen writes before, one replacement now.
  Records one(5, 1);
  Put(old, ReadFile(file_));
  SaveRecordKeyByKey(*one.list.GetCall(1), old, "E");
  testsupport::FileFault ops;
  EXPECT_EQ(one.list.GetCall(1)->Save(1, file_, "E"), 1);
  EXPECT_EQ(ops.Count(Op::Rename), 1);
  EXPECT_EQ(ReadFile(file_), ReadFile(old));
  // Read back, every value is there.
  CCallInfo back;
  back.Load(1, file_, "E");
  EXPECT_EQ(back.calledName, "Herr 5-0");
  EXPECT_EQ(back.callbackInterval, 305);
  EXPECT_EQ(back.callbackMaximum, 8);
}

TEST_F(ListSave, AFailedRecordSaveIsReportedAndLeavesTheFile) {
  const std::string before = ReadFile(file_);
  Records r(1, 1);
  for (auto [op, err] : {std::pair{Op::Open, ENOSPC}, {Op::Write, ENOSPC}, {Op::Fsync, EIO}, {Op::Close, EIO},
                         {Op::Rename, ENOSPC}}) {
    SCOPED_TRACE(plat::io::OpName(op));
    testsupport::FileFault fault(op, 1, err);
    EXPECT_EQ(r.list.GetCall(1)->Save(1, file_, "E"), 0);
    EXPECT_EQ(ReadFile(file_), before);
    EXPECT_EQ(Names(), std::vector<std::string>{"cblist.ini"});
  }
  EXPECT_EQ(r.list.GetCall(1)->Save(1, file_, "E"), 1);
  EXPECT_EQ(r.list.GetCall(1)->Save(2, file_, "F"), 1) << "other modes write nothing";
  EXPECT_EQ(plat::GetProfileText("F", "CEDNAME", "<none>", file_), "<none>");
}

// A child saves two versions of a record in turn and is killed at random
// instants: the file always holds one of them whole (or what it held).
TEST_F(ListSave, AKilledRecordSaveLeavesTheOldOrTheNewRecord) {
  const std::string seed = ReadFile(file_);
  Records a(1, 1), b(2, 1);
  const CCallInfo& ca = *a.list.GetCall(1);
  const CCallInfo& cb = *b.list.GetCall(1);
  ASSERT_EQ(ca.Save(1, file_, "CBLIST-1"), 1);
  const std::string bytesA = ReadFile(file_);
  ASSERT_EQ(cb.Save(1, file_, "CBLIST-1"), 1);
  const std::string bytesB = ReadFile(file_);
  Put(file_, seed);
  const testsupport::KillTally t = testsupport::KillEndlessWriter(
      {.enough = 50, .time = std::chrono::seconds(3)}, 20000,
      [&] {
        for (;;) {
          ca.Save(1, file_, "CBLIST-1");
          cb.Save(1, file_, "CBLIST-1");
        }
      },
      [&](int run) {
        const std::string now = ReadFile(file_);
        EXPECT_TRUE(now == seed || now == bytesA || now == bytesB) << "run " << run << ": " << now.size();
      });
  EXPECT_EQ(t.killed, t.runs);  // the writer never ends by itself
  ASSERT_EQ(cb.Save(1, file_, "CBLIST-1"), 1);
  EXPECT_EQ(Names(), std::vector<std::string>{"cblist.ini"});
}
