// The page engine: a job's page layout (margins, position, edges, header
// and footer, tab stops, table, page profile, font) and the commands that
// lay out pages on its surface.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/objlib/xtokenline.h"
#include "print/surface.h"
#include "print/units.h"

namespace marpel {

// The twelve measures of a page profile, in this order.
enum ProfileIndex {
  kTopMargin, kOddSideMargin, kEvenSideMargin, kHeadHeight, kHeadSep, kTopSkip,
  kFootHeight, kFootSkip, kTextHeight, kTextWidth, kPageHeight, kPageWidth, kProfileCount
};

// A font as chosen: kept from job to job, made anew on each printer.
struct FontChoice {
  int tmpl = 0;
  Measure size{kPt, 10};
  bool bold = false, italic = false, underline = false;
};

// The library's twenty font slots; the first six are preset and no
// operation looks them up.
struct FontSlot {
  std::string name;
  bool used = false;
  FontChoice choice;
};
inline constexpr int kFontSlots = 20;
FontSlot* FontSlots();
// The first free slot, taken; -1 when none is left.
int TakeFontSlot();

// The trace and font log ("fonts.log" in the working folder).
struct Logging {
  bool trace = false, fonts = false;
};
Logging& Log();
void TraceLine(const std::string& line);

// One column of a table format.
struct Column {
  char align = 'l';
  enum Kind { kText, kSample, kWidth } kind = kText;
  std::string sample;
  Measure width;
  // The sample's extent with the font of generation fontGen.
  Extent sampleExtent;
  std::uint64_t fontGen = 0;
  // The width of the column's heading (0 without one) with the font of
  // generation headGen (0: not measured since the heading changed).
  int headWidth = 0;
  std::uint64_t headGen = 0;
};

struct TableState {
  bool active = false;
  int leftX = 0, rightEnd = 0, topY = 0;
  Measure columnSep{kDevice, 0};
  Measure headSep{kDevice, 0};
  bool lineUnderHeader = false;
  XTokenLine format, header, row;
  std::vector<Column> columns;
};

struct PageLayout {
  PageLayout();
  // Kept from job to job.
  Measure leftMargin{kDevice, 0}, topMargin{kDevice, 0};
  std::string headerText, footerText;
  FontChoice headerFont;
  bool headerFontSet = false;
  char headerStyle = 't';
  Measure profile[kProfileCount];
  int fontSlot = -1;
  TableState table;
  std::vector<std::int32_t> tabStops;
  bool xAdvance = false, yAdvance = true;

  // Set at each document start.
  std::int32_t x = 0, y = 0;
  std::int32_t pageWidthLimit = -1, pageHeightLimit = -1, rightEdge = -1, bottomEdge = -1;
  int page = 0;
  bool inDocument = false;
  bool pageStartPending = false;  // page 1 starts with its first output
  bool breakPending = false;      // the next output goes to a new page
  bool pageHasOutput = false;
  // Bumped whenever the surface's font or surface changes: cached extents
  // of table samples are of one generation.
  std::uint64_t fontGen = 1;
  FontSpec surfaceFont;
  bool surfaceFontSet = false;
  const void* surfaceOf = nullptr;
};

// The commands on one layout and its surface. Results: 1 when the command
// took effect, 0 when it did not.
class Engine {
 public:
  Engine(PageLayout& layout, Surface& surface) : l_(layout), s_(surface) {}

  int StartDocument(const std::string& name);  // 0 when the document cannot start
  int EndDocument();
  int PageHeader(int sub, const char* text);
  int PageFooter(const char* text);
  int TabbedLine(const char* text);
  int TextAt(const char* text);
  int Margin(bool top, Measure m);
  int BeginTable(const char* format);
  int EndTable();
  int TableHeader(int sub, const char* text);
  int TableRow(const char* text);
  int TableLine();
  int Latex(const char* text);
  int PageStyleDina4();
  // The text's extent with the layout's font.
  Extent TextExtent(std::string_view text);
  Resolution Res() const { return s_.Info().Res(); }
  // The effective font of the layout (its slot's, else \rm at 10 points).
  FontChoice CurrentChoice() const;
  FontSpec SpecOf(const FontChoice& c) const;
  // Text with tabs expanded at the layout's tab stops from x; drawn or only
  // measured.
  Extent Tabbed(int x, int y, std::string_view text, bool draw);

 private:
  std::int32_t Px(const Measure& m, Axis a) const { return ToDevice(m, a, Res()); }
  std::int32_t LeftPx() const { return Px(l_.leftMargin, Axis::X); }
  std::int32_t TopPx() const { return Px(l_.topMargin, Axis::Y); }
  std::int32_t Prof(int i, Axis a) const { return Px(l_.profile[i], a); }
  void ApplyFont();
  void UseFont(const FontChoice& c);
  FontChoice& SlotChoice();
  void ChooseFont(int tmpl, const Measure& size);
  void ChangeFont(int what);
  bool Room(int height);
  // Where the text of a page ends: the height limit less a footer's height.
  std::int64_t Bottom();
  void Advance(int cx, int cy);
  void PageStart();
  void NewPage();
  int PrintHeader();
  void PrintFooter();
  int PrintRow(XTokenLine& cells, bool isHeader, bool mayBreak);
  void DrawTableRule();
  void BuildColumns();
  void SetHeader(const char* cells);
  int HeadWidth(std::size_t column);
  int FixedWidth(std::size_t column);
  std::int32_t ColumnSep();
  int MeasureCommand(int token, const Measure& m);

  PageLayout& l_;
  Surface& s_;
};

// The created font of a choice on a device: the size in device units, the
// character height -(size x 1.2).
FontSpec SpecFor(const FontChoice& c, const Resolution& r);

// Reads the argument of a LaTeX command: from the end of the token to the
// next "}" or "]", or to the end of the text.
std::string_view LatexArgument(std::string_view text, std::size_t tokenEnd);

}  // namespace marpel
