// The call-charge logger: records in, list and file lines out.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "netlink/chargereport.h"
#include "netlink/lorquin32.h"
#include "platform/eventloop.h"
#include "platform/messages.h"

using namespace netlink;
namespace fs = std::filesystem;

namespace {

using Record = std::vector<std::uint8_t>;

// 2025-12-08 16:00:00 UTC; shown four hours earlier.
constexpr std::int32_t kStart = 1765209600;

Record Binary(std::int32_t start, std::uint16_t duration, const char* calling, const char* called,
              std::int16_t units, std::uint8_t cause) {
  Record r(982, 0);
  r[18] = 11;
  std::memcpy(&r[22], &start, 4);
  std::memcpy(&r[26], &duration, 2);
  std::memcpy(&r[28], calling, std::strlen(calling));
  std::memcpy(&r[48], called, std::strlen(called));
  std::memcpy(&r[68], &units, 2);
  r[70] = cause;
  return r;
}

Record Text(const std::string& columns) {
  Record r(982, 0);
  r[18] = 12;
  r[22] = '\t';
  std::memcpy(&r[23], columns.data(), std::min<std::size_t>(columns.size(), 982 - 23));
  return r;
}

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

struct Owner : plat::IMessageTarget {
  std::vector<plat::UINT> got;
  std::function<void(plat::UINT)> on;
  plat::WindowId id = plat::RegisterTarget(this);
  ~Owner() override { plat::UnregisterTarget(id); }
  plat::LRESULT OnMessage(const plat::Message& m) override {
    got.push_back(m.msg);
    if (on) on(m.msg);
    return 0;
  }
};

class Charge : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    dir = fs::temp_directory_path() / ("charge-" + std::to_string(::getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
    old = fs::current_path();
    fs::current_path(dir);
  }
  void TearDown() override {
    PBXNWHCloseChargingThreat(0);
    loop.RunUntilIdle();
    CChargeReport::SetFileChooser(nullptr);
    fs::current_path(old);
    fs::remove_all(dir);
  }
  plat::ManualLoop loop;
  Owner owner;
  fs::path dir, old;
};

const char* kGolden = "8.12.2025\t12:00:00\t 0:02:05\t0301234567\t21\t10\t 1.20\t38";

}  // namespace

TEST_F(Charge, BinaryRecordGivesTheFileLineByteForByte) {
  ASSERT_EQ(PBXNWHOpenChargingThreat(owner.id, 0, kChargeStartNow | kChargeToFile), 1u);
  const Record r = Binary(kStart, 125, "0301234567", "21", 10, 38);
  ASSERT_EQ(PBXNWHProcessChargingThreatMsg(r.data(), 0), 1u);
  EXPECT_STREQ(PBXNWHGetChargingFStringFromMsg(0, 0, 0), kGolden);
  EXPECT_STREQ(PBXNWHGetChargingFStringFromMsg(1, 0, 0), "");
  EXPECT_EQ(ReadFile("pbxcalls.gdt"), std::string(kGolden) + "\r\n");
  ASSERT_EQ(ChargeReport()->lines().size(), 1u);
  EXPECT_EQ(ChargeReport()->lines()[0],
            "8.12.2025\t12:00:00\t 0:02:05\t0301234567\t21\t10\t 1.20\tNORMAL_CALL_CLEARED_LOCAL");

  // Appended at the end, never rewritten; an unknown cause has no name.
  const Record r2 = Binary(kStart + 3600, 3 * 3600 + 61, "22", "0049301", 123, 200);
  ASSERT_EQ(PBXNWHProcessChargingThreatMsg(r2.data(), 0), 1u);
  EXPECT_EQ(ReadFile("pbxcalls.gdt"), std::string(kGolden) + "\r\n" +
                                          "8.12.2025\t13:00:00\t 3:01:01\t22\t0049301\t123\t14.76\t200\r\n");
  EXPECT_EQ(ChargeReport()->lines()[1].substr(ChargeReport()->lines()[1].size() - 7), "\t14.76\t");
}

TEST_F(Charge, NumbersIgnoreTheProcessLocale) {
  const char* prev = std::setlocale(LC_ALL, nullptr);
  const std::string keep = prev ? prev : "C";
  const bool german = std::setlocale(LC_ALL, "de_DE.UTF-8") || std::setlocale(LC_ALL, "de_DE.utf8");
  ASSERT_EQ(PBXNWHOpenChargingThreat(owner.id, 0, kChargeStartNow | kChargeToFile), 1u);
  const Record r = Binary(kStart, 125, "0301234567", "21", 10, 38);
  PBXNWHProcessChargingThreatMsg(r.data(), 0);
  std::setlocale(LC_ALL, keep.c_str());
  EXPECT_STREQ(PBXNWHGetChargingFStringFromMsg(0, 0, 0), kGolden) << (german ? "under de_DE" : "C only");
  EXPECT_EQ(ReadFile("pbxcalls.gdt"), std::string(kGolden) + "\r\n");
}

TEST_F(Charge, FieldsAreReadWithinTheirBounds) {
  // The duration's upper two bytes would be the calling number's first two.
  ChargeFields f;
  Record r = Binary(kStart, 65535, "9912345", "21", -3, 3);
  ASSERT_TRUE(ReadChargeRecord(r.data(), r.size(), &f));
  EXPECT_EQ(f.duration, 65535);
  EXPECT_EQ(f.calling, "9912345");
  EXPECT_EQ(FormatChargeFields(f).fileLine, "8.12.2025\t12:00:00\t18:12:15\t9912345\t21\t-3\t-0.36\t3");

  // Numbers that fill their 20 bytes without a zero stop at the field.
  Record full(982, '7');
  full[18] = 11;
  ASSERT_TRUE(ReadChargeRecord(full.data(), full.size(), &f));
  EXPECT_EQ(f.calling, std::string(20, '7'));
  EXPECT_EQ(f.called, std::string(20, '7'));

  // A start before the offset cannot be shown as a date.
  r = Binary(100, 0, "1", "2", 0, 0);
  ASSERT_TRUE(ReadChargeRecord(r.data(), r.size(), &f));
  EXPECT_EQ(FormatChargeFields(f).fileLine, "?\t?\t 0:00:00\t1\t2\t0\t 0.00\t0");
}

TEST_F(Charge, TextRecordsAndOtherKinds) {
  ASSERT_EQ(PBXNWHOpenChargingThreat(owner.id, 0, kChargeStartNow), 1u);
  const Record t = Text("1765209600\t125\t0301234567\t21\t10\t38");
  ASSERT_EQ(PBXNWHProcessChargingThreatMsg(t.data(), 0), 1u);
  EXPECT_STREQ(PBXNWHGetChargingFStringFromMsg(0, 0, 0), kGolden);

  // Cut numbers, missing columns and a negative duration.
  const Record t2 = Text("1765209600\t-5\t012345678901234567890123");
  ASSERT_EQ(PBXNWHProcessChargingThreatMsg(t2.data(), 0), 1u);
  EXPECT_STREQ(PBXNWHGetChargingFStringFromMsg(0, 0, 0), "8.12.2025\t12:00:00\t?\t0123456789012345678\t\t0\t 0.00\t0");

  // Without a terminating zero the text ends with the record: the heap
  // block is exactly 982 bytes, so a read beyond it would be caught.
  auto block = std::make_unique<std::uint8_t[]>(982);
  std::memset(block.get(), '5', 982);
  block[18] = 12;
  block[22] = '\t';
  EXPECT_EQ(PBXNWHProcessChargingThreatMsg(block.get(), 0), 1u);

  Record wrong = Text("1\t2\t3\t4\t5\t6");
  wrong[22] = ' ';
  EXPECT_EQ(PBXNWHProcessChargingThreatMsg(wrong.data(), 0), 0u);
  Record other = Binary(kStart, 1, "1", "2", 10, 0);
  other[18] = 13;
  EXPECT_EQ(PBXNWHProcessChargingThreatMsg(other.data(), 0), 0u);
  EXPECT_EQ(ChargeReport()->lines().size(), 3u);
}

TEST_F(Charge, OneLoggerAndItsLifecycle) {
  const Record r = Binary(kStart, 125, "0301234567", "21", 10, 38);
  EXPECT_EQ(PBXNWHProcessChargingThreatMsg(r.data(), 0), 0u);
  EXPECT_STREQ(PBXNWHGetChargingFStringFromMsg(0, 0, 0), "");
  EXPECT_EQ(PBXNWHCloseChargingThreat(0), -1);

  ASSERT_EQ(PBXNWHOpenChargingThreat(owner.id, 0, 0), 1u);
  EXPECT_EQ(PBXNWHOpenChargingThreat(owner.id, 0, 0) & 0xFFFF, 0xFFFFu);
  // Not logging yet: nothing is added and no file is made.
  EXPECT_EQ(PBXNWHProcessChargingThreatMsg(r.data(), 0), 0u);
  EXPECT_FALSE(ChargeReport()->writeToFile());
  ChargeReport()->PressStartStop();
  ChargeReport()->PressStartStop();
  ChargeReport()->PressStartStop();
  EXPECT_EQ(owner.got, (std::vector<plat::UINT>{kMsgChargeStarted, kMsgChargeStopped, kMsgChargeStarted}));
  EXPECT_EQ(PBXNWHProcessChargingThreatMsg(r.data(), 0), 1u);
  EXPECT_FALSE(fs::exists("pbxcalls.gdt"));

  // "&Ende" tells the owner and the logger is gone; the owner may close it
  // itself while it is told.
  owner.got.clear();
  ChargeReport()->PressEnd();
  EXPECT_EQ(owner.got, std::vector<plat::UINT>{kMsgChargeEnded});
  EXPECT_EQ(ChargeReport(), nullptr);
  EXPECT_EQ(PBXNWHCloseChargingThreat(0), -1);
  ASSERT_EQ(PBXNWHOpenChargingThreat(owner.id, 0, 0), 1u);
  owner.on = [](plat::UINT m) {
    if (m == kMsgChargeEnded) {
      EXPECT_EQ(PBXNWHCloseChargingThreat(0), 1);
    }
  };
  ChargeReport()->PressEnd();
  EXPECT_EQ(ChargeReport(), nullptr);
  loop.RunUntilIdle();
}

TEST_F(Charge, FullListLosesItsFiftyOldestLines) {
  ASSERT_EQ(PBXNWHOpenChargingThreat(owner.id, 0, kChargeStartNow), 1u);
  for (std::size_t i = 0; i < CChargeReport::kListLimit; ++i) {
    const Record r = Binary(kStart, static_cast<std::uint16_t>(i), "1", "2", 1, 0);
    ASSERT_EQ(PBXNWHProcessChargingThreatMsg(r.data(), 0), 1u);
  }
  EXPECT_EQ(ChargeReport()->lines().size(), CChargeReport::kListLimit);
  const Record last = Binary(kStart, 9, "last", "2", 1, 0);
  ASSERT_EQ(PBXNWHProcessChargingThreatMsg(last.data(), 0), 1u);
  const auto& lines = ChargeReport()->lines();
  EXPECT_EQ(lines.size(), CChargeReport::kListLimit - 50 + 1);
  EXPECT_NE(lines.front().find("\t 0:00:50\t"), std::string::npos);
  EXPECT_NE(lines.back().find("\tlast\t"), std::string::npos);
  EXPECT_EQ(ChargeReport()->topIndex(), static_cast<int>(lines.size()) - 9);
}

TEST_F(Charge, DayFilesAndTheChangeAtMidnight) {
  loop.SetWallStart(1765238399);  // 2025-12-08 23:59:59 UTC
  ASSERT_EQ(PBXNWHOpenChargingThreat(owner.id, 0, kChargeStartNow | kChargeDayFile | kChargeFollowDay), 1u);
  EXPECT_EQ(ChargeReport()->fileName(), "08122025.gdt");
  const Record r = Binary(kStart, 125, "0301234567", "21", 10, 38);
  ASSERT_EQ(PBXNWHProcessChargingThreatMsg(r.data(), 0), 1u);
  loop.Advance(2000);
  ASSERT_EQ(PBXNWHProcessChargingThreatMsg(r.data(), 0), 1u);
  EXPECT_EQ(ChargeReport()->fileName(), "09122025.gdt");
  EXPECT_EQ(ReadFile("08122025.gdt"), std::string(kGolden) + "\r\n");
  EXPECT_EQ(ReadFile("09122025.gdt"), std::string(kGolden) + "\r\n");
  PBXNWHCloseChargingThreat(0);

  // Named after the day but without following it: the first name stays.
  ASSERT_EQ(PBXNWHOpenChargingThreat(owner.id, 0, kChargeStartNow | kChargeDayFile), 1u);
  EXPECT_EQ(ChargeReport()->fileName(), "09122025.gdt");
  loop.Advance(24u * 3600u * 1000u);
  ASSERT_EQ(PBXNWHProcessChargingThreatMsg(r.data(), 0), 1u);
  EXPECT_EQ(ChargeReport()->fileName(), "09122025.gdt");
  EXPECT_FALSE(fs::exists("10122025.gdt"));
}

TEST_F(Charge, NameAndSwitchDecideWhereLinesGo) {
  ASSERT_EQ(PBXNWHOpenChargingThreat(owner.id, 0, kChargeStartNow | kChargeToFileToo), 1u);
  CChargeReport::SetFileChooser([](std::string* name) {
    *name = "chosen.gdt";
    return true;
  });
  ChargeReport()->PressName();
  EXPECT_EQ(ChargeReport()->fileName(), "chosen.gdt");
  const Record r = Binary(kStart, 125, "0301234567", "21", 10, 38);
  PBXNWHProcessChargingThreatMsg(r.data(), 0);
  ChargeReport()->SetWriteToFile(false);
  PBXNWHProcessChargingThreatMsg(r.data(), 0);
  ChargeReport()->PressSave("other.gdt");
  ChargeReport()->SetWriteToFile(true);
  PBXNWHProcessChargingThreatMsg(r.data(), 0);
  EXPECT_EQ(ReadFile("chosen.gdt"), std::string(kGolden) + "\r\n");
  EXPECT_EQ(ReadFile("other.gdt"), std::string(kGolden) + "\r\n");
  EXPECT_FALSE(fs::exists("pbxcalls.gdt"));
}

TEST_F(Charge, ALineTornByACrashIsEndedBeforeTheNextOne) {
  // An earlier run died in the middle of a line: what was there stays, and
  // the next line starts on a line of its own.
  {
    std::ofstream f("pbxcalls.gdt", std::ios::binary);
    f << kGolden << "\r\n" << "8.12.2025\t12:00:00\t 0:0";
  }
  ASSERT_EQ(PBXNWHOpenChargingThreat(owner.id, 0, kChargeStartNow | kChargeToFile), 1u);
  const Record r = Binary(kStart, 125, "0301234567", "21", 10, 38);
  ASSERT_EQ(PBXNWHProcessChargingThreatMsg(r.data(), 0), 1u);
  ASSERT_EQ(PBXNWHProcessChargingThreatMsg(r.data(), 0), 1u);
  EXPECT_EQ(ReadFile("pbxcalls.gdt"), std::string(kGolden) + "\r\n8.12.2025\t12:00:00\t 0:0\r\n" + kGolden +
                                          "\r\n" + kGolden + "\r\n");
}
