#include "app/dialogs/extrasdlg.h"

#include "core/base/globallog.h"
#include "core/monitor/monitortable.h"
#include "phonebook/iface/picker.h"
#include "platform/textid.h"

namespace {
// Beside the control ids that name the other deferred actions.
constexpr int kRefuseExternal = 1;
}  // namespace

CExtrasDlg::CExtrasDlg(CMonitorTable& table, IForwardingRecord* record)
    : CListDialog(plat::dlg::kProgram, kResourceId), table_(table), record_(record) {}

bool CExtrasDlg::OnInitDialog() {
  if (record_) {
    SetWindowText(plat::GetTextOr(plat::TextId(34, 1), "Extras"));
    SetItemText(IDC_FRAME, plat::GetTextOr(plat::TextId(34, 6), "Anrufer weiterleiten"));
  }
  table_.ResetCursor();
  for (std::string line = table_.Next(0, true, false); !line.empty(); line = table_.Next(0, true, false))
    AddString(IDC_EXTENSION, line);
  int kind = IForwardingRecord::kInternal;
  std::string target = table_.GetCollectorPhone();
  if (record_) {
    kind = record_->GetForwardingKind() == IForwardingRecord::kExternal ? IForwardingRecord::kExternal
                                                                         : IForwardingRecord::kInternal;
    target = record_->GetForwardingTarget();
  }
  if (kind == IForwardingRecord::kExternal) {
    SetItemText(IDC_NUMBER, target);
  } else if (!target.empty()) {
    const int n = GetCount(IDC_EXTENSION);
    for (int i = 0; i < n; ++i)
      if (CMonitorTable::NumberKey(GetLBText(IDC_EXTENSION, i)) == CMonitorTable::NumberKey(target)) {
        SetCurSel(IDC_EXTENSION, i);
        break;
      }
    if (GetCurSel(IDC_EXTENSION) < 0) SetItemText(IDC_EXTENSION, target);
    ShowName(target);
  }
  SetRadioIndex(IDC_INTERNAL, kind);
  SetKind(kind);
  return true;
}

void CExtrasDlg::SetKind(int kind) {
  const bool internal = kind == IForwardingRecord::kInternal;
  EnableItem(IDC_EXTENSION, internal);
  EnableItem(IDC_EXTNAME, internal);
  EnableItem(IDC_NUMBER, !internal);
  EnableItem(IDC_DATABASE, !internal);
}

void CExtrasDlg::ShowName(const std::string& text) {
  const CMonitorEntry* e = table_.FindByNumber(CMonitorTable::NumberKey(text));
  SetItemText(IDC_EXTNAME, e ? table_.EntryText(e, true) : std::string());
}

std::string CExtrasDlg::ChosenExtension() const {
  return CMonitorTable::NumberKey(GetItemText(IDC_EXTENSION));
}

bool CExtrasDlg::OnCommand(int id, plat::Notify code) {
  switch (id) {
    case IDC_INTERNAL:
    case IDC_EXTERNAL:
      if (code == plat::Notify::Clicked) SetKind(id == IDC_INTERNAL ? 0 : 1);
      return true;
    case IDC_EXTENSION:
      if (code == plat::Notify::SelChange && GetCurSel(IDC_EXTENSION) >= 0)
        ShowName(GetLBText(IDC_EXTENSION, GetCurSel(IDC_EXTENSION)));
      else if (code == plat::Notify::KillFocus)
        ShowName(GetItemText(IDC_EXTENSION));
      return true;
    case IDC_DATABASE:
      // The picker is a dialog of its own: not inside the button's handler.
      if (code == plat::Notify::Clicked) Defer(IDC_DATABASE);
      return true;
    case IDC_RESET:
      return true;
    default:
      return false;
  }
}

void CExtrasDlg::OnDeferred(int action, std::int64_t) {
  if (action == kRefuseExternal) {
    Box(plat::TextId(34, 12), plat::MB_OK | plat::MB_ICONWARNING);
    return;
  }
  if (action != IDC_DATABASE) return;
  IPhoneBookPicker* picker = CurrentPhoneBookPicker();
  PickedRecord rec;
  if (picker && picker->Pick(Id(), &rec)) SetItemText(IDC_NUMBER, rec.number);
}

void CExtrasDlg::OnOK() {
  const int kind = GetRadioIndex(IDC_INTERNAL) == IForwardingRecord::kExternal ? IForwardingRecord::kExternal
                                                                              : IForwardingRecord::kInternal;
  if (record_) {
    record_->SetForwardingKind(kind);
    record_->SetForwardingTarget(kind == IForwardingRecord::kInternal ? ChosenExtension() : GetItemText(IDC_NUMBER));
  } else if (kind == IForwardingRecord::kInternal) {
    const std::string number = ChosenExtension();
    if (!number.empty() && !table_.SetCollectorPhone(number))
      GlobalLog().WriteEntry(("Extras: " + number + " ist keine beobachtete Nebenstelle.").c_str());
  } else {
    // The phone book keeps no forwarding of its own to hand the number to:
    // refused, so nobody takes it for stored. The dialog stays open.
    Defer(kRefuseExternal);
    return;
  }
  EndDialog(plat::IDOK);
}

int RunExtrasDlg(CMonitorTable& table, plat::WindowId owner) {
  CExtrasDlg dlg(table, nullptr);
  return dlg.DoModal(owner);
}

int RunRecordForwardingDlg(CMonitorTable& table, IForwardingRecord& record, plat::WindowId owner) {
  CExtrasDlg dlg(table, &record);
  return dlg.DoModal(owner);
}
