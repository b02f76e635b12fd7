// The document: its members and their wiring, its commands, the close
// question and the purge.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/doc/brimlowdoc.h"
#include "core/base/globalconfig.h"
#include "platform/dialogkit/dlgscript.h"
#include "platform/eventloop.h"
#include "platform/msgbox.h"
#include "tests/platform/dialogkit/testapp.h"

namespace fs = std::filesystem;

namespace {

struct View : IDocumentView {
  bool answer = false;
  int asked = 0;
  std::vector<std::pair<int, std::string>> hints;
  bool CanCloseView() override {
    ++asked;
    return answer;
  }
  void OnUpdate(int hint, const std::string& text) override { hints.emplace_back(hint, text); }
  plat::WindowId ViewWindow() const override { return 0; }
};

std::string Read(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

class Document : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("doc_test_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    sdfn = dir / "montab.ini";
    std::ofstream(sdfn) << "[MONTAB]\r\nMAINPHONE=21\r\nINTNUMLENGTH=2\r\n[MONTAB-21]\r\nINTNUMBER=21\r\nMONON=1\r\n"
                           "MONSTAT=2\r\nNAME=Meier\r\n";
    GlobalConfig().SDFN = sdfn.string();
    plat::SetMessageBoxImpl(&boxes);
  }
  void TearDown() override {
    GlobalConfig() = saved;
    plat::SetMessageBoxImpl(nullptr);
    fs::remove_all(dir);
  }
  CGlobalConfig saved = GlobalConfig();
  plat::ManualLoop loop;
  plat::ScriptedMessageBox boxes;
  fs::path dir, sdfn;
};

}  // namespace

TEST_F(Document, MembersAreWiredAndTheTableIsLoaded) {
  CBrimlowDoc doc;
  EXPECT_EQ(doc.MonitorTable().GetMainPhone(), "21");
  EXPECT_EQ(doc.CallHandler().monitors, &doc.MonitorTable());
  EXPECT_EQ(doc.Filter().callHandler, &doc.CallHandler());
  EXPECT_EQ(doc.Filter().monitors, &doc.MonitorTable());
  EXPECT_EQ(doc.PhoneBook(), &doc.Database());
  EXPECT_EQ(doc.CallHandler().phoneBook, doc.PhoneBook());
  EXPECT_FALSE(doc.Database().IsOpen());  // no DNFN: no phone book file
  EXPECT_EQ(doc.MainPhoneNumber(), "21");
}

TEST_F(Document, OpensThePhoneBookOnDnfnAndFlushesItAtClose) {
  const fs::path book = dir / "tel.db";
  GlobalConfig().DNFN = book.string();
  {
    CBrimlowDoc doc;
    ASSERT_TRUE(doc.Database().IsOpen());
    EXPECT_EQ(fs::file_size(book), 1127u);
    CMyDataBase& db = doc.Database();
    for (const char* n : {"0711606060", "0711222"}) {
      CMyDataBaseItem* e = db.GetEmptyItem(-1);
      e->SetFieldText(PBF_NUMBER, n);
      e->SetFieldText(PBF_COMPANY, "Firma");
      ASSERT_EQ(db.SaveItem(e, -1), 1);
    }
    // the call handler finds callers in the file
    CDataBaseParam p;
    p.SetText("0711606060");
    EXPECT_EQ(doc.CallHandler().phoneBook->FindRecord(PBP_NUMBER, p, "", 0), PBS_FOUND);
    // a deletion held back by a walk goes at the close
    int walk = db.AcquireListBuffer();
    db.Last(-1);
    EXPECT_EQ(db.DeleteItem(db.Current(), -1), 0);
    db.ReleaseListBuffer(walk);
    doc.CanCloseFrame();
    EXPECT_EQ(fs::file_size(book), 1127u + 666u);
    EXPECT_EQ(fs::file_size(dir / "delitems.db"), 1127u + 666u);
  }
  CBrimlowDoc again;
  CDataBaseParam p;
  p.SetText("0711606060");
  EXPECT_EQ(again.PhoneBook()->FindRecord(PBP_NUMBER, p, "", 0), PBS_FOUND);
  p.SetText("0711222");
  EXPECT_EQ(again.PhoneBook()->FindRecord(PBP_NUMBER, p, "", 0), PBS_NOT_FOUND);
}

TEST_F(Document, CommandsOfItsMenu) {
  CBrimlowDoc doc;
  EXPECT_TRUE(doc.Commands().Run(CBrimlowDoc::ID_ASSISTANT));  // nothing, but handled
  EXPECT_TRUE(doc.Commands().Run(CBrimlowDoc::ID_NOTHING));
  EXPECT_FALSE(doc.Commands().IsEnabled(CBrimlowDoc::ID_OWN_WORKSTATION));  // its dialog is not there
  EXPECT_FALSE(doc.Commands().Run(CBrimlowDoc::ID_OWN_WORKSTATION));
  EXPECT_TRUE(boxes.shown.empty());

  testapp::App();
  View view;
  doc.SetView(&view);
  plat::DialogScript script;
  script.When(162).Press(plat::IDOK);
  script.When(163).Press(plat::IDOK);
  script.When(163).Press(plat::IDCANCEL);
  EXPECT_TRUE(doc.Commands().Run(CBrimlowDoc::ID_EXTENSIONS));
  EXPECT_TRUE(doc.Commands().Run(CBrimlowDoc::ID_SPEEDDIAL));
  EXPECT_TRUE(doc.Commands().Run(CBrimlowDoc::ID_SPEEDDIAL));
  ASSERT_EQ(script.opened.size(), 3u);
  EXPECT_EQ(script.opened[0].resourceId, 162);
  EXPECT_EQ(script.opened[0].result, plat::IDOK);
  EXPECT_EQ(script.opened[1].resourceId, 163);
  // The speed-dial dialog's OK refreshes the views; its Cancel does not.
  EXPECT_EQ(view.hints, (std::vector<std::pair<int, std::string>>{{0, ""}}));
}

TEST_F(Document, ARefusedCloseStillSavesAndTheNextSavesAgain) {
  CBrimlowDoc doc;
  View view;
  doc.SetView(&view);
  CMonitorEntry e;
  e.SetNumber("22");
  e.name = "Schulz";
  e.watchMode = 1;
  doc.MonitorTable().SetEntry(e);
  fs::remove(sdfn);
  EXPECT_FALSE(doc.CanCloseFrame());
  EXPECT_EQ(view.asked, 1);
  const std::string written = Read(sdfn);
  EXPECT_NE(written.find("NAME=Schulz"), std::string::npos);
  // The same bytes the table's own save gives.
  fs::remove(sdfn);
  ASSERT_EQ(doc.MonitorTable().Save(), 1);
  EXPECT_EQ(Read(sdfn), written);
  fs::remove(sdfn);
  view.answer = true;
  EXPECT_TRUE(doc.CanCloseFrame());
  EXPECT_EQ(Read(sdfn), written);
  // Without a view there is nobody to refuse.
  doc.SetView(nullptr);
  EXPECT_TRUE(doc.CanCloseFrame());
}

TEST_F(Document, TheListsAreWiredAndTheCallbackListKeepsItsFile) {
  const fs::path cblfn = dir / "cblist.ini";
  GlobalConfig().CBLFN = cblfn.string();
  {
    CBrimlowDoc doc;
    EXPECT_EQ(doc.CallHandler().speedDial, &doc.SpeedDial());
    EXPECT_EQ(doc.CallHandler().callbackList, &doc.CallbackList());
    EXPECT_EQ(doc.CallHandler().missedCalls, &doc.MissedCalls());
    EXPECT_EQ(doc.SpeedDial().callHandler, &doc.CallHandler());
    EXPECT_EQ(doc.CallbackList().callHandler, &doc.CallHandler());
    EXPECT_EQ(doc.MissedCalls().callbackList, &doc.CallbackList());
    CCallInfo* c = doc.CallbackList().NewCallFor(13);
    ASSERT_NE(c, nullptr);
    c->calledNumber = "0301234";
    doc.CallbackList().AddCall(c);
    EXPECT_TRUE(doc.CanCloseFrame());
  }
  ASSERT_TRUE(fs::exists(cblfn));
  CBrimlowDoc again;
  ASSERT_EQ(again.CallbackList().GetCount(), 1);
  EXPECT_NE(again.CallbackList().GetEntryText(1).find("0301234"), std::string::npos);
}

TEST_F(Document, UpdateHintsAndThePurge) {
  CBrimlowDoc doc;
  View view;
  doc.UpdateAllViews(0);  // no view: nothing
  doc.SetView(&view);
  doc.UpdateAllViews(CBrimlowDoc::kHintRefresh);
  doc.UpdateAllViews(CBrimlowDoc::kHintText, "21");
  EXPECT_EQ(view.hints, (std::vector<std::pair<int, std::string>>{{0, ""}, {1056, "21"}}));

  // After the own-workstation dialog the table's main phone, not the
  // dialog's text.
  doc.MonitorTable().SetMainPhone("22");
  doc.AfterOwnWorkstationDialog();
  EXPECT_EQ(view.hints.back(), (std::pair<int, std::string>{1056, "22"}));

  CCallInfo* a = doc.CallHandler().GetFreeCall(10);
  doc.CallHandler().GetFreeCall(10);
  a->Release();
  EXPECT_EQ(doc.PurgeReleasedCalls(), 0);
  EXPECT_EQ(doc.CallHandler().PoolSize(), 1u);
}
