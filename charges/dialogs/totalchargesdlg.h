// Dialog 188 "Gesamtgebühren": the charge sums of every extension, read out
// of the PBX when it opens; one extension's or all units reset in the PBX;
// the list printed. The view keeps one and opens it again and again.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "charges/dialogs/chargewindowdlg.h"

class CTotalChargesDlg : public CChargeWindowDlg {
 public:
  static constexpr int kResourceId = 188;
  static constexpr const char* kDocument = "CSumChargeOfPhones.log";
  enum : int {
    IDC_LIST = 1302, IDC_READ_TIME = 1320, IDC_STATUS = 1462, IDC_PRINT = 1298, IDC_DELETE_ALL = 1306,
    IDC_DELETE = 1300,
  };

  CTotalChargesDlg(CChargeAndLogHandler* handler, IReportPrinter* printer);
  ~CTotalChargesDlg() override;

  void Fill();
  int RememberedLine() const { return remembered_; }
  // The PBX's device number of a listed line (sum index + 10); -1 none.
  int DeviceOfLine(int line) const;

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, plat::Notify code) override;
  void OnDeferred(int action, std::int64_t arg) override;
  void OnNotify(int code) override;
  // Stops a read-out of the sums that still runs.
  void Detach() override;

 private:
  void Print();

  std::vector<int> devices_;  // per line
  int remembered_ = -1;
};
