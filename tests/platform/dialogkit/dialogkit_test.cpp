#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QPixmap>
#include <QLabel>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

#include "platform/dialogkit/dialog.h"
#include "platform/dialogkit/dlgscript.h"
#include "platform/dialogkit/dlgsupport.h"
#include "platform/dialogkit/dlgtemplate.h"
#include "platform/textid.h"
#include "tests/platform/dialogkit/testapp.h"

using plat::Dialog;
using plat::DialogScript;
using plat::Notify;
namespace dlg = plat::dlg;

namespace {

const char* kSample = R"(# sample
dialog 900 @90.0 "Probe" help=77
group 10 @90.1 "Gruppe" grid cols=2
  static 11 @90.2 "&Name:"
  edit 12 width=10
  static 13 "Anzahl:"
  edit 14 number
end
radio 20 @90.3 "eins" first
radio 21 "zwei"
static - "zwischen"
radio 22 "drei"
radio 30 "A" first
radio 31 "B"
check 40 "Haken"
list 50 lines=3
list 51 sort
tablist 52 tabs=20,40
droplist 53
combo 54
multiedit 55 lines=2
button 60 "Knopf" disabled
button 61 "Versteckt" hidden
row
  stretch
  default 1 "OK"
  button 2 "Abbrechen"
end
)";

dlg::Template Sample() {
  dlg::Template t;
  std::string err;
  EXPECT_TRUE(dlg::ParseTemplate(kSample, &t, &err)) << err;
  return t;
}

class Recorder : public Dialog {
 public:
  explicit Recorder(dlg::Template t) : Dialog(std::move(t)) {}
  std::vector<std::pair<int, Notify>> seen;
  int oks = 0, cancels = 0;
  bool endOnCancel = true;
  std::string nameAtOk;
  bool destroyOn60 = false;

 protected:
  bool OnCommand(int id, Notify code) override {
    seen.emplace_back(id, code);
    if (destroyOn60 && id == 12 && code == Notify::KillFocus) DestroyWindow();
    return false;
  }
  void OnOK() override {
    ++oks;
    nameAtOk = GetItemText(12);
    Dialog::OnOK();
  }
  void OnCancel() override {
    ++cancels;
    if (endOnCancel) Dialog::OnCancel();
  }
};

bool Saw(const Recorder& r, int id, Notify n) {
  for (auto& s : r.seen)
    if (s.first == id && s.second == n) return true;
  return false;
}

struct HelpFake {
  static inline std::vector<std::pair<std::uint32_t, std::int32_t>> table;
  static inline std::vector<std::string> log;
  static int Add(std::uint32_t k, std::int32_t id) {
    table.emplace_back(k, id);
    log.push_back("add");
    return 0;
  }
  static int Del(std::uint32_t k) {
    for (auto it = table.begin(); it != table.end(); ++it)
      if (it->first == k) {
        table.erase(it);
        log.push_back("del");
        return 0;
      }
    return -1;
  }
  static std::int32_t Get(std::uint32_t k) {
    for (auto& e : table)
      if (e.first == k) return e.second;
    return -1;
  }
};

const char* FakeTexts(int g, int e) {
  static std::map<std::pair<int, int>, std::string> t = {
      {{90, 0}, "Probe aus Datei"}, {{90, 1}, "Gruppe aus Datei"}, {{90, 3}, "eins\xE4"}};
  auto it = t.find({g, e});
  return it == t.end() ? nullptr : it->second.c_str();
}

class DialogKit : public ::testing::Test {
 protected:
  void SetUp() override {
    testapp::App();
    HelpFake::table.clear();
    HelpFake::log.clear();
    dlg::SetHelpIdHooks(&HelpFake::Add, &HelpFake::Del, &HelpFake::Get);
    plat::SetTextSource(&FakeTexts);
  }
  void TearDown() override {
    dlg::SetHelpIdHooks(nullptr, nullptr, nullptr);
    dlg::SetHelpViewer({});
    plat::SetTextSource(nullptr);
  }
};

}  // namespace

TEST(DialogTemplate, ParsesKindsOptionsAndTextIds) {
  dlg::Template t = Sample();
  EXPECT_EQ(t.id, 900);
  EXPECT_EQ(t.captionGroup, 90);
  EXPECT_EQ(t.captionEntry, 0);
  EXPECT_EQ(t.caption, "Probe");
  EXPECT_EQ(t.help, 77);
  const dlg::Node* g = t.Find(10);
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->kind, dlg::Kind::Group);
  EXPECT_EQ(g->layout, dlg::Kind::Grid);
  EXPECT_EQ(g->columns, 2);
  EXPECT_EQ(g->children.size(), 4u);
  EXPECT_EQ(t.Find(11)->text, "&Name:");
  EXPECT_TRUE(t.Find(14)->number);
  EXPECT_EQ(t.Find(52)->tabs, (std::vector<int>{20, 40}));
  EXPECT_TRUE(t.Find(60)->disabled);
  EXPECT_TRUE(t.Find(61)->hidden);
  EXPECT_EQ(t.Find(1)->kind, dlg::Kind::DefButton);
  int controls = 0;
  t.ForEachControl([&](const dlg::Node&) { ++controls; });
  EXPECT_EQ(controls, 22);
  // UTF-8 in the file, Windows-1252 inside.
  dlg::Template u;
  ASSERT_TRUE(dlg::ParseTemplate("dialog 1 \"W\xC3\xA4hrung \\\"x\\\"\"\n", &u, nullptr));
  EXPECT_EQ(u.caption, "W\xE4hrung \"x\"");
}

TEST(DialogTemplate, RejectsBrokenTemplatesWithTheLine) {
  struct Case {
    const char* text;
    const char* error;
  } cases[] = {
      {"", "line 0: empty template"},
      {"static 1 \"x\"\n", "line 1: the first line must be: dialog <id> ..."},
      {"dialog 5\nedit 1\nedit 1\n", "line 3: id 1 used twice"},
      {"dialog 5\nrow\nedit 1\n", "line 2: container not closed with end"},
      {"dialog 5\nend\n", "line 2: end without an open container"},
      {"dialog 5\nknob 3\n", "line 2: unknown kind knob"},
      {"dialog 5\nedit 3 \"open\n", "line 2: unterminated text"},
      {"dialog 5\ntablist 3\n", "line 2: tablist needs tabs="},
      {"dialog 5\ntablist 3 tabs=40,20\n", "line 2: tab stops must rise"},
      {"dialog 5\nedit 3 @1x2\n", "line 2: bad text id @1x2"},
      {"dialog 5\nedit 3 shiny\n", "line 2: unknown option shiny"},
      {"dialog 5\n\n# c\nedit 3 width=x\n", "line 4: option width needs a number"},
      {"dialog 5\nedit\n", "line 2: edit needs an id (or -)"},
      {"dialog 5\ngrid cols=0\nend\n", "line 2: cols must be at least 1"},
      {"dialog 5\nstatic 1 \"a\"\ntablist 3 tabs=20 heads=1\n", "line 3: heads= needs one id per column"},
      {"dialog 5\ntablist 3 tabs=20 heads=1,2\n", "line 2: head 1 is not a control above the list"},
      {"dialog 5\ntablist 3 tabs=20 fields=0\n", "line 2: fields= needs one field per column"},
      {"dialog 5\ntablist 3 tabs=20 fields=0,-1\n", "line 2: fields needs numbers separated by commas"},
      {"dialog 5\nlist 3 fields=0\n", "line 2: heads= and fields= are a tablist's"},
      {"dialog 5\nscroll\nedit 3\n", "line 2: container not closed with end"},
  };
  for (const Case& c : cases) {
    dlg::Template t;
    std::string err;
    EXPECT_FALSE(dlg::ParseTemplate(c.text, &t, &err)) << c.text;
    EXPECT_EQ(err, c.error) << c.text;
  }
}

TEST(DialogTemplate, EveryShippedTemplateLoadsFromItsDeliverablesFolder) {
  testapp::App();
  std::vector<std::string> owners = dlg::ShippedDeliverables();
  for (const char* need : {dlg::kProgram, dlg::kKestrum})
    EXPECT_NE(std::find(owners.begin(), owners.end(), need), owners.end()) << need;
  struct Need { const char* owner; int id; };
  for (Need n : {Need{dlg::kKestrum, 112}, Need{dlg::kKestrum, 123}, Need{dlg::kKestrum, 130},
                 Need{dlg::kKestrum, 131}, Need{dlg::kProgram, 162}, Need{dlg::kProgram, 172},
                 Need{dlg::kProgram, 184}}) {
    std::vector<int> ids = dlg::ShippedTemplateIds(n.owner);
    EXPECT_NE(std::find(ids.begin(), ids.end(), n.id), ids.end()) << n.owner << "/" << n.id;
  }
  for (const std::string& owner : owners) {
    for (int id : dlg::ShippedTemplateIds(owner)) {
      dlg::Template t;
      std::string err;
      ASSERT_TRUE(dlg::LoadTemplate(owner, id, &t, &err)) << err;
      EXPECT_FALSE(t.caption.empty()) << owner << "/" << id;
      // Every dialog can be built and closed.
      Dialog d(owner, id);
      DialogScript script;
      EXPECT_EQ(d.DoModal(), plat::IDCANCEL) << owner << "/" << id;
      ASSERT_EQ(script.opened.size(), 1u);
      EXPECT_EQ(script.opened[0].deliverable, owner);
    }
  }
  std::string err;
  dlg::Template t;
  EXPECT_FALSE(dlg::LoadTemplate(dlg::kProgram, 4711, &t, &err));
  EXPECT_EQ(err, "no template for dialog brimlow/4711");
  // One deliverable's id is not another's.
  EXPECT_FALSE(dlg::LoadTemplate(dlg::kProgram, 112, &t, &err));
  EXPECT_FALSE(dlg::LoadTemplate(dlg::kKestrum, 172, &t, &err));
  EXPECT_EQ(dlg::DeliverablesWithTemplate(112), std::vector<std::string>{dlg::kKestrum});
}

TEST(DialogScriptTest, StepsNamedByDeliverableGoOnlyToThatDeliverablesDialog) {
  testapp::App();
  DialogScript script;
  bool kestrumRan = false, anyRan = false;
  script.When(dlg::kKestrum, 172).Do([&](Dialog&) { kestrumRan = true; }).Press(plat::IDOK);
  script.When(172).Do([&](Dialog&) { anyRan = true; }).Press(plat::IDOK);
  Dialog d(dlg::kProgram, 172);
  EXPECT_EQ(d.DoModal(), plat::IDOK);
  EXPECT_FALSE(kestrumRan);  // queued for another deliverable's 172
  EXPECT_TRUE(anyRan);
  ASSERT_EQ(script.opened.size(), 1u);
  EXPECT_EQ(script.opened[0].deliverable, dlg::kProgram);
  EXPECT_TRUE(script.opened[0].scripted);
}

TEST_F(DialogKit, TextsComeFromTheLanguageFileWithTheTemplateAsFallback) {
  Recorder d(Sample());
  ASSERT_TRUE(d.Create());
  EXPECT_EQ(d.GetWindowText(), "Probe aus Datei");
  EXPECT_EQ(d.GetItemText(10), "Gruppe aus Datei");
  EXPECT_EQ(d.GetItemText(20), "eins\xE4");
  EXPECT_EQ(d.GetItemText(11), "&Name:");  // not in the file: the template's
  // A static shows its mnemonic marker as the platform did.
  EXPECT_EQ(static_cast<QLabel*>(d.Item(11))->text(), QStringLiteral("Name:"));
  d.DestroyWindow();
}

TEST_F(DialogKit, HelpIdIsRegisteredWhileTheDialogExistsAndF1ShowsItsTopic) {
  QTemporaryDir dir;
  std::string path = dir.path().toStdString() + "/hilfe.hlp";
  QFile f(QString::fromStdString(path));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("# Kommentar\n[76] Falsch\nnein\n[77] Probe\nErste Zeile\nZweite \xC3\xA4\n\n[78] Andere\nx\n");
  f.close();
  dlg::SetHelpFile(path);
  std::vector<std::tuple<int, std::string, std::string>> shown;
  dlg::SetHelpViewer([&](std::int32_t ctx, const std::string& t, const std::string& b) {
    shown.emplace_back(ctx, t, b);
  });

  auto* d = new Recorder(Sample());
  ASSERT_TRUE(d->Create());
  plat::WindowId id = d->Id();
  ASSERT_NE(id, 0u);
  EXPECT_TRUE(plat::IsTarget(id));
  EXPECT_EQ(HelpFake::Get(id), 77);
  d->UserKey(Qt::Key_F1);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(std::get<0>(shown[0]), 77);
  EXPECT_EQ(std::get<1>(shown[0]), "Probe");
  EXPECT_EQ(std::get<2>(shown[0]), "Erste Zeile\nZweite \xE4");
  delete d;  // destroying the object removes the window and its help id
  EXPECT_EQ(HelpFake::Get(id), -1);
  EXPECT_FALSE(plat::IsTarget(id));
  EXPECT_EQ(HelpFake::log, (std::vector<std::string>{"add", "del"}));
  // A window without a help id shows nothing.
  EXPECT_EQ(dlg::ShowHelpFor(id), -1);
  EXPECT_EQ(shown.size(), 1u);
  dlg::SetHelpFile("");
}

TEST_F(DialogKit, NotificationsReachTheCommandHandlerByControlId) {
  Recorder d(Sample());
  ASSERT_TRUE(d.Create());
  d.AddString(50, "a");
  d.AddString(50, "b");

  // Programmatic changes do not notify, as on the platform.
  d.SetCurSel(50, 1);
  d.CheckButton(40, 1);
  EXPECT_TRUE(d.seen.empty());

  EXPECT_TRUE(d.UserPress(40));
  EXPECT_TRUE(Saw(d, 40, Notify::Clicked));
  EXPECT_EQ(d.IsChecked(40), 0);
  EXPECT_TRUE(d.UserSelect(50, 0));
  EXPECT_TRUE(Saw(d, 50, Notify::SelChange));
  EXPECT_TRUE(d.UserDoubleClick(50, 1));
  EXPECT_TRUE(Saw(d, 50, Notify::DoubleClicked));
  EXPECT_EQ(d.GetCurSel(50), 1);
  EXPECT_TRUE(d.UserSetText(12, "Meier"));
  EXPECT_TRUE(Saw(d, 12, Notify::Change));
  EXPECT_TRUE(Saw(d, 12, Notify::KillFocus));

  // Disabled and hidden controls cannot be used.
  d.seen.clear();
  EXPECT_FALSE(d.UserPress(60));
  EXPECT_FALSE(d.UserPress(61));
  EXPECT_FALSE(d.UserPress(4711));
  d.EnableItem(60, true);
  EXPECT_TRUE(d.UserPress(60));
  EXPECT_EQ(d.seen.size(), 1u);

  // Esc is Cancel, Enter presses the default button.
  d.endOnCancel = false;
  d.UserKey(Qt::Key_Escape);
  EXPECT_EQ(d.cancels, 1);
  EXPECT_TRUE(Saw(d, 2, Notify::Clicked));
  d.UserKey(Qt::Key_Return);
  EXPECT_EQ(d.oks, 1);
  EXPECT_EQ(d.nameAtOk, "Meier");
  EXPECT_TRUE(d.Ended());
  EXPECT_EQ(d.Result(), plat::IDOK);
}

TEST_F(DialogKit, RadioGroupsFollowTheFirstMarker) {
  Recorder d(Sample());
  ASSERT_TRUE(d.Create());
  EXPECT_EQ(d.GetRadioIndex(20), -1);
  d.SetRadioIndex(20, 2);  // a static between radios does not end the group
  EXPECT_EQ(d.IsChecked(22), 1);
  EXPECT_EQ(d.GetRadioIndex(20), 2);
  d.SetRadioIndex(30, 1);
  EXPECT_EQ(d.GetRadioIndex(20), 2);  // the other group is untouched
  EXPECT_TRUE(d.UserPress(20));
  EXPECT_EQ(d.GetRadioIndex(20), 0);
  EXPECT_EQ(d.IsChecked(22), 0);
  EXPECT_EQ(d.GetRadioIndex(30), 1);
  d.SetRadioIndex(20, -1);
  EXPECT_EQ(d.GetRadioIndex(20), -1);
  d.CheckRadioButton(30, 31, 30);
  EXPECT_EQ(d.GetRadioIndex(30), 0);
}

TEST_F(DialogKit, ListsKeepRawLinesAndFindThemAgain) {
  Recorder d(Sample());
  ASSERT_TRUE(d.Create());
  EXPECT_EQ(d.AddString(52, "0621\tMeier\tMannheim\tmehr\tund mehr"), 0);
  EXPECT_EQ(d.AddString(52, "089\tHuber\tM\xFC" "nchen"), 1);
  EXPECT_EQ(d.GetLBText(52, 1), "089\tHuber\tM\xFC" "nchen");
  EXPECT_EQ(d.FindString(52, -1, "089"), 1);
  EXPECT_EQ(d.FindStringExact(52, -1, "089\thuber\tM\xFC" "nchen"), 1);
  EXPECT_EQ(d.FindString(52, 1, "0"), 0);  // searches on after start and wraps
  EXPECT_EQ(d.FindString(52, -1, "x"), -1);
  EXPECT_EQ(d.SelectString(52, -1, "0621"), 0);
  EXPECT_EQ(d.GetItemText(52), "0621\tMeier\tMannheim\tmehr\tund mehr");
  EXPECT_EQ(d.InsertString(52, 1, "mitte"), 1);
  EXPECT_EQ(d.InsertString(52, 9, "zu weit"), -1);
  EXPECT_EQ(d.GetCount(52), 3);
  EXPECT_EQ(d.DeleteString(52, 0), 2);
  EXPECT_EQ(d.DeleteString(52, 5), -1);
  EXPECT_EQ(d.GetLBText(52, 0), "mitte");
  d.SetItemData(52, 0, 1234567890123LL);
  EXPECT_EQ(d.GetItemData(52, 0), 1234567890123LL);

  // A sorted list inserts in order without regard to case.
  d.AddString(51, "Zeta");
  d.AddString(51, "alpha");
  EXPECT_EQ(d.AddString(51, "Beta"), 1);
  EXPECT_EQ(d.GetLBText(51, 0), "alpha");
  EXPECT_EQ(d.SetCurSel(51, 7), -1);
  EXPECT_EQ(d.GetCurSel(51), -1);
  d.ResetContent(51);
  EXPECT_EQ(d.GetCount(51), 0);

  // Combo boxes: a drop-down list takes a text only when it holds it.
  d.AddString(53, "dd.mm.yy");
  d.AddString(53, "HH:MM");
  d.SetItemText(53, "hh:mm");
  EXPECT_EQ(d.GetCurSel(53), 1);
  d.SetItemText(54, "frei");
  EXPECT_EQ(d.GetItemText(54), "frei");
}

TEST_F(DialogKit, ItemHelpersBehaveAsThePlatformDid) {
  Recorder d(Sample());
  ASSERT_TRUE(d.Create());
  d.SetItemInt(14, -42);
  bool ok = false;
  EXPECT_EQ(d.GetItemInt(14, &ok), -42);
  EXPECT_TRUE(ok);
  d.SetItemText(14, " 12x");
  EXPECT_EQ(d.GetItemInt(14, &ok), 0);
  EXPECT_FALSE(ok);
  d.SetItemText(14, "99999999999");
  d.GetItemInt(14, &ok);
  EXPECT_FALSE(ok);
  // Multi-line edits hand out CR LF.
  d.SetItemText(55, "eins\r\nzwei");
  EXPECT_EQ(d.GetItemText(55), "eins\r\nzwei");
  d.ShowItem(61, true);
  EXPECT_TRUE(d.IsItemVisible(61));
  d.ShowItem(61, false);
  EXPECT_FALSE(d.IsItemVisible(61));
  EXPECT_FALSE(d.IsItemEnabled(60));
  EXPECT_EQ(d.GetItemText(4711), "");
}

TEST_F(DialogKit, ScriptedModalRunsStepsAndRecordsEachOpening) {
  DialogScript script;
  script.When(900).Set(12, "Schulz").Check(40).Press(1);
  script.When(900).Set(12, "offen");  // leaves the dialog open
  script.When(900).Press(60);         // disabled: an error, then cancelled
  {
    Recorder d(Sample());
    EXPECT_EQ(d.DoModal(), plat::IDOK);
    EXPECT_EQ(d.nameAtOk, "Schulz");
    EXPECT_FALSE(d.IsCreated());
  }
  {
    Recorder d(Sample());
    EXPECT_EQ(d.DoModal(), plat::IDCANCEL);
  }
  {
    Recorder d(Sample());
    EXPECT_EQ(d.DoModal(), plat::IDCANCEL);
  }
  {
    Recorder d(Sample());  // nothing queued: the default answer
    script.defaultResult = plat::IDOK;
    EXPECT_EQ(d.DoModal(), plat::IDOK);
    EXPECT_EQ(d.oks, 0);
  }
  ASSERT_EQ(script.opened.size(), 4u);
  EXPECT_TRUE(script.opened[0].scripted);
  EXPECT_TRUE(script.opened[0].endedByScript);
  EXPECT_EQ(script.opened[0].caption, "Probe aus Datei");
  EXPECT_FALSE(script.opened[1].endedByScript);
  EXPECT_FALSE(script.opened[3].scripted);
  ASSERT_EQ(script.errors.size(), 1u);
  EXPECT_EQ(script.errors[0], "dialog 900: cannot press control 60");
  // Help ids of the modal dialogs were all removed again.
  EXPECT_TRUE(HelpFake::table.empty());
}

TEST_F(DialogKit, ADialogMayDestroyItselfFromItsOwnNotification) {
  Recorder d(Sample());
  d.destroyOn60 = true;
  ASSERT_TRUE(d.Create());
  plat::WindowId id = d.Id();
  EXPECT_TRUE(d.UserSetText(12, "weg"));  // KillFocus destroys the window
  EXPECT_FALSE(d.IsCreated());
  EXPECT_FALSE(plat::IsTarget(id));
  EXPECT_EQ(d.Window(), nullptr);
}

TEST(DialogSupport, WindowsByIdCanBeDisabledAndRaised) {
  testapp::App();
  EXPECT_TRUE(dlg::IsWindowEnabled(5000));
  EXPECT_FALSE(dlg::EnableWindow(5000, false));
  EXPECT_FALSE(dlg::IsWindowEnabled(5000));
  EXPECT_TRUE(dlg::EnableWindow(5000, true));
  EXPECT_TRUE(dlg::IsWindowEnabled(5000));
  QWidget w;
  dlg::SetWindowWidget(5001, &w);
  dlg::EnableWindow(5001, false);
  EXPECT_FALSE(w.isEnabled());
  dlg::SetForegroundWindow(5001);
  EXPECT_EQ(dlg::LastForegroundWindow(), 5001u);
  dlg::SetWindowWidget(5001, nullptr);
  EXPECT_EQ(dlg::WindowWidget(5001), nullptr);
}

TEST(DialogSupport, HelpTopicsAreFoundByContextId) {
  std::string file = "[1] Eins\r\na\r\n[12] Zwölf\n\nText\n\n[x] kaputt\n[2] Zwei\nb\n";
  std::string title, body;
  ASSERT_TRUE(dlg::FindHelpTopic(file, 12, &title, &body));
  EXPECT_EQ(title, "Zw\xF6" "lf");
  EXPECT_EQ(body, "Text");
  ASSERT_TRUE(dlg::FindHelpTopic(file, 1, &title, &body));
  EXPECT_EQ(body, "a");
  ASSERT_TRUE(dlg::FindHelpTopic(file, 2, &title, &body));
  EXPECT_EQ(body, "b");
  EXPECT_FALSE(dlg::FindHelpTopic(file, 3, &title, &body));
}

namespace {

const char* kTreeSample = R"(dialog 901 "Baum"
tree 70 lines=6 width=30
button 1 "OK"
)";

class TreeRecorder : public Dialog {
 public:
  explicit TreeRecorder(dlg::Template t) : Dialog(std::move(t)) {}
  std::vector<std::pair<int, Notify>> seen;

 protected:
  bool OnCommand(int id, Notify code) override {
    seen.emplace_back(id, code);
    return false;
  }
};

QIcon Swatch(Qt::GlobalColor c) {
  QPixmap p(16, 16);
  p.fill(c);
  return QIcon(p);
}

}  // namespace

TEST(DialogTemplate, TreeIsAControlKind) {
  dlg::Template t;
  std::string err;
  ASSERT_TRUE(dlg::ParseTemplate(kTreeSample, &t, &err)) << err;
  const dlg::Node* n = t.Find(70);
  ASSERT_NE(n, nullptr);
  EXPECT_EQ(n->kind, dlg::Kind::Tree);
  EXPECT_EQ(n->lines, 6);
  EXPECT_FALSE(n->IsContainer());
}

TEST_F(DialogKit, TreeItemsKeepTextImageDataAndLevelsByTheirIds) {
  dlg::Template t;
  ASSERT_TRUE(dlg::ParseTemplate(kTreeSample, &t, nullptr));
  TreeRecorder d(std::move(t));
  // Not built yet: nothing to add to.
  EXPECT_EQ(d.TreeInsertItem(70, 0, "x"), 0);
  ASSERT_TRUE(d.Create());
  d.SetTreeImages(70, {Swatch(Qt::red), Swatch(Qt::green), Swatch(Qt::blue)});
  EXPECT_EQ(d.GetTreeImageCount(70), 3);

  const auto a = d.TreeInsertItem(70, Dialog::kTreeRoot, "21 (Ringing) - 0301234", 1);
  const auto b = d.TreeInsertItem(70, Dialog::kTreeRoot, "22 (Held) - 23", 2);
  const auto a1 = d.TreeInsertItem(70, a, "09:05:07", 0);
  const auto a2 = d.TreeInsertItem(70, a, "4711");
  ASSERT_TRUE(a && b && a1 && a2);
  EXPECT_EQ(std::set<int>({a, b, a1, a2}).size(), 4u);
  EXPECT_EQ(d.TreeInsertItem(70, 9999, "no parent"), 0);
  EXPECT_EQ(d.TreeInsertItem(12, 0, "no tree"), 0);

  EXPECT_EQ(d.GetCount(70), 2);
  EXPECT_EQ(d.TreeItemCount(70), 4);
  EXPECT_EQ(d.TreeChildren(70, Dialog::kTreeRoot), (std::vector<Dialog::TreeItem>{a, b}));
  EXPECT_EQ(d.TreeChildren(70, a), (std::vector<Dialog::TreeItem>{a1, a2}));
  EXPECT_EQ(d.TreeParent(70, a2), a);
  EXPECT_EQ(d.TreeParent(70, a), 0);
  EXPECT_EQ(d.TreeGetItemText(70, b), "22 (Held) - 23");
  EXPECT_EQ(d.TreeGetItemImage(70, a), 1);
  EXPECT_EQ(d.TreeGetItemImage(70, a2), -1);

  // Texts are Windows-1252 on both sides.
  EXPECT_TRUE(d.TreeSetItemText(70, a2, "M\xFCller"));
  EXPECT_EQ(d.TreeGetItemText(70, a2), "M\xFCller");
  EXPECT_TRUE(d.TreeSetItemImage(70, a, 2));
  EXPECT_EQ(d.TreeGetItemImage(70, a), 2);
  EXPECT_TRUE(d.TreeSetItemData(70, b, 0x1234567890LL));
  EXPECT_EQ(d.TreeGetItemData(70, b), 0x1234567890LL);

  // Selecting from code does not notify; the selection reads back.
  EXPECT_TRUE(d.TreeSelectItem(70, b));
  EXPECT_EQ(d.TreeGetSelection(70), b);
  EXPECT_TRUE(d.seen.empty());
  EXPECT_TRUE(d.TreeExpand(70, a, true));

  // Deleting an item takes its children; their ids are gone for good.
  EXPECT_TRUE(d.TreeDeleteItem(70, a));
  EXPECT_FALSE(d.TreeHasItem(70, a1));
  EXPECT_FALSE(d.TreeSetItemText(70, a1, "stale"));
  EXPECT_FALSE(d.TreeDeleteItem(70, a));
  EXPECT_EQ(d.TreeItemCount(70), 1);
  const auto c = d.TreeInsertItem(70, 0, "neu");
  EXPECT_GT(c, a2);  // never a reused id

  d.TreeDeleteAll(70);
  EXPECT_EQ(d.TreeItemCount(70), 0);
  EXPECT_EQ(d.GetCount(70), 0);
  EXPECT_FALSE(d.TreeHasItem(70, c));
  EXPECT_TRUE(d.seen.empty());
  d.DestroyWindow();
  EXPECT_EQ(d.TreeItemCount(70), -1);
}
