#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/service/servicerecordfile.h"
#include "core/wire/csta_events.h"
#include "platform/paths.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::uint8_t> Record(int kind, const char* index, const char* time, const char* dur, const char* units,
                                 std::initializer_list<std::uint8_t> digits = {}) {
  std::vector<std::uint8_t> r(ServiceRecordLayout::kSize, 0);
  r[0] = static_cast<std::uint8_t>(kind);
  auto put = [&](std::size_t off, std::size_t width, const char* s) {
    std::memcpy(r.data() + off, s, std::min(width, std::strlen(s)));
  };
  put(ServiceRecordLayout::kIndex, ServiceRecordLayout::kIndexSize, index);
  put(ServiceRecordLayout::kTime, ServiceRecordLayout::kTimeSize, time);
  put(ServiceRecordLayout::kDuration, ServiceRecordLayout::kDurationSize, dur);
  put(ServiceRecordLayout::kUnits, ServiceRecordLayout::kUnitsSize, units);
  std::size_t i = ServiceRecordLayout::kDigits;
  for (auto d : digits) r[i++] = d;
  return r;
}

// Packed digits as the message filter unpacks them.
struct Bcd : IBcdNumberSource {
  int UnpackBcdNumbers(const std::uint8_t* src, std::string* a, std::string* b) override {
    return ::UnpackBcdNumbers(src, a, b);
  }
};

std::string ReadFile(const std::string& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class ServiceRecordFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
    root_ = fs::temp_directory_path() / ("service_test_" + std::to_string(::getpid()));
    fs::create_directories(root_);
    plat::SetDriveRoot(root_.string());
    path_ = plat::MapPath("c:\\service.xxx");
  }
  void TearDown() override { fs::remove_all(root_); }
  void Write(CServiceRecordFile& f, const std::vector<std::uint8_t>& r) { f.WriteRecord(r.data(), r.size()); }
  fs::path root_;
  std::string path_;
};

}  // namespace

TEST_F(ServiceRecordFileTest, KindThreeLineIsExact) {
  CServiceRecordFile f;
  EXPECT_EQ(f.FileName(), "c:\\service.xxx");
  EXPECT_EQ(f.RecordSize(), 856);
  Bcd bcd;
  f.Link(0, nullptr, &bcd, nullptr);
  // 2025-12-08 08:00:00 UTC, 1 h 2 min 5 s, numbers 062112 and 21.
  Write(f, Record(3, "12", "1765180925", "3725", "4", {0x06, 0x21, 0x12, 0xFF, 0x21, 0xFF}));
  EXPECT_EQ(ReadFile(path_), "12\t08.12.25\t08:02:05\t01:02:05\t062112\t21\t4\r\n");
}

TEST_F(ServiceRecordFileTest, FirstRecordIsKeptWhenTheFileIsMissing) {
  CServiceRecordFile f;
  ASSERT_FALSE(fs::exists(path_));
  Write(f, Record(3, "1", "0", "0", "0"));
  Write(f, Record(3, "2", "x", "-5", "1"));
  // Without a filter both numbers are empty; a time that is no number is 0.
  EXPECT_EQ(ReadFile(path_),
            "1\t01.01.70\t00:00:00\t00:00:00\t\t\t0\r\n"
            "2\t01.01.70\t00:00:00\t00:00:00\t\t\t1\r\n");
  Write(f, Record(0, "3", "0", "0", "0"));
  Write(f, Record(7, "3", "0", "0", "0"));
  EXPECT_EQ(ReadFile(path_),
            "1\t01.01.70\t00:00:00\t00:00:00\t\t\t0\r\n"
            "2\t01.01.70\t00:00:00\t00:00:00\t\t\t1\r\n");
}

// A start record empties the file in one replacement, even when the
// read-out brings no record; the records that follow are appended.
TEST_F(ServiceRecordFileTest, AStartRecordEmptiesTheFileInOneReplacement) {
  CServiceRecordFile f;
  Write(f, Record(3, "1", "0", "0", "5"));
  Write(f, Record(3, "2", "0", "0", "6"));
  EXPECT_EQ(f.WriteRecord(Record(1, "", "", "", "").data(), ServiceRecordLayout::kSize), 1);
  EXPECT_TRUE(fs::exists(path_));
  EXPECT_EQ(ReadFile(path_), "");
  EXPECT_EQ(f.WriteRecord(Record(3, "7", "0", "0", "9").data(), ServiceRecordLayout::kSize), 1);
  Write(f, Record(3, "8", "0", "0", "9"));
  EXPECT_EQ(ReadFile(path_),
            "7\t01.01.70\t00:00:00\t00:00:00\t\t\t9\r\n"
            "8\t01.01.70\t00:00:00\t00:00:00\t\t\t9\r\n");
  // Two start records in a row, then one record.
  Write(f, Record(1, "", "", "", ""));
  Write(f, Record(1, "", "", "", ""));
  Write(f, Record(3, "9", "0", "0", "1"));
  EXPECT_EQ(ReadFile(path_), "9\t01.01.70\t00:00:00\t00:00:00\t\t\t1\r\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(root_), fs::directory_iterator{}), 1);
}

TEST_F(ServiceRecordFileTest, DurationIsNoTimeOfDay) {
  setenv("TZ", "Europe/Berlin", 1);
  tzset();
  EXPECT_EQ(CServiceRecordFile::FormatDuration(59), "00:00:59");
  EXPECT_EQ(CServiceRecordFile::FormatDuration(90061), "25:01:01");
  EXPECT_EQ(CServiceRecordFile::FormatDuration(-1), "00:00:00");
  setenv("TZ", "UTC", 1);
  tzset();
}

TEST_F(ServiceRecordFileTest, FieldsStopAtTheirWidths) {
  CServiceRecordFile f;
  std::vector<std::uint8_t> r(ServiceRecordLayout::kSize, '7');
  r[0] = 3;
  std::string line = f.FormLine(r.data());
  // Index 5, units 7 characters: no field runs into the next.
  EXPECT_EQ(line.substr(0, 6), "77777\t");
  EXPECT_EQ(line.substr(line.size() - 8), "\t7777777");
  // A short record reads as zeros past its end.
  std::uint8_t shortRec[2] = {3, '5'};
  f.WriteRecord(shortRec, sizeof shortRec);
  EXPECT_EQ(ReadFile(path_), "5\t01.01.70\t00:00:00\t00:00:00\t\t\t\r\n");
}

TEST_F(ServiceRecordFileTest, ReadCopyAndOpenExisting) {
  CServiceRecordFile f;
  Write(f, Record(3, "1", "0", "60", "2"));
  Write(f, Record(3, "2", "0", "61", "3"));
  ASSERT_EQ(f.OpenForReading(0), 1);
  EXPECT_EQ(f.FirstLine(), "1\t01.01.70\t00:00:00\t00:01:00\t\t\t2");
  EXPECT_EQ(f.NextLine(), "2\t01.01.70\t00:00:00\t00:01:01\t\t\t3");
  EXPECT_EQ(f.NextLine(), "");

  // The target is replaced whole: an older, longer file leaves nothing.
  std::string target = (root_ / "copy.txt").string();
  {
    std::ofstream old(target, std::ios::binary);
    old << std::string(500, 'x');
  }
  ASSERT_EQ(f.CopyTo(target), 1);
  EXPECT_EQ(ReadFile(target), ReadFile(path_));
  EXPECT_FALSE(fs::exists(target + ".tmp"));

  std::string other = (root_ / "other.txt").string();
  EXPECT_EQ(f.OpenExisting(other), 0);
  EXPECT_TRUE(fs::exists(other));
  EXPECT_EQ(f.OpenExisting(target), 1);
  EXPECT_EQ(f.FirstLine(), "1\t01.01.70\t00:00:00\t00:01:00\t\t\t2");
}
