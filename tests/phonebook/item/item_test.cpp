#include "phonebook/item.h"

#include <gtest/gtest.h>

#include <string>

#include "core/calls/callinfo.h"

namespace {

// Bytes written by hand at the record's offsets, not through the item.
void Put(DataBaseRecord& r, std::size_t off, const std::string& s) {
  for (std::size_t i = 0; i < s.size(); ++i) r.bytes[off + i] = static_cast<std::uint8_t>(s[i]);
}

CMyDataBaseItem Full() {
  CMyDataBaseItem it;
  const char* texts[] = {"", "Firma GmbH", "Hauptstr.", "12a", "80331", "München", "Deutschland",
                         "Dr.", "Huber", "089123456", "089999", "K-77", "Zeile 1\r\nZeile 2"};
  for (int id = 1; id <= 12; ++id) it.SetFieldText(id, texts[id]);
  it.SetFieldText(PBF_EXTERNAL, "1");
  it.SetFieldText(PBF_TREATMENT, "2");
  return it;
}

}  // namespace

TEST(PhoneBookItem, StoresEveryFieldAtItsOffset) {
  CMyDataBaseItem it = Full();
  it.SetTreatmentSelector(-2);
  it.SetTreatmentTarget("0301234");
  const DataBaseRecord& got = it.StoreRecord();
  DataBaseRecord want;
  want.bytes[4] = 1;
  Put(want, 5, "Firma GmbH");
  Put(want, 46, "Hauptstr.");
  Put(want, 87, "12a");
  Put(want, 93, "80331");
  Put(want, 104, "München");
  Put(want, 125, "Deutschland");
  Put(want, 146, "089123456");
  want.bytes[167] = 1;
  Put(want, 168, "089999");
  Put(want, 189, "Dr.");
  Put(want, 210, "Huber");
  Put(want, 251, "K-77");
  Put(want, 272, "Zeile 1\r\nZeile 2");
  want.bytes[533] = 2;
  Put(want, 535, "\r\n");
  want.bytes[538] = 0xFE;
  want.bytes[539] = 0xFF;
  Put(want, 540, "0301234");
  for (std::size_t i = 0; i < DataBaseRecord::kSize; ++i) EXPECT_EQ(got.bytes[i], want.bytes[i]) << "offset " << i;
}

TEST(PhoneBookItem, KeepsTheBytesItDoesNotOwn) {
  CMyDataBaseItem it;
  DataBaseRecord& r = it.GetRecord();
  for (std::size_t i = 0; i < DataBaseRecord::kSize; ++i) r.bytes[i] = static_cast<std::uint8_t>(i * 7 + 1);
  r.bytes[533] = 1;
  r.bytes[534] = 0;
  DataBaseRecord before = r;
  it.TakeRecord();
  it.SetFieldText(PBF_NAME, "Neu");
  it.StoreRecord();
  for (std::size_t i : {0u, 1u, 2u, 3u, 528u, 529u, 530u, 531u, 532u, 538u, 600u, 665u})
    EXPECT_EQ(r.bytes[i], before.bytes[i]) << "offset " << i;
  EXPECT_EQ(pbfile::TextAt(r.data(), 210, 41), "Neu");
  EXPECT_EQ(r.bytes[250], 0);  // each text field ends in 0
}

TEST(PhoneBookItem, TextsAreCutToTheirWidths) {
  struct Case {
    int id;
    std::string in;
    std::size_t stored;
  } cases[] = {
      {PBF_COMPANY, std::string(45, 'x'), 40}, {PBF_HOUSE, "1234567", 5},
      {PBF_NUMBER, std::string(30, '1'), 20},  {PBF_NOTE, std::string(300, 'n'), 255},
  };
  for (const auto& c : cases) {
    CMyDataBaseItem it;
    it.SetFieldText(c.id, c.in);
    it.StoreRecord();
    CMyDataBaseItem back;
    back.GetRecord() = it.GetRecord();
    back.TakeRecord();
    EXPECT_EQ(back.GetFieldText(c.id), c.in.substr(0, c.stored)) << c.id;
  }
  // a damaged record whose text fills its field without the NUL
  CMyDataBaseItem d;
  Put(d.GetRecord(), 87, "123456789012");  // house number (6) runs into the postcode
  d.TakeRecord();
  EXPECT_EQ(d.GetFieldText(PBF_HOUSE), "12345");
}

TEST(PhoneBookItem, FlagAndTreatmentFields) {
  struct Case {
    int id;
    std::string set;
    int result;
    std::string get;
  } cases[] = {
      {PBF_EXTERNAL, "0", 1, "0"},  {PBF_EXTERNAL, "no", 1, "1"},  {PBF_EXTERNAL, "", 1, "1"},
      {PBF_TREATMENT, "3", 1, "3"}, {PBF_TREATMENT, "300", 0, "0"}, {PBF_TREATMENT, "-1", 0, "0"},
      {PBF_IN_USE, "0", 0, "1"},    {99, "x", 0, ""},
  };
  for (const auto& c : cases) {
    CMyDataBaseItem it;
    EXPECT_EQ(it.SetFieldText(c.id, c.set), c.result) << c.id << " " << c.set;
    EXPECT_EQ(it.GetFieldText(c.id), c.get) << c.id << " " << c.set;
  }
  CMyDataBaseItem it;
  it.SetFieldText(PBF_TREATMENT, "3");
  it.SetFieldText(PBF_TREATMENT, "300");  // refused: stays 3, never 44
  EXPECT_EQ(it.StoreRecord().bytes[533], 3);
}

TEST(PhoneBookItem, NormalisesNumbers) {
  struct Case {
    std::string in;
    std::string out;
    bool externalBefore;
    bool externalAfter;
  } cases[] = {
      {"089/12-34-56", "089123456", false, true},
      {"1 2", "12", false, false},
      {"1 2", "12", true, true},  // a short number leaves the flag as it was
      {"+49 (89) 1", "49(89)1", false, true},
      {" */:.;,#-_+'=&", "", false, false},
      {"123", "123", false, false},
      {"1234", "1234", false, true},
  };
  for (const auto& c : cases) {
    CMyDataBaseItem it;
    it.SetFieldText(PBF_NUMBER, c.in);
    it.SetFieldText(PBF_EXTERNAL, c.externalBefore ? "1" : "0");
    EXPECT_EQ(it.NormaliseNumber(), 1);
    EXPECT_EQ(it.GetFieldText(PBF_NUMBER), c.out) << c.in;
    EXPECT_EQ(it.GetFieldText(PBF_EXTERNAL), c.externalAfter ? "1" : "0") << c.in;
  }
}

TEST(PhoneBookItem, RendersTemplates) {
  CMyDataBaseItem it = Full();
  struct Case {
    std::string tmpl;
    std::string out;
  } cases[] = {
      {"%c\t%k\t%n\t%i", "Firma GmbH\tDr.\tHuber\t089123456"},
      {"%q", "%q"},
      {"a%Ab", "ab"},
      {"%e%a%X", ""},
      {"100%", "100%"},
      {"%%c", "%%c"},  // "%" then "%": both kept, then a plain c
      {"%s %h, %b %t (%g) %x %m", "Hauptstr. 12a, 80331 München (Deutschland) 089999 K-77"},
      {"%f", "Zeile 1\r\nZeile 2"},
  };
  for (const auto& c : cases) EXPECT_EQ(it.Render(c.tmpl), c.out) << c.tmpl;
  CMyDataBaseItem noTitle = Full();
  noTitle.SetFieldText(PBF_TITLE, "");
  EXPECT_EQ(noTitle.Render("%c\t%k\t%n\t%i"), "Firma GmbH\t\tHuber\t089123456");
  // long renderings are not cut
  CMyDataBaseItem big = Full();
  big.SetFieldText(PBF_NOTE, std::string(255, 'z'));
  EXPECT_EQ(big.Render("%f%f%f%f").size(), 1020u);
}

TEST(PhoneBookItem, PrintRenderingSplitsLines) {
  CMyDataBaseItem it = Full();
  EXPECT_EQ(it.RenderForPrint("\t\t%c\r\n%f\r\nEnde"), "\t\tFirma GmbH\r\nZeile 1\r\n\tZeile 2\r\nEnde");
  EXPECT_EQ(it.FirstLine(), "\t\tFirma GmbH");
  EXPECT_EQ(it.NextLine(), "Zeile 1");
  EXPECT_EQ(it.NextLine(), "\tZeile 2");
  EXPECT_EQ(it.NextLine(), "Ende");
  EXPECT_EQ(it.NextLine(), "");
  EXPECT_EQ(it.FirstLine(), "\t\tFirma GmbH");
}

TEST(PhoneBookItem, MatchesPatterns) {
  CMyDataBaseItem it = Full();
  it.SetFieldText(PBF_TOWN, "\xE4rzen");  // Windows-1252 "ärzen"
  struct Case {
    int id;
    std::string pattern;
    int mode;
    int flags;
    int result;
  } cases[] = {
      {PBF_NUMBER, "06*", PBM_CONTAINS, 0, 0},
      {PBF_NUMBER, "123*", PBM_CONTAINS, 0, 1},
      {PBF_NUMBER, "089123456", PBM_EQUAL, 0, 1},
      {PBF_NUMBER, "089/123 456", PBM_EQUAL, 0, 1},  // both sides without separators
      {PBF_NUMBER, "08912345", PBM_EQUAL, 0, 0},
      {PBF_NAME, "huber", PBM_EQUAL, 0, 0},
      {PBF_NAME, "huber", PBM_EQUAL, PBM_NO_CASE, 1},
      {PBF_TOWN, "\xC4RZEN", PBM_EQUAL, PBM_NO_CASE, 1},  // Ä and ä fold by the code page
      {PBF_TOWN, "\xC4RZEN", PBM_EQUAL, 0, 0},
      {PBF_COMPANY, "*", PBM_CONTAINS, 0, 1},
      {PBF_COMPANY, "GmbH", PBM_EQUAL, 0, 0},
      {PBF_COMPANY, "GmbH*x", PBM_CONTAINS, 0, 1},  // cut at the first "*"
      {PBF_TITLE, std::string(128, 'D'), PBM_EQUAL, 0, 0},  // counts as empty
      {PBF_FAX, std::string(127, '0'), PBM_CONTAINS, 0, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(it.Match(c.id, c.pattern, c.mode, c.flags), c.result) << c.id << " " << c.pattern;
  CMyDataBaseItem empty;
  EXPECT_EQ(empty.Match(PBF_TITLE, std::string(200, 'x'), PBM_EQUAL, 0), 1);
  CMyDataBaseItem n06;
  n06.SetFieldText(PBF_NUMBER, "0711060");
  EXPECT_EQ(n06.Match(PBF_NUMBER, "06*", PBM_CONTAINS, 0), 1);
}

TEST(PhoneBookItem, ValueInterface) {
  CMyDataBaseItem it = Full();
  it.SetTreatmentTarget("0301234");
  struct Case {
    std::uint32_t id;
    int result;
    std::string text;
  } cases[] = {
      {PBP_NUMBER, PBS_DONE, "089123456"},       {PBP_COMPANY, PBS_DONE, "Firma GmbH"},
      {PBP_TITLE_AND_NAME, PBS_DONE, "Dr. Huber"}, {PBP_DEFLECT_NUMBER, PBS_DONE, "0301234"},
      {PBP_SET_STREET, PBS_NOT_SUPPORTED, ""},     {0x10000002, PBS_NOT_SUPPORTED, ""},
  };
  for (const auto& c : cases) {
    CDataBaseParam v;
    EXPECT_EQ(it.GetParam(c.id, &v), c.result) << std::hex << c.id;
    EXPECT_EQ(v.Text(), c.text) << std::hex << c.id;
    if (c.result == PBS_DONE) {
      EXPECT_EQ(v.Code(), PBV_TEXT);
      EXPECT_EQ(v.Length(), c.text.size() + 1);
    }
  }
  CDataBaseParam w;
  ASSERT_EQ(it.GetParam(PBP_FLAG_WORD, &w), PBS_DONE);
  std::int16_t one = 0;
  EXPECT_TRUE(w.Word(&one));
  EXPECT_EQ(one, 1);
  EXPECT_EQ(w.Length(), 2u);
  CMyDataBaseItem noTitle = Full();
  noTitle.SetFieldText(PBF_TITLE, "");
  CDataBaseParam n;
  noTitle.GetParam(PBP_TITLE_AND_NAME, &n);
  EXPECT_EQ(n.Text(), "Huber");

  struct Set {
    std::uint32_t id;
    int field;
  } sets[] = {{PBP_NUMBER, PBF_NUMBER},         {PBP_COMPANY, PBF_COMPANY},  {PBP_TITLE_AND_NAME, PBF_NAME},
              {PBP_SET_COMPANY, PBF_COMPANY},   {PBP_SET_NAME, PBF_NAME},    {PBP_SET_STREET, PBF_STREET},
              {PBP_SET_POSTCODE, PBF_POSTCODE}, {PBP_SET_TOWN, PBF_TOWN},    {PBP_SET_COUNTRY, PBF_COUNTRY}};
  for (const auto& s : sets) {
    CMyDataBaseItem x;
    EXPECT_EQ(x.IsChanged(), PBS_NOT_FOUND);
    CDataBaseParam v;
    v.SetText("Wert");
    EXPECT_EQ(x.SetParam(s.id, v, nullptr), PBS_DONE);
    EXPECT_EQ(x.GetFieldText(s.field), "Wert");
    EXPECT_EQ(x.IsChanged(), PBS_FOUND);
    EXPECT_EQ(x.IsParamSupported(s.id), PBS_DONE);
  }
  CDataBaseParam v;
  v.SetText("x");
  EXPECT_EQ(it.SetParam(PBP_FLAG_WORD, v, nullptr), PBS_NOT_SUPPORTED);
  EXPECT_EQ(it.SetParam(PBP_DEFLECT_NUMBER, v, nullptr), PBS_NOT_SUPPORTED);
  EXPECT_EQ(it.IsParamSupported(0x10000002), PBS_NOT_SUPPORTED);
  v.SetText("089 123456");
  EXPECT_EQ(it.Matches(PBP_NUMBER, v), PBS_FOUND);
  EXPECT_EQ(it.Matches(PBP_COMPANY, v), PBS_NOT_SUPPORTED);
  std::uint32_t count = 0;
  EXPECT_EQ(it.GetParamCount(&count), PBS_DONE);
  EXPECT_EQ(count, 14u);
}

TEST(PhoneBookItem, FieldLineAndCodes) {
  CMyDataBaseItem it = Full();
  EXPECT_EQ(it.GetFieldLine(1),
            "Firma GmbH,Hauptstr.,12a,80331,München,Deutschland,Dr.,Huber,089123456,089999,K-77,"
            "Zeile 1\r\nZeile 2,2,");
  EXPECT_EQ(it.GetFieldLine(2), "");
  EXPECT_EQ(it.GetFieldFormatCode(PBF_COMPANY, 1), "%c");
  EXPECT_EQ(it.GetFieldFormatCode(PBF_COMPANY, 0), "");
  EXPECT_EQ(it.GetFieldFormatCode(PBF_EXTERNAL, 1), "");
  EXPECT_EQ(CMyDataBaseItem::GetFieldName(PBF_COMPANY, 1), "");
  int first = 0, last = 0;
  EXPECT_EQ(it.GetFieldRange(&first, &last), 1);
  EXPECT_EQ(first, 1);
  EXPECT_EQ(last, 14);
}

TEST(PhoneBookItem, FromACallsPartner) {
  struct Case {
    int direction;
    std::string company, name, number;
  } cases[] = {{CCallInfo::kIncoming, "Rufer AG", "Frau Rufer", "0711606060"},
               {CCallInfo::kOutgoing, "Ziel KG", "Herr Ziel", "0301234"}};
  for (const auto& c : cases) {
    CCallInfo call;
    call.direction = c.direction;
    call.callingCompany = "Rufer AG";
    call.callingName = "Frau Rufer";
    call.callingNumber = "0711/60 60 60";
    call.calledCompany = "Ziel KG";
    call.calledName = "Herr Ziel";
    call.calledNumber = "030-1234";
    CMyDataBaseItem it;
    it.SetFromCallInfo(call);
    EXPECT_EQ(it.GetFieldText(PBF_COMPANY), c.company);
    EXPECT_EQ(it.GetFieldText(PBF_NAME), c.name);
    EXPECT_EQ(it.GetFieldText(PBF_NUMBER), c.number);
    EXPECT_EQ(it.GetFieldText(PBF_EXTERNAL), "1");
  }
}

TEST(PhoneBookItem, ClearAndCopy) {
  CMyDataBaseItem it = Full();
  it.SetFileOffset(1127);
  CMyDataBaseItem copy;
  copy.CopyFrom(it);
  EXPECT_EQ(copy.FileOffset(), 1127u);
  EXPECT_EQ(copy.StoreRecord().bytes, it.StoreRecord().bytes);
  EXPECT_EQ(it.IsNew(), 0);
  it.Clear();
  EXPECT_EQ(it.IsNew(), 1);
  EXPECT_EQ(it.RecordIndex(), -1);
  EXPECT_EQ(it.GetFieldText(PBF_IN_USE), "1");
  EXPECT_EQ(it.GetFieldText(PBF_COMPANY), "");
  const DataBaseRecord& r = it.StoreRecord();
  EXPECT_EQ(r.bytes[4], 1);
  EXPECT_EQ(r.bytes[535], '\r');
  EXPECT_EQ(r.bytes[536], '\n');
  EXPECT_EQ(r.bytes[0], 0);
}
