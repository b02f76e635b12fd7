// The program keys' command line and the assistant's clock text.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "app/callwin/assistantclock.h"
#include "app/callwin/programline.h"
#include "tests/support/testsupport.h"

namespace {

struct LineCase {
  const char* setting;
  const char* number;
  bool ok;
  std::string program;
  std::vector<std::string> args;
  bool refused;
};

TEST(ProgramLine, SplitsAndSubstitutesOnlyDialStrings) {
  const LineCase cases[] = {
      {"", "0301234", false, "", {}, false},
      {"   \t ", "0301234", false, "", {}, false},
      {"\"\" x", "1", false, "", {}, false},
      {"crm", "0301234", true, "crm", {}, false},
      {"crm %RemoteNumber%", "0301234567", true, "crm", {"0301234567"}, false},
      {"crm --caller=%RemoteNumber%", "+49*30#1", true, "crm", {"--caller=+49*30#1"}, false},
      // Only the first token is replaced, as the setting always did.
      {"crm %RemoteNumber% %RemoteNumber%", "22", true, "crm", {"22", "%RemoteNumber%"}, false},
      {"\"/opt/My Tool/crm\" \"Anruf von %RemoteNumber%\"", "21", true, "/opt/My Tool/crm", {"Anruf von 21"}, false},
      {"c:\\tools\\crm.exe /n %RemoteNumber%", "21", true, "c:\\tools\\crm.exe", {"/n", "21"}, false},
      {"crm \"\" x", "21", true, "crm", {"", "x"}, false},
      // A number from the PBX is never a command.
      {"sh -c \"echo %RemoteNumber%\"", "123;rm -rf ~", true, "sh", {"-c", "echo "}, true},
      {"crm %RemoteNumber%", "$(id)", true, "crm", {""}, true},
      {"crm %RemoteNumber%", "12 34", true, "crm", {""}, true},
      {"crm %RemoteNumber%", "", true, "crm", {""}, false},
      // The token in the program's name stays as it is.
      {"%RemoteNumber% x", "21", true, "%RemoteNumber%", {"x"}, false},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(std::string(c.setting) + " | " + c.number);
    ProgramCommand cmd;
    EXPECT_EQ(BuildProgramCommand(c.setting, c.number, &cmd), c.ok);
    EXPECT_EQ(cmd.program, c.program);
    EXPECT_EQ(cmd.args, c.args);
    EXPECT_EQ(cmd.numberRefused, c.refused);
  }
}

// The clock shows the plain local time: no zone offset or summer hour
// added on top of what the C library already applied.
class Clock : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tz = std::getenv("TZ");
    hadTz_ = tz != nullptr;
    if (tz) oldTz_ = tz;
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
  }
  void TearDown() override {
    if (hadTz_) setenv("TZ", oldTz_.c_str(), 1);
    else unsetenv("TZ");
    tzset();
  }
  bool hadTz_ = false;
  std::string oldTz_;
};

TEST_F(Clock, ShowsTheLocalTimeInWinterSummerAndBothNights) {
  struct Case {
    std::time_t utc;
    const char* date;
    const char* time;
  };
  const Case cases[] = {
      {1768219200, "12.01.2026", "13:00:00"},  // 12:00 UTC in winter
      {1783857600, "12.07.2026", "14:00:00"},  // 12:00 UTC in summer
      {1783809000, "12.07.2026", "0:30:00"},   // 22:30 UTC: half past midnight
      {1774742400, "29.03.2026", "1:00:00"},   // spring night: 00:00 UTC is 01:00 UTC+1 ...
      {1774747800, "29.03.2026", "3:30:00"},   // ... then 01:30 UTC is 03:30 UTC+2
      {1792886400, "25.10.2026", "2:00:00"},   // autumn night: 00:00 UTC is 02:00 UTC+2
      {1792893600, "25.10.2026", "3:00:00"},   // 02:00 UTC is 03:00 UTC+1
      {1798757999, "31.12.2026", "23:59:59"},  // the last second of the year
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.utc);
    const ClockText t = FormatClock(c.utc);
    EXPECT_EQ(t.date, c.date);
    EXPECT_EQ(t.time, c.time);
  }
}

TEST_F(Clock, NoonByTheCalendarIsNoonOnTheClock) {
  for (int month : {1, 7}) {
    const ClockText t = FormatClock(testsupport::LocalTime(2026, month, 15, 12, 0, 0));
    EXPECT_EQ(t.time, "12:00:00") << month;
    EXPECT_EQ(t.date, month == 1 ? "15.01.2026" : "15.07.2026");
  }
}

}  // namespace
