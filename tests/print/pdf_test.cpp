// The program's reports through the library's exports into PDF files, read
// back with pdftotext -bbox: positions, columns, pitch, limits and pages.
// Pages 1 and 2 of each report go to test-output/print/ as PNG pictures.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QFont>
#include <QFontInfo>
#include <QPrinter>
#include <QPrinterInfo>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "platform/printdlg.h"
#include "platform/text.h"
#include "print/marpel32.h"
#include "reports.h"
#include "tests/platform/dialogkit/testapp.h"
#include "tests/support/pdfwords.h"
#include "tests/support/testsupport.h"

using namespace printtest;
namespace fs = std::filesystem;

namespace {

constexpr double kPt = testsupport::kPointsPerMm;

using Word = testsupport::PdfWord;
using Line = testsupport::PdfLine;
using testsupport::HavePoppler;

std::vector<Word> Words(const fs::path& pdf) { return testsupport::PdfWords(pdf.string()); }
std::vector<Line> Lines(const std::vector<Word>& words) { return testsupport::PdfLines(words); }

std::string SpaceJoined(const std::vector<std::string>& cells) {
  std::string s;
  for (const std::string& c : cells) s += (s.empty() ? "" : " ") + c;
  return s;
}

int WordCount(const std::string& s) {
  std::istringstream in(s);
  int n = 0;
  for (std::string w; in >> w;) ++n;
  return n;
}

fs::path OutputDir() {
  fs::path d = fs::path(BRIMLOW_BINARY_DIR) / "test-output" / "print";
  fs::create_directories(d);
  return d;
}

// Prints a report through the exports into out.
void Print(const Report& r, const fs::path& out) {
  plat::ScriptedPrintDialog dialog;
  plat::SetPrintDialogImpl(&dialog);
  dialog.QueuePdf(out.string());
  const std::uint16_t job = MARPLAPICreatePrintFile(r.name.c_str(), MARPL_FILE_PRINTER, MARPL_KEEP_FILE);
  ASSERT_NE(job, MARPL_NO_JOB);
  ASSERT_EQ(MARPLAPIConfigPrintJobEx(job, 0), 1);
  for (const Command& c : r.stream) {
    const std::string text = plat::Utf8ToCp1252(c.text);
    MARPLAPISetSequence(job, c.cmd, c.sub, c.kind, c.kind ? text.c_str() : nullptr);
  }
  EXPECT_EQ(MARPLAPIReleasePrintJob(job), 1);
  plat::SetPrintDialogImpl(nullptr);
  ASSERT_EQ(dialog.asked.size(), 1u);
  EXPECT_EQ(dialog.asked[0].documentName, r.name);
}

struct Param {
  Kind kind;
  int rows;
};

class Reports : public ::testing::TestWithParam<Param> {
 protected:
  void SetUp() override { testapp::App(); }
};

}  // namespace

TEST_P(Reports, LayOutAsTheProgramExpects) {
  if (!HavePoppler()) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
  const Param p = GetParam();
  const Report r = MakeReport(p.kind, p.rows);
  const std::string base = std::string(KindName(p.kind)) + "-" + std::to_string(p.rows);
  const fs::path pdf = OutputDir() / (base + ".pdf");
  fs::remove(pdf);
  Print(r, pdf);
  ASSERT_TRUE(fs::exists(pdf));
  const std::vector<Word> words = Words(pdf);
  ASSERT_FALSE(words.empty());
  const std::vector<Line> lines = Lines(words);
  const int pages = lines.back().page;
  if (p.rows > 60) {
    EXPECT_GE(pages, 2);
  }

  // Every page: the header 15 mm from the left and the top, its number
  // ending at 195 mm, and no word below 15 + 270 mm.
  std::map<int, const Line*> headerOf;
  for (const Line& l : lines)
    if (!headerOf.count(l.page)) headerOf[l.page] = &l;
  for (int pg = 1; pg <= pages; ++pg) {
    const Line& head = *headerOf[pg];
    EXPECT_EQ(head.Text(), r.header + " " + std::to_string(pg)) << "page " << pg;
    EXPECT_NEAR(head.words.front().xMin, 15 * kPt, 1.0) << "page " << pg;
    EXPECT_NEAR(head.y, 15 * kPt, 1.0) << "page " << pg;
    EXPECT_NEAR(head.words.back().xMax, 195 * kPt, 1.0) << "page " << pg;
  }
  for (const Word& w : words) {
    EXPECT_LE(w.yMax, 285 * kPt + 0.5) << w.text << " on page " << w.page;
    EXPECT_GE(w.xMin, 15 * kPt - 1.0) << w.text << " on page " << w.page;
  }

  // The table's headings: each a word of its own, none reaching the next.
  for (const Line& l : lines) {
    if (l.Text() != SpaceJoined(r.head)) continue;
    for (std::size_t i = 1; i < l.words.size(); ++i)
      EXPECT_LT(l.words[i - 1].xMax, l.words[i].xMin) << l.words[i - 1].text << " / " << l.words[i].text;
  }

  // The title: below the header's rule, at the left margin.
  const Line* title = nullptr;
  for (const Line& l : lines) {
    if (l.page == 1 && l.Text() == r.title) title = &l;
  }
  ASSERT_NE(title, nullptr) << r.title;
  EXPECT_NEAR(title->words.front().xMin, 15 * kPt, 1.0);
  for (const Line& l : lines) {
    if (l.page == 1 && &l != headerOf[1]) {
      EXPECT_GT(l.y, headerOf[1]->yMax) << l.Text();
    }
  }

  // The rows: found by their text, their cells aligned in their columns.
  std::vector<const Line*> rowLines;
  for (const auto& row : r.rows) {
    const std::string want = SpaceJoined(row);
    auto it = std::find_if(lines.begin(), lines.end(), [&](const Line& l) { return l.Text() == want; });
    ASSERT_NE(it, lines.end()) << want;
    rowLines.push_back(&*it);
  }
  std::vector<char> align;
  {
    std::istringstream f(r.format);
    for (std::string kind; std::getline(f, kind, ',');) align.push_back(kind[0]);
  }
  // Every time of day and duration whole, its seconds clear of the next cell.
  static const std::regex time(R"(\d{1,2}:\d{2}:\d{2})");
  for (const Line* l : rowLines)
    for (std::size_t i = 0; i < l->words.size(); ++i) {
      const Word& w = l->words[i];
      if (w.text.find(':') == std::string::npos) continue;
      EXPECT_TRUE(std::regex_match(w.text, time)) << w.text;
      if (i + 1 < l->words.size()) EXPECT_LT(w.xMax, l->words[i + 1].xMin) << w.text;
    }
  std::vector<std::set<long>> edges(align.size());
  for (std::size_t i = 0; i < r.rows.size(); ++i) {
    std::size_t w = 0;
    for (std::size_t c = 0; c < r.rows[i].size(); ++c) {
      const int n = WordCount(r.rows[i][c]);
      const Word& first = rowLines[i]->words[w];
      const Word& last = rowLines[i]->words[w + n - 1];
      edges[c].insert(std::lround((align[c] == 'r' ? last.xMax : first.xMin) * 10));
      w += n;
    }
  }
  for (std::size_t c = 0; c < edges.size(); ++c) {
    ASSERT_FALSE(edges[c].empty());
    EXPECT_LE(*edges[c].rbegin() - *edges[c].begin(), 1) << "column " << c << " (" << align[c] << ")";
  }

  // Rows at one pitch; a rule between two rows adds to it.
  double pitch = 0;
  for (std::size_t i = 1; i < rowLines.size(); ++i) {
    if (rowLines[i]->page != rowLines[i - 1]->page) continue;
    const double d = rowLines[i]->y - rowLines[i - 1]->y;
    if (pitch == 0) pitch = d;
    EXPECT_GE(d, pitch - 0.05) << i;
    EXPECT_LE(d, pitch + 0.5) << i;
    EXPECT_LE(std::abs(d - pitch) < 0.05 || d > pitch + 0.2, true) << i;
  }
  EXPECT_GT(pitch, 0);

  // Page 2 starts with the page header and the table header.
  if (pages >= 2) {
    std::vector<const Line*> p2;
    for (const Line& l : lines)
      if (l.page == 2) p2.push_back(&l);
    ASSERT_GE(p2.size(), 3u);
    EXPECT_EQ(p2[0]->Text(), r.header + " 2");
    EXPECT_EQ(p2[1]->Text(), SpaceJoined(r.head));
    EXPECT_GT(p2[1]->y, p2[0]->yMax);
  }

  // A 14 pt title is taller than the 10 pt rows.
  if (r.bigTitle) {
    const Word& t = title->words.front();
    const Word& w = rowLines[0]->words.front();
    EXPECT_GT(t.yMax - t.yMin, (w.yMax - w.yMin) * 1.25);
  }

  // Pictures of pages 1 and 2, to be looked at.
  const fs::path png = OutputDir() / base;
  EXPECT_EQ(std::system(("pdftoppm -r 75 -png -f 1 -l 2 '" + pdf.string() + "' '" + png.string() + "'").c_str()), 0);
  EXPECT_TRUE(fs::exists(png.string() + "-1.png") || fs::exists(png.string() + "-01.png"));
}

INSTANTIATE_TEST_SUITE_P(
    Streams, Reports,
    ::testing::Values(Param{Kind::CallData, 25}, Param{Kind::CallData, 120}, Param{Kind::Evaluation0, 25},
                      Param{Kind::Evaluation0, 120}, Param{Kind::Evaluation1, 25}, Param{Kind::Evaluation1, 120},
                      Param{Kind::ChargeReport, 25}, Param{Kind::ChargeReport, 120},
                      Param{Kind::ChargeInvoice, 25}, Param{Kind::ChargeInvoice, 120},
                      Param{Kind::TotalCharges, 25}, Param{Kind::TotalCharges, 120}),
    [](const ::testing::TestParamInfo<Param>& i) {
      return std::string(KindName(i.param.kind)) + std::to_string(i.param.rows);
    });

TEST(Fonts, TheFacesResolveToDejaVu) {
  testapp::App();
  // The PDF checks measure DejaVu; a machine with other fonts lays out
  // differently.
  for (const char* family : {"serif", "sans-serif", "monospace"}) {
    QFont f(QString::fromLatin1(family));
    EXPECT_TRUE(QFontInfo(f).family().startsWith(QStringLiteral("DejaVu"))) << family;
  }
}

TEST(PdfFolder, TheEnvironmentSendsEveryDocumentToItsFile) {
  testapp::App();
  const fs::path dir = OutputDir() / "folder";
  fs::remove_all(dir);
  fs::create_directories(dir);
  plat::SetPrintDialogImpl(nullptr);
  ::setenv(plat::kPrintToPdfEnv, dir.c_str(), 1);
  const std::uint16_t job = MARPLAPICreatePrintFile("Report.log", 4, 2);
  ASSERT_EQ(MARPLAPIConfigPrintJobEx(job, 0), 1);
  MARPLAPISetSequence(job, 1, 0, 5, "Report.log");
  MARPLAPITabbedText(job, "Hallo");
  MARPLAPISetSequence(job, 2, 0, 0, nullptr);
  MARPLAPIReleasePrintJob(job);
  // The text file printer goes to the same folder.
  const fs::path txt = dir / "notiz.txt";
  std::ofstream(txt) << "erste\tZeile\n\nzweite Zeile\n";
  ASSERT_EQ(MARPLAPIConfigPrintJob(0), 1);
  EXPECT_EQ(MARPLAPIPrintFile(txt.c_str(), 0), 1);
  EXPECT_EQ(MARPLAPIPrintFile(txt.c_str(), 0), 0);  // the printer was used up
  ::unsetenv(plat::kPrintToPdfEnv);
  EXPECT_TRUE(fs::exists(dir / "Report.log.pdf"));
  EXPECT_TRUE(fs::exists(dir / "notiz.txt.pdf"));
  EXPECT_EQ(plat::PdfPathFor("/out/", plat::Utf8ToCp1252("c:\\reports\\Gebühr.log")), "/out/Gebühr.log.pdf");
  if (HavePoppler()) {
    EXPECT_NE(testsupport::ShellOutput("pdftotext '" + (dir / "notiz.txt.pdf").string() + "' -").find("zweite Zeile"), std::string::npos);
  }
  // Without the environment, the folder dialog names the documents it is
  // asked for.
  plat::PdfFolderPrintDialog folder(dir.string());
  plat::SetPrintDialogImpl(&folder);
  const std::uint16_t second = MARPLAPICreatePrintFile("Zweiter.log", 4, 2);
  ASSERT_EQ(MARPLAPIConfigPrintJobEx(second, 0), 1);
  MARPLAPISetSequence(second, 1, 0, 5, "Zweiter.log");
  MARPLAPISetSequence(second, 2, 0, 0, nullptr);
  MARPLAPIReleasePrintJob(second);
  plat::SetPrintDialogImpl(nullptr);
  EXPECT_TRUE(fs::exists(dir / "Zweiter.log.pdf"));
}

TEST(PrintDialog, ACancelledDialogLeavesTheJobWithoutPrinter) {
  testapp::App();
  plat::ScriptedPrintDialog dialog;
  plat::SetPrintDialogImpl(&dialog);
  dialog.QueueCancel();
  const std::uint16_t job = MARPLAPICreatePrintFile("Report.log", 4, 2);
  EXPECT_EQ(MARPLAPIConfigPrintJobEx(job, 42), 0);
  EXPECT_EQ(MARPLAPISetSequence(job, 1, 0, 5, "Report.log"), 0);
  EXPECT_EQ(MARPLAPIGetDeviceContextCaps(job, 8), 0);
  EXPECT_EQ(MARPLAPIConfigPrintJob(0), 0);  // no default printer either
  EXPECT_EQ(MARPLAPIPrintFile("/etc/hostname", 0), 0);
  MARPLAPIReleasePrintJob(job);
  plat::SetPrintDialogImpl(nullptr);
  ASSERT_EQ(dialog.asked.size(), 2u);
  EXPECT_EQ(dialog.asked[0].owner, 42u);
  EXPECT_TRUE(dialog.asked[0].dialog);
  EXPECT_FALSE(dialog.asked[1].dialog);
}

TEST(PrintDialog, ThePdfPrinterIsA4At600DpiWithoutMargins) {
  testapp::App();
  plat::ScriptedPrintDialog dialog;
  plat::SetPrintDialogImpl(&dialog);
  dialog.QueuePdf((OutputDir() / "caps.pdf").string());
  const std::uint16_t job = MARPLAPICreatePrintFile("caps", 4, 2);
  ASSERT_EQ(MARPLAPIConfigPrintJobEx(job, 0), 1);
  EXPECT_EQ(MARPLAPIGetDeviceContextCaps(job, 88), 600);
  EXPECT_EQ(MARPLAPIGetDeviceContextCaps(job, 90), 600);
  EXPECT_EQ(MARPLAPIGetDeviceContextCaps(job, 4), 210);
  EXPECT_EQ(MARPLAPIGetDeviceContextCaps(job, 6), 297);
  EXPECT_NEAR(MARPLAPIGetDeviceContextCaps(job, 8), 4961, 5);
  EXPECT_NEAR(MARPLAPIGetDeviceContextCaps(job, 10), 7016, 10);
  EXPECT_EQ(MARPLAPIGetDeviceContextCaps(job, 14), 1);
  EXPECT_NE(MARPLAPIGetDeviceContextCaps(job, 1280), 0);
  // 10 pt of the engine is 82 units, a 98-pixel font.
  MARPLAPISetLaTeXCommand(job, "\\rm");
  const std::uint16_t h = MARPLAPIGetDeviceContextDimension(job, 2, "Xg");
  EXPECT_GT(h, 98);
  EXPECT_LT(h, 130);
  const std::uint16_t w1 = MARPLAPIGetDeviceContextDimension(job, 1, "M");
  EXPECT_NEAR(MARPLAPIGetDeviceContextDimension(job, 1, "MMMM"), 4 * w1, 4);
  MARPLAPIReleasePrintJob(job);
  plat::SetPrintDialogImpl(nullptr);
}

TEST(Exports, ExactlyTheNamesOfTheMapAndEachOneBinds) {
  const fs::path lib = fs::path(BRIMLOW_BINARY_DIR) / "bin" / "libmarpel32.so";
  std::ifstream map(fs::path(BRIMLOW_SOURCE_DIR) / "print" / "marpel32.map");
  std::set<std::string> wanted;
  for (std::string line; std::getline(map, line);) {
    std::smatch m;
    if (std::regex_search(line, m, std::regex(R"((MARPLAPI\w+);)"))) wanted.insert(m[1]);
  }
  EXPECT_EQ(wanted.size(), 31u);
  std::set<std::string> defined;
  std::istringstream nm(testsupport::ShellOutput("nm -D --defined-only '" + lib.string() + "'"));
  for (std::string addr, type, name; nm >> addr >> type >> name;) defined.insert(name);
  EXPECT_EQ(defined, wanted);
  void* h = dlopen(lib.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(h, nullptr) << dlerror();
  for (const std::string& name : wanted) EXPECT_NE(dlsym(h, name.c_str()), nullptr) << name;
  // A bound function works through its pointer.
  using Create = std::uint16_t (*)(const char*, std::uint32_t, std::uint32_t);
  using Release = std::uint16_t (*)(std::uint16_t);
  auto create = reinterpret_cast<Create>(dlsym(h, "MARPLAPICreatePrintFile"));
  auto release = reinterpret_cast<Release>(dlsym(h, "MARPLAPIReleasePrintJob"));
  const std::uint16_t job = create("bound", 4, 2);
  EXPECT_NE(job, MARPL_NO_JOB);
  EXPECT_EQ(release(job), 1);
  dlclose(h);
}

TEST(Cups, OnePageOnTheFirstQueue) {
  const std::string queues = testsupport::ShellOutput("lpstat -p 2>/dev/null");
  std::smatch m;
  if (!std::regex_search(queues, m, std::regex(R"(printer (\S+))")))
    GTEST_SKIP() << "no printer queue (lpstat -p lists none)";
  testapp::App();
  const QPrinterInfo info = QPrinterInfo::printerInfo(QString::fromStdString(m[1]));
  ASSERT_FALSE(info.isNull()) << m[1];
  plat::ScriptedPrintDialog dialog;
  plat::SetPrintDialogImpl(&dialog);
  dialog.QueuePrinter(std::make_unique<QPrinter>(info, QPrinter::HighResolution));
  const std::uint16_t job = MARPLAPICreatePrintFile("Palomir Testseite", 4, 2);
  ASSERT_EQ(MARPLAPIConfigPrintJobEx(job, 0), 1);
  EXPECT_EQ(MARPLAPISetSequence(job, 1, 0, 5, "Palomir Testseite"), 1);
  MARPLAPISetPageStyle(job, "dina4");
  MARPLAPISetPageHeader(job, "Testseite");
  EXPECT_EQ(MARPLAPITabbedText(job, "Eine Seite aus der Druckbibliothek."), 1);
  EXPECT_EQ(MARPLAPISetSequence(job, 2, 0, 0, nullptr), 1);
  MARPLAPIReleasePrintJob(job);
  plat::SetPrintDialogImpl(nullptr);
}
