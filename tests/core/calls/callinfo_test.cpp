#include <gtest/gtest.h>

#include "tests/support/testsupport.h"

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "core/base/globalconfig.h"
#include "core/calls/callinfo.h"
#include "platform/profile.h"
#include "platform/textid.h"
#include "tests/phonebook/fake/fake_phonebook.h"

namespace fs = std::filesystem;

namespace {

const char* Texts(int g, int e) {
  static const std::map<std::pair<int, int>, const char*> t = {
      {{42, 0}, "frei"},   {{42, 1}, "s0"},   {{42, 2}, "wählt"},      {{42, 3}, "klingelt"},
      {{42, 4}, "verbunden"}, {{42, 5}, "gehalten"}, {{42, 6}, "s5"},
      {{44, 0}, "Sehr geehrter Herr"}, {{44, 1}, "Herr"}, {{44, 2}, "Sehr geehrte Frau"}, {{44, 3}, "Frau"},
  };
  auto it = t.find({g, e});
  return it == t.end() ? nullptr : it->second;
}

class CallInfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
    plat::SetTextSource(&Texts);
    GlobalConfig().PPCU = 0.12f;
    GlobalConfig().CAUN = "DM";
    GlobalConfig().IntPhnNumLength = 2;
    CCallInfo::SetOwnNumberSource(nullptr);
    dir_ = fs::temp_directory_path() / ("calls_test_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    CCallInfo::SetOwnNumberSource(nullptr);
    fs::remove_all(dir_);
  }
  fs::path dir_;
};

void FillParties(CCallInfo& c) {
  c.calledCompany = "Eigene GmbH";
  c.calledName = "Frau Schmidt";
  c.calledNumber = "21";
  c.callingCompany = "Kunde AG";
  c.callingName = "Herr Meier";
  c.callingNumber = "0621123456";
}

}  // namespace

TEST_F(CallInfoTest, ResetValuesAndStateTexts) {
  CCallInfo c;
  EXPECT_EQ(c.state, -1);
  EXPECT_EQ(c.callId, -1);
  EXPECT_EQ(c.callRefId, -1);
  EXPECT_EQ(c.generatorId, -1);
  EXPECT_EQ(c.callbackInterval, 300);
  EXPECT_EQ(c.callbackMaximum, 3);
  c.description = "kept";
  c.state = 3;
  c.Reset();
  EXPECT_EQ(c.description, "kept");
  EXPECT_EQ(c.GetStateText(), "frei");
  c.state = 3;
  EXPECT_EQ(c.GetStateText(), "verbunden");
  c.state = 5;
  EXPECT_EQ(c.GetStateText(), "s5");
  c.state = 6;
  EXPECT_EQ(c.GetStateText(), "frei");
  c.state = 0;
  EXPECT_EQ(c.GetStateText(), "s0");
}

TEST_F(CallInfoTest, AllSeventeenKeysRoundTripAndNothingElse) {
  std::string file = (dir_ / "cbl.ini").string();
  CCallInfo a;
  FillParties(a);
  a.external = 1;
  a.direction = 2;
  a.callbackCriterion = 4;
  a.callbackCount = 2;
  a.callbackMaximum = 7;
  a.callbackTimeBegin = 1765180800;
  a.callbackTimeEnd = 1765184400;
  a.callbackDate = 1765152000;
  a.callbackInterval = 600;
  a.callbackType = 2;
  a.priority = 9;
  a.description = "d";
  a.beginTime = 11;
  a.callId = 5;
  a.state = 3;
  ASSERT_EQ(a.Save(0, file, "CBLIST-1"), 1);
  EXPECT_FALSE(fs::exists(file));  // only mode 1 writes
  ASSERT_EQ(a.Save(1, file, "CBLIST-1"), 1);

  std::ifstream in(file);
  std::stringstream ss;
  ss << in.rdbuf();
  EXPECT_EQ(ss.str(),
            "[CBLIST-1]\r\nCEDCMPY=Eigene GmbH\r\nCEDNAME=Frau Schmidt\r\nCEDNUM=21\r\nCINCMPY=Kunde AG\r\n"
            "CINNAME=Herr Meier\r\nCINNUM=0621123456\r\nEXT=1\r\nDIRECT=2\r\nCECRI=4\r\nCC=2\r\nCMC=7\r\n"
            "CCTB=1765180800\r\nCCTE=1765184400\r\nCTIDA=1765152000\r\nCTINTV=600\r\nCTSPT=2\r\nCPRIO=9\r\n");

  CCallInfo b;
  ASSERT_EQ(b.Load(1, file, "CBLIST-1"), 1);
  EXPECT_EQ(b.calledCompany, a.calledCompany);
  EXPECT_EQ(b.calledName, a.calledName);
  EXPECT_EQ(b.calledNumber, a.calledNumber);
  EXPECT_EQ(b.callingCompany, a.callingCompany);
  EXPECT_EQ(b.callingName, a.callingName);
  EXPECT_EQ(b.callingNumber, a.callingNumber);
  EXPECT_EQ(b.external, 1);
  EXPECT_EQ(b.direction, 2);
  EXPECT_EQ(b.callbackCriterion, 4);
  EXPECT_EQ(b.callbackCount, 2);
  EXPECT_EQ(b.callbackMaximum, 7);
  EXPECT_EQ(b.callbackTimeBegin, a.callbackTimeBegin);
  EXPECT_EQ(b.callbackTimeEnd, a.callbackTimeEnd);
  EXPECT_EQ(b.callbackDate, a.callbackDate);
  EXPECT_EQ(b.callbackInterval, 600);
  EXPECT_EQ(b.callbackType, 2);
  EXPECT_EQ(b.priority, 9);
  // Not stored.
  EXPECT_EQ(b.description, "");
  EXPECT_EQ(b.beginTime, 0);
  EXPECT_EQ(b.callId, -1);
  EXPECT_EQ(b.state, -1);
}

TEST_F(CallInfoTest, LoadDefaultsAndCallbackTypeFive) {
  std::string file = (dir_ / "cbl.ini").string();
  plat::WritePrivateProfileString("E", "CTSPT", "5", file.c_str());
  plat::WritePrivateProfileString("E", "CCTB", "1000", file.c_str());
  plat::WritePrivateProfileString("E", "CCTE", "99999", file.c_str());
  CCallInfo c;
  c.Load(1, file, "E");
  EXPECT_EQ(c.callbackTimeEnd, 1120);
  EXPECT_EQ(c.callbackMaximum, 3);
  EXPECT_EQ(c.callbackInterval, 0);  // the load default differs from the reset value
  CCallInfo d;
  d.Load(1, file, "missing");
  EXPECT_EQ(d.callbackMaximum, 3);
  EXPECT_EQ(d.callingNumber, "");
}

TEST_F(CallInfoTest, DescriptionLayouts) {
  CCallInfo c;
  FillParties(c);
  c.direction = 1;
  c.endTime = 920621229;  // 5 March 1999, 08:07:09 UTC
  c.beginTime = 920621100;
  c.units = 3;
  c.chargeText1 = "Ort";
  c.callRefId = 42;
  EXPECT_EQ(c.GetDescription(1), "Kunde AG\tHerr Meier\t0621123456");
  EXPECT_EQ(c.description, "Kunde AG\tHerr Meier\t0621123456");
  EXPECT_EQ(c.GetDescription(2), "5. 03. 99, 8:07:09\t21\t0621123456\tKunde AG\tHerr Meier");
  EXPECT_EQ(c.GetDescription(3), "5. 03. 99\t8:05:00\t 0.36 DM\tOrt\t?\t21\t0621123456");
  EXPECT_EQ(c.GetDescription(4), "Kunde AG - Herr Meier");
  EXPECT_EQ(c.GetDescription(5), "Kunde AG\r\nHerr Meier\r\n0621123456");
  EXPECT_EQ(c.GetDescription(6), "42");
  EXPECT_EQ(c.GetDescription(7), "0621123456");
  EXPECT_EQ(c.GetDescription(8), "Kunde AG - Herr Meier -> 21, Frau Schmidt");
  EXPECT_EQ(c.GetDescription(9), "");

  c.direction = 2;
  EXPECT_EQ(c.GetDescription(1), "Eigene GmbH\tFrau Schmidt\t21");
  EXPECT_EQ(c.GetDescription(2), "");
  EXPECT_EQ(c.GetDescription(7), "21");
  EXPECT_EQ(c.GetDescription(8), "0621123456 Herr Meier -> Eigene GmbH , Frau Schmidt");

  CCallInfo e;
  EXPECT_EQ(e.GetDescription(2), "");  // four tabs only
  EXPECT_EQ(e.GetDescription(4), "N.N.");
  e.direction = 2;
  EXPECT_EQ(e.GetDescription(8), "  -> N.N.");
}

TEST_F(CallInfoTest, MoneyIgnoresTheProcessLocale) {
  testsupport::GermanLocale de;
  if (!de.Active()) GTEST_SKIP() << "no German locale";
  CCallInfo c;
  c.units = 10;
  const std::string line = c.GetDescription(3);
  EXPECT_NE(line.find(" 1.20 DM"), std::string::npos) << line;
}

TEST_F(CallInfoTest, EveryLayoutReadsBackWhatItWrote) {
  CCallInfo src;
  FillParties(src);
  src.endTime = 1765180800;
  src.beginTime = 1765180700;
  src.units = 7;
  src.chargeText1 = "A";
  src.chargeText2 = "B";
  src.callRefId = 1234;

  for (int layout = 1; layout <= 6; ++layout) {
    for (int dir : {1, 2}) {
      src.direction = dir;
      std::string text = src.GetDescription(layout);
      if (text.empty()) continue;  // layout 2 of an outgoing call
      CCallInfo back;
      ASSERT_EQ(back.SetFromText(layout, text), 1);
      EXPECT_EQ(back.direction, 2);
      if (layout == 2) {
        // An incoming-call line: its fields come back in their places.
        EXPECT_EQ(back.endTime, src.endTime);
        EXPECT_EQ(back.calledNumber, src.calledNumber);
        EXPECT_EQ(back.callingNumber, src.callingNumber);
        EXPECT_EQ(back.callingCompany, src.callingCompany);
        EXPECT_EQ(back.callingName, src.callingName);
        back.direction = 1;
      }
      EXPECT_EQ(back.GetDescription(layout), text) << "layout " << layout << " direction " << dir;
    }
  }
  EXPECT_EQ(CCallInfo().SetFromText(7, "x"), 0);
  EXPECT_EQ(CCallInfo().SetFromText(0, "x"), 0);
}

TEST_F(CallInfoTest, LayoutThreeCarriesBothNumbersAndTheCharge) {
  CCallInfo src;
  FillParties(src);
  src.beginTime = 1765180800;
  src.units = 5;
  CCallInfo back;
  back.SetFromText(3, src.GetDescription(3));
  EXPECT_EQ(back.beginTime, src.beginTime);
  EXPECT_EQ(back.units, 5);
  EXPECT_EQ(back.calledNumber, "21");
  EXPECT_EQ(back.callingNumber, "0621123456");
  EXPECT_EQ(back.chargeText1, "");
  EXPECT_EQ(back.external, 1);  // a number longer than the internal length
}

TEST_F(CallInfoTest, IncomingLineWithTheOwnNumberBecomesACallBack) {
  CCallInfo::SetOwnNumberSource([] { return std::string("21"); });
  CCallInfo in;
  FillParties(in);
  in.direction = 1;
  in.endTime = 1765180800;
  CCallInfo back;
  back.SetFromText(2, in.GetDescription(2));
  EXPECT_EQ(back.direction, 2);
  EXPECT_EQ(back.callingNumber, "21");
  EXPECT_EQ(back.calledNumber, "0621123456");
  EXPECT_EQ(back.calledName, "Herr Meier");
  EXPECT_EQ(back.calledCompany, "Kunde AG");
  EXPECT_EQ(back.callingName, "");
  EXPECT_EQ(back.GetDescription(7), "0621123456");
}

TEST_F(CallInfoTest, LayoutSixAlsoReadsItsFieldForm) {
  CCallInfo c;
  c.SetFromText(6, "0621\t22\tNotiz\tT2\tT1\tBeschreibung");
  EXPECT_EQ(c.calledNumber, "0621");
  EXPECT_EQ(c.callingNumber, "22");
  EXPECT_EQ(c.note, "Notiz");
  EXPECT_EQ(c.chargeText2, "T2");
  EXPECT_EQ(c.chargeText1, "T1");
  EXPECT_EQ(c.description, "Beschreibung");
  EXPECT_EQ(c.external, 1);
}

TEST_F(CallInfoTest, PartnerNumber) {
  CCallInfo c;
  c.calledNumber = "21";
  c.callingNumber = "0621";
  c.direction = 2;
  EXPECT_EQ(c.GetPartnerNumber(), "21");
  c.direction = 1;
  EXPECT_EQ(c.GetPartnerNumber(), "0621");
  EXPECT_EQ(c.GetPartnerNumber("21"), "0621");
  EXPECT_EQ(c.GetPartnerNumber("0621"), "21");
}

TEST_F(CallInfoTest, PartyFromPhoneBook) {
  FakePhoneBook pb;
  auto& r = pb.Add("0621123", "Firma X", "Herr", "Meier");
  CCallInfo in;
  in.direction = 1;
  in.callHandling = 3;
  ASSERT_EQ(in.SetPartyFromParams(&r), 1);
  EXPECT_EQ(in.callingCompany, "Firma X");
  EXPECT_EQ(in.callingName, "Herr Meier");
  EXPECT_EQ(in.callingNumber, "0621123");
  EXPECT_EQ(in.callHandling, 0);
  EXPECT_EQ(in.SetPartyFromParams(nullptr), 0);

  CCallInfo out;
  out.SetPartyFromParams(&r);
  EXPECT_EQ(out.direction, 2);
  EXPECT_EQ(out.calledName, "Herr Meier");

  // From a record: the salutation is translated through the title pairs.
  CallParty p;
  p.company = "C";
  p.title = "Herr";
  p.name = "Meier";
  p.number = "0621";
  p.external = 1;
  p.callHandling = 2;
  CCallInfo rec;
  rec.SetPartyFromRecord(&p);
  EXPECT_EQ(rec.direction, 2);
  EXPECT_EQ(rec.calledName, "Sehr geehrter Herr Meier");
  EXPECT_EQ(rec.external, 1);
  EXPECT_EQ(rec.callHandling, 2);
  p.title = "";
  rec.SetPartyFromRecord(&p);
  EXPECT_EQ(rec.calledName, "Meier");
  rec.SetPartyFromRecord(nullptr);
  EXPECT_EQ(rec.calledName, "Meier");
}

namespace {
struct CountingOwner : ICallInfoOwner {
  int freed = 0;
  int FreeCall(CCallInfo* c) override {
    ++freed;
    c->connectedMark = -1;
    return 1;
  }
};
}  // namespace

TEST_F(CallInfoTest, CopyKeepsDescriptionAndReleaseGoesToOwner) {
  CountingOwner owner;
  CCallInfo a, b;
  FillParties(a);
  a.owner = &owner;
  a.description = "A";
  b.description = "B";
  b.CopyFrom(a);
  EXPECT_EQ(b.description, "B");
  EXPECT_EQ(b.callingNumber, a.callingNumber);
  EXPECT_EQ(b.Release(), 1);
  EXPECT_EQ(owner.freed, 1);
  EXPECT_EQ(b.connectedMark, -1);
  CCallInfo lone;
  EXPECT_EQ(lone.Release(), 1);
}
