// The page engine on a recording device: measures, the LaTeX commands,
// fonts, headers, page breaks and tables.
#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

#include "print/units.h"
#include "support.h"

using namespace printtest;
using marpel::Measure;

namespace {

class Engine : public PrintTest {};

// Default font on 12 units a millimetre: 10 pt is 42 units, height -50; a
// character is 25 wide, a line 62 high.
constexpr int kLine = 62;

}  // namespace

TEST(Units, ReadingMeasuresKeepsTheDecimals) {
  struct Case {
    const char* text;
    bool ok;
    int unit;
    double value;
  } cases[] = {
      {"15mm", true, marpel::kMm, 15},   {"2.5cm", true, marpel::kCm, 2.5}, {"2,5cm", true, marpel::kCm, 2.5},
      {" -3 pt", true, marpel::kPt, -3}, {"+1.25in", true, marpel::kIn, 1.25}, {"40", true, marpel::kDevice, 40},
      {"", false, marpel::kDevice, 0},   {"mm", false, marpel::kMm, 0},     {"german", false, marpel::kDevice, 0},
      {".5mm", true, marpel::kMm, 0.5},  {"4 mm", true, marpel::kMm, 4},
  };
  for (const Case& c : cases) {
    Measure m;
    EXPECT_EQ(marpel::ReadMeasure(c.text, &m), c.ok) << c.text;
    EXPECT_EQ(m.unit, c.unit) << c.text;
    EXPECT_DOUBLE_EQ(m.value, c.value) << c.text;
  }
  Measure m;
  EXPECT_TRUE(marpel::ReadMeasure(std::string(400, '9') + "mm", &m));
  EXPECT_TRUE(std::isfinite(m.value));
  EXPECT_EQ(marpel::ToDevice(m, marpel::Axis::X, marpel::Resolution{12, 12, 0, 0}), 2147483647);
}

TEST(Units, TheWholeNumberTable) {
  const marpel::Resolution r{12, 12, 2400, 3400};
  struct Case {
    int from, to;
    double v;
    int out;
  } cases[] = {
      {marpel::kCm, marpel::kIn, 10, 3},       {marpel::kCm, marpel::kDevice, 1, 120},
      {marpel::kDevice, marpel::kMm, 120, 10}, {marpel::kDevice, marpel::kCm, 120, 1},
      {marpel::kMm, marpel::kPt, 10, 28},      {marpel::kPt, marpel::kIn, 145, 2},
      {marpel::kIn, marpel::kMm, 2, 50},       {marpel::kPt, marpel::kDevice, 14, 58},
      {marpel::kMm, marpel::kCm, 19, 1},       {marpel::kMm, marpel::kMm, 7.9, 7},
  };
  for (const Case& c : cases)
    EXPECT_EQ(marpel::ConvertWhole(c.from, c.to, c.v, r), c.out) << c.from << "->" << c.to << " " << c.v;
  EXPECT_EQ(marpel::ConvertWhole(marpel::kMm, marpel::kDevice, 10, marpel::Resolution{}), 0);
}

TEST_F(Engine, TextWidthAfterOddSideMarginSetsTheRightEdge) {
  const std::uint16_t job = Started();
  EXPECT_EQ(Tex(job, "\\oddsidemargin{15mm}"), 1);
  EXPECT_EQ(Tex(job, "\\textwidth{180mm}"), 1);
  EXPECT_EQ(L(job).rightEdge, 195 * 12);
  MARPLAPISetPageHeader(job, "Kopf");
  MARPLAPITabbedText(job, "Zeile");
  const Op* number = rec->FindText("1");
  ASSERT_NE(number, nullptr);
  EXPECT_EQ(number->x2, 2340);
  EXPECT_EQ(rec->FindText("Kopf")->x, 180);
  EXPECT_EQ(rec->FindText("Zeile")->x, 180);
}

TEST_F(Engine, TheFirstTokenOfATextDecides) {
  const std::uint16_t job = Started();
  EXPECT_EQ(Tex(job, "\\textheight{10mm}\\textwidth{100mm}"), 1);
  EXPECT_EQ(L(job).rightEdge, 1200);
  EXPECT_EQ(L(job).pageHeightLimit, 3400);
  struct Case {
    const char* text;
    std::uint16_t result;
  } cases[] = {
      {"\\begin{document}", 0}, {"\\end{document}", 0},    {"\\pagestyle{plain}", 0},
      {"\\unknown{3mm}", 0},    {"plain text", 0},         {"\\textwidth{}", 0},
      {"\\hspace{mm}", 0},      {"\\evensidemargin{1cm}", 1}, {"\\footheight{1cm}", 1},
      {"\\tableheadsep{1mm}", 1}, {"\\bf", 1},             {"\\documentstyle[12pt]{article}", 1},
  };
  for (const Case& c : cases) EXPECT_EQ(Tex(job, c.text), c.result) << c.text;
}

TEST_F(Engine, FontsOfTheTemplatesAndTheirSizes) {
  const std::uint16_t job = Started();
  struct Case {
    const char* text;
    int tmpl, height, weight;
    bool italic;
  } cases[] = {
      {"\\rm{14pt}", 0, -69, 400, false}, {"\\bf", 0, -69, 700, false},  {"\\it", 0, -69, 400, true},
      {"\\em", 0, -69, 400, false},       {"\\em", 0, -69, 400, true},   {"\\sl{10pt}", 6, -50, 400, false},
      {"\\sf{2mm}", 1, -28, 400, false},  {"\\sys{10pt}", 2, -50, 200, false}, {"\\cour{1cm}", 3, -144, 400, false},
      {"\\rm", 0, -50, 400, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Tex(job, c.text), 1) << c.text;
    ASSERT_FALSE(rec->fonts.empty());
    const marpel::FontSpec& f = rec->fonts.back();
    EXPECT_EQ(f.tmpl, c.tmpl) << c.text;
    EXPECT_EQ(f.height, c.height) << c.text;
    EXPECT_EQ(f.weight, c.weight) << c.text;
    EXPECT_EQ(f.italic, c.italic) << c.text;
  }
}

TEST_F(Engine, MeasuresKeepTheirFractionAndEmptyArgumentsChangeNothing) {
  const std::uint16_t job = Started();
  EXPECT_EQ(Tex(job, "\\oddsidemargin{2.5cm}"), 1);
  EXPECT_EQ(L(job).x, 300);
  EXPECT_EQ(Tex(job, "\\oddsidemargin{}"), 0);
  EXPECT_EQ(Tex(job, "\\oddsidemargin{abc}"), 0);
  EXPECT_EQ(Tex(job, "\\columnsep{}"), 0);
  MARPLAPITabbedText(job, "a");
  EXPECT_EQ(rec->FindText("a")->x, 300);
  EXPECT_EQ(Tex(job, "\\oddsidemargin{1,5 cm}"), 1);
  MARPLAPITabbedText(job, "b");
  EXPECT_EQ(rec->FindText("b")->x, 180);
}

TEST_F(Engine, TheDocumentStyleTakesSizesAndDina4AndIgnoresOtherOptions) {
  const std::uint16_t job = Started();
  EXPECT_EQ(Tex(job, "\\documentstyle[10pt,german,dina4]{article}"), 1);
  EXPECT_EQ(rec->fonts.back().height, -50);
  EXPECT_EQ(L(job).rightEdge, 2340);
  // 15 mm down and 270 mm of text: the 283 mm of the device end it first.
  EXPECT_EQ(L(job).pageHeightLimit, 3400);
  EXPECT_EQ(marpel::ToDevice(L(job).leftMargin, marpel::Axis::X, surface->Info().Res()), 180);
  EXPECT_EQ(marpel::ToDevice(L(job).topMargin, marpel::Axis::Y, surface->Info().Res()), 180);
  const std::uint16_t other = Started();
  EXPECT_EQ(MARPLAPISetPageStyle(other, "dina4"), 1);
  EXPECT_EQ(L(other).rightEdge, 2340);
  EXPECT_EQ(MARPLAPISetPageStyle(other, "\\rm{14pt}"), 1);
  EXPECT_EQ(rec->fonts.back().height, -69);
}

TEST_F(Engine, UnitsAreFoundOnlyInTheArgumentAndVerticalMeasuresUseTheVerticalResolution) {
  // 12 units a millimetre across, 24 down.
  const std::uint16_t job = Started(2400, 6800, 304.8, 609.6);
  EXPECT_EQ(Tex(job, "\\hspace{10} mm"), 1);
  EXPECT_EQ(L(job).x, 10);
  EXPECT_EQ(Tex(job, "\\hspace{10mm}"), 1);
  EXPECT_EQ(L(job).x, 130);
  EXPECT_EQ(Tex(job, "\\vspace{10mm}"), 1);
  EXPECT_EQ(L(job).y, 240);
  EXPECT_EQ(Tex(job, "\\textheight{100mm}"), 1);
  EXPECT_EQ(L(job).pageHeightLimit, 2400);
  EXPECT_EQ(Tex(job, "\\rm{14pt}"), 1);
  EXPECT_EQ(rec->fonts.back().height, -140);  // 14 pt down: 117 units
}

TEST_F(Engine, TheFirstLinePrintsBelowTheHeaderRule) {
  const std::uint16_t job = Started();
  MARPLAPISetPageHeader(job, "Gebuehren");
  MARPLAPITabbedText(job, "Erste Zeile");
  auto rules = rec->Rules(1);
  ASSERT_EQ(rules.size(), 1u);
  const Op* head = rec->FindText("Gebuehren");
  const Op* first = rec->FindText("Erste Zeile");
  ASSERT_NE(head, nullptr);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(head->y, 0);
  EXPECT_GE(rules[0].y, head->y + head->width);
  EXPECT_GE(first->y, rules[0].y + rules[0].width);
  // A head height taller than the text makes the block taller.
  const std::uint16_t second = Started();
  Tex(second, "\\headheight{20mm}");
  Tex(second, "\\headsep{5mm}");
  MARPLAPISetPageHeader(second, "Kopf");
  MARPLAPITabbedText(second, "Zeile");
  EXPECT_EQ(rec->Rules(1)[0].y, 240);
  EXPECT_EQ(rec->FindText("Zeile")->y, 240 + 3 + 60);
}

TEST_F(Engine, LinesBreakBeforeTheyWouldPassTheBottom) {
  const std::uint16_t job = Started();
  Tex(job, "\\textheight{100mm}");  // 1200 units
  Tex(job, "\\footskip{5mm}");
  MARPLAPISetPageHeader(job, "Kopf");
  for (int i = 0; i < 60; ++i) MARPLAPITabbedText(job, ("Zeile " + std::to_string(i)).c_str());
  Cmd(job, 2, 0);
  int lines = 0;
  for (const Op& o : rec->Texts()) {
    if (o.text.rfind("Zeile", 0) != 0) continue;
    ++lines;
    EXPECT_LE(o.y + o.width, 1200 - 60) << o.text;
  }
  EXPECT_EQ(lines, 60);
  EXPECT_GE(rec->Pages(), 4);
  // Every page starts with its header and number.
  for (int p = 1; p <= rec->Pages(); ++p) {
    auto t = rec->Texts(p);
    ASSERT_GE(t.size(), 2u);
    EXPECT_EQ(t[0].text, "Kopf");
    EXPECT_EQ(t[1].text, std::to_string(p));
    EXPECT_EQ(t[1].x2, 2400);
  }
  // No page is left empty at the end.
  EXPECT_GT(rec->Texts(rec->Pages()).size(), 2u);
}

TEST_F(Engine, AFooterIsPrintedAtTheEndOfEachPage) {
  const std::uint16_t job = Started();
  Tex(job, "\\textheight{50mm}");
  Cmd(job, 10, 0, "Fuss");
  for (int i = 0; i < 20; ++i) MARPLAPITabbedText(job, "Zeile");
  Cmd(job, 2, 0);
  ASSERT_GE(rec->Pages(), 2);
  for (int p = 1; p <= rec->Pages(); ++p) {
    auto t = rec->Texts(p);
    ASSERT_GE(t.size(), 2u);
    EXPECT_EQ(t.back().text, "Fuss") << p;
    EXPECT_EQ(t.back().y + t.back().width, 600) << p;
    // The lines keep clear of it.
    EXPECT_LE(t[t.size() - 2].y + kLine, t.back().y) << p;
  }
}

TEST_F(Engine, ARowWithMoreCellsThanColumnsPrintsNothing) {
  const std::uint16_t job = Started();
  EXPECT_EQ(MARPLAPIBeginTable(job, "l{Xxxx},r{99}"), 1);
  EXPECT_EQ(MARPLAPITableEntry(job, "a\tb\tc"), 0);
  EXPECT_EQ(MARPLAPITableEntry(job, "a\tb"), 1);
  EXPECT_EQ(MARPLAPITableEntry(job, "a"), 1);
  EXPECT_EQ(rec->Texts().size(), 3u);
  EXPECT_EQ(MARPLAPIBeginTable(job, ""), 0);
  EXPECT_EQ(MARPLAPIEndTable(job), 1);
  EXPECT_EQ(MARPLAPITableEntry(job, "a"), 0);
  EXPECT_EQ(MARPLAPITableLine(job, ""), 0);
}

TEST_F(Engine, ColumnsAlignInTheirBoxes) {
  const std::uint16_t job = Started();
  Tex(job, "\\columnsep{1mm}");
  MARPLAPIBeginTable(job, "r{99999},l{Xxxxxx},c{MMMMMM},r[20mm],l");
  const char* rows[] = {"1\tab\tcc\t7\tfrei", "22222\tabcdef\tcccccc\t777\tx", "333\ta\tcccc\t77777\tlang lang"};
  for (const char* r : rows) EXPECT_EQ(MARPLAPITableEntry(job, r), 1);
  auto t = rec->Texts();
  ASSERT_EQ(t.size(), 15u);
  for (int r = 0; r < 3; ++r) {
    const Op* c = &t[r * 5];
    EXPECT_EQ(c[0].x2, 125) << r;                      // r: 5 characters
    EXPECT_EQ(c[1].x, 125 + 12) << r;                  // l after the separation
    EXPECT_EQ(c[2].x + c[2].x2, 2 * (137 + 150 + 12) + 150) << r;  // c: centred
    EXPECT_EQ(c[3].x2, 137 + 150 + 12 + 150 + 12 + 240) << r;     // [20mm]
    EXPECT_EQ(c[4].x, 137 + 150 + 12 + 150 + 12 + 240 + 12) << r;
    EXPECT_EQ(c[0].y, r * kLine) << r;
  }
  EXPECT_EQ(L(job).table.rightEnd, 713 + 100);
}

TEST_F(Engine, TablesBreakWithTheirHeaderAndRule) {
  const std::uint16_t job = Started();
  Tex(job, "\\textheight{100mm}");
  MARPLAPISetPageHeader(job, "Bericht");
  MARPLAPITabbedText(job, "Titel");
  Cmd(job, 6, 19, "r{999},l{Xxxxxxxxxx}");
  Cmd(job, 8, 21, "Nr\tName");
  MARPLAPITableLine(job, nullptr);
  for (int i = 1; i <= 40; ++i) {
    MARPLAPITableEntry(job, (std::to_string(i) + "\tName" + std::to_string(i)).c_str());
    if (i % 5 == 0) MARPLAPITableLine(job, nullptr);
  }
  MARPLAPITableLine(job, "");
  MARPLAPIEndTable(job);
  Cmd(job, 2, 0);
  ASSERT_GE(rec->Pages(), 2);
  std::set<std::string> seen;
  for (int p = 1; p <= rec->Pages(); ++p) {
    auto t = rec->Texts(p);
    const int first = p == 1 ? 3 : 2;  // after header, number (and the title)
    ASSERT_GT(t.size(), std::size_t(first + 1));
    EXPECT_EQ(t[0].text, "Bericht");
    EXPECT_EQ(t[first].text, "Nr") << p;
    EXPECT_EQ(t[first + 1].text, "Name") << p;
    // Below the table header, a rule and then rows at one pitch.
    auto rules = rec->Rules(p);
    ASSERT_GE(rules.size(), 2u);
    EXPECT_EQ(rules[1].y, t[first].y + kLine) << p;
    int lastY = -1, lastRule = rules[1].y;
    for (std::size_t i = first + 2; i < t.size(); i += 2) {
      EXPECT_TRUE(seen.insert(t[i].text).second) << t[i].text;  // no row twice
      EXPECT_LE(t[i].y + kLine, 1200);
      if (lastY >= 0) {
        const bool ruleBetween = std::any_of(rules.begin(), rules.end(), [&](const Op& r) {
          return r.y >= lastY + kLine && r.y < t[i].y;
        });
        EXPECT_EQ(t[i].y - lastY, ruleBetween ? kLine + 3 : kLine) << t[i].text;
      }
      lastY = t[i].y;
    }
    (void)lastRule;
  }
  EXPECT_EQ(seen.size(), 40u);
}

TEST_F(Engine, AHeaderTallerThanThePageDoesNotLoop) {
  const std::uint16_t job = Started();
  Tex(job, "\\textheight{5mm}");  // 60 units, a line is 62
  MARPLAPISetPageHeader(job, "Kopf");
  MARPLAPIBeginTable(job, "l{Xxxx}");
  Cmd(job, 8, 21, "Kopfzeile");
  for (int i = 0; i < 5; ++i) MARPLAPITableEntry(job, "Zeile");
  Cmd(job, 2, 0);
  EXPECT_LE(rec->Pages(), 7);
  EXPECT_GE(rec->Pages(), 5);
}

TEST_F(Engine, TheFontChoiceIsKeptAndMadeAnewForTheNextPrinter) {
  std::uint16_t job = Started();
  Tex(job, "\\rm{14pt}");
  Tex(job, "\\bf");
  Cmd(job, 2, 0);
  MARPLAPIReleasePrintJob(job);
  // The same slot on a printer of twice the resolution.
  job = Job(4800, 6800, 609.6, 609.6);
  ASSERT_EQ(job, 0);
  rec->fonts.clear();
  Cmd(job, 1, 0, "again");
  ASSERT_FALSE(rec->fonts.empty());
  EXPECT_EQ(rec->fonts.back().height, -140);
  EXPECT_EQ(rec->fonts.back().weight, 700);
  MARPLAPITabbedText(job, "x");
  EXPECT_EQ(rec->FindText("x")->font.height, -140);
}

TEST_F(Engine, MarginCommandsInPercentMillimetresAndUnits) {
  const std::uint16_t job = Started();
  const std::int16_t ten = 10;
  struct Case {
    std::uint16_t cmd, sub, kind;
    const void* data;
    int x, y;
  } cases[] = {
      {17, 13, 2, &ten, 240, 0}, {17, 16, 3, &ten, 120, 0}, {17, 0, 4, &ten, 10, 0},
      {17, 16, 5, "2.5", 30, 0}, {18, 16, 5, "10", 0, 120}, {18, 13, 2, &ten, 0, 340},
  };
  const std::int16_t zero = 0;
  for (const Case& c : cases) {
    EXPECT_EQ(MARPLAPISetSequence(job, 17, 0, 4, &zero), 1);
    EXPECT_EQ(MARPLAPISetSequence(job, 18, 0, 4, &zero), 1);
    EXPECT_EQ(MARPLAPISetSequence(job, c.cmd, c.sub, c.kind, c.data), 1);
    const auto r = surface->Info().Res();
    EXPECT_EQ(marpel::ToDevice(L(job).leftMargin, marpel::Axis::X, r), c.x) << c.cmd << "/" << c.sub;
    EXPECT_EQ(marpel::ToDevice(L(job).topMargin, marpel::Axis::Y, r), c.y) << c.cmd << "/" << c.sub;
  }
  EXPECT_EQ(MARPLAPISetSequence(job, 17, 16, 5, "abc"), 0);
  EXPECT_EQ(MARPLAPISetSequence(job, 17, 16, 0, nullptr), 0);
}

TEST_F(Engine, PageHeaderPrintedNowAndTextWithoutLineFeed) {
  const std::uint16_t job = Started();
  EXPECT_EQ(Cmd(job, 9, 24, "Jetzt"), 1);
  EXPECT_EQ(rec->FindText("Jetzt")->y, 0);
  EXPECT_EQ(Cmd(job, 22, 0, "ab"), 1);
  EXPECT_EQ(Cmd(job, 22, 0, "cd"), 1);
  EXPECT_EQ(rec->FindText("cd")->x, 50);
  EXPECT_EQ(rec->FindText("cd")->y, rec->FindText("ab")->y);
  EXPECT_EQ(Cmd(job, 9, 26), 1);
  EXPECT_EQ(rec->FindText("Jetzt", 1)->y, 0);
}

// The page style frames the text 15 mm from the left and the top edge; the
// header, the first line and a new page all begin there.
TEST_F(Engine, Dina4StartsEveryPage15MillimetresDown) {
  const std::uint16_t job = Started(2520, 3564);  // A4 at 12 units a millimetre
  EXPECT_EQ(Tex(job, "\\documentstyle[10pt,german,dina4]{article}"), 1);
  EXPECT_EQ(L(job).y, 180);
  EXPECT_EQ(L(job).pageHeightLimit, 180 + 3240);
  MARPLAPISetPageHeader(job, "Kopf");
  for (int i = 0; i < 80; ++i) MARPLAPITabbedText(job, ("Zeile " + std::to_string(i)).c_str());
  Cmd(job, 2, 0);
  ASSERT_GE(rec->Pages(), 2);
  for (int p = 1; p <= rec->Pages(); ++p) {
    auto t = rec->Texts(p);
    ASSERT_GE(t.size(), 3u);
    EXPECT_EQ(t[0].text, "Kopf");
    EXPECT_EQ(t[0].x, 180) << p;
    EXPECT_EQ(t[0].y, 180) << p;
    for (const Op& o : t) EXPECT_LE(o.y + kLine, 180 + 3240) << o.text;
  }
  // Without a page style a document still begins at the sheet's corner.
  const std::uint16_t plain = Started();
  MARPLAPITabbedText(plain, "oben");
  EXPECT_EQ(rec->FindText("oben")->y, 0);
}

// A heading wider than its column's sample widens the column, so no two
// headings overlap and the rows stay under their headings.
TEST_F(Engine, AColumnIsAsWideAsItsHeading) {
  struct Case {
    const char* format;
    const char* head;
    const char* row;
    std::vector<int> widths;  // of the columns' boxes
  } cases[] = {
      // "Anrufer" (175) in a column of "000" (75), right and left aligned.
      {"r{99},l{000},r{999}", "Nr\tAnrufer\tPreis", "1\t21\t3", {50, 175, 125}},
      // A width in millimetres and a column without sample or width.
      {"r[5mm],l{Xx}", "Gerufener\tAb", "7\tyy", {225, 50}},
      // Headings narrower than the samples change nothing.
      {"l{0099000011112222},r{23:59:00}", "Nr\tZeit", "0301111\t12:00:00", {400, 200}},
      // Fewer headings than columns.
      {"l{0},l{0}", "Nummer", "1\t2", {150, 25}},
  };
  for (const Case& c : cases) {
    const std::uint16_t job = Started();
    Tex(job, "\\columnsep{1mm}");
    ASSERT_EQ(Cmd(job, 6, 19, c.format), 1) << c.format;
    ASSERT_EQ(Cmd(job, 8, 21, c.head), 1) << c.format;
    ASSERT_EQ(MARPLAPITableEntry(job, c.row), 1) << c.format;
    const auto t = rec->Texts();
    const std::size_t cols = c.widths.size();
    const std::size_t heads = t.size() - cols;
    int left = 0, headEnd = 0;
    for (std::size_t i = 0; i < cols; ++i) {
      const Op& cell = t[heads + i];
      // Each cell lies inside its box, and so does its heading.
      EXPECT_GE(cell.x, left) << c.format << " column " << i;
      EXPECT_LE(cell.x2, left + c.widths[i]) << c.format << " column " << i;
      if (i < heads) {
        EXPECT_GE(t[i].x, left) << c.format << " heading " << i;
        EXPECT_LE(t[i].x2, left + c.widths[i]) << c.format << " heading " << i;
      }
      left += c.widths[i] + 12;
      if (i < heads) headEnd = left - 12;
    }
    // The rules end where the first row printed, the heading, ends.
    EXPECT_EQ(L(job).table.rightEnd, headEnd) << c.format;
    Cmd(job, 2, 0);
    MARPLAPIReleasePrintJob(job);
  }
}

// A table wider than the text narrows its gaps to end at the right edge,
// to no less than a millimetre; one that fits keeps them.
TEST_F(Engine, ATableTooWideNarrowsItsGaps) {
  struct Case {
    const char* textWidth;
    int gap;  // between the three columns of 100 units
  } cases[] = {{"\\textwidth{100mm}", 48}, {"\\textwidth{396}", 48}, {"\\textwidth{350}", 25}, {"\\textwidth{310}", 12}};
  for (const Case& c : cases) {
    const std::uint16_t job = Started();
    Tex(job, "\\columnsep{4mm}");
    Tex(job, c.textWidth);
    Cmd(job, 6, 19, "l{Xxxx},r{9999},l{abcd}");
    ASSERT_EQ(MARPLAPITableEntry(job, "a\tb\tc"), 1) << c.textWidth;
    const auto t = rec->Texts();
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[1].x2, 100 + c.gap + 100) << c.textWidth;
    EXPECT_EQ(t[2].x, 2 * (100 + c.gap)) << c.textWidth;
    Cmd(job, 2, 0);
    MARPLAPIReleasePrintJob(job);
  }
}
