// What the dialogs rely on of their store, over the phone book in memory and
// over the program's database on a real file; then what only the file can
// show: the bytes on disk, the bytes the dialogs never see, the batch sync
// and a failed write.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/phonebook/dialogs/bookstore.h"

using namespace pb;
using pbtest::Backing;
using pbtest::BookStore;

namespace {

class StoreContract : public ::testing::TestWithParam<Backing> {
 protected:
  std::vector<std::string> Companies(const std::vector<std::int64_t>& offsets) {
    std::vector<std::string> out;
    for (std::int64_t o : offsets) {
      PbRecord r;
      EXPECT_TRUE(store.ReadAt(o, &r)) << o;
      out.push_back(r.text[kCompany]);
    }
    return out;
  }
  BookStore store{GetParam()};
};

}  // namespace

TEST_P(StoreContract, RecordsRoundTripAtTheirOffsets) {
  PbRecord r;
  r.Set(kCompany, std::string(50, 'c'));
  r.Set(kTown, "K\xf6ln");
  r.Set(kNumber, "0221 12-34");
  r.Set(kNote, std::string(300, 'n'));
  r.Set(kExternal, "1");
  r.Set(kTreatment, "3");
  ASSERT_TRUE(store.Save(r));
  EXPECT_EQ(r.offset, 1127);
  store.Add("Zwei", "B", "2", false);
  ASSERT_EQ(store.RecordCount(), 2u);

  PbRecord back;
  ASSERT_TRUE(store.ReadRecord(1, &back));
  EXPECT_EQ(back.text[kCompany], std::string(40, 'c'));
  EXPECT_EQ(back.text[kTown], "K\xf6ln");
  EXPECT_EQ(back.text[kNumber], "0221 12-34");  // normalising is the dialogs' work
  EXPECT_EQ(back.text[kNote], std::string(255, 'n'));
  EXPECT_TRUE(back.external);
  EXPECT_EQ(back.treatment, 3);
  EXPECT_TRUE(back.inUse);
  ASSERT_TRUE(store.ReadRecord(2, &back));
  EXPECT_EQ(back.offset, 1127 + 666);
  EXPECT_FALSE(back.inUse);

  const struct {
    std::int64_t offset;
    std::uint32_t place;
  } places[] = {{1127, 1}, {1793, 2}, {0, 0}, {1128, 0}, {1127 + 2 * 666, 0}, {-666, 0}};
  for (const auto& p : places) {
    EXPECT_EQ(store.PlaceOf(p.offset), p.place) << p.offset;
    EXPECT_EQ(store.ReadAt(p.offset, &back), p.place != 0) << p.offset;
  }
  EXPECT_FALSE(store.ReadRecord(0, &back));
  EXPECT_FALSE(store.ReadRecord(3, &back));
}

TEST_P(StoreContract, TheIndividualTreatmentIsKeptOnAppendAndRewrite) {
  const struct {
    std::int16_t selector;
    std::string target;
    std::string back;
  } cases[] = {
      {0, "", ""},
      {0, "12", "12"},
      {1, "0301234567", "0301234567"},
      {-2, std::string(200, 'z'), std::string(125, 'z')},
      {32767, std::string(125, '9'), std::string(125, '9')},
  };
  for (const auto& c : cases) {
    PbRecord r;
    r.Set(kCompany, "Neu");
    r.selector = c.selector;
    r.target = c.target;
    ASSERT_TRUE(store.Save(r));
    PbRecord back;
    ASSERT_TRUE(store.ReadAt(r.offset, &back));
    EXPECT_EQ(back.selector, c.selector) << c.target;
    EXPECT_EQ(back.target, c.back);
    // Rewritten the other way round: the new value, nothing of the old.
    back.selector = static_cast<std::int16_t>(c.selector == 1 ? 0 : 1);
    back.target = c.target.empty() ? "0401" : "7";
    ASSERT_TRUE(store.Save(back));
    PbRecord again;
    ASSERT_TRUE(store.ReadAt(r.offset, &again));
    EXPECT_EQ(again.selector, back.selector) << c.target;
    EXPECT_EQ(again.target, back.target);
    EXPECT_EQ(again.text[kCompany], "Neu");
  }
  // Walks see it too.
  std::vector<std::string> seen;
  store.ForEach([&](const PbRecord& r) {
    seen.push_back(std::to_string(r.selector) + ":" + r.target);
    return true;
  });
  EXPECT_EQ(seen, (std::vector<std::string>{"1:0401", "1:7", "0:7", "1:7", "1:7"}));
}

TEST_P(StoreContract, SearchesFindRecordsInUse) {
  store.Add("Alpha", "Anton", "040-1");
  store.Add("alphabet", "Anna", "0402");
  store.Add("Alpha", "Alt", "0403", false);
  store.Add("Beta", "Berta", "0401");
  const struct {
    int field;
    const char* pattern;
    int options;
    std::vector<std::string> companies;
  } cases[] = {
      {kCompany, "Alpha", kToLastRecord | kMatchCase, {"Alpha"}},
      {kCompany, "ALPHA", kToLastRecord | kIgnoreCase, {"Alpha"}},
      {kCompany, "ALPHA*", kToLastRecord | kIgnoreCase, {"Alpha", "alphabet"}},
      {kCompany, "ALPHA*", kToLastRecord | kMatchCase, {}},
      {kCompany, "*", kFirstMatchOnly | kIgnoreCase, {"Alpha"}},
      {kName, "A*", kToLastRecord | kMatchCase, {"Alpha", "alphabet"}},
      {kNumber, "0401", kToLastRecord | kMatchCase, {"Alpha", "Beta"}},
      {kNumber, "04/01", kToLastRecord | kIgnoreCase, {"Alpha", "Beta"}},
      {kNumber, "0403", kToLastRecord | kMatchCase, {}},  // only the deleted one has it
      {kTown, "", kToLastRecord | kMatchCase, {"Alpha", "alphabet", "Beta"}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Companies(store.Search(c.field, c.pattern, c.options)), c.companies) << c.field << " " << c.pattern;

  const struct {
    const char* number;
    bool there;
  } numbers[] = {{"0401", true}, {"04 01", true}, {"0402", true}, {"0403", false}, {"", false}};
  for (const auto& n : numbers) EXPECT_EQ(store.HasNumber(n.number), n.there) << n.number;
}

TEST_P(StoreContract, SearchStopsAtFiftyHits) {
  for (int i = 0; i < 60; ++i) store.Add("Viele", "N", std::to_string(1000 + i));
  EXPECT_EQ(store.Search(kCompany, "Viele", kToLastRecord | kMatchCase).size(), kMaxHits);
}

TEST_P(StoreContract, ADeleteMovesTheRecordsAndOldCopiesAreRefused) {
  const PbRecord a = store.Add("A", "1", "01");
  const PbRecord b = store.Add("B", "2", "02");
  store.Add("C", "3", "03");
  PbRecord stale = store.Records()[2];
  ASSERT_TRUE(store.Delete(a));
  ASSERT_EQ(store.RecordCount(), 2u);
  PbRecord first;
  ASSERT_TRUE(store.ReadRecord(1, &first));
  EXPECT_EQ(first.text[kCompany], "B");
  EXPECT_EQ(first.offset, 1127);
  // C's old offset lies behind the file now, B's is C's: neither is written.
  stale.Set(kName, "changed");
  EXPECT_FALSE(store.Save(stale));
  PbRecord staleB = b;
  staleB.Set(kName, "changed");
  EXPECT_FALSE(store.Save(staleB));
  EXPECT_FALSE(store.Delete(staleB));
  std::vector<std::string> names;
  for (const PbRecord& r : store.Records()) names.push_back(r.text[kCompany] + r.text[kName]);
  EXPECT_EQ(names, (std::vector<std::string>{"B2", "C3"}));
  // Read again, it is written.
  first.Set(kName, "neu");
  EXPECT_TRUE(store.Save(first));
  EXPECT_EQ(store.Records()[0].text[kName], "neu");
}

TEST_P(StoreContract, WalkSeesEveryRecordAndStopsWhenAsked) {
  for (int i = 0; i < 5; ++i) store.Add("F" + std::to_string(i), "N", "0" + std::to_string(i), i != 2);
  std::vector<std::string> seen;
  store.ForEach([&](const PbRecord& r) {
    seen.push_back(r.text[kCompany] + (r.inUse ? "" : "-"));
    EXPECT_EQ(store.PlaceOf(r.offset), seen.size());
    return seen.size() < 4;
  });
  EXPECT_EQ(seen, (std::vector<std::string>{"F0", "F1", "F2-", "F3"}));
}

TEST_P(StoreContract, ViewRequestAndTheRecordOfACallsHit) {
  store.Add("A", "1", "0401");
  const PbRecord b = store.Add("B", "2", "0402");
  EXPECT_EQ(store.ViewRequest(), 0);
  store.SetViewRequest(b.offset);
  EXPECT_EQ(store.ViewRequest(), b.offset);
  store.SetViewRequest(0);
  EXPECT_EQ(store.ViewRequest(), 0);

  RecordParams known(b);
  PbRecord got;
  ASSERT_TRUE(store.RecordOf(&known, &got));
  EXPECT_EQ(got.offset, b.offset);
  PbRecord stranger;
  stranger.Set(kNumber, "0999");
  RecordParams unknown(stranger);
  EXPECT_FALSE(store.RecordOf(&unknown, &got));
  EXPECT_FALSE(store.RecordOf(nullptr, &got));
}

INSTANTIATE_TEST_SUITE_P(Stores, StoreContract, ::testing::Values(Backing::kMemory, Backing::kFile),
                         pbtest::BackingName);

// ------------------------------------------------------------ the file only

namespace {

class FileStore : public ::testing::Test {
 protected:
  std::string Bytes() { return testsupport::FileBytes(store.Database().Path()); }
  BookStore store{Backing::kFile};
};

}  // namespace

// A walk over more records than it reads at once sees each in order at its
// offset; a file that another process cut inside a record ends the walk
// with the whole records before the cut; a subset of fields leaves the
// treatment's target alone.
TEST_F(FileStore, AWalkReadsThroughItsChunksAndStopsAtACutFile) {
  constexpr int kRecords = 600;
  for (int i = 0; i < kRecords; ++i) {
    PbRecord r;
    r.Set(kCompany, "F" + std::to_string(i));
    r.Set(kNumber, "0" + std::to_string(100 + i));
    r.SetTarget("T" + std::to_string(i));
    ASSERT_TRUE(store.Save(r, false));
  }
  ASSERT_TRUE(store.Sync());
  auto walk = [&](std::uint32_t fields) {
    std::vector<std::string> seen;
    store.ForEach(
        [&](const PbRecord& r) {
          EXPECT_EQ(r.offset, 1127 + static_cast<std::int64_t>(seen.size()) * 666) << seen.size();
          seen.push_back(r.text[kCompany] + "/" + r.target);
          return true;
        },
        fields);
    return seen;
  };
  std::vector<std::string> all = walk(kAllFields);
  ASSERT_EQ(all.size(), static_cast<std::size_t>(kRecords));
  EXPECT_EQ(all[0], "F0/T0");
  EXPECT_EQ(all[255], "F255/T255");
  EXPECT_EQ(all[256], "F256/T256");
  EXPECT_EQ(all[599], "F599/T599");
  EXPECT_EQ(walk(FieldBit(kCompany))[599], "F599/");

  ASSERT_EQ(::truncate(store.Database().Path().c_str(), 1127 + 300 * 666 + 100), 0);
  const std::vector<std::string> cut = walk(kAllFields);
  ASSERT_EQ(cut.size(), 300u);
  EXPECT_EQ(cut.back(), "F299/T299");
}

TEST_F(FileStore, RecordsLieInTheFileAsStored) {
  store.Add("Alpha", "Anton", "0401");
  PbRecord r = store.Add("Beta", "Berta", "0402", false);
  std::string f = Bytes();
  ASSERT_EQ(f.size(), 1127u + 2 * 666);
  EXPECT_EQ(f.substr(53, 4), std::string("\x02\x00\x00\x00", 4));  // the count word
  EXPECT_EQ(f.substr(1127 + 4, 1), std::string("\x01"));
  EXPECT_EQ(f.substr(1127 + 5, 6), std::string("Alpha\0", 6));
  EXPECT_EQ(f.substr(1127 + 146, 5), std::string("0401\0", 5));
  EXPECT_EQ(f.substr(1793 + 4, 1), std::string("\x00", 1));
  r.inUse = true;
  r.treatment = 2;
  ASSERT_TRUE(store.Save(r));
  f = Bytes();
  EXPECT_EQ(f.substr(1793 + 4, 1), std::string("\x01"));
  EXPECT_EQ(f.substr(1793 + 533, 2), std::string("\x02\x00", 2));
}

TEST_F(FileStore, ARewriteKeepsWhatTheDialogsDoNotShow) {
  // The treatment target and selector come from elsewhere (the extras).
  CMyDataBase& db = store.Database();
  CMyDataBaseItem* e = db.GetEmptyItem(-1);
  e->SetFieldText(PBF_COMPANY, "Umleitung");
  e->SetFieldText(PBF_NUMBER, "0401");
  e->SetTreatmentSelector(2);
  e->SetTreatmentTarget("0170555");
  ASSERT_EQ(db.SaveItem(e, -1), 1);
  const std::string before = Bytes();
  PbRecord r = store.Records()[0];
  r.Set(kName, "Neu");
  ASSERT_TRUE(store.Save(r));
  const std::string after = Bytes();
  EXPECT_EQ(after.substr(1127 + 538, 128), before.substr(1127 + 538, 128));
  EXPECT_EQ(after.substr(1127, 4), before.substr(1127, 4));
  EXPECT_EQ(after.substr(1127 + 210, 4), std::string("Neu\0", 4));
}

TEST_F(FileStore, TheTreatmentLiesAtItsOffsetsAndARewriteLeavesNoRest) {
  store.Add("Alpha", "Anton", "0401");
  PbRecord r = store.Records()[0];
  r.selector = 1;
  r.target = "0301234567";
  ASSERT_TRUE(store.Save(r));
  std::string f = Bytes();
  EXPECT_EQ(f.substr(1127 + 538, 2), std::string("\x01\x00", 2));
  EXPECT_EQ(f.substr(1127 + 540, 126), "0301234567" + std::string(116, '\0'));
  EXPECT_EQ(f.substr(1127 + 5, 6), std::string("Alpha\0", 6));
  r.selector = 0;
  r.target = "12";
  ASSERT_TRUE(store.Save(r));
  f = Bytes();
  EXPECT_EQ(f.substr(1127 + 538, 2), std::string("\x00\x00", 2));
  EXPECT_EQ(f.substr(1127 + 540, 126), "12" + std::string(124, '\0'));
  r.selector = -1;
  r.target = std::string(300, '5');
  ASSERT_TRUE(store.Save(r));
  f = Bytes();
  EXPECT_EQ(f.size(), 1127u + 666);
  EXPECT_EQ(f.substr(1127 + 538, 2), std::string("\xff\xff", 2));
  EXPECT_EQ(f.substr(1127 + 540, 126), std::string(125, '5') + '\0');
  // The database's own item reads what the store wrote.
  CMyDataBase& db = store.Database();
  CMyDataBaseItem* first = db.First(-1);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->GetTreatmentSelector(), -1);
  EXPECT_EQ(first->GetTreatmentTarget(), std::string(125, '5'));
}

TEST_F(FileStore, BatchedAppendsShareOneSyncAndAFailedWriteLeavesTheFile) {
  store.Add("Alt", "A", "01");
  {
    testsupport::FileFault count;
    for (int i = 0; i < 3; ++i) {
      PbRecord r;
      r.Set(kCompany, "Neu" + std::to_string(i));
      ASSERT_TRUE(store.Save(r, false));
    }
    EXPECT_EQ(count.Count(plat::io::Op::Fdatasync) + count.Count(plat::io::Op::Fsync), 0);
    ASSERT_TRUE(store.Sync());
    EXPECT_EQ(count.Count(plat::io::Op::Fdatasync) + count.Count(plat::io::Op::Fsync), 1);
  }
  const std::string before = Bytes();
  store.SetFailWrites(true);
  PbRecord r;
  r.Set(kCompany, "Voll");
  EXPECT_FALSE(store.Save(r));
  PbRecord old = store.Records()[0];
  old.Set(kName, "anders");
  EXPECT_FALSE(store.Save(old));
  EXPECT_FALSE(store.Delete(old));
  store.SetFailWrites(false);
  EXPECT_EQ(Bytes(), before);
  EXPECT_EQ(store.RecordCount(), 4u);
}

TEST_F(FileStore, TheCallModelsHitIsFoundAgainAfterAPurgeMovedIt) {
  const PbRecord a = store.Add("A", "1", "0401");
  store.Add("B", "2", "0402");
  store.Add("C", "3", "0403");
  CMyDataBase& db = store.Database();
  CDataBaseParam p;
  p.SetText("0403");
  ASSERT_EQ(db.FindRecord(PBP_NUMBER, p, "", 0), PBS_FOUND);
  CMyDataBaseParamInterface* hit = nullptr;
  ASSERT_EQ(db.FirstSearchHit(&hit), PBS_DONE);
  PbRecord got;
  ASSERT_TRUE(store.RecordOf(hit, &got));
  EXPECT_EQ(got.offset, 1127 + 2 * 666);
  // The hit still names C's old offset, which lies behind the file now.
  ASSERT_TRUE(store.Delete(a));
  ASSERT_TRUE(store.RecordOf(hit, &got));
  EXPECT_EQ(got.text[kCompany], "C");
  EXPECT_EQ(got.offset, 1127 + 666);
}
