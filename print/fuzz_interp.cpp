// Bytes decoded into export calls on one printer job bound to a PDF in
// memory. A record is [op][a][b][n][n bytes]:
//   op%6 0: MARPLAPISetSequence(job, a, b, 5, text)
//        1: MARPLAPISetSequence(job, a, b, n%7, 64 numbers of the bytes)
//        2: a wrapper (a%8) with the text
//        3: device caps (a | b<<8) and the text's extent (a%3)
//        4: MARPLAPIConvertUnit from a%6 to b%6 of a float of the bytes
//        5: release and take the job again (layouts stay), or end the table
#include <QBuffer>
#include <QGuiApplication>
#include <QPageSize>
#include <QPdfWriter>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/offscreen.h"
#include "print/jobs.h"
#include "print/marpel32.h"
#include "print/surface.h"

namespace {

// The engine sees every job and page break, but only the first job of an
// input, its first pages, and only for one input length in four, reach the
// PDF writer: each finished page and font is compressed through buffers of
// megabytes, and the inputs would spend their time there, not in the
// engine. The other jobs and pages are measured with the same fonts and
// device, and not drawn.
class Sink : public marpel::Surface {
 public:
  Sink(std::unique_ptr<marpel::Surface> inner, bool draw) : inner_(std::move(inner)), draw_(draw) {}
  marpel::DeviceInfo Info() const override { return inner_->Info(); }
  bool Begin(const std::string& name) override {
    if (active_) return false;
    active_ = !draw_ || inner_->Begin(name);
    return active_;
  }
  bool NewPage() override {
    if (!active_) return false;
    return ++pages_ >= kPages || !draw_ || inner_->NewPage();
  }
  bool End() override {
    if (!active_) return false;
    active_ = false;
    return !draw_ || inner_->End();
  }
  void Abort() override {
    active_ = false;
    if (draw_) inner_->Abort();
  }
  void SetFont(const marpel::FontSpec& font) override { inner_->SetFont(font); }
  marpel::Extent TextExtent(std::string_view text) override { return inner_->TextExtent(text); }
  int AverageCharWidth() override { return inner_->AverageCharWidth(); }
  void Text(int x, int y, std::string_view text) override {
    if (Drawn()) inner_->Text(x, y, text);
  }
  void Rule(int x1, int x2, int y, int width) override {
    if (Drawn()) inner_->Rule(x1, x2, y, width);
  }

 private:
  static constexpr int kPages = 2;
  bool Drawn() const { return draw_ && pages_ < kPages; }
  std::unique_ptr<marpel::Surface> inner_;
  bool draw_;
  bool active_ = false;
  int pages_ = 0;
};

std::uint16_t NewJob(QBuffer& pdf, bool draw) {
  const std::uint16_t job = MARPLAPICreatePrintFile("Report.log", MARPL_FILE_PRINTER, MARPL_KEEP_FILE);
  if (job == MARPL_NO_JOB) return job;
  auto writer = std::make_unique<QPdfWriter>(&pdf);
  writer->setResolution(300);
  writer->setPageSize(QPageSize(QPageSize::A4));
  writer->setPageMargins(QMarginsF(0, 0, 0, 0));
  marpel::BindSurface(*marpel::FindJob(job), std::make_unique<Sink>(marpel::MakeQtSurface(std::move(writer)), draw));
  return job;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzapp::Offscreen<QGuiApplication>("fuzz");
  marpel::ResetLibrary();
  QBuffer pdf;
  pdf.open(QIODevice::WriteOnly);
  std::uint16_t job = NewJob(pdf, size % 4 == 0);
  std::size_t i = 0;
  int records = 0;
  while (i + 4 <= size && records++ < 400) {
    const std::uint8_t op = data[i], a = data[i + 1], b = data[i + 2];
    std::size_t n = data[i + 3];
    i += 4;
    if (n > size - i) n = size - i;
    const std::string text(reinterpret_cast<const char*>(data + i), n);
    std::int32_t numbers[64];
    for (int k = 0; k < 64; ++k) numbers[k] = (b & 1) ? -1 : k * 37;
    std::memcpy(numbers, data + i, std::min<std::size_t>(n, sizeof numbers));
    i += n;
    switch (op % 6) {
      case 0: MARPLAPISetSequence(job, a, b, (n & 1) ? MARPL_KIND_TEXT6 : MARPL_KIND_TEXT, text.c_str()); break;
      // Text kinds (5, 6) take a zero-terminated text, which the numbers are
      // not: case 0 gives those.
      case 1: MARPLAPISetSequence(job, a, b, static_cast<std::uint16_t>(n % 5), n % 5 ? numbers : nullptr); break;
      case 2:
        switch (a % 8) {
          case 0: MARPLAPISetLaTeXCommand(job, text.c_str()); break;
          case 1: MARPLAPISetPageHeader(job, text.c_str()); break;
          case 2: MARPLAPISetPageStyle(job, text.c_str()); break;
          case 3: MARPLAPIBeginTable(job, text.c_str()); break;
          case 4: MARPLAPITableHeader(job, text.c_str()); break;
          case 5: MARPLAPITableEntry(job, text.c_str()); break;
          case 6: MARPLAPITableLine(job, text.c_str()); break;
          default: MARPLAPITabbedText(job, text.c_str()); break;
        }
        break;
      case 3:
        MARPLAPIGetDeviceContextCaps(job, static_cast<std::uint16_t>(a | (b << 8)));
        MARPLAPIGetDeviceContextDimension(job, a % 3, text.c_str());
        break;
      case 4: {
        float v = 0;
        std::memcpy(&v, numbers, sizeof v);
        MARPLMEASURE m{static_cast<std::uint32_t>(b % 6), 0};
        MARPLAPIConvertUnit(job, a % 6, v, &m);
        break;
      }
      default:
        if (a & 1) {
          MARPLAPIReleasePrintJob(job);
          job = NewJob(pdf, false);
        } else {
          MARPLAPIEndTable(job);
        }
        break;
    }
  }
  MARPLAPIReleasePrintJob(job);
  return 0;
}
