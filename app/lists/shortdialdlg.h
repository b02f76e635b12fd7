// Dialog 107 "Kurzwahl einrichten" edits one speed-dial entry; dialog 163
// "Kurzwahl einrichten/ändern" lists the memory keys M1 to M12.
#pragma once
#include <string>

#include "ui/listdialog.h"
#include "app/lists/shortdial.h"

class CMonitorTable;

// The own-workstation dialog (164) read-only: the chosen watched extension,
// null when cancelled or not watched. It lives above the lists, so the
// program installs it; while none is, the editor's extension button is
// disabled.
using ExtensionChooser = CMonitorEntry* (*)(CMonitorTable& table, plat::WindowId owner);
void SetExtensionChooser(ExtensionChooser chooser);

class CShortDialEditDlg : public CListDialog {
 public:
  static constexpr int kResourceId = 107;
  enum : int {
    IDC_COMPANY = 1113, IDC_SALUTATION = 1128, IDC_NAME = 1030, IDC_NUMBER = 1031, IDC_EXTERNAL = 1114,
    IDC_ENTRYTEXT = 1132, IDC_USECOMPANY = 1129, IDC_USESALUTATION = 1130, IDC_OWNTEXT = 1131,
    IDC_REBUILD = 1133, IDC_DATABASE = 1029, IDC_EXTENSION = 1185,
  };

  CShortDialEditDlg(int n, const ShortDialEntry& entry, CMonitorTable* monitors);
  // The edited copy; valid after OK.
  const ShortDialEntry& Entry() const { return entry_; }
  // Company, salutation and name as the checks choose, blank-separated.
  static std::string BuildEntryText(const std::string& company, bool useCompany, const std::string& salutation,
                                    bool useSalutation, const std::string& name);

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, plat::Notify code) override;
  void OnOK() override;
  void OnDeferred(int action, std::int64_t arg) override;

 private:
  void ShowEntry();
  void Rebuild();

  int n_;
  ShortDialEntry entry_;
  CMonitorTable* monitors_;
};

class CShortDialListDlg : public CListDialog {
 public:
  static constexpr int kResourceId = 163;
  enum : int { IDC_LIST = 1191, IDC_CHANGE = 1192 };

  CShortDialListDlg(CShortDialHandler* store, CMonitorTable* monitors);
  static std::string LineOf(const CShortDialHandler& store, int n);

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, plat::Notify code) override;
  void OnDeferred(int action, std::int64_t arg) override;

 private:
  CShortDialHandler* store_;
  CMonitorTable* monitors_;
};

// The editor for entry n as the memory keys open it: on OK the entry is
// stored (SetEntry). IDOK when it was; a failed save is shown in a box
// and gives IDCANCEL, the entry as it was.
int EditShortDialEntry(CShortDialHandler& store, int n, CMonitorTable* monitors, plat::WindowId owner);
// The document's menu command "Kurzwahl".
int RunShortDialListDlg(CShortDialHandler* store, CMonitorTable* monitors, plat::WindowId owner);
