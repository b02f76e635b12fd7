#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/objlib/xcontainers.h"
#include "core/objlib/xstring.h"
#include "core/objlib/xtokenline.h"

namespace {

// A further text-like type that XString compares by text.
class Text267 : public XString {
 public:
  using XString::XString;
  std::uint16_t GetTypeCode() const override { return kXTypeText267; }
};

struct Counted : XObject {
  explicit Counted(int* deaths) : deaths_(deaths) {}
  ~Counted() override { ++*deaths_; }
  int* deaths_;
};

TEST(XString, LengthsCountTheTerminatingZero) {
  XString empty("");
  EXPECT_EQ(empty.RawLength(), 1);
  EXPECT_EQ(empty.GetLength(), 0);
  XString null(nullptr);
  EXPECT_STREQ(null.GetText(), "");
  XString hallo("Hallo");
  EXPECT_EQ(hallo.GetLength(), 6);
  EXPECT_EQ(hallo.GetTypeCode(), kXTypeString);
  EXPECT_STREQ(hallo.GetClassName(), "XString");
}

TEST(XString, TextsOfSixtyFiveThousandCharactersAndMoreAreCut) {
  const std::string big(70000, 'x');
  XString s(big.c_str());
  EXPECT_EQ(s.RawLength(), 0xFFFF);
  EXPECT_EQ(std::strlen(s.GetText()), XString::kMaxChars);
  s.SetText(big.c_str(), 65535);
  EXPECT_EQ(s.RawLength(), 0xFFFF);
  // Asking for more than the text holds never reads past it.
  s.SetText("abc", 10);
  EXPECT_EQ(s.RawLength(), 11);
  EXPECT_STREQ(s.GetText(), "abc");
}

TEST(XString, EqualityByTypeAndText) {
  XString a("1234"), b("1234"), c("12345");
  Text267 t("1234");
  TableEntry e("1234");
  XObject o;
  EXPECT_EQ(a.IsEqual(b), 1);
  EXPECT_EQ(a.IsEqual(c), 0);
  EXPECT_EQ(a.IsEqual(t), 1);
  EXPECT_EQ(a.IsEqual(e), 0);
  EXPECT_EQ(a.IsEqual(o), 0);
  EXPECT_EQ(o.IsEqual(o), 0);
  EXPECT_EQ(o.GetTypeCode(), kXTypeObject);
}

TEST(XString, OrderIsByUnsignedBytesAndOnlyWithinTheSameType) {
  XString z("z"), umlaut("\xE4"), a("a");
  Text267 t("b");
  EXPECT_EQ(z.IsLess(umlaut), 1);
  EXPECT_EQ(umlaut.IsLess(z), 0);
  EXPECT_EQ(a.IsLess(z), 1);
  EXPECT_EQ(a.IsLess(t), 0);
  EXPECT_EQ(a.IsLess(a), 0);
}

TEST(XString, HashRotatesOverTheLowSixteenBits) {
  EXPECT_EQ(XString("").GetHash(), 0u);
  EXPECT_EQ(XString("ab").GetHash(), 640u);  // 97 -> 194; 194^98 -> 320; 320^0 -> 640
  // Only the low 16 bits feed back, so the hash of a long text stays below 2^17.
  EXPECT_LT(XString(std::string(1000, '\xFF').c_str()).GetHash(), 1u << 17);
}

TEST(XString, CopyTextStaysInsideTheBuffer) {
  XString s("Hallo");
  char buf[8];
  std::memset(buf, '#', sizeof buf);
  EXPECT_EQ(s.CopyText(buf + 1, 0), 1);
  EXPECT_EQ(buf[0], '#');
  EXPECT_EQ(buf[1], '#');
  EXPECT_EQ(s.CopyText(buf, 3), 1);
  EXPECT_STREQ(buf, "Ha");
  EXPECT_EQ(buf[3], '#');
  EXPECT_EQ(s.CopyText(buf, sizeof buf), 1);
  EXPECT_STREQ(buf, "Hallo");
  EXPECT_EQ(s.CopyText(nullptr, 10), 0);
}

TEST(XString, CopyAndAssignmentKeepTheirOwnBuffers) {
  XString a("eins");
  XString b(a);
  XString c("zweiundzwanzig");
  c = a;
  a.SetText("drei", 4);
  EXPECT_STREQ(b.GetText(), "eins");
  EXPECT_STREQ(c.GetText(), "eins");
  EXPECT_EQ(c.RawLength(), 5);
  XString& alias = c;
  c = alias;
  EXPECT_STREQ(c.GetText(), "eins");
}

// Cutting a string to a part of its own text: the source lies in the buffer
// that is being replaced.
TEST(XString, SetTextFromItsOwnText) {
  XString s("abcdef");
  s.SetText(s.GetText(), 3);
  EXPECT_STREQ(s.GetText(), "abc");
  EXPECT_EQ(s.RawLength(), 4);
  s.SetText(s.GetText() + 1, 3);  // same length, overlapping
  EXPECT_STREQ(s.GetText(), "bc");
  EXPECT_EQ(s.RawLength(), 4);
  XString t("Nebenstelle");
  t.SetText(t.GetText() + 5, 6);
  EXPECT_STREQ(t.GetText(), "stelle");
}

TEST(XArray, CursorStaysWithinTheArray) {
  XArray arr("Feld", 10);
  EXPECT_EQ(arr.GetTypeCode(), kXTypeArray);
  EXPECT_EQ(arr.Move(XArray::kLast), 9);
  EXPECT_EQ(arr.Move(XArray::kNext), 9);
  EXPECT_EQ(arr.Move(XArray::kFirst), 0);
  EXPECT_EQ(arr.Move(XArray::kPrevious), 0);
  EXPECT_EQ(arr.Move(XArray::kNext), 1);
  EXPECT_EQ(arr.Move(7), 1);
  XArray none("leer", 0);
  EXPECT_EQ(none.Move(XArray::kLast), 0);
  EXPECT_EQ(none.Move(XArray::kNext), 0);
  EXPECT_EQ(none.GetCurrent(), nullptr);
}

TEST(XArray, OwnsAndDeletesItsElements) {
  int deaths = 0;
  {
    XArray arr("Feld", 2, 0x55);
    EXPECT_EQ(arr.GetFlag(), 0x55u);
    EXPECT_EQ(arr.Add(new Counted(&deaths)), 0);
    EXPECT_EQ(arr.Add(new Counted(&deaths)), 1);
    EXPECT_EQ(arr.Add(new Counted(&deaths)), -1);  // full: deleted at once
    EXPECT_EQ(deaths, 1);
    EXPECT_EQ(arr.GetCount(), 2u);
    EXPECT_EQ(arr.SetAt(1, new Counted(&deaths)), 1);  // replaces
    EXPECT_EQ(deaths, 2);
    EXPECT_EQ(arr.SetAt(5, new Counted(&deaths)), 0);
    EXPECT_EQ(deaths, 3);
    EXPECT_EQ(arr.GetAt(5), nullptr);
    arr.Clear();
    EXPECT_EQ(deaths, 5);
    EXPECT_EQ(arr.GetCount(), 0u);
    arr.Add(new Counted(&deaths));
  }
  EXPECT_EQ(deaths, 6);
}

TEST(XList, FindRemoveAndWalk) {
  XList list("Liste");
  EXPECT_EQ(list.GetTypeCode(), kXTypeList);
  list.Add(new XString("a"));
  list.Add(new XString("b"));
  list.Add(new XString("c"));
  EXPECT_EQ(list.Find(XString("b")), list.GetAt(1));
  EXPECT_EQ(list.Find(XString("x")), nullptr);
  EXPECT_EQ(list.Remove(XString("b")), 1);
  EXPECT_EQ(list.Remove(XString("b")), 0);
  std::string walked;
  for (XObject* o = list.First(); o; o = list.Next()) walked += static_cast<XString*>(o)->GetText();
  EXPECT_EQ(walked, "ac");
  EXPECT_EQ(list.Next(), nullptr);
  list.Clear();
  EXPECT_EQ(list.First(), nullptr);
}

TEST(TableEntry, TypesValuesAndNames) {
  TableEntry e("Gruppe");
  EXPECT_EQ(e.GetTypeCode(), kXTypeTableEntry);
  EXPECT_EQ(e.GetMemberTypeCode(), kXTypeMember);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(e.GetValue(i), 0);
  e.SetValue(3, -7);
  e.SetValue(4, 9);
  EXPECT_EQ(e.GetValue(3), -7);
  EXPECT_EQ(e.GetValue(4), 0);
  EXPECT_EQ(e.IsEqual(TableEntry("Gruppe")), 1);
  EXPECT_EQ(e.IsEqual(XString("Gruppe")), 0);
  EXPECT_EQ(TableEntry("A").IsLess(e), 1);
}

TEST(XTokenLine, SplitsATemplateIntoColumns) {
  XTokenLine line;
  EXPECT_EQ(line.GetTokenAt(0), nullptr);
  EXPECT_EQ(line.SetSeparator(","), 1);
  ASSERT_EQ(line.Parse("l{Nebenstellen},r{Einheiten},r{Xxxxxxxxxxxx},l{Wer auch immer das sein mag}"), 4);
  EXPECT_STREQ(line.GetTokenAt(0), "l{Nebenstellen}");
  EXPECT_STREQ(line.GetTokenAt(3), "l{Wer auch immer das sein mag}");
  EXPECT_STREQ(line.GetToken(2), "r{Xxxxxxxxxxxx}");
  EXPECT_EQ(line.GetTokenAt(4), nullptr);
  EXPECT_EQ(line.GetToken(4), nullptr);
}

TEST(XTokenLine, EdgeTexts) {
  XTokenLine line;
  EXPECT_EQ(line.SetSeparator(nullptr), 0);
  EXPECT_EQ(line.GetSeparator(), "\t");
  EXPECT_EQ(line.Parse("a\t\tb\t"), 3);  // empty middle token kept, none after the last TAB
  EXPECT_STREQ(line.GetTokenAt(1), "");
  EXPECT_STREQ(line.GetTokenAt(2), "b");
  EXPECT_EQ(line.Parse(""), 0);  // an earlier parse is discarded
  EXPECT_EQ(line.GetTokenAt(0), nullptr);
  EXPECT_EQ(line.Parse(nullptr), 0);
  EXPECT_EQ(line.Parse("ohne Trenner"), 1);
  // An empty separator must not loop: the whole text is one token.
  line.SetSeparator("");
  EXPECT_EQ(line.Parse("a,b,c"), 1);
  EXPECT_STREQ(line.GetTokenAt(0), "a,b,c");
  // Tokens keep at most 127 characters.
  line.SetSeparator("|");
  const std::string longText = std::string(300, 'x') + "|y";
  EXPECT_EQ(line.Parse(longText.c_str()), 2);
  EXPECT_EQ(std::strlen(line.GetTokenAt(0)), XTokenLine::kMaxTokenChars);
  EXPECT_STREQ(line.GetTokenAt(1), "y");
  // A separator of several characters.
  line.SetSeparator("::");
  EXPECT_EQ(line.Parse("a::b:c::"), 2);
  EXPECT_STREQ(line.GetTokenAt(1), "b:c");
}

}  // namespace
