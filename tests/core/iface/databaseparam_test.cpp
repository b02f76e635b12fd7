#include <gtest/gtest.h>

#include <cstring>

#include "core/iface/databaseparam.h"
#include "tests/phonebook/fake/fake_phonebook.h"

TEST(DataBaseParam, SizesByCode) {
  EXPECT_EQ(CDataBaseParam::GetSizeOfCode(0x4001), -1);
  EXPECT_EQ(CDataBaseParam::GetSizeOfCode(0x4003), 1);
  EXPECT_EQ(CDataBaseParam::GetSizeOfCode(0x4025), 2);
  EXPECT_EQ(CDataBaseParam::GetSizeOfCode(0x4021), 4);
  EXPECT_EQ(CDataBaseParam::GetSizeOfCode(0x4009), 8);
  EXPECT_EQ(CDataBaseParam::GetSizeOfCode(0x4013), 32);
  EXPECT_EQ(CDataBaseParam::GetSizeOfCode(0x4019), 2048);
  EXPECT_EQ(CDataBaseParam::GetSizeOfCode(0x4023), -3);
  EXPECT_EQ(CDataBaseParam::GetSizeOfCode(0x401A), 0);
}

TEST(DataBaseParam, TextValueIsOwnedAndBoundedByItsLength) {
  CDataBaseParam p;
  EXPECT_TRUE(p.IsEmpty());
  char buf[8] = "0621";
  ASSERT_EQ(p.Set(PBV_TEXT, buf, -2), PBS_DONE);  // size of a text code: from the value
  std::strcpy(buf, "xxxx");
  EXPECT_EQ(p.Text(), "0621");
  EXPECT_EQ(p.Length(), 5u);

  // A value without a terminator inside its length gives length - 1 bytes.
  ASSERT_EQ(p.Set(PBV_TEXT, "abcdef", 4), PBS_DONE);
  EXPECT_EQ(p.Text(), "abc");

  CDataBaseParam copy = p;
  p.Clear();
  EXPECT_EQ(p.Code(), static_cast<std::uint32_t>(PBV_EMPTY));
  EXPECT_EQ(p.Length(), 0u);
  EXPECT_EQ(copy.Text(), "abc");

  EXPECT_EQ(p.Set(PBV_TEXT, nullptr, -1), PBS_NO_DATA);
  EXPECT_EQ(p.Set(0x4022, "x", -2), PBS_NO_DATA);  // special length must be given
  std::int16_t w = 0;
  ASSERT_EQ(p.SetWord(1), PBS_DONE);
  ASSERT_TRUE(p.Word(&w));
  EXPECT_EQ(w, 1);
}

TEST(DataBaseParam, IdList) {
  CDataBaseIdList ids;
  EXPECT_EQ(ids.SetAt(0, 5), 1);
  ASSERT_EQ(ids.Allocate(1), 0);
  EXPECT_EQ(ids.SetAt(0, 7), 0);
  EXPECT_EQ(ids.SetAt(1, 7), 1);
  EXPECT_EQ(ids.At(0), 7u);
}

TEST(FakePhoneBook, SearchAndFirstHit) {
  FakePhoneBook pb;
  pb.Add("0621123", "Firma", "Herr", "Meier");
  CDataBaseParam q;
  q.SetText("0621123");
  EXPECT_EQ(pb.FindRecord(0x10000001, q, "", 0), PBS_NOT_SUPPORTED);
  ASSERT_EQ(pb.FindRecord(PBP_NUMBER, q, "", 0), PBS_FOUND);
  CMyDataBaseParamInterface* hit = nullptr;
  ASSERT_EQ(pb.FirstSearchHit(&hit), PBS_DONE);
  CDataBaseParam v;
  ASSERT_EQ(hit->GetParam(PBP_TITLE_AND_NAME, &v), PBS_DONE);
  EXPECT_EQ(v.Text(), "Herr Meier");
  q.SetText("999");
  EXPECT_EQ(pb.FindRecord(PBP_NUMBER, q, "", 0), PBS_NOT_FOUND);
  EXPECT_EQ(pb.FirstSearchHit(&hit), PBS_NOTHING);
  EXPECT_EQ(hit, nullptr);
}
