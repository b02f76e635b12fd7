// The charge report (plain and as an invoice) and the total charges on
// paper: through the real print library into the PDF folder, read back
// with pdftotext: the heading, one line per row, and the totals.
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "core/service/servicerecordfile.h"
#include "charges/calldata/selectedcallinfolist.h"
#include "charges/dialogs/callevaluationdlg.h"
#include "charges/dialogs/chargereportdlg.h"
#include "charges/dialogs/totalchargesdlg.h"
#include "chargedlg_support.h"
#include "core/calls/callinfo.h"
#include "libs/texts/texts_source.h"
#include "platform/dialogkit/dlgscript.h"
#include "platform/printdlg.h"
#include "tests/support/pdfwords.h"

using plat::DialogScript;
using E = CCallEvaluationDlg;
using R = CChargeReportDlg;
using T = CTotalChargesDlg;

namespace {

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
  return n;
}

// Tabs become column gaps on paper: compare word by word.
bool HasWords(const std::string& text, const std::string& tabbed) {
  std::size_t at = 0;
  std::string word;
  for (std::size_t i = 0; i <= tabbed.size(); ++i) {
    const char c = i < tabbed.size() ? tabbed[i] : ' ';
    if (c != ' ' && c != '\t') {
      word += c;
      continue;
    }
    if (word.empty()) continue;
    at = text.find(word, at);
    if (at == std::string::npos) return false;
    at += word.size();
    word.clear();
  }
  return true;
}

class OnPaper : public chargedlgtest::ChargeDlgTest {
 protected:
  void SetUp() override {
    if (std::system("command -v pdftotext > /dev/null 2>&1") != 0) GTEST_SKIP() << "no pdftotext";
    ChargeDlgTest::SetUp();
    // One folder for the whole run, as the platform keeps the folder's
    // printer; one a suite, as the suites print the same documents and may
    // run side by side.
    folder = (std::filesystem::path(BRIMLOW_BINARY_DIR) / "test-output" / "print" /
              ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name())
                 .string();
    std::filesystem::create_directories(folder);
    ::setenv(plat::kPrintToPdfEnv, folder.c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv(plat::kPrintToPdfEnv);
    ChargeDlgTest::TearDown();
  }
  // The document's text. The PDF is kept under a name of its own, to be
  // looked at; so the next print of the document is a new file.
  std::string Paper(const std::string& document, const std::string& keepAs) {
    const std::string pdf = plat::PdfPathFor(folder, document);
    const std::string kept = folder + "/" + keepAs + ".pdf";
    const std::string txt = folder + "/" + keepAs + ".txt";
    EXPECT_TRUE(std::filesystem::exists(pdf)) << pdf;
    std::filesystem::rename(pdf, kept);
    EXPECT_EQ(std::system(("pdftotext -layout '" + kept + "' '" + txt + "'").c_str()), 0);
    return chargedlgtest::ReadBytes(txt);
  }
  // Lines of the text that begin with the first field of one of the rows.
  static int RowLines(const std::string& text, const std::vector<std::string>& rows) {
    int n = 0;
    std::size_t at = 0;
    while (at < text.size()) {
      std::size_t end = text.find('\n', at);
      if (end == std::string::npos) end = text.size();
      const std::string line = text.substr(at, end - at);
      for (const std::string& r : rows)
        if (line.rfind(r.substr(0, r.find('\t')) + " ", 0) == 0) {
          ++n;
          break;
        }
      at = end + 1;
    }
    return n;
  }
  // The charge report through dialog 190, plain or as an invoice.
  void PrintChargeReport(bool invoice) {
    DialogScript script;
    chargedlgtest::PrintReportWhenOpen(script, invoice, loop);
    RunChargeReportDlg(handler.get(), table.get(), &library, 0);
  }
  // The sums of 21, 22 and 23 (and of a device without a number) through
  // dialog 188.
  void PrintTotalCharges(bool withoutNumber) {
    handler->ProcessChargeMessage(chargewire::DeviceReply(19, "3"));
    T dlg(handler.get(), &library);
    DialogScript script;
    script.When(188)
        .Do([&](plat::Dialog&) {
          handler->ProcessChargeMessage(chargewire::UnitsReply("10", 7, "21"));
          handler->ProcessChargeMessage(chargewire::UnitsReply("11", 3, "22"));
          handler->ProcessChargeMessage(chargewire::UnitsReply("12", 0, "23"));
          if (withoutNumber) handler->ProcessChargeMessage(chargewire::UnitsReply("13", 0, ""));
        })
        .Press(T::IDC_PRINT)
        .Do([&](plat::Dialog&) { loop.RunUntilIdle(); });
    dlg.DoModal(0);
  }
  CMarpelReportPrinter library;
  std::string folder;
};

TEST_F(OnPaper, ChargeReportPlainAndAsInvoice) {
  ReadOut(Sample(12));
  const std::vector<std::string> rows = HandlerLines(1, 0);
  ASSERT_EQ(rows.size(), 10u);
  for (bool invoice : {false, true}) {
    PrintChargeReport(invoice);
    const std::string text = Paper(R::kDocument, invoice ? "charge-report-invoice" : "charge-report");
    EXPECT_TRUE(HasWords(text, "T37.39")) << text;
    EXPECT_TRUE(HasWords(text, handler->GetSummaryText(2, 2))) << text;
    EXPECT_TRUE(HasWords(text, "T37.24 T37.23 T37.22 T37.21 T37.20 T37.19")) << text;
    EXPECT_EQ(Count(text, "0301111"), 10) << text;
    EXPECT_EQ(RowLines(text, rows), 10) << text;
    for (const std::string& r : rows) EXPECT_TRUE(HasWords(text, r)) << r << "\n" << text;
    EXPECT_TRUE(HasWords(text, handler->GetSummaryText(6, 2))) << text;
    EXPECT_EQ(Count(text, "Firma Kunz"), invoice ? 1 : 0) << text;
    EXPECT_EQ(Count(text, "Hauptstr. 1"), invoice ? 1 : 0) << text;
  }
}

TEST_F(OnPaper, TotalCharges) {
  PrintTotalCharges(true);
  const std::vector<std::string> rows = HandlerLines(0, 0);
  ASSERT_EQ(rows.size(), 3u);
  const std::string text = Paper(T::kDocument, "total-charges");
  EXPECT_GE(Count(text, "T38.14"), 1) << text;
  EXPECT_TRUE(HasWords(text, "T38.10 T38.11 T38.12 T38.13")) << text;
  for (const std::string& r : rows) EXPECT_TRUE(HasWords(text, r)) << r << "\n" << text;
  EXPECT_EQ(RowLines(text, rows), 3) << text;
  EXPECT_TRUE(HasWords(text, "T38.9 " + handler->GetSummaryText(6, 3))) << text;
}

}  // namespace

// ---------------------------------------------------------------------------
// The program's four reports in German, as a user prints them, read back
// with pdftotext -bbox: the page 15 mm from the left and the top edge of
// the sheet, headings that do not run into each other and times with all
// their seconds, all within the 180 mm of text. Pages 1 go to
// test-output/print/GermanPages/ as pictures.

namespace {

using testsupport::PdfLine;
using testsupport::PdfWord;
constexpr double kMm = testsupport::kPointsPerMm;

class GermanPages : public OnPaper {
 protected:
  void SetUp() override {
    OnPaper::SetUp();
    if (IsSkipped()) return;
    const std::string lng = std::string(BRIMLOW_BINARY_DIR) + "/bin/velt_ger.lng";
    ASSERT_EQ(VESKOAPIOpenSession(lng.c_str(), 0, &session), 0) << lng;
    texolan::InstallTextSource(session);
  }
  void TearDown() override {
    texolan::InstallTextSource(VESKO_NO_SESSION);
    if (session != VESKO_NO_SESSION) VESKOAPICloseSession(session);
    OnPaper::TearDown();
  }
  // The document's PDF, kept as keepAs.pdf with a picture of its first page.
  std::vector<PdfLine> Pages(const std::string& document, const std::string& keepAs) {
    const std::string pdf = plat::PdfPathFor(folder, document);
    const std::string kept = folder + "/" + keepAs + ".pdf";
    EXPECT_TRUE(std::filesystem::exists(pdf)) << pdf;
    std::filesystem::rename(pdf, kept);
    const std::string png = folder + "/" + keepAs;
    EXPECT_EQ(std::system(("pdftoppm -r 75 -png -f 1 -l 1 '" + kept + "' '" + png + "'").c_str()), 0);
    return testsupport::PdfLines(testsupport::PdfWords(kept));
  }
  VESKOSESSION session = VESKO_NO_SESSION;
};

struct PageCheck {
  std::string header;                 // the page header's first word
  std::vector<std::string> headings;  // the table's headings
  int times;                          // words that are times (hh:mm:ss) in the rows
};

// The whole sheet of one report.
void CheckPages(const std::vector<PdfLine>& lines, const PageCheck& c, const std::string& what) {
  SCOPED_TRACE(what);
  ASSERT_FALSE(lines.empty());
  int page = 0;
  for (const PdfLine& l : lines) {
    for (const PdfWord& w : l.words) {
      EXPECT_GE(w.xMin, 15 * kMm - 1) << w.text << " page " << w.page;
      EXPECT_LE(w.xMax, 195 * kMm + 1) << w.text << " page " << w.page;
      EXPECT_GE(w.yMin, 15 * kMm - 1) << w.text << " page " << w.page;
      EXPECT_LE(w.yMax, 285 * kMm + 0.5) << w.text << " page " << w.page;
    }
    if (l.page == page) continue;
    // The first line of a page is its header, 15 mm in and 15 mm down.
    page = l.page;
    EXPECT_EQ(l.words.front().text, c.header) << "page " << page;
    EXPECT_NEAR(l.words.front().xMin, 15 * kMm, 1) << "page " << page;
    EXPECT_NEAR(l.y, 15 * kMm, 1) << "page " << page;
  }
  const PdfLine* head = nullptr;
  for (const PdfLine& l : lines) {
    std::vector<std::string> texts;
    for (const PdfWord& w : l.words) texts.push_back(w.text);
    if (texts == c.headings) {
      head = &l;
      break;
    }
  }
  ASSERT_NE(head, nullptr) << "no line of the headings, each a word of its own";
  for (std::size_t i = 1; i < head->words.size(); ++i)
    EXPECT_LT(head->words[i - 1].xMax, head->words[i].xMin)
        << head->words[i - 1].text << " runs into " << head->words[i].text;
  static const std::regex time(R"(\d{1,2}:\d{2}:\d{2})");
  int times = 0;
  for (const PdfLine& l : lines) {
    if (l.page < head->page || (l.page == head->page && l.y <= head->y)) continue;
    for (std::size_t i = 0; i < l.words.size(); ++i) {
      const PdfWord& w = l.words[i];
      if (w.text.size() < 5 || w.text.find(':') == std::string::npos || !std::isdigit(static_cast<unsigned char>(w.text[0])))
        continue;
      ++times;
      EXPECT_TRUE(std::regex_match(w.text, time)) << w.text << " in " << l.Text();
      if (i + 1 < l.words.size()) EXPECT_LT(w.xMax, l.words[i + 1].xMin) << w.text << " in " << l.Text();
    }
  }
  EXPECT_EQ(times, c.times);
}

}  // namespace

TEST_F(GermanPages, ChargeReportPlainAndAsInvoice) {
  ReadOut(Sample(12));
  const std::size_t rows = HandlerLines(1, 0).size();
  ASSERT_EQ(rows, 10u);
  for (bool invoice : {false, true}) {
    PrintChargeReport(invoice);
    const std::string name = invoice ? "german-charge-invoice" : "german-charge-report";
    // Time and duration of each call.
    CheckPages(Pages(R::kDocument, name), {"Gesprächsnachweis", {"Datum", "Zeit", "Dauer", "Anrufer", "Gerufener", "Preis"}, 20},
               name);
  }
}

TEST_F(GermanPages, TotalCharges) {
  PrintTotalCharges(false);
  CheckPages(Pages(T::kDocument, "german-total-charges"),
             {"Gesamtgebühren", {"Nebenstelle", "Einheiten", "Gebühr", "Name"}, 0}, "total charges");
}

TEST_F(GermanPages, CallEvaluationOfBothSources) {
  ReadOut(Sample(12));
  CServiceRecordFile records;
  const std::string service = dir_.filePath("service.xxx").toStdString();
  {
    std::ofstream out(service, std::ios::binary);
    for (int i = 1; i <= 6; ++i) out << i << "\t15.01.24\t12:0" << i << ":05\t00:00:3" << i << "\t21\t0301111\t" << i << "\r\n";
  }
  records.SetFileName(service);
  struct Case {
    int source;
    const char* keepAs;
    PageCheck check;
  } cases[] = {
      {E::kChargeFile, "german-evaluation-charges",
       {"Gesprächsnachweis", {"Datum", "Zeit", "Dauer", "Anrufer", "Gerufener", "Preis"}, 24}},
      {E::kServiceFile, "german-evaluation-pbx",
       {"Einträge", {"Index", "Datum", "Zeit", "Dauer", "Anrufer", "Gerufener", "Einheiten"}, 12}},
  };
  for (const Case& c : cases) {
    DialogScript script;
    script.When(201).Press(E::IDC_PRINT).Do([&](plat::Dialog&) { loop.RunUntilIdle(); }).Press(1);
    E dlg(c.source, handler.get(), &records, table.get(), &library);
    dlg.DoModal(0);
    CheckPages(Pages(E::kDocument, c.keepAs), c.check, c.keepAs);
  }
}

TEST_F(GermanPages, CallDataOfTheWorkstation) {
  CSelectedCallInformationList list(dir_.filePath("cinfo.log").toStdString());
  for (int i = 0; i < 7; ++i) {
    CCallInfo c;
    c.direction = CCallInfo::kOutgoing;
    c.callingNumber = "21";
    c.calledNumber = "0301234" + std::to_string(100 + i);
    c.beginTime = jan + 61 * i;
    c.units = i;
    c.connectedMark = 1;
    ASSERT_EQ(list.AddCall(&c), 1);
  }
  ASSERT_TRUE(PrintCallDataReport(list, library, 0));
  CheckPages(Pages("CallInfoList.log", "german-call-data"),
             {"Gesprächsdaten", {"Datum", "von", "bis", "Kosten", "Anrufer", "Gerufener"}, 7}, "call data");
}
