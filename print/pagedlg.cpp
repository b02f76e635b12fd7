#include "print/pagedlg.h"

#include <algorithm>
#include <cstring>

#include "platform/dialogkit/dialog.h"
#include "platform/messages.h"
#include "print/units.h"

namespace marpel {

const PageField kPageFieldTable[kPageFields] = {
    {0, 1001, MARPL_PP_TOPMARGIN},   {1, 1005, MARPL_PP_ODDSIDEMARGIN}, {2, 1007, MARPL_PP_EVENSIDEMARGIN},
    {3, 1009, MARPL_PP_HEADHEIGHT},  {4, 1011, MARPL_PP_HEADSEP},       {5, 1013, MARPL_PP_TOPSKIP},
    {6, 1015, MARPL_PP_FOOTHEIGHT},  {7, 1025, MARPL_PP_FOOTSKIP},      {8, 1017, MARPL_PP_TEXTHEIGHT},
    {9, 1019, MARPL_PP_TEXTWIDTH},   {10, 1023, MARPL_PP_PAGEHEIGHT},   {11, 1021, MARPL_PP_PAGEWIDTH},
};

const PageSize kPageSizeTable[kPageSizes] = {
    {"dina 3", "297.00 mm", "420.00 mm"},        {"dina 3 oblong", "420.00 mm", "297.00 mm"},
    {"dina 4", "210.00 mm", "297.00 mm"},        {"dina 4 oblong", "297.00 mm", "210.00 mm"},
    {"dina 5", "148.00 mm", "210.00 mm"},        {"dina 5 oblong", "210.00 mm", "148.00 mm"},
    {"user defined", "", ""},
};

namespace {

constexpr int kSizeBox = 1003, kPageWidth = 1021, kPageHeight = 1023;

class PageParamsDlg : public plat::Dialog {
 public:
  explicit PageParamsDlg(PAGEPARAMS* p) : Dialog(plat::dlg::kPrint, 102), p_(p) {}

 protected:
  bool OnInitDialog() override {
    if (p_->flags & MARPL_PP_NOPAGESIZE) EnableItem(kSizeBox, false);
    for (int i = 0; i < kPageFields; ++i) {
      const PageField& f = kPageFieldTable[i];
      shown_[i] = FieldText(MeasureAt(*p_, f.offset));
      SetItemText(f.control, shown_[i]);
      if (p_->flags & f.flag) EnableItem(f.control, false);
    }
    for (int i = 0; i < kPageSizes; ++i) SetItemData(kSizeBox, AddString(kSizeBox, kPageSizeTable[i].name), i);
    const std::string w = GetItemText(kPageWidth), h = GetItemText(kPageHeight);
    for (int i = 0; i < kPageSizes; ++i)
      if (w == kPageSizeTable[i].width && h == kPageSizeTable[i].height) {
        SetCurSel(kSizeBox, i);
        break;
      }
    return true;
  }

  bool OnCommand(int id, plat::Notify code) override {
    if (id != kSizeBox || code != plat::Notify::SelChange) return false;
    const int sel = GetCurSel(kSizeBox);
    if (sel < 0) return true;
    const std::int64_t i = GetItemData(kSizeBox, sel);
    if (i < 0 || i >= kPageSizes) return true;
    SetItemText(kPageWidth, kPageSizeTable[i].width);
    SetItemText(kPageHeight, kPageSizeTable[i].height);
    return true;
  }

  // Only the fields the user could change are stored; one left as shown
  // keeps its exact measure, and one without a number is not stored.
  void OnOK() override {
    for (int i = 0; i < kPageFields; ++i) {
      const PageField& f = kPageFieldTable[i];
      if (p_->flags & f.flag) continue;
      const std::string text = GetItemText(f.control);
      if (text == shown_[i]) continue;
      MARPLMEASURE m;
      if (ReadField(text, &m)) MeasureAt(*p_, f.offset) = m;
    }
    EndDialog(plat::IDOK);
  }

 private:
  PAGEPARAMS* p_;
  std::string shown_[kPageFields];
};

}  // namespace

MARPLMEASURE& MeasureAt(PAGEPARAMS& p, int offset) {
  MARPLMEASURE* all[kPageFields] = {&p.topMargin,  &p.oddSideMargin, &p.evenSideMargin, &p.headHeight,
                                    &p.headSep,    &p.topSkip,       &p.footHeight,     &p.footSkip,
                                    &p.textHeight, &p.textWidth,     &p.pageHeight,     &p.pageWidth};
  return *all[std::clamp(offset, 0, kPageFields - 1)];
}

std::string FieldText(const MARPLMEASURE& m) {
  if (m.unit > MARPL_UNIT_IN) return std::string();
  return FormatMeasure(static_cast<int>(m.unit), m.value);
}

bool ReadField(const std::string& text, MARPLMEASURE* out) {
  Measure m;
  if (!ReadMeasure(text, &m)) return false;
  out->unit = static_cast<std::uint32_t>(m.unit);
  out->value = static_cast<float>(std::clamp(m.value, -3.0e38, 3.0e38));
  return true;
}

std::uint16_t RunPageParamsDialog(PAGEPARAMS* params, plat::WindowId owner) {
  if (!params || !owner || !plat::IsTarget(owner)) return 0;
  PageParamsDlg dlg(params);
  return dlg.DoModal(owner) == plat::IDOK ? 1 : 0;
}

}  // namespace marpel
