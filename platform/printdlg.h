// The platform's print dialog behind one interface, so that tests answer it
// by script and a headless run prints to PDF files.
//
// Environment: PALOMIR_PRINT_TO_PDF=<folder> sends every document to
// "<folder>/<document name>.pdf" without showing a dialog.
#pragma once
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32types.h"

class QPrinter;

namespace plat {

inline constexpr const char* kPrintToPdfEnv = "PALOMIR_PRINT_TO_PDF";

class IPrintDialog {
 public:
  virtual ~IPrintDialog() = default;
  // The printer the user chose for a document (name Windows-1252), or null
  // when the user cancelled.
  virtual std::unique_ptr<QPrinter> Choose(WindowId owner, const std::string& documentName) = 0;
  // The system's default printer without asking, or null when there is none.
  virtual std::unique_ptr<QPrinter> DefaultPrinter(const std::string& documentName) = 0;
};

// The current implementation: the one set, else the PDF folder of the
// environment, else the Qt dialog over the system's printers.
IPrintDialog& PrintDialogImpl();
void SetPrintDialogImpl(IPrintDialog* impl);  // nullptr restores the default
std::unique_ptr<QPrinter> ChoosePrinter(WindowId owner, const std::string& documentName);
std::unique_ptr<QPrinter> DefaultPrinter(const std::string& documentName);

// A PDF printer: A4, 600 dpi, no margins, writing to path (UTF-8; empty:
// named later).
std::unique_ptr<QPrinter> MakePdfPrinter(const std::string& path);
// "<folder>/<name>.pdf" of a document name (Windows-1252), as a UTF-8 path;
// a name that is a path keeps its last part.
std::string PdfPathFor(const std::string& folder, const std::string& documentName);
// Names the document on the printer before it starts. A PDF printer without
// a file gets the one of the environment's folder.
void SetPrintDocument(QPrinter& printer, const std::string& documentName);

// For tests: records each request and answers with the queued printers in
// order; a cancel, or none left, answers null.
class ScriptedPrintDialog : public IPrintDialog {
 public:
  struct Asked {
    WindowId owner = 0;
    std::string documentName;
    bool dialog = false;  // Choose; false: DefaultPrinter
  };
  ScriptedPrintDialog();
  ~ScriptedPrintDialog() override;
  std::unique_ptr<QPrinter> Choose(WindowId owner, const std::string& documentName) override;
  std::unique_ptr<QPrinter> DefaultPrinter(const std::string& documentName) override;

  void QueuePdf(const std::string& path);
  void QueuePrinter(std::unique_ptr<QPrinter> printer);
  void QueueCancel();
  std::vector<Asked> asked;

 private:
  std::unique_ptr<QPrinter> Next();
  std::deque<std::unique_ptr<QPrinter>> answers_;  // null: cancel
};

// QPrintDialog over the printers the system knows (CUPS) and print to PDF.
class QtPrintDialog : public IPrintDialog {
 public:
  std::unique_ptr<QPrinter> Choose(WindowId owner, const std::string& documentName) override;
  std::unique_ptr<QPrinter> DefaultPrinter(const std::string& documentName) override;
};

// Every document to "<folder>/<document name>.pdf", no dialog.
class PdfFolderPrintDialog : public IPrintDialog {
 public:
  explicit PdfFolderPrintDialog(std::string folder) : folder_(std::move(folder)) {}
  std::unique_ptr<QPrinter> Choose(WindowId owner, const std::string& documentName) override;
  std::unique_ptr<QPrinter> DefaultPrinter(const std::string& documentName) override;

 private:
  std::string folder_;
};

}  // namespace plat
