// Records of the phone book file printed through the print library into a
// PDF and read back with pdftotext -bbox: the labels at x = 50 device units,
// the values at the first tab stop, the note's continuation lines there
// too, every record once and the next page again from y = 50.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

#include "phonebook/dialogs/printrecords.h"
#include "platform/printdlg.h"
#include "tests/phonebook/dialogs/pbtest_support.h"

using namespace pb;
namespace fs = std::filesystem;

namespace {

constexpr double kDpi = 600;  // the PDF printer's
double Pt(double deviceUnits) { return deviceUnits * 72.0 / kDpi; }

struct Word {
  int page;
  double x, y;
  std::string text;
};

std::vector<Word> Words(const std::string& pdf) {
  std::string out;
  if (FILE* p = popen(("pdftotext -bbox '" + pdf + "' - 2>/dev/null").c_str(), "r")) {
    char buf[4096];
    for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    pclose(p);
  }
  static const std::regex word(R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="[\d.]+" yMax="[\d.]+">([^<]*)</word>)re");
  std::vector<Word> words;
  int page = 0;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    if (line.find("<page ") != std::string::npos) ++page;
    std::smatch m;
    if (std::regex_search(line, m, word)) words.push_back({page, std::stod(m[1]), std::stod(m[2]), m[3]});
  }
  return words;
}

class PrintToPdf : public pbtest::PbTest {
 protected:
  void SetUp() override {
    PbTest::SetUp();
    if (std::system("pdftotext -v >/dev/null 2>&1") != 0) GTEST_SKIP() << "pdftotext is not installed";
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

TEST_P(PrintToPdf, AllRecordsAtTheMarginAndTheFirstTabStopOverPages) {
  constexpr int kRecords = 40;
  for (int i = 0; i < kRecords; ++i) store.Add("Firma" + std::to_string(i), "Name", "0711" + std::to_string(i), i != 7);
  const std::vector<Word> words = PrintAndRead(nullptr, kRecords - 1);
  ASSERT_FALSE(words.empty());
  std::map<std::string, int> companies;
  int labels = 0;
  for (const Word& w : words) {
    if (w.text.rfind("T11.", 0) == 0) {
      ++labels;
      EXPECT_NEAR(w.x, Pt(50), 0.6) << w.text << " page " << w.page;
    }
    if (w.text.rfind("Firma", 0) == 0) {
      ++companies[w.text];
      EXPECT_NEAR(w.x, Pt(50 + 525), 0.6) << w.text;
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
          pitch = words[i].y - words[k].y;
          break;
        }
    }
  ASSERT_GT(pitch, 5.0);
  ASSERT_GE(words.back().page, 2);
  for (int page = 1; page <= words.back().page; ++page) {
    double top = 1e9;
    for (const Word& w : words)
      if (w.page == page) top = std::min(top, w.y);
    const double lines = (top - Pt(50)) / pitch;
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
    if (w.text == "eins" || w.text == "zwei" || w.text == "drei") note.emplace_back(w.text, w.x);
    if (w.text == "T11.61") labelX = w.x;
  }
  EXPECT_NEAR(labelX, Pt(50), 0.6);
  ASSERT_EQ(note.size(), 3u);
  for (const auto& [text, x] : note) EXPECT_NEAR(x, Pt(50 + 525), 0.6) << text;
}

INSTANTIATE_TEST_SUITE_P(Stores, PrintToPdf, ::testing::Values(pbtest::Backing::kFile), pbtest::BackingName);
