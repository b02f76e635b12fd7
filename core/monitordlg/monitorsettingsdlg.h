// Dialog 162: salutation, name and watch mode of each watched extension.
// Works on the monitor table directly and saves it when finished.
#pragma once
#include <string>

#include "platform/dialogkit/dialog.h"

class CMonitorTable;

class CMonitorSettingsDlg : public plat::Dialog {
 public:
  enum { IDD = 162, kHubMonitoringStarted = 1058 };

  CMonitorSettingsDlg(CMonitorTable* table, plat::WindowId view);

  // The template: the shipped one when the program has it, else our own.
  static plat::dlg::Template LoadOwnTemplate();

  bool Changed() const { return changed_; }
  const std::string& ChosenNumber() const { return number_; }

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, plat::Notify code) override;
  void OnOK() override;

 private:
  void FillList();
  void Choose();
  void Store();

  CMonitorTable* table_;
  plat::WindowId view_;
  std::string number_;
  bool changed_ = false;
};
