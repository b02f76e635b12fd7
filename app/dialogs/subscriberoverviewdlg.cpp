#include "app/dialogs/subscriberoverviewdlg.h"

#include <QAbstractButton>
#include <QDialog>
#include <QEvent>
#include <QWidget>

#include "app/callwin/visualizeconnections.h"
#include "app/callwin/winplace.h"
#include "app/dialogs/dialogicons.h"
#include "core/base/globalconfig.h"
#include "core/iface/viewhub.h"
#include "core/monitor/monitortable.h"
#include "platform/dialogkit/dlgsupport.h"
#include "platform/msgbox.h"
#include "platform/qtext.h"
#include "platform/text.h"
#include "platform/textid.h"

namespace {

// The charge-view box runs its own loop: it leaves the mouse handler first.
constexpr plat::UINT kDoChargeBox = plat::WM_USER + 721;

}  // namespace

// Double clicks on any control of a row, which statics and edits do not
// report by themselves.
class CSubscriberOverviewDlg::Mouse : public QObject {
 public:
  explicit Mouse(CSubscriberOverviewDlg* d) : d_(d) {}
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() != QEvent::MouseButtonDblClick) return false;
    const int id = o->property("overviewid").toInt();
    if (RowOf(id) < 0) return false;
    d_->Route(id, plat::Notify::DoubleClicked);
    return true;
  }

 private:
  CSubscriberOverviewDlg* d_;
};

int CSubscriberOverviewDlg::RowOf(int controlId) {
  if (controlId < IDC_FIRSTROW || controlId > IDC_LASTROW) return -1;
  return (controlId - IDC_FIRSTROW) / 3;
}

CSubscriberOverviewDlg::CSubscriberOverviewDlg(CMonitorTable* monitors, CVisualizeConnections* drawing)
    : Dialog(plat::dlg::kProgram, kResourceId), monitors_(monitors), drawing_(drawing) {
  for (int& m : marks_) m = -1;
}

CSubscriberOverviewDlg::~CSubscriberOverviewDlg() {
  SetClosedNotice(nullptr);
  DestroyWindow();
}

bool CSubscriberOverviewDlg::Create(plat::WindowId view) {
  if (IsCreated()) return true;
  view_ = view;
  return Dialog::Create(view);
}

void CSubscriberOverviewDlg::Show(int show) {
  if (show && refreshPending_ && IsCreated()) {
    refreshPending_ = false;
    FillRows();
    if (GlobalConfig().PSVMINDG == 1) UpdateStates();
  }
  callwin::SetShown(Window(), show);
}

bool CSubscriberOverviewDlg::OnInitDialog() {
  QDialog* win = Window();
  win->setWindowIcon(dialogs::OverviewIcon());
  mouse_ = std::make_unique<Mouse>(this);
  for (int r = 0; r < kRows; ++r)
    for (int id : {ButtonId(r), NumberId(r), NameId(r)})
      if (QWidget* w = Item(id)) {
        w->setProperty("overviewid", id);
        w->installEventFilter(mouse_.get());
      }
  if (drawing_) drawing_->SetListener(Id());
  FillRows();
  if (openedBefore_) {
    ShowItem(IDC_NOTE, false);
    if (GlobalConfig().PSVMINDG == 1) UpdateStates();
  } else {
    ShowItem(IDC_NOTE, true);
  }
  if (!win->isMinimized()) callwin::RestorePosition(win, kPosition);
  return true;
}

void CSubscriberOverviewDlg::OnDestroy() {
  if (QWidget* w = Window(); w && !w->isMinimized()) callwin::SavePosition(w, kPosition);
  if (drawing_) {
    drawing_->SetListener(0);
    drawing_->ForgetWindow(Window());
  }
  for (std::string& n : registered_) n.clear();
  mouse_.reset();
  NotifyClosed();
}

void CSubscriberOverviewDlg::FillRows() {
  if (!IsCreated()) return;
  filled_ = 0;
  std::string numbers[kRows];
  if (monitors_) {
    monitors_->ResetCursor();
    const int shown = monitors_->GetShownCount();
    for (int r = 0; r < kRows && r < shown; ++r) {
      std::string n = monitors_->Next(1, false, false);
      if (n.empty()) break;
      numbers[filled_++] = n;
    }
  }
  for (int r = 0; r < kRows; ++r) {
    const bool used = r < filled_;
    const CMonitorEntry* e = used ? monitors_->FindByNumber(numbers[r]) : nullptr;
    SetItemText(NumberId(r), used ? numbers[r] : std::string());
    SetItemText(NameId(r), e ? monitors_->EntryText(e, true) : std::string());
    for (int id : {ButtonId(r), NumberId(r), NameId(r)}) {
      ShowItem(id, used);
      if (QWidget* w = Item(id)) w->setToolTip(hoverTexts_ && e ? plat::ToQString(HoverText(e)) : QString());
    }
    if (!used) {
      marks_[r] = -1;
      if (!registered_[r].empty() && drawing_) drawing_->ForgetWindow(Item(ButtonId(r)));
      registered_[r].clear();
      SetButtonIcon(r, QIcon());
      continue;
    }
    // A fresh registration resets the item's state: only when the row
    // stands for another extension than before.
    if (drawing_ && registered_[r] != numbers[r]) {
      drawing_->Register(CVisualizeConnections::kExtensionKeys + plat::AtoiC(numbers[r].c_str()),
                         Item(ButtonId(r)), CVisualizeConnections::kButton, numbers[r]);
      registered_[r] = numbers[r];
    }
    if (marks_[r] < 0) DrawRow(r);
  }
}

void CSubscriberOverviewDlg::UpdateStates() {
  for (int r = 0; r < filled_; ++r) DrawRow(r);
  if (drawing_) drawing_->RepaintAll();
}

void CSubscriberOverviewDlg::DrawRow(int row) {
  if (row < 0 || row >= filled_ || !monitors_) return;
  const CMonitorEntry* e = monitors_->FindByNumber(GetItemText(NumberId(row)));
  // An extension the PBX refused to watch is not a telephone of its own.
  dialogs::StateMark mark = !e || e->monitorState == CMonitorEntry::kStartFailed
                                ? dialogs::kMarkNoPhone
                                : dialogs::MarkForState(e->connectionState);
  marks_[row] = mark;
  SetItemText(ButtonId(row), std::string());
  SetButtonIcon(row, dialogs::StateIcon(mark));
}

void CSubscriberOverviewDlg::SetButtonIcon(int row, const QIcon& icon) {
  if (auto* b = qobject_cast<QAbstractButton*>(Item(ButtonId(row)))) b->setIcon(icon);
}

int CSubscriberOverviewDlg::RowMark(int row) const { return row >= 0 && row < kRows ? marks_[row] : -1; }

void CSubscriberOverviewDlg::SetHoverTexts(bool on) {
  hoverTexts_ = on;
  FillRows();
}

std::string CSubscriberOverviewDlg::HoverText(const CMonitorEntry* e) const {
  std::string s = monitors_->EntryText(e, false);
  if (e->connectionState != -1 && e->otherParty[0]) s += plat::StrFormatC(" <-> %s", e->otherParty);
  return s;
}

plat::LRESULT CSubscriberOverviewDlg::Notify(plat::UINT code, plat::WPARAM, plat::LPARAM) {
  if (!IsCreated()) return 0;
  QWidget* w = Window();
  switch (code) {
    case hub::kBringToFront:
      callwin::BringToFront(w, Id());
      break;
    case hub::kMonitoringStarted:
      openedBefore_ = true;
      ShowItem(IDC_NOTE, false);
      FillRows();
      if (GlobalConfig().PSVMINDG == 1) UpdateStates();
      break;
    default:
      break;
  }
  return 1;
}

bool CSubscriberOverviewDlg::OnCommand(int id, plat::Notify code) {
  if (id == IDC_SECOND && code == plat::Notify::Clicked) {
    chargeMode_ = !chargeMode_;
    return true;
  }
  const int row = RowOf(id);
  if (row < 0) return false;
  if (code == plat::Notify::DoubleClicked) DoubleClickRow(row);
  return true;
}

void CSubscriberOverviewDlg::DoubleClickRow(int row) {
  if (row >= filled_) return;
  const std::string number = GetItemText(NumberId(row));
  if (number.empty()) return;
  if (chargeMode_) {
    plat::PostMessage(Id(), kDoChargeBox, static_cast<plat::WPARAM>(row), 0);
    return;
  }
  if (view_) plat::PostMessage(view_, hub::kSubscriberReport, 0, 0, number.c_str(), number.size() + 1);
}

plat::LRESULT CSubscriberOverviewDlg::OnWindowMessage(const plat::Message& m) {
  switch (m.msg) {
    case CVisualizeConnections::kStateNotice: {
      const char* number = reinterpret_cast<const char*>(m.data());
      if (!number || m.payload.back() != 0) return 0;
      for (int r = 0; r < filled_; ++r)
        if (GetItemText(NumberId(r)) == number) {
          DrawRow(r);
          const CMonitorEntry* e = monitors_->FindByNumber(number);
          if (hoverTexts_ && e)
            for (int id : {ButtonId(r), NumberId(r), NameId(r)})
              if (QWidget* w = Item(id)) w->setToolTip(plat::ToQString(HoverText(e)));
        }
      return 0;
    }
    case kDoChargeBox: {
      const int row = static_cast<int>(m.wParam);
      if (row < 0 || row >= filled_ || !monitors_) return 0;
      const std::string number = GetItemText(NumberId(row));
      const CMonitorEntry* e = monitors_->FindByNumber(number);
      const std::string text = e ? monitors_->EntryText(e, false) : std::string();
      plat::MessageBox(Id(), plat::StrFormatC("%s %s - %s", number.c_str(), GetItemText(NameId(row)).c_str(),
                                              text.c_str()),
                       GetWindowText(), plat::MB_OK | plat::MB_ICONINFORMATION);
      return 0;
    }
    default:
      return 0;
  }
}
