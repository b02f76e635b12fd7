#include "charges/dialogs/extensioninfodlg.h"

#include <limits>

#include "charges/counter/sumchargerecords.h"
#include "charges/handler/chargetime.h"
#include "core/monitor/monitortable.h"
#include "libs/dialogs/kestrum.h"
#include "platform/text.h"

namespace {

enum Deferred { kChooseCheckIn = 1 };
constexpr int kFieldName = 3, kFieldWatchMode = 5;

std::string MonitorField(CMonitorTable* monitors, const std::string& number, int field) {
  char buf[128] = {};
  if (!monitors || monitors->GetField(number.c_str(), field, buf, sizeof buf, 0) != 0) return {};
  return buf;
}

}  // namespace

CExtensionInfoDlg::CExtensionInfoDlg(SumChargeExtension& extension, CMonitorTable* monitors)
    : CListDialog(plat::dlg::kProgram, kResourceId), ext_(extension), monitors_(monitors),
      checkIn_(extension.lastReset) {}

std::string CExtensionInfoDlg::CheckInText(std::int32_t t) {
  if (t <= 0) return {};
  std::string s = FormatChargeTime(static_cast<std::uint32_t>(t), kCheckInPattern);
  if (s.size() > kMaxCheckInText) s.resize(kMaxCheckInText);
  return s;
}

bool CExtensionInfoDlg::OnInitDialog() {
  SetItemText(IDC_DESCRIPTION, MonitorField(monitors_, ext_.number, kFieldName));
  SetItemText(IDC_NAME, ext_.name);
  SetItemText(IDC_CHECKIN, CheckInText(checkIn_));
  SetItemText(IDC_CHECKOUT, "");
  SetItemText(IDC_NOTE, ext_.comment);
  CheckButton(IDC_CSTA, plat::AtolC(MonitorField(monitors_, ext_.number, kFieldWatchMode).c_str()) ? 1 : 0);
  CheckButton(IDC_SHOW_CHECKIN, ext_.showCheckIn ? 1 : 0);
  return true;
}

bool CExtensionInfoDlg::OnCommand(int id, plat::Notify code) {
  if (code != plat::Notify::Clicked) return false;
  if (id == IDC_SET_CHECKIN) {
    // The time dialog is modal: not inside the button's own handler.
    Defer(kChooseCheckIn);
    return true;
  }
  return id == IDC_SET_CHECKOUT;
}

void CExtensionInfoDlg::OnDeferred(int action, std::int64_t) {
  if (action == kChooseCheckIn) ChooseCheckIn();
}

void CExtensionInfoDlg::ChooseCheckIn() {
  DATETIMEPARAMS p{};
  p.size = sizeof p;
  p.parent = Id();
  p.title = "Checkin";
  p.flags = kTimeFlags;
  p.time = checkIn_;
  if (KESTRUMTimeAndDateDialog(&p) == 0) return;
  // The record keeps 32 bits; a time past them would wrap into the past.
  if (p.resultTime < 0 || p.resultTime > std::numeric_limits<std::int32_t>::max()) return;
  checkIn_ = static_cast<std::int32_t>(p.resultTime);
  // Only the time's field: what was typed into the others stays.
  SetItemText(IDC_CHECKIN, CheckInText(checkIn_));
}

void CExtensionInfoDlg::OnOK() {
  ext_.SetComment(GetItemText(IDC_NOTE));
  ext_.showCheckIn = IsChecked(IDC_SHOW_CHECKIN);
  ext_.name = GetItemText(IDC_NAME);
  ext_.lastReset = checkIn_;
  EndDialog(plat::IDOK);
}

int CExtensionInfoWindow::ShowExtensionInfo(SumChargeExtension& extension, plat::WindowId parent) {
  CExtensionInfoDlg d(extension, monitors_);
  return d.DoModal(parent);
}
