#include "charges/counter/readoutquestiondlg.h"

#include "platform/dialogkit/dlgtemplate.h"

CReadOutQuestionDlg::CReadOutQuestionDlg() : Dialog(plat::dlg::kProgram, IDD) {}

int CReadOutQuestionDlg::SetChoice(int choice) {
  if (choice == kNoChoice) return 0;
  choice_ = choice;
  return 1;
}

int CReadOutQuestionDlg::GetDeleteAfterwards() const {
  return choice_ == kNoChoice || choice_ == kNone ? 0 : deleteAfterwards_;
}

void CReadOutQuestionDlg::Show(int id, const std::string& text) {
  if (!text.empty()) SetItemText(id, text);
}

bool CReadOutQuestionDlg::OnInitDialog() {
  Show(IDC_LASTREADOUT, lastReadOut);
  Show(IDC_OLDLABEL, oldLabel);
  Show(IDC_OLDVALUE, oldValue);
  Show(IDC_NEWLABEL, newLabel);
  Show(IDC_NEWVALUE, newValue);
  SetRadioIndex(IDC_ALL, choice_ >= kAll && choice_ <= kNone ? choice_ : -1);
  CheckButton(IDC_DELETE, deleteAfterwards_);
  EnableItem(IDC_DELETE, choice_ != kNone);
  return true;
}

bool CReadOutQuestionDlg::OnCommand(int id, plat::Notify code) {
  if (code != plat::Notify::Clicked || id < IDC_ALL || id > IDC_NONE) return false;
  EnableItem(IDC_DELETE, id != IDC_NONE);
  return true;
}

void CReadOutQuestionDlg::OnOK() {
  choice_ = GetRadioIndex(IDC_ALL);
  deleteAfterwards_ = IsChecked(IDC_DELETE);
  EndDialog(plat::IDOK);
}
