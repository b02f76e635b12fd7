#include "phonebook/dialogs/searchdlg.h"

#include "phonebook/dialogs/pbrecord.h"
#include "platform/textid.h"

namespace pb {

CSearchDlg::CSearchDlg() : Dialog(plat::dlg::kProgram, kResourceId) {}

bool CSearchDlg::OnInitDialog() {
  keptTexts_[0] = plat::GetTextOr(plat::TextId(41, 7), "");
  keptTexts_[1] = plat::GetTextOr(plat::TextId(41, 8), "");
  for (int id = 0; id <= 19; ++id) {
    const std::string name = FieldName(id);
    if (!name.empty()) AddString(IDC_FIELD, name);
  }
  if (GetCount(IDC_FIELD) > 0) SetCurSel(IDC_FIELD, 0);
  SetItemText(IDC_CONTENT, "");
  SetRadioIndex(IDC_FIRST_MATCH, 0);
  CheckButton(IDC_MATCH_CASE, 0);
  return true;
}

void CSearchDlg::OnOK() {
  const int sel = GetCurSel(IDC_FIELD);
  fieldName = sel >= 0 ? GetLBText(IDC_FIELD, sel) : std::string();
  content = GetItemText(IDC_CONTENT);
  stopOption = GetRadioIndex(IDC_FIRST_MATCH) == 1 ? 1 : 0;
  matchCase = IsChecked(IDC_MATCH_CASE) != 0;
  EndDialog(plat::IDOK);
}

}  // namespace pb
