// The phone book's windows in the assembled program against the simulated
// PBX over the real serial link: a known caller's call opens a record view
// of the document's phone book, the call's end closes it, and the picker
// hands the keypad the chosen record's number, which goes to the PBX.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "app/callwin/dialdlg.h"
#include "app/view/callwindows.h"
#include "app/view/phonebookwindows.h"
#include "phonebook/dialogs/dbview.h"
#include "phonebook/dialogs/pickerdlg.h"
#include "phonebook/dialogs/recordform.h"
#include "phonebook/store/dbstore.h"
#include "platform/dialogkit/dlgscript.h"
#include "tests/app/view/viewrig.h"
#include "tests/platform/dialogkit/testapp.h"
#include "tools/pbxsim/pbxsim.h"

using Clock = std::chrono::steady_clock;
using V = CBrimlowView;

namespace {

class PhoneBookInTheProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    testapp::App();
    CGlobalConfig& c = GlobalConfig();
    const auto dir = r.globals.dir;
    {
      std::ofstream f(dir / "montab.ini");
      f << "[MONTAB]\r\nMAINPHONE=21\r\nINTNUMLENGTH=2\r\n[MONTAB-21]\r\nINTNUMBER=21\r\nMONON=1\r\nMONSTAT=2\r\n";
    }
    c.SDFN = (dir / "montab.ini").string();
    c.CPID = 4;  // COM5
    c.IO1008 = 0;
    c.MCTO = 5;
    c.GDOH = 1;  // dial without the handset question
    c.CUTOFFLEADINGDIGIT = 1;
    c.BCPW = 0;  // a view per call
    c.ECPW = 0;  // gone with the call
    c.DNFN = (dir / "phone.db").string();
    {
      CMyDataBase db;
      db.SetLogSink([](const std::string&) {});
      ASSERT_EQ(db.Open(c.DNFN), 1);
      const char* const rows[][3] = {{"Kunde AG", "Meier", "0301234567"}, {"Zweite", "Schulz", "0402"},
                                     {"Dritte", "Lange", "0711333444"}};
      for (const auto& row : rows) {
        CMyDataBaseItem* e = db.GetEmptyItem(-1);
        e->SetFieldText(PBF_COMPANY, row[0]);
        e->SetFieldText(PBF_NAME, row[1]);
        e->SetFieldText(PBF_NUMBER, row[2]);
        ASSERT_EQ(db.SaveItem(e, -1), 1);
      }
    }
    sim = std::make_unique<pbxsim::PbxSim>();
    ASSERT_TRUE(sim->Start());
    ::setenv("PALOMIR_COM5", sim->SlavePath().c_str(), 1);
    r.Build(/*withWindows=*/false, /*fakeLink=*/false);
    InstallCallWindows(*r.view, *r.doc);
    store = std::make_unique<pb::CDataBaseStore>(r.doc->Database());
    windows = InstallPhoneBookWindows(*r.view, store.get());
    ASSERT_TRUE(windows);
    r.view->Create();
    r.view->OnInitialUpdate();
  }
  void TearDown() override {
    r.view.reset();
    windows.reset();
    store.reset();
    r.doc.reset();
    sim.reset();
    ::unsetenv("PALOMIR_COM5");
  }
  template <class Pred>
  bool Pump(Pred pred, int timeoutMs = 15000) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < end) {
      r.loop.RunUntilIdle();
      if (pred()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      r.loop.Advance(2);
    }
    r.loop.RunUntilIdle();
    return pred();
  }

  viewrig::Rig r;
  std::unique_ptr<pbxsim::PbxSim> sim;
  std::unique_ptr<pb::CDataBaseStore> store;
  std::unique_ptr<PhoneBookWindows> windows;
};

}  // namespace

TEST_F(PhoneBookInTheProgram, AKnownCallerOpensARecordViewUntilTheCallEnds) {
  ASSERT_TRUE(Pump([&] { return sim->Monitored().size() == 1 && r.doc->Filter().JobState() == jobstate::kFree; }));
  pb::CDBViewControl& views = windows->RecordViews();
  const std::uint32_t call = sim->IncomingCall("00301234567", "21");
  ASSERT_TRUE(Pump([&] { return views.OpenCount() == 1; }));
  pb::CDBViewDlg* v = views.View(0);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->GetItemText(pb::form::IDC_FIELD0 + pb::kCompany), "Kunde AG");
  EXPECT_EQ(v->Record().offset, 1127);
  sim->Clear(call, "00301234567");
  ASSERT_TRUE(Pump([&] { return views.OpenCount() == 0; }));
}

TEST_F(PhoneBookInTheProgram, ThePickerGivesTheKeypadTheChosenNumber) {
  ASSERT_TRUE(Pump([&] { return sim->Monitored().size() == 1 && r.doc->Filter().JobState() == jobstate::kFree; }));
  ASSERT_TRUE(r.view->RunCommand(V::ID_KEYPAD));
  r.loop.RunUntilIdle();
  ASSERT_TRUE(r.view->IsOpen(V::kKeypad));
  auto* keypad = dynamic_cast<CDialDlg*>(r.view->Window(V::kKeypad));
  ASSERT_NE(keypad, nullptr);
  plat::DialogScript script;
  std::vector<std::string> lines;
  script.When(pb::CPhoneBookDlg::kResourceId).Do([&](plat::Dialog& d) {
    for (int i = 0; i < d.GetCount(pb::CPhoneBookDlg::IDC_LIST); ++i) lines.push_back(d.GetLBText(pb::CPhoneBookDlg::IDC_LIST, i));
  }).Select(pb::CPhoneBookDlg::IDC_LIST, 2).Press(1);
  ASSERT_TRUE(keypad->UserPress(CDialDlg::IDC_PICK));
  r.loop.RunUntilIdle();
  ASSERT_EQ(script.opened.size(), 1u);
  EXPECT_EQ(lines, (std::vector<std::string>{"Kunde AG\t\tMeier\t0301234567", "Zweite\t\tSchulz\t0402",
                                             "Dritte\t\tLange\t0711333444"}));
  ASSERT_TRUE(Pump([&] { return sim->ReceivedCount(CSTA_MAKE_CALL) == 1; }));
  std::string called;
  for (const CSTAMessage& m : sim->Received())
    if (m.Type() == CSTA_MAKE_CALL) called = pbxsim::PbxSim::Describe(m);
  // The line's first digit is the PBX's, not the partner's.
  EXPECT_NE(called.find("called=711333444"), std::string::npos) << called;
}
