// What the page engine draws on: a printer, a PDF in memory, or a recorder
// in the tests. Positions are device units; a text's position is the top
// left of its cell.
#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "print/units.h"

class QPagedPaintDevice;

namespace marpel {

// The font templates of the engine.
struct FontTemplate {
  const char* face;
  int weight;
  int pitchAndFamily;
  int outPrecision;
};
inline constexpr int kTemplateCount = 7;
extern const FontTemplate kFontTemplates[kTemplateCount];

// A created font: negative height is the character height (the em), as the
// platform's font records have it.
struct FontSpec {
  int tmpl = 0;
  int height = -13;
  int weight = 400;
  bool italic = false, underline = false;
  bool operator==(const FontSpec&) const = default;
};

struct Extent {
  int cx = 0, cy = 0;
};

struct DeviceInfo {
  int width = 0, height = 0;  // device units
  double dpiX = 0, dpiY = 0;  // dots per inch
  int depth = 0;              // bits per pixel
  Resolution Res() const {
    Resolution r;
    r.perMmX = dpiX / 25.4;
    r.perMmY = dpiY / 25.4;
    r.width = width;
    r.height = height;
    return r;
  }
};

class Surface {
 public:
  virtual ~Surface() = default;
  virtual DeviceInfo Info() const = 0;
  // The document and its first page; false when it cannot start.
  virtual bool Begin(const std::string& documentName) = 0;
  virtual bool NewPage() = 0;
  virtual bool End() = 0;
  // Ends an unfinished document without printing it.
  virtual void Abort() = 0;
  virtual void SetFont(const FontSpec& font) = 0;
  // With the font set; the height is the font's line height even for "".
  virtual Extent TextExtent(std::string_view text) = 0;
  virtual int AverageCharWidth() = 0;
  virtual void Text(int x, int y, std::string_view text) = 0;
  // A horizontal rule that fills y to y + width.
  virtual void Rule(int x1, int x2, int y, int width) = 0;
};

// Over a printer or a PDF writer. The surface owns the device.
std::unique_ptr<Surface> MakeQtSurface(std::unique_ptr<QPagedPaintDevice> device);

}  // namespace marpel
