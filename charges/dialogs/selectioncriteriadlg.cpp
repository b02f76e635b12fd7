#include "charges/dialogs/selectioncriteriadlg.h"

#include <QListWidget>

#include <ctime>
#include <string>

#include "charges/handler/chargeandloghandler.h"
#include "core/monitor/monitortable.h"
#include "platform/text.h"

namespace {

enum Deferred { kBadDate = 1 };
constexpr int kFrom[5] = {CSelectionCriteriaDlg::IDC_FROM_DAY, CSelectionCriteriaDlg::IDC_FROM_MONTH,
                          CSelectionCriteriaDlg::IDC_FROM_YEAR, CSelectionCriteriaDlg::IDC_FROM_HOUR,
                          CSelectionCriteriaDlg::IDC_FROM_MINUTE};
constexpr int kTo[5] = {CSelectionCriteriaDlg::IDC_TO_DAY, CSelectionCriteriaDlg::IDC_TO_MONTH,
                        CSelectionCriteriaDlg::IDC_TO_YEAR, CSelectionCriteriaDlg::IDC_TO_HOUR,
                        CSelectionCriteriaDlg::IDC_TO_MINUTE};
const int* Boxes(int first) { return first == CSelectionCriteriaDlg::IDC_FROM_DAY ? kFrom : kTo; }

std::int32_t ParamOf(CChargeAndLogHandler& h, int id) {
  const void* p = h.GetParameter(id);
  return p ? *static_cast<const std::int32_t*>(p) : 0;
}

}  // namespace

CSelectionCriteriaDlg::CSelectionCriteriaDlg(CChargeAndLogHandler* handler, CMonitorTable* monitors)
    : CListDialog(plat::dlg::kProgram, kResourceId), handler_(handler), monitors_(monitors) {}

static QListWidget* ListOf(plat::Dialog& d) { return qobject_cast<QListWidget*>(d.Item(CSelectionCriteriaDlg::IDC_LIST)); }

bool CSelectionCriteriaDlg::OnInitDialog() {
  if (QListWidget* l = ListOf(*this)) {
    l->setSelectionMode(QAbstractItemView::MultiSelection);
    QObject::connect(l, &QListWidget::itemSelectionChanged, l, [this] { UpdateCount(); });
  }
  std::int32_t flags[kEntries] = {};
  if (handler_) handler_->GetExtensionFlags(kEntries, flags);
  for (int i = 0; i < kEntries; ++i) {
    const CMonitorEntry* e = monitors_ ? monitors_->EntryAt(i) : nullptr;
    const std::string text = e && e->number[0] ? std::string(e->number) : plat::StrFormatC("%d", i + 10);
    const int at = AddString(IDC_LIST, text);
    SetItemData(IDC_LIST, at, i);
  }
  FillBoxes();
  if (handler_) {
    // By the kept indexes: an entry listed as its index + 10 has no number
    // that the handler could look up.
    for (int i = 0; i < kEntries; ++i) SetEntrySelected(i, flags[i] != 0);
    CheckButton(IDC_SHOW_NUMBERS, handler_->GetShowNumbers() ? 1 : 0);
    CheckButton(IDC_DURATION_ON, ParamOf(*handler_, 12) ? 1 : 0);
    CheckButton(IDC_CHARGE_ON, ParamOf(*handler_, 13) ? 1 : 0);
    CheckButton(IDC_EXTENSIONS_ON, ParamOf(*handler_, 11) ? 1 : 0);
    CheckButton(IDC_PERIOD_ON, ParamOf(*handler_, 9) ? 1 : 0);
    SetItemText(IDC_MIN_DURATION, plat::StrFormatC("%d", static_cast<int>(ParamOf(*handler_, 6))));
    SetItemText(IDC_MIN_CHARGE, handler_->GetMinUnitsText(1));
    std::uint32_t from = 0, to = 0;
    handler_->GetTimeRange(&from, &to);
    ShowTime(IDC_FROM_DAY, from);
    ShowTime(IDC_TO_DAY, from ? to : 0);
  }
  UpdateCount();
  return true;
}

void CSelectionCriteriaDlg::FillBoxes() {
  auto fill = [this](int id, int first, int last, const char* fmt) {
    AddString(id, "");
    for (int v = first; v <= last; ++v) AddString(id, plat::StrFormatC(fmt, v));
  };
  for (const int* b : {kFrom, kTo}) {
    fill(b[0], 1, 31, "%02i");
    fill(b[1], 1, 12, "%02i");
    fill(b[2], kFirstYear, kLastYear, "%i");
    fill(b[3], 0, 23, "%02i");
    fill(b[4], 0, 59, "%02i");
  }
}

void CSelectionCriteriaDlg::ShowTime(int first, std::uint32_t t) {
  const int* b = Boxes(first);
  std::tm tm{};
  const std::time_t tt = static_cast<std::time_t>(t);
  if (t == 0 || !localtime_r(&tt, &tm) || tm.tm_year + 1900 < kFirstYear || tm.tm_year + 1900 > kLastYear) {
    for (int i = 0; i < 5; ++i) SetCurSel(b[i], 0);
    return;
  }
  SetCurSel(b[0], tm.tm_mday);
  SetCurSel(b[1], tm.tm_mon + 1);
  SetCurSel(b[2], tm.tm_year + 1900 - kFirstYear + 1);
  SetCurSel(b[3], tm.tm_hour + 1);
  SetCurSel(b[4], tm.tm_min + 1);
}

bool CSelectionCriteriaDlg::ReadTime(int first, std::uint32_t* out) {
  const int* b = Boxes(first);
  *out = 0;
  const int day = GetCurSel(b[0]), month = GetCurSel(b[1]), year = GetCurSel(b[2]);
  if (day <= 0 || month <= 0 || year <= 0) return true;  // no time
  std::tm tm{};
  tm.tm_mday = day;
  tm.tm_mon = month - 1;
  tm.tm_year = kFirstYear + year - 1 - 1900;
  tm.tm_hour = std::max(0, GetCurSel(b[3]) - 1);
  tm.tm_min = std::max(0, GetCurSel(b[4]) - 1);
  // The end of a period takes in its whole last minute.
  tm.tm_sec = first == IDC_TO_DAY ? 59 : 0;
  tm.tm_isdst = -1;
  std::tm asked = tm;
  const std::time_t t = std::mktime(&tm);
  // mktime moves a 31st of February into March: that is not what was asked.
  if (t == static_cast<std::time_t>(-1) || tm.tm_mday != asked.tm_mday || tm.tm_mon != asked.tm_mon ||
      tm.tm_year != asked.tm_year || t < 0 || t > static_cast<std::time_t>(UINT32_MAX))
    return false;
  *out = static_cast<std::uint32_t>(t);
  return true;
}

void CSelectionCriteriaDlg::SetEntrySelected(int entry, bool on) {
  QListWidget* l = ListOf(*this);
  if (!l || entry < 0 || entry >= l->count()) return;
  l->item(entry)->setSelected(on);
}

std::vector<int> CSelectionCriteriaDlg::SelectedEntries() const {
  std::vector<int> out;
  QListWidget* l = qobject_cast<QListWidget*>(Item(IDC_LIST));
  if (!l) return out;
  for (int i = 0; i < l->count(); ++i)
    if (l->item(i)->isSelected()) out.push_back(static_cast<int>(GetItemData(IDC_LIST, i)));
  return out;
}

void CSelectionCriteriaDlg::UpdateCount() {
  SetItemText(IDC_COUNT, plat::StrFormatC("%d", static_cast<int>(SelectedEntries().size())));
}

bool CSelectionCriteriaDlg::OnCommand(int id, plat::Notify code) {
  if (id == IDC_ALL && code == plat::Notify::Clicked) {
    const bool all = IsChecked(IDC_ALL) != 0;
    for (int i = 0; i < kEntries; ++i) SetEntrySelected(i, all);
    UpdateCount();
    return true;
  }
  if (id == IDC_LIST && code == plat::Notify::SelChange) {
    UpdateCount();
    return true;
  }
  return false;
}

void CSelectionCriteriaDlg::OnOK() {
  std::uint32_t from = 0, to = 0;
  // Nothing is taken while a date is wrong: the user corrects it first.
  if (!ReadTime(IDC_FROM_DAY, &from)) return Defer(kBadDate, IDC_FROM_DAY);
  if (!ReadTime(IDC_TO_DAY, &to)) return Defer(kBadDate, IDC_TO_DAY);
  if (!handler_) return EndDialog(plat::IDOK);
  CChargeAndLogHandler& h = *handler_;
  if (IsChecked(IDC_ALL)) {
    h.SelectExtension("*", 1);
  } else {
    h.SelectExtension("-", 0);
    std::int32_t flags[kEntries] = {};
    for (int i : SelectedEntries())
      if (i >= 0 && i < kEntries) flags[i] = 1;
    h.SetExtensionFlags(kEntries, flags);
  }
  h.SetShowNumbers(IsChecked(IDC_SHOW_NUMBERS));
  auto set = [&h](int id, std::int32_t v) { h.SetParameter(id, &v); };
  set(12, IsChecked(IDC_DURATION_ON));
  set(13, IsChecked(IDC_CHARGE_ON));
  set(11, IsChecked(IDC_EXTENSIONS_ON));
  set(9, IsChecked(IDC_PERIOD_ON));
  set(6, std::max(0, plat::AtoiC(GetItemText(IDC_MIN_DURATION).c_str())));
  h.SetTimeRange(from, to);
  h.SetMinUnits(1, GetItemText(IDC_MIN_CHARGE).c_str());
  EndDialog(plat::IDOK);
}

void CSelectionCriteriaDlg::OnDeferred(int action, std::int64_t arg) {
  if (action != kBadDate) return;
  Box(plat::TextId(29, 15), plat::MB_OK | plat::MB_ICONWARNING);
  SetFocusItem(static_cast<int>(arg));
}
