#include "app/dialogs/systemconnectiondlg.h"

#include <cctype>
#include <cstdint>

#include "app/dialogs/radiogroup.h"
#include "core/base/globalconfig.h"
#include "netlink/lorquin32.h"
#include "platform/msgbox.h"
#include "platform/text.h"
#include "platform/textid.h"

namespace sysconn {

namespace {

bool AllDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

}  // namespace

AddressParts SplitServerAddress(const std::string& stored) {
  AddressParts parts;
  // Only a dotted quad of three-digit pieces is cut at fixed places: a host
  // name of the same length is no such quad.
  if (stored.size() == 15 && stored[3] == '.' && stored[7] == '.' && stored[11] == '.') {
    bool quad = true;
    for (int i = 0; i < 4; ++i) {
      parts[i] = stored.substr(static_cast<std::size_t>(i) * 4, 3);
      quad = quad && AllDigits(parts[i]);
    }
    if (quad) return parts;
  }
  const std::uint32_t ip = PBXNWHConvertIPStringToLONG(stored.c_str());
  for (int i = 0; i < 4; ++i) parts[i] = plat::StrFormatC("%u", (ip >> (8 * i)) & 0xffu);
  return parts;
}

bool JoinServerAddress(const AddressParts& parts, std::string* address) {
  int v[4];
  for (int i = 0; i < 4; ++i) {
    const std::string& p = parts[i];
    if (p.size() > 3 || !AllDigits(p)) return false;
    v[i] = plat::AtoiC(p.c_str());
    if (v[i] > 255) return false;
  }
  *address = plat::StrFormatC("%i.%i.%i.%i", v[0], v[1], v[2], v[3]);
  return true;
}

}  // namespace sysconn

CSystemConnectionDlg::CSystemConnectionDlg() : Dialog(plat::dlg::kProgram, kResourceId) {}

bool CSystemConnectionDlg::OnInitDialog() {
  // A stored value without a button leaves its group empty; OK keeps it.
  dialogs::ShowRadio(*this, IDC_COM1, kLan + 1, m_Port);
  dialogs::ShowRadio(*this, IDC_CSTA, 4, m_Driver);
  const sysconn::AddressParts parts = sysconn::SplitServerAddress(m_Address);
  for (int i = 0; i < 4; ++i) SetItemText(IDC_ADDRESS1 + i, parts[i]);
  CheckButton(IDC_TAVIK, m_Tavik ? 1 : 0);
  EnableAddress(m_Port == kLan);
  return true;
}

void CSystemConnectionDlg::EnableAddress(bool enable) {
  EnableItem(IDC_ADDRESSFRAME, enable);
  for (int id = IDC_ADDRESS1; id <= IDC_ADDRESS4; ++id) EnableItem(id, enable);
}

bool CSystemConnectionDlg::OnCommand(int id, plat::Notify code) {
  if (code != plat::Notify::Clicked) return false;
  if (id == IDC_LAN) {
    EnableAddress(true);
    return true;
  }
  if (id >= IDC_COM1 && id <= IDC_COM6) {
    EnableAddress(false);
    return true;
  }
  return false;
}

void CSystemConnectionDlg::OnOK() {
  const int chosen = dialogs::ReadRadio(*this, IDC_COM1, m_Port);
  if (chosen == kLan) {
    sysconn::AddressParts parts;
    for (int i = 0; i < 4; ++i) parts[i] = GetItemText(IDC_ADDRESS1 + i);
    std::string address;
    if (!sysconn::JoinServerAddress(parts, &address)) {
      plat::MessageBox(Id(), plat::GetTextOr(plat::TextId(31, 23), ""), GetWindowText(),
                       plat::MB_OK | plat::MB_ICONWARNING);
      SetFocusItem(IDC_ADDRESS1);
      return;
    }
    m_Address = address;
  }
  m_Port = chosen;
  m_Driver = dialogs::ReadRadio(*this, IDC_CSTA, m_Driver);
  m_Tavik = IsChecked(IDC_TAVIK);
  EndDialog(plat::IDOK);
}

void FillSystemConnectionDlg(CSystemConnectionDlg& dlg, const CGlobalConfig& cfg) {
  dlg.m_Port = cfg.CPID;
  dlg.m_Driver = cfg.SYSCON;
  dlg.m_Address = cfg.NSLA;
  dlg.m_Tavik = cfg.IO1008;
}

void StoreSystemConnection(const CSystemConnectionDlg& dlg, CGlobalConfig& cfg) {
  cfg.CPID = dlg.m_Port;
  cfg.SYSCON = dlg.m_Driver;
  cfg.NSLA = dlg.m_Address;
  cfg.IO1008 = dlg.m_Tavik;
}

int RunSystemConnectionDlg(CGlobalConfig& cfg, plat::WindowId owner) {
  CSystemConnectionDlg dlg;
  FillSystemConnectionDlg(dlg, cfg);
  const int r = dlg.DoModal(owner);
  if (r == plat::IDOK) StoreSystemConnection(dlg, cfg);
  return r;
}
