#include "core/monitordlg/monitorsettingsdlg.h"


#include "core/winpos/titelinfo.h"
#include "core/monitor/monitortable.h"
#include "platform/messages.h"
#include "platform/msgbox.h"
#include "platform/textid.h"

namespace {
enum {
  IDC_LIST = 1180, IDC_CHOSEN = 1182, IDC_NAME = 1183, IDC_TITLE = 1188, IDC_CHANGE = 1189,
  IDC_MODE_FIRST = 1271, IDC_CHOOSE = 1286,
};

std::string Text(plat::TextId id) {
  const char* t = plat::GetText(id);
  return t ? t : "";
}
}  // namespace

plat::dlg::Template CMonitorSettingsDlg::LoadOwnTemplate() {
  plat::dlg::Template tpl;
  std::string error;
  plat::dlg::LoadTemplate(plat::dlg::kProgram, IDD, &tpl, &error);
  return tpl;
}

CMonitorSettingsDlg::CMonitorSettingsDlg(CMonitorTable* table, plat::WindowId view)
    : plat::Dialog(LoadOwnTemplate(), plat::dlg::kProgram), table_(table), view_(view) {}

bool CMonitorSettingsDlg::OnInitDialog() {
  CTitelInfo titles;
  for (int i = 0; i < titles.GetCount(); ++i) AddString(IDC_TITLE, titles.GetTitle(i));
  FillList();
  SetCurSel(IDC_LIST, -1);  // nothing is chosen until the user picks a line
  EnableItem(IDC_CHANGE, false);
  return true;
}

void CMonitorSettingsDlg::FillList() {
  ResetContent(IDC_LIST);
  if (!table_) return;
  table_->ResetCursor();
  for (std::string line = table_->Next(0, false, false); !line.empty(); line = table_->Next(0, false, false))
    AddString(IDC_LIST, line);
}

void CMonitorSettingsDlg::Choose() {
  int sel = GetCurSel(IDC_LIST);
  if (sel < 0) {
    plat::MessageBox(Id(), Text(plat::TextId(22, 14)), GetWindowText(), plat::MB_OK | plat::MB_ICONINFORMATION);
    return;
  }
  std::string line = GetLBText(IDC_LIST, sel);
  SetItemText(IDC_CHOSEN, line);
  CMonitorEntry* e = table_ ? table_->FindByNumber(line) : nullptr;
  if (!e) return;
  number_ = e->number;
  SetItemText(IDC_TITLE, e->title);
  SetItemText(IDC_NAME, e->name);
  SetRadioIndex(IDC_MODE_FIRST, static_cast<int>(e->watchMode));
  EnableItem(IDC_CHANGE, true);
}

void CMonitorSettingsDlg::Store() {
  if (!table_ || number_.empty()) return;
  int mode = GetRadioIndex(IDC_MODE_FIRST);
  if (mode < 0 || mode > CMonitorEntry::kTakeOver) mode = CMonitorEntry::kIgnore;
  CMonitorEntry e;
  e.SetNumber(number_);
  e.title = GetItemText(IDC_TITLE);
  e.name = GetItemText(IDC_NAME);
  e.watchMode = static_cast<std::uint32_t>(mode);
  e.monitoringOn = mode > 0 ? 1 : 0;
  table_->SetEntry(e);
  changed_ = true;
  int sel = GetCurSel(IDC_LIST);
  FillList();
  SetCurSel(IDC_LIST, sel);
}

bool CMonitorSettingsDlg::OnCommand(int id, plat::Notify code) {
  if ((id == IDC_LIST && code == plat::Notify::DoubleClicked) || (id == IDC_CHOOSE && code == plat::Notify::Clicked)) {
    Choose();
    return true;
  }
  if (id == IDC_CHANGE && code == plat::Notify::Clicked) {
    Store();
    return true;
  }
  return false;
}

void CMonitorSettingsDlg::OnOK() {
  if (changed_) {
    changed_ = false;
    plat::MessageBox(Id(), Text(plat::TextId(22, 15)), GetWindowText(), plat::MB_OK | plat::MB_ICONINFORMATION);
  }
  if (table_) {
    table_->Save();
    if (table_->TakeChanged(true) && view_) plat::SendMessage(view_, kHubMonitoringStarted, 0, 0);
  }
  EndDialog(plat::IDOK);
}
