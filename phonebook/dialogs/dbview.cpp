#include "phonebook/dialogs/dbview.h"

#include <QDialog>

#include "core/base/globalconfig.h"
#include "core/calls/callinfo.h"
#include "core/iface/viewhub.h"
#include "phonebook/dialogs/recordform.h"
#include "platform/msgbox.h"
#include "platform/textid.h"

namespace pb {

namespace {

constexpr plat::UINT kDoBox = plat::WM_USER + 841;

// BCPW: 0 opens a view, 1 moves the database window to the record.
constexpr int kOpenViews = 0;
// ECPW: 0 closes the view when its call ends.
constexpr int kCloseWithCall = 0;

}  // namespace

// ---------------------------------------------------------------- the view

CDBViewDlg::CDBViewDlg(IPhoneBookStore& store, const PbRecord& record, int slot, plat::WindowId hub)
    : CPbWindowDlg(plat::dlg::kProgram, kResourceId), store_(store), record_(record), slot_(slot), hub_(hub) {}

CDBViewDlg::~CDBViewDlg() { DestroyWindow(); }

bool CDBViewDlg::OnInitDialog() {
  form::FillTitles(*this, 19, 12);
  form::Show(*this, record_);
  return true;
}

void CDBViewDlg::Close() {
  if (Window()) Window()->hide();
  // The control takes the view apart once this handler has returned.
  if (hub_) plat::PostMessage(hub_, hub::kCloseRecordView, 0, slot_);
}

void CDBViewDlg::Store() {
  PbRecord edited = record_;
  form::Take(*this, edited);
  if (!store_.Save(edited)) {
    plat::PostMessage(Id(), kDoBox);
    return;
  }
  record_ = edited;
  form::Show(*this, record_);
}

bool CDBViewDlg::OnCommand(int id, plat::Notify code) {
  if (id == IDC_STORE && code == plat::Notify::Clicked) {
    Store();
    return true;
  }
  return false;
}

plat::LRESULT CDBViewDlg::OnWindowMessage(const plat::Message& m) {
  if (m.msg == kDoBox && IsCreated())
    plat::MessageBox(Id(), plat::GetTextOr(plat::TextId(11, 65), ""), GetWindowText(), plat::MB_OK | plat::MB_ICONERROR);
  return 0;
}

// ------------------------------------------------------------- the control

// The "all ten busy" box comes after the sender's call, not inside it.
class CDBViewControl::Poster : public plat::IMessageTarget {
 public:
  static Poster& Get() {
    static Poster p;
    return p;
  }
  plat::LRESULT OnMessage(const plat::Message& m) override {
    if (m.msg == kDoBox)
      plat::MessageBox(static_cast<plat::WindowId>(m.wParam), plat::GetTextOr(plat::TextId(51, 0), ""),
                       plat::GetTextOr(plat::TextId(12, 0), "Ansicht"), plat::MB_OK | plat::MB_ICONWARNING);
    return 0;
  }
  plat::WindowId id = plat::RegisterTarget(this);
};

CDBViewControl::~CDBViewControl() {
  for (int n = 0; n < kSlots; ++n) CloseViewByIndex(n);
}

bool CDBViewControl::Init(plat::WindowId owner, IPhoneBookStore* store) {
  owner_ = owner;
  store_ = store;
  enabled_ = owner != 0 && store != nullptr;
  return enabled_;
}

int CDBViewControl::OpenView(const CallRecordMatch& match) {
  if (!enabled_) return 0;
  PbRecord r;
  const bool known = match.record && store_->RecordOf(match.record, &r);
  if (GlobalConfig().BCPW != kOpenViews) {
    if (known && !r.IsNew()) store_->SetViewRequest(r.offset);
    return 0;
  }
  if (!known) return 0;
  for (int n = 0; n < kSlots; ++n) {
    Slot& s = slots_[static_cast<std::size_t>(n)];
    if (s.dialog) continue;
    auto dlg = std::make_unique<CDBViewDlg>(*store_, r, n, owner_);
    if (!dlg->Create(owner_)) return 0;
    s.dialog = std::move(dlg);
    s.callId = match.call ? match.call->callId : -1;
    s.callRef = match.call ? match.call->callRefId : -1;
    return n;
  }
  plat::PostMessage(Poster::Get().id, kDoBox, owner_);
  return 0;
}

int CDBViewControl::CloseViewByIndex(int n) {
  if (!enabled_) return 0;
  if (n < 0 || n >= kSlots) return 1;
  Slot& s = slots_[static_cast<std::size_t>(n)];
  s.dialog.reset();
  s.callId = s.callRef = -1;
  return 1;
}

int CDBViewControl::CloseViewForCall(const CCallInfo* call) {
  if (!enabled_ || !call) return 0;
  store_->SetViewRequest(0);
  if (GlobalConfig().ECPW != kCloseWithCall) return 1;
  for (int n = 0; n < kSlots; ++n) {
    Slot& s = slots_[static_cast<std::size_t>(n)];
    if (!s.dialog) continue;
    // Calls without a PBX call id yet are told apart by their record.
    const bool same = call->callId >= 0 && s.callId >= 0 ? call->callId == s.callId : call->callRefId == s.callRef;
    if (same) CloseViewByIndex(n);
  }
  return 1;
}

CDBViewDlg* CDBViewControl::View(int n) const {
  return n >= 0 && n < kSlots ? slots_[static_cast<std::size_t>(n)].dialog.get() : nullptr;
}

int CDBViewControl::OpenCount() const {
  int k = 0;
  for (const Slot& s : slots_)
    if (s.dialog) ++k;
  return k;
}

}  // namespace pb
