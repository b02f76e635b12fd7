// A text file of any bytes printed through MARPLAPIPrintFile on the default
// printer (a PDF file here): every input ends in one whole document, and
// the printer is used up by it.
#include <QGuiApplication>
#include <QPageSize>
#include <QPrinter>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "fuzz/offscreen.h"
#include "fuzz/scratch.h"
#include "platform/printdlg.h"
#include "print/jobs.h"
#include "print/marpel32.h"

namespace {

constexpr std::size_t kMaxBytes = 2048;

struct PdfDefault : plat::IPrintDialog {
  std::string path;
  std::unique_ptr<QPrinter> Choose(plat::WindowId, const std::string&) override { return nullptr; }
  // The tallest page: a file of short lines breaks few pages, and each
  // finished page costs its compression.
  std::unique_ptr<QPrinter> DefaultPrinter(const std::string&) override {
    auto p = plat::MakePdfPrinter(path);
    p->setPageSize(QPageSize(QPageSize::A0));
    return p;
  }
};

std::size_t Count(const std::string& s, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) ++n;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Longer files only add pages of the same lines, and every page costs its
  // compression.
  size = std::min<std::size_t>(size, kMaxBytes);
  fuzzapp::Offscreen<QGuiApplication>("fuzz");
  static PdfDefault printer;
  static const std::string text = fuzzscratch::File("printfile.txt");
  printer.path = fuzzscratch::File("printfile.pdf");
  plat::SetPrintDialogImpl(&printer);
  {
    std::ofstream f(text, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  std::remove(printer.path.c_str());
  marpel::ResetLibrary();
  if (MARPLAPIConfigPrintJob(0) != 1) std::abort();
  if (MARPLAPIPrintFile(text.c_str(), 0) != 1) std::abort();
  if (MARPLAPIPrintFile(text.c_str(), 0) != 0) std::abort();  // the printer went with the document
  std::ifstream in(printer.path, std::ios::binary);
  const std::string pdf((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (pdf.compare(0, 5, "%PDF-") != 0 || pdf.find("%%EOF", pdf.size() > 16 ? pdf.size() - 16 : 0) == std::string::npos)
    std::abort();
  // One page at least, and no more than the lines (of at most 127 bytes) allow.
  const std::size_t pages = Count(pdf, "/Type /Page") - Count(pdf, "/Type /Pages");
  if (pages < 1 || pages > 2 + size) std::abort();
  plat::SetPrintDialogImpl(nullptr);
  return 0;
}
