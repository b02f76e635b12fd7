// The speed-dial store: its file, byte for byte, and dialling through the
// real call handler.
#include <filesystem>

#include "listsrig.h"
#include "platform/profile.h"
#include "tests/support/filefaults.h"

using namespace liststest;

namespace {

const std::string kData = std::string(BRIMLOW_SOURCE_DIR) + "/tests/app/lists/data/";

struct ShortDialTest : ::testing::Test {
  std::string dir = TempDir("sd");
  std::string file = dir + "/sdfn.ini";
  void TearDown() override { std::filesystem::remove_all(dir); }
};

ShortDialEntry Sample() {
  ShortDialEntry e;
  ShortDialEntry::Put(e.company, "M\xfcller & S\xf6hne");
  ShortDialEntry::Put(e.salutation, "Herr");
  ShortDialEntry::Put(e.name, "Maier");
  ShortDialEntry::Put(e.number, "0301234567");
  ShortDialEntry::Put(e.entryText, "Herr Maier");
  ShortDialEntry::Put(e.further, "Einkauf");
  e.external = 1;
  e.recordRef = 1127;
  e.index = 3;
  return e;
}

TEST_F(ShortDialTest, AFreshFileHasTwentyFreeEntries) {
  CShortDialHandler store(file);
  EXPECT_EQ(store.GetEntry(-1), nullptr) << "no current entry at first";
  for (int n = 0; n < CShortDialHandler::kEntries; ++n) {
    EXPECT_EQ(store.GetEntryText(n), "*");
    EXPECT_EQ(store.GetEntryNumber(n), "*");
    EXPECT_EQ(store.GetEntry(n)->set, 0);
  }
  EXPECT_EQ(store.GetEntry(20), store.GetEntry(19)) << "out of range keeps the current entry";
  EXPECT_EQ(store.GetEntryText(20), "*");
  EXPECT_EQ(store.SetEntry(20, Sample()), 0);
  EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(ShortDialTest, SetEntryWritesTheCheckedInFile) {
  CShortDialHandler store(file);
  std::vector<std::string> registered;
  store.registerItem = [&](int item, plat::WindowId w, int kind, const std::string& number) {
    registered.push_back(std::to_string(item) + "/" + std::to_string(w) + "/" + std::to_string(kind) + "/" + number);
  };
  ASSERT_EQ(store.SetEntry(3, Sample()), 0);
  ExpectSameFile(file, kData + "SHRTDIAL.ini");
  EXPECT_EQ(registered, std::vector<std::string>{"3/0/2/0301234567"});
  EXPECT_EQ(store.GetEntryText(3), "Herr Maier");

  CShortDialHandler again(file);
  EXPECT_EQ(again.GetEntryNumber(3), "0301234567");
  EXPECT_EQ(again.GetEntry(3)->external, 1);
  EXPECT_EQ(again.GetEntry(3)->recordRef, 1127);
  EXPECT_STREQ(again.GetEntry(3)->further, "Einkauf");
  EXPECT_STREQ(again.GetEntry(3)->company, "M\xfcller & S\xf6hne");
}

TEST_F(ShortDialTest, TheMonitorTableSectionsStay) {
  {
    std::ofstream f(file, std::ios::binary);
    f << "[MONTAB]\r\nCOUNT=60\r\n[MONTAB-21]\r\nNR=21\r\n";
  }
  CShortDialHandler store(file);
  ASSERT_EQ(store.SetEntry(3, Sample()), 0);
  const std::string text = ReadFile(file);
  EXPECT_EQ(text.rfind("[MONTAB]\r\nCOUNT=60\r\n[MONTAB-21]\r\nNR=21\r\n", 0), 0u);
  EXPECT_EQ(plat::GetProfileText("SHRTDIAL-03", "SP", "", file), "1");
  EXPECT_EQ(plat::GetProfileText("SHRTDIAL-19", "SP", "", file), "0");
}

TEST_F(ShortDialTest, ExternalFlagAsRead) {
  struct Case {
    const char* stored;  // nullptr: no key
    int external;
  };
  const Case cases[] = {{nullptr, 0}, {"0", 0}, {"0x", 0}, {"1", 1}, {"", 1}, {"yes", 1}, {" 0", 0}};
  for (const Case& c : cases) {
    std::filesystem::remove(file);
    plat::WritePrivateProfileString("SHRTDIAL-05", "SP", "1", file.c_str());
    if (c.stored) plat::WritePrivateProfileString("SHRTDIAL-05", "EXT", c.stored, file.c_str());
    CShortDialHandler store(file);
    EXPECT_EQ(store.GetEntry(5)->external, c.external) << (c.stored ? c.stored : "(none)");
  }
}

TEST_F(ShortDialTest, TextsAreCutWhereTheyEnter) {
  ShortDialEntry e = Sample();
  ShortDialEntry::Put(e.name, std::string(300, 'n'));
  ShortDialEntry::Put(e.number, std::string(40, '4'));
  EXPECT_EQ(std::strlen(e.name), 127u);
  EXPECT_EQ(std::strlen(e.number), 23u);
  CShortDialHandler store(file);
  store.SetEntry(7, e);
  CShortDialHandler again(file);
  EXPECT_STREQ(again.GetEntry(7)->name, e.name);
  EXPECT_STREQ(again.GetEntry(7)->number, e.number);
  // A file written by hand is cut as it is read.
  plat::WritePrivateProfileString("SHRTDIAL-08", "NR", std::string(40, '5').c_str(), file.c_str());
  CShortDialHandler third(file);
  EXPECT_EQ(third.GetEntry(8)->number, std::string(23, '5'));
}

TEST_F(ShortDialTest, AFailedSaveIsReported) {
  CShortDialHandler store(file);
  ASSERT_EQ(store.SetEntry(1, Sample()), 0);
  const std::string before = ReadFile(file);
  int registered = 0;
  store.registerItem = [&](int, plat::WindowId, int, const std::string&) { ++registered; };
  ShortDialEntry changed = Sample();
  ShortDialEntry::Put(changed.entryText, "Neu");
  testsupport::FileFault fault(plat::io::Op::Rename, 1);
  EXPECT_EQ(store.SetEntry(2, Sample()), -1);
  EXPECT_EQ(store.SetEntry(1, changed), 0);  // the second rename goes through
  EXPECT_EQ(fault.Failed(), 1);
  // Entry 2 stays free, as the file had it; entry 1 took its change.
  EXPECT_EQ(store.GetEntryText(2), "*");
  EXPECT_EQ(store.GetEntry(2)->set, 0);
  EXPECT_EQ(CShortDialHandler(file).GetEntryText(2), "*");
  EXPECT_EQ(CShortDialHandler(file).GetEntryText(1), "Neu");
  EXPECT_NE(ReadFile(file), before);
  EXPECT_EQ(registered, 1);
}

struct DialTest : ShortDialTest {
  Rig r;
  CShortDialHandler store{file};
  void SetUp() override {
    store.callHandler = &r.handler;
    r.handler.speedDial = &store;
    ShortDialEntry e = Sample();
    store.SetEntry(1, e);
    ShortDialEntry::Put(e.number, "22");
    store.SetEntry(2, e);
  }
};

TEST_F(DialTest, OneSpeedDialCallAtATime) {
  EXPECT_EQ(store.DialEntry(5), CShortDialHandler::kNotSet);
  EXPECT_EQ(store.DialEntry(25), CShortDialHandler::kNotSet);
  EXPECT_TRUE(r.NewCalls().empty());
  EXPECT_EQ(store.DialEntry(1), CShortDialHandler::kDialling);
  EXPECT_EQ(r.NewCalls(), std::vector<std::string>{"301234567"});
  EXPECT_EQ(r.Current()->calledName, "Herr Maier");
  EXPECT_EQ(r.Current()->external, 1);
  EXPECT_EQ(store.DialEntry(1), CShortDialHandler::kPendingSame);
  EXPECT_EQ(store.DialEntry(2), CShortDialHandler::kBusy);
  EXPECT_TRUE(r.NewCalls().empty());
  // The end of the call lets the keys go.
  r.HangUp();
  EXPECT_EQ(store.IsPending(), 0);
  EXPECT_EQ(store.DialEntry(2), CShortDialHandler::kDialling);
  EXPECT_EQ(r.NewCalls(), std::vector<std::string>{"22"});
}

TEST_F(DialTest, ABusyLineOrNoHandsetDialsNothing) {
  CCallInfo* other = r.handler.GetFreeCall(12);
  other->calledNumber = "30";
  r.handler.MakeCall(other, 12);
  r.NewCalls();
  EXPECT_EQ(store.DialEntry(1), CShortDialHandler::kBusy);
  r.HangUp();
  GlobalConfig().GDOH = 0;
  r.prompt.answers = {plat::IDCANCEL};
  EXPECT_EQ(store.DialEntry(1), CShortDialHandler::kNoHandset);
  EXPECT_TRUE(r.NewCalls().empty());
  EXPECT_EQ(store.IsPending(), 0);
}

TEST_F(DialTest, ARefusedRequestLeavesNoMarkAndNoRecords) {
  r.link.refuse = true;
  r.handler.PurgeReleasedCalls();
  const std::size_t pool = r.handler.PoolSize();
  for (int i = 0; i < 5; ++i) EXPECT_EQ(store.DialEntry(1), CShortDialHandler::kNotDialled);
  EXPECT_EQ(store.IsPending(), 0);
  r.handler.PurgeReleasedCalls();
  EXPECT_LE(r.handler.PoolSize(), pool + 1) << "only the last dialled record is kept for redial";
  r.link.refuse = false;
  EXPECT_EQ(store.DialEntry(1), CShortDialHandler::kDialling);
}

}  // namespace
