// The monitor table's save: one replacement of the speed-dial file with
// exactly the bytes the key-by-key writes gave, under a full disk, a
// failing device and kill -9.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/base/globalconfig.h"
#include "core/monitor/monitortable.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "tests/support/filefaults.h"

namespace fs = std::filesystem;
using plat::io::Op;

namespace {

// Another owner's sections, odd spellings, blank lines and both line ends.
const char kSeed[] =
    "; speed dial and watched extensions\r\n"
    "[SHRTDIAL-00]\r\n"
    "NR=0401234567\r\n"
    "\r\n"
    "[montab-12]\r\n"
    "name = Alt\r\n"
    "EXTRA=bleibt\r\n"
    "[MONTAB]\n"
    "MainPhone=21\n"
    "[SHRTDIAL-01]\r\n"
    "NR=07\r\n";

std::string ReadFile(const std::string& p) { return testsupport::FileBytes(p); }

void Put(const std::string& p, const std::string& bytes) { testsupport::PutFile(p, bytes); }

// A table state that differs by generation.
void Fill(CMonitorTable& t, int gen) {
  for (int i = 0; i < CMonitorTable::kEntries; ++i) {
    CMonitorEntry* e = t.EntryAt(i);
    e->title = gen % 2 ? "Frau" : "Herr";
    e->name = plat::StrFormatC("Name %d-%d", gen, i);
    e->watchMode = static_cast<std::uint32_t>((i + gen) % 3);
    e->monitoringOn = 1;
    if (i == 5) e->SetNumber(plat::StrFormatC("%d", 100 + gen));
  }
  t.SetMainPhone(gen % 2 ? "21" : "22");
  t.SetCollectorPhone("30");
  t.SetInternalNumberLength(2 + gen % 2);
}

// What the table's save wrote before it was one batch: every key through
// its own write, in this order.
void SaveKeyByKey(CMonitorTable& t, const std::string& file) {
  for (int i = 0; i < CMonitorTable::kEntries; ++i) {
    CMonitorEntry& e = *t.EntryAt(i);
    const std::string sec = plat::StrFormatC("%s-%s", "MONTAB", e.slotKey);
    const char* s = sec.c_str();
    const int on = e.watchMode != 0 ? 1 : 0;
    plat::WritePrivateProfileString(s, "TITEL", e.title.c_str(), file.c_str());
    plat::WritePrivateProfileString(s, "NAME", e.name.c_str(), file.c_str());
    plat::WritePrivateProfileString(s, "MONON", plat::StrFormatC("%i", on).c_str(), file.c_str());
    plat::WritePrivateProfileString(s, "MONSTAT", plat::StrFormatC("%i", static_cast<int>(e.watchMode)).c_str(),
                                    file.c_str());
    plat::WritePrivateProfileString(s, "INTNUMBER", e.number, file.c_str());
  }
  plat::WritePrivateProfileString("MONTAB", "MAINPHONE", t.GetMainPhone().c_str(), file.c_str());
  plat::WritePrivateProfileString("MONTAB", "COLLPHONE", t.GetCollectorPhone().c_str(), file.c_str());
  plat::WritePrivateProfileString("MONTAB", "INTNUMLENGTH", plat::StrFormatC("%i", t.InternalNumberLength()).c_str(),
                                  file.c_str());
}

class MonitorSave : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("monitor_save_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    file_ = (dir_ / "short.dat").string();
    Put(file_, kSeed);
    GlobalConfig().SDFN = file_;
  }
  void TearDown() override {
    GlobalConfig().SDFN.clear();
    fs::remove_all(dir_);
  }
  std::vector<std::string> Names() const { return testsupport::NamesIn(dir_.string()); }
  // The bytes a save of generation gen leaves on the file as it is now.
  std::string SavedBytes(int gen) {
    CMonitorTable t;
    Fill(t, gen);
    EXPECT_EQ(t.Save(), 1);
    return ReadFile(file_);
  }
  fs::path dir_;
  std::string file_;
};

}  // namespace

TEST_F(MonitorSave, OneReplacementWithTheBytesOfTheKeyByKeyWrites) {
  // The key-by-key writes sync 606 times: in memory where there is a
  // memory file system, so the comparison takes no seconds.
  const fs::path shm = "/dev/shm";
  const std::string old = fs::is_directory(shm) ? (shm / ("monitor_old_" + std::to_string(::getpid()))).string()
                                                 : (dir_ / "old.dat").string();
  for (int gen : {1, 2, 3}) {
    SCOPED_TRACE(gen);
    Put(old, ReadFile(file_));
    {
      CMonitorTable t;
      Fill(t, gen);
      GlobalConfig().SDFN = old;
      SaveKeyByKey(t, old);
      GlobalConfig().SDFN = file_;
      testsupport::FileFault count;
      ASSERT_EQ(t.Save(), 1);
      // One temporary, one fsync of it and one of the folder, one rename:
      // the key-by-key writes took two fsyncs each, 606 in all.
      EXPECT_EQ(count.Count(Op::Rename), 1);
      EXPECT_EQ(count.Count(Op::Fsync), 2);
      EXPECT_EQ(ReadFile(file_), ReadFile(old));
    }
    EXPECT_NE(ReadFile(file_).find("[SHRTDIAL-01]\r\nNR=07\r\n"), std::string::npos);
    EXPECT_NE(ReadFile(file_).find("EXTRA=bleibt"), std::string::npos);
  }
  fs::remove(old);
}

TEST_F(MonitorSave, AFailedSaveLeavesTheFileAndSaysSo) {
  const std::string before = ReadFile(file_);
  for (auto [op, err] : {std::pair{Op::Open, ENOSPC}, {Op::Write, ENOSPC}, {Op::Fsync, EIO}, {Op::Close, EIO},
                         {Op::Rename, ENOSPC}}) {
    SCOPED_TRACE(plat::io::OpName(op));
    {
      CMonitorTable t;
      Fill(t, 4);
      {
        testsupport::FileFault fault(op, 1, err);
        EXPECT_EQ(t.Save(), 0);
        EXPECT_EQ(fault.Failed(), 1);
      }
      EXPECT_EQ(ReadFile(file_), before);
      EXPECT_EQ(Names(), std::vector<std::string>{"short.dat"});
    }
    Put(file_, before);  // the table saved itself again on its way out
  }
}

// A child saves two tables in turn and is killed at random instants: the
// file is always one of them whole (or the first state), never a mixture.
TEST_F(MonitorSave, AKilledSaveLeavesTheOldOrTheNewTable) {
  const std::string seed = ReadFile(file_);
  const std::string a = SavedBytes(1);
  const std::string b = SavedBytes(2);
  ASSERT_EQ(SavedBytes(1), a);
  Put(file_, seed);
  const testsupport::KillTally t = testsupport::KillEndlessWriter(
      {.enough = 50, .time = std::chrono::seconds(3)}, 20000,
      [&] {
        for (int gen = 1;; gen = 3 - gen) {
          CMonitorTable t;
          Fill(t, gen);
          t.Save();
        }
      },
      [&](int run) {
        const std::string now = ReadFile(file_);
        EXPECT_TRUE(now == seed || now == a || now == b) << "run " << run << ": " << now.size() << " bytes";
      });
  EXPECT_EQ(t.killed, t.runs);  // the writer never ends by itself
  SavedBytes(1);
  EXPECT_EQ(Names(), std::vector<std::string>{"short.dat"});
}
