// One report of the charge dialogs on a print job: the job is taken, the
// printer chosen, and every job taken is released again, printed or not.
// The library is reached through the report printer binding of the call
// data list, so that tests record the command stream.
#pragma once
#include <cstdint>
#include <string>

#include "charges/calldata/calldatareport.h"
#include "platform/win32types.h"

namespace chargedlg {

class PrintJob {
 public:
  // Takes a printer job named document and asks for the printer. Open()
  // is false when all jobs were in use or the dialog was cancelled.
  PrintJob(IReportPrinter& printer, const char* document, plat::WindowId owner);
  ~PrintJob();
  PrintJob(const PrintJob&) = delete;
  PrintJob& operator=(const PrintJob&) = delete;

  bool Open() const { return open_; }
  void Text(std::uint16_t command, std::uint16_t sub, const std::string& text);
  void Plain(std::uint16_t command, std::uint16_t sub = 0);
  void LaTeX(const std::string& text);
  // A tabbed line for each line of a text (CR LF or LF apart).
  void TabbedLines(const std::string& text);
  // Start of the document: its name, the document style, the roman font
  // and the page geometry of the configuration.
  void Begin();
  void Row(const std::string& text);  // a rule after every fifth row
  void End();                          // end of table and document
  // The table closed under a double rule, the total in bold below it, and
  // the end of the document.
  void EndWithTotal(const std::string& total);

 private:
  IReportPrinter& printer_;
  std::string document_;
  std::uint16_t job_ = 0xFFFF;
  bool open_ = false;
  int rows_ = 0;
};

}  // namespace chargedlg
