// The callback list's file, its entries' marks and its partners: the call
// handler's clear path and the view's hub.
#include <filesystem>

#include "listsrig.h"
#include "platform/profile.h"
#include "tests/support/filefaults.h"

using namespace liststest;

namespace {

const std::string kData = std::string(BRIMLOW_SOURCE_DIR) + "/tests/app/lists/data/";

struct CallbackListTest : ::testing::Test {
  std::string dir = TempDir("cbl");
  std::string file = dir + "/cblist.ini";
  void TearDown() override { std::filesystem::remove_all(dir); }
};

// Three entries that use every stored field.
void FillFixedList(Rig& r) {
  CCallInfo* a = r.Entry("0301234567", 2, 3, Tod(9), Tod(17));
  a->calledCompany = "M\xfcller & S\xf6hne";
  a->calledName = "Herr Maier";
  a->callingNumber = "21";
  a->callbackCriterion = 1;
  a->callbackCount = 1;
  a->callbackMaximum = 5;
  a->callbackInterval = 600;
  a->external = 1;
  CCallInfo* b = r.Entry("22", 4, 5, Tod(10, 30), Tod(10, 32));
  b->callbackCriterion = 2;
  b->callbackDate = 2000000000;
  CCallInfo* c = r.Entry("0407777", 0, 0);
  c->direction = CCallInfo::kIncoming;
  c->callingNumber = "0407777";
  c->callingName = "Frau Schulz";
  c->calledNumber = "21";
  c->callbackCriterion = 3;
}

TEST_F(CallbackListTest, FixedListSavesTheCheckedInFileAndLoadsItBack) {
  Rig r;
  FillFixedList(r);
  ASSERT_EQ(r.list.Save(file), 1);
  ExpectSameFile(file, kData + "CBLIST.ini");

  Rig again;
  again.list.Load(kData + "CBLIST.ini");
  ASSERT_EQ(again.list.GetCount(), 3);
  EXPECT_EQ(again.list.GetCall(1)->calledCompany, "M\xfcller & S\xf6hne");
  EXPECT_EQ(again.list.GetCall(2)->callbackTimeEnd, Tod(10, 32));
  std::filesystem::remove(file);
  ASSERT_EQ(again.list.Save(file), 1);
  ExpectSameFile(file, kData + "CBLIST.ini");
}

TEST_F(CallbackListTest, ACountThatLiesReadsOnlyTheSectionsThere) {
  {
    std::ofstream f(file, std::ios::binary);
    f << "[CBLIST]\r\nLC=2147483647\r\n[CBLIST-2]\r\nCEDNUM=23\r\n[CBLIST-01]\r\nCEDNUM=99\r\n"
         "[cblist-1]\r\nCEDNUM=22\r\nCTINTV=60\r\n";
  }
  Rig r;
  r.list.Load(file);
  ASSERT_EQ(r.list.GetCount(), 2);
  EXPECT_EQ(r.list.GetCall(1)->calledNumber, "22");
  EXPECT_EQ(r.list.GetCall(1)->callbackInterval, 60);
  EXPECT_EQ(r.list.GetCall(2)->calledNumber, "23");

  // A missing section is not an empty entry; a count below the sections
  // leaves the rest unread.
  {
    std::ofstream f(file, std::ios::binary | std::ios::trunc);
    f << "[CBLIST]\r\nLC=3\r\n[CBLIST-1]\r\nCEDNUM=22\r\n[CBLIST-3]\r\nCEDNUM=24\r\n[CBLIST-4]\r\nCEDNUM=25\r\n";
  }
  Rig s;
  s.list.Load(file);
  ASSERT_EQ(s.list.GetCount(), 2);
  EXPECT_EQ(s.list.GetCall(2)->calledNumber, "24");
}

TEST_F(CallbackListTest, ModeTwoDatesAtLoad) {
  // Yesterday's entry is dropped, today's "today" (23:59:59) survives a
  // restart at 17:00, other modes forget their date.
  {
    plat::ProfileBatch b(file);
    b.Write("CBLIST", "LC", "3");
    b.Write("CBLIST-1", "CEDNUM", "22");
    b.Write("CBLIST-1", "CECRI", "2");
    b.Write("CBLIST-1", "CTIDA", std::to_string(At(23, 59, 59, -1)).c_str());
    b.Write("CBLIST-2", "CEDNUM", "23");
    b.Write("CBLIST-2", "CECRI", "2");
    b.Write("CBLIST-2", "CTIDA", std::to_string(At(23, 59, 59)).c_str());
    b.Write("CBLIST-3", "CEDNUM", "24");
    b.Write("CBLIST-3", "CECRI", "0");
    b.Write("CBLIST-3", "CTIDA", "12345");
    ASSERT_TRUE(b.Commit());
  }
  Rig r;
  r.AdvanceTo(At(17, 0, 0));
  const std::size_t pool = r.handler.PoolSize();
  r.list.Load(file);
  ASSERT_EQ(r.list.GetCount(), 2);
  EXPECT_EQ(r.list.GetCall(1)->calledNumber, "23");
  EXPECT_EQ(r.list.GetCall(1)->callbackDate, At(23, 59, 59));
  EXPECT_EQ(r.list.GetCall(2)->callbackDate, 0);
  r.handler.PurgeReleasedCalls();
  EXPECT_EQ(r.handler.PoolSize(), pool + 2);
}

TEST_F(CallbackListTest, SaveDropsTheSectionsOfALongerList) {
  Rig r;
  r.Entry("22");
  r.Entry("23");
  ASSERT_EQ(r.list.Save(file), 1);
  r.list.RemoveEntry(r.list.GetCall(2));
  ASSERT_EQ(r.list.Save(file), 1);
  EXPECT_EQ(ReadFile(file).find("CBLIST-2"), std::string::npos);
  EXPECT_EQ(plat::GetProfileText("CBLIST", "LC", "", file), "1");
}

TEST_F(CallbackListTest, AFailedSaveSaysSoAndLeavesTheFile) {
  Rig r;
  r.Entry("22");
  ASSERT_EQ(r.list.Save(file), 1);
  const std::string before = ReadFile(file);
  r.Entry("23");
  for (plat::io::Op op : {plat::io::Op::Write, plat::io::Op::Fsync, plat::io::Op::Rename}) {
    testsupport::FileFault fault(op, 1);
    EXPECT_EQ(r.list.Save(file), 0);
    EXPECT_EQ(ReadFile(file), before);
  }
}

// A list of 200 saved over a list of 3, killed at each sync and rename.
TEST_F(CallbackListTest, AKilledSaveLeavesTheOldListOrTheNew) {
  auto fill = [](Rig& r, int n, const char* prefix) {
    for (int i = 0; i < n; ++i) r.Entry(prefix + std::to_string(i), i % 5);
  };
  {
    Rig r;
    fill(r, 3, "030");
    ASSERT_EQ(r.list.Save(file), 1);
  }
  const std::string before = ReadFile(file);
  const std::string newFile = dir + "/new.ini";
  std::filesystem::copy_file(file, newFile);
  {
    Rig r;
    fill(r, 200, "040");
    ASSERT_EQ(r.list.Save(newFile), 1);
  }
  const std::string after = ReadFile(newFile);
  bool sawOld = false, sawNew = false;
  for (int nth = 1; nth <= 4; ++nth) {
    std::filesystem::copy_file(newFile, dir + "/scratch", std::filesystem::copy_options::overwrite_existing);
    {
      std::ofstream f(file, std::ios::binary | std::ios::trunc);
      f << before;
    }
    bool killed = testsupport::RunChild(
        [&] {
          Rig r;
          fill(r, 200, "040");
          testsupport::KillAtOp kill(nth);
          r.list.Save(file);
        },
        0);
    const std::string now = ReadFile(file);
    EXPECT_TRUE(now == before || now == after) << "kill at op " << nth;
    sawOld |= killed && now == before;
    sawNew |= now == after;
    Rig back;
    back.list.Load(file);
    EXPECT_TRUE(back.list.GetCount() == 3 || back.list.GetCount() == 200);
  }
  EXPECT_TRUE(sawOld);
  EXPECT_TRUE(sawNew);
}

TEST(CallbackList, NewEntriesAreOutgoingForTheirCodes) {
  Rig r;
  for (int code : {13, 18, 23, 25, 26, 27, 31}) {
    CCallInfo* c = r.list.NewCallFor(code);
    ASSERT_NE(c, nullptr) << code;
    EXPECT_EQ(c->direction, CCallInfo::kOutgoing);
    c->Release();
  }
  for (int code : {10, 12, 16, 17, 24, 28}) EXPECT_EQ(r.list.NewCallFor(code), nullptr) << code;
  r.list.callHandler = nullptr;
  EXPECT_EQ(r.list.NewCallFor(18), nullptr);
  ASSERT_EQ(r.boxes.shown.size(), 1u);
  EXPECT_EQ(r.boxes.shown[0].text, "T47.11");
}

TEST(CallbackList, RemovingAnEntryClearsItsMarks) {
  Rig r;
  GlobalConfig().TB2C = 0;
  r.AdvanceTo(At(10, 0, 0));
  CCallInfo* a = r.Entry("22");
  r.list.SetRunning(1);
  EXPECT_EQ(r.list.SelectNextEntry(), a);
  EXPECT_EQ(r.list.Candidate(), a);
  EXPECT_EQ(r.list.RemoveByText("\t\t22"), 1);
  EXPECT_EQ(r.list.Candidate(), nullptr);
  EXPECT_EQ(a->connectedMark, -1);

  // Deleted while it is dialled: the end neither counts a stranger nor
  // keeps the record out of the purge.
  CCallInfo* b = r.Entry("23");
  CCallInfo* c = r.Entry("24");
  r.list.AutomationStep();
  ASSERT_EQ(r.list.CallInProgress(), b);
  r.list.RemoveEntry(b);
  EXPECT_EQ(r.list.CallInProgress(), nullptr);
  r.HangUp();
  EXPECT_EQ(b->connectedMark, -1);
  EXPECT_EQ(c->callbackCount, 0);
  const std::size_t pool = r.handler.PoolSize();
  r.handler.PurgeReleasedCalls();
  EXPECT_LT(r.handler.PoolSize(), pool);
  ASSERT_EQ(r.list.GetCount(), 1);
  r.list.AutomationStep();
  EXPECT_EQ(r.NewCalls(), (std::vector<std::string>{"23", "24"}));
}

TEST(CallbackList, ACallThatVanishedCountsAsAMiss) {
  Rig r;
  GlobalConfig().TB2C = 0;
  r.AdvanceTo(At(10, 0, 0));
  CCallInfo* a = r.Entry("22");
  r.list.SetRunning(1);
  r.list.AutomationStep();
  ASSERT_EQ(r.list.CallInProgress(), a);
  // The call handler lets go of it without a clear reaching the list.
  r.handler.HoldCall(a, 12);
  a->state = CCallInfo::kIdle;
  r.list.AutomationStep();
  // Counted as a miss, and the automation goes on: it is dialled again.
  EXPECT_EQ(a->callbackCount, 1);
  EXPECT_EQ(r.NewCalls(), (std::vector<std::string>{"22", "22"}));
  EXPECT_EQ(r.list.CallInProgress(), a);
}

TEST(CallbackList, AnEntryOpenInTheSettingsIsNotDialled) {
  Rig r;
  GlobalConfig().TB2C = 0;
  r.AdvanceTo(At(10, 0, 0));
  CCallInfo* a = r.Entry("22");
  r.list.SetRunning(1);
  CCallInfo copy;
  ASSERT_TRUE(r.list.BeginEdit(a->callRefId, &copy));
  r.list.AutomationStep();
  EXPECT_TRUE(r.NewCalls().empty());
  copy.calledNumber = "23";
  copy.callbackType = 1;
  EXPECT_TRUE(r.list.EndEdit(a->callRefId, &copy));
  EXPECT_EQ(a->calledNumber, "23");
  EXPECT_EQ(a->callbackType, 1);
  // Gone meanwhile: nothing is written anywhere.
  ASSERT_TRUE(r.list.BeginEdit(a->callRefId, &copy));
  const int ref = a->callRefId;
  r.list.RemoveEntry(a);
  EXPECT_FALSE(r.list.EndEdit(ref, &copy));
}

TEST(CallbackList, NewEntriesOfferTheirSettingsWhenAsked) {
  Rig r;
  CCallInfo* c = r.list.NewCallFor(18);
  c->calledNumber = "22";
  EXPECT_EQ(r.list.AddCall(c), 1);
  EXPECT_EQ(r.view.Count(hub::kCallbackSettings), 0);
  EXPECT_EQ(r.list.AddCall(c), 0) << "an entry is listed once";
  GlobalConfig().CBLACONFPO = 1;
  CCallInfo* d = r.list.NewCallFor(18);
  r.list.AddCall(d);
  ASSERT_EQ(r.view.settingsAsked.size(), 1u);
  EXPECT_EQ(r.view.settingsAsked[0], d);
  EXPECT_EQ(r.list.GetCount(), 2);
  // Loading asks nothing.
  EXPECT_EQ(r.list.GetEntryText(2), "\t\t");
  EXPECT_EQ(r.list.GetEntryText(3), "");
}

// The call handler's side: an unanswered call of the own extension is
// taken over on Yes, starts the automation (CBLASONE), and timer 4 dials
// it; the list file then holds it.
TEST(CallbackList, AnUnansweredCallIsCalledBackByTheTimer) {
  Rig r;
  GlobalConfig().CBLAFNEWCWNS = 1;
  GlobalConfig().CBLASONE = 1;
  GlobalConfig().TB1C = 2000;
  GlobalConfig().CBLCASOTI = 1000;
  GlobalConfig().TB2C = 1000;
  GlobalConfig().CBLGSTRTT = 0;
  GlobalConfig().CBLGSTPT = 86399;
  GlobalConfig().CBLLTB = 0;
  GlobalConfig().CBLLTE = 0;
  r.AdvanceTo(At(10, 0, 0));
  CCallInfo* c = r.handler.GetFreeCall(12);
  c->calledNumber = "0301234567";
  ASSERT_EQ(r.handler.MakeCall(c, 12), 1);
  EXPECT_EQ(r.NewCalls(), std::vector<std::string>{"301234567"});
  r.boxes.QueueAnswer(plat::IDYES);
  r.HangUp();
  ASSERT_EQ(r.list.GetCount(), 1);
  EXPECT_EQ(r.list.IsRunning(), 1);
  EXPECT_EQ(r.view.Count(hub::kStartCallbackTimer), 1);
  r.loop.Advance(1999);
  EXPECT_TRUE(r.NewCalls().empty());
  r.loop.Advance(1);
  EXPECT_EQ(r.NewCalls(), std::vector<std::string>{"301234567"});
  EXPECT_EQ(r.list.CallInProgress(), c);
  r.loop.Advance(5000);
  EXPECT_TRUE(r.NewCalls().empty()) << "one call at a time";
  const std::string dir = TempDir("cbl_e2e");
  ASSERT_EQ(r.list.Save(dir + "/cb.ini"), 1);
  EXPECT_EQ(plat::GetProfileText("CBLIST-1", "CEDNUM", "", dir + "/cb.ini"), "0301234567");
  std::filesystem::remove_all(dir);
}

}  // namespace
