// Dialog 160 "Liste aller nicht angenommenen Anrufe" shows the missed-calls
// list; dialog 170 "Einstellung: Abwesenheitsliste" sets its filter.
#pragma once
#include <string>

#include "ui/listdialog.h"

class CGlobalConfig;
class CMissedCallList;

class CMissedCallDlg : public CListDialog {
 public:
  static constexpr int kResourceId = 160;
  enum : int {
    IDC_LIST = 1169, IDC_CALL = 1174, IDC_TOCALLBACK = 1175, IDC_CLEAR = 1176, IDC_DATABASE = 1177,
    IDC_NOTE = 1446,
  };

  explicit CMissedCallDlg(CMissedCallList* list);
  // Hub 1061: the list or its reading mode changed.
  void Refresh();

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, plat::Notify code) override;
  void OnDeferred(int action, std::int64_t arg) override;

 private:
  std::string SelectedText() const;

  CMissedCallList* list_;
};

class CMissedCallSetupDlg : public CListDialog {
 public:
  static constexpr int kResourceId = 170;
  enum : int {
    IDC_KNOWNONLY = 1201, IDC_SINCELAST = 1204, IDC_READATSTART = 1207, IDC_ALWAYSLOOKUP = 1208,
    IDC_OLDESTFIRST = 1210,
  };

  // Loads from cfg when it opens and stores into it on OK only.
  explicit CMissedCallSetupDlg(CGlobalConfig& cfg);

 protected:
  bool OnInitDialog() override;
  void OnOK() override;
  void OnDeferred(int, std::int64_t) override {}

 private:
  CGlobalConfig& cfg_;
};

// The view's commands 32784 and 32785. The view keeps the open dialog 160
// to pass hub 1061 on: opened is told the dialog while it is shown.
int RunMissedCallDlg(CMissedCallList* list, plat::WindowId owner, CMissedCallDlg** opened = nullptr);
int RunMissedCallSetupDlg(CGlobalConfig& cfg, plat::WindowId owner);
