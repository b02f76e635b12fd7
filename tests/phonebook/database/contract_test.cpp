// The interface cases the call model relies on, run against the in-memory
// fake of its tests and against the real database.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "phonebook/database.h"
#include "tests/phonebook/fake/fake_phonebook.h"
#include "tests/phonebook/pbtemp.h"

namespace {

class Subject {
 public:
  virtual ~Subject() = default;
  virtual CMyDataBaseInterface& Book() = 0;
  virtual void Add(const std::string& number, const std::string& company, const std::string& title,
                   const std::string& name, const std::string& deflect) = 0;
};

class FakeSubject : public Subject {
 public:
  CMyDataBaseInterface& Book() override { return book_; }
  void Add(const std::string& number, const std::string& company, const std::string& title, const std::string& name,
           const std::string& deflect) override {
    book_.Add(number, company, title, name).deflectNumber = deflect;
  }

 private:
  FakePhoneBook book_;
};

class RealSubject : public Subject {
 public:
  RealSubject() : dir_("pb_contract") {
    db_.SetLogSink([](const std::string&) {});
    db_.Open(dir_ / "book.db");
  }
  CMyDataBaseInterface& Book() override { return db_; }
  void Add(const std::string& number, const std::string& company, const std::string& title, const std::string& name,
           const std::string& deflect) override {
    CMyDataBaseItem* e = db_.GetEmptyItem(-1);
    e->SetFieldText(PBF_NUMBER, number);
    e->SetFieldText(PBF_COMPANY, company);
    e->SetFieldText(PBF_TITLE, title);
    e->SetFieldText(PBF_NAME, name);
    e->SetTreatmentTarget(deflect.c_str());
    e->NormaliseNumber();
    db_.SaveItem(e, -1);
  }

 private:
  pbtest::TempFolder dir_;
  CMyDataBase db_;
};

using Factory = std::unique_ptr<Subject> (*)();
std::unique_ptr<Subject> MakeFake() { return std::make_unique<FakeSubject>(); }
std::unique_ptr<Subject> MakeReal() { return std::make_unique<RealSubject>(); }

class PhoneBookContract : public ::testing::TestWithParam<Factory> {};

int Find(CMyDataBaseInterface& b, const std::string& number) {
  CDataBaseParam p;
  p.SetText(number);
  return b.FindRecord(PBP_NUMBER, p, "", 0);
}

std::string Get(CMyDataBaseParamInterface* r, std::uint32_t id) {
  CDataBaseParam v;
  return r && r->GetParam(id, &v) == PBS_DONE ? v.Text() : "<11>";
}

}  // namespace

TEST_P(PhoneBookContract, Lookups) {
  auto s = GetParam()();
  s->Add("0711606060", "Rufer AG", "Frau", "Rufer", "0301234");
  s->Add("0711222", "Ohne Titel", "", "Name", "");
  struct Case {
    std::string number;
    int result;
    std::string company, titleName, deflect;
  } cases[] = {
      {"0711606060", PBS_FOUND, "Rufer AG", "Frau Rufer", "0301234"},
      {"0711222", PBS_FOUND, "Ohne Titel", "Name", ""},
      {"0711 222", PBS_FOUND, "Ohne Titel", "Name", ""},
      {"0711*", PBS_NOT_FOUND, "", "", ""},
      {"0711", PBS_NOT_FOUND, "", "", ""},
  };
  for (const auto& c : cases) {
    CMyDataBaseInterface& b = s->Book();
    EXPECT_EQ(Find(b, c.number), c.result) << c.number;
    CMyDataBaseParamInterface* hit = nullptr;
    int first = b.FirstSearchHit(&hit);
    if (c.result != PBS_FOUND) {
      EXPECT_EQ(first, PBS_NOTHING) << c.number;
      EXPECT_EQ(hit, nullptr);
      continue;
    }
    ASSERT_EQ(first, PBS_DONE);
    EXPECT_EQ(Get(hit, PBP_COMPANY), c.company);
    EXPECT_EQ(Get(hit, PBP_TITLE_AND_NAME), c.titleName);
    EXPECT_EQ(Get(hit, PBP_DEFLECT_NUMBER), c.deflect);
    EXPECT_EQ(Get(hit, 0x10000002), "<11>");
    CDataBaseParam w;
    ASSERT_EQ(hit->GetParam(PBP_FLAG_WORD, &w), PBS_DONE);
    std::int16_t one = 0;
    EXPECT_TRUE(w.Word(&one));
    EXPECT_EQ(one, 1);
  }
  CDataBaseParam p;
  p.SetText("0711222");
  EXPECT_EQ(s->Book().FindRecord(PBP_COMPANY, p, "", 0), PBS_NOT_SUPPORTED);
}

TEST_P(PhoneBookContract, NewRecordThenUpdateIsFound) {
  auto s = GetParam()();
  CMyDataBaseInterface& b = s->Book();
  CMyDataBaseParamInterface* rec = nullptr;
  ASSERT_EQ(b.NewRecord(&rec), PBS_DONE);
  ASSERT_NE(rec, nullptr);
  CDataBaseIdList ids;
  ids.Allocate(1);
  CDataBaseParam p;
  p.SetText("0899");
  EXPECT_EQ(rec->SetParam(PBP_NUMBER, p, &ids), PBS_DONE);
  p.SetText("New");
  EXPECT_EQ(rec->SetParam(PBP_COMPANY, p, &ids), PBS_DONE);
  EXPECT_EQ(rec->IsChanged(), PBS_FOUND);
  EXPECT_EQ(b.UpdateRecord(&rec), PBS_DONE);
  EXPECT_EQ(Find(b, "0899"), PBS_FOUND);
  CMyDataBaseParamInterface* hit = nullptr;
  ASSERT_EQ(b.FirstSearchHit(&hit), PBS_DONE);
  EXPECT_EQ(Get(hit, PBP_COMPANY), "New");
  EXPECT_EQ(Get(hit, PBP_NUMBER), "0899");
  EXPECT_EQ(hit->Matches(PBP_NUMBER, p), PBS_NOT_FOUND);
  p.SetText("0899");
  EXPECT_EQ(hit->Matches(PBP_NUMBER, p), PBS_FOUND);
}

INSTANTIATE_TEST_SUITE_P(FakeAndReal, PhoneBookContract, ::testing::Values(&MakeFake, &MakeReal),
                         [](const ::testing::TestParamInfo<Factory>& i) { return i.index == 0 ? "Fake" : "Real"; });
