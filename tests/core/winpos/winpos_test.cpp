#include <gtest/gtest.h>

#include "tests/support/testsupport.h"

#include <cstring>
#include <ctime>
#include <string>

#include "core/winpos/datetimeformat.h"
#include "core/winpos/titelinfo.h"
#include "core/winpos/wndposition.h"
#include "platform/textid.h"

namespace {

std::string Format(std::time_t t, const char* pattern, std::size_t size = 256) {
  char buf[256];
  std::memset(buf, '#', sizeof buf);
  EXPECT_EQ(FormatDateTime(t, pattern, buf, size), 1);
  return buf;
}

TEST(WndPosition, WritesBothTextFormsWithinTheBuffer) {
  CWndPosition p;
  p.showState = 3;
  p.left = -1200;
  p.top = 20;
  p.right = 300;
  p.bottom = 400;
  EXPECT_EQ(p.ToText(CWndPosition::kRectOnly), "-1200,20,300,400");
  EXPECT_EQ(p.ToText(CWndPosition::kWithShowState), "3:-1200,20,300,400");
  char buf[10];
  std::memset(buf, '#', sizeof buf);
  EXPECT_EQ(p.ToText(buf, 8, 0), 1);
  EXPECT_STREQ(buf, "3:-1200");
  EXPECT_EQ(buf[8], '#');
  EXPECT_EQ(p.ToText(buf + 9, 0, 0), 1);  // nothing written
  EXPECT_EQ(buf[9], '#');
  EXPECT_EQ(p.ToText(nullptr, 5, 0), 1);
}

TEST(WndPosition, ReadsWhatTheTextSuppliesAndKeepsTheRest) {
  CWndPosition p;
  p.FromText("3:10,20,300,400", 0);
  EXPECT_EQ(p.ToText(0), "3:10,20,300,400");
  p.FromText("11:1,2,3,4", 0);  // show state 11 is no show command
  EXPECT_EQ(p.ToText(0), "3:1,2,3,4");
  p.FromText("5:-7,8", 0);
  EXPECT_EQ(p.ToText(0), "5:-7,8,3,4");
  p.FromText("0:9;9,9,9", 0);
  EXPECT_EQ(p.ToText(0), "5:9,8,3,4");
  p.FromText("-1200,-50,0,768", 1);
  EXPECT_EQ(p.ToText(0), "5:-1200,-50,0,768");
  p.FromText("", 1);
  p.FromText(nullptr, 1);
  p.FromText("x", 0);
  EXPECT_EQ(p.ToText(0), "5:-1200,-50,0,768");
  // Each number lands in its 16-bit field as an int-to-short store would.
  p.FromText("70000,99999999999", 1);
  EXPECT_EQ(p.left, static_cast<std::int16_t>(70000));
  EXPECT_EQ(p.top, static_cast<std::int16_t>(2147483647));
}

TEST(DateTimeFormat, TablesEndWithEmptyEntries) {
  int n = 0;
  for (const char* const* p = g_DateFormatNames; **p; ++p) ++n;
  EXPECT_EQ(n, 6);
  n = 0;
  for (const DateTimeFormatPair* p = g_TimeFormats; p->name[0]; ++p) ++n;
  EXPECT_EQ(n, 2);
  EXPECT_STREQ(g_TimeFormatNames[2], "");
  EXPECT_STREQ(FindDateTimePattern("yyyy-mm-dd"), "%Y-%m-%d");
  EXPECT_STREQ(FindDateTimePattern("HH:MM:SS"), "%H:%M:%S");
  EXPECT_EQ(FindDateTimePattern("dd.mm"), nullptr);
  EXPECT_EQ(FindDateTimePattern(""), nullptr);
}

TEST(DateTimeFormat, DayAndHourAreUnpadded) {
  const std::time_t t = testsupport::LocalTime(1999, 3, 5, 8, 7, 9);
  EXPECT_EQ(Format(t, FindDateTimePattern("dd.mm.yy")), "5.03.99");
  EXPECT_EQ(Format(t, FindDateTimePattern("HH:MM:SS")), "8:07:09");
  EXPECT_EQ(Format(t, FindDateTimePattern("yyyy-mm-dd")), "1999-03-5");
  EXPECT_EQ(Format(testsupport::LocalTime(2005, 11, 25, 23, 0, 0), "%m/%d/%Y %H:%M"), "11/25/2005 23:00");
}

TEST(DateTimeFormat, TwelveHourClockAndOtherLetters) {
  EXPECT_EQ(Format(testsupport::LocalTime(2026, 1, 1, 0, 30, 0), "%I %p"), "12 AM");
  EXPECT_EQ(Format(testsupport::LocalTime(2026, 1, 1, 13, 0, 0), "%I %p"), "1 PM");
  EXPECT_EQ(Format(testsupport::LocalTime(2026, 1, 1, 12, 0, 0), "%I %p"), "12 PM");
  const std::time_t t = testsupport::LocalTime(2026, 1, 1, 10, 0, 0);
  EXPECT_EQ(Format(t, "100%%"), "100%");
  EXPECT_EQ(Format(t, "[%A%B%U%W%X%Z%a%b%c%j%w%x]"), "[]");
  EXPECT_EQ(Format(t, "%q%e"), "%q%e");
  EXPECT_EQ(Format(t, "50%"), "50%");  // a lone "%" at the end
  EXPECT_EQ(Format(t, nullptr), "");
}

TEST(DateTimeFormat, OutputIsBoundedByTheWorkTextAndTheBuffer) {
  const std::time_t t = testsupport::LocalTime(2026, 1, 1, 10, 0, 0);
  const std::string pattern(200, 'x');
  EXPECT_EQ(Format(t, (pattern + "%Y").c_str()).size(), 127u);
  EXPECT_EQ(Format(t, (std::string(125, 'x') + "%Y").c_str()), std::string(125, 'x') + "20");
  EXPECT_EQ(Format(t, "%d.%m.%Y", 5), "1.01");
  char guard[2] = {'#', '#'};
  EXPECT_EQ(FormatDateTime(t, "%Y", guard, 0), 1);
  EXPECT_EQ(guard[0], '#');
  EXPECT_EQ(FormatDateTime(t, "%Y", nullptr, 10), 1);
}

const char* GroupFortyFour(int group, int entry) {
  static const char* const texts[] = {"Sehr geehrter Herr", "Herr",  "Sehr geehrte Frau", "Frau",
                                      "Sehr geehrte Damen und Herren", "Firma", "Hallo", "Dr."};
  if (group != 44 || entry < 0 || entry > 7) return nullptr;
  return texts[entry];
}

const char* NoTexts(int, int) { return nullptr; }

TEST(TitelInfo, PairsComeFromTextGroupFortyFour) {
  plat::SetTextSource(&GroupFortyFour);
  CTitelInfo info;
  plat::SetTextSource(&NoTexts);
  EXPECT_EQ(info.GetCount(), 4);
  EXPECT_STREQ(info.GetTitle(0), "Herr");
  EXPECT_STREQ(info.GetTitle(3), "Dr.");
  EXPECT_STREQ(info.GetTitle(4), "");
  EXPECT_STREQ(info.GetTitle(-1), "");
  EXPECT_STREQ(info.TranslateTitle("Frau"), "Sehr geehrte Frau");
  EXPECT_STREQ(info.TranslateTitle("Dr."), "Hallo");
  const char* other = "frau";  // case counts
  EXPECT_EQ(info.TranslateTitle(other), other);
  EXPECT_EQ(info.TranslateTitle(nullptr), nullptr);
}

TEST(TitelInfo, MissingTextsReadAsEmpty) {
  plat::SetTextSource(&NoTexts);
  CTitelInfo info;
  EXPECT_STREQ(info.GetTitle(0), "");
  EXPECT_STREQ(info.TranslateTitle(""), "");
}

}  // namespace
