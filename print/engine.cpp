#include "print/engine.h"

#include <fcntl.h>

#include <algorithm>
#include <cstring>

#include "platform/fileio.h"
#include "platform/text.h"

namespace marpel {

// --- fonts and logging ---

FontSlot* FontSlots() {
  static FontSlot table[kFontSlots] = {
      {"MSSSF", true, {1, {kPt, 10}, false, false, false}},
      {"MSS", true, {0, {kPt, 10}, false, false, false}},
      {"SYSTEM", true, {2, {kPt, 10}, true, false, false}},
      {"COURIER", true, {3, {kPt, 10}, false, false, false}},
      {"FIXED", true, {4, {kPt, 10}, false, false, false}},
      {"COURIERNEW", true, {5, {kPt, 10}, false, false, false}},
  };
  return table;
}

int TakeFontSlot() {
  FontSlot* fontTable = FontSlots();
  for (int i = 0; i < kFontSlots; ++i) {
    if (!fontTable[i].used) {
      fontTable[i].used = true;
      fontTable[i].choice = FontChoice{};
      return i;
    }
  }
  return -1;
}

Logging& Log() {
  static Logging log;
  return log;
}

void TraceLine(const std::string& line) {
  // One open per line, as a reader may take the file away between lines.
  int fd = plat::io::Open("fonts.log", O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (fd < 0) return;
  std::string out = line;
  if (out.size() < 2 || out.compare(out.size() - 2, 2, "\r\n") != 0) out += "\r\n";
  plat::io::Write(fd, out.data(), out.size());
  plat::io::Close(fd);
}

namespace {

void Trace(const char* text) {
  if (Log().trace) TraceLine(text);
}

void LogFont(const FontSpec& f) {
  if (!Log().fonts) return;
  const FontTemplate& t = kFontTemplates[f.tmpl];
  TraceLine(plat::StrFormatC("%i, %i, %i, %i, %i, %u, %u, %u, %u, %u, %u, %u, %u, %s\r\n", f.height, 0, 0, 0,
                             f.weight, f.italic ? 1u : 0u, f.underline ? 1u : 0u, 0u, 0u,
                             static_cast<unsigned>(t.outPrecision), 2u, 1u,
                             static_cast<unsigned>(t.pitchAndFamily), t.face));
}

enum Token {
  kDocumentStyle, kBegin, kEnd, kPageStyle, kTextWidthTok, kTextHeightTok, kOddSide, kEvenSide, kTopMarginTok,
  kFootSkipTok, kHeadHeightTok, kHeadSepTok, kFootHeightTok, kColumnSep, kTableHeadSep, kRmSize, kSlSize,
  kSfSize, kSysSize, kCourSize, kHSpace, kVSpace, kRm, kBf, kIt, kEm, kTokenCount
};

constexpr const char* kTokens[kTokenCount] = {
    "\\documentstyle[", "\\begin{", "\\end{", "\\pagestyle{", "\\textwidth{", "\\textheight{",
    "\\oddsidemargin{", "\\evensidemargin{", "\\topmargin{", "\\footskip{", "\\headheight{", "\\headsep{",
    "\\footheight{", "\\columnsep{", "\\tableheadsep{", "\\rm{", "\\sl{", "\\sf{", "\\sys{", "\\cour{",
    "\\hspace{", "\\vspace{", "\\rm", "\\bf", "\\it", "\\em",
};

enum FontChange { kBold, kItalic, kEmphasize };

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

}  // namespace

std::string_view LatexArgument(std::string_view text, std::size_t tokenEnd) {
  if (tokenEnd > text.size()) return {};
  std::string_view rest = text.substr(tokenEnd);
  std::size_t end = rest.find_first_of("}]");
  return end == std::string_view::npos ? rest : rest.substr(0, end);
}

PageLayout::PageLayout() {
  table.format.SetSeparator(",");
  table.header.SetSeparator(nullptr);
  table.row.SetSeparator(nullptr);
}

// --- fonts ---

FontChoice Engine::CurrentChoice() const {
  if (l_.fontSlot >= 0) return FontSlots()[l_.fontSlot].choice;
  return FontChoice{};
}

FontSpec Engine::SpecOf(const FontChoice& c) const { return SpecFor(c, Res()); }

FontSpec SpecFor(const FontChoice& c, const Resolution& r) {
  FontSpec f;
  f.tmpl = c.tmpl >= 0 && c.tmpl < kTemplateCount ? c.tmpl : 0;
  const std::int32_t size = ToDevice(c.size, Axis::Y, r);
  // Any size a page can hold; beyond it fonts only cost time.
  f.height = -std::clamp(Clamp32(static_cast<double>(size) * 1.2), 1, 16384);
  f.weight = c.bold ? 700 : kFontTemplates[f.tmpl].weight;
  f.italic = c.italic;
  f.underline = c.underline;
  return f;
}

void Engine::UseFont(const FontChoice& c) {
  const FontSpec font = SpecOf(c);
  if (l_.surfaceFontSet && l_.surfaceOf == &s_ && font == l_.surfaceFont) return;
  s_.SetFont(font);
  l_.surfaceFont = font;
  l_.surfaceFontSet = true;
  l_.surfaceOf = &s_;
  ++l_.fontGen;
  LogFont(font);
}

void Engine::ApplyFont() { UseFont(CurrentChoice()); }

FontChoice& Engine::SlotChoice() {
  if (l_.fontSlot < 0) l_.fontSlot = TakeFontSlot();
  static FontChoice spare;  // only when all twenty slots are taken
  if (l_.fontSlot < 0) return spare = FontChoice{};
  return FontSlots()[l_.fontSlot].choice;
}

void Engine::ChooseFont(int tmpl, const Measure& size) {
  FontChoice& c = SlotChoice();
  c = FontChoice{};
  c.tmpl = tmpl;
  c.size = size;
  ApplyFont();
}

void Engine::ChangeFont(int what) {
  FontChoice& c = SlotChoice();
  const bool trace = Log().trace;
  if (trace)
    TraceLine(plat::StrFormatC("old profile %d: it=%d, bf=%d, u=%d", l_.fontSlot, c.italic, c.bold, c.underline));
  switch (what) {
    case kBold:
      if (trace) TraceLine("MARPLAPI_SFP_Bold, Reset=0");
      c.bold = true;
      break;
    case kItalic:
      if (trace) TraceLine("MARPLAPI_SFP_Italic, Reset=0");
      c.italic = true;
      c.bold = false;
      break;
    default:
      if (trace) TraceLine("MARPLAPI_SFP_Emphasize, Reset=0");
      c.italic = !c.italic;
      break;
  }
  if (trace)
    TraceLine(plat::StrFormatC("new profile %d: it=%d, bf=%d, u=%d", l_.fontSlot, c.italic, c.bold, c.underline));
  ApplyFont();
}

Extent Engine::TextExtent(std::string_view text) {
  ApplyFont();
  return s_.TextExtent(text);
}

// --- document and pages ---

int Engine::StartDocument(const std::string& name) {
  if (l_.inDocument) return 0;
  // Kept measures are resolved on this printer.
  l_.surfaceFontSet = false;
  ++l_.fontGen;
  ApplyFont();
  if (!s_.Begin(name.empty() ? std::string("Marpel") : name)) return 0;
  const DeviceInfo d = s_.Info();
  l_.inDocument = true;
  l_.page = 1;
  l_.x = LeftPx();
  l_.y = TopPx();
  l_.pageWidthLimit = l_.rightEdge = d.width;
  l_.pageHeightLimit = l_.bottomEdge = d.height;
  l_.pageStartPending = true;
  l_.breakPending = false;
  l_.pageHasOutput = false;
  return 1;
}

int Engine::EndDocument() {
  if (!l_.inDocument) return 0;
  if (l_.pageStartPending) PageStart();
  PrintFooter();
  s_.End();
  l_.inDocument = false;
  l_.table.active = false;
  l_.table.lineUnderHeader = false;
  return 1;
}

void Engine::PageStart() {
  l_.pageStartPending = false;
  ApplyFont();
  const std::int32_t top = TopPx();
  if (!l_.headerText.empty()) {
    const int block = PrintHeader();
    l_.y = std::max(l_.y, top) + block + Prof(kHeadSep, Axis::Y);
  } else {
    l_.y += Prof(kHeadHeight, Axis::Y) + Prof(kHeadSep, Axis::Y);
  }
  if (l_.table.active) {
    PrintRow(l_.table.header, true, false);
    if (l_.table.lineUnderHeader) DrawTableRule();
  }
  l_.pageHasOutput = false;
}

void Engine::NewPage() {
  PrintFooter();
  s_.NewPage();
  l_.x = LeftPx();
  l_.y = TopPx();
  ++l_.page;
  l_.breakPending = false;
  l_.pageHasOutput = false;
  PageStart();
}

bool Engine::Room(int height) {
  if (l_.pageStartPending) PageStart();
  if (l_.breakPending) {
    NewPage();
    return true;
  }
  // A line that would end below the text or in the foot skip goes to the
  // next page, unless the page holds nothing yet (it would never fit).
  const std::int64_t bottom = static_cast<std::int64_t>(l_.y) + height + Prof(kFootSkip, Axis::Y);
  if (l_.pageHasOutput && bottom > Bottom()) {
    NewPage();
    return true;
  }
  return false;
}

void Engine::Advance(int cx, int cy) {
  if (l_.xAdvance) l_.x = Clamp32(static_cast<double>(l_.x) + cx);
  if (l_.yAdvance) l_.y = Clamp32(static_cast<double>(l_.y) + cy);
  l_.pageHasOutput = true;
  if (static_cast<std::int64_t>(l_.y) + Prof(kFootSkip, Axis::Y) > Bottom()) l_.breakPending = true;
}

std::int64_t Engine::Bottom() {
  if (l_.footerText.empty()) return l_.pageHeightLimit;
  const Extent e = Tabbed(0, 0, l_.footerText, false);
  return static_cast<std::int64_t>(l_.pageHeightLimit) - std::max(Prof(kFootHeight, Axis::Y), e.cy);
}

// The header block: its text at the top margin, the page number ending at
// the right edge, and a rule below the taller of head height and text.
// Returns the block's height with the rule.
int Engine::PrintHeader() {
  const FontChoice before = CurrentChoice();
  if (l_.headerFontSet) UseFont(l_.headerFont);
  const std::int32_t left = LeftPx(), top = TopPx();
  const Extent e = s_.TextExtent(l_.headerText);
  int block = std::max(Prof(kHeadHeight, Axis::Y), e.cy);
  s_.Text(left, top, l_.headerText);
  if (l_.headerStyle == 't') {
    const std::string number = plat::StrFormatC("%d", l_.page);
    const Extent n = s_.TextExtent(number);
    s_.Text(l_.rightEdge - n.cx, top, number);
    block = std::max(block, n.cy);
  }
  constexpr int kPen = 3;
  s_.Rule(left, l_.rightEdge, top + block, kPen);
  UseFont(before);
  return block + kPen;
}

void Engine::PrintFooter() {
  if (l_.footerText.empty()) return;
  const Extent e = Tabbed(0, 0, l_.footerText, false);
  const int height = std::max(Prof(kFootHeight, Axis::Y), e.cy);
  Tabbed(LeftPx(), l_.pageHeightLimit - height, l_.footerText, true);
}

// Text with tabs expanded at the tab stops (origin x): with no stops every
// eight average characters, with one stop at its multiples.
Extent Engine::Tabbed(int x, int y, std::string_view text, bool draw) {
  ApplyFont();
  const int avg = std::max(1, s_.AverageCharWidth());
  const auto& stops = l_.tabStops;
  std::int64_t cur = x;
  int height = s_.TextExtent("").cy;
  for (;;) {
    const std::size_t tab = text.find('\t');
    const std::string_view part = text.substr(0, tab);
    if (!part.empty()) {
      const Extent e = s_.TextExtent(part);
      if (draw) s_.Text(Clamp32(static_cast<double>(cur)), y, part);
      cur += e.cx;
    }
    if (tab == std::string_view::npos) break;
    text.remove_prefix(tab + 1);
    const std::int64_t rel = cur - x;
    std::int64_t next = -1;
    if (stops.size() == 1 && stops[0] > 0) {
      next = (rel / stops[0] + 1) * stops[0];
    } else {
      for (std::int32_t s : stops)
        if (s > rel) {
          next = s;
          break;
        }
      if (next < 0) {
        const std::int64_t base = stops.empty() ? 0 : stops.back();
        const std::int64_t step = 8LL * avg;
        next = rel < base ? base : base + ((rel - base) / step + 1) * step;
      }
    }
    cur = x + next;
  }
  Extent out;
  out.cx = Clamp32(static_cast<double>(cur - x));
  out.cy = height;
  return out;
}

int Engine::PageHeader(int sub, const char* text) {
  if (sub == 23 || sub == 24 || sub == 25) {
    if (!text) return 0;
    l_.headerText = text;
    l_.headerFont = CurrentChoice();
    l_.headerFontSet = true;
  }
  if (sub == 24 || sub == 25 || sub == 26) {
    if (!l_.inDocument) return 0;
    if (l_.pageStartPending) {
      PageStart();
      return 1;
    }
    if (l_.breakPending) {
      NewPage();
      return 1;
    }
    const int block = PrintHeader() + Prof(kHeadSep, Axis::Y);
    if (l_.y < TopPx() + block) l_.y += block;
    l_.pageHasOutput = true;
    return 1;
  }
  return sub == 23 ? 1 : 0;
}

int Engine::PageFooter(const char* text) {
  if (!text) return 0;
  l_.footerText = text;
  return 1;
}

int Engine::TabbedLine(const char* text) {
  if (!text || !l_.inDocument) return 0;
  const Extent e = Tabbed(0, 0, text, false);
  Room(e.cy);
  l_.x = LeftPx();
  Tabbed(l_.x, l_.y, text, true);
  Advance(e.cx, e.cy);
  return 1;
}

int Engine::TextAt(const char* text) {
  if (!text || !l_.inDocument) return 0;
  const Extent e = TextExtent(text);
  Room(e.cy);
  s_.Text(l_.x, l_.y, text);
  l_.x = Clamp32(static_cast<double>(l_.x) + e.cx);
  l_.pageHasOutput = true;
  return 1;
}

int Engine::Margin(bool top, Measure m) {
  (top ? l_.topMargin : l_.leftMargin) = m;
  return 1;
}

// --- tables ---

void Engine::BuildColumns() {
  TableState& t = l_.table;
  t.columns.clear();
  for (std::size_t i = 0; i < t.format.GetTokenCount(); ++i) {
    std::string_view column = t.format.GetTokenAt(i);
    Column c;
    if (!column.empty() && (column[0] == 'c' || column[0] == 'l' || column[0] == 'r')) c.align = column[0];
    const std::size_t brace = column.find('{'), bracket = column.find('[');
    if (brace != std::string_view::npos && (bracket == std::string_view::npos || brace < bracket)) {
      c.kind = Column::kSample;
      c.sample = std::string(LatexArgument(column, brace + 1));
    } else if (bracket != std::string_view::npos) {
      const std::string_view arg = LatexArgument(column, bracket + 1);
      double v = 0;
      if (arg.find("mm") != std::string_view::npos && ReadNumber(arg, &v)) {
        c.kind = Column::kWidth;
        c.width = Measure{kMm, v};
      }
    }
    t.columns.push_back(std::move(c));
  }
}

// Prints the cells in the boxes of their columns. A header printed by the
// page start never breaks the page again.
int Engine::PrintRow(XTokenLine& cells, bool isHeader, bool mayBreak) {
  TableState& t = l_.table;
  const std::size_t n = cells.GetTokenCount();
  if (n == 0 || t.columns.size() < n) return 0;
  ApplyFont();
  struct Box {
    int w, h, tw;
  };
  constexpr std::size_t kInline = 32;
  Box inlineBoxes[kInline];
  std::vector<Box> more;
  Box* boxes = inlineBoxes;
  if (n > kInline) {
    more.resize(n);
    boxes = more.data();
  }
  for (std::size_t i = 0; i < n; ++i) {
    Column& c = t.columns[i];
    const char* text = cells.GetTokenAt(i);
    Box& b = boxes[i];
    if (c.kind == Column::kSample) {
      b.w = FixedWidth(i);
      b.h = c.sampleExtent.cy;
      b.tw = c.align == 'l' ? 0 : s_.TextExtent(text).cx;
    } else {
      const Extent e = s_.TextExtent(text);
      b.tw = e.cx;
      b.h = e.cy;
      b.w = c.kind == Column::kWidth ? FixedWidth(i) : e.cx;
    }
  }
  if (mayBreak && Room(boxes[n - 1].h) && isHeader) return 2;  // the new page's start printed it
  const std::int32_t sep = ColumnSep();
  std::int64_t x = l_.x;
  for (std::size_t i = 0; i < n; ++i) {
    const Box& b = boxes[i];
    std::int64_t at = x;
    if (t.columns[i].align == 'c') at = x + (b.w - b.tw) / 2;
    else if (t.columns[i].align == 'r') at = x + b.w - b.tw;
    s_.Text(Clamp32(static_cast<double>(at)), l_.y, cells.GetTokenAt(i));
    x += b.w;
    if (i + 1 < n) x += sep;
  }
  if (t.rightEnd == 0) t.rightEnd = Clamp32(static_cast<double>(x));
  l_.x = LeftPx();
  Advance(boxes[n - 1].w, boxes[n - 1].h);
  return 1;
}

void Engine::SetHeader(const char* cells) {
  l_.table.header.Parse(cells);
  for (Column& c : l_.table.columns) c.headGen = 0;
}

// A heading wider than its column's sample would run into the next
// column: the column takes the heading's width with the current font.
int Engine::HeadWidth(std::size_t column) {
  TableState& t = l_.table;
  Column& c = t.columns[column];
  if (c.headGen != l_.fontGen) {
    const char* head = column < t.header.GetTokenCount() ? t.header.GetTokenAt(column) : nullptr;
    c.headWidth = head && *head ? s_.TextExtent(head).cx : 0;
    c.headGen = l_.fontGen;
  }
  return c.headWidth;
}

// The width a column has in every row: its sample's or its millimetres,
// and never less than its heading; a column of text only its heading's.
int Engine::FixedWidth(std::size_t column) {
  Column& c = l_.table.columns[column];
  int w = 0;
  if (c.kind == Column::kSample) {
    if (c.fontGen != l_.fontGen) {
      c.sampleExtent = s_.TextExtent(c.sample);
      c.fontGen = l_.fontGen;
    }
    w = c.sampleExtent.cx;
  } else if (c.kind == Column::kWidth) {
    w = Px(c.width, Axis::X);
  }
  return std::max(w, HeadWidth(column));
}

// A table wider than the text would run off the sheet: its gaps narrow so
// that it ends at the right edge, but to no less than a millimetre.
std::int32_t Engine::ColumnSep() {
  TableState& t = l_.table;
  const std::int32_t sep = Px(t.columnSep, Axis::X);
  if (t.columns.size() < 2 || sep <= 0 || l_.rightEdge < 0) return sep;
  const std::size_t gaps = t.columns.size() - 1;
  std::int64_t width = 0;
  for (std::size_t i = 0; i < t.columns.size(); ++i) width += FixedWidth(i);
  const std::int64_t room = static_cast<std::int64_t>(l_.rightEdge) - LeftPx() - width;
  if (room >= static_cast<std::int64_t>(sep) * static_cast<std::int64_t>(gaps)) return sep;
  const std::int32_t least = std::min(sep, Px(Measure{kMm, 1}, Axis::X));
  return static_cast<std::int32_t>(std::max<std::int64_t>(least, room / static_cast<std::int64_t>(gaps)));
}

void Engine::DrawTableRule() {
  constexpr int kPen = 3;
  TableState& t = l_.table;
  // Before the first row the table ends at the right edge.
  const std::int32_t right = t.rightEnd != 0 ? t.rightEnd : l_.rightEdge;
  s_.Rule(t.leftX, right, l_.y, kPen);
  Advance(right - t.leftX, kPen);
  t.lineUnderHeader = true;
}

int Engine::BeginTable(const char* format) {
  Trace("MARPLAPI_CT_BeginTable");
  TableState& t = l_.table;
  if (!format || !*format) return 0;
  if (t.format.Parse(format) <= 0) return 0;
  BuildColumns();
  SetHeader(nullptr);
  t.active = true;
  t.leftX = l_.x;
  t.topY = l_.y;
  t.rightEnd = 0;
  return 1;
}

int Engine::EndTable() {
  Trace("MARPLAPI_CT_EndTable");
  l_.table.active = false;
  l_.table.lineUnderHeader = false;
  return 1;
}

int Engine::TableHeader(int sub, const char* text) {
  Trace("MARPLAPI_CT_TableHeader");
  TableState& t = l_.table;
  if (!t.active) return 0;
  if (sub == 19) {
    std::string samples;
    for (std::size_t i = 0; i < t.columns.size(); ++i) {
      if (i) samples += '\t';
      samples += t.columns[i].sample;
    }
    SetHeader(samples.c_str());
    return 1;
  }
  if (!l_.inDocument) return 0;
  // The first page's start comes before the new header, so it is not printed twice.
  if (l_.pageStartPending) PageStart();
  if (sub == 21) {
    if (!text) return 0;
    SetHeader(text);
  }
  const bool lineBefore = t.lineUnderHeader;
  const int printed = PrintRow(t.header, true, true);
  if (printed == 1 && lineBefore) DrawTableRule();
  Trace(printed ? "PrintTableItem - OK" : "PrintTableItem: pItem == NULL");
  return printed ? 1 : 0;
}

int Engine::TableRow(const char* text) {
  Trace("MARPLAPI_CT_TableEntry");
  TableState& t = l_.table;
  if (!t.active || !text || !l_.inDocument) return 0;
  if (t.row.Parse(text) <= 0) return 0;
  const int printed = PrintRow(t.row, false, true);
  Trace(printed ? "PrintTableItem - OK" : "PrintTableItem: pItem == NULL");
  return printed;
}

int Engine::TableLine() {
  Trace("MARPLAPI_CT_TableLine");
  if (!l_.table.active || !l_.inDocument) return 0;
  // A new page that reprints the header has drawn its rule already.
  const bool reprintsRule = l_.table.lineUnderHeader;
  if (Room(3) && reprintsRule) return 1;
  DrawTableRule();
  return 1;
}

// --- the LaTeX command language ---

int Engine::PageStyleDina4() {
  // The text's 180 x 270 mm stand 15 mm from the left and the top edge of
  // the sheet, also on a printer whose page begins at the paper's corner.
  constexpr Measure kTop{kMm, 15};
  l_.profile[kTopMargin] = kTop;
  l_.topMargin = kTop;
  if (l_.inDocument && l_.y < TopPx()) l_.y = TopPx();
  Latex("\\oddsidemargin{15mm}");
  Latex("\\textwidth{180mm}");
  Latex("\\textheight{270mm}");
  return 1;
}

int Engine::MeasureCommand(int token, const Measure& m) {
  Measure* p = l_.profile;
  switch (token) {
    case kTextWidthTok:
      p[kTextWidth] = m;
      if (l_.rightEdge >= 0)
        l_.rightEdge = std::min<std::int64_t>(l_.rightEdge,
                                              static_cast<std::int64_t>(Prof(kOddSideMargin, Axis::X)) +
                                                  Prof(kTextWidth, Axis::X));
      return 1;
    case kTextHeightTok:
      p[kTextHeight] = m;
      if (l_.pageHeightLimit >= 0)
        l_.pageHeightLimit = std::min<std::int64_t>(l_.pageHeightLimit,
                                                    static_cast<std::int64_t>(Prof(kTopMargin, Axis::Y)) +
                                                        Prof(kTextHeight, Axis::Y));
      return 1;
    case kOddSide:
      p[kOddSideMargin] = m;
      l_.leftMargin = m;
      if (l_.inDocument && l_.x < LeftPx()) l_.x = LeftPx();
      return 1;
    case kEvenSide: p[kEvenSideMargin] = m; return 1;
    case kTopMarginTok: p[kTopMargin] = m; return 1;
    case kFootSkipTok: p[kFootSkip] = m; return 1;
    case kHeadHeightTok: p[kHeadHeight] = m; return 1;
    case kHeadSepTok: p[kHeadSep] = m; return 1;
    case kFootHeightTok: p[kFootHeight] = m; return 1;
    case kColumnSep: l_.table.columnSep = m; return 1;
    case kTableHeadSep: l_.table.headSep = m; return 1;
    case kRmSize: ChooseFont(0, m); return 1;
    case kSlSize: ChooseFont(6, m); return 1;
    case kSfSize: ChooseFont(1, m); return 1;
    case kSysSize: ChooseFont(2, m); return 1;
    case kCourSize: ChooseFont(3, m); return 1;
    case kHSpace: l_.x = Clamp32(static_cast<double>(l_.x) + Px(m, Axis::X)); return 1;
    case kVSpace:
      if (!l_.inDocument) return 0;
      l_.y = Clamp32(static_cast<double>(l_.y) + Px(m, Axis::Y));
      if (static_cast<std::int64_t>(l_.y) + Prof(kFootSkip, Axis::Y) > Bottom()) l_.breakPending = true;
      return 1;
    default: return 0;
  }
}

int Engine::Latex(const char* text) {
  if (!text) return 0;
  if (Log().trace) TraceLine(text);
  const std::string_view t = text;
  int token = kTokenCount;
  std::size_t at = 0;
  for (int i = 0; i < kTokenCount; ++i) {
    at = t.find(kTokens[i]);
    if (at != std::string_view::npos) {
      token = i;
      break;
    }
  }
  if (token == kTokenCount) return 0;
  const std::size_t end = at + std::strlen(kTokens[token]);
  switch (token) {
    case kDocumentStyle: {
      // Options: "dina4" the page style, a size the font; others say nothing
      // about the page ("german"). The class after "]{" has no effect.
      std::string_view opts = LatexArgument(t, end);
      while (true) {
        const std::size_t comma = opts.find(',');
        const std::string_view opt = Trim(opts.substr(0, comma));
        Measure m;
        if (opt == "dina4") PageStyleDina4();
        else if (ReadMeasure(opt, &m)) ChooseFont(0, m);
        if (comma == std::string_view::npos) break;
        opts.remove_prefix(comma + 1);
      }
      return 1;
    }
    case kBegin:
    case kEnd:
    case kPageStyle: return 0;
    case kRm: ChooseFont(0, Measure{kPt, 10}); return 1;
    case kBf: ChangeFont(kBold); return 1;
    case kIt: ChangeFont(kItalic); return 1;
    case kEm: ChangeFont(kEmphasize); return 1;
    default: {
      // An argument without a number leaves everything as it was.
      Measure m;
      if (!ReadMeasure(LatexArgument(t, end), &m)) return 0;
      return MeasureCommand(token, m);
    }
  }
}

}  // namespace marpel
