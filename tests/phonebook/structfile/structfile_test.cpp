#include "phonebook/structfile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/phonebook/pbtemp.h"
#include "tests/support/filefaults.h"

using testsupport::FileBytes;
using testsupport::PutFile;

namespace {

// Header "HHHH" (4 bytes) and records of 3 bytes: "aaa", "bbb", ...
std::string Layout(int records, const std::string& tail = "") {
  std::string s = "HHHH";
  for (int i = 0; i < records; ++i) s += std::string(3, static_cast<char>('a' + i));
  return s + tail;
}

class CountingFile : public CStructFile {
 public:
  CountingFile() : CStructFile(4, 3) {}
  int OnPartialRecord() override { return ++partial; }
  int partial = 0;
};

std::string Rec(const char* buf) { return std::string(buf, 3); }

}  // namespace

TEST(StructFile, CountsWholeRecordsOnly) {
  struct Case {
    std::string bytes;
    std::uint32_t count;
    int partialCalls;
  } cases[] = {
      {"", 0, 0},                 // empty file
      {"HH", 0, 0},               // shorter than the header
      {Layout(0), 0, 0},          // header only
      {Layout(2, "c"), 2, 1},     // 2.33 records
      {Layout(2, "cc"), 2, 1},    // torn tail of two bytes
      {Layout(5), 5, 0},
  };
  pbtest::TempFolder dir("sf_count");
  for (const auto& c : cases) {
    PutFile(dir / "f", c.bytes);
    CountingFile f;
    ASSERT_EQ(f.OpenOrCreate(dir / "f"), 0);
    EXPECT_EQ(f.GetRecordCount(), c.count) << c.bytes;
    EXPECT_EQ(f.partial, c.partialCalls) << c.bytes;
  }
  // record size never set, or set to 0: no records, no division
  PutFile(dir / "g", Layout(3));
  CStructFile z;
  z.SetHeaderSize(4);
  z.SetRecordSize(0);
  ASSERT_EQ(z.OpenOrCreate(dir / "g"), 0);
  EXPECT_EQ(z.GetRecordCount(), 0u);
  char buf[8] = {};
  EXPECT_EQ(z.Append(buf), 0u);
  EXPECT_EQ(FileBytes(dir / "g"), Layout(3));
}

TEST(StructFile, SizesAndFlagsAfterInit) {
  CStructFile f;
  EXPECT_EQ(f.SetRecordSize(7), 0);
  EXPECT_EQ(f.SetRecordSize(0), 0);   // ignored
  EXPECT_EQ(f.SetRecordSize(-3), 0);  // ignored
  EXPECT_EQ(f.RecordSize(), 7);
  EXPECT_EQ(f.SetHeaderSize(0), 1);
  EXPECT_FALSE(f.HasHeader());
  EXPECT_EQ(f.SetHeaderSize(9), 1);
  EXPECT_TRUE(f.HasHeader());
  EXPECT_EQ(f.Init(), 1);
  EXPECT_EQ(f.RecordSize(), 0);
  EXPECT_FALSE(f.HasHeader());
  EXPECT_TRUE(f.AtBegin());
  EXPECT_FALSE(f.AtEnd());
}

// A walk over "HHHH aaa bbb ccc": each step's result, record read and flags.
TEST(StructFile, WalksForwardAndBack) {
  enum Op { First, Next, Prev, Number, At, Last };
  struct Step {
    Op op;
    std::int32_t arg;
    std::uint32_t result;
    std::string read;  // "" nothing read
    bool end;
  } steps[] = {
      {First, 0, 4, "aaa", false},
      {Prev, 0, 7, "", false},       // after record 1: nothing, the position
      {Next, 0, 7, "bbb", false},
      {Next, 0, 10, "ccc", false},
      {Next, 0, 10, "", true},       // at the end: the last offset, nothing read
      {Prev, 0, 7, "bbb", false},
      {Prev, 0, 4, "aaa", false},
      {Prev, 0, 7, "", false},
      {Number, 0, 4, "aaa", false},  // numbers below 1 read the first
      {Number, 3, 10, "ccc", false},
      {Prev, 0, 7, "bbb", false},    // after record 3 it reads record 2
      {Number, 4, 0, "", true},      // beyond the end
      {At, 7, 7, "bbb", false},
      {At, 11, 0, "", true},         // only two bytes there: no record
      {At, 13, 0, "", true},
      {Last, 0, 10, "ccc", true},
  };
  pbtest::TempFolder dir("sf_walk");
  PutFile(dir / "f", Layout(3));
  CStructFile f(4, 3);
  ASSERT_EQ(f.OpenOrCreate(dir / "f"), 0);
  int i = 0;
  for (const auto& s : steps) {
    char buf[3] = {'-', '-', '-'};
    std::uint32_t r = 0;
    switch (s.op) {
      case First: r = f.ReadFirst(buf); break;
      case Next: r = f.ReadNext(buf); break;
      case Prev: r = f.ReadPrevious(buf); break;
      case Number: r = f.ReadRecord(s.arg, buf); break;
      case At: r = f.ReadAt(static_cast<std::uint32_t>(s.arg), buf); break;
      case Last: r = f.ReadLast(buf); break;
    }
    EXPECT_EQ(r, s.result) << "step " << i;
    EXPECT_EQ(Rec(buf), s.read.empty() ? "---" : s.read) << "step " << i;
    EXPECT_EQ(f.AtEnd(), s.end) << "step " << i;
    ++i;
  }
}

TEST(StructFile, HeaderOnlyAndTornTailReadNothing) {
  pbtest::TempFolder dir("sf_empty");
  struct Case {
    std::string bytes;
  } cases[] = {{Layout(0)}, {Layout(0, "aa")}};
  for (const auto& c : cases) {
    PutFile(dir / "f", c.bytes);
    CStructFile f(4, 3);
    ASSERT_EQ(f.OpenOrCreate(dir / "f"), 0);
    char buf[3] = {'-', '-', '-'};
    EXPECT_EQ(f.ReadFirst(buf), 0u);
    EXPECT_EQ(f.ReadNext(buf), 0u);
    EXPECT_TRUE(f.AtEnd());
    EXPECT_EQ(f.ReadLast(buf), 0u);  // not the header's bytes
    EXPECT_EQ(Rec(buf), "---");
    char h[4] = {};
    EXPECT_EQ(f.ReadHeader(h), 0u);  // the position before: 0
    EXPECT_TRUE(f.LastOk());
    EXPECT_EQ(std::string(h, 4), "HHHH");
  }
}

TEST(StructFile, WritesReplaceWholeRecordsAndAppendsAlign) {
  enum Op { WriteAt, WriteRecord, WriteNextAfterFirst, Append, Header };
  struct Case {
    const char* name;
    std::string before;
    Op op;
    std::int32_t arg;
    std::uint32_t result;
    std::string after;
  } cases[] = {
      {"at a boundary", Layout(3), WriteAt, 7, 7, "HHHHaaaXYZccc"},
      {"inside a record", Layout(3), WriteAt, 8, 0, Layout(3)},
      {"inside the header", Layout(3), WriteAt, 1, 0, Layout(3)},
      {"at the end", Layout(3), WriteAt, 13, 0, Layout(3)},
      {"over a torn tail", Layout(3, "dd"), WriteAt, 13, 0, Layout(3, "dd")},
      {"record 2", Layout(3), WriteRecord, 2, 7, "HHHHaaaXYZccc"},
      {"record 4 of 3", Layout(3), WriteRecord, 4, 0, Layout(3)},
      {"next of first", Layout(3), WriteNextAfterFirst, 0, 7, "HHHHaaaXYZccc"},
      {"next at the end", Layout(1), WriteNextAfterFirst, 0, 0, Layout(1)},
      {"append", Layout(2), Append, 0, 10, "HHHHaaabbbXYZ"},
      {"append over a torn tail", Layout(2, "c"), Append, 0, 10, "HHHHaaabbbXYZ"},
      {"append to header only", Layout(0), Append, 0, 4, "HHHHXYZ"},
      {"header", Layout(1), Header, 0, 0, "XYZWaaa"},
  };
  pbtest::TempFolder dir("sf_write");
  for (const auto& c : cases) {
    PutFile(dir / "f", c.before);
    CStructFile f(4, 3);
    ASSERT_EQ(f.OpenOrCreate(dir / "f"), 0) << c.name;
    const char data[] = "XYZW";
    char buf[3];
    std::uint32_t r = 0;
    switch (c.op) {
      case WriteAt: r = f.WriteAt(static_cast<std::uint32_t>(c.arg), data); break;
      case WriteRecord: r = f.WriteRecord(c.arg, data); break;
      case WriteNextAfterFirst: f.ReadFirst(buf); r = f.WriteNext(data); break;
      case Append: r = f.Append(data); break;
      case Header: r = static_cast<std::uint32_t>(f.WriteHeader(data)); break;
    }
    EXPECT_EQ(r, c.result) << c.name;
    EXPECT_EQ(FileBytes(dir / "f"), c.after) << c.name;
  }
}

TEST(StructFile, OpensWithoutEverEmptying) {
  pbtest::TempFolder dir("sf_open");
  CStructFile f(4, 3);
  // missing: created, empty
  EXPECT_EQ(f.OpenOrCreate(dir / "new"), 1);
  EXPECT_TRUE(f.IsOpen());
  EXPECT_EQ(f.Path(), dir / "new");
  EXPECT_EQ(FileBytes(dir / "new"), "");
  // existing: opened as it is
  PutFile(dir / "old", Layout(2));
  EXPECT_EQ(f.OpenOrCreate(dir / "old"), 0);
  EXPECT_EQ(FileBytes(dir / "old"), Layout(2));
  // the first open fails for another reason than a missing file: nothing is
  // created or emptied, the open fails
  {
    testsupport::FileFault fault(plat::io::Op::Open, 1, EIO);
    EXPECT_EQ(f.OpenOrCreate(dir / "old"), -1);
    EXPECT_FALSE(f.IsOpen());
  }
  EXPECT_EQ(FileBytes(dir / "old"), Layout(2));
  // writing refused: opened read-only, every write refused
  {
    testsupport::FileFault fault(plat::io::Op::Open, 1, EACCES);
    EXPECT_EQ(f.OpenOrCreate(dir / "old"), 0);
  }
  EXPECT_TRUE(f.IsReadOnly());
  char buf[3];
  EXPECT_EQ(f.ReadRecord(2, buf), 7u);
  EXPECT_EQ(f.Append("XYZ"), 0u);
  EXPECT_EQ(f.WriteAt(4, "XYZ"), 0u);
  EXPECT_EQ(f.WriteHeader("XYZW"), -1);
  EXPECT_FALSE(f.Sync());
  EXPECT_EQ(FileBytes(dir / "old"), Layout(2));
  // a folder that does not exist: neither opened nor created
  EXPECT_EQ(f.OpenOrCreate(dir / "no/such"), -1);
}

TEST(StructFile, FailedWritesLeaveTheFileAndSayNo) {
  pbtest::TempFolder dir("sf_fail");
  struct Case {
    plat::io::Op op;
    int err;
  } cases[] = {{plat::io::Op::PWrite, ENOSPC}, {plat::io::Op::PWrite, EIO}};
  for (const auto& c : cases) {
    PutFile(dir / "f", Layout(2));
    CStructFile f(4, 3);
    ASSERT_EQ(f.OpenOrCreate(dir / "f"), 0);
    testsupport::FileFault fault(c.op, 1, c.err);
    EXPECT_EQ(f.Append("XYZ"), 0u);
    EXPECT_FALSE(f.LastOk());
    EXPECT_EQ(FileBytes(dir / "f"), Layout(2));
    EXPECT_EQ(f.WriteAt(4, "XYZ"), 4u);  // the fault was the first write only
  }
  PutFile(dir / "f", Layout(3));
  CStructFile f(4, 3);
  ASSERT_EQ(f.OpenOrCreate(dir / "f"), 0);
  {
    testsupport::FileFault fault(plat::io::Op::Fdatasync, 1, EIO);
    EXPECT_FALSE(f.Sync());
  }
  EXPECT_TRUE(f.Sync());
  EXPECT_TRUE(f.TruncateTo(1));
  EXPECT_EQ(FileBytes(dir / "f"), Layout(1));
}
