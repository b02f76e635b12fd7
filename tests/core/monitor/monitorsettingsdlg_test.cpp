#include <gtest/gtest.h>

#include <unistd.h>

#include <QApplication>
#include <filesystem>
#include <map>

#include "core/base/globalconfig.h"
#include "core/monitor/monitortable.h"
#include "core/monitordlg/monitorsettingsdlg.h"
#include "platform/dialogkit/dlgscript.h"
#include "platform/messages.h"
#include "platform/msgbox.h"
#include "platform/profile.h"
#include "platform/textid.h"

namespace fs = std::filesystem;

// The windowing system's font and display libraries keep caches for the
// whole run; they are not ours to free.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig\nleak:libQt6Gui\nleak:libQt6Widgets\nleak:libQt6Core\nleak:libdbus\nleak:libglib\n";
}

namespace {

const char* Texts(int g, int e) {
  static const std::map<std::pair<int, int>, const char*> t = {
      {{22, 0}, "Interne Apparate beobachten"},
      {{22, 1}, "&Fertig"},
      {{22, 14}, "Bitte wählen Sie eine Nebenstelle aus."},
      {{22, 15}, "Die Änderungen werden beim nächsten Anmelden wirksam."},
      {{44, 1}, "Herr"}, {{44, 0}, "Sehr geehrter Herr"},
      {{44, 3}, "Frau"}, {{44, 2}, "Sehr geehrte Frau"},
  };
  auto it = t.find({g, e});
  return it == t.end() ? nullptr : it->second;
}

struct ViewSpy : plat::IMessageTarget {
  std::vector<plat::Message> got;
  plat::LRESULT OnMessage(const plat::Message& m) override {
    got.push_back(m);
    return 0;
  }
};

class MonitorDlgTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char arg0[] = "monitordlg_test";
    static char* argv[] = {arg0, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);
  }
  void SetUp() override {
    plat::SetTextSource(&Texts);
    plat::SetMessageBoxImpl(&boxes_);
    dir_ = fs::temp_directory_path() / ("monitordlg_test_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    GlobalConfig().SDFN = (dir_ / "short.dat").string();
    view_ = plat::RegisterTarget(&spy_);
    table_ = std::make_unique<CMonitorTable>();
  }
  void TearDown() override {
    table_.reset();
    plat::UnregisterTarget(view_);
    plat::SetMessageBoxImpl(nullptr);
    GlobalConfig().SDFN.clear();
    fs::remove_all(dir_);
  }
  std::string Saved(const char* sec, const char* key) {
    return plat::GetProfileText(sec, key, "<none>", GlobalConfig().SDFN);
  }
  plat::ScriptedMessageBox boxes_;
  ViewSpy spy_;
  plat::WindowId view_ = 0;
  fs::path dir_;
  std::unique_ptr<CMonitorTable> table_;
};

}  // namespace

TEST_F(MonitorDlgTest, OpensWithTheEntriesAndTheSalutations) {
  table_->EntryAt(1)->title = "Herr";
  table_->EntryAt(1)->name = "X";
  table_->EntryAt(2)->name = "Y";
  plat::DialogScript script;
  std::vector<std::string> lines, titles;
  bool changeEnabled = true;
  script.When(162).Do([&](plat::Dialog& d) {
    for (int i = 0; i < d.GetCount(1180); ++i) lines.push_back(d.GetLBText(1180, i));
    for (int i = 0; i < d.GetCount(1188); ++i) titles.push_back(d.GetLBText(1188, i));
    changeEnabled = d.IsItemEnabled(1189);
  });
  CMonitorSettingsDlg dlg(table_.get(), view_);
  dlg.DoModal();
  ASSERT_EQ(script.opened.size(), 1u);
  EXPECT_EQ(script.opened[0].caption, "Interne Apparate beobachten");
  ASSERT_EQ(lines.size(), 60u);
  EXPECT_EQ(lines[0], "10");
  EXPECT_EQ(lines[1], "11 - Herr X");
  EXPECT_EQ(lines[2], "12 - Y");
  EXPECT_EQ(lines[59], "69");
  EXPECT_EQ(titles, (std::vector<std::string>{"Herr", "Frau", "", ""}));
  EXPECT_FALSE(changeEnabled);
  EXPECT_TRUE(script.errors.empty());
}

TEST_F(MonitorDlgTest, ChoosingWithoutASelectionOnlyTells) {
  plat::DialogScript script;
  bool enabled = true;
  script.When(162).Press(1286).Do([&](plat::Dialog& d) { enabled = d.IsItemEnabled(1189); }).Press(1);
  CMonitorSettingsDlg dlg(table_.get(), view_);
  EXPECT_EQ(dlg.DoModal(), plat::IDOK);
  ASSERT_GE(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].text, "Bitte wählen Sie eine Nebenstelle aus.");
  EXPECT_FALSE(enabled);
  // "Fertig" without a change: saved, no message, no report.
  EXPECT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(Saved("MONTAB-10", "INTNUMBER"), "10");
  EXPECT_TRUE(spy_.got.empty());
  EXPECT_TRUE(script.errors.empty()) << script.errors[0];
}

TEST_F(MonitorDlgTest, ChangeThenFinish) {
  table_->EntryAt(3)->title = "Frau";
  table_->EntryAt(3)->name = "Alt";
  table_->EntryAt(3)->watchMode = 1;
  plat::DialogScript script;
  std::string chosen, name, title, lineAfter;
  int mode = -1, selAfter = -1;
  script.When(162)
      .DoubleClick(1180, 3)
      .Do([&](plat::Dialog& d) {
        chosen = d.GetItemText(1182);
        name = d.GetItemText(1183);
        title = d.GetItemText(1188);
        mode = d.GetRadioIndex(1271);
      })
      .Set(1183, "Neu")
      .Set(1188, "Herr")
      .Check(1274)
      .Press(1189)
      .Do([&](plat::Dialog& d) {
        selAfter = d.GetCurSel(1180);
        lineAfter = d.GetLBText(1180, 3);
      })
      .Press(1);
  CMonitorSettingsDlg dlg(table_.get(), view_);
  EXPECT_EQ(dlg.DoModal(), plat::IDOK);
  EXPECT_TRUE(script.errors.empty()) << script.errors[0];
  EXPECT_EQ(chosen, "13 - Frau Alt");
  EXPECT_EQ(name, "Alt");
  EXPECT_EQ(title, "Frau");
  EXPECT_EQ(mode, 1);
  EXPECT_EQ(selAfter, 3);
  EXPECT_EQ(lineAfter, "13 - Herr Neu");
  CMonitorEntry* e = table_->FindByNumber("13");
  EXPECT_EQ(e->name, "Neu");
  EXPECT_EQ(e->title, "Herr");
  EXPECT_EQ(e->watchMode, 3u);
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].text, "Die Änderungen werden beim nächsten Anmelden wirksam.");
  EXPECT_FALSE(dlg.Changed());
  EXPECT_EQ(Saved("MONTAB-13", "NAME"), "Neu");
  EXPECT_EQ(Saved("MONTAB-13", "TITEL"), "Herr");
  EXPECT_EQ(Saved("MONTAB-13", "MONSTAT"), "3");
  EXPECT_EQ(Saved("MONTAB-13", "MONON"), "1");
  EXPECT_TRUE(spy_.got.empty());  // the table reported no change of its own
}

TEST_F(MonitorDlgTest, FinishReportsAChangedTableToTheView) {
  table_->MarkChanged();  // a monitor confirmed meanwhile
  plat::DialogScript script;
  script.When(162).Press(1);
  CMonitorSettingsDlg dlg(table_.get(), view_);
  EXPECT_EQ(dlg.DoModal(), plat::IDOK);
  ASSERT_EQ(spy_.got.size(), 1u);
  EXPECT_EQ(spy_.got[0].msg, 1058u);
  EXPECT_EQ(table_->TakeChanged(false), 0);
  EXPECT_TRUE(boxes_.shown.empty());
}
