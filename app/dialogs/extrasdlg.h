// Dialog 196 "Extras": forwarding of selected callers, to a watched
// extension (the monitor table's collector phone) or to an external
// number. For one phone book record it edits that record's forwarding;
// for all callers an external number has nowhere to be kept, so OK
// refuses it with a box and the dialog stays open.
#pragma once
#include <string>

#include "ui/listdialog.h"

class CMonitorTable;

// One phone book record's forwarding, as the record view hands it over.
class IForwardingRecord {
 public:
  enum : int { kInternal = 0, kExternal = 1 };
  virtual ~IForwardingRecord() = default;
  virtual int GetForwardingKind() = 0;
  virtual std::string GetForwardingTarget() = 0;
  virtual void SetForwardingKind(int kind) = 0;
  virtual void SetForwardingTarget(const std::string& target) = 0;
};

class CExtrasDlg : public CListDialog {
 public:
  static constexpr int kResourceId = 196;
  enum : int {
    IDC_FRAME = 1360, IDC_EXTENSION = 1361, IDC_EXTNAME = 1363, IDC_INTERNAL = 1366, IDC_EXTERNAL = 1367,
    IDC_NUMBER = 1369, IDC_DATABASE = 1370, IDC_RESET = 1418,
  };

  // record: null for the view's use (the collector phone).
  CExtrasDlg(CMonitorTable& table, IForwardingRecord* record);

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, plat::Notify code) override;
  void OnOK() override;
  void OnDeferred(int action, std::int64_t arg) override;

 private:
  void SetKind(int kind);
  void ShowName(const std::string& text);
  std::string ChosenExtension() const;

  CMonitorTable& table_;
  IForwardingRecord* record_;
};

int RunExtrasDlg(CMonitorTable& table, plat::WindowId owner);
int RunRecordForwardingDlg(CMonitorTable& table, IForwardingRecord& record, plat::WindowId owner);
