// Dialog 190 "Gebührennachweis": the charge file's calls that match the
// selection, with sums and period; refreshed from the PBX, printed as a
// report or an invoice. One at a time: it is the handler's records window.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "charges/dialogs/chargewindowdlg.h"
#include "charges/dialogs/reportlines.h"
#include "charges/dialogs/selectioncriteriadlg.h"

class CChargeAndLogHandler;
class CMonitorTable;
class IReportPrinter;

class CChargeReportDlg : public CChargeWindowDlg {
 public:
  static constexpr int kResourceId = 190;
  static constexpr const char* kDocument = "SingleCallReportList.log";
  enum : int {
    IDC_LIST = 1307, IDC_READ_TIME = 1319, IDC_SUM = 1343, IDC_PERIOD = 1346, IDC_EXTENSIONS = 1348,
    IDC_STATUS = 1462, IDC_SELECT = 1322, IDC_SAVE = 1314, IDC_PRINT = 1256, IDC_DELETE = 1316,
    IDC_REFRESH = 1317, IDC_LOAD = 1315, IDC_INVOICE = 1730, IDC_RECEIVER = 1731,
  };

  // printer: null disables printing.
  CChargeReportDlg(CChargeAndLogHandler* handler, CMonitorTable* monitors, IReportPrinter* printer);
  ~CChargeReportDlg() override;

  // The dialog that is open now, or null.
  static CChargeReportDlg* Current();
  // Fills the list and texts again; extStyle is the summary style of the
  // extensions line.
  void Fill(int extStyle);
  const chargedlg::ReportLines& Lines() const;
  bool Busy() const { return busy_; }
  // A delete of the PBX's records waits for its answer.
  bool Deleting() const { return deleting_; }
  const std::string& Receiver() const { return receiver_; }
  void SetReceiver(const std::string& text) { receiver_ = text; }

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, plat::Notify code) override;
  void OnDeferred(int action, std::int64_t arg) override;
  void OnNotify(int code) override;
  // While a read-out runs, asks whether to stop it first.
  void Leave(int result) override;
  void Detach() override;

 private:
  void AskDelete();
  void Save();
  void EditReceiver();
  void Print();

  CSelectionCriteriaDlg selection_;
  std::unique_ptr<chargedlg::ReportListView> list_;
  std::string receiver_;
  bool busy_ = false;
  bool deleting_ = false;
  bool leaving_ = false;
};

// The menu's and the manager's dialog 190. While one is open, a second
// request fills the open one again and brings it to the front; the result
// is then -2.
int RunChargeReportDlg(CChargeAndLogHandler* handler, CMonitorTable* monitors, IReportPrinter* printer,
                       plat::WindowId owner);
