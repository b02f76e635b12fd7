// The phone book's windows beside the view: the database window in its
// slot, the record views of calls on the hub, and the picker that keypad,
// speed dial and callback list take numbers from. Without a phone book
// nothing is installed.
#pragma once
#include <memory>

class CBrimlowView;
class CMonitorTable;

namespace pb {
class IPhoneBookStore;
class CDBViewControl;
class CDataBaseDlg;
}

class PhoneBookWindows;

// Before the view's creation. The result keeps the record views and the
// picker; it must outlive the view's use of them (destroy it after the view).
// With the monitor table the database window edits a record's individual
// treatment in the extras dialog; the table must outlive the window.
std::unique_ptr<PhoneBookWindows> InstallPhoneBookWindows(CBrimlowView& view, pb::IPhoneBookStore* store,
                                                          CMonitorTable* monitors = nullptr);

class PhoneBookWindows {
 public:
  ~PhoneBookWindows();
  struct Parts;
  explicit PhoneBookWindows(std::unique_ptr<Parts> parts);
  PhoneBookWindows(const PhoneBookWindows&) = delete;
  PhoneBookWindows& operator=(const PhoneBookWindows&) = delete;
  pb::CDBViewControl& RecordViews();
  // The database window's dialog, while the view keeps the window.
  pb::CDataBaseDlg& DatabaseDialog();

 private:
  std::unique_ptr<Parts> parts_;
};
