#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/base/globalconfig.h"
#include "core/calls/callinfo.h"
#include "core/monitor/monitortable.h"
#include "platform/eventloop.h"
#include "platform/profile.h"

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class MonitorTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("monitor_test_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    file_ = dir_ / "short.dat";
    GlobalConfig().SDFN = file_.string();
    GlobalConfig().MCTO = 1;
    plat::SetEventLoop(&loop_);
  }
  void TearDown() override {
    plat::SetEventLoop(nullptr);
    GlobalConfig().SDFN.clear();
    fs::remove_all(dir_);
  }
  std::string Get(const char* sec, const char* key) {
    return plat::GetProfileText(sec, key, "<none>", file_.string());
  }
  plat::ManualLoop loop_;
  fs::path dir_, file_;
};

struct Requests : IMonitorRequester {
  std::vector<std::string> asked;
  int SendMonitorRequest(const std::string& number, int start) override {
    if (start) asked.push_back(number);
    return 1;
  }
};

}  // namespace

TEST_F(MonitorTableTest, FreshTableSavesItsSectionsBesideTheSpeedDialOnes) {
  const char* f = nullptr;
  std::string path = file_.string();
  f = path.c_str();
  plat::WritePrivateProfileString("SHRTDIAL-00", "FM", "Firma", f);
  plat::WritePrivateProfileString("SHRTDIAL-00", "NR", "0621", f);
  std::string before = ReadFile(file_);
  {
    CMonitorTable t;
    EXPECT_EQ(t.Save(), 1);
  }
  // The speed-dial section stands unchanged at the head of the file.
  std::string after = ReadFile(file_);
  ASSERT_EQ(after.substr(0, before.size()), before);
  for (int i = 10; i <= 69; ++i) {
    std::string sec = "MONTAB-" + std::to_string(i);
    EXPECT_EQ(Get(sec.c_str(), "INTNUMBER"), std::to_string(i));
    EXPECT_EQ(Get(sec.c_str(), "MONON"), "0");
    EXPECT_EQ(Get(sec.c_str(), "MONSTAT"), "0");
    EXPECT_EQ(Get(sec.c_str(), "TITEL"), "");
    EXPECT_EQ(Get(sec.c_str(), "NAME"), "");
  }
  EXPECT_EQ(Get("MONTAB-70", "INTNUMBER"), "<none>");
  EXPECT_EQ(Get("MONTAB", "MAINPHONE"), "");
  EXPECT_EQ(Get("MONTAB", "COLLPHONE"), "");
  EXPECT_EQ(Get("MONTAB", "INTNUMLENGTH"), "2");

  // A speed-dial section written later leaves the table's sections alone,
  // and the table, saved again, leaves it alone.
  std::string tableText = ReadFile(file_);
  plat::WritePrivateProfileString("SHRTDIAL-01", "NR", "22", f);
  std::string withDial = ReadFile(file_);
  ASSERT_EQ(withDial.substr(0, tableText.size()), tableText);
  { CMonitorTable t; }
  EXPECT_EQ(ReadFile(file_), withDial);
}

TEST_F(MonitorTableTest, LoadKeepsSlotSectionsAndMainPhone) {
  {
    CMonitorTable t;
    CMonitorEntry e;
    e.SetNumber("21");
    e.title = "Herr";
    e.name = "X";
    e.watchMode = 2;
    ASSERT_EQ(t.SetEntry(e), 1);
    t.EntryAt(12)->SetNumber("122");  // a renumbered slot keeps its section
    t.EntryAt(13)->monitoringOn = 1;  // watch mode 0: saved with MONON 0
    ASSERT_EQ(t.SetMainPhone("21"), 1);
  }
  EXPECT_EQ(Get("MONTAB-21", "TITEL"), "Herr");
  EXPECT_EQ(Get("MONTAB-21", "MONON"), "1");
  EXPECT_EQ(Get("MONTAB-21", "MONSTAT"), "2");
  EXPECT_EQ(Get("MONTAB-21", "INTNUMBER"), "21");
  EXPECT_EQ(Get("MONTAB-22", "INTNUMBER"), "122");
  EXPECT_EQ(Get("MONTAB-23", "MONON"), "0");
  EXPECT_EQ(Get("MONTAB", "MAINPHONE"), "21");

  CMonitorTable t;
  CMonitorEntry* e = t.FindByNumber("21");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->name, "X");
  EXPECT_EQ(e->watchMode, 2u);
  EXPECT_EQ(t.GetMainPhone(), "21");
  EXPECT_EQ(t.MainPhoneEntry(), e);
  EXPECT_EQ(t.FindByNumber("122"), t.EntryAt(12));
  EXPECT_EQ(t.FindByNumber("22"), nullptr);
  EXPECT_EQ(t.InternalNumberLength(), 2);
}

TEST_F(MonitorTableTest, NumberKeysCompareAsDigitStrings) {
  CMonitorTable t;
  CMonitorEntry* e21 = t.EntryAt(11);
  EXPECT_EQ(t.FindByNumber("21"), e21);
  EXPECT_EQ(t.FindByNumber("021"), e21);
  EXPECT_EQ(t.FindByNumber("21 - Herr X"), e21);
  EXPECT_EQ(t.IsKnownNumber("021"), 1);
  EXPECT_EQ(t.FindByNumber(" 21"), nullptr);
  EXPECT_EQ(t.FindByNumber(""), nullptr);
  EXPECT_EQ(t.FindByNumber("-21"), nullptr);
  EXPECT_EQ(t.FindByNumber("123456789012345678901234567890"), nullptr);
  EXPECT_EQ(t.IsKnownNumber("123456789012345678901234567890"), 0);
  EXPECT_EQ(t.FindByNumber("4294967317"), nullptr);  // 2^32 + 21
  EXPECT_EQ(CMonitorTable::NumberKey("000"), "0");
  e21->SetNumber("0021");
  EXPECT_EQ(t.FindByNumber("21"), e21);
  EXPECT_EQ(t.GetCrossRefId("99"), 0u);
}

TEST_F(MonitorTableTest, TimeOutRunsOnTheMonotonicMilliseconds) {
  CMonitorTable t;
  EXPECT_EQ(t.WaitForConfirmation(0), 0);  // nothing in progress
  t.EntryAt(0)->monitoringOn = 1;
  t.EntryAt(1)->monitoringOn = 1;
  t.SetMode(CMonitorTable::kStarting);
  loop_.Advance(600);
  EXPECT_EQ(t.NextToMonitor(), "10");
  EXPECT_EQ(t.EntryAt(0)->monitorState, 1u);
  loop_.Advance(399);  // across a whole-second boundary
  EXPECT_EQ(t.WaitForConfirmation(0), 1);
  loop_.Advance(600);
  EXPECT_EQ(t.WaitForConfirmation(0), 1);
  loop_.Advance(1);
  EXPECT_EQ(t.WaitForConfirmation(0), 0);
  EXPECT_EQ(t.EntryAt(0)->monitorState, 3u);

  // An answer ends the wait at once.
  EXPECT_EQ(t.NextToMonitor(), "11");
  t.EntryAt(1)->monitorState = CMonitorEntry::kMonitored;
  t.EntryAt(1)->crossRefId = 77;
  EXPECT_EQ(t.WaitForConfirmation(0), 0);
  EXPECT_EQ(t.NextToMonitor(), "");
  EXPECT_EQ(t.CountMonitored(), 1);
  EXPECT_EQ(t.IsKnownCrossRefId(12345), 1);  // any id while starting
  t.SetMode(CMonitorTable::kIdle);
  EXPECT_EQ(t.IsKnownCrossRefId(12345), 0);
  EXPECT_EQ(t.IsKnownCrossRefId(77), 1);
  EXPECT_EQ(t.IsKnownCrossRefId(0), 1);

  t.SetMode(CMonitorTable::kStopping);
  EXPECT_EQ(t.NextToMonitor(), "11");
  EXPECT_EQ(t.EntryAt(1)->monitorState, 4u);
  EXPECT_EQ(t.WaitForConfirmation(1), 1);
  loop_.Advance(1000);
  EXPECT_EQ(t.WaitForConfirmation(1), 0);
  EXPECT_EQ(t.EntryAt(1)->monitorState, 5u);
}

TEST_F(MonitorTableTest, SetEntryCarriesTheTitleAndStartsMonitoring) {
  CMonitorTable t;
  Requests req;
  t.SetPartner(&req);
  CMonitorEntry e;
  e.SetNumber("23");
  e.title = "Frau";
  e.name = "Y";
  e.watchMode = 3;
  ASSERT_EQ(t.SetEntry(e), 1);
  CMonitorEntry* s = t.FindByNumber("23");
  EXPECT_EQ(s->title, "Frau");
  EXPECT_EQ(s->watchMode, 3u);
  EXPECT_EQ(s->monitoringOn, 1u);
  EXPECT_EQ(s->monitorState, 1u);
  EXPECT_EQ(t.GetMode(), CMonitorTable::kStartingOne);
  ASSERT_EQ(req.asked.size(), 1u);
  EXPECT_EQ(req.asked[0], "23");
  // Asked once only: monitoring was already on.
  t.SetMode(CMonitorTable::kIdle);
  t.SetEntry(e);
  EXPECT_EQ(req.asked.size(), 1u);
  e.SetNumber("99");
  EXPECT_EQ(t.SetEntry(e), 0);
}

TEST_F(MonitorTableTest, TextsAndFilters) {
  CMonitorTable t;
  CMonitorEntry* a = t.EntryAt(0);
  a->title = "Herr";
  a->name = "A";
  a->monitoringOn = 1;
  CMonitorEntry* b = t.EntryAt(1);
  b->name = "B";
  b->connectionState = 3;
  b->SetOtherParty("0621123456789012345678901234567890");
  EXPECT_EQ(b->OtherParty(), "0621123456789012345");
  EXPECT_EQ(t.EntryText(a, false), "Herr A (10)");
  EXPECT_EQ(t.EntryText(a, true), "Herr A");
  EXPECT_EQ(t.EntryText(t.EntryAt(2), false), "12");
  EXPECT_EQ(t.NameOf("10", 1), "Herr A");
  EXPECT_EQ(t.NameOf("11", 1), " B");
  EXPECT_EQ(t.NameOf("12", 1), "");
  EXPECT_EQ(t.NameOf("10", 0), "A");

  t.ResetCursor();
  EXPECT_EQ(t.Next(0, false, false), "10 - Herr A");
  EXPECT_EQ(t.Next(0, false, false), "11 - B");
  EXPECT_EQ(t.Next(0, false, false), "12");
  t.ResetCursor();
  EXPECT_EQ(t.Next(1, true, false), "10");
  EXPECT_EQ(t.Next(1, true, false), "");
  EXPECT_EQ(t.Next(1, true, false), "");  // until the cursor is reset
  t.ResetCursor();
  EXPECT_EQ(t.Next(2, false, true), "B (11)\t<-> 0621123456789012345");

  char buf[128];
  EXPECT_EQ(t.GetField("10", 4, buf, sizeof buf, 0), 0);
  EXPECT_STREQ(buf, "Herr A");
  EXPECT_EQ(t.GetField("10", 17, buf, sizeof buf, 0), 4);
  EXPECT_EQ(t.GetField("99", 1, buf, sizeof buf, 0), 4);
  char small[4];
  EXPECT_EQ(t.GetField("10", 4, small, sizeof small, 0), 0);
  EXPECT_STREQ(small, "Her");
  EXPECT_EQ(t.SetField("10", 5, "3"), 0);
  EXPECT_EQ(a->watchMode, 3u);
  EXPECT_EQ(t.SetField("10", 5, "9"), 0);
  EXPECT_EQ(a->watchMode, 3u);
  t.GetField("10", 5, buf, sizeof buf, 0);
  EXPECT_STREQ(buf, "3");
  CCallInfo call;
  call.direction = 1;
  call.callingNumber = "0621";
  call.calledNumber = "10";
  a->currentCall = &call;
  t.GetField("10", 14, buf, sizeof buf, 0);
  EXPECT_STREQ(buf, "0621 -> 10");
  EXPECT_EQ(t.Navigate(3), "69");
  EXPECT_EQ(t.Navigate(1), "69");
  EXPECT_EQ(t.Navigate(2), "68");
  EXPECT_EQ(t.GetNumberAt(60), "");
  EXPECT_EQ(t.SetShownCount(20), 20);
  EXPECT_EQ(t.SetShownCount(60), 20);
  EXPECT_EQ(t.Navigate(3), "29");
}
