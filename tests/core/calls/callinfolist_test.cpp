#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "core/calls/callinfolist.h"
#include "platform/profile.h"

namespace {

struct Owner : ICallInfoOwner {
  int freed = 0;
  int FreeCall(CCallInfo*) override { return ++freed; }
};

CCallInfo* Make(CCallInfo& c, const char* number, int callId) {
  c.direction = 2;
  c.calledNumber = number;
  c.callId = callId;
  return &c;
}

}  // namespace

TEST(CallInfoList, AddGetAndBounds) {
  CCallInfoList list;
  CCallInfo a, b;
  EXPECT_EQ(list.AddCall(nullptr), 0);
  EXPECT_EQ(list.GetCount(), 0);
  ASSERT_EQ(list.AddCall(Make(a, "21", 1)), 1);
  ASSERT_EQ(list.AddCall(Make(b, "22", 2)), 1);
  EXPECT_EQ(list.GetCount(), 2);
  EXPECT_EQ(list.GetCall(0), nullptr);
  EXPECT_EQ(list.GetCall(1), &a);
  EXPECT_EQ(list.GetCall(2), &b);
  EXPECT_EQ(list.GetCall(3), nullptr);
  EXPECT_EQ(list.GetAt(list.LastVisited()), &b);
  EXPECT_EQ(list.GetByCallID(2), &b);
  EXPECT_EQ(list.GetByCallID(9), nullptr);
  EXPECT_EQ(list.RemoveAll(), 1);
  EXPECT_EQ(list.GetCount(), 0);
}

TEST(CallInfoList, FindByTextStoresDescriptionsAndRemoveByTextUsesThem) {
  Owner owner;
  CCallInfoList list;
  CCallInfo a, b;
  Make(a, "21", 1)->owner = &owner;
  Make(b, "22", 2)->owner = &owner;
  list.AddCall(&a);
  list.AddCall(&b);
  // Nothing described yet: the stored descriptions are empty.
  EXPECT_EQ(list.RemoveByText("\t\t22"), 0);
  CCallInfoList::Position p = list.FindByText(1, "\t\t22");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(list.GetAt(p), &b);
  EXPECT_EQ(a.description, "\t\t21");  // examined on the way
  EXPECT_EQ(list.FindByText(7, "23"), nullptr);
  EXPECT_EQ(list.RemoveByText("\t\t22"), 1);
  EXPECT_EQ(owner.freed, 1);
  EXPECT_EQ(list.GetCount(), 1);
  EXPECT_EQ(list.GetCall(1), &a);
}

TEST(CallInfoList, RemovingTheEntryUnderTheCursorKeepsTheWalkValid) {
  CCallInfoList list;
  CCallInfo a, b, c;
  list.AddCall(Make(a, "21", 1));
  list.AddCall(Make(b, "22", 2));
  list.AddCall(Make(c, "23", 3));
  list.ResetCursor();
  EXPECT_EQ(list.NextCall(), &a);
  CCallInfoList::Position underCursor = list.Cursor();
  ASSERT_EQ(list.GetAt(underCursor), &b);
  EXPECT_EQ(list.RemoveAt(underCursor), 1);
  EXPECT_EQ(list.NextCall(), &c);
  EXPECT_EQ(list.NextCall(), nullptr);

  // The last-visited entry removed: no stale mark remains.
  CCallInfoList::Position last = list.FindByCallID(3);
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(list.RemoveAt(last), 1);
  EXPECT_EQ(list.LastVisited(), nullptr);
  EXPECT_EQ(list.RemoveAt(last), 0);  // no longer a position of the list
  EXPECT_EQ(list.GetCount(), 1);
}

TEST(CallInfoList, CountKey) {
  namespace fs = std::filesystem;
  fs::path f = fs::temp_directory_path() / ("cil_" + std::to_string(::getpid()) + ".ini");
  CCallInfoList list;
  CCallInfo a;
  list.AddCall(&a);
  list.SaveCount(1, f.string(), "CBLIST");
  EXPECT_EQ(plat::GetProfileText("CBLIST", "LC", "", f.string()), "1");
  EXPECT_EQ(list.LoadCount(1, f.string(), "CBLIST"), 1);
  EXPECT_EQ(list.GetCount(), 1);
  fs::remove(f);
}
