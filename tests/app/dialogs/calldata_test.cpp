// The own workstation's call data: the list dialog over a real file, its
// buttons, the order dialog, the call's fields and the printed report's
// exact command stream (recorded, and through the real print library).
#include <QFile>
#include <QFileInfo>
#include <ctime>
#include <map>
#include <memory>

#include "app/dialogs/calldatadlg.h"
#include "charges/calldata/calldatareport.h"
#include "calldata_fakes.h"
#include "dialogs_support.h"
#include "platform/dialogkit/dlgscript.h"
#include "platform/printdlg.h"
#include "print/marpel32.h"

using callwintest::CallWinTest;
using dialogtest::FileCallDataList;
using dialogtest::RecordingPrinter;
using plat::DialogScript;
using L = CCallDataDlg;

namespace {

class CallData : public CallWinTest {
 protected:
  void SetUp() override {
    CallWinTest::SetUp();
    GlobalConfig().CINFSOSEQ = 0;
    list = std::make_unique<FileCallDataList>(path);
  }
  void TearDown() override {
    list.reset();
    CallWinTest::TearDown();
  }
  std::vector<std::string> Shown(plat::Dialog& d) {
    std::vector<std::string> out;
    for (int i = 0; i < d.GetCount(L::IDC_LIST); ++i) out.push_back(d.GetLBText(L::IDC_LIST, i));
    return out;
  }
  std::string path = dir_.filePath("cinf.log").toStdString();
  std::unique_ptr<FileCallDataList> list;
  RecordingPrinter printer;
};

TEST_F(CallData, LinesInFileOrderOrNewestFirstBlankLinesSkippedAndCounted) {
  list->Write({"a\t1", "b\t2", "", "c\t3", "d\t4"});
  struct Case {
    int order;
    std::vector<std::string> want;
  } cases[] = {{0, {"a\t1", "b\t2", "c\t3", "d\t4"}}, {1, {"d\t4", "c\t3", "b\t2", "a\t1"}}};
  for (const Case& c : cases) {
    GlobalConfig().CINFSOSEQ = c.order;
    std::vector<std::string> got;
    std::string count;
    DialogScript script;
    script.When(182).Do([&](plat::Dialog& d) {
      got = Shown(d);
      count = d.GetItemText(L::IDC_COUNT);
    });
    RunCallDataDlg(*list, &printer, 0);
    EXPECT_EQ(got, c.want) << c.order;
    EXPECT_EQ(count, "4");
  }
}

TEST_F(CallData, EachButtonActsWithItsCodeOnTheSelectedLineAndNothingWithoutOne) {
  list->Write({"a", "b", "c"});
  GlobalConfig().CINFSOSEQ = 1;
  struct Case {
    int button;
    int code;
  } cases[] = {{L::IDC_CALLBACK, 0}, {L::IDC_SHOW, 1}, {L::IDC_TOCALLBACKLIST, 2}, {L::IDC_DATABASE, 5}};
  for (const Case& c : cases) {
    list->acts.clear();
    DialogScript script;
    script.When(182)
        .Press(c.button)
        .Do([&](plat::Dialog&) { loop.RunUntilIdle(); })
        .Select(L::IDC_LIST, 2)
        .Press(c.button)
        .Do([&](plat::Dialog&) { loop.RunUntilIdle(); });
    RunCallDataDlg(*list, &printer, 0);
    EXPECT_TRUE(script.errors.empty());
    ASSERT_EQ(list->acts.size(), 1u) << c.button;
    EXPECT_EQ(list->acts[0].first, c.code);
    EXPECT_EQ(list->acts[0].second, "a");  // newest first: the oldest is the last row
  }
}

TEST_F(CallData, EmptyingLeavesAnEmptyFileAndAnEmptyBoxOrTheLinesThatStayed) {
  struct Case {
    bool fails;
    std::vector<std::string> shown;
    const char* count;
    qint64 size;
  } cases[] = {{false, {}, "0", 0}, {true, {"a", "b"}, "2", 6}};
  for (const Case& c : cases) {
    list->Write({"a", "b"});
    list->emptyFails = c.fails;
    list->emptied = 0;
    std::vector<std::string> after;
    std::string count;
    DialogScript script;
    script.When(182).Press(L::IDC_EMPTY).Do([&](plat::Dialog& d) {
      after = Shown(d);
      count = d.GetItemText(L::IDC_COUNT);
    });
    GlobalConfig().CINFSOSEQ = 0;
    RunCallDataDlg(*list, &printer, 0);
    EXPECT_EQ(after, c.shown) << c.fails;
    EXPECT_EQ(count, c.count) << c.fails;
    EXPECT_EQ(QFileInfo(QString::fromStdString(path)).size(), c.size) << c.fails;
    EXPECT_EQ(list->emptied, 1);
  }
}

TEST_F(CallData, PrintIsDisabledWithoutAPrinterAndPrintsTheListWithOne) {
  list->Write({"a"});
  bool enabled = true;
  {
    DialogScript script;
    script.When(182).Do([&](plat::Dialog& d) { enabled = d.IsItemEnabled(L::IDC_PRINT); });
    RunCallDataDlg(*list, nullptr, 0);
  }
  EXPECT_FALSE(enabled);
  DialogScript script;
  script.When(182).Press(L::IDC_PRINT).Do([&](plat::Dialog&) { loop.RunUntilIdle(); });
  RunCallDataDlg(*list, &printer, 0);
  ASSERT_FALSE(printer.calls.empty());
  EXPECT_EQ(printer.calls.front(), "create CallInfoList.log 4 2");
  EXPECT_EQ(printer.calls.back(), "release 3");
}

TEST_F(CallData, OrderDialogRoundTripAndAValueWithoutAButtonIsKept) {
  struct Case {
    int stored;
    int press;  // radio to press, 0 none
    int button;
    int want;
  } cases[] = {
      {0, CCallDataOrderDlg::IDC_NEWEST, plat::IDOK, 1},
      {1, CCallDataOrderDlg::IDC_OLDEST, plat::IDOK, 0},
      {0, CCallDataOrderDlg::IDC_NEWEST, plat::IDCANCEL, 0},
      {7, 0, plat::IDOK, 7},
  };
  for (const Case& c : cases) {
    GlobalConfig().CINFSOSEQ = c.stored;
    int shown = -2;
    DialogScript script;
    auto& steps = script.When(192).Do([&](plat::Dialog& d) { shown = d.GetRadioIndex(CCallDataOrderDlg::IDC_OLDEST); });
    if (c.press) steps.Press(c.press);
    steps.Press(c.button);
    EXPECT_EQ(RunCallDataOrderDlg(0), c.button);
    EXPECT_EQ(shown, c.stored <= 1 ? c.stored : -1);
    EXPECT_EQ(GlobalConfig().CINFSOSEQ, c.want);
  }
}

TEST_F(CallData, CallInformationShowsThePartnerTimesAndCost) {
  CCallInfo::SetOwnNumberSource([] { return std::string("11"); });
  GlobalConfig().PPCU = 0.12f;
  GlobalConfig().CAUN = "EUR";
  CCallInfo call;
  std::tm tm{};
  tm.tm_year = 2024 - 1900;
  tm.tm_mon = 2;
  tm.tm_mday = 5;
  tm.tm_hour = 9;
  tm.tm_min = 7;
  tm.tm_sec = 3;
  tm.tm_isdst = -1;
  call.beginTime = std::mktime(&tm);
  call.duration = 125;
  call.units = 10;
  struct Case {
    const char* calling;
    const char* called;
    const char* ext;
    const char* company;
    const char* number;
  } cases[] = {{"11", "0301234", "11", "Firma B", "0301234"}, {"0401111", "11", "11", "Firma A", "0401111"}};
  for (const Case& c : cases) {
    call.callingNumber = c.calling;
    call.callingCompany = "Firma A";
    call.calledNumber = c.called;
    call.calledCompany = "Firma B";
    std::map<int, std::string> got;
    DialogScript script;
    script.When(185).Do([&](plat::Dialog& d) {
      for (int id : {1276, 1278, 1280, 1258, 1259, 1284, 1261}) got[id] = d.GetItemText(id);
    });
    ShowCallInformation(call, 0);
    EXPECT_EQ(got[1276], c.ext);
    EXPECT_EQ(got[1278], c.company);
    EXPECT_EQ(got[1280], c.number);
    EXPECT_EQ(got[1258], "05. 03. 24");
    EXPECT_EQ(got[1259], "09:07:03");
    EXPECT_EQ(got[1284], "09:09:08");
    EXPECT_EQ(got[1261], "1.20 EUR");
  }
  CCallInfo::SetOwnNumberSource(nullptr);
}

// The command stream of a list of n lines, as the print library gets it.
std::vector<std::string> ExpectedStream(int n) {
  std::vector<std::string> s = {
      "create CallInfoList.log 4 2",
      "config 3",
      "seq 3 1 0 5 CallInfoList.log",
      "latex 3 \\documentstyle[10pt,german,dina4]{article}",
      "latex 3 \\rm",
      "latex 3 \\oddsidemargin{}",
      "latex 3 \\columnsep{4 mm}",
      "latex 3 \\textwidth{180 mm}",
      "latex 3 \\textheight{270 mm}",
      "seq 3 9 23 5 R0",
      "latex 3 \\rm{12pt}",
      "latex 3 \\bf",
      "seq 3 12 22 5 R0",
      "latex 3 \\rm",
      "latex 3 \\vspace{4mm}",
      "seq 3 12 22 5 R3",
      "seq 3 12 22 5 R4",
      "latex 3 \\vspace{4mm}",
      "seq 3 6 19 5 R2",
      "seq 3 8 21 5 R1",
      "seq 3 33 0 0",
  };
  for (int i = 1; i <= n; ++i) {
    s.push_back(plat::StrFormatC("seq 3 32 22 5 line %d\t\t\t\t\t", i));
    if (i % 5 == 0) s.push_back("seq 3 33 0 0");
  }
  for (const char* tail : {"seq 3 33 0 0", "seq 3 33 0 0", "seq 3 7 0 0", "seq 3 2 0 0", "release 3"})
    s.push_back(tail);
  return s;
}

TEST_F(CallData, ReportStreamForZeroFiveAndTenLines) {
  for (int n : {0, 5, 10}) {
    std::vector<std::string> lines;
    for (int i = 1; i <= n; ++i) lines.push_back(plat::StrFormatC("line %d", i));
    if (n) lines.insert(lines.begin() + 2, "");  // a blank line hides nothing
    list->Write(lines);
    printer.calls.clear();
    EXPECT_TRUE(PrintCallDataReport(*list, printer, 0));
    EXPECT_EQ(printer.calls, ExpectedStream(n)) << n;
  }
}

TEST_F(CallData, ACancelledDialogReleasesTheJobAndNoJobPrintsNothing) {
  list->Write({"line 1"});
  printer.confirm = false;
  EXPECT_FALSE(PrintCallDataReport(*list, printer, 0));
  EXPECT_EQ(printer.calls, (std::vector<std::string>{"create CallInfoList.log 4 2", "config 3", "release 3"}));
  printer.calls.clear();
  printer.job = MARPL_NO_JOB;
  EXPECT_FALSE(PrintCallDataReport(*list, printer, 0));
  EXPECT_EQ(printer.calls, (std::vector<std::string>{"create CallInfoList.log 4 2"}));
  const auto log = callwintest::LogLines();
  ASSERT_FALSE(log.empty());
  EXPECT_NE(log.back().find("Liste drucken"), std::string::npos);
}

TEST_F(CallData, ElevenCancelsThroughThePrintLibraryThenTheTwelfthPrints) {
  list->Write({"line 1", "line 2"});
  plat::ScriptedPrintDialog dialog;
  plat::SetPrintDialogImpl(&dialog);
  for (int i = 0; i < 11; ++i) dialog.QueueCancel();
  const std::string pdf = dir_.filePath("report.pdf").toStdString();
  dialog.QueuePdf(pdf);
  CMarpelReportPrinter library;
  for (int i = 0; i < 11; ++i) EXPECT_FALSE(PrintCallDataReport(*list, library, 0)) << i;
  EXPECT_TRUE(PrintCallDataReport(*list, library, 0));
  plat::SetPrintDialogImpl(nullptr);
  ASSERT_EQ(dialog.asked.size(), 12u);
  EXPECT_EQ(dialog.asked.back().documentName, "CallInfoList.log");
  EXPECT_GT(QFileInfo(QString::fromStdString(pdf)).size(), 0);
  // Every job went back: all ten can be taken again.
  std::vector<std::uint16_t> jobs;
  for (int i = 0; i < MARPL_JOBS; ++i) jobs.push_back(MARPLAPICreatePrintFile("x.log", MARPL_FILE_PRINTER, 2));
  for (std::uint16_t j : jobs) {
    EXPECT_NE(j, MARPL_NO_JOB);
    MARPLAPIReleasePrintJob(j);
  }
}

}  // namespace
