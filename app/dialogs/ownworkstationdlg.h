// Dialog 164 "Eigener Arbeitsplatz": which watched extension is the
// workstation's own phone, with its name and salutation. Read-only (from
// the speed-dial editor) it only returns the chosen extension.
#pragma once
#include <string>

#include "platform/dialogkit/dialog.h"

class CMonitorTable;
struct CMonitorEntry;

class COwnWorkstationDlg : public plat::Dialog {
 public:
  static constexpr int kResourceId = 164;
  enum : int { IDC_EXTENSION = 1197, IDC_NAME = 1199, IDC_SALUTATION = 1200 };

  COwnWorkstationDlg(CMonitorTable& table, bool readOnly);

  // After OK: the chosen extension's number; "" when it is not watched.
  const std::string& Chosen() const { return chosen_; }

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, plat::Notify code) override;
  void OnOK() override;

 private:
  void ShowEntry(const std::string& text);

  CMonitorTable& table_;
  bool readOnly_;
  std::string chosen_;
  // The extension whose texts the name and salutation fields were given.
  std::string shownFor_;
  std::string shownName_;
  std::string shownTitle_;
};

// The document's command: on OK with a watched extension it becomes the
// main phone and takes the name and salutation. Returns the result.
int RunOwnWorkstationDlg(CMonitorTable& table, plat::WindowId owner);
// The speed-dial editor's use: the chosen watched extension, null when
// cancelled or not watched. Stores nothing.
CMonitorEntry* ChooseOwnWorkstationExtension(CMonitorTable& table, plat::WindowId owner);
