// A surface that records what the engine draws, with simple metrics: a
// character is half the font's height wide, a line 5/4 of it high.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "print/surface.h"

namespace printtest {

struct Op {
  enum Kind { kBegin, kText, kRule, kNewPage, kEnd, kAbort } kind;
  int page = 0;
  int x = 0, y = 0, x2 = 0, width = 0;  // rule: x to x2 at y, width
  std::string text;
  marpel::FontSpec font;
};

struct Record {
  std::vector<Op> ops;
  int destroyed = 0;
  int aborted = 0;
  std::vector<marpel::FontSpec> fonts;  // every font set
  std::vector<Op> Texts(int page = 0) const {
    std::vector<Op> out;
    for (const Op& o : ops)
      if (o.kind == Op::kText && (page == 0 || o.page == page)) out.push_back(o);
    return out;
  }
  std::vector<Op> Rules(int page = 0) const {
    std::vector<Op> out;
    for (const Op& o : ops)
      if (o.kind == Op::kRule && (page == 0 || o.page == page)) out.push_back(o);
    return out;
  }
  const Op* FindText(const std::string& t, int nth = 0) const {
    for (const Op& o : ops)
      if (o.kind == Op::kText && o.text == t && nth-- == 0) return &o;
    return nullptr;
  }
  int Pages() const {
    int p = 0;
    for (const Op& o : ops) p = std::max(p, o.page);
    return p;
  }
};

class RecordingSurface : public marpel::Surface {
 public:
  // width x height device units at dpiX x dpiY.
  RecordingSurface(std::shared_ptr<Record> rec, int width, int height, double dpiX, double dpiY)
      : rec_(std::move(rec)) {
    info_.width = width;
    info_.height = height;
    info_.dpiX = dpiX;
    info_.dpiY = dpiY;
    info_.depth = 24;
  }
  ~RecordingSurface() override { ++rec_->destroyed; }
  bool failBegin = false;

  marpel::DeviceInfo Info() const override { return info_; }
  bool Begin(const std::string& name) override {
    if (failBegin) return false;
    page_ = 1;
    Push(Op::kBegin).text = name;
    return true;
  }
  bool NewPage() override {
    ++page_;
    Push(Op::kNewPage);
    return true;
  }
  bool End() override {
    Push(Op::kEnd);
    page_ = 0;
    return true;
  }
  void Abort() override {
    if (page_) ++rec_->aborted;
    page_ = 0;
  }
  void SetFont(const marpel::FontSpec& f) override {
    font_ = f;
    rec_->fonts.push_back(f);
  }
  int H() const { return font_.height < 0 ? -font_.height : font_.height; }
  marpel::Extent TextExtent(std::string_view text) override {
    return {static_cast<int>(text.size()) * (H() / 2), H() + H() / 4};
  }
  int AverageCharWidth() override { return H() / 2; }
  void Text(int x, int y, std::string_view text) override {
    if (!page_ || text.empty()) return;
    Op& o = Push(Op::kText);
    o.x = x;
    o.y = y;
    o.text = std::string(text);
    o.x2 = x + TextExtent(text).cx;
    o.width = TextExtent(text).cy;  // the cell's height
  }
  void Rule(int x1, int x2, int y, int width) override {
    if (!page_) return;
    Op& o = Push(Op::kRule);
    o.x = x1;
    o.x2 = x2;
    o.y = y;
    o.width = width;
  }

 private:
  Op& Push(Op::Kind k) {
    rec_->ops.push_back(Op{k, page_, 0, 0, 0, 0, {}, font_});
    return rec_->ops.back();
  }
  std::shared_ptr<Record> rec_;
  marpel::DeviceInfo info_;
  marpel::FontSpec font_;
  int page_ = 0;
};

}  // namespace printtest
