// A real child process saves, edits, deletes (with purges) and converts a
// phone book and acknowledges each operation once it is synced; it is
// killed with SIGKILL at random instants and at every sync and rename.
// After each kill the file opens as format 5 with whole records only,
// every acknowledged operation is there and no other record changed.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "phonebook/database.h"
#include "tests/phonebook/pbtemp.h"
#include "tests/support/filefaults.h"

using testsupport::FileBytes;
using testsupport::PutFile;

namespace {

constexpr int kOps = 20;

struct Rec {
  std::string company, name, number;
  bool operator==(const Rec& o) const { return company == o.company && name == o.name && number == o.number; }
};

std::string Num(int j) { return "0800" + std::to_string(j); }

// The format-3 file the child starts from: five records.
std::string OldFile() {
  std::string f(203, '\0');
  f[0] = 3;
  for (int i = 0; i < 5; ++i) {
    std::string r(536, '\0');
    r[4] = 1;
    r.replace(5, 2, "O" + std::to_string(i));
    r.replace(146, 5, "0700" + std::to_string(i));
    r.replace(533, 2, "\r\n");
    f += r;
  }
  f[53] = 5;
  return f;
}

// The records in use after the conversion and ops 0 .. done - 1.
std::vector<Rec> Model(int done) {
  std::vector<Rec> m;
  for (int i = 0; i < 5; ++i) m.push_back({"O" + std::to_string(i), "", "0700" + std::to_string(i)});
  for (int j = 0; j < done; ++j) {
    if (j % 5 < 3) {
      m.push_back({"N" + std::to_string(j), "n", Num(j)});
    } else {
      std::string target = Num(j - 3 + (j % 5 == 4 ? 1 : 0));
      for (auto it = m.begin(); it != m.end(); ++it)
        if (it->number == target) {
          if (j % 5 == 3) it->name = "E" + std::to_string(j);
          else m.erase(it);
          break;
        }
    }
  }
  return m;
}

// What the child does; acknowledges op j (and -1 for the open) on fd.
void Writer(const std::string& path, int ackFd) {
  CMyDataBase db;
  db.SetLogSink([](const std::string&) {});
  if (db.Open(path) != 1) ::_exit(3);
  int ack = -1;
  if (::write(ackFd, &ack, sizeof ack) != sizeof ack) ::_exit(5);
  for (int j = 0; j < kOps; ++j) {
    int ok = 0;
    if (j % 5 < 3) {
      CMyDataBaseItem* e = db.GetEmptyItem(-1);
      e->SetFieldText(PBF_COMPANY, "N" + std::to_string(j));
      e->SetFieldText(PBF_NAME, "n");
      e->SetFieldText(PBF_NUMBER, Num(j));
      ok = db.SaveItem(e, -1);
    } else {
      std::string target = Num(j - 3 + (j % 5 == 4 ? 1 : 0));
      db.FindByField(PBF_NUMBER, target, 1, -1);
      CMyDataBaseItem* hit = db.FirstHit(-1);
      if (!hit) ::_exit(6);
      if (j % 5 == 3) {
        hit->SetFieldText(PBF_NAME, "E" + std::to_string(j));
        ok = db.UpdateItem(hit, -1);
      } else {
        ok = db.DeleteItem(hit, -1);
      }
    }
    if (!ok) ::_exit(4);
    if (::write(ackFd, &j, sizeof j) != sizeof j) ::_exit(5);
  }
}

class Crash {
 public:
  Crash() : dir_("pb_crash") {}
  ~Crash() { ClosePipe(); }
  std::string Path() const { return dir_ / "book.db"; }

  // One run: a fresh old file, the child (stopped by runChild), the checks.
  // Returns true when the child was killed.
  bool Run(const std::function<bool(const std::function<void()>&)>& runChild, const std::string& what) {
    Prepare();
    const bool killed = runChild([this] { Body(); });
    Collect(what);
    return killed;
  }

  // The steps of a run apart, for loops that fork the child themselves: the
  // fresh file and the acknowledgement pipe, what the child does, and the
  // checks once it ended. Collect returns the last acknowledged operation
  // (-1 the open, -2 none).
  void Prepare() {
    ClosePipe();
    std::remove(Path().c_str());
    std::remove((dir_ / "delitems.db").c_str());
    PutFile(Path(), OldFile());
    if (::pipe(fds_) != 0) fds_[0] = fds_[1] = -1;
  }
  void Body() {
    ::close(fds_[0]);
    Writer(Path(), fds_[1]);
  }
  int Collect(const std::string& what) {
    ::close(fds_[1]);
    fds_[1] = -1;
    int last = -2, v;
    while (fds_[0] >= 0 && ::read(fds_[0], &v, sizeof v) == sizeof v) last = v;
    ClosePipe();
    Check(last, what);
    return last;
  }

 private:
  void Check(int lastAck, const std::string& what) {
    CMyDataBase db;
    db.SetLogSink([](const std::string&) {});
    ASSERT_EQ(db.Open(Path()), 1) << what;
    std::string bytes = FileBytes(Path());
    ASSERT_GE(bytes.size(), 1127u) << what;
    EXPECT_EQ(bytes[0], 5) << what;
    EXPECT_EQ((bytes.size() - 1127) % 666, 0u) << what;
    EXPECT_EQ(db.GetRecordCount(), (bytes.size() - 1127) / 666) << what;
    EXPECT_EQ(pbfile::U32At(reinterpret_cast<const std::uint8_t*>(bytes.data()), 53), db.GetRecordCount()) << what;
    std::vector<Rec> got;
    for (CMyDataBaseItem* it = db.First(-1); it; ) {
      if (it->RecordInUse())
        got.push_back({it->GetFieldText(PBF_COMPANY), it->GetFieldText(PBF_NAME), it->GetFieldText(PBF_NUMBER)});
      std::uint32_t off = it->FileOffset();
      it = db.Next(-1);
      if (it && it->FileOffset() == off) break;
    }
    int done = lastAck < -1 ? 0 : lastAck + 1;  // ops known to be complete
    bool asDone = got == Model(done);
    bool asNext = done < kOps && got == Model(done + 1);
    EXPECT_TRUE(asDone || asNext) << what << ": last ack " << lastAck << ", " << got.size() << " records";
    // every acknowledged deletion is in the deleted file
    std::string del = FileBytes(db.DeletedFilePath());
    for (int j = 4; j < done; j += 5) {
      std::string number = Num(j - 2);
      EXPECT_NE(del.find(number + std::string(1, '\0')), std::string::npos) << what << ": deleted " << number;
    }
    for (const auto& n : testsupport::NamesIn(dir_.Str()))
      EXPECT_TRUE(n == "book.db" || n == "delitems.db") << what << ": left behind " << n;
  }

  void ClosePipe() {
    for (int& fd : fds_)
      if (fd >= 0) ::close(fd), fd = -1;
  }

  pbtest::TempFolder dir_;
  int fds_[2] = {-1, -1};
};

}  // namespace

TEST(PhoneBookCrash, KilledAtEverySyncAndRename) {
  Crash crash;
  int points = 0;
  for (int nth = 1; nth < 400; ++nth) {
    bool killed = crash.Run(
        [nth](const std::function<void()>& body) {
          return testsupport::RunChild(
              [&] {
                testsupport::KillAtOp kill(nth);
                body();
              },
              0);
        },
        "kill at sync/rename " + std::to_string(nth));
    if (::testing::Test::HasFailure()) break;
    if (!killed) break;  // the child got through: every point was visited
    ++points;
  }
  EXPECT_GE(points, 30);  // the script syncs 40 times here
  RecordProperty("points", points);
}

// Killed at random instants for a few seconds, or until enough kills
// landed between the open and the last operation.
TEST(PhoneBookCrash, KilledAtRandomInstants) {
  Crash crash;
  const std::uint32_t seed = static_cast<std::uint32_t>(::getpid());
  testsupport::KillRandom(seed);
  crash.Prepare();
  const testsupport::KillTally t = testsupport::KillAtRandomInstants(
      {.enough = 60, .time = std::chrono::seconds(6)}, 1000000, [&] { crash.Body(); },
      [&](int run, bool killed) {
        const int last = crash.Collect("seed " + std::to_string(seed) + " run " + std::to_string(run));
        crash.Prepare();
        return killed && last >= -1 && last < kOps - 1;
      });
  RecordProperty("runs", t.runs);
  RecordProperty("killed_midway", t.midway);
}
