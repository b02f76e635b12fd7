// The extension and group sections of the charge-counter file: keys,
// order, defaults, escapes and members, against the bytes in the file.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "charges/counter/sumchargerecords.h"
#include "platform/profile.h"

namespace {

std::string ReadAll(const std::string& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class CounterRecords : public ::testing::Test {
 protected:
  std::string File() const { return dir.filePath("sumcharge.ini").toStdString(); }
  void Write(const std::string& text) {
    std::ofstream out(File(), std::ios::binary);
    out << text;
  }
  QTemporaryDir dir;
};

TEST_F(CounterRecords, EscapesGoBothWaysAndKeepBackslashes) {
  struct Case {
    const char* plain;
    const char* stored;
  } cases[] = {
      {"C:\\new", "C:\\\\new"},
      {"a\tb\r\nc", "a\\tb\\r\\nc"},
      {"\\r is no break", "\\\\r is no break"},
      {"ends in \\", "ends in \\\\"},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(sumcharge::Escape(c.plain), c.stored) << c.plain;
    EXPECT_EQ(sumcharge::Unescape(c.stored), c.plain) << c.stored;
  }
  // Texts written before backslashes were escaped: a lone one stays.
  EXPECT_EQ(sumcharge::Unescape("C:\\x\\"), "C:\\x\\");
}

TEST_F(CounterRecords, ExtensionSectionIsWrittenInItsKeyOrder) {
  SumChargeExtension e("21");
  e.token = "21";
  e.name = "Zimmer 21";
  e.group = 2;
  e.lastReset = 1700000000;
  e.lastSum = -3;
  e.SetComment("C:\\new\tx\r\ny");
  e.showCheckIn = 1;
  e.printAsReceipt = 1;
  e.SetReceiver("Firma\r\nStrasse 1");
  ASSERT_TRUE(e.Save(File()));
  EXPECT_EQ(ReadAll(File()),
            "[21]\r\nIntNumber=21\r\nInternalName=Zimmer 21\r\nIDToken=21\r\nComment=C:\\\\new\\tx\\r\\ny\r\n"
            "Group=2\r\nLastSum=-3\r\nLastReset=1700000000\r\nDoDisplay=1\r\nShowCheckIn=1\r\n"
            "Receiver=Firma\\r\\nStrasse 1\r\nPrintAsReceipt=1\r\n");
  SumChargeExtension back("21");
  ASSERT_EQ(back.Load(File()), 1);
  EXPECT_EQ(back.comment, e.comment);
  EXPECT_EQ(back.receiver, e.receiver);
  EXPECT_EQ(back.lastSum, -3);
  EXPECT_EQ(back.lastReset, 1700000000);
  EXPECT_EQ(back.group, 2);
  EXPECT_EQ(back.printAsReceipt, 1);
  EXPECT_EQ(back.item, -1);
}

TEST_F(CounterRecords, LongCommentWithBreaksComesBackWhole) {
  // Every character a line break: the stored text is twice as long.
  SumChargeExtension e("30");
  e.SetComment(std::string(SumChargeExtension::kMaxText, '\n'));
  e.SetReceiver(std::string(2000, 'r'));
  ASSERT_TRUE(e.Save(File()));
  SumChargeExtension back("30");
  ASSERT_EQ(back.Load(File()), 1);
  EXPECT_EQ(back.comment, e.comment);
  EXPECT_EQ(back.receiver.size(), SumChargeExtension::kMaxText);
}

TEST_F(CounterRecords, LoadOfSectionsWithMissingOrOddValues) {
  Write("[21]\r\nInternalName=ohne Nummer\r\n"
        "[22]\r\nIntNumber=22\r\n"
        "[23]\r\nIntNumber=23\r\nLastSum=99999\r\nGroup=-70000\r\nDoDisplay=x\r\nLastReset=9999999999\r\n"
        "[24]\r\nIntNumber=\r\n");
  struct Case {
    const char* number;
    int loaded;
    int lastSum, group, doDisplay;
    std::int32_t lastReset;
  } cases[] = {
      {"21", 0, 0, 0, 1, 0},
      {"22", 1, 0, 0, 1, 0},
      {"23", 1, 32767, -32768, 0, 2147483647},
      {"24", 0, 0, 0, 1, 0},
      {"25", 0, 0, 0, 1, 0},
  };
  for (const Case& c : cases) {
    SumChargeExtension e(c.number);
    EXPECT_EQ(e.Load(File()), c.loaded) << c.number;
    EXPECT_EQ(e.number, c.number);
    EXPECT_EQ(e.lastSum, c.lastSum) << c.number;
    EXPECT_EQ(e.group, c.group) << c.number;
    EXPECT_EQ(e.doDisplay, c.doDisplay) << c.number;
    EXPECT_EQ(e.lastReset, c.lastReset) << c.number;
  }
}

TEST_F(CounterRecords, GroupMembersJoinOnceAndRoundTrip) {
  SumChargeGroup g;
  g.groupId = 4;
  g.shortName = "Etage 1";
  g.description = "Erdgeschoss";
  SumChargeExtension a("21"), b("22");
  EXPECT_EQ(g.AddMember(a), 1);
  EXPECT_EQ(g.AddMember(b), 1);
  EXPECT_EQ(g.AddMember(a), 0);
  EXPECT_EQ(a.group, 4);
  EXPECT_EQ(g.GetMember(1), "22");
  EXPECT_EQ(g.GetMember(2), "");
  {
    plat::ProfileBatch batch(File());
    EXPECT_EQ(g.Save(batch, ""), 0);
    EXPECT_EQ(g.Save(batch, "Group_00"), 1);
    ASSERT_TRUE(batch.Commit());
  }
  EXPECT_EQ(ReadAll(File()), "[Group_00]\r\nGroupID=4\r\nShortName=Etage 1\r\nDescription=Erdgeschoss\r\nMembers=21;22\r\n");

  struct Case {
    const char* members;
    std::vector<std::string> want;
  } cases[] = {{"", {}}, {"21;;22;", {"21", "22"}}, {"21;21;30", {"21", "30"}}, {"5", {"5"}}};
  for (const Case& c : cases) {
    Write(std::string("[G]\r\nGroupID=1\r\nMembers=") + c.members + "\r\n");
    SumChargeGroup r;
    ASSERT_EQ(r.Load(File(), "G"), 1) << c.members;
    EXPECT_EQ(r.members, c.want) << c.members;
  }
  SumChargeGroup none;
  EXPECT_EQ(none.Load(File(), ""), 0);
  EXPECT_EQ(none.Load(File(), "Group_07"), 0);
}

}  // namespace
