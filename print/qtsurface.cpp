// The engine's output through QPainter: one device unit is one device pixel
// at the printer's resolution; fonts are sized in pixels.
#include <QFont>
#include <QFontMetrics>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPen>
#include <QPrinter>
#include <algorithm>

#include "platform/printdlg.h"
#include "platform/qtext.h"
#include "print/surface.h"

namespace marpel {

const FontTemplate kFontTemplates[kTemplateCount] = {
    {"MS Serif", 400, 0x12, 1},      {"MS Sans Serif", 400, 0x22, 1}, {"System", 200, 0x22, 1},
    {"Courier", 400, 0x31, 1},       {"Fixedsys", 400, 0x31, 1},      {"Courier New", 400, 0x31, 3},
    {"MS Serif Slanted", 400, 0x12, 1},
};

namespace {

QFont MakeFont(const FontSpec& f) {
  const FontTemplate& t = kFontTemplates[f.tmpl >= 0 && f.tmpl < kTemplateCount ? f.tmpl : 0];
  const std::string_view face = t.face;
  QFont font;
  // The faces of the templates do not exist here; the generic family of the
  // face (and of the pitch-and-family byte) stands in.
  QFont::StyleHint hint = QFont::AnyStyle;
  switch (t.pitchAndFamily & 0xF0) {
    case 0x10: hint = QFont::Serif; break;
    case 0x20: hint = QFont::SansSerif; break;
    case 0x30: hint = QFont::TypeWriter; break;
    default: break;
  }
  if (face.starts_with("MS Serif")) {
    font.setFamily(QStringLiteral("serif"));
    hint = QFont::Serif;
  } else if (face == "MS Sans Serif" || face == "System") {
    font.setFamily(QStringLiteral("sans-serif"));
    hint = QFont::SansSerif;
  } else {
    font.setFamily(QStringLiteral("monospace"));
    hint = QFont::TypeWriter;
  }
  font.setStyleHint(hint, QFont::PreferOutline);
  if ((t.pitchAndFamily & 0x3) == 1) font.setFixedPitch(true);
  font.setPixelSize(std::max(1, f.height < 0 ? -f.height : f.height));
  font.setWeight(static_cast<QFont::Weight>(std::clamp(f.weight, 100, 900)));
  font.setItalic(f.italic);
  if (face == "MS Serif Slanted") font.setStyle(QFont::StyleOblique);
  font.setUnderline(f.underline);
  font.setKerning(false);
  return font;
}

class QtSurface : public Surface {
 public:
  explicit QtSurface(std::unique_ptr<QPagedPaintDevice> device)
      : device_(std::move(device)), metrics_(QFont(), device_.get()) {
    SetFont(FontSpec{});
  }
  ~QtSurface() override {
    if (painter_.isActive()) Abort();
  }

  DeviceInfo Info() const override {
    DeviceInfo d;
    d.width = device_->width();
    d.height = device_->height();
    d.dpiX = device_->logicalDpiX();
    d.dpiY = device_->logicalDpiY();
    d.depth = device_->depth();
    return d;
  }

  bool Begin(const std::string& name) override {
    if (painter_.isActive()) return false;
    if (auto* printer = dynamic_cast<QPrinter*>(device_.get())) plat::SetPrintDocument(*printer, name);
    else if (auto* pdf = dynamic_cast<QPdfWriter*>(device_.get())) pdf->setTitle(plat::ToQString(name));
    if (!painter_.begin(device_.get())) return false;
    painter_.setFont(font_);
    painter_.setPen(Qt::black);
    return true;
  }

  bool NewPage() override { return painter_.isActive() && device_->newPage(); }

  bool End() override { return painter_.isActive() && painter_.end(); }

  void Abort() override {
    if (auto* printer = dynamic_cast<QPrinter*>(device_.get())) printer->abort();
    if (painter_.isActive()) painter_.end();
  }

  void SetFont(const FontSpec& f) override {
    if (haveFont_ && f == spec_) return;
    spec_ = f;
    haveFont_ = true;
    font_ = MakeFont(f);
    metrics_ = QFontMetrics(font_, device_.get());
    if (painter_.isActive()) painter_.setFont(font_);
  }

  Extent TextExtent(std::string_view text) override {
    Extent e;
    e.cy = metrics_.height();
    if (!text.empty()) e.cx = metrics_.horizontalAdvance(plat::ToQString(std::string(text)));
    return e;
  }

  int AverageCharWidth() override { return metrics_.averageCharWidth(); }

  void Text(int x, int y, std::string_view text) override {
    if (!painter_.isActive() || text.empty()) return;
    // QPainter places the baseline; the engine names the cell's top.
    painter_.drawText(QPointF(x, static_cast<double>(y) + metrics_.ascent()),
                      plat::ToQString(std::string(text)));
  }

  void Rule(int x1, int x2, int y, int width) override {
    if (!painter_.isActive()) return;
    QPen pen(Qt::black, width);
    pen.setCapStyle(Qt::FlatCap);
    painter_.setPen(pen);
    painter_.drawLine(QLineF(x1, y + width / 2.0, x2, y + width / 2.0));
    painter_.setPen(Qt::black);
  }

 private:
  std::unique_ptr<QPagedPaintDevice> device_;
  QPainter painter_;
  QFont font_;
  QFontMetrics metrics_;
  FontSpec spec_;
  bool haveFont_ = false;
};

}  // namespace

std::unique_ptr<Surface> MakeQtSurface(std::unique_ptr<QPagedPaintDevice> device) {
  if (!device) return nullptr;
  return std::make_unique<QtSurface>(std::move(device));
}

}  // namespace marpel
