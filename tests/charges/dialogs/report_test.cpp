// Dialog 190 and its selection dialog 191 on a real handler and charge
// file: the list against the handler's lines, the refresh from the PBX,
// the questions before anything is deleted, one dialog at a time, and the
// printed report's command stream.
#include <QDialog>
#include <QTreeView>
#include <algorithm>

#include "charges/dialogs/chargereportdlg.h"
#include "chargedlg_support.h"
#include "platform/dialogkit/dlgscript.h"

using chargedlgtest::Call;
using plat::DialogScript;
using R = CChargeReportDlg;
using S = CSelectionCriteriaDlg;

namespace {

class Report : public chargedlgtest::ChargeDlgTest {
 protected:
  std::vector<std::string> Shown(plat::Dialog& d) {
    std::vector<std::string> out;
    const auto& lines = static_cast<R&>(d).Lines();
    for (std::size_t i = 0; i < lines.Count(); ++i) out.emplace_back(lines.Line(i));
    return out;
  }
  int Run() { return RunChargeReportDlg(handler.get(), table.get(), &printer, 0); }
};

TEST_F(Report, ListsTheHandlersMatchingLinesWithItsSummaries) {
  ReadOut(Sample(12));
  struct Case {
    const char* name;
    std::function<void()> setup;
  } cases[] = {
      {"all", [] {}},
      {"only 22", [this] { handler->SelectExtension("-", 0), handler->SelectExtension("22", 1); }},
      {"nothing", [this] { handler->SelectExtension("-", 0); }},
  };
  for (const Case& c : cases) {
    c.setup();
    const std::vector<std::string> want = HandlerLines(1, 0);
    std::vector<std::string> got;
    std::string sum, ext, view;
    DialogScript script;
    script.When(190).Do([&](plat::Dialog& d) {
      got = Shown(d);
      sum = d.GetItemText(R::IDC_SUM);
      ext = d.GetItemText(R::IDC_EXTENSIONS);
      auto* v = d.Window()->findChild<QTreeView*>("1307");
      view = v && v->model() ? std::to_string(v->model()->rowCount()) : "none";
    });
    Run();
    EXPECT_EQ(got, want) << c.name;
    EXPECT_EQ(view, std::to_string(want.size())) << c.name;
    EXPECT_EQ(sum, handler->GetSummaryText(6, 1)) << c.name;
    EXPECT_EQ(ext, handler->GetSummaryText(2, 1)) << c.name;
  }
  EXPECT_EQ(R::Current(), nullptr);
}

// The heads stand over their columns, and no column cuts a value: the
// time keeps its seconds beside the duration.
TEST_F(Report, HeadsOverTheColumnsAndEveryValueWhole) {
  ReadOut(Sample(12));
  QStringList heads;
  std::vector<std::pair<int, int>> cells;  // column width, widest text
  DialogScript script;
  script.When(190).Do([&](plat::Dialog& d) {
    auto* v = d.Window()->findChild<QTreeView*>("1307");
    if (!v || !v->model()) return;
    for (int c = 0; c < v->model()->columnCount(); ++c) heads << v->model()->headerData(c, Qt::Horizontal).toString();
    EXPECT_FALSE(v->isHeaderHidden());
    EXPECT_FALSE(d.Item(1308)->isVisibleTo(d.Window()));  // the head "Datum" went into the header
    for (int c = 0; c + 1 < v->model()->columnCount(); ++c) {
      int widest = v->fontMetrics().horizontalAdvance(heads[c]);
      for (int r = 0; r < v->model()->rowCount(); ++r)
        widest = std::max(widest, v->fontMetrics().horizontalAdvance(v->model()->index(r, c).data().toString()));
      cells.emplace_back(v->columnWidth(c), widest);
    }
  });
  Run();
  EXPECT_EQ(heads, (QStringList{"T37.14", "T37.18", "T37.15", "T37.17", "T37.13", "T37.16"}));
  ASSERT_EQ(cells.size(), 5u);
  for (std::size_t c = 0; c < cells.size(); ++c) EXPECT_GT(cells[c].first, cells[c].second) << c;
}

TEST_F(Report, RefreshDisablesItsButtonUntilTheReadOutEnds) {
  struct Case {
    const char* name;
    std::vector<Call> answer;
    int box;  // text entry of group 37, or -1
  } cases[] = {{"records", Sample(6), -1}, {"none in the PBX", {}, 32}};
  for (const Case& c : cases) {
    boxes.shown.clear();
    bool during = true, after = false, busyAfter = true;
    std::size_t lines = 99;
    DialogScript script;
    script.When(190)
        .Press(R::IDC_REFRESH)
        .Do([&](plat::Dialog& d) {
          during = d.IsItemEnabled(R::IDC_REFRESH);
          handler->ProcessChargeMessage(chargewire::CountReply(17, "856"));
          Answer(c.answer);
          loop.RunUntilIdle();
          after = d.IsItemEnabled(R::IDC_REFRESH);
          busyAfter = static_cast<R&>(d).Busy();
          lines = static_cast<R&>(d).Lines().Count();
        })
        .Press(1);
    Run();
    EXPECT_FALSE(during) << c.name;
    EXPECT_TRUE(after) << c.name;
    EXPECT_FALSE(busyAfter) << c.name;
    EXPECT_EQ(lines, HandlerLines(1, 0).size()) << c.name;
    if (c.box >= 0) EXPECT_EQ(BoxTexts(), std::vector<std::string>{"T37." + std::to_string(c.box)}) << c.name;
    else EXPECT_TRUE(boxes.shown.empty()) << c.name;
    handler->Command(8);
  }
}

TEST_F(Report, LeavingDuringAReadOutAsksWhetherToStopIt) {
  struct Case {
    int answer;
    int jobAfter;
  } cases[] = {{plat::IDYES, CChargeAndLogHandler::kJobNone}, {plat::IDNO, CChargeAndLogHandler::kJobRecords}};
  for (const Case& c : cases) {
    boxes.shown.clear();
    boxes.QueueAnswer(c.answer);
    DialogScript script;
    script.When(190).Press(R::IDC_REFRESH).Key(Qt::Key_Escape).Do([&](plat::Dialog&) { loop.RunUntilIdle(); });
    Run();
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"T37.27\r\nT37.28"});
    EXPECT_EQ(handler->Job(), c.jobAfter);
    // The window is detached either way: the end of the read-out reaches
    // no dialog that is gone.
    handler->ProcessChargeMessage(chargewire::CountReply(17, "856"));
    Answer(Sample(1));
    handler->CancelRecordsReadOut();
  }
}

// The PBX's records go only after a yes, never during a read-out; the
// charge file is offered for emptying only once the PBX confirmed, and a
// refusal or no answer says so and leaves the file as it is.
TEST_F(Report, DeleteAsksBeforeThePbxRecordsGoAndEmptiesTheFileOnlyAfterThePbxConfirmed) {
  ReadOut(Sample(5));
  enum Answer { kNone, kConfirmed, kRefused, kUnanswered };
  struct Case {
    const char* name;
    bool reading;
    std::vector<int> answers;
    Answer pbx;
    std::vector<std::string> boxes;
    int job;           // the handler's job after the press
    bool fileEmptied;
  } cases[] = {
      {"no", false, {plat::IDNO}, kNone, {"T37.33"}, CChargeAndLogHandler::kJobNone, false},
      {"yes, no answer yet", false, {plat::IDYES}, kNone, {"T37.33"}, CChargeAndLogHandler::kJobDeleteAll, false},
      {"confirmed, keep file", false, {plat::IDYES, plat::IDNO}, kConfirmed, {"T37.33", "T37.29\r\nT37.30"},
       CChargeAndLogHandler::kJobNone, false},
      {"confirmed, empty file", false, {plat::IDYES, plat::IDYES}, kConfirmed, {"T37.33", "T37.29\r\nT37.30"},
       CChargeAndLogHandler::kJobNone, true},
      {"refused", false, {plat::IDYES, plat::IDYES}, kRefused, {"T37.33", "T37.31\r\nT37.40"},
       CChargeAndLogHandler::kJobNone, false},
      {"unanswered", false, {plat::IDYES, plat::IDYES}, kUnanswered, {"T37.33", "T37.38\r\nT37.40"},
       CChargeAndLogHandler::kJobNone, false},
      {"during a read-out", true, {}, kNone, {"T37.34"}, CChargeAndLogHandler::kJobRecords, false},
  };
  for (const Case& c : cases) {
    boxes.shown.clear();
    requests.sent.clear();
    for (int a : c.answers) boxes.QueueAnswer(a);
    const std::string before = chargedlgtest::ReadBytes(dir_.filePath("charproc.log").toStdString());
    int job = -1;
    bool deleting = false, deleteEnabled = true;
    DialogScript script;
    script.When(190)
        .Do([&](plat::Dialog& d) {
          if (c.reading) d.UserPress(R::IDC_REFRESH);
        })
        .Press(R::IDC_DELETE)
        .Do([&](plat::Dialog& d) {
          loop.RunUntilIdle();
          // Nothing more is asked before the PBX answers.
          EXPECT_EQ(boxes.shown.size(), 1u) << c.name;
          deleting = static_cast<R&>(d).Deleting();
          deleteEnabled = d.IsItemEnabled(R::IDC_DELETE);
          if (c.pbx == kConfirmed) handler->ProcessChargeMessage(chargewire::DeviceReply(15, ""));
          if (c.pbx == kRefused) handler->OnRequestRefused(0, 12);
          if (c.pbx == kUnanswered) handler->OnRequestFailed(0);
          loop.RunUntilIdle();
          job = handler->Job();
          if (c.reading) handler->CancelRecordsReadOut();
        });
    Run();
    const bool asked = c.answers.size() > 0 && c.answers[0] == plat::IDYES;
    EXPECT_EQ(BoxTexts(), c.boxes) << c.name;
    EXPECT_EQ(deleting, asked) << c.name;
    EXPECT_EQ(deleteEnabled, !asked) << c.name;
    EXPECT_EQ(job, c.job) << c.name;
    EXPECT_EQ(std::count(requests.sent.begin(), requests.sent.end(), "14 "), asked ? 1 : 0) << c.name;
    EXPECT_EQ(handler->RecordCount() == 0, c.fileEmptied) << c.name;
    if (!c.fileEmptied) {
      EXPECT_EQ(chargedlgtest::ReadBytes(dir_.filePath("charproc.log").toStdString()), before) << c.name;
    }
    handler->ProcessChargeMessage(chargewire::DeviceReply(15, ""));
    if (c.fileEmptied) ReadOut(Sample(5));
  }
}

TEST_F(Report, ASecondRequestRefreshesTheOpenDialog) {
  ReadOut(Sample(3));
  int second = 0;
  std::size_t before = 0, after = 0;
  DialogScript script;
  script.When(190).Do([&](plat::Dialog& d) {
    before = static_cast<R&>(d).Lines().Count();
    ReadOut(Sample(8));  // the manager's read-out, then its request
    second = Run();
    after = static_cast<R&>(d).Lines().Count();
  });
  Run();
  EXPECT_EQ(second, -2);
  EXPECT_EQ(script.opened.size(), 1u);
  EXPECT_LT(before, after);
  EXPECT_EQ(after, HandlerLines(1, 0).size());
}

TEST_F(Report, SelectionDialogRunsInsideAndTheListFollowsIt) {
  ReadOut(Sample(10));
  std::size_t before = 0, after = 0;
  DialogScript script;
  script.When(190)
      .Do([&](plat::Dialog& d) { before = static_cast<R&>(d).Lines().Count(); })
      .Press(R::IDC_SELECT)
      .Do([&](plat::Dialog& d) {
        loop.RunUntilIdle();
        after = static_cast<R&>(d).Lines().Count();
      });
  // Only extension 22 (entry 12: slot "22").
  script.When(191).Do([](plat::Dialog& d) {
    auto& s = static_cast<S&>(d);
    for (int i = 0; i < S::kEntries; ++i) s.SetEntrySelected(i, i == 12);
  }).Press(1);
  Run();
  EXPECT_EQ(before, 8u);  // all but the two external callers
  handler->SelectExtension("-", 0);
  handler->SelectExtension("22", 1);
  EXPECT_EQ(after, HandlerLines(1, 0).size());
  EXPECT_GT(before, after);
}

TEST_F(Report, ReceiverComesFromTheInputDialogAndCancelKeepsIt) {
  struct Case {
    bool confirm;
    std::string want;
  } cases[] = {{true, "Firma Kunz\r\nHauptstr. 1"}, {false, "vorher"}};
  for (const Case& c : cases) {
    std::string got;
    DialogScript script;
    script.When(190)
        .Do([](plat::Dialog& d) { static_cast<R&>(d).SetReceiver("vorher"); })
        .Press(R::IDC_RECEIVER)
        .Do([&](plat::Dialog& d) {
          loop.RunUntilIdle();
          got = static_cast<R&>(d).Receiver();
        });
    auto& k = script.When(plat::dlg::kKestrum, 130).Set(1207, "Firma Kunz\r\nHauptstr. 1");
    k.Press(c.confirm ? 1 : 2);
    Run();
    EXPECT_EQ(got, c.want);
  }
}

TEST_F(Report, PrintedReportPlainAndAsInvoice) {
  ReadOut(Sample(12));
  const std::vector<std::string> rows = HandlerLines(1, 0);
  ASSERT_EQ(rows.size(), 10u);  // all but the two external callers
  auto expected = [&](bool invoice) {
    std::vector<std::string> w = {
        "create SingleCallReportList.log 4 2", "config 3", "seq 3 1 0 5 SingleCallReportList.log",
        "latex 3 \\documentstyle[10pt,german,dina4]{article}", "latex 3 \\rm", "latex 3 \\oddsidemargin{}",
        "latex 3 \\columnsep{4 mm}", "latex 3 \\textwidth{180 mm}", "latex 3 \\textheight{270 mm}",
        "seq 3 9 23 5 " + handler->GetSummaryText(1, 0), "latex 3 \\rm", "latex 3 \\vspace{4mm}",
        "seq 3 12 22 5 " + handler->GetSummaryText(2, 2), "seq 3 12 22 5 " + handler->GetSummaryText(3, 2)};
    if (invoice) {
      w.push_back("latex 3 \\vspace{20mm}");
      w.push_back("seq 3 12 22 5 Firma Kunz");
      w.push_back("seq 3 12 22 5 Hauptstr. 1");
      w.push_back("latex 3 \\vspace{80mm}");
    }
    for (const char* s : {"latex 3 \\rm{12pt}", "latex 3 \\bf", "seq 3 12 22 5 T37.39", "latex 3 \\rm"}) w.push_back(s);
    w.push_back("seq 3 12 22 5 T37.3\t" + handler->GetReadOutTimeText(1));
    w.push_back("latex 3 \\vspace{4mm}");
    w.push_back("seq 3 6 19 5 r{31.12.99},r{23:59:00},r{88:88:88},l{000},l{0099000011112222},r{999.99 DM}");
    w.push_back("seq 3 8 21 5 T37.24\tT37.23\tT37.22\tT37.21\tT37.20\tT37.19");
    w.push_back("seq 3 33 0 0");
    for (std::size_t i = 0; i < rows.size(); ++i) {
      w.push_back("seq 3 32 22 5 " + rows[i]);
      if ((i + 1) % 5 == 0) w.push_back("seq 3 33 0 0");
    }
    for (const char* s : {"seq 3 33 0 0", "seq 3 33 0 0", "seq 3 7 0 0", "latex 3 \\vspace{4mm}", "latex 3 \\bf"})
      w.push_back(s);
    w.push_back("seq 3 12 22 5 " + handler->GetSummaryText(6, 2));
    w.push_back("seq 3 2 0 0");
    w.push_back("release 3");
    return w;
  };
  for (bool invoice : {false, true}) {
    printer.calls.clear();
    DialogScript script;
    chargedlgtest::PrintReportWhenOpen(script, invoice, loop);
    Run();
    EXPECT_EQ(printer.calls, expected(invoice)) << invoice;
  }
}

TEST_F(Report, NoJobOrACancelledPrinterPrintsNothingAndReleases) {
  ReadOut(Sample(3));
  struct Case {
    std::uint16_t job;
    bool confirm;
    std::vector<std::string> want;
  } cases[] = {{0xFFFF, true, {"create SingleCallReportList.log 4 2"}},
               {2, false, {"create SingleCallReportList.log 4 2", "config 2", "release 2"}}};
  for (const Case& c : cases) {
    printer.calls.clear();
    printer.job = c.job;
    printer.confirm = c.confirm;
    DialogScript script;
    script.When(190).Press(R::IDC_PRINT).Do([&](plat::Dialog&) { loop.RunUntilIdle(); });
    Run();
    EXPECT_EQ(printer.calls, c.want);
  }
}

TEST_F(Report, SavedReportHoldsTheListedLines) {
  ReadOut(Sample(7));
  const std::string path = dir_.filePath("bericht.CRP").toStdString();
  files.answers = {path};
  DialogScript script;
  script.When(190).Press(R::IDC_SAVE).Do([&](plat::Dialog&) { loop.RunUntilIdle(); });
  Run();
  ASSERT_EQ(files.requests.size(), 1u);
  EXPECT_EQ(files.requests[0].fileName, "DEFAULT.CRP");
  std::string want;
  for (const std::string& l : HandlerLines(1, 0)) want += l + "\r\n";
  EXPECT_EQ(chargedlgtest::ReadBytes(path), want);
}

}  // namespace
