#include "app/dialogs/ownworkstationdlg.h"

#include "core/monitor/monitortable.h"
#include "platform/textid.h"

COwnWorkstationDlg::COwnWorkstationDlg(CMonitorTable& table, bool readOnly)
    : Dialog(plat::dlg::kProgram, kResourceId), table_(table), readOnly_(readOnly) {}

bool COwnWorkstationDlg::OnInitDialog() {
  if (readOnly_) SetWindowText(plat::GetTextOr(plat::TextId(35, 1), "Eigener Arbeitsplatz"));
  const std::string main = table_.GetMainPhone();
  table_.ResetCursor();
  int mainIndex = -1;
  for (std::string line = table_.Next(0, true, false); !line.empty(); line = table_.Next(0, true, false)) {
    const int i = AddString(IDC_EXTENSION, line);
    if (!main.empty() && CMonitorTable::NumberKey(line) == CMonitorTable::NumberKey(main)) mainIndex = i;
  }
  if (mainIndex >= 0) SetCurSel(IDC_EXTENSION, mainIndex);
  else SetItemText(IDC_EXTENSION, main);
  ShowEntry(main);
  return true;
}

void COwnWorkstationDlg::ShowEntry(const std::string& text) {
  const CMonitorEntry* e = table_.FindByNumber(CMonitorTable::NumberKey(text));
  shownFor_ = CMonitorTable::NumberKey(text);
  shownName_ = e ? e->name : std::string();
  shownTitle_ = e ? e->title : std::string();
  SetItemText(IDC_NAME, shownName_);
  SetItemText(IDC_SALUTATION, shownTitle_);
}

bool COwnWorkstationDlg::OnCommand(int id, plat::Notify code) {
  if (id != IDC_EXTENSION) return false;
  if (code == plat::Notify::SelChange) {
    const int sel = GetCurSel(IDC_EXTENSION);
    if (sel >= 0) ShowEntry(GetLBText(IDC_EXTENSION, sel));
  } else if (code == plat::Notify::DoubleClicked || code == plat::Notify::KillFocus) {
    ShowEntry(GetItemText(IDC_EXTENSION));
  }
  return true;
}

void COwnWorkstationDlg::OnOK() {
  const std::string typed = GetItemText(IDC_EXTENSION);
  CMonitorEntry* e = table_.FindByNumber(CMonitorTable::NumberKey(typed));
  // A number typed and confirmed at once was never shown: a field that
  // still holds another extension's text takes this one's (empty when it
  // has none); what the user typed into a field stays.
  if (CMonitorTable::NumberKey(typed) != shownFor_) {
    if (GetItemText(IDC_NAME) == shownName_) SetItemText(IDC_NAME, e ? e->name : std::string());
    if (GetItemText(IDC_SALUTATION) == shownTitle_) SetItemText(IDC_SALUTATION, e ? e->title : std::string());
  }
  chosen_ = e ? e->Number() : std::string();
  if (readOnly_ || !e) {
    EndDialog(plat::IDOK);
    return;
  }
  table_.SetMainPhone(e->Number());
  // The entry's own flags go back with it: no monitor request starts.
  CMonitorEntry update;
  update.SetNumber(e->Number());
  update.monitoringOn = e->monitoringOn;
  update.watchMode = e->watchMode;
  update.name = GetItemText(IDC_NAME);
  update.title = GetItemText(IDC_SALUTATION);
  table_.SetEntry(update);
  table_.MarkChanged();
  EndDialog(plat::IDOK);
}

int RunOwnWorkstationDlg(CMonitorTable& table, plat::WindowId owner) {
  COwnWorkstationDlg dlg(table, false);
  return dlg.DoModal(owner);
}

CMonitorEntry* ChooseOwnWorkstationExtension(CMonitorTable& table, plat::WindowId owner) {
  COwnWorkstationDlg dlg(table, true);
  if (dlg.DoModal(owner) != plat::IDOK || dlg.Chosen().empty()) return nullptr;
  return table.FindByNumber(dlg.Chosen());
}
