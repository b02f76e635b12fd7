// The stored layouts byte for byte, and the charge subsystem's time texts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "charges/handler/chargerecord.h"
#include "charges/handler/chargetime.h"
#include "tests/support/testsupport.h"

namespace {

std::string Hex(const std::uint8_t* p, std::size_t n) {
  static const char* d = "0123456789abcdef";
  std::string s;
  for (std::size_t i = 0; i < n; ++i) {
    s += d[p[i] >> 4];
    s += d[p[i] & 15];
  }
  return s;
}

class Berlin {
 public:
  Berlin() {
    const char* tz = std::getenv("TZ");
    had_ = tz != nullptr;
    if (had_) before_ = tz;
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
  }
  ~Berlin() {
    if (had_) ::setenv("TZ", before_.c_str(), 1);
    else ::unsetenv("TZ");
    ::tzset();
  }

 private:
  bool had_ = false;
  std::string before_;
};

TEST(ChargeRecordLayout, GoldenBytesAndRoundTrip) {
  ChargeRecord r;
  r.start = 0x12345678;
  r.duration = 0x0102;
  r.units = 0x7FFF;
  r.SetCalled("0891234");
  r.SetCalling("21");
  std::uint8_t b[ChargeRecord::kSize];
  std::memset(b, 0xEE, sizeof b);
  r.Serialize(b);
  EXPECT_EQ(Hex(b, 8), "785634120201ff7f");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(b + 8)), "0891234");
  EXPECT_EQ(b[8 + 7], 0);
  EXPECT_EQ(b[27], 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(b + 28)), "21");
  EXPECT_EQ(b[47], 0);
  EXPECT_EQ(ChargeRecord::Parse(b), r);
  std::uint8_t again[ChargeRecord::kSize];
  ChargeRecord::Parse(b).Serialize(again);
  EXPECT_EQ(0, std::memcmp(b, again, sizeof b));
}

TEST(ChargeRecordLayout, NumbersAreCutAndReadWithinTheirField) {
  struct Case {
    std::string in;
    std::string stored;
  } cases[] = {
      {"", ""},
      {"1234567890123456789", "1234567890123456789"},
      {"12345678901234567890", "1234567890123456789"},
      {"123456789012345678901234", "1234567890123456789"},
      {std::string("12\0" "34", 5), "12"},
  };
  for (const Case& c : cases) {
    ChargeRecord r;
    r.SetCalling(c.in);
    EXPECT_EQ(r.Calling(), c.stored) << c.in;
    EXPECT_EQ(r.calling[19], '\0');
  }
  // A field of a damaged file without its NUL is read to its end only.
  std::uint8_t b[ChargeRecord::kSize];
  std::memset(b, '7', sizeof b);
  const ChargeRecord r = ChargeRecord::Parse(b);
  EXPECT_EQ(r.Called(), std::string(20, '7'));
  EXPECT_EQ(r.Calling(), std::string(20, '7'));
}

TEST(ChargeRecordLayout, ClampAndEquality) {
  EXPECT_EQ(ChargeRecord::Clamp(-5), 0);
  EXPECT_EQ(ChargeRecord::Clamp(40000), 32767);
  EXPECT_EQ(ChargeRecord::Clamp(123), 123);

  ChargeRecord a;
  a.start = 1000;
  a.duration = 60;
  a.SetCalling("21");
  a.SetCalled("089");
  ChargeRecord b = a;
  b.called[10] = 'x';  // after the NUL: not part of the text
  EXPECT_TRUE(a == b);
  EXPECT_EQ(a.Key(), b.Key());
  EXPECT_FALSE(a.IsNewerThan(b));
  ChargeRecord c = a;
  c.SetCalled("0890");
  EXPECT_TRUE(c.IsNewerThan(a));  // same end, another number
  ChargeRecord d = a;
  d.start = 999;
  d.duration = 62;
  EXPECT_TRUE(d.IsNewerThan(a));
  EXPECT_FALSE(a.IsNewerThan(d));
}

TEST(ChargeSelectionLayout, DefaultSelectionBytes) {
  Berlin tz;
  const ChargeFileHeader h = ChargeFileHeader::Default();
  std::uint8_t b[ChargeFileHeader::kSize];
  std::memset(b, 0xEE, sizeof b);
  h.Serialize(b);
  // 1995-01-01 00:00:00 in Berlin is 1994-12-31 23:00 UTC.
  const std::uint32_t from = 788914800;
  std::vector<std::uint8_t> want(ChargeFileHeader::kSize, 0);
  auto put32 = [&want](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) want[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  put32(108 + 8, from);
  for (std::size_t i = 0; i < 50; ++i) want[108 + 16 + i] = 0x11;
  want[108 + 66] = 1;
  want[108 + 68] = 1;
  want[108 + 70] = 1;
  EXPECT_EQ(Hex(b, sizeof b), Hex(want.data(), want.size()));
  EXPECT_EQ(ChargeFileHeader::Parse(b), h);
  for (int i = 0; i < 60; ++i) EXPECT_EQ(h.selection.Flag(i), 1) << i;
}

TEST(ChargeSelectionLayout, FlagNibblesAndFields) {
  ChargeSelection s;
  s.sumsReadOut = 0x01020304;
  s.recordsReadOut = 0x05060708;
  s.from = 1;
  s.to = 0xFFFFFFFF;
  s.minUnits = 0x1234;
  s.showNumbers = 0;
  s.minDuration = 0xABCD;
  s.rest[75] = 0x99;
  struct Case {
    int index, value;
    std::size_t byte;
    std::uint8_t after;
  } cases[] = {{0, 1, 16, 0x01}, {1, 2, 16, 0x21}, {59, 0xF, 16 + 29, 0xF0}, {58, 0x13, 16 + 29, 0xF3}};
  std::uint8_t b[ChargeSelection::kSize];
  for (const Case& c : cases) {
    s.SetFlag(c.index, c.value);
    s.Serialize(b);
    EXPECT_EQ(b[c.byte], c.after) << c.index;
  }
  s.SetFlag(60, 1);  // outside: no byte changes
  s.SetFlag(-1, 1);
  s.Serialize(b);
  EXPECT_EQ(b[16 + 30], 0);
  EXPECT_EQ(Hex(b, 16), "0403020108070605" "01000000ffffffff");
  EXPECT_EQ(Hex(b + 66, 6), "34120000cdab");
  EXPECT_EQ(b[147], 0x99);
  EXPECT_EQ(ChargeSelection::Parse(b), s);
  EXPECT_EQ(s.Flag(60), 0);
}

TEST(ChargeTimeText, OwnInstantUnderBerlinAndGermanLocale) {
  Berlin tz;
  testsupport::GermanLocale de;
  const auto jan = static_cast<std::uint32_t>(testsupport::LocalTime(2024, 1, 15, 12, 0, 0));
  const auto jul = static_cast<std::uint32_t>(testsupport::LocalTime(2024, 7, 15, 12, 0, 0));
  struct Case {
    std::uint32_t t;
    const char* pattern;
    std::string want;
  } cases[] = {
      {jan, "%H:%M:%S", "12:00:00"},
      {jul, "%H:%M:%S", "12:00:00"},
      {jan, "%d.%m.%y", "15.01.24"},
      {jul, "%d.%m.%Y - %H:%M:%S", "15.07.2024 - 12:00:00"},
      {jan + 3600 * 21 + 5 * 60, "%H:%M %d", "9:05 16"},
      {jan, "%%%a%Q%", "%%Q%"},
      {0, "%H:%M:%S", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatChargeTime(c.t, c.pattern), c.want) << c.pattern;
}

TEST(ChargeTimeText, DurationsAreArithmetic) {
  struct Case {
    long s;
    const char* want;
  } cases[] = {{0, "0:00:00"}, {61, "0:01:01"}, {3600, "1:00:00"}, {90061, "25:01:01"}, {-4, "0:00:00"}};
  for (const Case& c : cases) EXPECT_EQ(FormatChargeDuration(c.s), c.want) << c.s;
}

}  // namespace
