// Small settings dialogs of the configuration: 144 "automatisch starten"
// (windows opened at start-up), 181 "Assistent einrichten" (the assistant
// window's behaviour, the speed-dial field style and two additional
// programs) and 157 "Kundeninformation anzeigen" (when the caller's phone
// book record is shown). Each shows the configuration's values when it
// opens; its Run function stores them only on OK.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "ui/listdialog.h"

class CGlobalConfig;

class CStartupDlg : public plat::Dialog {
 public:
  static constexpr int kResourceId = 144;
  enum : int {
    IDC_ASSISTANT = 1136, IDC_KEYPAD = 1137, IDC_OVERVIEW = 1138, IDC_TRUNKS = 1139, IDC_DATABASE = 1164,
    IDC_SUMS = 1420, IDC_CHARGES = 1421,
  };
  CStartupDlg();
  int m_Assistant = 0, m_Keypad = 0, m_Overview = 0, m_Trunks = 0, m_Database = 0;

 protected:
  bool OnInitDialog() override;
  void OnOK() override;
};

class CAssistantSetupDlg : public CListDialog {
 public:
  static constexpr int kResourceId = 181;
  enum : int {
    IDC_OPENDIALLED = 1287, IDC_CLOSEUSER = 1290, IDC_STYLEFRAME = 1297, IDC_PROGRAM1 = 1268, IDC_BROWSE1 = 1269,
    IDC_PROGRAM2 = 1270, IDC_BROWSE2 = 1271,
  };
  static constexpr int kStyles = 5;
  CAssistantSetupDlg();
  int m_OpenOutgoing = 0;  // CAPUW
  int m_CloseMode = 0;     // CAPDW
  int m_Style = 0;         // VSCW
  std::string m_Program1, m_Program2;

  // The file dialog's filter pairs of a text "label|patterns|...||".
  static std::vector<std::pair<std::string, std::string>> ParseFilter(const std::string& text);

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, plat::Notify code) override;
  void OnOK() override;
  void OnDeferred(int action, std::int64_t arg) override;
};

class CCustomerInfoDlg : public plat::Dialog {
 public:
  static constexpr int kResourceId = 157;
  enum : int { IDC_BEGINOPEN = 1222, IDC_ENDVANISH = 1227, IDC_ASKNEW = 1219 };
  CCustomerInfoDlg();
  int m_Begin = 1;   // BCPW
  int m_End = 0;     // ECPW
  int m_AskNew = 1;  // AWNNCI

 protected:
  bool OnInitDialog() override;
  void OnOK() override;
};

int RunStartupDlg(CGlobalConfig& cfg, plat::WindowId owner);
int RunAssistantSetupDlg(CGlobalConfig& cfg, plat::WindowId owner);
int RunCustomerInfoDlg(CGlobalConfig& cfg, plat::WindowId owner);
