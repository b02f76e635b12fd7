// Records of the phone book file printed through the print library into a
// PDF and read back with pdftotext -bbox: the labels at the 15 mm margin,
// the values at the first tab stop, the note's continuation lines there
// too, every record once, each page again from 15 mm down and no line in
// the last 15 mm; each print button writes a PDF of its own, and a report
// printed before leaves nothing on the phone book's pages.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "phonebook/dialogs/databasedlg.h"
#include "phonebook/dialogs/printrecords.h"
#include "platform/printdlg.h"
#include "print/marpel32.h"
#include "tests/phonebook/dialogs/pbtest_support.h"
#include "tests/support/pdfwords.h"

using namespace pb;
namespace fs = std::filesystem;

namespace {

constexpr double kDpi = 600;  // the PDF printer's
double Pt(double deviceUnits) { return deviceUnits * 72.0 / kDpi; }
constexpr double kMm = testsupport::kPointsPerMm;
constexpr double kMargin = 15 * kMm, kPaperHeight = 297 * kMm;

using Word = testsupport::PdfWord;
std::vector<Word> Words(const std::string& pdf) { return testsupport::PdfWords(pdf); }

class PrintToPdf : public pbtest::PbTest {
 protected:
  void SetUp() override {
    PbTest::SetUp();
    if (!testsupport::HavePoppler()) GTEST_SKIP() << "pdftotext is not installed";
    plat::SetPrintDialogImpl(&dialog);
  }
  void TearDown() override {
    plat::SetPrintDialogImpl(nullptr);
    PbTest::TearDown();
  }
  std::vector<Word> PrintAndRead(const PbRecord* one, int expected) {
    const std::string pdf = store.Folder() / "records.pdf";
    dialog.QueuePdf(pdf);
    EXPECT_EQ(PrintRecords(0, store, nullptr, one), expected);
    EXPECT_TRUE(fs::exists(pdf));
    return Words(pdf);
  }
  plat::ScriptedPrintDialog dialog;
};

}  // namespace

TEST_P(PrintToPdf, AllRecordsWithinTheMarginsAndAtTheFirstTabStopOverPages) {
  constexpr int kRecords = 40;
  for (int i = 0; i < kRecords; ++i) store.Add("Firma" + std::to_string(i), "Name", "0711" + std::to_string(i), i != 7);
  const std::vector<Word> words = PrintAndRead(nullptr, kRecords - 1);
  ASSERT_FALSE(words.empty());
  std::map<std::string, int> companies;
  int labels = 0;
  for (const Word& w : words) {
    if (w.text.rfind("T11.", 0) == 0) {
      ++labels;
      EXPECT_NEAR(w.xMin, kMargin, 0.6) << w.text << " page " << w.page;
    }
    if (w.text.rfind("Firma", 0) == 0) {
      ++companies[w.text];
      EXPECT_NEAR(w.xMin, kMargin + Pt(525), 0.6) << w.text;
    }
  }
  EXPECT_EQ(labels, 5 * (kRecords - 1));
  EXPECT_EQ(companies.size(), static_cast<std::size_t>(kRecords - 1));  // the deleted one is not there
  EXPECT_EQ(companies.count("Firma7"), 0u);
  for (const auto& [name, n] : companies) EXPECT_EQ(n, 1) << name;
  // Every page starts again at the top margin: its first line there, or
  // one or two empty lines of a record's end before it.
  double pitch = 0;
  for (std::size_t i = 1; i < words.size() && pitch == 0; ++i)
    if (words[i].text == "T11.57" && words[i - 1].text != "T11.57") {
      for (std::size_t k = i; k-- > 0;)
        if (words[k].text == "T11.56") {
          pitch = words[i].yMin - words[k].yMin;
          break;
        }
    }
  ASSERT_GT(pitch, 5.0);
  ASSERT_GE(words.back().page, 2);
  for (const Word& w : words) EXPECT_LE(w.yMax, kPaperHeight - kMargin) << w.text << " page " << w.page;
  for (int page = 1; page <= words.back().page; ++page) {
    double top = 1e9;
    for (const Word& w : words)
      if (w.page == page) top = std::min(top, w.yMin);
    const double lines = (top - kMargin) / pitch;
    EXPECT_NEAR(lines, std::round(lines), 0.1) << "page " << page << " top " << top;
    EXPECT_LE(std::round(lines), page == 1 ? 0 : 2) << "page " << page << " top " << top;
  }
}

TEST_P(PrintToPdf, TheNotesLinesStandAtTheFirstTabStop) {
  PbRecord r;
  r.Set(kCompany, "Firma");
  r.Set(kNote, "eins\r\nzwei\r\ndrei");
  const std::vector<Word> words = PrintAndRead(&r, 1);
  std::vector<std::pair<std::string, double>> note;
  double labelX = -1;
  for (const Word& w : words) {
    if (w.text == "eins" || w.text == "zwei" || w.text == "drei") note.emplace_back(w.text, w.xMin);
    if (w.text == "T11.61") labelX = w.xMin;
  }
  EXPECT_NEAR(labelX, kMargin, 0.6);
  ASSERT_EQ(note.size(), 3u);
  for (const auto& [text, x] : note) EXPECT_NEAR(x, kMargin + Pt(525), 0.6) << text;
}

// A report leaves its header and its bold font in the job slot it used.
TEST_P(PrintToPdf, AReportPrintedBeforeLeavesNothingOnThePage) {
  for (int i = 0; i < 3; ++i) store.Add("Firma" + std::to_string(i), "Name", "0711" + std::to_string(i));
  const std::vector<Word> alone = PrintAndRead(nullptr, 3);
  ASSERT_FALSE(alone.empty());
  const fs::path report = store.Folder() / "report.pdf";
  dialog.QueuePdf(report.string());
  const std::uint16_t job = MARPLAPICreatePrintFile("Report.log", MARPL_FILE_PRINTER, MARPL_KEEP_FILE);
  ASSERT_EQ(job, 0);
  ASSERT_EQ(MARPLAPIConfigPrintJobEx(job, 0), 1);
  MARPLAPISetSequence(job, MARPL_CMD_START_DOC, 0, MARPL_KIND_TEXT, "Report.log");
  MARPLAPISetLaTeXCommand(job, "\\documentstyle[10pt,german,dina4]{article}");
  MARPLAPISetPageHeader(job, "Berichtskopf");
  MARPLAPISetLaTeXCommand(job, "\\rm{14pt}");
  MARPLAPISetLaTeXCommand(job, "\\bf");
  MARPLAPITabbedText(job, "Summe");
  MARPLAPISetSequence(job, MARPL_CMD_END_DOC, 0, MARPL_KIND_NONE, nullptr);
  MARPLAPIReleasePrintJob(job);
  EXPECT_EQ(PrintAndRead(nullptr, 3), alone);
}

// Both buttons of the database window, into the folder of the environment.
TEST_P(PrintToPdf, EachPrintButtonWritesItsOwnPdf) {
  store.Add("Alpha", "Anna", "0711");
  store.Add("Beta", "Bert", "0712");
  const fs::path folder = store.Folder() / "pdf";
  fs::create_directories(folder);
  plat::SetPrintDialogImpl(nullptr);
  ::setenv(plat::kPrintToPdfEnv, folder.c_str(), 1);
  CDataBaseDlg dlg(&store);
  ASSERT_TRUE(dlg.Create(0));
  ASSERT_TRUE(dlg.UserPress(CDataBaseDlg::IDC_PRINT_ALL));
  loop.RunUntilIdle();
  ASSERT_TRUE(dlg.UserPress(CDataBaseDlg::IDC_PRINT_ONE));
  loop.RunUntilIdle();
  ::unsetenv(plat::kPrintToPdfEnv);
  const fs::path all = folder / "T11.67.pdf", one = folder / "T11.67 - Alpha Anna.pdf";
  ASSERT_TRUE(fs::exists(all));
  ASSERT_TRUE(fs::exists(one));
  auto texts = [](const fs::path& pdf) {
    std::multiset<std::string> t;
    for (const Word& w : Words(pdf.string())) t.insert(w.text);
    return t;
  };
  const auto inAll = texts(all), inOne = texts(one);
  EXPECT_EQ(inAll.count("Alpha"), 1u);
  EXPECT_EQ(inAll.count("Beta"), 1u);
  EXPECT_EQ(inAll.count("T11.61"), 0u);  // no note line in the list
  EXPECT_EQ(inOne.count("Alpha"), 1u);
  EXPECT_EQ(inOne.count("Beta"), 0u);
  EXPECT_EQ(inOne.count("T11.61"), 1u);
}

INSTANTIATE_TEST_SUITE_P(Stores, PrintToPdf, ::testing::Values(pbtest::Backing::kFile), pbtest::BackingName);
