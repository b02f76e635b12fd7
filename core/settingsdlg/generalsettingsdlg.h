// Dialog 172 "Allgemeine Einstellungen": the general settings of the
// configuration. The view fills the members before it is shown and stores
// them after OK; both halves are here as functions on the configuration.
#pragma once
#include <string>

#include "platform/dialogkit/dialog.h"

class CGlobalConfig;

class CGeneralSettingsDlg : public plat::Dialog {
 public:
  static constexpr int kResourceId = 172;
  enum : int {
    IDC_OFFICEDIGIT = 1224, IDC_CURRENCY = 1449, IDC_PRICE = 1229, IDC_CURRENCYSHOWN = 1448,
    IDC_LOGONTIMEOUT = 1264, IDC_DIALONHOOK = 1225, IDC_WARNTIMEDIFF = 1451,
    IDC_CSTATRACE = 1606, IDC_CUTOFFLEADINGDIGIT = 1613, IDC_DIALOFFICEDIGITS = 1692,
  };

  CGeneralSettingsDlg();

  // Dialog data: read into the controls at initialisation, read back on OK.
  std::string m_OfficeDigit;   // the trunk access digit as a text
  std::string m_Price;         // price of a charge unit as typed
  std::string m_Currency;
  int m_LogonTimeout = 0;      // seconds
  int m_DialOnHook = 0;
  int m_WarnTimeDiff = 0;
  int m_CutOffLeadingDigit = 0;
  int m_DialOfficeDigits = 0;
  int m_CstaTrace = 0;

  // Reads a price with a decimal comma or point ("0,15" and "0.15").
  static double ParsePrice(const std::string& text);

 protected:
  bool OnInitDialog() override;
  void OnOK() override;
  bool OnCommand(int id, plat::Notify code) override;
};

// The view's side: the dialog's members from the configuration ...
void FillGeneralSettingsDlg(CGeneralSettingsDlg& dlg, const CGlobalConfig& cfg);
// ... and back after OK, opening or closing the CSTA trace window when its
// switch changed.
void StoreGeneralSettings(const CGeneralSettingsDlg& dlg, CGlobalConfig& cfg);
// The menu command: fill, show modally, store on OK. Returns the dialog's
// result.
int RunGeneralSettingsDlg(CGlobalConfig& cfg, plat::WindowId owner);
