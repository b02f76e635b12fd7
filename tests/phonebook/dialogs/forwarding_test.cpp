// "individuell" in the program's database window over the real phone book
// file and the document's monitor table: the extras dialog, scripted, and
// the record's bytes on disk after OK, Cancel and a failed write.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/dialogs/extrasdlg.h"
#include "app/view/phonebookwindows.h"
#include "phonebook/dialogs/databasedlg.h"
#include "phonebook/dialogs/recordform.h"
#include "platform/dialogkit/dlgscript.h"
#include "tests/app/view/viewrig.h"
#include "tests/phonebook/dialogs/pbtest_support.h"

using pb::CDataBaseDlg;
using pbtest::Backing;
using X = CExtrasDlg;

namespace {

constexpr std::size_t kFirst = 1127, kSecond = 1127 + 666;

class Individual : public ::testing::Test {
 protected:
  void SetUp() override {
    testapp::App();
    plat::SetTextSource(&pbtest::TestText);
    plat::SetMessageBoxImpl(&boxes);
    rig.Build(false);
    CMonitorTable& t = rig.doc->MonitorTable();
    t.SetShownCount(5);
    for (const char* n : {"10", "12"}) {
      CMonitorEntry e;
      e.SetNumber(n);
      e.name = std::string("Platz ") + n;
      e.watchMode = CMonitorEntry::kExtended;
      e.monitoringOn = 1;
      t.SetEntry(e);
    }
    store.Add("Alpha", "Anton", "0401");
    store.Add("Beta", "Berta", "0402");
  }
  void TearDown() override {
    rig.view.reset();
    windows.reset();
    plat::SetMessageBoxImpl(nullptr);
    plat::SetTextSource(nullptr);
  }
  CDataBaseDlg& Open(bool withTable = true) {
    windows = InstallPhoneBookWindows(*rig.view, &store, withTable ? &rig.doc->MonitorTable() : nullptr);
    EXPECT_TRUE(rig.view->RunCommand(CBrimlowView::ID_DATABASE));
    rig.loop.RunUntilIdle();
    return windows->DatabaseDialog();
  }
  void Press(CDataBaseDlg& d, int id) {
    ASSERT_TRUE(d.UserPress(id)) << id;
    rig.loop.RunUntilIdle();
  }
  std::string Bytes() { return testsupport::FileBytes(store.Database().Path()); }
  static std::string Target(const std::string& t) { return t + std::string(126 - t.size(), '\0'); }

  viewrig::Rig rig;
  plat::ScriptedMessageBox boxes;
  pbtest::BookStore store{Backing::kFile};
  std::unique_ptr<PhoneBookWindows> windows;
};

}  // namespace

TEST_F(Individual, OkWritesKindAndTargetCancelNothing) {
  struct Case {
    const char* what;
    bool external;
    int extension;       // index in the combo box when internal
    const char* number;  // typed when external
    int end;             // IDOK or IDCANCEL
    const char* selector;  // bytes at 538 after it, 0 for unchanged
    const char* target;
  };
  const Case cases[] = {
      {"internal", false, 1, "", plat::IDOK, "\x00\x00", "12"},
      {"external", true, 0, "0301234567", plat::IDOK, "\x01\x00", "0301234567"},
      {"back to internal", false, 0, "", plat::IDOK, "\x00\x00", "10"},
      {"cancelled", true, 0, "0709999", plat::IDCANCEL, nullptr, nullptr},
  };
  CDataBaseDlg& d = Open();
  Press(d, CDataBaseDlg::IDC_NEXT);  // the second record
  ASSERT_EQ(d.GetItemText(pb::form::IDC_FIELD0 + pb::kCompany), "Beta");
  for (const Case& c : cases) {
    const std::string before = Bytes();
    plat::DialogScript script;
    auto& steps = script.When(X::kResourceId);
    if (c.external) steps.Press(X::IDC_EXTERNAL).Set(X::IDC_NUMBER, c.number);
    else steps.Press(X::IDC_INTERNAL).Select(X::IDC_EXTENSION, c.extension);
    steps.Press(c.end);
    ASSERT_TRUE(d.IsItemEnabled(CDataBaseDlg::IDC_EXTRAS)) << c.what;
    Press(d, CDataBaseDlg::IDC_EXTRAS);
    ASSERT_EQ(script.opened.size(), 1u) << c.what;
    EXPECT_EQ(script.opened[0].caption, "T34.1");
    EXPECT_TRUE(script.errors.empty()) << c.what;
    const std::string after = Bytes();
    ASSERT_EQ(after.size(), before.size());
    if (!c.selector) {
      EXPECT_EQ(after, before) << c.what;
      continue;
    }
    EXPECT_EQ(after.substr(kSecond + 538, 2), std::string(c.selector, 2)) << c.what;
    EXPECT_EQ(after.substr(kSecond + 540, 126), Target(c.target)) << c.what;
    // Nothing else of the file moved: the record's fields, the first record.
    EXPECT_EQ(after.substr(0, kSecond + 538), before.substr(0, kSecond + 538)) << c.what;
    EXPECT_TRUE(boxes.shown.empty());
  }
  // The next run shows what the last OK stored.
  std::string shown;
  int radio = -1;
  plat::DialogScript script;
  script.When(X::kResourceId)
      .Do([&](plat::Dialog& x) {
        radio = x.GetRadioIndex(X::IDC_INTERNAL);
        shown = x.GetItemText(X::IDC_EXTENSION);
      })
      .Press(plat::IDCANCEL);
  Press(d, CDataBaseDlg::IDC_EXTRAS);
  EXPECT_EQ(radio, 0);
  EXPECT_EQ(shown, "10 - Platz 10");
}

TEST_F(Individual, UnsavedEditsStayInTheWindowAndOutOfTheFile) {
  CDataBaseDlg& d = Open();
  Press(d, CDataBaseDlg::IDC_EDIT);
  ASSERT_TRUE(d.UserSetText(pb::form::IDC_FIELD0 + pb::kName, "Getippt"));
  plat::DialogScript script;
  script.When(X::kResourceId).Press(X::IDC_EXTERNAL).Set(X::IDC_NUMBER, "0171").Press(plat::IDOK);
  Press(d, CDataBaseDlg::IDC_EXTRAS);
  std::string f = Bytes();
  EXPECT_EQ(f.substr(kFirst + 538, 2), std::string("\x01\x00", 2));
  EXPECT_EQ(f.substr(kFirst + 540, 126), Target("0171"));
  EXPECT_EQ(f.substr(kFirst + 210, 6), std::string("Anton\0", 6));
  EXPECT_EQ(d.GetItemText(pb::form::IDC_FIELD0 + pb::kName), "Getippt");
  // Saved afterwards, the edit goes in and the forwarding stays.
  Press(d, CDataBaseDlg::IDC_SAVE);
  f = Bytes();
  EXPECT_EQ(f.substr(kFirst + 210, 8), std::string("Getippt\0", 8));
  EXPECT_EQ(f.substr(kFirst + 538, 2), std::string("\x01\x00", 2));
  EXPECT_EQ(f.substr(kFirst + 540, 126), Target("0171"));
}

TEST_F(Individual, AFailedWriteIsReportedAndLeavesTheFile) {
  CDataBaseDlg& d = Open();
  const std::string before = Bytes();
  plat::DialogScript script;
  script.When(X::kResourceId).Press(X::IDC_EXTERNAL).Set(X::IDC_NUMBER, "0171").Press(plat::IDOK);
  store.SetFailWrites(true);
  Press(d, CDataBaseDlg::IDC_EXTRAS);
  store.SetFailWrites(false);
  EXPECT_EQ(Bytes(), before);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "T11.65");
}

TEST_F(Individual, WithoutTheMonitorTableTheButtonStaysDisabled) {
  CDataBaseDlg& d = Open(false);
  EXPECT_FALSE(d.IsItemEnabled(CDataBaseDlg::IDC_EXTRAS));
  plat::DialogScript script;
  EXPECT_FALSE(d.UserPress(CDataBaseDlg::IDC_EXTRAS));
  rig.loop.RunUntilIdle();
  EXPECT_TRUE(script.opened.empty());
}

TEST_F(Individual, TheButtonWantsAStoredRecord) {
  CDataBaseDlg& d = Open();
  const struct {
    int press;
    bool enabled;
  } steps[] = {
      {0, true}, {CDataBaseDlg::IDC_NEXT, true}, {CDataBaseDlg::IDC_NEW, false}, {CDataBaseDlg::IDC_FIRST, true},
      {CDataBaseDlg::IDC_NEW, false},
  };
  for (const auto& s : steps) {
    if (s.press) Press(d, s.press);
    EXPECT_EQ(d.IsItemEnabled(CDataBaseDlg::IDC_EXTRAS), s.enabled) << s.press;
  }
  plat::DialogScript script;
  EXPECT_FALSE(d.UserPress(CDataBaseDlg::IDC_EXTRAS));
  rig.loop.RunUntilIdle();
  EXPECT_TRUE(script.opened.empty());
}
