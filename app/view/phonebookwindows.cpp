#include "app/view/phonebookwindows.h"

#include "app/dialogs/extrasdlg.h"
#include "app/view/brimlowview.h"
#include "phonebook/dialogs/databasedlg.h"
#include "phonebook/dialogs/dbview.h"
#include "phonebook/dialogs/pickerdlg.h"
#include "phonebook/iface/picker.h"

namespace {

// The extras dialog's view of one record: the treatment selector is the
// forwarding kind, the target its extension or number.
class RecordForwarding : public IForwardingRecord {
 public:
  explicit RecordForwarding(pb::PbRecord& r) : r_(r) {}
  int GetForwardingKind() override { return r_.selector; }
  std::string GetForwardingTarget() override { return r_.target; }
  void SetForwardingKind(int kind) override { r_.selector = static_cast<std::int16_t>(kind); }
  void SetForwardingTarget(const std::string& target) override { r_.SetTarget(target); }

 private:
  pb::PbRecord& r_;
};

bool EditRecordForwarding(CMonitorTable& monitors, plat::WindowId owner, pb::PbRecord& r) {
  const std::int16_t selector = r.selector;
  const std::string target = r.target;
  RecordForwarding forwarding(r);
  if (RunRecordForwardingDlg(monitors, forwarding, owner) != plat::IDOK) {
    r.selector = selector;
    r.target = target;
    return false;
  }
  return r.selector != selector || r.target != target;
}

// The database window in the view's slot.
class DatabaseWindow : public IViewWindow {
 public:
  DatabaseWindow(pb::IPhoneBookStore* store, CMonitorTable* monitors) : dlg_(store) {
    dlg_.closedNotice = [this] { NotifyClosed(); };
    if (monitors)
      dlg_.individualTreatment = [monitors](plat::WindowId owner, pb::PbRecord& r) {
        return EditRecordForwarding(*monitors, owner, r);
      };
  }
  bool Create(plat::WindowId parent) override { return dlg_.Create(parent); }
  bool IsOpen() const override { return dlg_.IsCreated(); }
  plat::LRESULT Notify(plat::UINT code, plat::WPARAM w, plat::LPARAM l) override { return dlg_.Notify(code, w, l); }
  void Show(int show) override { dlg_.Show(show); }
  void Destroy() override { dlg_.DestroyWindow(); }
  pb::CDataBaseDlg& Dialog() { return dlg_; }

 private:
  pb::CDataBaseDlg dlg_;
};

class HubRecordViews : public IRecordViews {
 public:
  int OpenView(const CallRecordMatch& match) override { return control.OpenView(match); }
  int CloseViewByIndex(int slot) override { return control.CloseViewByIndex(slot); }
  int CloseViewForCall(const CCallInfo* call) override { return control.CloseViewForCall(call); }
  pb::CDBViewControl control;
};

}  // namespace

struct PhoneBookWindows::Parts {
  explicit Parts(pb::IPhoneBookStore& store) : picker(store) {}
  HubRecordViews views;
  pb::CPhoneBookPicker picker;
  pb::CDataBaseDlg* database = nullptr;
};

PhoneBookWindows::PhoneBookWindows(std::unique_ptr<Parts> parts) : parts_(std::move(parts)) {}

pb::CDBViewControl& PhoneBookWindows::RecordViews() { return parts_->views.control; }

pb::CDataBaseDlg& PhoneBookWindows::DatabaseDialog() { return *parts_->database; }

PhoneBookWindows::~PhoneBookWindows() {
  if (CurrentPhoneBookPicker() == &parts_->picker) SetPhoneBookPicker(nullptr);
}

std::unique_ptr<PhoneBookWindows> InstallPhoneBookWindows(CBrimlowView& view, pb::IPhoneBookStore* store,
                                                          CMonitorTable* monitors) {
  if (!store) return nullptr;
  auto parts = std::make_unique<PhoneBookWindows::Parts>(*store);
  parts->views.control.Init(view.Id(), store);
  view.SetRecordViews(&parts->views);
  auto database = std::make_unique<DatabaseWindow>(store, monitors);
  parts->database = &database->Dialog();
  view.SetWindow(CBrimlowView::kDatabase, std::move(database));
  SetPhoneBookPicker(&parts->picker);
  return std::make_unique<PhoneBookWindows>(std::move(parts));
}
