#include "app/dialogs/settingsdlgs.h"

#include "app/dialogs/radiogroup.h"
#include "core/base/listsupport.h"
#include "core/base/globalconfig.h"
#include "platform/filedlg.h"

namespace {

int Checked(const plat::Dialog& d, int id) { return d.IsChecked(id) ? 1 : 0; }

// A setting and the dialog member that shows it.
template <class Dlg, class T>
struct Bound {
  T CGlobalConfig::*setting;
  T Dlg::*member;
};

// Shows the settings in dlg and stores them back only on OK.
template <class Dlg, class... T>
int RunBound(CGlobalConfig& cfg, plat::WindowId owner, Bound<Dlg, T>... bound) {
  Dlg dlg;
  ((dlg.*bound.member = cfg.*bound.setting), ...);
  const int r = dlg.DoModal(owner);
  if (r == plat::IDOK) ((cfg.*bound.setting = dlg.*bound.member), ...);
  return r;
}

}  // namespace

// ---------------------------------------------------------------- 144

CStartupDlg::CStartupDlg() : Dialog(plat::dlg::kProgram, kResourceId) {}

bool CStartupDlg::OnInitDialog() {
  CheckButton(IDC_ASSISTANT, m_Assistant ? 1 : 0);
  CheckButton(IDC_KEYPAD, m_Keypad ? 1 : 0);
  CheckButton(IDC_OVERVIEW, m_Overview ? 1 : 0);
  CheckButton(IDC_TRUNKS, m_Trunks ? 1 : 0);
  CheckButton(IDC_DATABASE, m_Database ? 1 : 0);
  // The charge windows are not started from here: shown, never stored.
  CheckButton(IDC_SUMS, 0);
  CheckButton(IDC_CHARGES, 0);
  return true;
}

void CStartupDlg::OnOK() {
  m_Assistant = Checked(*this, IDC_ASSISTANT);
  m_Keypad = Checked(*this, IDC_KEYPAD);
  m_Overview = Checked(*this, IDC_OVERVIEW);
  m_Trunks = Checked(*this, IDC_TRUNKS);
  m_Database = Checked(*this, IDC_DATABASE);
  EndDialog(plat::IDOK);
}

int RunStartupDlg(CGlobalConfig& cfg, plat::WindowId owner) {
  using B = Bound<CStartupDlg, int>;
  return RunBound(cfg, owner, B{&CGlobalConfig::ASCA, &CStartupDlg::m_Assistant},
                  B{&CGlobalConfig::ASDB, &CStartupDlg::m_Keypad}, B{&CGlobalConfig::ASMV, &CStartupDlg::m_Overview},
                  B{&CGlobalConfig::ASOW, &CStartupDlg::m_Trunks}, B{&CGlobalConfig::ASDABA, &CStartupDlg::m_Database});
}

// ---------------------------------------------------------------- 181

CAssistantSetupDlg::CAssistantSetupDlg() : CListDialog(plat::dlg::kProgram, kResourceId) {}

std::vector<std::pair<std::string, std::string>> CAssistantSetupDlg::ParseFilter(const std::string& text) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t bar = text.find('|', start);
    parts.push_back(text.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  std::vector<std::pair<std::string, std::string>> out;
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].empty()) break;  // "||" ends the list
    out.emplace_back(parts[i], parts[i + 1]);
  }
  return out;
}

bool CAssistantSetupDlg::OnInitDialog() {
  dialogs::ShowRadio(*this, IDC_OPENDIALLED, 2, m_OpenOutgoing);
  dialogs::ShowRadio(*this, IDC_CLOSEUSER, 2, m_CloseMode);
  dialogs::ShowRadio(*this, IDC_STYLEFRAME, kStyles, m_Style);
  SetItemText(IDC_PROGRAM1, m_Program1);
  SetItemText(IDC_PROGRAM2, m_Program2);
  return true;
}

bool CAssistantSetupDlg::OnCommand(int id, plat::Notify code) {
  if (code != plat::Notify::Clicked || (id != IDC_BROWSE1 && id != IDC_BROWSE2)) return false;
  // The file dialog runs its own loop: not inside the button's handler.
  Defer(id == IDC_BROWSE1 ? IDC_PROGRAM1 : IDC_PROGRAM2);
  return true;
}

void CAssistantSetupDlg::OnDeferred(int edit, std::int64_t) {
  plat::FileDialogRequest req;
  req.title = lists::Text(plat::TextId(33, 21));
  req.filters = ParseFilter(lists::Text(plat::TextId(33, 22)));
  req.fileName = GetItemText(edit);
  std::string path;
  if (plat::RunFileDialog(Id(), req, &path)) SetItemText(edit, path);
}

void CAssistantSetupDlg::OnOK() {
  m_OpenOutgoing = dialogs::ReadRadio(*this, IDC_OPENDIALLED, m_OpenOutgoing);
  m_CloseMode = dialogs::ReadRadio(*this, IDC_CLOSEUSER, m_CloseMode);
  m_Style = dialogs::ReadRadio(*this, IDC_STYLEFRAME, m_Style);
  m_Program1 = GetItemText(IDC_PROGRAM1);
  m_Program2 = GetItemText(IDC_PROGRAM2);
  EndDialog(plat::IDOK);
}

int RunAssistantSetupDlg(CGlobalConfig& cfg, plat::WindowId owner) {
  using B = Bound<CAssistantSetupDlg, int>;
  using S = Bound<CAssistantSetupDlg, std::string>;
  return RunBound(cfg, owner, B{&CGlobalConfig::CAPUW, &CAssistantSetupDlg::m_OpenOutgoing},
                  B{&CGlobalConfig::CAPDW, &CAssistantSetupDlg::m_CloseMode},
                  B{&CGlobalConfig::VSCW, &CAssistantSetupDlg::m_Style},
                  S{&CGlobalConfig::EXPRO1, &CAssistantSetupDlg::m_Program1},
                  S{&CGlobalConfig::EXPRO2, &CAssistantSetupDlg::m_Program2});
}

// ---------------------------------------------------------------- 157

CCustomerInfoDlg::CCustomerInfoDlg() : Dialog(plat::dlg::kProgram, kResourceId) {}

bool CCustomerInfoDlg::OnInitDialog() {
  dialogs::ShowRadio(*this, IDC_BEGINOPEN, 2, m_Begin);
  dialogs::ShowRadio(*this, IDC_ENDVANISH, 2, m_End);
  CheckButton(IDC_ASKNEW, m_AskNew ? 1 : 0);
  return true;
}

void CCustomerInfoDlg::OnOK() {
  m_Begin = dialogs::ReadRadio(*this, IDC_BEGINOPEN, m_Begin);
  m_End = dialogs::ReadRadio(*this, IDC_ENDVANISH, m_End);
  m_AskNew = Checked(*this, IDC_ASKNEW);
  EndDialog(plat::IDOK);
}

int RunCustomerInfoDlg(CGlobalConfig& cfg, plat::WindowId owner) {
  using B = Bound<CCustomerInfoDlg, int>;
  return RunBound(cfg, owner, B{&CGlobalConfig::BCPW, &CCustomerInfoDlg::m_Begin},
                  B{&CGlobalConfig::ECPW, &CCustomerInfoDlg::m_End}, B{&CGlobalConfig::AWNNCI, &CCustomerInfoDlg::m_AskNew});
}
