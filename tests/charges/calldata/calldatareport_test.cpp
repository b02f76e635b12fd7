// The printed list of the own workstation's call data, from the real list:
// its lines and report texts in the command stream, and on paper (a PDF
// through the print library) the title and every call.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "charges/calldata/calldatareport.h"
#include "charges/calldata/selectedcallinfolist.h"
#include "core/base/globalconfig.h"
#include "core/calls/callinfo.h"
#include "platform/printdlg.h"
#include "platform/text.h"
#include "platform/textid.h"
#include "tests/app/dialogs/calldata_fakes.h"
#include "tests/platform/dialogkit/testapp.h"
#include "tests/support/filefaults.h"

namespace {

const char* ReportText(int group, int entry) {
  static thread_local char buf[48];
  if (group == 58 && entry == 1) return "Gespraechsdaten Arbeitsplatz";
  plat::FormatC(buf, sizeof buf, "T%i.%i", group, entry);
  return buf;
}

struct CallDataReport : ::testing::Test {
  CallDataReport() {
    testapp::App();
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    plat::SetTextSource(&ReportText);
    dir = std::filesystem::temp_directory_path() / ("brimlow_calldata_report_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
  }
  ~CallDataReport() override {
    plat::SetTextSource(nullptr);
    GlobalConfig() = saved;
    std::filesystem::remove_all(dir);
  }
  // n connected calls, one a minute from 09:00, each to its own number.
  void AddCalls(CSelectedCallInformationList& list, int n) {
    for (int i = 0; i < n; ++i) {
      CCallInfo c;
      c.direction = CCallInfo::kOutgoing;
      c.callingNumber = "21";
      c.calledNumber = "0301234" + std::to_string(100 + i);
      c.beginTime = 1765180800 + 60 * i;
      c.units = i;
      c.connectedMark = 1;
      ASSERT_EQ(list.AddCall(&c), 1);
    }
  }
  CGlobalConfig saved = GlobalConfig();
  std::filesystem::path dir;
};

}  // namespace

TEST_F(CallDataReport, TheStreamCarriesTheFileLinesWithARuleAfterEveryFifth) {
  for (int n : {0, 4, 5, 11}) {
    const std::string path = (dir / ("cinfo" + std::to_string(n))).string();
    CSelectedCallInformationList list(path);
    AddCalls(list, n);
    dialogtest::RecordingPrinter printer;
    ASSERT_TRUE(PrintCallDataReport(list, printer, 0)) << n;
    std::vector<std::string> rows;
    int rules = 0;
    bool afterHeader = false;
    for (const std::string& c : printer.calls) {
      if (c.rfind("seq 3 8 21 5 ", 0) == 0) afterHeader = true;
      if (!afterHeader) continue;
      if (c.rfind("seq 3 32 22 5 ", 0) == 0) rows.push_back(c.substr(14));
      if (c == "seq 3 33 0 0" && !rows.empty()) ++rules;
    }
    ASSERT_EQ(static_cast<int>(rows.size()), n);
    std::vector<std::string> lines;
    for (const std::string& l : ReadCallDataLines(list)) lines.push_back(CallDataReportRow(l));
    EXPECT_EQ(rows, lines) << n;
    // One rule after each fifth row, then the two that end the table.
    EXPECT_EQ(rules, n / 5 + (n ? 2 : 0)) << n;
    EXPECT_NE(std::find(printer.calls.begin(), printer.calls.end(), "seq 3 12 22 5 Gespraechsdaten Arbeitsplatz"),
              printer.calls.end());
  }
}

// The parts of a line under the report's headings: date, "von" the time,
// "bis" the first charge text, cost, caller, called.
TEST(CallDataReportRow, ThePartsStandUnderTheirHeadings) {
  struct Case {
    const char* line;
    const char* row;
  } cases[] = {
      {"15. 01. 24\t12:00:00\t 0.12 DM\t?\t?\t0301234100\t21", "15. 01. 24\t12:00:00\t?\t 0.12 DM\t21\t0301234100"},
      {"15. 01. 24\t12:00:00\t 0.12 DM\tA\tB\t0301234100", "15. 01. 24\t12:00:00\tA\t 0.12 DM\t\t0301234100"},
      {"nur\tzwei", "nur\tzwei\t\t\t\t"},
      {"", "\t\t\t\t\t"},
      {"1\t2\t3\t4\t5\t6\t7\t8", "1\t2\t4\t3\t7\t6"},
  };
  for (const Case& c : cases) EXPECT_EQ(CallDataReportRow(c.line), c.row) << c.line;
}

TEST_F(CallDataReport, OnPaperTheTitleAndEveryCallShow) {
  if (std::system("command -v pdftotext > /dev/null 2>&1") != 0) GTEST_SKIP() << "no pdftotext";
  const std::string path = (dir / "cinfo").string();
  CSelectedCallInformationList list(path);
  AddCalls(list, 7);
  plat::ScriptedPrintDialog dialog;
  plat::SetPrintDialogImpl(&dialog);
  const std::string pdf = (dir / "report.pdf").string();
  dialog.QueuePdf(pdf);
  CMarpelReportPrinter library;
  EXPECT_TRUE(PrintCallDataReport(list, library, 0));
  plat::SetPrintDialogImpl(nullptr);
  const std::string txt = (dir / "report.txt").string();
  ASSERT_EQ(std::system(("pdftotext -layout " + pdf + " " + txt).c_str()), 0);
  std::string text = testsupport::FileBytes(txt);
  EXPECT_NE(text.find("Gespraechsdaten Arbeitsplatz"), std::string::npos) << text;
  for (int i = 0; i < 7; ++i)
    EXPECT_NE(text.find("0301234" + std::to_string(100 + i)), std::string::npos) << i << "\n" << text;
}
