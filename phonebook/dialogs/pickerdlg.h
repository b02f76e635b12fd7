// The phone book picker (dialog 195, modal): one line per record in use;
// the chosen line's record is the answer, found again by its offset (two
// records may share a number). The program's IPhoneBookPicker.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "phonebook/dialogs/pbstore.h"
#include "phonebook/iface/picker.h"
#include "platform/dialogkit/dialog.h"

namespace pb {

class CPhoneBookDlg : public plat::Dialog {
 public:
  static constexpr int kResourceId = 195;
  static constexpr int IDC_LIST = 1359;
  static constexpr const char* kLineTemplate = "%c\t%k\t%n\t%i";

  explicit CPhoneBookDlg(IPhoneBookStore& store);

  // After OK: the chosen record (chosen false when none).
  bool chosen = false;
  PbRecord record;
  std::string line;

  // The lines and their records' offsets, as the list shows them.
  static void Lines(IPhoneBookStore& store, std::vector<std::string>* lines, std::vector<std::int64_t>* offsets);

 protected:
  bool OnInitDialog() override;
  void OnOK() override;
  bool OnCommand(int id, plat::Notify code) override;

 private:
  IPhoneBookStore& store_;
  std::vector<std::int64_t> offsets_;
};

class CPhoneBookPicker : public IPhoneBookPicker {
 public:
  explicit CPhoneBookPicker(IPhoneBookStore& store) : store_(store) {}
  bool Pick(plat::WindowId owner, PickedRecord* out) override;

 private:
  IPhoneBookStore& store_;
};

}  // namespace pb
