#include "phonebook/database.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "tests/phonebook/pbfiles.h"
#include "tests/phonebook/pbtemp.h"
#include "platform/textid.h"
#include "tests/support/filefaults.h"

using pbtest::Header5;
using pbtest::Record5;
using testsupport::FileBytes;
using testsupport::PutFile;

namespace {

struct Book {
  explicit Book(const std::string& tag) : dir(tag) { db.SetLogSink([this](const std::string& l) { log.push_back(l); }); }
  std::string Path() const { return dir / "book.db"; }
  std::string Deleted() const { return dir / "delitems.db"; }
  int Open() { return db.Open(Path()); }
  // Adds a record through the edit buffer as the dialog does.
  int Add(const std::string& company, const std::string& name, const std::string& number) {
    CMyDataBaseItem* e = db.GetEmptyItem(-1);
    e->SetFieldText(PBF_COMPANY, company);
    e->SetFieldText(PBF_NAME, name);
    e->SetFieldText(PBF_NUMBER, number);
    e->NormaliseNumber();
    return db.SaveItem(e, -1);
  }
  int Find(const std::string& number) {
    CDataBaseParam p;
    p.SetText(number);
    return db.FindRecord(PBP_NUMBER, p, "", 0);
  }
  std::string HitText(std::uint32_t id) {
    CMyDataBaseParamInterface* hit = nullptr;
    if (db.FirstSearchHit(&hit) != PBS_DONE || !hit) return "<none>";
    CDataBaseParam v;
    hit->GetParam(id, &v);
    return v.Text();
  }
  pbtest::TempFolder dir;
  CMyDataBase db;
  std::vector<std::string> log;
};

const char* CountTexts(int group, int entry) {
  if (group != 16) return nullptr;
  switch (entry) {
    case 15: return "Kopf:";
    case 16: return "Datei:";
    case 17: return ".";
    default: return nullptr;
  }
}

std::string ExternalRecord(const std::string& company, const std::string& name, const std::string& number) {
  std::string r = Record5(company, name, number);
  r[167] = number.size() > 3 ? 1 : 0;
  return r;
}

}  // namespace

TEST(PhoneBookDatabase, OpeningAMissingFileCreatesAFreshOne) {
  Book b("pbdb_new");
  ASSERT_EQ(b.Open(), 1);
  std::string bytes = FileBytes(b.Path());
  EXPECT_EQ(bytes, Header5(b.Path(), 0));
  ASSERT_EQ(bytes.size(), 1127u);
  EXPECT_EQ(bytes[0], 5);
  EXPECT_EQ(bytes.substr(1124), std::string("\r\n\0", 3));
  EXPECT_EQ(b.db.GetRecordCount(), 0u);
}

TEST(PhoneBookDatabase, FilesThatAreNoPhoneBookStayUntouched) {
  struct Case {
    const char* name;
    std::string bytes;
    int opened;
    std::string after;  // "" the same bytes
  } cases[] = {
      {"empty file is new", "", 1, "new"},
      {"wrong format", std::string(1, '\x07') + std::string(2000, 'x'), 0, ""},
      {"text file", "[GLOBCONF]\r\nDNFN=x\r\n", 0, ""},
      {"format 5 shorter than its header", std::string(1, '\x05') + std::string(500, '\0'), 0, ""},
      {"format 3 shorter than its header", std::string(1, '\x03') + std::string(100, '\0'), 0, ""},
  };
  for (const auto& c : cases) {
    Book b("pbdb_foreign");
    PutFile(b.Path(), c.bytes);
    EXPECT_EQ(b.Open(), c.opened) << c.name;
    EXPECT_EQ(b.db.IsOpen(), c.opened == 1) << c.name;
    EXPECT_EQ(FileBytes(b.Path()), c.after == "new" ? Header5(b.Path(), 0) : c.bytes) << c.name;
    if (!c.opened) {
      EXPECT_FALSE(b.log.empty()) << c.name;
      EXPECT_EQ(b.Add("A", "B", "0711"), 0) << c.name;
      EXPECT_EQ(b.Find("0711"), PBS_NOT_FOUND) << c.name;
      EXPECT_EQ(FileBytes(b.Path()), c.bytes) << c.name;
    }
  }
}

TEST(PhoneBookDatabase, NoFileNameMeansNoPhoneBook) {
  Book b("pbdb_none");
  EXPECT_EQ(b.db.Open(""), 0);
  EXPECT_TRUE(testsupport::NamesIn(b.dir.Str()).empty());
  EXPECT_EQ(b.Find("0711"), PBS_NOT_FOUND);
  CMyDataBaseParamInterface* rec = reinterpret_cast<CMyDataBaseParamInterface*>(1);
  EXPECT_NE(b.db.NewRecord(&rec), PBS_DONE);
  EXPECT_EQ(rec, nullptr);
  EXPECT_EQ(b.Add("A", "B", "0711"), 0);
  EXPECT_EQ(b.db.Flush(), 0);
  EXPECT_TRUE(testsupport::NamesIn(b.dir.Str()).empty());
}

TEST(PhoneBookDatabase, SavesARecordWithEveryField) {
  Book b("pbdb_full");
  ASSERT_EQ(b.Open(), 1);
  CMyDataBaseItem* e = b.db.GetEmptyItem(-1);
  const char* texts[] = {"", "Firma", "Weg", "7", "12345", "Ort", "Land", "Frau", "Muster", "0711/60-60",
                         "0711 99", "K1", "Notiz"};
  for (int id = 1; id <= 12; ++id) e->SetFieldText(id, texts[id]);
  e->SetFieldText(PBF_TREATMENT, "3");
  e->NormaliseNumber();
  ASSERT_EQ(b.db.SaveItem(e, -1), 1);
  std::string r(666, '\0');
  r[4] = 1;
  pbtest::PutAt(r, 5, "Firma");
  pbtest::PutAt(r, 46, "Weg");
  pbtest::PutAt(r, 87, "7");
  pbtest::PutAt(r, 93, "12345");
  pbtest::PutAt(r, 104, "Ort");
  pbtest::PutAt(r, 125, "Land");
  pbtest::PutAt(r, 146, "07116060");
  r[167] = 1;
  pbtest::PutAt(r, 168, "0711 99");
  pbtest::PutAt(r, 189, "Frau");
  pbtest::PutAt(r, 210, "Muster");
  pbtest::PutAt(r, 251, "K1");
  pbtest::PutAt(r, 272, "Notiz");
  r[533] = 3;
  pbtest::PutAt(r, 535, "\r\n");
  EXPECT_EQ(FileBytes(b.Path()), Header5(b.Path(), 1) + r);
  EXPECT_EQ(b.db.Current()->FileOffset(), 1127u);
  // edited in place: same offset, same length
  e->SetFieldText(PBF_NAME, "Neu");
  ASSERT_EQ(b.db.SaveItem(e, -1), 1);
  pbtest::PutAt(r, 210, std::string("Neu\0\0\0", 6));
  EXPECT_EQ(FileBytes(b.Path()), Header5(b.Path(), 1) + r);
}

TEST(PhoneBookDatabase, ConvertsTheOlderFormat) {
  Book b("pbdb_conv");
  std::string old(203, '\0');
  old[0] = 3;
  pbtest::PutAt(old, 1, "C:\\ALT\\TEL.DB");
  pbtest::PutU32At(old, 53, 3);
  pbtest::PutAt(old, 57, "Kopftext");
  old[202] = 'q';  // the rest of the old header is not taken over
  std::string want = Header5("C:\\ALT\\TEL.DB", 3);
  pbtest::PutAt(want, 57, "Kopftext");
  for (int i = 0; i < 3; ++i) {
    std::string rec(536, '\0');
    for (int k = 0; k < 533; ++k) rec[static_cast<std::size_t>(k)] = static_cast<char>((k * 31 + i) & 0x7F);
    rec[4] = 1;
    pbtest::PutAt(rec, 146, std::string("0711") + char('0' + i) + std::string(16, '\0'));
    pbtest::PutAt(rec, 533, std::string("\r\n\0", 3));
    old += rec;
    std::string nr(666, '\0');
    nr.replace(0, 533, rec.substr(0, 533));
    pbtest::PutAt(nr, 535, std::string("\r\n\0", 3));
    want += nr;
  }
  PutFile(b.Path(), old);
  ASSERT_EQ(b.Open(), 1);
  EXPECT_EQ(FileBytes(b.Path()), want);
  EXPECT_EQ(b.db.GetRecordCount(), 3u);
  EXPECT_EQ(b.Find("07112"), PBS_FOUND);
  EXPECT_EQ(testsupport::NamesIn(b.dir.Str()), std::vector<std::string>{"book.db"});
  // a torn old record is not converted; the conversion fails cleanly on a full disk
  Book c("pbdb_conv_fail");
  PutFile(c.Path(), old.substr(0, old.size() - 100));
  {
    testsupport::FileFault fault(plat::io::Op::Write, 2, ENOSPC);
    EXPECT_EQ(c.Open(), 0);
  }
  EXPECT_EQ(FileBytes(c.Path()), old.substr(0, old.size() - 100));
  EXPECT_EQ(testsupport::NamesIn(c.dir.Str()), std::vector<std::string>{"book.db"});
  ASSERT_EQ(c.Open(), 1);
  EXPECT_EQ(c.db.GetRecordCount(), 2u);
  EXPECT_EQ(FileBytes(c.Path()).size(), 1127u + 2 * 666u);
}

TEST(PhoneBookDatabase, RepairsCountAndTornTailAtOpen) {
  struct Case {
    const char* name;
    std::uint32_t headerCount;
    int records;
    std::size_t tail;
    std::uint32_t count;
    bool countLogged;
  } cases[] = {
      {"10 over 9", 10, 9, 0, 9, true},
      {"0 over 2", 0, 2, 0, 2, true},
      {"torn tail", 3, 3, 100, 3, false},
      {"torn tail, count off", 4, 3, 665, 3, true},
      {"sound", 2, 2, 0, 2, false},
  };
  plat::SetTextSource(&CountTexts);
  for (const auto& c : cases) {
    Book b("pbdb_repair");
    std::string f = Header5(b.Path(), c.headerCount);
    for (int i = 0; i < c.records; ++i) f += Record5("C", "N", "0711" + std::to_string(i));
    std::string full = f;
    f += std::string(c.tail, '\x01');
    PutFile(b.Path(), f);
    ASSERT_EQ(b.Open(), 1) << c.name;
    EXPECT_EQ(b.db.GetRecordCount(), c.count) << c.name;
    std::string want = full;
    pbtest::PutU32At(want, 53, c.count);
    EXPECT_EQ(FileBytes(b.Path()), want) << c.name;
    const std::string line = "Kopf: " + std::to_string(c.headerCount) + " Datei: " + std::to_string(c.count) + ".";
    bool logged = std::find(b.log.begin(), b.log.end(), line) != b.log.end();
    EXPECT_EQ(logged, c.countLogged) << c.name;
    EXPECT_EQ(!b.log.empty(), c.countLogged || c.tail > 0) << c.name;
  }
  plat::SetTextSource(nullptr);
}

TEST(PhoneBookDatabase, CallerLookups) {
  Book b("pbdb_lookup");
  ASSERT_EQ(b.Open(), 1);
  ASSERT_EQ(b.Add("Alpha", "Anna", "0711 111"), 1);
  ASSERT_EQ(b.Add("Beta", "Bert", "0711-222"), 1);
  ASSERT_EQ(b.Add("Gamma", "Gerd", "0711222"), 1);  // the same number again
  ASSERT_EQ(b.Add("Stern", "Sven", "*31#"), 1);
  struct Case {
    std::string number;
    int result;
    std::string company;
  } cases[] = {
      {"0711111", PBS_FOUND, "Alpha"},
      {"0711/111", PBS_FOUND, "Alpha"},
      {"0711222", PBS_FOUND, "Beta"},  // the first in file order
      {"0711*", PBS_NOT_FOUND, "<none>"},  // "*" is no pattern here
      {"31#", PBS_FOUND, "Stern"},
      {"07113", PBS_NOT_FOUND, "<none>"},
      {"", PBS_NOT_FOUND, "<none>"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(b.Find(c.number), c.result) << c.number;
    EXPECT_EQ(b.HitText(PBP_COMPANY), c.company) << c.number;
  }
  CDataBaseParam p;
  p.SetText("0711111");
  EXPECT_EQ(b.db.FindRecord(PBP_COMPANY, p, "", 0), PBS_NOT_SUPPORTED);
  // a lookup moves nothing the user sees
  b.db.First(-1);
  b.db.FindByField(PBF_NAME, "Bert", 0, -1);
  EXPECT_EQ(b.Find("0711111"), PBS_FOUND);
  EXPECT_EQ(b.db.Current()->GetFieldText(PBF_COMPANY), "Alpha");
  EXPECT_EQ(b.db.GetHitCount(-1), 1);
  EXPECT_EQ(b.db.FirstHit(-1)->GetFieldText(PBF_COMPANY), "Beta");
}

TEST(PhoneBookDatabase, SearchesByField) {
  Book b("pbdb_search");
  ASSERT_EQ(b.Open(), 1);
  b.db.BeginBatch();
  for (int i = 0; i < 60; ++i) ASSERT_EQ(b.Add("F" + std::to_string(i), "N", "0612" + std::to_string(i)), 1);
  ASSERT_TRUE(b.db.CommitBatch());
  ASSERT_EQ(b.Add("Other", "x", "0711"), 1);
  struct Case {
    int field;
    std::string pattern;
    int options;
    int hits;
  } cases[] = {
      {PBF_NUMBER, "06*", 0, 50}, {PBF_NUMBER, "06*", 1, 1},      {PBF_NUMBER, "0711", 0, 1},
      {PBF_COMPANY, "f1", 0, 0},  {PBF_COMPANY, "f1", 0x400, 1},  {PBF_COMPANY, "F1*", 0, 11},
      {PBF_NAME, "N", 0, 50},     {PBF_NAME, "zz*", 0, 0},
  };
  for (const auto& c : cases) {
    b.db.First(-1);
    EXPECT_EQ(b.db.FindByField(c.field, c.pattern, c.options, -1), c.hits > 0 ? 1 : 0) << c.pattern;
    EXPECT_EQ(b.db.GetHitCount(-1), c.hits) << c.pattern;
    EXPECT_EQ(b.db.Current()->FileOffset(), 1127u) << "the search leaves the current item";
  }
  // hit lists are per list: a buffer's search keeps the current item's hits
  b.db.FindByField(PBF_NUMBER, "06*", 0, -1);
  int n = b.db.AcquireListBuffer();
  ASSERT_EQ(n, 0);
  b.db.FindByField(PBF_COMPANY, "Other", 0, n);
  EXPECT_EQ(b.db.GetHitCount(-1), 50);
  EXPECT_EQ(b.db.GetHitCount(n), 1);
  EXPECT_EQ(b.db.FirstHit(n)->GetFieldText(PBF_COMPANY), "Other");
  EXPECT_EQ(b.db.LastHit(-1)->GetFieldText(PBF_COMPANY), "F49");
  EXPECT_EQ(b.db.NextHit(-1), nullptr);
  EXPECT_EQ(b.db.PreviousHit(-1)->GetFieldText(PBF_COMPANY), "F48");
  EXPECT_EQ(b.db.NextHit(n), nullptr);
  b.db.ReleaseListBuffer(n);
}

TEST(PhoneBookDatabase, NavigationStaysAtTheEnds) {
  Book b("pbdb_nav");
  ASSERT_EQ(b.Open(), 1);
  EXPECT_EQ(b.db.First(-1), nullptr);
  EXPECT_EQ(b.db.Last(-1), nullptr);
  for (const char* c : {"A", "B", "C"}) ASSERT_EQ(b.Add(c, "n", "1"), 1);
  struct Step {
    int op;  // 0 first, 1 last, 2 next, 3 previous
    std::string company;
  } steps[] = {{0, "A"}, {3, "A"}, {2, "B"}, {2, "C"}, {2, "C"}, {3, "B"}, {1, "C"}, {0, "A"}};
  for (const auto& s : steps)
    EXPECT_EQ(b.db.GetRecordText(0, s.op, "%c"), s.company) << s.op;
  EXPECT_EQ(b.db.GetRecordText(0, 4, "%c/%n"), "A/n");
  EXPECT_EQ(b.db.GetRecordText(7, 0, "%c"), "");
  // a list buffer walks without moving the current item
  int n = b.db.AcquireListBuffer();
  EXPECT_EQ(b.db.Last(n)->GetFieldText(PBF_COMPANY), "C");
  EXPECT_EQ(b.db.Current()->GetFieldText(PBF_COMPANY), "A");
  b.db.ReleaseListBuffer(n);
}

TEST(PhoneBookDatabase, PurgeMovesDeletedRecordsAndRemapsHolders) {
  Book b("pbdb_purge");
  ASSERT_EQ(b.Open(), 1);
  for (const char* c : {"A", "B", "C", "D"}) ASSERT_EQ(b.Add(c, "n", std::string("0711") + c), 1);
  auto rec = [](const char* c) { return ExternalRecord(c, "n", std::string("0711") + c); };
  int n = b.db.AcquireListBuffer();
  b.db.First(n);
  CMyDataBaseItem* held = b.db.Next(n);  // B
  ASSERT_EQ(held->GetFieldText(PBF_COMPANY), "B");
  b.db.ReleaseListBuffer(n);
  b.db.Last(-1);  // D
  ASSERT_EQ(b.db.DeleteItem(held, n), 1);
  EXPECT_EQ(FileBytes(b.Path()), Header5(b.Path(), 3) + rec("A") + rec("C") + rec("D"));
  std::string goneB = rec("B");
  goneB[4] = 0;
  EXPECT_EQ(FileBytes(b.Deleted()), Header5(b.Path(), 1) + goneB);
  EXPECT_EQ(b.db.Current()->FileOffset(), 1127u + 2 * 666u);
  EXPECT_TRUE(held->IsNew());  // its record is gone from the file
  EXPECT_EQ(b.Find("0711B"), PBS_NOT_FOUND);
  EXPECT_EQ(b.Find("0711D"), PBS_FOUND);
  // the current item saves over its own record, not over another
  b.db.Current()->SetFieldText(PBF_NAME, "m");
  ASSERT_EQ(b.db.UpdateItem(b.db.Current(), -1), 1);
  EXPECT_EQ(FileBytes(b.Path()), Header5(b.Path(), 3) + rec("A") + rec("C") + ExternalRecord("D", "m", "0711D"));

  // deleting during an export's walk: marked only, moved by the next purge
  int walk = b.db.AcquireListBuffer();
  CMyDataBaseItem* c = b.db.First(-1);
  c = b.db.Next(-1);
  ASSERT_EQ(c->GetFieldText(PBF_COMPANY), "C");
  EXPECT_EQ(b.db.DeleteItem(c, -1), 0);
  std::string goneC = rec("C");
  goneC[4] = 0;
  EXPECT_EQ(FileBytes(b.Path()), Header5(b.Path(), 3) + rec("A") + goneC + ExternalRecord("D", "m", "0711D"));
  EXPECT_EQ(b.Find("0711C"), PBS_NOT_FOUND);  // deleted records are no hits
  b.db.ReleaseListBuffer(walk);
  ASSERT_EQ(b.db.Flush(), 1);
  EXPECT_EQ(FileBytes(b.Path()), Header5(b.Path(), 2) + rec("A") + ExternalRecord("D", "m", "0711D"));
  std::string delHeader = Header5(b.Path(), 2);
  EXPECT_EQ(FileBytes(b.Deleted()), delHeader + goneB + goneC);
  EXPECT_EQ(testsupport::NamesIn(b.dir.Str()), (std::vector<std::string>{"book.db", "delitems.db"}));
  // a never-stored item is only discarded
  CMyDataBaseItem* e = b.db.GetEmptyItem(-1);
  e->SetFieldText(PBF_NAME, "x");
  EXPECT_EQ(b.db.DeleteItem(e, -1), 0);
  EXPECT_EQ(e->GetFieldText(PBF_NAME), "");
  EXPECT_EQ(b.db.GetRecordCount(), 2u);
}

TEST(PhoneBookDatabase, ANameEndingInUnderscoreKeepsItsFiles) {
  Book b("pbdb_underscore");
  std::string path = b.dir / "tel_";
  ASSERT_EQ(b.db.Open(path), 1);
  ASSERT_EQ(b.Add("A", "n", "1"), 1);
  ASSERT_EQ(b.Add("B", "n", "2"), 1);
  ASSERT_EQ(b.db.DeleteItem(b.db.Current(), -1), 1);
  EXPECT_EQ(FileBytes(path), Header5(path, 1) + Record5("A", "n", "1"));
  EXPECT_EQ(testsupport::NamesIn(b.dir.Str()), (std::vector<std::string>{"delitems.db", "tel_"}));
  // a database called delitems.db keeps its deleted records apart
  std::string self = b.dir / "delitems.db";
  std::remove(self.c_str());
  CMyDataBase other;
  other.SetLogSink([](const std::string&) {});
  ASSERT_EQ(other.Open(self), 1);
  EXPECT_NE(other.DeletedFilePath(), self);
}

TEST(PhoneBookDatabase, InterfaceNewRecordAppendsOnlyWhenUpdated) {
  Book b("pbdb_new_record");
  ASSERT_EQ(b.Open(), 1);
  ASSERT_EQ(b.Add("Alt", "n", "0711"), 1);
  // the user is typing in the dialog meanwhile
  CMyDataBaseItem* typing = b.db.GetEmptyItem(-1);
  typing->SetFieldText(PBF_NAME, "halb getippt");
  CMyDataBaseParamInterface* rec = nullptr;
  ASSERT_EQ(b.db.NewRecord(&rec), PBS_DONE);
  ASSERT_NE(rec, nullptr);
  EXPECT_EQ(b.db.GetRecordCount(), 1u);  // no empty record left behind
  CDataBaseIdList ids;
  ids.Allocate(1);
  CDataBaseParam p;
  p.SetText("0711606060");
  rec->SetParam(PBP_NUMBER, p, &ids);
  p.SetText("New");
  rec->SetParam(PBP_COMPANY, p, &ids);
  EXPECT_EQ(b.db.UpdateRecord(&rec), PBS_DONE);
  EXPECT_EQ(b.db.GetRecordCount(), 2u);
  EXPECT_EQ(typing->GetFieldText(PBF_NAME), "halb getippt");
  EXPECT_EQ(b.Find("0711606060"), PBS_FOUND);
  EXPECT_EQ(b.HitText(PBP_COMPANY), "New");
  std::string want = Header5(b.Path(), 2) + ExternalRecord("Alt", "n", "0711") + Record5("New", "", "0711606060");
  EXPECT_EQ(FileBytes(b.Path()), want);
  // updating the hit rewrites it in place
  CMyDataBaseParamInterface* hit = nullptr;
  ASSERT_EQ(b.db.FirstSearchHit(&hit), PBS_DONE);
  p.SetText("Firma");
  hit->SetParam(PBP_SET_COMPANY, p, &ids);
  EXPECT_EQ(b.db.UpdateRecord(&hit), PBS_DONE);
  EXPECT_EQ(FileBytes(b.Path()).size(), want.size());
  EXPECT_EQ(b.Find("0711606060"), PBS_FOUND);
  EXPECT_EQ(b.HitText(PBP_COMPANY), "Firma");
  CMyDataBaseParamInterface* none = nullptr;
  EXPECT_EQ(b.db.UpdateRecord(&none), PBS_DONE);
  CMyDataBaseParamInterface* foreign = b.db.Current();
  EXPECT_NE(b.db.UpdateRecord(&foreign), PBS_DONE);
  // an item from before a reopen cannot be saved over the new file
  b.db.First(-1);
  CMyDataBaseItem* stale = b.db.Current();
  ASSERT_EQ(b.Open(), 1);
  stale->SetFieldText(PBF_NAME, "alt");
  EXPECT_EQ(b.db.UpdateItem(stale, -1), 0);
}

TEST(PhoneBookDatabase, FailedWritesLeaveTheFileAndAnswerZero) {
  using plat::io::Op;
  struct Case {
    const char* name;
    Op op;
    int nth;
    int action;  // 0 add, 1 edit, 2 delete (with purge), 3 flush after a mark
  } cases[] = {
      {"add: record write", Op::PWrite, 1, 0},   {"add: count word", Op::PWrite, 2, 0},
      {"add: sync", Op::Fdatasync, 1, 0},        {"edit: write", Op::PWrite, 1, 1},
      {"edit: sync", Op::Fdatasync, 1, 1},       {"delete: mark", Op::PWrite, 1, 2},
      {"purge: temporary", Op::Write, 1, 3},     {"purge: temporary sync", Op::Fdatasync, 2, 3},
      {"purge: rename", Op::Rename, 1, 3},       {"purge: deleted file", Op::PWrite, 1, 3},
      {"purge: deleted file sync", Op::Fdatasync, 1, 3},
  };
  for (const auto& c : cases) {
    Book b("pbdb_faults");
    ASSERT_EQ(b.Open(), 1);
    ASSERT_EQ(b.Add("A", "n", "0711"), 1);
    ASSERT_EQ(b.Add("B", "n", "0712"), 1);
    if (c.action == 3) {
      int n = b.db.AcquireListBuffer();
      b.db.Last(-1);
      ASSERT_EQ(b.db.DeleteItem(b.db.Current(), -1), 0);
      b.db.ReleaseListBuffer(n);
    }
    const std::string before = FileBytes(b.Path());
    int result = -1;
    {
      testsupport::FileFault fault(c.op, c.nth, EIO);
      switch (c.action) {
        case 0: result = b.Add("C", "n", "0713"); break;
        case 1:
          b.db.First(-1);
          b.db.Current()->SetFieldText(PBF_NAME, "xx");
          result = b.db.UpdateItem(b.db.Current(), -1);
          break;
        case 2: b.db.First(-1); result = b.db.DeleteItem(b.db.Current(), -1); break;
        case 3: result = b.db.Purge(0, 1); break;
      }
      EXPECT_EQ(fault.Failed(), 1) << c.name;
    }
    EXPECT_EQ(result, 0) << c.name;
    EXPECT_EQ(FileBytes(b.Path()), before) << c.name;
    EXPECT_FALSE(b.log.empty()) << c.name;
    std::string del = FileBytes(b.Deleted());
    EXPECT_TRUE(del.empty() || del.size() == 1127u) << c.name << " " << del.size();
    EXPECT_EQ(testsupport::NamesIn(b.dir.Str()).front(), "book.db") << c.name;
    for (const auto& name : testsupport::NamesIn(b.dir.Str()))
      EXPECT_TRUE(name == "book.db" || name == "delitems.db") << c.name << ": " << name;
    EXPECT_EQ(b.Find("0711"), PBS_FOUND) << c.name;
    EXPECT_EQ(b.Find("0713"), PBS_NOT_FOUND) << c.name;
  }
}

// A text file written over the phone book or its deleted records would
// replace them by text while the database still writes into the old file.
TEST(PhoneBookDatabase, ATextFileNeverReplacesItsOwnFiles) {
  Book b("pbdb_textown");
  ASSERT_EQ(b.Open(), 1);
  ASSERT_EQ(b.Add("A", "nA", "0711"), 1);
  ASSERT_EQ(b.Add("B", "nB", "0712"), 1);
  b.db.Last(-1);
  ASSERT_EQ(b.db.DeleteItem(b.db.Current(), -1), 1);  // delitems.db exists now
  const std::string book = FileBytes(b.Path());
  const std::string del = FileBytes(b.Deleted());
  const std::string viaDot = b.dir.Str() + "/./book.db";
  ASSERT_EQ(::link(b.Path().c_str(), (b.dir / "hardlink.db").c_str()), 0);
  for (const std::string& target : {b.Path(), b.Deleted(), viaDot, b.dir / "hardlink.db"}) {
    for (int kind : {0, 1}) {
      EXPECT_EQ(b.db.WriteTextFile(kind, target, "%c\r\n", -1), 0) << target;
      EXPECT_EQ(FileBytes(b.Path()), book) << target;
      EXPECT_EQ(FileBytes(b.Deleted()), del) << target;
    }
  }
  EXPECT_EQ(b.Find("0711"), PBS_FOUND);
}

TEST(PhoneBookDatabase, ATextFileOfRecordsAndHits) {
  Book b("pbdb_text");
  ASSERT_EQ(b.Open(), 1);
  for (const char* c : {"A", "B", "C"}) ASSERT_EQ(b.Add(c, std::string("n") + c, "1"), 1);
  b.db.GetPrintText(2, 4, "Firma\tName\r\n", -1);
  ASSERT_EQ(b.db.WriteTextFile(0, b.dir / "out.txt", "%c\t%n\r\n", -1), 1);
  EXPECT_EQ(FileBytes(b.dir / "out.txt"), "Firma\tName\r\nA\tnA\r\nB\tnB\r\nC\tnC\r\n");
  b.db.FindByField(PBF_COMPANY, "B", 0, -1);
  ASSERT_EQ(b.db.WriteTextFile(1, b.dir / "hits.txt", "%n;", -1), 1);
  EXPECT_EQ(FileBytes(b.dir / "hits.txt"), "nB;");
  EXPECT_EQ(b.db.WriteTextFile(0, b.dir / "no/such/file", "%c", -1), 0);
  EXPECT_EQ(b.db.GetPrintText(0, 0, "\t\t%c\r\n\t%n", -1), "\t\tA\r\n\tnA");
  EXPECT_EQ(b.db.FirstLine(-1), "\t\tA");
  EXPECT_EQ(b.db.NextLine(-1), "\tnA");
  EXPECT_EQ(b.db.NextLine(-1), "");
}

TEST(PhoneBookDatabase, SmallOperations) {
  Book b("pbdb_small");
  ASSERT_EQ(b.Open(), 1);
  EXPECT_EQ(b.db.ViewRequestFlag(-1), 0);
  EXPECT_EQ(b.db.ViewRequestFlag(1), 1);
  EXPECT_EQ(b.db.ViewRequestFlag(-1), 1);
  EXPECT_EQ(b.db.ViewRequestFlag(0), 0);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(b.db.AcquireListBuffer(), i);
  EXPECT_EQ(b.db.AcquireListBuffer(), -1);
  b.db.ReleaseListBuffer(3);
  b.db.ReleaseListBuffer(42);
  EXPECT_EQ(b.db.AcquireListBuffer(), 3);
  CMyDataBaseItem other;
  EXPECT_EQ(b.db.SaveItem(&other, -1), 0);  // only the edit buffer
  EXPECT_EQ(b.db.SaveItem(b.db.Current(), -1), 0);
  EXPECT_EQ(b.db.UpdateItem(nullptr, -1), 0);
  EXPECT_EQ(b.db.DeleteItem(nullptr, -1), 0);
  EXPECT_EQ(b.db.GetEmptyItem(9), nullptr);
}

// After random saves, edits, deletions and purges every index lookup gives
// what a walk over the file gives.
TEST(PhoneBookDatabase, IndexEqualsALinearScan) {
  for (std::uint32_t seed : {1u, 2u, 3u}) {
    Book b("pbdb_property");
    ASSERT_EQ(b.Open(), 1);
    std::mt19937 rng(seed);
    auto number = [&] { return "07" + std::to_string(rng() % 25); };
    for (int step = 0; step < 300; ++step) {
      int op = static_cast<int>(rng() % 10);
      std::uint32_t count = b.db.GetRecordCount();
      if (op < 5 || count == 0) {
        b.Add("F", "N", number());
      } else if (op < 8) {
        b.db.First(-1);
        std::uint32_t k = rng() % count;
        for (std::uint32_t i = 0; i < k; ++i) b.db.Next(-1);
        CMyDataBaseItem* e = b.db.Current();
        e->SetFieldText(PBF_NUMBER, number());
        b.db.UpdateItem(e, -1);
      } else if (op < 9) {
        b.db.Last(-1);
        int n = rng() % 2 ? b.db.AcquireListBuffer() : -1;
        b.db.DeleteItem(b.db.Current(), -1);
        if (n >= 0) b.db.ReleaseListBuffer(n);
      } else {
        b.db.Purge(0, 1);
      }
      if (step % 50 != 49) continue;
      std::string bytes = FileBytes(b.Path());
      ASSERT_EQ(bytes.size(), 1127u + 666u * b.db.GetRecordCount());
      for (int k = 0; k < 25; ++k) {
        std::string n = "07" + std::to_string(k);
        std::vector<std::uint32_t> scan;
        for (std::size_t off = 1127; off + 666 <= bytes.size(); off += 666)
          if (bytes[off + 4] && pbfile::TextAt(reinterpret_cast<const std::uint8_t*>(bytes.data()), off + 146, 21) == n)
            scan.push_back(static_cast<std::uint32_t>(off));
        EXPECT_EQ(b.db.IndexLookup(n), scan) << "seed " << seed << " step " << step << " number " << n;
        EXPECT_EQ(b.Find(n), scan.empty() ? PBS_NOT_FOUND : PBS_FOUND);
      }
    }
  }
}

// The index built at open finds what a walk over the file finds, for
// numbers of every length, with separators, letters, bytes above 0x7F or
// bytes behind their NUL, in file order, duplicates kept, deleted skipped.
TEST(PhoneBookDatabase, OpenIndexesEveryNumberAsTheFileHoldsIt) {
  struct Row {
    std::string field;
    bool inUse;
  };
  const Row rows[] = {
      {"07111234567", true},
      {"0711-123 4567", true},            // the same number
      {"07111234567", false},             // deleted
      {"12345678901234567890", true},     // the whole field, no NUL in it
      {"1234567890123456789", true},
      {"1234567890123456", true},
      {"12345678", true},
      {"1234567", true},
      {"", true},
      {"0711*ABC", true},
      {std::string("0711\0" "999", 8), true},  // bytes behind the NUL
      {"0711\xE4", true},
      {"+49 711 5", true},
      {"0-1-2-3-4-5-6-7-8-9-", true},
      {"07111234567", true},
  };
  Book b("pbdb_openindex");
  std::string file = Header5("book.db", std::size(rows));
  for (const Row& r : rows) file += Record5("F", "N", r.field, r.inUse);
  PutFile(b.Path(), file);
  ASSERT_EQ(b.Open(), 1);
  const auto scan = [&](const std::string& wanted) {
    const std::string bytes = FileBytes(b.Path());
    std::vector<std::uint32_t> out;
    for (std::size_t off = 1127; off + 666 <= bytes.size(); off += 666)
      if (bytes[off + 4] &&
          pbtext::NormaliseNumber(pbfile::TextAt(reinterpret_cast<const std::uint8_t*>(bytes.data()), off + 146, 21)) ==
              wanted)
        out.push_back(static_cast<std::uint32_t>(off));
    return out;
  };
  const std::string lookups[] = {"07111234567", "12345678901234567890", "1234567890123456789", "1234567890123456",
                                 "12345678",    "1234567",              "",                    "0711ABC",
                                 "0711",        "0711\xE4",             "497115",              "0123456789",
                                 "0711123456",  "123456789012345678901"};
  for (const std::string& n : lookups) EXPECT_EQ(b.db.IndexLookup(n), scan(n)) << "number " << n;
  EXPECT_EQ(b.db.IndexLookup("07111234567").size(), 3u);
  EXPECT_EQ(b.db.IndexLookup("0711123456").size(), 0u);
  // A record added later comes behind the ones read at open.
  ASSERT_EQ(b.Add("F", "N", "0711-12345-67"), 1);
  EXPECT_EQ(b.db.IndexLookup("07111234567"), scan("07111234567"));
  EXPECT_EQ(b.db.IndexLookup("07111234567").size(), 4u);
}
