// The missed-calls list: its filter, its reading mode and what its lines
// are used for.
#include "listsrig.h"

using namespace liststest;

namespace {

CCallInfo* Incoming(Rig& r, const std::string& calling, std::time_t begin) {
  CCallInfo* c = r.handler.GetFreeCall(21);
  c->direction = CCallInfo::kIncoming;
  c->callingNumber = calling;
  c->calledNumber = "21";
  c->beginTime = begin;
  c->endTime = begin ? begin : 1;
  return c;
}

TEST(MissedCalls, FilterTable) {
  Rig r;
  const long llot = static_cast<long>(At(9, 0, 0));
  GlobalConfig().LLOT = llot;
  const std::string numbers[] = {"", "0", "00", "+49 30", "0" + std::string("123456789012345678901234567890123456789")};
  const bool known[] = {false, false, false, true, true};
  int listed = 0;
  for (int nplto : {0, 1, 2})
    for (int npl : {0, 1})
      for (int i = 0; i < 5; ++i)
        for (long begin : {llot - 1, llot, llot + 1}) {
          GlobalConfig().NPLTO = nplto;
          GlobalConfig().NPLCDOC = npl;
          CCallInfo* c = Incoming(r, numbers[i], begin);
          c->callingName = "X";  // never an empty line
          const int before = r.missed.GetCount();
          EXPECT_EQ(r.missed.AddCall(c), 1);
          const bool caller = nplto == 1 || (nplto == 0 && known[i]);
          const bool period = npl != 0 || begin >= llot;
          EXPECT_EQ(r.missed.GetCount() - before, caller && period ? 1 : 0)
              << "NPLTO " << nplto << " NPLCDOC " << npl << " number '" << numbers[i] << "' begin " << begin - llot;
          listed += r.missed.GetCount() - before;
        }
  EXPECT_EQ(listed, 25 + 10 + 0);
  EXPECT_EQ(r.missed.AddCall(nullptr), 0);
}

TEST(MissedCalls, EmptyLinesAreNotListed) {
  Rig r;
  CCallInfo* blank = r.handler.GetFreeCall(21);
  blank->direction = CCallInfo::kIncoming;
  EXPECT_EQ(r.missed.AddCall(blank), 1);
  CCallInfo* out = Incoming(r, "0301234567", At(10, 0, 0));
  out->direction = CCallInfo::kOutgoing;
  r.missed.AddCall(out);
  EXPECT_EQ(r.missed.GetCount(), 0);
  EXPECT_EQ(r.missed.GetEntryText(1), "");
}

TEST(MissedCalls, AnUnansweredCallOfTheClearPathIsListed) {
  Rig r;
  CCallInfo* c = Incoming(r, "0301234567", 0);
  c->endTime = 0;
  c->state = CCallInfo::kRinging;
  r.handler.ClearCall(c, 21);
  ASSERT_EQ(r.missed.GetCount(), 1);
  EXPECT_NE(r.missed.GetEntryText(1).find("\t21\t0301234567\t"), std::string::npos) << r.missed.GetEntryText(1);
  EXPECT_EQ(c->connectedMark, -1) << "the list keeps only the text";
}

TEST(MissedCalls, ReadingModeAndTitle) {
  Rig r;
  EXPECT_EQ(r.missed.GetReadingMode(), -1);
  EXPECT_EQ(r.missed.GetTitle(), "T57.1");
  r.missed.SetReadingMode(1);
  EXPECT_EQ(r.missed.GetTitle(), "T57.2");
  r.missed.SetReadingMode(1);
  EXPECT_EQ(r.view.Count(hub::kMissedFilterChanged), 1);
  // The read-out ends without a call: the note goes.
  r.handler.OnCallEvent(CSTA_PRIVATE, nullptr);
  EXPECT_EQ(r.missed.GetReadingMode(), 0);
  EXPECT_EQ(r.missed.GetTitle(), "");
  EXPECT_EQ(r.view.Count(hub::kMissedFilterChanged), 2);
}

const char kForOther[] = "08. 12. 25, 10:00:00\t22\t0301234567\tAcme\tHerr Maier";
const char kForOwn[] = "08. 12. 25, 10:00:00\t21\t0407777\t\tFrau Schulz";

TEST(MissedCalls, CallBackDialsTheLinesCaller) {
  Rig r;
  EXPECT_EQ(r.missed.Act(CMissedCallList::kCallBack, kForOther), 1);
  EXPECT_EQ(r.NewCalls(), std::vector<std::string>{"301234567"});
  EXPECT_EQ(r.Current()->calledName, "Herr Maier");
  EXPECT_EQ(r.Current()->callingNumber, "21");
  EXPECT_EQ(r.Current()->endTime, 0);
  r.HangUp();
  EXPECT_EQ(r.missed.Act(CMissedCallList::kCallBack, kForOwn), 1);
  EXPECT_EQ(r.NewCalls(), std::vector<std::string>{"407777"});
  r.HangUp();
  GlobalConfig().GDOH = 0;
  r.prompt.answers = {plat::IDCANCEL};
  EXPECT_EQ(r.missed.Act(CMissedCallList::kCallBack, kForOther), 0);
  EXPECT_TRUE(r.NewCalls().empty());
  EXPECT_EQ(r.missed.Act(CMissedCallList::kCallBack, ""), 0);
}

TEST(MissedCalls, ToTheCallbackList) {
  Rig r;
  GlobalConfig().CBLACONFPO = 1;
  EXPECT_EQ(r.missed.Act(CMissedCallList::kToCallbackList, kForOther), 1);
  ASSERT_EQ(r.list.GetCount(), 1);
  CCallInfo* e = r.list.GetCall(1);
  EXPECT_EQ(e->direction, CCallInfo::kOutgoing);
  EXPECT_EQ(e->calledNumber, "0301234567");
  EXPECT_EQ(e->calledCompany, "Acme");
  EXPECT_EQ(r.list.GetEntryText(1), "Acme\tHerr Maier\t0301234567");
  EXPECT_EQ(r.view.settingsAsked.size(), 1u);
}

TEST(MissedCalls, ToThePhoneBook) {
  Rig r;
  EXPECT_EQ(r.missed.Act(CMissedCallList::kToPhoneBook, kForOther), 2);
  ASSERT_EQ(r.book.records.size(), 1u);
  EXPECT_EQ(r.book.records[0]->number, "0301234567");
  EXPECT_EQ(r.book.records[0]->company, "Acme");
  EXPECT_EQ(r.book.records[0]->name, "Herr Maier");
  EXPECT_EQ(r.book.updates, 1);
  EXPECT_EQ(r.view.Count(hub::kOpenDatabase), 1);
  // Known now: a box, and no second record.
  EXPECT_EQ(r.missed.Act(CMissedCallList::kToPhoneBook, kForOther), 2);
  EXPECT_EQ(r.book.records.size(), 1u);
  ASSERT_EQ(r.boxes.shown.size(), 1u);
  EXPECT_EQ(r.boxes.shown[0].text, "T57.0");
  r.handler.PurgeReleasedCalls();
  EXPECT_EQ(r.handler.PoolSize(), 0u);
}

}  // namespace
