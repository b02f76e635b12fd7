// Windows-1252 conversions and locale-free numbers.
#include <gtest/gtest.h>

#include "tests/support/testsupport.h"

#include <climits>
#include <clocale>
#include <cstring>

#include "platform/qtext.h"
#include "platform/text.h"

using namespace plat;

TEST(Text, EveryByteSurvivesBothRoundTrips) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
  EXPECT_EQ(FromQString(ToQString(all)), all);
  EXPECT_EQ(ToQString(all).size(), 255);
}

TEST(Text, CodePageCharactersMapBothWays) {
  EXPECT_EQ(Cp1252ToUtf8("\x80 \xE4\xF6\xFC\xDF \x84\x93 \x8A"), "€ äöüß „“ Š");
  EXPECT_EQ(Utf8ToCp1252("Grüße € – ™"), "Gr\xFC\xDF\x65 \x80 \x96 \x99");
  EXPECT_EQ(ToQString("\x80").at(0).unicode(), 0x20AC);
  EXPECT_EQ(ToQString("\x81").at(0).unicode(), 0x0081);  // undefined byte kept as itself
  EXPECT_EQ(FromQString(QString::fromUtf8("€ ß")), "\x80 \xDF");
}

TEST(Text, UnmappableAndMalformedInputBecomesQuestionMarks) {
  EXPECT_EQ(Utf8ToCp1252("a\xE2\x86\x92z"), "a?z");             // arrow
  EXPECT_EQ(Utf8ToCp1252("\xF0\x9F\x98\x80"), "?");              // outside the BMP
  EXPECT_EQ(Utf8ToCp1252("\xC3"), "?");                          // cut sequence
  EXPECT_EQ(Utf8ToCp1252("\xC0\xAF"), "??");                     // overlong
  EXPECT_EQ(Utf8ToCp1252("\xED\xA0\x80"), "???");                // surrogate
  EXPECT_EQ(FromQString(QString::fromUtf8("\xF0\x9F\x98\x80!")), "?!");
  EXPECT_EQ(FromQString(QString(QChar(0xD800))), "?");
}

TEST(Text, FormattingIsBoundedAndIgnoresTheLocale) {
  char buf[8];
  EXPECT_EQ(FormatC(buf, sizeof buf, "%s", "0123456789"), 10);
  EXPECT_STREQ(buf, "0123456");
  EXPECT_EQ(FormatC(nullptr, 0, "%d", 12345), 5);
  EXPECT_EQ(StrFormatC("%3.4f|%ld|%02i", 0.4975, -5L, 7), "0.4975|-5|07");
  const std::string longText(1000, 'x');
  EXPECT_EQ(StrFormatC("<%s>", longText.c_str()).size(), 1002u);

  testsupport::GermanLocale de;
  if (!de.Active()) GTEST_SKIP() << "no German locale";
  EXPECT_EQ(StrFormatC("%.2f", 0.12), "0.12");
  EXPECT_DOUBLE_EQ(AtofC("0.4975"), 0.4975);
  char* end = nullptr;
  EXPECT_DOUBLE_EQ(StrToDoubleC("16.00 DM", &end), 16.0);
  EXPECT_STREQ(end, " DM");
}

TEST(Text, IntegerParsingSaturatesInsteadOfOverflowing) {
  EXPECT_EQ(AtolC("  -42abc"), -42);
  EXPECT_EQ(AtolC("+7"), 7);
  EXPECT_EQ(AtolC("x1"), 0);
  EXPECT_EQ(AtolC(nullptr), 0);
  EXPECT_EQ(AtolC("99999999999999999999999"), LONG_MAX);
  EXPECT_EQ(AtolC("-99999999999999999999999"), LONG_MIN);
  EXPECT_EQ(AtoiC("99999999999"), INT_MAX);
  EXPECT_EQ(AtoiC("-2147483648"), INT_MIN);
}

TEST(Text, BoundedCopyNeverWritesPastTheField) {
  char field[6];
  std::memset(field, '#', sizeof field);
  EXPECT_EQ(CopyBounded(field, 4, "abcdef"), 3u);
  EXPECT_EQ(std::string(field, 6), std::string("abc\0##", 6));
  EXPECT_EQ(CopyBounded(field, 0, "abc"), 0u);
  EXPECT_EQ(field[0], 'a');
  EXPECT_EQ(CopyBounded(field, 6, nullptr), 0u);
  EXPECT_EQ(field[0], '\0');
}
