#include "platform/printdlg.h"

#include <QApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/qtext.h"
#include "platform/qtmodal.h"
#include "platform/text.h"

namespace plat {
namespace {

std::atomic<IPrintDialog*> g_impl{nullptr};

const char* PdfFolder() {
  const char* f = std::getenv(kPrintToPdfEnv);
  return f && *f ? f : nullptr;
}

}  // namespace

std::unique_ptr<QPrinter> MakePdfPrinter(const std::string& path) {
  auto p = std::make_unique<QPrinter>(QPrinter::HighResolution);
  p->setOutputFormat(QPrinter::PdfFormat);
  p->setOutputFileName(QString::fromLocal8Bit(path.c_str()));
  p->setResolution(600);
  p->setPageSize(QPageSize(QPageSize::A4));
  p->setPageOrientation(QPageLayout::Portrait);
  p->setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
  p->setFullPage(true);
  return p;
}

std::string PdfPathFor(const std::string& folder, const std::string& documentName) {
  std::string name = documentName;
  if (auto cut = name.find_last_of("/\\"); cut != std::string::npos) name.erase(0, cut + 1);
  if (name.empty()) name = "Marpel";
  std::string dir = folder;
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir + "/" + Cp1252ToUtf8(name) + ".pdf";
}

void SetPrintDocument(QPrinter& printer, const std::string& documentName) {
  printer.setDocName(ToQString(documentName));
  if (printer.outputFormat() == QPrinter::PdfFormat && printer.outputFileName().isEmpty()) {
    if (const char* folder = PdfFolder())
      printer.setOutputFileName(QString::fromLocal8Bit(PdfPathFor(folder, documentName).c_str()));
  }
}

// --- scripted ---

ScriptedPrintDialog::ScriptedPrintDialog() = default;
ScriptedPrintDialog::~ScriptedPrintDialog() = default;

std::unique_ptr<QPrinter> ScriptedPrintDialog::Next() {
  if (answers_.empty()) return nullptr;
  std::unique_ptr<QPrinter> p = std::move(answers_.front());
  answers_.pop_front();
  return p;
}

std::unique_ptr<QPrinter> ScriptedPrintDialog::Choose(WindowId owner, const std::string& documentName) {
  asked.push_back(Asked{owner, documentName, true});
  return Next();
}

std::unique_ptr<QPrinter> ScriptedPrintDialog::DefaultPrinter(const std::string& documentName) {
  asked.push_back(Asked{0, documentName, false});
  return Next();
}

void ScriptedPrintDialog::QueuePdf(const std::string& path) { answers_.push_back(MakePdfPrinter(path)); }
void ScriptedPrintDialog::QueuePrinter(std::unique_ptr<QPrinter> printer) { answers_.push_back(std::move(printer)); }
void ScriptedPrintDialog::QueueCancel() { answers_.push_back(nullptr); }

// --- Qt ---

std::unique_ptr<QPrinter> QtPrintDialog::Choose(WindowId, const std::string& documentName) {
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return nullptr;
  auto p = std::make_unique<QPrinter>(QPrinter::HighResolution);
  p->setDocName(ToQString(documentName));
  QPrintDialog d(p.get(), QApplication::activeWindow());
  d.setObjectName(QStringLiteral("printdialog"));
  d.setOption(QAbstractPrintDialog::PrintSelection, false);
  d.setOption(QAbstractPrintDialog::PrintPageRange, false);
  if (ExecModal(d) != QDialog::Accepted) return nullptr;
  return p;
}

std::unique_ptr<QPrinter> QtPrintDialog::DefaultPrinter(const std::string& documentName) {
  QPrinterInfo info = QPrinterInfo::defaultPrinter();
  if (info.isNull()) return nullptr;
  auto p = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
  p->setDocName(ToQString(documentName));
  return p;
}

// --- PDF folder ---

std::unique_ptr<QPrinter> PdfFolderPrintDialog::Choose(WindowId, const std::string& documentName) {
  return DefaultPrinter(documentName);
}

std::unique_ptr<QPrinter> PdfFolderPrintDialog::DefaultPrinter(const std::string& documentName) {
  // Without a name yet, the file is named when the document starts.
  auto p = MakePdfPrinter(documentName.empty() ? std::string() : PdfPathFor(folder_, documentName));
  p->setDocName(ToQString(documentName));
  return p;
}

IPrintDialog& PrintDialogImpl() {
  if (IPrintDialog* set = g_impl.load()) return *set;
  if (const char* folder = PdfFolder()) {
    // A caller may still hold one chosen for an earlier folder: each is kept.
    static std::vector<std::unique_ptr<PdfFolderPrintDialog>> kept;
    static std::string current;
    if (kept.empty() || current != folder) {
      current = folder;
      kept.push_back(std::make_unique<PdfFolderPrintDialog>(current));
    }
    return *kept.back();
  }
  static QtPrintDialog qt;
  return qt;
}

void SetPrintDialogImpl(IPrintDialog* impl) { g_impl.store(impl); }

std::unique_ptr<QPrinter> ChoosePrinter(WindowId owner, const std::string& documentName) {
  return PrintDialogImpl().Choose(owner, documentName);
}

std::unique_ptr<QPrinter> DefaultPrinter(const std::string& documentName) {
  return PrintDialogImpl().DefaultPrinter(documentName);
}

}  // namespace plat
