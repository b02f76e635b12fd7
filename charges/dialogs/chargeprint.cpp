#include "charges/dialogs/chargeprint.h"

#include "core/base/globallog.h"
#include "platform/text.h"
#include "print/marpel32.h"

namespace chargedlg {

namespace {
constexpr int kRowsPerBlock = 5;
}  // namespace

PrintJob::PrintJob(IReportPrinter& printer, const char* document, plat::WindowId owner)
    : printer_(printer), document_(document) {
  job_ = printer_.Create(document, MARPL_FILE_PRINTER, MARPL_KEEP_FILE);
  if (job_ == MARPL_NO_JOB) {
    GlobalLog().WriteEntry(plat::StrFormatC("%s: kein Druckauftrag frei, es wird nichts gedruckt.", document).c_str());
    return;
  }
  open_ = printer_.Configure(job_, owner) == 1;
}

PrintJob::~PrintJob() {
  if (job_ != MARPL_NO_JOB) printer_.Release(job_);
}

void PrintJob::Text(std::uint16_t command, std::uint16_t sub, const std::string& text) {
  if (open_) printer_.Sequence(job_, command, sub, MARPL_KIND_TEXT, text.c_str());
}

void PrintJob::Plain(std::uint16_t command, std::uint16_t sub) {
  if (open_) printer_.Sequence(job_, command, sub, MARPL_KIND_NONE, nullptr);
}

void PrintJob::LaTeX(const std::string& text) {
  if (open_) printer_.LaTeX(job_, text.c_str());
}

void PrintJob::TabbedLines(const std::string& text) {
  std::size_t from = 0;
  while (from <= text.size()) {
    std::size_t end = text.find('\n', from);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(from, end - from);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!(end == text.size() && line.empty() && from != 0)) Text(MARPL_CMD_TABBED_LINE, MARPL_SUB_DEFAULT, line);
    from = end + 1;
  }
}

void PrintJob::Begin() {
  if (open_) BeginReport(printer_, job_, document_.c_str());
}

void PrintJob::Row(const std::string& text) {
  Text(MARPL_CMD_TABLE_ROW, MARPL_SUB_DEFAULT, text);
  if (++rows_ % kRowsPerBlock == 0) Plain(MARPL_CMD_TABLE_LINE);
}

void PrintJob::End() {
  Plain(MARPL_CMD_END_TABLE);
  Plain(MARPL_CMD_END_DOC);
}

void PrintJob::EndWithTotal(const std::string& total) {
  Plain(MARPL_CMD_TABLE_LINE);
  Plain(MARPL_CMD_TABLE_LINE);
  Plain(MARPL_CMD_END_TABLE);
  LaTeX("\\vspace{4mm}");
  LaTeX("\\bf");
  Text(MARPL_CMD_TABBED_LINE, MARPL_SUB_DEFAULT, total);
  Plain(MARPL_CMD_END_DOC);
}

}  // namespace chargedlg
