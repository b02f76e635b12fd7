#include "app/view/phonebookwindows.h"

#include "app/view/brimlowview.h"
#include "phonebook/dialogs/databasedlg.h"
#include "phonebook/dialogs/dbview.h"
#include "phonebook/dialogs/pickerdlg.h"
#include "phonebook/iface/picker.h"

namespace {

// The database window in the view's slot.
class DatabaseWindow : public IViewWindow {
 public:
  explicit DatabaseWindow(pb::IPhoneBookStore* store) : dlg_(store) {
    dlg_.closedNotice = [this] { NotifyClosed(); };
  }
  bool Create(plat::WindowId parent) override { return dlg_.Create(parent); }
  bool IsOpen() const override { return dlg_.IsCreated(); }
  plat::LRESULT Notify(plat::UINT code, plat::WPARAM w, plat::LPARAM l) override { return dlg_.Notify(code, w, l); }
  void Show(int show) override { dlg_.Show(show); }
  void Destroy() override { dlg_.DestroyWindow(); }

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
};

PhoneBookWindows::PhoneBookWindows(std::unique_ptr<Parts> parts) : parts_(std::move(parts)) {}

pb::CDBViewControl& PhoneBookWindows::RecordViews() { return parts_->views.control; }

PhoneBookWindows::~PhoneBookWindows() {
  if (CurrentPhoneBookPicker() == &parts_->picker) SetPhoneBookPicker(nullptr);
}

std::unique_ptr<PhoneBookWindows> InstallPhoneBookWindows(CBrimlowView& view, pb::IPhoneBookStore* store) {
  if (!store) return nullptr;
  auto parts = std::make_unique<PhoneBookWindows::Parts>(*store);
  parts->views.control.Init(view.Id(), store);
  view.SetRecordViews(&parts->views);
  view.SetWindow(CBrimlowView::kDatabase, std::make_unique<DatabaseWindow>(store));
  SetPhoneBookPicker(&parts->picker);
  return std::make_unique<PhoneBookWindows>(std::move(parts));
}
