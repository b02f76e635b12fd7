// The database window in each mode, the search, the picker, the record
// views and printing, headless and found by control id.
#include <QDialog>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/base/globalconfig.h"
#include "core/calls/callinfo.h"
#include "core/iface/viewhub.h"
#include "phonebook/dialogs/databasedlg.h"
#include "phonebook/dialogs/dbview.h"
#include "phonebook/dialogs/pickerdlg.h"
#include "phonebook/dialogs/printrecords.h"
#include "phonebook/dialogs/recordform.h"
#include "phonebook/dialogs/searchdlg.h"
#include "platform/dialogkit/dlgscript.h"
#include "platform/dialogkit/dlgsupport.h"
#include "print/marpel32.h"
#include "tests/phonebook/dialogs/pbtest_support.h"

using namespace pb;
using D = CDataBaseDlg;

namespace {

// Stands in for the view: what reaches its hub, with the record's number
// read while a sent message is handled.
class Hub : public plat::IMessageTarget {
 public:
  struct Got {
    plat::UINT code;
    plat::WPARAM w;
    plat::LPARAM l;
    std::string number;
  };
  Hub() { id = plat::RegisterTarget(this); }
  ~Hub() override { plat::UnregisterTarget(id); }
  plat::LRESULT OnMessage(const plat::Message& m) override {
    Got g{m.msg, m.wParam, m.lParam, {}};
    if ((m.msg == hub::kCallDialled || m.msg == hub::kAddCallbackFromRecord) && m.lParam) {
      CDataBaseParam p;
      reinterpret_cast<CMyDataBaseParamInterface*>(static_cast<std::intptr_t>(m.lParam))->GetParam(PBP_NUMBER, &p);
      g.number = p.Text();
    }
    got.push_back(g);
    return 0;
  }
  std::vector<plat::UINT> Codes() const {
    std::vector<plat::UINT> c;
    for (const auto& g : got) c.push_back(g.code);
    return c;
  }
  plat::WindowId id = 0;
  std::vector<Got> got;
};

class DataBaseWindow : public pbtest::PbTest {
 protected:
  void SetUp() override {
    PbTest::SetUp();
    store.Add("Alpha", "Anton", "0401");
    store.Add("Beta", "Berta", "0402");
    store.Add("Gamma", "Gustav", "0403");
  }
  void Open() {
    dlg = std::make_unique<D>(&store);
    dlg->closedNotice = [this] { ++closed; };
    ASSERT_TRUE(dlg->Create(hubTarget.id));
  }
  std::string Shown(int field) const { return dlg->GetItemText(form::IDC_FIELD0 + field); }
  void Press(int id) {
    ASSERT_TRUE(dlg->UserPress(id)) << id;
    loop.RunUntilIdle();
  }
  Hub hubTarget;
  std::unique_ptr<D> dlg;
  int closed = 0;
};

}  // namespace

TEST_P(DataBaseWindow, ModesCaptionsAndEditing) {
  Open();
  struct Step {
    int press;
    D::Mode mode;
    const char* caption;
    const char* editLabel;
    bool editable;
  };
  const Step steps[] = {
      {0, D::kView, "T11.0", "T11.32", false},
      {D::IDC_EDIT, D::kEdit, "T11.1", "T11.33", true},
      {D::IDC_EDIT, D::kView, "T11.0", "T11.32", false},
      {D::IDC_NEW, D::kEdit, "T11.1", "T11.33", true},
  };
  for (const Step& s : steps) {
    if (s.press) Press(s.press);
    EXPECT_EQ(dlg->CurrentMode(), s.mode) << s.press;
    EXPECT_EQ(dlg->GetWindowText(), s.caption);
    EXPECT_EQ(dlg->GetItemText(D::IDC_EDIT), s.editLabel);
    EXPECT_EQ(dlg->IsItemEnabled(form::IDC_FIELD0 + kName), s.editable);
    EXPECT_EQ(dlg->IsItemEnabled(D::IDC_SAVE), s.editable);
    EXPECT_EQ(dlg->IsItemEnabled(D::IDC_DELETE), s.editable);
    EXPECT_FALSE(dlg->IsItemVisible(D::IDC_ALL));
    EXPECT_EQ(dlg->GetItemText(D::IDC_COUNT), "3");
  }
  EXPECT_EQ(Shown(kCompany), "");  // "Neu" shows the empty record
  EXPECT_FALSE(dlg->IsItemEnabled(D::IDC_EXTRAS));
}

TEST_P(DataBaseWindow, BrowsesAndStaysAtTheEnds) {
  Open();
  const std::pair<int, const char*> steps[] = {
      {0, "Alpha"}, {D::IDC_PREV, "Alpha"}, {D::IDC_NEXT, "Beta"}, {D::IDC_NEXT, "Gamma"},
      {D::IDC_NEXT, "Gamma"}, {D::IDC_FIRST, "Alpha"}, {D::IDC_LAST, "Gamma"}, {D::IDC_PREV, "Beta"},
  };
  for (const auto& [id, company] : steps) {
    if (id) Press(id);
    EXPECT_EQ(Shown(kCompany), company) << id;
  }
}

TEST_P(DataBaseWindow, NewRecordIsSavedNormalisedAndCounted) {
  Open();
  Press(D::IDC_NEW);
  ASSERT_TRUE(dlg->UserSetText(form::IDC_FIELD0 + kCompany, "Delta AG"));
  ASSERT_TRUE(dlg->UserSetText(form::IDC_FIELD0 + kNumber, "0221/98-76"));
  ASSERT_TRUE(dlg->UserSetText(form::IDC_FIELD0 + kNote, "eins\r\nzwei"));
  ASSERT_TRUE(dlg->UserPress(form::IDC_NORMAL + 3));
  Press(D::IDC_SAVE);
  ASSERT_EQ(store.Records().size(), 4u);
  const PbRecord r = store.Records()[3];
  EXPECT_EQ(r.Get(kCompany), "Delta AG");
  EXPECT_EQ(r.Get(kNumber), "02219876");
  EXPECT_TRUE(r.external);
  EXPECT_EQ(r.Get(kNote), "eins\r\nzwei");
  EXPECT_EQ(r.treatment, 3);
  EXPECT_EQ(dlg->CurrentMode(), D::kView);
  EXPECT_EQ(dlg->GetItemText(D::IDC_COUNT), "4");
  EXPECT_TRUE(dlg->IsItemVisible(form::IDC_TREATMENT_NOTE));
  // Edited again, it is rewritten in place.
  Press(D::IDC_EDIT);
  ASSERT_TRUE(dlg->UserSetText(form::IDC_FIELD0 + kName, "Dora"));
  Press(D::IDC_SAVE);
  ASSERT_EQ(store.Records().size(), 4u);
  EXPECT_EQ(store.Records()[3].Get(kName), "Dora");
}

TEST_P(DataBaseWindow, AFailedSaveIsReported) {
  Open();
  Press(D::IDC_EDIT);
  store.SetFailWrites(true);
  Press(D::IDC_SAVE);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"T11.65"});
  EXPECT_EQ(dlg->CurrentMode(), D::kEdit);  // the typing is not lost
}

TEST_P(DataBaseWindow, DeleteInEditModeShowsTheRecordThatFollowed) {
  Open();
  EXPECT_FALSE(dlg->UserPress(D::IDC_DELETE));  // view mode: not offered
  EXPECT_EQ(store.Records().size(), 3u);
  Press(D::IDC_NEXT);
  Press(D::IDC_EDIT);
  Press(D::IDC_DELETE);  // Beta
  ASSERT_EQ(store.Records().size(), 2u);
  EXPECT_EQ(Shown(kCompany), "Gamma");
  EXPECT_EQ(dlg->GetItemText(D::IDC_COUNT), "2");
  Press(D::IDC_DELETE);  // Gamma, the last: the new last one
  EXPECT_EQ(Shown(kCompany), "Alpha");
  Press(D::IDC_DELETE);
  EXPECT_TRUE(store.Records().empty());
  EXPECT_EQ(Shown(kCompany), "");
  EXPECT_EQ(dlg->GetItemText(D::IDC_COUNT), "0");
}

// A deleted-records file that is no such file (a text written over it)
// makes every purge fail: the delete says so and the record stays in use;
// once the file is gone the same delete goes through.
TEST_P(DataBaseWindow, ADeleteWhosePurgeFailsIsReportedAndKeepsTheRecord) {
  if (store.Kind() != pbtest::Backing::kFile) GTEST_SKIP() << "the purge belongs to the file";
  const std::string deleted = store.OwnFiles().at(1);
  testsupport::PutFile(deleted, "Alpha\r\nBeta\r\n");
  Open();
  Press(D::IDC_NEXT);
  Press(D::IDC_EDIT);
  Press(D::IDC_DELETE);  // Beta
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"T11.66"});
  const std::vector<PbRecord> after = store.Records();
  ASSERT_EQ(after.size(), 3u);
  EXPECT_EQ(after[1].Get(kCompany), "Beta");
  EXPECT_TRUE(after[1].inUse);
  EXPECT_TRUE(store.HasNumber("0402"));
  EXPECT_EQ(Shown(kCompany), "Beta");
  EXPECT_EQ(testsupport::FileBytes(deleted), "Alpha\r\nBeta\r\n");

  std::filesystem::remove(deleted);
  boxes.shown.clear();
  Press(D::IDC_DELETE);
  EXPECT_TRUE(boxes.shown.empty());
  ASSERT_EQ(store.Records().size(), 2u);
  EXPECT_FALSE(store.HasNumber("0402"));
  EXPECT_EQ(Shown(kCompany), "Gamma");
}

TEST_P(DataBaseWindow, SearchWithSeveralHitsThenAll) {
  store.Add("Alphabet", "Anna", "0404");
  Open();
  plat::DialogScript script;
  script.When(CSearchDlg::kResourceId).SelectText(CSearchDlg::IDC_FIELD, "Firma").Set(CSearchDlg::IDC_CONTENT, "ALPHA*")
      .Press(CSearchDlg::IDC_LAST_RECORD).Press(1);
  Press(D::IDC_SEARCH);
  ASSERT_EQ(script.opened.size(), 1u);
  EXPECT_EQ(dlg->CurrentMode(), D::kHitsView);
  EXPECT_EQ(dlg->HitCount(), 2u);
  EXPECT_EQ(dlg->GetWindowText(), "T11.2");
  EXPECT_EQ(dlg->GetItemText(D::IDC_COUNT), "2");
  EXPECT_TRUE(dlg->IsItemVisible(D::IDC_ALL));
  EXPECT_EQ(Shown(kCompany), "Alpha");
  Press(D::IDC_NEXT);
  EXPECT_EQ(Shown(kCompany), "Alphabet");
  Press(D::IDC_NEXT);
  EXPECT_EQ(Shown(kCompany), "Alphabet");
  Press(D::IDC_ALL);
  EXPECT_EQ(dlg->CurrentMode(), D::kView);
  EXPECT_EQ(dlg->GetItemText(D::IDC_COUNT), "4");
  Press(D::IDC_NEXT);
  EXPECT_EQ(Shown(kCompany), "Alphabet");  // browsing goes on from the hit in file order
}

TEST_P(DataBaseWindow, SearchCasesAndNoHit) {
  Open();
  struct Case {
    const char* content;
    int stop;
    bool matchCase;
    std::size_t hits;
    const char* shown;
  };
  const Case cases[] = {
      {"BETA", 1, false, 1, "Beta"},
      {"BETA", 1, true, 0, "Beta"},
      {"*", 1, false, 3, "Alpha"},
      {"*", 0, false, 1, "Alpha"},
  };
  for (const Case& c : cases) {
    boxes.shown.clear();
    dlg->RunSearch("Firma", c.content, c.stop, c.matchCase);
    if (c.hits == 0) {
      EXPECT_EQ(BoxTexts(), std::vector<std::string>{"T11.62\r\nT11.63"}) << c.content;
      continue;
    }
    EXPECT_EQ(Shown(kCompany), c.shown) << c.content;
    EXPECT_EQ(dlg->CurrentMode(), c.hits > 1 ? D::kHitsView : D::kView) << c.content;
    if (c.hits > 1) Press(D::IDC_ALL);
  }
  dlg->RunSearch("no such field", "x", 1, false);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"T11.62\r\nT11.63"});
}

TEST_P(DataBaseWindow, DeleteInSearchEditModeMarksTheRecord) {
  Open();
  dlg->RunSearch("Firma", "*a*", 1, false);
  ASSERT_EQ(dlg->CurrentMode(), D::kHitsView);
  Press(D::IDC_EDIT);
  EXPECT_EQ(dlg->GetWindowText(), "T11.3");
  Press(D::IDC_DELETE);
  EXPECT_EQ(store.Records().size(), 3u);
  EXPECT_FALSE(store.Records()[0].inUse);
  EXPECT_TRUE(dlg->IsItemVisible(form::IDC_DELETED));
  Press(D::IDC_NEXT);  // saves first, then the next hit
  EXPECT_EQ(Shown(kCompany), "Beta");
  EXPECT_FALSE(dlg->IsItemVisible(form::IDC_DELETED));
}

TEST_P(DataBaseWindow, HubMessagesAndClose) {
  Open();
  Press(D::IDC_NEXT);
  Press(D::IDC_DIAL);
  Press(D::IDC_LIST);
  ASSERT_EQ(hubTarget.Codes(), (std::vector<plat::UINT>{hub::kCallDialled, hub::kAddCallbackFromRecord}));
  for (const auto& g : hubTarget.got) {
    EXPECT_EQ(g.w, 13u);
    EXPECT_EQ(g.number, "0402");
  }
  Press(D::IDC_SEARCH_HELP);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"T11.64"});
  Press(D::IDC_EDIT);
  Press(D::IDC_CLOSE);
  EXPECT_EQ(hubTarget.Codes().back(), hub::kDatabaseClosed);
  EXPECT_EQ(dlg->CurrentMode(), D::kView);
  EXPECT_EQ(store.HeaderWrites(), 1);
  EXPECT_EQ(closed, 1);
  EXPECT_FALSE(dlg->Window()->isVisible());
}

TEST_P(DataBaseWindow, OpensOnTheRecordACallAskedFor) {
  store.SetViewRequest(store.Records()[2].offset);
  Open();
  EXPECT_EQ(Shown(kCompany), "Gamma");
  EXPECT_EQ(store.ViewRequest(), 0);
  EXPECT_EQ(dlg->Notify(hub::kBringToFront, 10, 0), 1);
  EXPECT_EQ(plat::dlg::LastForegroundWindow(), dlg->Id());
}

// ------------------------------------------------------------- the picker

class Picker : public pbtest::PbTest {};

TEST_P(Picker, TakesTheChosenLineOfTwoWithOneNumber) {
  store.Add("Erste", "Eins", "0401");
  store.Add("Geloescht", "Weg", "0401", false);
  store.Add("Zweite", "Zwei", "0401");
  plat::DialogScript script;
  std::vector<std::string> lines;
  script.When(CPhoneBookDlg::kResourceId).Do([&](plat::Dialog& d) {
    for (int i = 0; i < d.GetCount(CPhoneBookDlg::IDC_LIST); ++i) lines.push_back(d.GetLBText(CPhoneBookDlg::IDC_LIST, i));
  }).Select(CPhoneBookDlg::IDC_LIST, 1).Press(1);
  CPhoneBookPicker picker(store);
  PickedRecord got;
  ASSERT_TRUE(picker.Pick(0, &got));
  EXPECT_EQ(lines, (std::vector<std::string>{"Erste\t\tEins\t0401", "Zweite\t\tZwei\t0401"}));
  EXPECT_EQ(got.company, "Zweite");
  EXPECT_EQ(got.number, "0401");
  EXPECT_EQ(got.offset, store.Records()[2].offset);
}

TEST_P(Picker, LinesAreTheLineTemplateOfTheFieldsWithoutBreaksOrTabs) {
  const struct {
    const char *company, *title, *name, *number, *line;
  } rows[] = {
      {"Alpha", "Herr", "Anton", "0401", "Alpha\tHerr\tAnton\t0401"},
      {"Tab\tFirma", "", "Zwei\r\nZeilen", "", "Tab Firma\t\tZwei Zeilen\t"},
      {"", "Dr.\r", "\nName", "04\t01", "\tDr. \t Name\t04 01"},
  };
  for (const auto& row : rows) {
    PbRecord r;
    r.Set(kCompany, row.company);
    r.Set(kTitle, row.title);
    r.Set(kName, row.name);
    r.Set(kNumber, row.number);
    r.Set(kNote, "note\tstays out");
    ASSERT_TRUE(store.Save(r));
  }
  std::vector<std::string> lines;
  std::vector<std::int64_t> offsets;
  CPhoneBookDlg::Lines(store, &lines, &offsets);
  ASSERT_EQ(lines.size(), 3u);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i], rows[i].line) << i;
    EXPECT_EQ(offsets[i], 1127 + static_cast<std::int64_t>(i) * 666);
  }
}

TEST_P(Picker, EmptyBookOrCancelChoosesNothing) {
  plat::DialogScript script;
  script.When(CPhoneBookDlg::kResourceId).Press(1);
  script.When(CPhoneBookDlg::kResourceId).Press(2);
  CPhoneBookPicker picker(store);
  PickedRecord got;
  EXPECT_FALSE(picker.Pick(0, &got));
  store.Add("A", "B", "1");
  EXPECT_FALSE(picker.Pick(0, &got));
  EXPECT_EQ(script.opened.size(), 2u);
}

// ------------------------------------------------------------ record views

class RecordViews : public pbtest::PbTest {
 protected:
  void SetUp() override {
    PbTest::SetUp();
    GlobalConfig().BCPW = 0;
    GlobalConfig().ECPW = 0;
    for (int i = 0; i < 12; ++i) store.Add("Firma" + std::to_string(i), "N", "040" + std::to_string(i));
    ASSERT_TRUE(views.Init(hubTarget.id, &store));
  }
  void TearDown() override {
    GlobalConfig().BCPW = 1;
    GlobalConfig().ECPW = 0;
    PbTest::TearDown();
  }
  CallRecordMatch Match(int i, CCallInfo* call) {
    records.push_back(std::make_unique<PbRecord>(store.Records()[static_cast<std::size_t>(i)]));
    params.push_back(std::make_unique<RecordParams>(*records.back()));
    return CallRecordMatch{params.back().get(), call, 0};
  }
  Hub hubTarget;
  CDBViewControl views;
  std::vector<std::unique_ptr<PbRecord>> records;
  std::vector<std::unique_ptr<RecordParams>> params;
};

TEST_P(RecordViews, TenViewsThenTheEleventhIsRefusedAfterTheCall) {
  std::vector<std::unique_ptr<CCallInfo>> calls;
  for (int i = 0; i < 10; ++i) {
    calls.push_back(std::make_unique<CCallInfo>());
    calls.back()->callId = 100 + i;
    EXPECT_EQ(views.OpenView(Match(i, calls.back().get())), i);
  }
  EXPECT_EQ(views.OpenCount(), 10);
  EXPECT_EQ(views.View(3)->GetItemText(form::IDC_FIELD0 + kCompany), "Firma3");
  EXPECT_EQ(views.OpenView(Match(10, calls[0].get())), 0);
  EXPECT_TRUE(boxes.shown.empty());  // not inside the sender's call
  loop.RunUntilIdle();
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"T51.0"});
  EXPECT_EQ(views.OpenCount(), 10);
}

TEST_P(RecordViews, ClosedForACallWhoseRecordIsGone) {
  auto* call = new CCallInfo;
  call->callId = 7;
  call->callRefId = 70;
  ASSERT_EQ(views.OpenView(Match(4, call)), 0);
  delete call;  // the pool freed it; the view kept only its ids
  // The view holds its own copy: browsing the store does not change it.
  PbRecord changed = store.Records()[4];
  changed.Set(kCompany, "changed");
  ASSERT_TRUE(store.Save(changed));
  EXPECT_EQ(views.View(0)->GetItemText(form::IDC_FIELD0 + kCompany), "Firma4");
  CCallInfo other;
  other.callId = 8;
  EXPECT_EQ(views.CloseViewForCall(&other), 1);
  EXPECT_EQ(views.OpenCount(), 1);
  CCallInfo ended;
  ended.callId = 7;
  EXPECT_EQ(views.CloseViewForCall(&ended), 1);
  EXPECT_EQ(views.OpenCount(), 0);
  EXPECT_EQ(views.CloseViewForCall(nullptr), 0);
}

TEST_P(RecordViews, ClosedByTheUserReportsItsSlot) {
  CCallInfo call;
  views.OpenView(Match(0, &call));
  views.OpenView(Match(1, &call));
  ASSERT_TRUE(views.View(1)->UserPress(1));
  loop.RunUntilIdle();
  ASSERT_EQ(hubTarget.got.size(), 1u);
  EXPECT_EQ(hubTarget.got[0].code, hub::kCloseRecordView);
  EXPECT_EQ(hubTarget.got[0].l, 1);
  EXPECT_EQ(views.CloseViewByIndex(1), 1);
  EXPECT_EQ(views.View(1), nullptr);
  EXPECT_EQ(views.CloseViewByIndex(42), 1);
  // The freed slot is taken first.
  EXPECT_EQ(views.OpenView(Match(2, &call)), 1);
}

TEST_P(RecordViews, StoresWhatTheUserChanged) {
  CCallInfo call;
  views.OpenView(Match(5, &call));
  CDBViewDlg* v = views.View(0);
  ASSERT_TRUE(v->UserSetText(form::IDC_FIELD0 + kName, "Neuer Name"));
  ASSERT_TRUE(v->UserPress(CDBViewDlg::IDC_STORE));
  EXPECT_EQ(store.Records()[5].Get(kName), "Neuer Name");
  EXPECT_EQ(store.Records().size(), 12u);
}

TEST_P(RecordViews, MoveTheDatabaseSettingOnlyAsksTheWindow) {
  GlobalConfig().BCPW = 1;
  CCallInfo call;
  EXPECT_EQ(views.OpenView(Match(6, &call)), 0);
  EXPECT_EQ(views.OpenCount(), 0);
  EXPECT_EQ(store.ViewRequest(), store.Records()[6].offset);
  GlobalConfig().ECPW = 1;
  EXPECT_EQ(views.CloseViewForCall(&call), 1);
  EXPECT_EQ(store.ViewRequest(), 0);
}

// ---------------------------------------------------------------- printing

namespace {

class RecordingSink : public IPrintSink {
 public:
  std::uint16_t Create(const std::string& name) override {
    log.push_back("create " + name);
    return 3;
  }
  bool Configure(std::uint16_t, plat::WindowId) override {
    log.push_back("config");
    return configure;
  }
  void Command(std::uint16_t job, std::uint16_t command, std::uint16_t sub, std::uint16_t kind,
               const void* data) override {
    std::string e = "cmd " + std::to_string(command) + " job " + std::to_string(job);
    if (sub) e += " sub " + std::to_string(sub);
    if (kind == MARPL_KIND_TEXT) e += " '" + std::string(static_cast<const char*>(data)) + "'";
    if (command == MARPL_CMD_LEFT_MARGIN || command == MARPL_CMD_TOP_MARGIN)
      e += " " + std::to_string(*static_cast<const std::int16_t*>(data));
    if (command == MARPL_CMD_TABS_DEVICE)
      for (auto* p = static_cast<const std::int32_t*>(data); *p != -1; ++p) e += " " + std::to_string(*p);
    log.push_back(e);
  }
  void Release(std::uint16_t job) override { log.push_back("release " + std::to_string(job)); }
  std::vector<std::string> log;
  bool configure = true;
};

// The page is set whole: no header, footer or font of an earlier job in
// the slot, 15 mm free all round.
const std::vector<std::string> kHead = {"create T11.67",
                                         "config",
                                         "cmd 9 job 3 sub 23 ''",
                                         "cmd 10 job 3 ''",
                                         "cmd 34 job 3 sub 22 '\\rm'",
                                         "cmd 17 job 3 sub 16 15",
                                         "cmd 18 job 3 sub 16 15",
                                         "cmd 34 job 3 sub 22 '\\footskip{15mm}'",
                                         "cmd 4 job 3 525 850 1165 1515 1899",
                                         "cmd 1 job 3"};
const std::vector<std::string> kTail = {"cmd 34 job 3 sub 22 '\\footskip{0mm}'", "cmd 2 job 3", "release 3"};

}  // namespace

class Printing : public pbtest::PbTest {
 protected:
  void SetUp() override {
    PbTest::SetUp();
    SetPrintSink(&sink);
  }
  void TearDown() override {
    SetPrintSink(nullptr);
    PbTest::TearDown();
  }
  static std::vector<std::string> Lines(const PbRecord& r, bool note) {
    std::vector<std::string> out;
    for (const std::string& l : RenderForPrint(r, PrintTemplate(note))) out.push_back("cmd 12 job 3 '" + l + "'");
    out.push_back("cmd 12 job 3 ''");
    out.push_back("cmd 12 job 3 ''");
    return out;
  }
  RecordingSink sink;
};

TEST_P(Printing, ThreeRecordsEachOnceAndNoDeletedOne) {
  store.Add("A", "Anna", "1");
  store.Add("B", "Bert", "2", false);
  store.Add("C", "Cora", "3");
  store.Add("D", "Dirk", "4");
  EXPECT_EQ(PrintRecords(0, store, nullptr, nullptr), 3);
  std::vector<std::string> want = kHead;
  for (std::size_t i : {0u, 2u, 3u}) {
    auto l = Lines(store.Records()[i], false);
    want.insert(want.end(), l.begin(), l.end());
  }
  want.insert(want.end(), kTail.begin(), kTail.end());
  EXPECT_EQ(sink.log, want);
  EXPECT_EQ(want[kHead.size()], "cmd 12 job 3 'T11.56 \tA'");
  EXPECT_EQ(want[kHead.size() + 1], "cmd 12 job 3 'T11.57 \t- ,  '");
}

TEST_P(Printing, OneRecordWithAThreeLineNote) {
  PbRecord r;
  r.Set(kCompany, "Firma");
  r.Set(kNote, "eins\r\nzwei\r\ndrei");
  EXPECT_EQ(PrintRecords(0, store, nullptr, &r), 1);
  ASSERT_EQ(sink.log.size(), kHead.size() + 8 + 2 + kTail.size());
  EXPECT_EQ(sink.log[0], "create T11.67 - Firma");
  EXPECT_EQ(sink.log[kHead.size() + 5], "cmd 12 job 3 'T11.61 \teins'");
  EXPECT_EQ(sink.log[kHead.size() + 6], "cmd 12 job 3 '\tzwei'");
  EXPECT_EQ(sink.log[kHead.size() + 7], "cmd 12 job 3 '\tdrei'");
}

TEST_P(Printing, EachButtonNamesItsOwnDocument) {
  struct Case {
    const char* company;
    const char* name;
    const char* number;
    const char* document;
  } cases[] = {
      {"Firma", "Meier", "0711", "T11.67 - Firma Meier"},
      {"", "Meier", "0711", "T11.67 - Meier"},
      {"", "", "0711 22", "T11.67 - 0711 22"},
      {"", "", "", "T11.67 - ?"},
      {"A/B\\C", "Zeile\r\nzwei", "", "T11.67 - A-B-C Zeile zwei"},
      {" \t", "  ", "", "T11.67 - ?"},
  };
  for (const Case& c : cases) {
    PbRecord r;
    r.Set(kCompany, c.company);
    r.Set(kName, c.name);
    r.Set(kNumber, c.number);
    EXPECT_EQ(PrintDocumentName(&r), c.document) << c.company << "|" << c.name;
  }
  EXPECT_EQ(PrintDocumentName(nullptr), "T11.67");
}

TEST_P(Printing, CancelledDialogReleasesTheJob) {
  sink.configure = false;
  store.Add("A", "B", "1");
  EXPECT_EQ(PrintRecords(0, store, nullptr, nullptr), 0);
  EXPECT_EQ(sink.log, (std::vector<std::string>{"create T11.67", "config", "release 3"}));
}

TEST_P(Printing, HitsOnlyThroughTheWindow) {
  store.Add("Alpha", "A", "1");
  store.Add("Beta", "B", "2");
  store.Add("Alphorn", "C", "3");
  D dlg(&store);
  ASSERT_TRUE(dlg.Create(0));
  dlg.RunSearch("Firma", "Alph*", 1, false);
  ASSERT_TRUE(dlg.UserPress(D::IDC_PRINT_ALL));
  loop.RunUntilIdle();
  std::vector<std::string> companies;
  for (const auto& e : sink.log)
    if (e.rfind("cmd 12 job 3 'T11.56", 0) == 0) companies.push_back(e);
  EXPECT_EQ(companies, (std::vector<std::string>{"cmd 12 job 3 'T11.56 \tAlpha'", "cmd 12 job 3 'T11.56 \tAlphorn'"}));
}

INSTANTIATE_TEST_SUITE_P(Stores, DataBaseWindow, ::testing::Values(pbtest::Backing::kMemory, pbtest::Backing::kFile),
                         pbtest::BackingName);
INSTANTIATE_TEST_SUITE_P(Stores, Picker, ::testing::Values(pbtest::Backing::kMemory, pbtest::Backing::kFile),
                         pbtest::BackingName);
INSTANTIATE_TEST_SUITE_P(Stores, RecordViews, ::testing::Values(pbtest::Backing::kMemory, pbtest::Backing::kFile),
                         pbtest::BackingName);
INSTANTIATE_TEST_SUITE_P(Stores, Printing, ::testing::Values(pbtest::Backing::kMemory, pbtest::Backing::kFile),
                         pbtest::BackingName);
