// The lists' dialogs, run by script on the manual loop with the real call
// handler behind them.
#include <filesystem>

#include "app/dialogs/ownworkstationdlg.h"
#include "app/lists/callbackdlg.h"
#include "app/lists/memorykeystore.h"
#include "app/lists/misseddlg.h"
#include "app/lists/shortdialdlg.h"
#include "listsrig.h"
#include "phonebook/iface/picker.h"
#include "platform/dialogkit/dlgscript.h"
#include "platform/dialogkit/dlgsupport.h"
#include "platform/profile.h"
#include "tests/platform/dialogkit/testapp.h"
#include "tests/support/filefaults.h"

using namespace liststest;
using plat::DialogScript;

namespace {

struct DialogTest : ::testing::Test {
  DialogTest() {
    testapp::App();
    SetExtensionChooser(&ChooseOwnWorkstationExtension);
  }
  Rig r;
  DialogScript script;
  std::string dir = TempDir("dlg");
  // Posted work of a dialog (its nested dialogs and boxes) runs now.
  std::function<void(plat::Dialog&)> settle = [this](plat::Dialog&) { r.loop.RunUntilIdle(); };
  void TearDown() override {
    SetPhoneBookPicker(nullptr);
    SetExtensionChooser(nullptr);
    std::filesystem::remove_all(dir);
    EXPECT_TRUE(script.errors.empty()) << script.errors.front();
  }
  std::vector<std::string> Boxes() {
    std::vector<std::string> out;
    for (const auto& b : r.boxes.shown) out.push_back(b.text);
    return out;
  }
  std::vector<int> Opened() {
    std::vector<int> ids;
    for (const auto& o : script.opened) ids.push_back(o.resourceId);
    return ids;
  }
};

// ---------------------------------------------------------------- 107, 163

struct SpeedDialDialogs : DialogTest {
  std::string file = dir + "/sdfn.ini";
  CShortDialHandler store{file};
};

TEST_F(SpeedDialDialogs, EditorNeedsNameAndNumber) {
  std::string caption;
  script.When(107)
      .Do([&](plat::Dialog& d) { caption = d.GetWindowText(); })
      .Set(1030, "Maier")
      .Press(plat::IDOK)
      .Do(settle)
      .Do([&](plat::Dialog& d) { EXPECT_FALSE(d.Ended()); })
      .Set(1031, "0301234567")
      .Set(1132, "")
      .Press(plat::IDOK);
  EXPECT_EQ(EditShortDialEntry(store, 3, &r.table, 0), plat::IDOK);
  EXPECT_EQ(caption, "T36.0 - M 3");
  EXPECT_EQ(Boxes(), std::vector<std::string>{"T36.17"});
  EXPECT_EQ(store.GetEntryText(3), "Maier") << "an empty label is built";
  EXPECT_EQ(plat::GetProfileText("SHRTDIAL-03", "SP", "", file), "1");
  EXPECT_EQ(plat::GetProfileText("SHRTDIAL-03", "IX", "", file), "3");
}

TEST_F(SpeedDialDialogs, CancelChangesNothing) {
  script.When(107).Set(1030, "Maier").Set(1031, "22").Press(plat::IDCANCEL);
  EXPECT_EQ(EditShortDialEntry(store, 4, &r.table, 0), plat::IDCANCEL);
  EXPECT_EQ(store.GetEntryText(4), "*");
  EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(SpeedDialDialogs, EntryTextFromTheChosenParts) {
  struct Case {
    int company, salutation;
    const char* text;
  };
  for (const Case& c : {Case{0, 0, "Maier"}, Case{1, 0, "Acme Maier"}, Case{0, 1, "Herr Maier"},
                        Case{1, 1, "Acme Herr Maier"}}) {
    script.When(107)
        .Set(1113, "Acme")
        .Set(1128, "Herr")
        .Set(1030, "Maier")
        .Set(1031, "22")
        .Check(1129, c.company)
        .Check(1130, c.salutation)
        .Press(1133)
        .Press(plat::IDOK);
    EditShortDialEntry(store, 5, &r.table, 0);
    EXPECT_EQ(store.GetEntryText(5), c.text);
  }
  EXPECT_EQ(CShortDialEditDlg::BuildEntryText("", true, "", true, "Maier"), "Maier");
}

TEST_F(SpeedDialDialogs, PartyFromThePhoneBookOrAnExtension) {
  ScriptedPhoneBookPicker picker;
  picker.answers.push_back({4711, "Acme", "Maier", "Herr", "0301234567"});
  SetPhoneBookPicker(&picker);
  script.When(107).Press(1029).Do(settle).Press(plat::IDOK);
  EditShortDialEntry(store, 6, &r.table, 0);
  EXPECT_EQ(picker.asked, 1);
  const ShortDialEntry* e = store.GetEntry(6);
  EXPECT_STREQ(e->company, "Acme");
  EXPECT_STREQ(e->salutation, "Herr");
  EXPECT_STREQ(e->number, "0301234567");
  EXPECT_EQ(e->external, 1);
  EXPECT_EQ(e->recordRef, 4711);

  CMonitorEntry ext;
  ext.SetNumber("22");
  ext.title = "Frau";
  ext.name = "Schulz";
  ext.monitoringOn = 1;
  r.table.SetEntry(ext);
  std::vector<std::string> lines;
  script.When(164).Do([&](plat::Dialog& d) {
    for (int i = 0; i < d.GetCount(1197); ++i) lines.push_back(d.GetLBText(1197, i));
  }).SelectText(1197, "22 - Frau Schulz").Press(plat::IDOK);
  script.When(107).Press(1185).Do(settle).Press(plat::IDOK);
  EditShortDialEntry(store, 6, &r.table, 0);
  ASSERT_EQ(lines.size(), 2u) << "the watched extensions";
  EXPECT_EQ(lines[1], "22 - Frau Schulz");
  e = store.GetEntry(6);
  EXPECT_STREQ(e->company, "");
  EXPECT_STREQ(e->name, "Schulz");
  EXPECT_STREQ(e->number, "22");
  EXPECT_EQ(e->external, 0);
}

TEST_F(SpeedDialDialogs, NoOwnWorkstationDialogNoExtensionButton) {
  std::vector<bool> enabled;
  auto look = [&](plat::Dialog& d) { enabled.push_back(d.IsItemEnabled(1185)); };
  script.When(107).Do(look).Press(plat::IDCANCEL);
  EditShortDialEntry(store, 6, &r.table, 0);
  SetExtensionChooser(nullptr);
  script.When(107).Do(look).Press(plat::IDCANCEL);
  EditShortDialEntry(store, 6, &r.table, 0);
  script.When(107).Do(look).Press(plat::IDCANCEL);
  EditShortDialEntry(store, 6, nullptr, 0);
  EXPECT_EQ(enabled, (std::vector<bool>{true, false, false}));
}

TEST_F(SpeedDialDialogs, ListOfTheMemoryKeys) {
  std::vector<std::string> lines;
  auto readLines = [&](plat::Dialog& d) {
    lines.clear();
    for (int i = 0; i < d.GetCount(1191); ++i) lines.push_back(d.GetLBText(1191, i));
  };
  script.When(163)
      .Do(readLines)
      .Press(1192)  // no selection: nothing
      .Do(settle)
      .Select(1191, 2)
      .Press(1192)
      .Do(settle)
      .Do(readLines)
      .Press(plat::IDOK);
  script.When(107).Set(1030, "Maier").Set(1031, "22").Set(1132, "Chef").Press(plat::IDOK);
  EXPECT_EQ(RunShortDialListDlg(&store, &r.table, 0), plat::IDOK);
  EXPECT_EQ(Opened(), (std::vector<int>{107, 163})) << "the editor ends first";
  ASSERT_EQ(lines.size(), 12u);
  EXPECT_EQ(lines[0], "M 1");
  EXPECT_EQ(lines[2], "Chef");
  EXPECT_EQ(lines[11], "M 12");
  EXPECT_EQ(plat::GetProfileText("SHRTDIAL-03", "TE", "", file), "Chef");
  EXPECT_EQ(RunShortDialListDlg(nullptr, nullptr, 0), plat::IDCANCEL);
}

TEST_F(SpeedDialDialogs, TheMemoryKeysEditAndDial) {
  store.callHandler = &r.handler;
  CShortDialMemoryKeys keys(store, &r.table);
  EXPECT_EQ(keys.DialEntry(2), IMemoryKeyStore::kNotSet);
  script.When(107).Press(plat::IDCANCEL);
  EXPECT_FALSE(keys.EditEntry(2, 0));
  script.When(107).Set(1030, "Maier").Set(1031, "22").Press(plat::IDOK);
  EXPECT_TRUE(keys.EditEntry(2, 0));
  EXPECT_EQ(keys.GetEntryText(2), "Maier");
  EXPECT_EQ(keys.DialEntry(2), IMemoryKeyStore::kDialling);
  EXPECT_EQ(r.NewCalls(), std::vector<std::string>{"22"});
}

// A save that fails is told in a box, and the list and the keys show what
// the file holds: the old entry, or none, not the one typed.
TEST_F(SpeedDialDialogs, AFailedSaveIsShownAndTheListKeepsWhatTheFileHolds) {
  struct Case {
    const char* before;  // the entry's text on file, nullptr: not set
    const char* line;
  };
  const Case cases[] = {{nullptr, "M 3"}, {"Alt", "Alt"}};
  for (const Case& c : cases) {
    std::filesystem::remove(file);
    CShortDialHandler sd(file);
    if (c.before) {
      ShortDialEntry e;
      ShortDialEntry::Put(e.name, c.before);
      ShortDialEntry::Put(e.number, "21");
      ShortDialEntry::Put(e.entryText, c.before);
      ASSERT_EQ(sd.SetEntry(3, e), 0);
    }
    const std::string onFile = ReadFile(file);
    r.boxes.shown.clear();
    std::string line;
    script.When(163)
        .Select(1191, 2)
        .Press(1192)
        .Do(settle)
        .Do([&](plat::Dialog& d) { line = d.GetLBText(1191, 2); })
        .Press(plat::IDOK);
    script.When(107).Set(1030, "Maier").Set(1031, "22").Set(1132, "Neu").Press(plat::IDOK);
    {
      testsupport::FileFault full(plat::io::Op::Rename, 1);
      EXPECT_EQ(RunShortDialListDlg(&sd, &r.table, 0), plat::IDOK);
      EXPECT_EQ(full.Failed(), 1);
    }
    EXPECT_EQ(Boxes(), std::vector<std::string>{"T36.18"}) << c.line;
    EXPECT_EQ(line, c.line);
    EXPECT_EQ(ReadFile(file), onFile);
    EXPECT_EQ(sd.GetEntryText(3), c.before ? c.before : "*");
    EXPECT_EQ(CShortDialHandler(file).GetEntryText(3), c.before ? c.before : "*");

    // The memory key's editor likewise: the key stays as it was.
    r.boxes.shown.clear();
    CShortDialMemoryKeys keys(sd, &r.table);
    script.When(107).Set(1030, "Maier").Set(1031, "22").Set(1132, "Neu").Press(plat::IDOK);
    testsupport::FileFault full(plat::io::Op::Rename, 1);
    EXPECT_FALSE(keys.EditEntry(3, 0));
    EXPECT_EQ(Boxes(), std::vector<std::string>{"T36.18"});
    EXPECT_EQ(keys.GetEntryText(3), c.before ? c.before : "*");
  }
}

TEST_F(SpeedDialDialogs, ListWithoutAStore) {
  script.When(163).Do(settle).Press(plat::IDCANCEL);
  RunShortDialListDlg(nullptr, nullptr, 0);
  EXPECT_EQ(Boxes(), std::vector<std::string>{"T32.4"});
}

// ---------------------------------------------------------------- 145, 124

struct CallbackDialogs : DialogTest {
  std::vector<std::string> lines;
  std::function<void(plat::Dialog&)> readLines = [this](plat::Dialog& d) {
    lines.clear();
    for (int i = 0; i < d.GetCount(1141); ++i) lines.push_back(d.GetLBText(1141, i));
  };
};

TEST_F(CallbackDialogs, TheSecondOfTwoEqualEntries) {
  CCallInfo* a = r.Entry("22");
  CCallInfo* b = r.Entry("22");
  std::int32_t help = 0;
  script.When(145)
      .Do([&](plat::Dialog& d) { help = plat::dlg::GetHelpId(d.Id()); })
      .Select(1141, 1)
      .Press(1144)
      .Do(settle)
      .Select(1141, 1)
      .Press(1145)
      .Do(readLines)
      .Press(plat::IDOK);
  script.When(124).Set(1100, "Acme").Press(plat::IDOK);
  RunCallBackListDlg(&r.list, r.view.id);
  EXPECT_EQ(help, 37);
  EXPECT_EQ(a->calledCompany, "") << "the first stays as it was";
  EXPECT_EQ(b->connectedMark, -1) << "the second was changed, then deleted";
  ASSERT_EQ(r.list.GetCount(), 1);
  EXPECT_EQ(r.list.GetCall(1), a);
  EXPECT_EQ(lines, std::vector<std::string>{"\t\t22"});
}

TEST_F(CallbackDialogs, DeletingTheLastEntryLeavesNothingSelected) {
  r.Entry("22");
  int sel = 0;
  script.When(145).Select(1141, 0).Press(1145).Do(readLines).Do([&](plat::Dialog& d) { sel = d.GetCurSel(1141); })
      .Press(plat::IDOK);
  RunCallBackListDlg(&r.list, r.view.id);
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(sel, -1);
  EXPECT_EQ(r.list.GetCount(), 0);
}

TEST_F(CallbackDialogs, ChangeShowsTheNewLine) {
  r.Entry("22");
  script.When(145).Select(1141, 0).DoubleClick(1141, 0).Do(settle).Do(readLines).Press(plat::IDOK);
  script.When(124).Set(1102, "Maier").Press(plat::IDOK);
  RunCallBackListDlg(&r.list, r.view.id);
  EXPECT_EQ(lines, std::vector<std::string>{"\tMaier\t22"});
}

TEST_F(CallbackDialogs, NoSelectionNoList) {
  r.Entry("22");
  script.When(145).Press(1144).Press(1145).Do(settle).Press(plat::IDOK);
  RunCallBackListDlg(&r.list, r.view.id);
  EXPECT_EQ(Boxes(), (std::vector<std::string>{"T4.18", "T4.18"}));
  EXPECT_EQ(r.list.GetCount(), 1);
  script.When(145).Do(settle).Press(plat::IDCANCEL);
  RunCallBackListDlg(nullptr, r.view.id);
  EXPECT_EQ(Boxes().back(), "T4.17");
}

TEST_F(CallbackDialogs, EnterMakesAnOutgoingEntry) {
  script.When(145).Press(1152).Do(settle).Press(1152).Do(settle).Do(readLines).Press(plat::IDOK);
  script.When(124).Set(1100, "Acme").Set(1102, "Maier").Set(1104, "0301234567").Press(plat::IDOK);
  script.When(124).Set(1102, "Niemand").Press(plat::IDOK);  // no number: not kept
  RunCallBackListDlg(&r.list, r.view.id);
  ASSERT_EQ(r.list.GetCount(), 1);
  CCallInfo* e = r.list.GetCall(1);
  EXPECT_EQ(e->direction, CCallInfo::kOutgoing);
  EXPECT_EQ(e->calledNumber, "0301234567");
  EXPECT_EQ(e->callingNumber, "");
  EXPECT_EQ(lines, std::vector<std::string>{"Acme\tMaier\t0301234567"});
  const std::size_t pool = r.handler.PoolSize();
  r.handler.PurgeReleasedCalls();
  EXPECT_EQ(r.handler.PoolSize(), pool - 1) << "the record of the empty entry went back";
}

TEST_F(CallbackDialogs, StartAndStop) {
  r.Entry("22");
  bool startEnabled = true, stopEnabled = false;
  script.When(145)
      .Do([&](plat::Dialog& d) { startEnabled = d.IsItemEnabled(1154); })
      .Press(1154);
  RunCallBackListDlg(&r.list, r.view.id);
  EXPECT_TRUE(startEnabled);
  EXPECT_EQ(r.list.IsRunning(), 1);
  EXPECT_EQ(r.view.Count(hub::kStartCallbackTimer), 1);
  EXPECT_EQ(script.opened.back().result, plat::IDOK);
  script.When(145)
      .Do([&](plat::Dialog& d) { startEnabled = d.IsItemEnabled(1154); })
      .Press(1155)
      .Do([&](plat::Dialog& d) { stopEnabled = d.IsItemEnabled(1155) && !d.IsItemEnabled(1154); })
      .Press(plat::IDOK);
  RunCallBackListDlg(&r.list, r.view.id);
  EXPECT_FALSE(startEnabled);
  EXPECT_FALSE(stopEnabled);
  EXPECT_EQ(r.list.IsRunning(), 0);
  EXPECT_EQ(r.view.Count(hub::kStopCallbackTimer), 1);
}

TEST_F(CallbackDialogs, FromThePhoneBookAndTheOtherLists) {
  ScriptedPhoneBookPicker picker;
  picker.answers.push_back({1, "Acme", "Maier", "Herr", "0301234567"});
  SetPhoneBookPicker(&picker);
  script.When(145).Press(1142).Do(settle).Press(1143).Press(1151).Do(settle).Do(readLines).Press(plat::IDOK);
  RunCallBackListDlg(&r.list, r.view.id);
  EXPECT_EQ(lines, std::vector<std::string>{"Acme\tHerr Maier\t0301234567"});
  EXPECT_EQ(r.list.GetCall(1)->external, 1);
  EXPECT_EQ(r.view.Count(hub::kOpenMissedCalls), 1);
  EXPECT_EQ(r.view.Count(hub::kOpenCallData), 1);
}

TEST_F(CallbackDialogs, SettingsShowTheRecord) {
  CCallInfo c;
  c.direction = CCallInfo::kIncoming;
  c.callingNumber = "0407777";
  c.callingName = "Frau Schulz";
  c.calledNumber = "21";
  c.callbackInterval = 300;
  c.callbackType = 3;
  c.callbackTimeBegin = Tod(10);
  c.callbackTimeEnd = Tod(11, 30);
  c.callbackCriterion = 1;
  c.callbackMaximum = 4;
  std::map<int, std::string> shown;
  std::map<int, bool> enabled;
  script.When(124).Do([&](plat::Dialog& d) {
    for (int id : {1102, 1104, 1413, 1392, 1455, 1456, 1457, 1458})
      shown[id] = d.GetItemText(id);
    for (int id : {1392, 1393, 1413, 1451, 1455, 1463}) enabled[id] = d.IsItemEnabled(id);
    shown[1390] = std::to_string(d.IsChecked(1390));
    shown[1445] = std::to_string(d.GetRadioIndex(1445));
  }).Press(1450).Do([&](plat::Dialog& d) {
    enabled[-1455] = d.IsItemEnabled(1455);
    enabled[-1463] = d.IsItemEnabled(1463);
  }).Set(1463, "14").Set(1464, "05").Press(plat::IDOK);
  CCallBackSettingsDlg dlg(&c);
  EXPECT_EQ(dlg.DoModal(0), plat::IDOK);
  EXPECT_EQ(shown[1102], "Frau Schulz") << "the partner of an incoming call is its caller";
  EXPECT_EQ(shown[1104], "0407777");
  EXPECT_EQ(shown[1390], "1");
  EXPECT_EQ(shown[1413], "5");
  EXPECT_EQ(shown[1392], "4");
  EXPECT_EQ(shown[1445], "3");
  EXPECT_EQ(shown[1455] + shown[1456] + shown[1457] + shown[1458], "10001130");
  EXPECT_TRUE(enabled[1392]);
  EXPECT_FALSE(enabled[1393]);
  EXPECT_TRUE(enabled[1455]);
  EXPECT_FALSE(enabled[1451]);
  EXPECT_FALSE(enabled[1463]);
  EXPECT_FALSE(enabled[-1455]);
  EXPECT_TRUE(enabled[-1463]);
  EXPECT_EQ(c.callbackType, 5);
  EXPECT_EQ(c.callbackTimeBegin, Tod(14, 5));
  EXPECT_EQ(c.callbackTimeEnd, Tod(14, 7)) << "exactly: two minutes";
  EXPECT_EQ(c.callbackInterval, 300);
}

TEST_F(CallbackDialogs, SettingsRefuseWhatIsNoTimeOrDate) {
  struct Case {
    const char* date;       // mode 2's date, or nullptr for mode 0
    const char* h;          // hours of type 1
    const char* m;
    const char* box;        // expected box, or nullptr: OK ends
    std::time_t stored;
  };
  const Case cases[] = {
      {"T8.25", "10", "00", nullptr, At(23, 59, 59)},  // "today": the whole day
      {"24.12.25", "10", "00", nullptr, At(23, 59, 59, 16)},
      {"31.02.25", "10", "00", "T8.26", 0},
      {"xx.12.25", "10", "00", "T8.26", 0},
      {"1.1.25", "10", "00", "T8.26", 0},
      {nullptr, "24", "00", "T8.27", 0},
      {nullptr, "23", "60", "T8.27", 0},
      {nullptr, "", "00", "T8.27", 0},
      {nullptr, "23", "59", nullptr, 0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(std::string(k.date ? k.date : "-") + " " + k.h + ":" + k.m);
    r.boxes.shown.clear();
    CCallInfo c;
    c.direction = CCallInfo::kOutgoing;
    bool open = false;
    auto& steps = script.When(124).Press(1446).Set(1451, k.h).Set(1452, k.m);
    if (k.date) steps.Press(1109).Set(1393, k.date);
    steps.Press(plat::IDOK).Do(settle).Do([&](plat::Dialog& d) { open = !d.Ended(); });
    CCallBackSettingsDlg dlg(&c);
    dlg.DoModal(0);
    if (k.box) {
      EXPECT_TRUE(open);
      EXPECT_EQ(Boxes(), std::vector<std::string>{k.box});
      EXPECT_EQ(c.callbackType, 0) << "nothing written";
    } else {
      EXPECT_FALSE(open);
      EXPECT_TRUE(Boxes().empty());
      EXPECT_EQ(c.callbackDate, k.stored);
      EXPECT_EQ(c.callbackType, 1);
    }
  }
  // Repeat off: no interval.
  CCallInfo c;
  script.When(124).Check(1390, 0).Press(plat::IDOK);
  CCallBackSettingsDlg dlg(&c);
  dlg.DoModal(0);
  EXPECT_EQ(c.callbackInterval, 0);
}

TEST_F(CallbackDialogs, SetupShowsAndStoresTheSettings) {
  CGlobalConfig cfg;
  cfg.CBLGSTRTT = 28800;
  cfg.CBLGSTPT = 64800;
  cfg.TB2C = 5000;
  std::map<int, std::string> shown;
  script.When(171).Do([&](plat::Dialog& d) {
    for (int id : {1427, 1434, 1429, 1439, 1432, 1435, 1221}) shown[id] = d.GetItemText(id);
  }).Set(1221, "7").Set(1433, "14").Set(1440, "15").Check(1442).Check(1222, 0).Press(plat::IDOK);
  EXPECT_EQ(RunCallBackSetupDlg(cfg, 0), plat::IDOK);
  EXPECT_EQ(shown[1427] + ":" + shown[1434], "08:00");
  EXPECT_EQ(shown[1429] + ":" + shown[1439], "18:00");
  EXPECT_EQ(shown[1432] + ":" + shown[1435], "12:00");
  EXPECT_EQ(shown[1221], "5");
  EXPECT_EQ(cfg.CBLGSTRTT, 28800);
  EXPECT_EQ(cfg.CBLGSTPT, 64800);
  EXPECT_EQ(cfg.CBLLTE, Tod(14, 15));
  EXPECT_EQ(cfg.TB2C, 7000);
  EXPECT_EQ(cfg.CBLACONFPO, 1);
  EXPECT_EQ(cfg.ABNC, 0);

  bool open = false;
  script.When(171).Set(1427, "25").Press(plat::IDOK).Do(settle).Do([&](plat::Dialog& d) { open = !d.Ended(); });
  EXPECT_EQ(RunCallBackSetupDlg(cfg, 0), plat::IDCANCEL);
  EXPECT_TRUE(open);
  EXPECT_EQ(Boxes(), std::vector<std::string>{"T5.23"});
  EXPECT_EQ(cfg.CBLGSTRTT, 28800);
}

// ---------------------------------------------------------------- 160, 170

struct MissedDialogs : DialogTest {
  std::vector<std::string> lines;
  bool note = false;
  std::function<void(plat::Dialog&)> read = [this](plat::Dialog& d) {
    lines.clear();
    for (int i = 0; i < d.GetCount(1169); ++i) lines.push_back(d.GetLBText(1169, i));
    note = d.IsItemVisible(1446);
  };
  void Add(const std::string& calling, int minute) {
    CCallInfo* c = r.handler.GetFreeCall(21);
    c->direction = CCallInfo::kIncoming;
    c->callingNumber = calling;
    c->calledNumber = "21";
    c->endTime = c->beginTime = At(9, minute, 0);
    r.missed.AddCall(c);
  }
};

TEST_F(MissedDialogs, OrderNoteAndRefresh) {
  Add("0301", 0);
  Add("0302", 1);
  std::vector<std::string> first;
  CMissedCallDlg* open = nullptr;
  script.When(160).Do(read).Do([&](plat::Dialog&) {
    first = lines;
    r.missed.SetReadingMode(0);
    Add("0303", 2);
    open->Refresh();
  }).Do(read).Press(plat::IDOK);
  GlobalConfig().NPLSOSEQ = 1;
  RunMissedCallDlg(&r.missed, 0, &open);
  EXPECT_EQ(open, nullptr);
  ASSERT_EQ(first.size(), 2u);
  EXPECT_NE(first[0].find("0302"), std::string::npos) << "newest first";
  EXPECT_EQ(lines.size(), 3u);
  EXPECT_NE(lines[0].find("0303"), std::string::npos);
  EXPECT_FALSE(note) << "the read-out has ended";
  GlobalConfig().NPLSOSEQ = 0;
  r.missed.SetReadingMode(1);
  script.When(160).Do(read).Press(plat::IDOK);
  RunMissedCallDlg(&r.missed, 0);
  EXPECT_NE(lines[0].find("0301"), std::string::npos);
  EXPECT_TRUE(note);
}

TEST_F(MissedDialogs, DirectCallDialsTheCaller) {
  Add("0301234567", 0);
  script.When(160).Press(1174).Do(settle).Select(1169, 0).Press(1174).Do(settle);
  EXPECT_EQ(RunMissedCallDlg(&r.missed, 0), plat::IDOK);
  EXPECT_EQ(r.NewCalls(), std::vector<std::string>{"301234567"});
  // The line is busy now: the call cannot be made.
  script.When(160).Select(1169, 0).Press(1174).Do(settle).Press(plat::IDCANCEL);
  EXPECT_EQ(RunMissedCallDlg(&r.missed, 0), plat::IDCANCEL);
  EXPECT_EQ(Boxes(), std::vector<std::string>{"T23.13"});
}

TEST_F(MissedDialogs, CallbackListPhoneBookAndClearing) {
  Add("0301234567", 0);
  script.When(160)
      .Select(1169, 0)
      .Press(1175)
      .Press(1177)
      .Do(settle)
      .Press(1177)
      .Do(settle)
      .Press(1176)
      .Do(read)
      .Press(plat::IDOK);
  RunMissedCallDlg(&r.missed, 0);
  ASSERT_EQ(r.list.GetCount(), 1);
  EXPECT_EQ(r.list.GetCall(1)->calledNumber, "0301234567");
  ASSERT_EQ(r.book.records.size(), 1u);
  EXPECT_EQ(r.book.records[0]->number, "0301234567");
  EXPECT_EQ(Boxes(), std::vector<std::string>{"T57.0"});
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(r.missed.GetCount(), 0);
  script.When(160).Do(read).Press(plat::IDOK);
  RunMissedCallDlg(&r.missed, 0);
  EXPECT_TRUE(lines.empty());
}

TEST_F(MissedDialogs, SettingsRoundTrip) {
  CGlobalConfig cfg;
  std::map<int, int> shown;
  script.When(170).Do([&](plat::Dialog& d) {
    shown[1201] = d.GetRadioIndex(1201);
    shown[1204] = d.GetRadioIndex(1204);
    shown[1210] = d.GetRadioIndex(1210);
    shown[1207] = d.IsChecked(1207);
  }).Press(1201).Press(1204).Press(1211).Check(1207).Check(1208).Press(plat::IDOK);
  EXPECT_EQ(RunMissedCallSetupDlg(cfg, 0), plat::IDOK);
  EXPECT_EQ(shown[1201], 1);  // defaults: all callers, all records, oldest first
  EXPECT_EQ(shown[1204], 1);
  EXPECT_EQ(shown[1210], 0);
  EXPECT_EQ(shown[1207], 0);
  EXPECT_EQ(cfg.NPLTO, 0);
  EXPECT_EQ(cfg.NPLCDOC, 0);
  EXPECT_EQ(cfg.NPLSOSEQ, 1);
  EXPECT_EQ(cfg.NPLROOBOF, 1);
  EXPECT_EQ(cfg.NPLLAIDB, 1);
  script.When(170).Do([&](plat::Dialog& d) {
    shown[1201] = d.GetRadioIndex(1201);
    shown[1210] = d.GetRadioIndex(1210);
  }).Press(1202).Press(plat::IDCANCEL);
  RunMissedCallSetupDlg(cfg, 0);
  EXPECT_EQ(shown[1201], 0);
  EXPECT_EQ(shown[1210], 1);
  EXPECT_EQ(cfg.NPLTO, 0) << "Cancel stores nothing";
}

}  // namespace
