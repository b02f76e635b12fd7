// The charge report (plain and as an invoice) and the total charges on
// paper: through the real print library into the PDF folder, read back
// with pdftotext: the heading, one line per row, and the totals.
#include <cstdlib>
#include <filesystem>
#include <string>

#include "charges/dialogs/chargereportdlg.h"
#include "charges/dialogs/totalchargesdlg.h"
#include "chargedlg_support.h"
#include "platform/dialogkit/dlgscript.h"
#include "platform/printdlg.h"

using plat::DialogScript;
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
    // One folder for the whole run: the platform keeps the folder's printer.
    folder = (std::filesystem::path(BRIMLOW_BINARY_DIR) / "test-output" / "print").string();
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
  CMarpelReportPrinter library;
  std::string folder;
};

TEST_F(OnPaper, ChargeReportPlainAndAsInvoice) {
  ReadOut(Sample(12));
  const std::vector<std::string> rows = HandlerLines(1, 0);
  ASSERT_EQ(rows.size(), 10u);
  for (bool invoice : {false, true}) {
    DialogScript script;
    script.When(190)
        .Do([&](plat::Dialog& d) {
          static_cast<R&>(d).SetReceiver("Firma Kunz\r\nHauptstr. 1\r\n");
          d.CheckButton(R::IDC_INVOICE, invoice ? 1 : 0);
        })
        .Press(R::IDC_PRINT)
        .Do([&](plat::Dialog&) { loop.RunUntilIdle(); });
    RunChargeReportDlg(handler.get(), table.get(), &library, 0);
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
  handler->ProcessChargeMessage(chargewire::DeviceReply(19, "3"));
  T dlg(handler.get(), &library);
  DialogScript script;
  script.When(188)
      .Do([&](plat::Dialog&) {
        handler->ProcessChargeMessage(chargewire::UnitsReply("10", 7, "21"));
        handler->ProcessChargeMessage(chargewire::UnitsReply("11", 3, "22"));
        handler->ProcessChargeMessage(chargewire::UnitsReply("12", 0, "23"));
        handler->ProcessChargeMessage(chargewire::UnitsReply("13", 0, ""));
      })
      .Press(T::IDC_PRINT)
      .Do([&](plat::Dialog&) { loop.RunUntilIdle(); });
  dlg.DoModal(0);
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
