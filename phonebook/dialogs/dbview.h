// Record views (dialog 156, modeless), one per call, and the control that
// keeps ten slots of them. A view holds its own copy of the record and the
// ids of its call, never the database's item or the call record itself.
#pragma once
#include <array>
#include <memory>

#include "core/callhandler/callpartners.h"
#include "phonebook/dialogs/pbstore.h"
#include "phonebook/dialogs/pbwindow.h"

class CCallInfo;

namespace pb {

class CDBViewDlg : public CPbWindowDlg {
 public:
  static constexpr int kResourceId = 156;
  static constexpr int IDC_STORE = 1158;

  CDBViewDlg(IPhoneBookStore& store, const PbRecord& record, int slot, plat::WindowId hub);
  ~CDBViewDlg() override;

  const PbRecord& Record() const { return record_; }
  int Slot() const { return slot_; }

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, plat::Notify code) override;
  plat::LRESULT OnWindowMessage(const plat::Message& m) override;

 private:
  void Close() override;
  void Store();

  IPhoneBookStore& store_;
  PbRecord record_;
  int slot_;
  plat::WindowId hub_;
};

class CDBViewControl {
 public:
  static constexpr int kSlots = 10;

  CDBViewControl() = default;
  ~CDBViewControl();
  CDBViewControl(const CDBViewControl&) = delete;
  CDBViewControl& operator=(const CDBViewControl&) = delete;

  // owner: the view's window, which gets 1039 and the boxes.
  bool Init(plat::WindowId owner, IPhoneBookStore* store);
  bool IsEnabled() const { return enabled_; }
  // The slot of the new view (0 as well when none was opened); with the
  // setting "move the database" only the database window's next record.
  int OpenView(const CallRecordMatch& match);
  int CloseViewByIndex(int n);
  int CloseViewForCall(const CCallInfo* call);

  CDBViewDlg* View(int n) const;
  int OpenCount() const;

 private:
  struct Slot {
    std::unique_ptr<CDBViewDlg> dialog;
    int callId = -1;
    int callRef = -1;
  };
  class Poster;

  std::array<Slot, kSlots> slots_;
  plat::WindowId owner_ = 0;
  IPhoneBookStore* store_ = nullptr;
  bool enabled_ = false;
};

}  // namespace pb
