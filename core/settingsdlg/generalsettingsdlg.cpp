#include "core/settingsdlg/generalsettingsdlg.h"

#include <string>

#include "core/base/globalconfig.h"
#include "platform/text.h"
#include "platform/trace.h"

namespace {
// Offered in the currency box; any other text may be typed.
const char* const kCurrencies[] = {"DM", "EUR", "\x80", "CHF"};
}  // namespace

CGeneralSettingsDlg::CGeneralSettingsDlg() : Dialog(plat::dlg::kProgram, kResourceId) {}

double CGeneralSettingsDlg::ParsePrice(const std::string& text) {
  std::string s = text;
  for (char& c : s)
    if (c == ',') c = '.';
  return plat::AtofC(s.c_str());
}

bool CGeneralSettingsDlg::OnInitDialog() {
  for (const char* c : kCurrencies) AddString(IDC_CURRENCY, c);
  SetItemText(IDC_OFFICEDIGIT, m_OfficeDigit);
  SetItemText(IDC_CURRENCY, m_Currency);
  SetItemText(IDC_CURRENCYSHOWN, m_Currency);
  SetItemText(IDC_PRICE, m_Price);
  SetItemInt(IDC_LOGONTIMEOUT, m_LogonTimeout);
  CheckButton(IDC_DIALONHOOK, m_DialOnHook);
  CheckButton(IDC_WARNTIMEDIFF, m_WarnTimeDiff);
  CheckButton(IDC_CSTATRACE, m_CstaTrace);
  CheckButton(IDC_CUTOFFLEADINGDIGIT, m_CutOffLeadingDigit);
  CheckButton(IDC_DIALOFFICEDIGITS, m_DialOfficeDigits);
  return true;
}

bool CGeneralSettingsDlg::OnCommand(int id, plat::Notify code) {
  if (id == IDC_CURRENCY && (code == plat::Notify::SelChange || code == plat::Notify::Change)) {
    SetItemText(IDC_CURRENCYSHOWN, GetItemText(IDC_CURRENCY));
    return true;
  }
  return false;
}

void CGeneralSettingsDlg::OnOK() {
  bool ok = false;
  int timeout = GetItemInt(IDC_LOGONTIMEOUT, &ok);
  if (!ok) {
    // As the framework's data exchange does: say so and stay open.
    plat::MessageBox(Id(), "Bitte geben Sie eine ganze Zahl ein.", GetWindowText(),
                     plat::MB_OK | plat::MB_ICONWARNING);
    SetFocusItem(IDC_LOGONTIMEOUT);
    return;
  }
  m_LogonTimeout = timeout;
  m_OfficeDigit = GetItemText(IDC_OFFICEDIGIT);
  m_Currency = GetItemText(IDC_CURRENCY);
  m_Price = GetItemText(IDC_PRICE);
  m_DialOnHook = IsChecked(IDC_DIALONHOOK);
  m_WarnTimeDiff = IsChecked(IDC_WARNTIMEDIFF);
  m_CstaTrace = IsChecked(IDC_CSTATRACE);
  m_CutOffLeadingDigit = IsChecked(IDC_CUTOFFLEADINGDIGIT);
  m_DialOfficeDigits = IsChecked(IDC_DIALOFFICEDIGITS);
  EndDialog(plat::IDOK);
}

void FillGeneralSettingsDlg(CGeneralSettingsDlg& dlg, const CGlobalConfig& cfg) {
  dlg.m_OfficeDigit = std::string(1, cfg.OffnumDigit);
  dlg.m_DialOnHook = cfg.GDOH != 0;
  dlg.m_Price = plat::StrFormatC("%.2f", static_cast<double>(cfg.PPCU));
  dlg.m_LogonTimeout = cfg.MCTO;
  dlg.m_WarnTimeDiff = cfg.WOIPBXT != 0;
  dlg.m_Currency = cfg.CAUN;
  dlg.m_CutOffLeadingDigit = cfg.CUTOFFLEADINGDIGIT != 0;
  dlg.m_DialOfficeDigits = cfg.DialOfficeDigits != 0;
  dlg.m_CstaTrace = cfg.TOLECSTALOGDLL != 0;
}

void StoreGeneralSettings(const CGeneralSettingsDlg& dlg, CGlobalConfig& cfg) {
  if (!dlg.m_OfficeDigit.empty()) {
    cfg.OffnumDigit = dlg.m_OfficeDigit[0];
    cfg.OFFNUM = std::string(1, dlg.m_OfficeDigit[0]);
  }
  cfg.PPCU = static_cast<float>(CGeneralSettingsDlg::ParsePrice(dlg.m_Price));
  cfg.MCTO = dlg.m_LogonTimeout;
  cfg.GDOH = dlg.m_DialOnHook;
  cfg.WOIPBXT = dlg.m_WarnTimeDiff;
  cfg.CAUN = dlg.m_Currency;
  cfg.DialOfficeDigits = static_cast<std::uint16_t>(dlg.m_DialOfficeDigits);
  cfg.CUTOFFLEADINGDIGIT = static_cast<std::uint16_t>(dlg.m_CutOffLeadingDigit);
  bool wasOn = cfg.TOLECSTALOGDLL != 0, isOn = dlg.m_CstaTrace != 0;
  if (!wasOn && isOn) OpenCSTATraceWindow(0, 0);
  else if (wasOn && !isOn) CloseCSTATraceWindow(0);
  cfg.TOLECSTALOGDLL = dlg.m_CstaTrace;
}

int RunGeneralSettingsDlg(CGlobalConfig& cfg, plat::WindowId owner) {
  CGeneralSettingsDlg dlg;
  FillGeneralSettingsDlg(dlg, cfg);
  int r = dlg.DoModal(owner);
  if (r == plat::IDOK) StoreGeneralSettings(dlg, cfg);
  return r;
}
