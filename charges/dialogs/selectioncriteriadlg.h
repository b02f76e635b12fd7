// Dialog 191 "Auswahlkriterien": which extensions, which period, the least
// charge and duration of the calls that the charge reports list. It edits
// the handler's selection and keeps none of its own.
#pragma once
#include <cstdint>
#include <vector>

#include "ui/listdialog.h"

class CChargeAndLogHandler;
class CMonitorTable;

class CSelectionCriteriaDlg : public CListDialog {
 public:
  static constexpr int kResourceId = 191;
  static constexpr int kEntries = 60;
  enum : int {
    IDC_DURATION_ON = 1585, IDC_CHARGE_ON = 1336, IDC_EXTENSIONS_ON = 1324, IDC_PERIOD_ON = 1326,
    IDC_SHOW_NUMBERS = 1342, IDC_ALL = 1325, IDC_LIST = 1323, IDC_COUNT = 1341,
    IDC_FROM_DAY = 1328, IDC_FROM_MONTH = 1329, IDC_FROM_YEAR = 1330, IDC_FROM_HOUR = 1581, IDC_FROM_MINUTE = 1583,
    IDC_TO_DAY = 1331, IDC_TO_MONTH = 1332, IDC_TO_YEAR = 1333, IDC_TO_HOUR = 1582, IDC_TO_MINUTE = 1584,
    IDC_MIN_CHARGE = 1338, IDC_MIN_DURATION = 1587,
  };
  static constexpr int kFirstYear = 1970, kLastYear = 2037;

  CSelectionCriteriaDlg(CChargeAndLogHandler* handler, CMonitorTable* monitors);

  // The extension list's entries: several may be selected.
  void SetEntrySelected(int entry, bool on);
  std::vector<int> SelectedEntries() const;  // the indexes that the entries keep

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, plat::Notify code) override;
  void OnOK() override;
  void OnDeferred(int action, std::int64_t arg) override;

 private:
  struct Moment {
    int day, month, year, hour, minute;
  };
  void FillBoxes();
  void ShowTime(int first, std::uint32_t t);
  // false when the boxes give a date that the calendar does not have.
  bool ReadTime(int first, std::uint32_t* out);
  void UpdateCount();

  CChargeAndLogHandler* handler_;
  CMonitorTable* monitors_;
};
