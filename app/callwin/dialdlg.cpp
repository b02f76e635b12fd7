#include "app/callwin/dialdlg.h"

#include <QDialog>
#include <QEvent>
#include <QKeyEvent>
#include <QPalette>
#include <QWidget>
#include <cstdint>

#include "app/callwin/callwinres.h"
#include "app/callwin/winplace.h"
#include "core/base/globalconfig.h"
#include "core/base/globallog.h"
#include "core/callhandler/callhandler.h"
#include "core/iface/viewhub.h"
#include "phonebook/iface/picker.h"
#include "platform/dialogkit/dlgsupport.h"
#include "platform/msgbox.h"
#include "platform/text.h"
#include "platform/textid.h"

namespace {

// Dialling and the phone book picker leave the button's handler first:
// the handset prompt and the picker are modal.
constexpr plat::UINT kDoDial = plat::WM_USER + 711;
constexpr plat::UINT kDoPick = plat::WM_USER + 712;
constexpr plat::UINT kDoEmptyBox = plat::WM_USER + 713;

char KeyChar(int id) {
  if (id >= CDialDlg::IDC_KEY1 && id < CDialDlg::IDC_KEY1 + 9) return static_cast<char>('1' + (id - CDialDlg::IDC_KEY1));
  if (id == CDialDlg::IDC_KEY0) return '0';
  if (id == CDialDlg::IDC_STAR) return '*';
  if (id == CDialDlg::IDC_HASH) return '#';
  return 0;
}

}  // namespace

// The key 'x' typed into the window itself (not into the number field).
class CDialDlg::Events : public QObject {
 public:
  explicit Events(CDialDlg* d) : d_(d) {}
  bool eventFilter(QObject* o, QEvent* e) override {
    if (o == d_->Window() && e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_X) {
      plat::PostMessage(d_->Id(), kDoEmptyBox);
      return true;
    }
    return false;
  }

 private:
  CDialDlg* d_;
};

CDialDlg::CDialDlg() : Dialog(plat::dlg::kProgram, kResourceId) {}

CDialDlg::~CDialDlg() {
  SetClosedNotice(nullptr);  // the owner is going away itself
  DestroyWindow();
}

bool CDialDlg::Create(plat::WindowId view) {
  if (IsCreated()) return true;
  view_ = view;
  return Dialog::Create(view);
}

void CDialDlg::Show(int show) { callwin::SetShown(Window(), show); }

bool CDialDlg::OnInitDialog() {
  QDialog* win = Window();
  win->setWindowIcon(callwin::ProgramIcon(kIconMinimised));
  events_ = std::make_unique<Events>(this);
  win->installEventFilter(events_.get());
  // The number field in its own colours.
  if (QWidget* field = Item(IDC_NUMBER)) {
    QPalette p = field->palette();
    p.setColor(QPalette::Base, QColor(0xff, 0xff, 0xe0));
    p.setColor(QPalette::Text, QColor(0x00, 0x00, 0x80));
    field->setPalette(p);
  }
  EnableItem(IDC_DIAL, true);
  SetInCall(inCall_);
  if (!win->isMinimized()) callwin::RestorePosition(win, kPosition);
  return true;
}

void CDialDlg::OnDestroy() {
  if (QWidget* w = Window(); w && !w->isMinimized()) callwin::SavePosition(w, kPosition);
  if (events_ && Window()) Window()->removeEventFilter(events_.get());
  events_.reset();
  NotifyClosed();
}

void CDialDlg::ReadControls() {
  if (IsCreated()) number_ = GetItemText(IDC_NUMBER);
}

void CDialDlg::ShowControls() {
  if (IsCreated() && GetItemText(IDC_NUMBER) != number_) SetItemText(IDC_NUMBER, number_);
}

void CDialDlg::SetInCall(bool inCall) {
  if (!IsCreated()) return;
  inCall_ = inCall;
  EnableItem(IDC_NUMBER, !inCall);
  EnableItem(IDC_DIAL, !inCall);
  // Hanging up is offered exactly while there is a call to hang up.
  EnableItem(IDC_HANGUP, inCall);
  if (!inCall) {
    if (callGenerator_ == kOrigin) {
      number_.clear();
      ShowControls();
    }
    callRef_ = -1;
    callGenerator_ = -1;
  }
}

void CDialDlg::Remember(const CCallInfo* call) {
  callRef_ = call ? call->callRefId : -1;
  callGenerator_ = call ? call->generatorId : -1;
}

plat::LRESULT CDialDlg::Notify(plat::UINT code, plat::WPARAM wParam, plat::LPARAM lParam) {
  (void)wParam;
  if (!IsCreated()) return 0;
  QWidget* w = Window();
  switch (code) {
    case hub::kBringToFront:
      callwin::BringToFront(w, Id());
      break;
    case hub::kCallCleared: {
      // Only the end of the keypad's own call: another call's end (a held
      // one, a consultation) leaves "Halt" to hang this one up.
      const auto* call = reinterpret_cast<const CCallInfo*>(static_cast<std::intptr_t>(lParam));
      if (callRef_ < 0 || (call && call->callRefId == callRef_)) SetInCall(false);
      break;
    }
    case hub::kCallActive:
      if (const auto* call = reinterpret_cast<const CCallInfo*>(static_cast<std::intptr_t>(lParam))) {
        Remember(call);
        SetInCall(true);
      }
      break;
    default:
      break;
  }
  return 1;
}

bool CDialDlg::OnCommand(int id, plat::Notify code) {
  if (id == IDC_DIALLED) {
    if (!inCall_ && GetCurSel(IDC_DIALLED) >= 0) {
      number_ = GetLBText(IDC_DIALLED, GetCurSel(IDC_DIALLED));
      ShowControls();
    }
    return true;
  }
  if (code != plat::Notify::Clicked) return false;
  if (const char c = KeyChar(id)) {
    ReadControls();
    if (!inCall_) number_ += c;
    ShowControls();
    return true;
  }
  switch (id) {
    case IDC_DIAL:
      ReadControls();
      plat::PostMessage(Id(), kDoDial);
      return true;
    case IDC_HANGUP:
      HangUp();
      return true;
    case IDC_PICK:
      plat::PostMessage(Id(), kDoPick);
      return true;
    default:
      return false;
  }
}

plat::LRESULT CDialDlg::OnWindowMessage(const plat::Message& m) {
  switch (m.msg) {
    case kDoDial:
      Dial();
      return 0;
    case kDoPick:
      Pick();
      return 0;
    case kDoEmptyBox:
      plat::MessageBox(Id(), "", "", plat::MB_OK);
      return 0;
    default:
      return 0;
  }
}

void CDialDlg::Dial() {
  if (!IsCreated() || number_.empty() || inCall_ || !callHandler) return;
  // The handset first: a refused check takes no record from the pool.
  if (!callHandler->WaitForHandset(kOrigin) || !IsCreated()) return;
  CCallInfo* call = callHandler->GetFreeCall(kOrigin);
  if (!call) return;
  call->calledNumber = number_;
  call->direction = CCallInfo::kOutgoing;
  call->external = GlobalConfig().IsInternalNumber(number_.c_str()) ? 0 : 1;
  const std::string dialled = number_;
  if (!callHandler->MakeCall(call, kOrigin)) {
    call->Release();  // refused: the record goes back, the keypad stays idle
    return;
  }
  if (!IsCreated()) return;
  if (FindStringExact(IDC_DIALLED, -1, dialled) < 0) InsertString(IDC_DIALLED, 0, dialled);
  // The hub's notice may already have named the call; else it is ours.
  if (callRef_ != call->callRefId) Remember(call);
  SetInCall(true);
}

void CDialDlg::HangUp() {
  if (!inCall_) return;
  const int ref = callRef_;
  SetInCall(false);
  // The call is named by its reference: a record of the pool may be gone.
  CCallInfo* call = callHandler && ref >= 0 ? callHandler->GetCallByCallReferenceID(ref, kOrigin) : nullptr;
  if (call && view_)
    plat::SendMessage(view_, hub::kCallCleared, kOrigin, static_cast<plat::LPARAM>(reinterpret_cast<std::intptr_t>(call)));
}

void CDialDlg::Pick() {
  if (!IsCreated() || inCall_) return;
  IPhoneBookPicker* picker = CurrentPhoneBookPicker();
  if (!picker) {
    GlobalLog().WriteEntry(plat::GetTextOr(plat::TextId(14, 21), ""));
    return;
  }
  PickedRecord rec;
  if (!picker->Pick(Id(), &rec) || !IsCreated() || rec.number.empty()) return;
  number_ = rec.number;
  ShowControls();
  Dial();
}
