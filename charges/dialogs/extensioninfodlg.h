// Dialog 227 "Nebenstelleninformation": one tile's extension, its name, a
// note and the check-in time (its counter's last reset) and whether the
// tile shows that. Nothing reaches the record before OK.
#pragma once
#include <cstdint>
#include <string>

#include "ui/listdialog.h"
#include "charges/counter/displaycontrol.h"

class CMonitorTable;
struct SumChargeExtension;

class CExtensionInfoDlg : public CListDialog {
 public:
  static constexpr int kResourceId = 227;
  static constexpr std::uint32_t kTimeFlags = 0x0C35;
  static constexpr const char* kCheckInPattern = "%d.%m.%y, %H:%M:%S";
  static constexpr std::size_t kMaxCheckInText = 64;
  enum : int {
    IDC_DESCRIPTION = 1719, IDC_NAME = 1183, IDC_CHECKIN = 1722, IDC_SET_CHECKIN = 1723, IDC_CHECKOUT = 1727,
    IDC_SET_CHECKOUT = 1728, IDC_NOTE = 1720, IDC_TRUNK = 1725, IDC_CSTA = 1724, IDC_SHOW_CHECKIN = 1729,
    IDC_SALUTATION = 1188,
  };

  CExtensionInfoDlg(SumChargeExtension& extension, CMonitorTable* monitors);

  std::int32_t CheckIn() const { return checkIn_; }
  static std::string CheckInText(std::int32_t t);

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, plat::Notify code) override;
  void OnOK() override;
  void OnDeferred(int action, std::int64_t arg) override;

 private:
  void ChooseCheckIn();

  SumChargeExtension& ext_;
  CMonitorTable* monitors_;
  std::int32_t checkIn_;
};

// What the charge-counter manager opens from a tile's third button.
class CExtensionInfoWindow : public IExtensionInfoWindow {
 public:
  explicit CExtensionInfoWindow(CMonitorTable* monitors) : monitors_(monitors) {}
  int ShowExtensionInfo(SumChargeExtension& extension, plat::WindowId parent) override;

 private:
  CMonitorTable* monitors_;
};
