#include "charges/calldata/calldatareport.h"

#include <iterator>
#include <string>
#include <vector>

#include "charges/calldata/calldatalist.h"
#include "core/base/globalconfig.h"
#include "core/base/globallog.h"
#include "print/marpel32.h"
#include "platform/text.h"

namespace {

constexpr const char* kDocument = "CallInfoList.log";
constexpr int kRowsPerBlock = 5;

// The configuration's page texts by flag. The odd side margin's text is
// empty, so the margin of the document style stands.
constexpr int kPageOddSideMargin = 2, kPageTextWidth = 256, kPageTextHeight = 512, kPageColumnSep = 4096;

}  // namespace

std::uint16_t CMarpelReportPrinter::Create(const char* fileName, std::uint32_t fileType, std::uint32_t deleteFlag) {
  return MARPLAPICreatePrintFile(fileName, fileType, deleteFlag);
}
std::uint16_t CMarpelReportPrinter::Configure(std::uint16_t job, plat::WindowId owner) {
  return MARPLAPIConfigPrintJobEx(job, owner);
}
std::uint16_t CMarpelReportPrinter::Sequence(std::uint16_t job, std::uint16_t command, std::uint16_t sub,
                                             std::uint16_t kind, const void* data) {
  return MARPLAPISetSequence(job, command, sub, kind, data);
}
std::uint16_t CMarpelReportPrinter::LaTeX(std::uint16_t job, const char* text) {
  return MARPLAPISetLaTeXCommand(job, text);
}
std::uint16_t CMarpelReportPrinter::Release(std::uint16_t job) { return MARPLAPIReleasePrintJob(job); }

std::string CallDataReportRow(const std::string& line) {
  static constexpr std::size_t kPartOfColumn[] = {0, 1, 3, 2, 6, 5};
  std::vector<std::string> parts;
  for (std::size_t from = 0;;) {
    const std::size_t tab = line.find('\t', from);
    parts.push_back(line.substr(from, tab == std::string::npos ? std::string::npos : tab - from));
    if (tab == std::string::npos) break;
    from = tab + 1;
  }
  std::string row;
  for (std::size_t i = 0; i < std::size(kPartOfColumn); ++i) {
    if (i) row += '\t';
    if (kPartOfColumn[i] < parts.size()) row += parts[kPartOfColumn[i]];
  }
  return row;
}

void BeginReport(IReportPrinter& printer, std::uint16_t job, const char* document) {
  auto latex = [&](const std::string& s) { printer.LaTeX(job, s.c_str()); };
  printer.Sequence(job, MARPL_CMD_START_DOC, 0, MARPL_KIND_TEXT, document);
  latex("\\documentstyle[10pt,german,dina4]{article}");
  latex("\\rm");
  CGlobalConfig& cfg = GlobalConfig();
  auto page = [&](const char* command, int flag) {
    latex(plat::StrFormatC("\\%s{%s}", command, cfg.GetReportString(256, flag)));
  };
  page("oddsidemargin", kPageOddSideMargin);
  page("columnsep", kPageColumnSep);
  page("textwidth", kPageTextWidth);
  page("textheight", kPageTextHeight);
}

bool PrintCallDataReport(ICallDataSource& list, IReportPrinter& printer, plat::WindowId owner) {
  const std::uint16_t job = printer.Create(kDocument, MARPL_FILE_PRINTER, MARPL_KEEP_FILE);
  if (job == MARPL_NO_JOB) {
    GlobalLog().WriteEntry("Liste drucken: kein Druckauftrag frei, es wird nichts gedruckt.");
    return false;
  }
  // A cancelled dialog hands the job back: the library has only ten.
  if (printer.Configure(job, owner) != 1) {
    printer.Release(job);
    return false;
  }
  auto text = [&](std::uint16_t cmd, std::uint16_t sub, const std::string& s) {
    printer.Sequence(job, cmd, sub, MARPL_KIND_TEXT, s.c_str());
  };
  auto plain = [&](std::uint16_t cmd, std::uint16_t sub) { printer.Sequence(job, cmd, sub, MARPL_KIND_NONE, nullptr); };
  auto latex = [&](const std::string& s) { printer.LaTeX(job, s.c_str()); };

  BeginReport(printer, job, kDocument);

  const std::string title = list.GetReportText(0);
  text(MARPL_CMD_PAGE_HEADER, MARPL_SUB_HEADER_SET, title);
  latex("\\rm{12pt}");
  latex("\\bf");
  text(MARPL_CMD_TABBED_LINE, MARPL_SUB_DEFAULT, title);
  latex("\\rm");
  latex("\\vspace{4mm}");
  text(MARPL_CMD_TABBED_LINE, MARPL_SUB_DEFAULT, list.GetReportText(3));
  text(MARPL_CMD_TABBED_LINE, MARPL_SUB_DEFAULT, list.GetReportText(4));
  latex("\\vspace{4mm}");
  text(MARPL_CMD_BEGIN_TABLE, MARPL_SUB_HEADER_FROM_FORMAT, list.GetReportText(2));
  text(MARPL_CMD_TABLE_HEADER, MARPL_SUB_HEADER_READ, list.GetReportText(1));
  plain(MARPL_CMD_TABLE_LINE, 0);

  int n = 0;
  for (const std::string& line : ReadCallDataLines(list)) {
    text(MARPL_CMD_TABLE_ROW, MARPL_SUB_DEFAULT, CallDataReportRow(line));
    if (++n % kRowsPerBlock == 0) plain(MARPL_CMD_TABLE_LINE, 0);
  }

  plain(MARPL_CMD_TABLE_LINE, 0);
  plain(MARPL_CMD_TABLE_LINE, 0);
  plain(MARPL_CMD_END_TABLE, 0);
  plain(MARPL_CMD_END_DOC, 0);
  printer.Release(job);
  return true;
}
