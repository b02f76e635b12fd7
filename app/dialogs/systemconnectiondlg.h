// Dialog 168 "Systemanbindung wählen": the serial port COM1 to COM6 or the
// network ("LAN") with the server's IPv4 address, the system driver and
// the switch "TAVIK Port". The choice takes effect when the link is next
// opened.
#pragma once
#include <array>
#include <string>

#include "platform/dialogkit/dialog.h"

class CGlobalConfig;

namespace sysconn {

using AddressParts = std::array<std::string, 4>;

// The four edits of a stored server address: the pieces of a dotted quad
// written with three digits each, else the four bytes of the network
// library's conversion ("0" each for a text that is no address).
AddressParts SplitServerAddress(const std::string& stored);
// The address text of the four edits, "%i.%i.%i.%i"; false when any edit
// is not one to three digits of a value up to 255.
bool JoinServerAddress(const AddressParts& parts, std::string* address);

}  // namespace sysconn

class CSystemConnectionDlg : public plat::Dialog {
 public:
  static constexpr int kResourceId = 168;
  static constexpr int kLan = 6;
  enum : int {
    IDC_COM1 = 1215, IDC_COM6 = 1220, IDC_LAN = 1221, IDC_CSTA = 1207, IDC_MSMULTI = 1210,
    IDC_ADDRESSFRAME = 1560, IDC_ADDRESS1 = 1561, IDC_ADDRESS4 = 1564, IDC_TAVIK = 1569,
  };

  CSystemConnectionDlg();

  // Dialog data: shown at initialisation, read back on OK.
  int m_Port = 2;       // CPID: 0-5 COM1-COM6, 6 LAN
  int m_Driver = 0;     // SYSCON
  std::string m_Address;  // NETCONF NSLA, the server's address
  int m_Tavik = 0;      // IO1008

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, plat::Notify code) override;
  void OnOK() override;

 private:
  void EnableAddress(bool enable);
};

void FillSystemConnectionDlg(CSystemConnectionDlg& dlg, const CGlobalConfig& cfg);
void StoreSystemConnection(const CSystemConnectionDlg& dlg, CGlobalConfig& cfg);
// The menu command: fill, show modally, store on OK.
int RunSystemConnectionDlg(CGlobalConfig& cfg, plat::WindowId owner);
