// The own workstation and the forwarding dialogs over the real monitor
// table: the main phone with name and salutation (saved to the SDFN
// file), read-only use, the collector phone, and one record's forwarding.
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/dialogs/extrasdlg.h"
#include "app/dialogs/ownworkstationdlg.h"
#include "dialogs_support.h"
#include "phonebook/iface/picker.h"
#include "platform/dialogkit/dlgscript.h"
#include "platform/profile.h"

using callwintest::CallWinTest;
using callwintest::CoreRig;
using plat::DialogScript;
using W = COwnWorkstationDlg;
using X = CExtrasDlg;

namespace {

class Requests : public IMonitorRequester {
 public:
  int SendMonitorRequest(const std::string& number, int start) override {
    asked.emplace_back(number, start);
    return 1;
  }
  std::vector<std::pair<std::string, int>> asked;
};

class Workstation : public CallWinTest {
 protected:
  void SetUp() override {
    CallWinTest::SetUp();
    rig = std::make_unique<CoreRig>();
    rig->table.SetShownCount(5);
    dialogtest::WatchNamed(*rig, "10", "Frau", "Adler");
    dialogtest::WatchNamed(*rig, "11", "Herr", "Berg");
    dialogtest::WatchNamed(*rig, "12", "", "Cordes");
    rig->table.SetMainPhone("11");
    rig->table.SetPartner(&requests);
  }
  void TearDown() override {
    rig->table.SetPartner(nullptr);
    rig.reset();
    CallWinTest::TearDown();
  }
  std::string Sdfn(const char* section, const char* key) {
    return plat::GetProfileText(section, key, "?", GlobalConfig().SDFN, 128);
  }
  std::unique_ptr<CoreRig> rig;
  Requests requests;
};

TEST_F(Workstation, ShowsTheMainPhoneAndTheChosenExtensionsNameAndSalutation) {
  std::map<std::string, std::string> seen;
  DialogScript script;
  script.When(164)
      .Do([&](plat::Dialog& d) {
        seen["ext"] = d.GetItemText(W::IDC_EXTENSION);
        seen["name"] = d.GetItemText(W::IDC_NAME);
        seen["title"] = d.GetItemText(W::IDC_SALUTATION);
        seen["count"] = std::to_string(d.GetCount(W::IDC_EXTENSION));
      })
      .Select(W::IDC_EXTENSION, 0)
      .Do([&](plat::Dialog& d) {
        seen["name0"] = d.GetItemText(W::IDC_NAME);
        seen["title0"] = d.GetItemText(W::IDC_SALUTATION);
      })
      .Press(plat::IDCANCEL);
  EXPECT_EQ(RunOwnWorkstationDlg(rig->table, 0), plat::IDCANCEL);
  EXPECT_EQ(seen["ext"], "11 - Herr Berg");
  EXPECT_EQ(seen["name"], "Berg");
  EXPECT_EQ(seen["title"], "Herr");
  EXPECT_EQ(seen["count"], "3");  // the extensions with monitoring on
  EXPECT_EQ(seen["name0"], "Adler");
  EXPECT_EQ(seen["title0"], "Frau");
  EXPECT_EQ(rig->table.GetMainPhone(), "11");
}

TEST_F(Workstation, OkMakesTheExtensionTheMainPhoneWithItsTextsAndSaveWritesThem) {
  DialogScript script;
  script.When(164)
      .Set(W::IDC_EXTENSION, "13")
      .Set(W::IDC_NAME, "Dietz")
      .Set(W::IDC_SALUTATION, "Frau Dr.")
      .Press(plat::IDOK);
  EXPECT_EQ(RunOwnWorkstationDlg(rig->table, 0), plat::IDOK);
  EXPECT_TRUE(script.errors.empty());
  EXPECT_EQ(rig->table.GetMainPhone(), "13");
  const CMonitorEntry* e = rig->table.FindByNumber("13");
  EXPECT_EQ(e->name, "Dietz");
  EXPECT_EQ(e->title, "Frau Dr.");
  EXPECT_TRUE(requests.asked.empty());  // no monitor request started
  ASSERT_EQ(rig->table.Save(), 1);
  EXPECT_EQ(Sdfn("MONTAB", "MAINPHONE"), "13");
  EXPECT_EQ(Sdfn("MONTAB-13", "NAME"), "Dietz");
  EXPECT_EQ(Sdfn("MONTAB-13", "TITEL"), "Frau Dr.");
}

TEST_F(Workstation, AnUnknownExtensionAndTheReadOnlyUseChangeNothing) {
  struct Case {
    bool readOnly;
    const char* typed;
    const char* chosen;
  } cases[] = {{false, "77", ""}, {true, "12", "12"}, {true, "77", ""}};
  for (const Case& c : cases) {
    std::string caption;
    DialogScript script;
    script.When(164).Set(W::IDC_EXTENSION, c.typed).Set(W::IDC_NAME, "Neu").Press(plat::IDOK);
    std::string chosen = "?";
    if (c.readOnly) {
      CMonitorEntry* e = ChooseOwnWorkstationExtension(rig->table, 0);
      chosen = e ? e->Number() : "";
      EXPECT_EQ(script.opened.at(0).caption, "T35.1");
    } else {
      EXPECT_EQ(RunOwnWorkstationDlg(rig->table, 0), plat::IDOK);
      chosen = "";
      EXPECT_EQ(script.opened.at(0).caption, "T35.0");
    }
    EXPECT_EQ(chosen, c.chosen) << c.typed;
    EXPECT_EQ(rig->table.GetMainPhone(), "11");
    EXPECT_EQ(rig->table.FindByNumber("12")->name, "Cordes");
  }
}

TEST_F(Workstation, ExtrasInternalSetsTheCollectorAndExternalLeavesIt) {
  rig->table.SetCollectorPhone("10");
  std::string name;
  DialogScript script;
  script.When(196)
      .Select(X::IDC_EXTENSION, 2)
      .Do([&](plat::Dialog& d) { name = d.GetItemText(X::IDC_EXTNAME); })
      .Press(plat::IDOK);
  EXPECT_EQ(RunExtrasDlg(rig->table, 0), plat::IDOK);
  EXPECT_EQ(name, "Cordes");
  EXPECT_EQ(rig->table.GetCollectorPhone(), "12");

  script.When(196).Press(X::IDC_EXTERNAL).Set(X::IDC_NUMBER, "0301234567").Select(X::IDC_EXTENSION, 0);
  script.errors.clear();
  RunExtrasDlg(rig->table, 0);  // the disabled combo box cannot be chosen
  EXPECT_FALSE(script.errors.empty());
  EXPECT_EQ(rig->table.GetCollectorPhone(), "12");
}

// An external number for all callers has nowhere to be kept: OK says so in
// a box and the dialog stays, until the user cancels or picks an extension.
TEST_F(Workstation, ExtrasRefusesAnExternalNumberWithABoxAndStaysOpen) {
  struct Case {
    bool thenInternal;
    int result;
    const char* collector;
  } cases[] = {{false, plat::IDCANCEL, "12"}, {true, plat::IDOK, "10"}};
  for (const Case& c : cases) {
    rig->table.SetCollectorPhone("12");
    boxes.shown.clear();
    bool open = false;
    DialogScript script;
    auto& steps = script.When(196)
                      .Press(X::IDC_EXTERNAL)
                      .Set(X::IDC_NUMBER, "0301234567")
                      .Press(plat::IDOK)
                      .Do([&](plat::Dialog& d) {
                        loop.RunUntilIdle();
                        open = d.IsCreated();
                      });
    if (c.thenInternal) steps.Press(X::IDC_INTERNAL).Select(X::IDC_EXTENSION, 0).Press(plat::IDOK);
    else steps.Press(plat::IDCANCEL);
    EXPECT_EQ(RunExtrasDlg(rig->table, 0), c.result);
    EXPECT_TRUE(script.errors.empty()) << script.errors.front();
    EXPECT_TRUE(open);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "T34.12");
    EXPECT_EQ(boxes.shown[0].caption, "T34.0");
    EXPECT_EQ(rig->table.GetCollectorPhone(), c.collector);
  }
}

// A number typed and confirmed at once, without leaving the box: the name
// and salutation shown were the main phone's and must not go with it.
TEST_F(Workstation, ATypedNumberTakesItsOwnNameOrTheOneTypedNeverTheOldOne) {
  dialogtest::WatchNamed(*rig, "14", "Frau", "Engel");
  rig->table.FindByNumber("14")->monitoringOn = 0;  // watched, not in the list
  struct Case {
    const char* typed;
    const char* name;   // typed into the field, nullptr: left as shown
    const char* wantName;
    const char* wantTitle;
  } cases[] = {
      {"15", nullptr, "", ""},
      {"14", nullptr, "Engel", "Frau"},
      {"16", "Neu", "Neu", ""},
  };
  for (const Case& c : cases) {
    rig->table.SetMainPhone("11");
    DialogScript script;
    auto& steps = script.When(164).Do([&](plat::Dialog& d) { d.SetItemText(W::IDC_EXTENSION, c.typed); });
    if (c.name) steps.Do([&](plat::Dialog& d) { d.SetItemText(W::IDC_NAME, c.name); });
    steps.Press(plat::IDOK);
    EXPECT_EQ(RunOwnWorkstationDlg(rig->table, 0), plat::IDOK);
    EXPECT_EQ(rig->table.GetMainPhone(), c.typed);
    EXPECT_EQ(rig->table.FindByNumber("11")->name, "Berg");
    ASSERT_EQ(rig->table.Save(), 1);
    const std::string section = std::string("MONTAB-") + c.typed;
    EXPECT_EQ(Sdfn("MONTAB", "MAINPHONE"), c.typed);
    EXPECT_EQ(Sdfn(section.c_str(), "NAME"), c.wantName) << c.typed;
    EXPECT_EQ(Sdfn(section.c_str(), "TITEL"), c.wantTitle) << c.typed;
  }
}

TEST_F(Workstation, ExtrasEnableRuleShowsTheCollectorAndTakesThePickedNumber) {
  rig->table.SetCollectorPhone("12");
  ScriptedPhoneBookPicker picker;
  picker.answers.push_back(PickedRecord{4, "Firma", "Meier", "Herr", "0409876"});
  SetPhoneBookPicker(&picker);
  std::map<std::string, int> on;
  std::string ext, name, number;
  DialogScript script;
  script.When(196)
      .Do([&](plat::Dialog& d) {
        ext = d.GetItemText(X::IDC_EXTENSION);
        name = d.GetItemText(X::IDC_EXTNAME);
        on["combo"] = d.IsItemEnabled(X::IDC_EXTENSION);
        on["number"] = d.IsItemEnabled(X::IDC_NUMBER);
        on["db"] = d.IsItemEnabled(X::IDC_DATABASE);
      })
      .Press(X::IDC_EXTERNAL)
      .Do([&](plat::Dialog& d) {
        on["combo2"] = d.IsItemEnabled(X::IDC_EXTENSION);
        on["number2"] = d.IsItemEnabled(X::IDC_NUMBER);
      })
      .Press(X::IDC_DATABASE)
      .Do([&](plat::Dialog& d) {
        loop.RunUntilIdle();
        number = d.GetItemText(X::IDC_NUMBER);
      })
      .Press(plat::IDCANCEL);
  RunExtrasDlg(rig->table, 0);
  SetPhoneBookPicker(nullptr);
  EXPECT_EQ(ext, "12 - Cordes");
  EXPECT_EQ(name, "Cordes");
  EXPECT_EQ(on["combo"], 1);
  EXPECT_EQ(on["number"], 0);
  EXPECT_EQ(on["db"], 0);
  EXPECT_EQ(on["combo2"], 0);
  EXPECT_EQ(on["number2"], 1);
  EXPECT_EQ(picker.asked, 1);
  EXPECT_EQ(number, "0409876");
}

class Record : public IForwardingRecord {
 public:
  int GetForwardingKind() override { return kind; }
  std::string GetForwardingTarget() override { return target; }
  void SetForwardingKind(int k) override { writes.push_back("kind " + std::to_string(k)); }
  void SetForwardingTarget(const std::string& t) override { writes.push_back("target " + t); }
  int kind = 1;
  std::string target;
  std::vector<std::string> writes;
};

TEST_F(Workstation, OneRecordsForwardingIsShownAndWrittenBackKindFirst) {
  struct Case {
    int kind;
    const char* target;
    bool toInternal;
    std::vector<std::string> writes;
  } cases[] = {
      {1, "0301234", false, {"kind 1", "target 0301234"}},
      {1, "0301234", true, {"kind 0", "target 10"}},
      {0, "12", false, {"kind 0", "target 12"}},
  };
  for (const Case& c : cases) {
    Record rec;
    rec.kind = c.kind;
    rec.target = c.target;
    std::string shown;
    int radio = -2;
    DialogScript script;
    auto& steps = script.When(196).Do([&](plat::Dialog& d) {
      radio = d.GetRadioIndex(X::IDC_INTERNAL);
      shown = c.kind ? d.GetItemText(X::IDC_NUMBER) : d.GetItemText(X::IDC_EXTENSION);
    });
    if (c.toInternal) steps.Press(X::IDC_INTERNAL).Select(X::IDC_EXTENSION, 0);
    steps.Press(plat::IDOK);
    EXPECT_EQ(RunRecordForwardingDlg(rig->table, rec, 0), plat::IDOK);
    EXPECT_EQ(script.opened.at(0).caption, "T34.1");
    EXPECT_EQ(radio, c.kind);
    EXPECT_EQ(shown, c.kind ? c.target : "12 - Cordes");
    EXPECT_EQ(rec.writes, c.writes);
    EXPECT_EQ(rig->table.GetCollectorPhone(), "");
  }
}

}  // namespace
