// Picking a record from the phone book (the picker dialog), behind one
// interface: the keypad, speed dial, callback list and settings dialogs
// take a number from it, tests answer it by script, and until the phone
// book's picker exists there is none (Pick answers false).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32types.h"

// The chosen record's fields (Windows-1252) and where it lies in the file,
// copied: the picker keeps nothing of it.
struct PickedRecord {
  std::int64_t offset = -1;  // record offset in the database file; -1 none
  std::string company, name, title, number;
};

class IPhoneBookPicker {
 public:
  virtual ~IPhoneBookPicker() = default;
  // True with *out filled when the user chose a record; false when they
  // cancelled or there is no phone book.
  virtual bool Pick(plat::WindowId owner, PickedRecord* out) = 0;
};

// The program's picker; nullptr (the default) means none yet. Main thread.
inline IPhoneBookPicker*& PhoneBookPickerSlot() {
  static IPhoneBookPicker* picker = nullptr;
  return picker;
}
inline IPhoneBookPicker* CurrentPhoneBookPicker() { return PhoneBookPickerSlot(); }
inline void SetPhoneBookPicker(IPhoneBookPicker* picker) { PhoneBookPickerSlot() = picker; }

// For tests: answers with the queued records in order, then false.
class ScriptedPhoneBookPicker : public IPhoneBookPicker {
 public:
  bool Pick(plat::WindowId, PickedRecord* out) override {
    ++asked;
    if (answers.empty()) return false;
    *out = answers.front();
    answers.erase(answers.begin());
    return true;
  }
  std::vector<PickedRecord> answers;
  int asked = 0;
};
