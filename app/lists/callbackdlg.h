// The callback list's dialogs: 145 "Anruf-/Rückrufliste" (the entries and
// the automation's start and stop), 171 "Anruf-/Rückrufliste einrichten"
// (the automation's settings) and 124 "Einstellungen eines Rückrufes" (one
// entry's party and rules).
#pragma once
#include <string>

#include "ui/listdialog.h"

class CCallBackList;
class CCallInfo;
class CGlobalConfig;

class CCallBackSettingsDlg : public CListDialog {
 public:
  static constexpr int kResourceId = 124;
  enum : int {
    IDC_COMPANY = 1100, IDC_NAME = 1102, IDC_NUMBER = 1104, IDC_EXTERNAL = 1105,
    IDC_MODE0 = 1107, IDC_MODE1 = 1108, IDC_MODE2 = 1109, IDC_MODE3 = 1110,
    IDC_TRIES = 1392, IDC_DATE = 1393, IDC_REPEAT = 1390, IDC_INTERVAL = 1413,
    IDC_TYPE0 = 1445, IDC_TYPE5 = 1450,
    // Hours and minutes beside the time radios 1446 to 1450.
    IDC_FROM_H = 1451, IDC_FROM_M = 1452, IDC_UNTIL_H = 1453, IDC_UNTIL_M = 1454,
    IDC_IN_BH = 1455, IDC_IN_BM = 1456, IDC_IN_EH = 1457, IDC_IN_EM = 1458,
    IDC_OUT_BH = 1459, IDC_OUT_BM = 1460, IDC_OUT_EH = 1461, IDC_OUT_EM = 1462,
    IDC_AT_H = 1463, IDC_AT_M = 1464,
  };

  // Edits the record in place on OK only.
  explicit CCallBackSettingsDlg(CCallInfo* call);

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, plat::Notify code) override;
  void OnOK() override;
  void OnDeferred(int action, std::int64_t arg) override;

 private:
  void EnableTimes(int type);
  void EnableModes(int mode);

  CCallInfo* call_;
};

class CCallBackListDlg : public CListDialog {
 public:
  static constexpr int kResourceId = 145;
  enum : int {
    IDC_LIST = 1141, IDC_DATABASE = 1142, IDC_MISSED = 1143, IDC_CHANGE = 1144, IDC_DELETE = 1145,
    IDC_CALLDATA = 1151, IDC_ENTER = 1152, IDC_START = 1154, IDC_STOP = 1155,
  };

  CCallBackListDlg(CCallBackList* list, plat::WindowId view);
  // The code the dialog's new entries are asked for with.
  int originCode = 18;

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, plat::Notify code) override;
  void OnDeferred(int action, std::int64_t arg) override;

 private:
  void Fill();
  void ShowRunning();
  int SelectedRef() const;
  void Change(int ref);
  void Enter();
  void FromPhoneBook();

  CCallBackList* list_;
  plat::WindowId view_;
};

class CCallBackSetupDlg : public CListDialog {
 public:
  static constexpr int kResourceId = 171;
  enum : int {
    IDC_WORK_BH = 1427, IDC_WORK_BM = 1434, IDC_WORK_EH = 1429, IDC_WORK_EM = 1439,
    IDC_LUNCH_BH = 1432, IDC_LUNCH_BM = 1435, IDC_LUNCH_EH = 1433, IDC_LUNCH_EM = 1440,
    IDC_STARTSESSION = 1436, IDC_STARTNEW = 1438, IDC_PAUSE = 1221, IDC_ASK = 1222, IDC_BUSYHINT = 1425,
    IDC_CONFIGNEW = 1442, IDC_HINTEMPTY = 1443, IDC_HINTINSERT = 1444, IDC_TAKEOVER = 1461,
  };

  CCallBackSetupDlg();

  // Seconds after midnight, switches, the pause in seconds.
  long m_WorkBegin = 0, m_WorkEnd = 0, m_LunchBegin = 0, m_LunchEnd = 0;
  int m_StartAtSession = 0, m_StartOnNew = 0, m_ConfigNew = 0, m_HintEmpty = 0, m_TakeOver = 0;
  int m_Pause = 0, m_Ask = 0, m_BusyHint = 0;

 protected:
  bool OnInitDialog() override;
  void OnOK() override;
  void OnDeferred(int action, std::int64_t arg) override;
};

void FillCallBackSetupDlg(CCallBackSetupDlg& dlg, const CGlobalConfig& cfg);
void StoreCallBackSetup(const CCallBackSetupDlg& dlg, CGlobalConfig& cfg);
// The view's command: fill, show, store on OK.
int RunCallBackSetupDlg(CGlobalConfig& cfg, plat::WindowId owner);
// The view's command for the list (dialog 145).
int RunCallBackListDlg(CCallBackList* list, plat::WindowId view);
// Dialog 124 on a copy of the entry with that reference id, written back on
// OK when the entry is still there (the view's answer to hub 1068).
int EditCallBackEntry(CCallBackList& list, int refId, plat::WindowId owner);
