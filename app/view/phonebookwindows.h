// The phone book's windows beside the view: the database window in its
// slot, the record views of calls on the hub, and the picker that keypad,
// speed dial and callback list take numbers from. Without a phone book
// nothing is installed.
#pragma once
#include <memory>

class CBrimlowView;

namespace pb {
class IPhoneBookStore;
class CDBViewControl;
}

class PhoneBookWindows;

// Before the view's creation. The result keeps the record views and the
// picker; it must outlive the view's use of them (destroy it after the view).
std::unique_ptr<PhoneBookWindows> InstallPhoneBookWindows(CBrimlowView& view, pb::IPhoneBookStore* store);

class PhoneBookWindows {
 public:
  ~PhoneBookWindows();
  struct Parts;
  explicit PhoneBookWindows(std::unique_ptr<Parts> parts);
  PhoneBookWindows(const PhoneBookWindows&) = delete;
  PhoneBookWindows& operator=(const PhoneBookWindows&) = delete;
  pb::CDBViewControl& RecordViews();

 private:
  std::unique_ptr<Parts> parts_;
};
