// Dialog 201 "Gesprächsauswertung": the calls of the PBX's read-out list
// (source 0, the view's service record file) or of the charge file (source
// 1, through the charge and log handler), filtered seven ways; printed,
// saved and loaded. It changes the handler's switches while it lists and
// gives them back, as they were at opening, however it closes.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "ui/listdialog.h"
#include "charges/dialogs/reportlines.h"
#include "charges/dialogs/selectioncriteriadlg.h"
#include "charges/handler/chargeifaces.h"

class CChargeAndLogHandler;
class CMonitorTable;
class CServiceRecordFile;
class IReportPrinter;

class CCallEvaluationDlg : public CListDialog, public IChargeListener {
 public:
  static constexpr int kResourceId = 201;
  static constexpr const char* kDocument = "Report.log";
  enum Source : int { kServiceFile = 0, kChargeFile = 1 };
  static constexpr int kFilters = 7;
  // The dialog's switches in the order of the filter table, and the pattern.
  static constexpr int kColumns = 7;
  enum : int {
    IDC_FILTER = 1573, IDC_PATTERN = 1580, IDC_CALLED = 1589, IDC_CALLING = 1590, IDC_EXT_SWITCH = 1594,
    IDC_TIME_SWITCH = 1592, IDC_UNITS_SWITCH = 1602, IDC_DURATION_SWITCH = 1595, IDC_REFRESH = 1596,
    IDC_LIST = 1307, IDC_PERIOD = 1346, IDC_EXTENSIONS = 1348, IDC_READ_TIME = 1319, IDC_STATUS = 1462,
    IDC_READ = 1599, IDC_LISTED = 1600, IDC_TOTAL = 1601, IDC_SUM = 1343, IDC_PARAMETERS = 1322,
    IDC_READ_OUT = 1317, IDC_PRINT = 1256, IDC_SAVE = 1314, IDC_LOAD = 1315,
  };
  // Bit c set: filter f takes column c from the dialog.
  static int TakenColumns(int filter);

  // charges: the handler the dialog registers with (it is learnt back from
  // the listener's code 10); records: the list of source 0; printer: null
  // disables printing. Any of them may be null.
  CCallEvaluationDlg(int source, CChargeAndLogHandler* charges, CServiceRecordFile* records, CMonitorTable* monitors,
                     IReportPrinter* printer);
  ~CCallEvaluationDlg() override;

  int Source() const { return source_; }
  int Filter() const;
  const chargedlg::ReportLines& Lines() const;
  int Fills() const { return fills_; }
  // How much text the list takes at most (the list's own limit otherwise).
  void LimitList(std::size_t bytes) { limit_ = bytes; }
  // Fills the list from the current source and filter.
  void Fill();
  // Gives the handler back the switches it had at opening; once.
  void Restore();

  // Runs inside the handler's dispatch: boxes and refills are posted.
  void OnChargeNotify(int code, const ChargeNotice& notice) override;

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, plat::Notify code) override;
  void OnOK() override { Leave(plat::IDOK); }
  void OnCancel() override { Leave(plat::IDCANCEL); }
  void OnDestroy() override;
  void OnDeferred(int action, std::int64_t arg) override;

 private:
  struct Parameters {
    std::array<std::int32_t, kColumns - 1> switches{};
    std::string pattern;
    int mode = 0;
  };
  void Leave(int result);
  void Detach();
  Parameters Read() const;
  void Apply();
  void PutBack();
  void Show(const Parameters& p);
  void ShowFilter();
  bool Add(chargedlg::ReportLines& lines, const std::string& line);
  void FillService();
  void FillCharges();
  void ShowCounts(int read, int listed);
  void Print();
  void Save();
  void Load();

  int source_;
  CChargeAndLogHandler* registrar_;
  CChargeAndLogHandler* handler_ = nullptr;
  CServiceRecordFile* records_;
  IReportPrinter* printer_;
  CSelectionCriteriaDlg selection_;
  std::unique_ptr<chargedlg::ReportListView> list_;
  Parameters saved_;
  bool haveSaved_ = false;
  bool listening_ = false;
  bool refillPosted_ = false;
  int fills_ = 0;
  std::size_t limit_ = UINT32_MAX;
};
