#include "app/callwin/assistantdlg.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QFont>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <QPushButton>
#include <QWidget>
#include <algorithm>
#include <array>
#include <cstdint>
#include <map>

#include "app/callwin/assistantclock.h"
#include "app/callwin/callwinres.h"
#include "app/callwin/memorykeys.h"
#include "app/callwin/programline.h"
#include "app/callwin/visualizeconnections.h"
#include "app/callwin/winplace.h"
#include "core/base/globalconfig.h"
#include "core/base/globallog.h"
#include "core/iface/viewhub.h"
#include "core/wire/csta_message.h"
#include "platform/dialogkit/dlgsupport.h"
#include "platform/eventloop.h"
#include "platform/launcher.h"
#include "platform/msgbox.h"
#include "platform/qtext.h"
#include "platform/text.h"
#include "platform/textid.h"

namespace {

using plat::TextId;

// Work the window posts to itself: boxes, dialogs and dialling never run
// inside the control's own handler.
constexpr plat::UINT kDoMemoryKey = plat::WM_USER + 701;  // wParam: key 1-12
constexpr plat::UINT kDoProgram = plat::WM_USER + 702;    // wParam: 1 or 2
constexpr plat::UINT kDoClose = plat::WM_USER + 703;
constexpr plat::UINT kDoBox = plat::WM_USER + 704;        // wParam: entry of group 15
constexpr plat::UINT kWmClose = 0x0010;
constexpr plat::UINT kWmCommand = 0x0111;

std::string T15(int entry) { return plat::GetTextOr(TextId(15, entry), ""); }

// The process-wide drag state: one assistant window.
CAssistantDlg::DragState g_drag;

struct BitmapButton {
  int id;
  const char* name;
  int missingText;
};
constexpr std::array<BitmapButton, 6> kBitmapButtons = {{
    {CAssistantDlg::IDC_TEST, "TESTBUTTON", 70},
    {CAssistantDlg::IDC_CBLIST, "CBLISTBUTTON", 71},
    {CAssistantDlg::IDC_DEFLECT, "DEFLECTBUTTON", 71},
    {CAssistantDlg::IDC_NPLIST, "NPLISTBUTTON", 72},
    {CAssistantDlg::IDC_REDIAL, "REDIALBUTTON", 73},
    {CAssistantDlg::IDC_CIL, "CILBUTTON", 74},
}};

// Target codes of the drag by control: on a press and on a release
// (-1: not a target).
struct Target {
  int press, release;
  bool onlyVisible;
};
const std::map<int, Target>& Targets() {
  static const std::map<int, Target> t = [] {
    std::map<int, Target> m;
    for (int i = 0; i < 12; ++i) m[CAssistantDlg::IDC_LABEL1 + i] = {i + 1, i + 1, false};
    m[CAssistantDlg::IDC_TEST] = {21, 21, false};
    m[CAssistantDlg::IDC_CBLIST] = {22, 22, false};
    m[CAssistantDlg::IDC_CALLER] = {23, 23, false};
    m[CAssistantDlg::IDC_SECONDCALL] = {24, 24, true};
    m[CAssistantDlg::IDC_ICON] = {25, 25, false};
    m[CAssistantDlg::IDC_REDIAL] = {4, 26, false};
    m[CAssistantDlg::IDC_NPLIST] = {4, 27, false};
    m[CAssistantDlg::IDC_DEFLECT] = {4, -1, false};
    m[CAssistantDlg::IDC_OWNFIELD] = {28, -1, true};
    return m;
  }();
  return t;
}

// Hint line texts (group 15) while the mouse is over a control.
int HintOver(int id) {
  if (id >= CAssistantDlg::IDC_LABEL1 && id < CAssistantDlg::IDC_LABEL1 + 12) return 26;
  if (id >= CAssistantDlg::IDC_M1 && id < CAssistantDlg::IDC_M1 + 12) return 27 + (id - CAssistantDlg::IDC_M1);
  switch (id) {
    case CAssistantDlg::IDC_P1: case CAssistantDlg::IDC_P2: return 39;
    case CAssistantDlg::IDC_NUMBERTEXT: return 40;
    case CAssistantDlg::IDC_DEFLECT: return 42;
    case CAssistantDlg::IDC_NPLIST: return 43;
    case CAssistantDlg::IDC_REDIAL: return 44;
    case CAssistantDlg::IDC_TEST: return 45;
    case CAssistantDlg::IDC_CBLIST: return 46;
    case CAssistantDlg::IDC_CIL: return 47;
    case CAssistantDlg::IDC_CHARGE: return 48;
    case CAssistantDlg::IDC_ICON: case CAssistantDlg::IDC_STATE: return 49;
    case CAssistantDlg::IDC_OWNFIELD: return 50;
    case CAssistantDlg::IDC_SECONDCALL: return 56;
    case CAssistantDlg::IDC_CALLER: return 57;
    default: return -1;
  }
}

// ... and the texts that mouse moves put there instead.
int HintMoving(int id) {
  switch (id) {
    case CAssistantDlg::IDC_CBLIST: return 59;
    case CAssistantDlg::IDC_ICON: case CAssistantDlg::IDC_STATE: return 49;
    case CAssistantDlg::IDC_CHARGE: return 58;
    case CAssistantDlg::IDC_OWNFIELD: return 50;
    case CAssistantDlg::IDC_NUMBERTEXT: return 40;
    default: return -2;  // keeps the hint
  }
}

const CCallInfo* CallOf(plat::LPARAM l) {
  return reinterpret_cast<const CCallInfo*>(static_cast<std::intptr_t>(l));
}

// Draws the assistant's rubber band over the icon area; the mouse goes
// through it.
class BandOverlay : public QWidget {
 public:
  BandOverlay(QWidget* area, const QRect* band) : QWidget(area), band_(band) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setGeometry(area->rect());
    show();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (parentWidget() && size() != parentWidget()->size()) resize(parentWidget()->size());
    QPainter p(this);
    QPen pen(Qt::black);
    pen.setStyle(Qt::DotLine);
    p.setPen(pen);
    p.drawRect(band_->adjusted(0, 0, -1, -1));
  }

 private:
  const QRect* band_;
};

}  // namespace

// Mouse, hover, focus and window-state input of the window and its
// controls, turned into the dialog's own operations.
class CAssistantDlg::Events : public QObject {
 public:
  explicit Events(CAssistantDlg* d) : d_(d) {}

  void Watch(QWidget* w, int id) {
    ids_[w] = id;
    w->installEventFilter(this);
    w->setMouseTracking(true);
  }

  bool eventFilter(QObject* o, QEvent* e) override {
    QWidget* w = qobject_cast<QWidget*>(o);
    QWidget* win = d_->Window();
    if (!w || !win) return false;
    switch (e->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick: {
        auto* me = static_cast<QMouseEvent*>(e);
        const QPoint pos = w->mapTo(win, me->position().toPoint());
        const bool right = me->button() == Qt::RightButton;
        if (e->type() == QEvent::MouseButtonDblClick) {
          if (!right) d_->MouseDoubleClick(pos);
          return d_->banding_;
        }
        if (d_->banding_ && !right && e->type() == QEvent::MouseButtonRelease) {
          d_->MouseRelease(pos, false);
          return true;
        }
        // While a drag runs every click belongs to it, wherever it lands;
        // so does one while the caller's text holds the mouse.
        const bool dragging = g_drag.state != 0 || QWidget::mouseGrabber() == d_->Item(CAssistantDlg::IDC_CALLER);
        if (e->type() == QEvent::MouseButtonPress) {
          if (!right && !dragging) return false;
          d_->MousePress(pos, right);
        } else {
          if (!right && !dragging) return false;
          d_->MouseRelease(pos, right);
        }
        return true;
      }
      case QEvent::Enter: {
        auto it = ids_.find(w);
        if (it != ids_.end()) d_->Hover(it->second, false);
        return false;
      }
      case QEvent::MouseMove: {
        if (d_->banding_) {
          d_->MouseMove(w->mapTo(win, static_cast<QMouseEvent*>(e)->position().toPoint()));
          return true;
        }
        auto it = ids_.find(w);
        if (it != ids_.end()) d_->Hover(it->second, true);
        return false;
      }
      case QEvent::FocusIn:
      case QEvent::FocusOut:
        Picture(w, e->type() == QEvent::FocusIn ? 'F' : 'U');
        return false;
      case QEvent::WindowStateChange:
        if (w == win && win->isMinimized() && !d_->minimizeAllowed_) win->hide();
        return false;
      case QEvent::Show:
      case QEvent::WindowActivate:
        if (w == win && !win->isMinimized() && d_->drawing) d_->drawing->RepaintAll();
        return false;
      default:
        return false;
    }
  }

  void Picture(QWidget* w, char state) {
    auto it = pictures_.find(w);
    if (it == pictures_.end()) return;
    auto* b = static_cast<QPushButton*>(w);
    if (state == 'U' && b->hasFocus()) state = 'F';
    b->setIcon(QIcon(state == 'D' ? it->second.down : state == 'F' ? it->second.focus : it->second.up));
  }

  struct Pictures {
    QPixmap up, down, focus;
  };
  std::map<QWidget*, Pictures> pictures_;

 private:
  CAssistantDlg* d_;
  std::map<QWidget*, int> ids_;
};

CAssistantDlg::CAssistantDlg() : Dialog(plat::dlg::kProgram, kResourceId) {}

CAssistantDlg::~CAssistantDlg() {
  SetClosedNotice(nullptr);  // the owner is going away itself
  DestroyWindow();
}

CAssistantDlg::DragState CAssistantDlg::Drag() { return g_drag; }
void CAssistantDlg::ResetDrag() { g_drag = DragState{}; }

bool CAssistantDlg::Create(plat::WindowId view) {
  if (IsCreated()) return true;
  view_ = view;
  return Dialog::Create(view);
}

void CAssistantDlg::Show(int show) { callwin::SetShown(Window(), show); }

void CAssistantDlg::Log(const std::string& line) const { GlobalLog().WriteEntry(line.c_str()); }

void CAssistantDlg::Hub(plat::UINT code, plat::WPARAM w, const CCallInfo* call) {
  if (!view_) return;
  plat::SendMessage(view_, code, w, static_cast<plat::LPARAM>(reinterpret_cast<std::intptr_t>(call)));
}

void CAssistantDlg::Later(plat::UINT what, plat::WPARAM w) { plat::PostMessage(Id(), what, w, 0); }

bool CAssistantDlg::OnInitDialog() {
  events_ = std::make_unique<Events>(this);
  QDialog* win = Window();
  win->setWindowIcon(callwin::ProgramIcon(kIconMinimised));
  win->installEventFilter(events_.get());
  GetTemplate().ForEachControl([this](const plat::dlg::Node& n) {
    if (n.id >= 0 && Item(n.id)) events_->Watch(Item(n.id), n.id);
  });
  QFont bold = Item(IDC_CALLER)->font();
  bold.setPixelSize(20);
  bold.setWeight(QFont::Bold);
  Item(IDC_CALLER)->setFont(bold);
  BindBitmapButtons();
  if (QWidget* area = Item(IDC_ICON)) bandOverlay_ = new BandOverlay(area, &band_);
  RefreshMemoryKeys();
  EnableItem(IDC_HANGUP, false);
  ShowItem(IDC_HANGUP, false);
  DrawStateIcon(1028);
  Tick();
  if (!win->isMinimized()) callwin::RestorePosition(win, kPosition);
  return true;
}

void CAssistantDlg::OnDestroy() {
  if (g_drag.state != 0) EndDrag();
  if (banding_) EndBand();
  bandOverlay_ = nullptr;  // goes with its parent
  if (QWidget* w = Window()) {
    if (!w->isMinimized()) callwin::SavePosition(w, kPosition);
    if (drawing) drawing->ForgetWindow(w);
  }
  events_.reset();
  NotifyClosed();
}

void CAssistantDlg::BindBitmapButtons() {
  for (const BitmapButton& b : kBitmapButtons) {
    auto* button = qobject_cast<QPushButton*>(Item(b.id));
    if (!button) continue;
    Events::Pictures p{callwin::ButtonPicture(b.name, 'U'), callwin::ButtonPicture(b.name, 'D'),
                       callwin::ButtonPicture(b.name, 'F')};
    if (p.up.isNull() || p.down.isNull() || p.focus.isNull()) {
      Later(kDoBox, static_cast<plat::WPARAM>(b.missingText));
      continue;
    }
    button->setText(QString());
    button->setIconSize(p.up.size());
    button->setIcon(QIcon(p.up));
    events_->pictures_[button] = p;
    QObject::connect(button, &QPushButton::pressed, button, [this, button] { events_->Picture(button, 'D'); });
    QObject::connect(button, &QPushButton::released, button, [this, button] { events_->Picture(button, 'U'); });
  }
}

void CAssistantDlg::RefreshMemoryKeys() {
  for (int n = 1; n <= 12; ++n) {
    const std::string text = speedDial ? speedDial->GetEntryText(n) : std::string("*");
    SetItemText(IDC_LABEL1 + n - 1, text);
    if (!drawing) continue;
    std::string number = speedDial ? speedDial->GetEntryNumber(n) : std::string();
    if (number == "*") number.clear();
    if (GlobalConfig().VSCW == 4)
      drawing->Register(n, Item(IDC_M1 + n - 1), CVisualizeConnections::kLabel, number);
    else
      drawing->Register(n, Item(IDC_LABEL1 + n - 1), CVisualizeConnections::kButton, number);
  }
  if (drawing) drawing->Register(kOwnPhoneItem, Item(IDC_OWNFIELD), 3, std::string());
}

// ---------------------------------------------------------------- hub

void CAssistantDlg::TakeCall(CCallInfo* into, plat::LPARAM l) {
  if (const CCallInfo* c = CallOf(l)) into->CopyFrom(*c);
}

bool CAssistantDlg::IsMinimised() const {
  const QWidget* w = Window();
  return w && w->isMinimized();
}

void CAssistantDlg::Minimise() {
  QWidget* w = Window();
  if (!w) return;
  w->showMinimized();
  if (!minimizeAllowed_) w->hide();
}

void CAssistantDlg::Restore() {
  QWidget* w = Window();
  if (w && w->isMinimized()) w->showNormal();
}

void CAssistantDlg::BringToFront() {
  if (QWidget* v = plat::dlg::WindowWidget(view_)) v->raise();
  if (QWidget* w = Window()) {
    w->show();
    w->raise();
  }
  plat::dlg::SetForegroundWindow(Id());
}

int CAssistantDlg::SetMinimizeAllowed(int flag) {
  minimizeAllowed_ = flag;
  return 1;
}

plat::LRESULT CAssistantDlg::OnHubMessage(plat::UINT code, plat::WPARAM wParam, plat::LPARAM lParam) {
  if (!IsCreated()) return 0;
  const int w = static_cast<int>(wParam);
  switch (code) {
    case hub::kBringToFront:
      Restore();
      BringToFront();
      break;
    case hub::kCallDialled:
      UpdateCallText(1027);
      DrawStateIcon(1027);
      ShowItem(IDC_HANGUP, true);
      EnableItem(IDC_HANGUP, true);
      UpdateStateText(w);
      break;
    case hub::kCallCleared: {
      const CCallInfo* c = CallOf(lParam);
      if (c && c->callRefId == current_.callRefId) {
        current_.CopyFrom(*c);
        current_.state = CCallInfo::kIdle;
        UpdateCallText(1028);
        DrawStateIcon(1028);
        ShowItem(IDC_HANGUP, false);
        EnableItem(IDC_HANGUP, false);
      }
      UpdateStateText(w);
      ShowItem(IDC_OWNFIELD, false);
      if (GlobalConfig().CAPDW) Minimise();
      break;
    }
    case hub::kCallActive:
      TakeCall(&current_, lParam);
      UpdateCallText(1029);
      DrawStateIcon(current_.direction == CCallInfo::kIncoming ? 1029 : 1027);
      ShowItem(IDC_HANGUP, true);
      EnableItem(IDC_HANGUP, true);
      UpdateStateText(w);
      break;
    case hub::kSecondCall:
      TakeCall(&second_, lParam);
      SetItemText(IDC_SECONDCALL, second_.GetDescription(4));
      ShowItem(IDC_SECONDCALL, true);
      ShowItem(IDC_REJECT2, true);
      ShowItem(IDC_ACCEPT2, true);
      break;
    case hub::kSecondCallCleared: {
      const CCallInfo* c = CallOf(lParam);
      if (c && c->callRefId == second_.callRefId) {
        second_.CopyFrom(*c);
        SetItemText(IDC_SECONDCALL, "");
        ShowItem(IDC_SECONDCALL, false);
        ShowItem(IDC_REJECT2, false);
        ShowItem(IDC_ACCEPT2, false);
      }
      break;
    }
    case hub::kCallEvent: {
      Log(plat::StrFormatC("%s%i", T15(76).c_str(), w));
      const CCallInfo* c = CallOf(lParam);
      switch (w) {
        case CSTA_CONFERENCED:
          if (c) {
            current_.CopyFrom(*c);
            const std::string shown = GetItemText(IDC_NUMBERTEXT);
            if (current_.calledNumber != shown && current_.callingName != shown) current_.calledNumber = shown;
          }
          DrawStateIcon(1027);
          break;
        case CSTA_CONNECTION_CLEARED:
          DrawStateIcon(1028);
          if (drawing) {
            if (current_.state == CCallInfo::kHeld) drawing->SetCallState(kOwnPhoneItem, 2, &current_);
            else drawing->SetCallState(kOwnPhoneItem, 4, nullptr);
          }
          current_.state = CCallInfo::kIdle;
          ShowItem(IDC_OWNFIELD, false);
          if (GlobalConfig().CAPDW) Minimise();
          break;
        case CSTA_DELIVERED:
          if (c) current_.CopyFrom(*c);
          Restore();
          BringToFront();
          break;
        case CSTA_ESTABLISHED:
          if (c) current_.CopyFrom(*c);
          DrawStateIcon(1027);
          break;
        case CSTA_HELD:
          if (c) current_.CopyFrom(*c);
          if (drawing) drawing->SetCallState(kOwnPhoneItem, 0, &current_);
          break;
        case CSTA_RETRIEVED:
          if (drawing) drawing->SetCallState(kOwnPhoneItem, 2, &current_);
          break;
        case CSTA_SERVICE_INITIATED:
          DrawStateIcon(1027);
          current_.state = 0;
          if (GlobalConfig().CAPUW) {
            Restore();
            BringToFront();
          }
          break;
        case CSTA_TRANSFERRED:
          if (c) current_.CopyFrom(*c);
          DrawStateIcon(1027);
          UpdateCallText(1029);
          break;
        default:
          Log(plat::StrFormatC("%s  %i %s", T15(77).c_str(), w, T15(78).c_str()));
          break;
      }
      UpdateStateText(w);
      break;
    }
    case hub::kAssistantUpdate:
      RefreshMemoryKeys();
      break;
    case hub::kAssistantText:
      if (const char* text = reinterpret_cast<const char*>(static_cast<std::intptr_t>(lParam)))
        SetItemText(IDC_NUMBERTEXT, text);
      break;
    default:
      break;
  }
  if (drawing && IsCreated()) drawing->RepaintAll();
  return 1;
}

void CAssistantDlg::UpdateCallText(int code) {
  if (!IsCreated()) return;
  if (code == 1029) {
    std::string text;
    auto add = [&text](const std::string& part) {
      if (part.empty()) return;
      if (!text.empty()) text += ' ';
      text += part;
    };
    if (current_.direction != CCallInfo::kOutgoing) {
      add(current_.text7);
      add(current_.text8);
      add(current_.callingCompany);
      add(current_.callingName);
      if (text.empty()) text = current_.callingNumber;
      if (text.empty()) text = "N.N.";
      SetItemText(IDC_HANGUP, plat::GetTextOr(TextId(15, 64), "Abweisen"));
    } else {
      add(current_.calledCompany);
      add(current_.calledName.empty() ? current_.calledNumber : current_.calledName);
      SetItemText(IDC_HANGUP, plat::GetTextOr(TextId(15, 65), "Auflegen"));
    }
    SetItemText(IDC_CALLER, text);
    SetItemText(IDC_CHARGE, "");
    ShowItem(IDC_HANGUP, true);
    EnableItem(IDC_HANGUP, true);
  } else if (code == 1028) {
    SetItemText(IDC_CALLER, "");
    SetItemText(IDC_STATE, current_.GetStateText());
    const CGlobalConfig& cfg = GlobalConfig();
    SetItemText(IDC_CHARGE, plat::StrFormatC("%5.2f %s", current_.units * static_cast<double>(cfg.PPCU), cfg.CAUN.c_str()));
    ShowItem(IDC_HANGUP, false);
    EnableItem(IDC_HANGUP, false);
  }
}

void CAssistantDlg::UpdateStateText(int code) {
  (void)code;
  if (IsCreated()) SetItemText(IDC_STATE, current_.GetStateText());
}

void CAssistantDlg::DrawStateIcon(int code) {
  if (code == 1027) icon_ = kIconOutgoing;
  else if (code == 1028) icon_ = kIconIdle;
  else if (code == 1029) icon_ = kIconIncoming;
  if (IsCreated()) SetItemIcon(IDC_ICON, callwin::ProgramIcon(icon_));
}

void CAssistantDlg::Tick() {
  if (!IsCreated()) return;
  const ClockText c = FormatClock(plat::WallTime());
  SetItemText(IDC_DATE, c.date);
  SetItemText(IDC_TIME, c.time);
}

// ---------------------------------------------------------------- commands

void CAssistantDlg::OnOK() { Hub(hub::kAssistantReady, 0, nullptr); }

void CAssistantDlg::OnClose() { Later(kDoClose); }

bool CAssistantDlg::OnCommand(int id, plat::Notify code) {
  if (code != plat::Notify::Clicked) return false;
  if (id >= IDC_M1 && id < IDC_M1 + 12) {
    OnMemoryKey(id - IDC_M1 + 1);
    return true;
  }
  switch (id) {
    case IDC_TEST:
    case IDC_DB:
      Hub(hub::kOpenDatabase, kOrigin, nullptr);
      return true;
    case IDC_HANGUP:
      Hub(hub::kCallCleared, kOrigin, &current_);
      return true;
    case IDC_CBLIST:
      Hub(hub::kOpenCallbackList, kOrigin, nullptr);
      return true;
    case IDC_NPLIST:
      Hub(hub::kOpenMissedCalls, kOrigin, nullptr);
      return true;
    case IDC_REDIAL:
      Hub(hub::kRedial, kOrigin, nullptr);
      return true;
    case IDC_CIL:
      Hub(hub::kOpenCallData, kOrigin, &second_);
      return true;
    case IDC_REJECT2:
      Hub(hub::kSecondCallCleared, kOrigin, &second_);
      return true;
    case IDC_ACCEPT2:
      Hub(hub::kAccepted1069, kOrigin, &second_);
      return true;
    case IDC_P1:
    case IDC_P2:
      StartProgram(id == IDC_P1 ? 1 : 2);
      return true;
    case IDC_DEFLECT:
      PickSource(kSourceDeflect, false);
      return true;
    case IDC_PICKC:
      PickSource(kSourceConsult, false);
      return true;
    case IDC_PICKT:
      PickSource(kSourceTransfer, false);
      return true;
    case IDC_PICKP:
      if (current_.state == CCallInfo::kConnected && drawing) drawing->Connect(23, kOwnPhoneItem, 21);
      return true;
    case IDC_HELP:
      plat::dlg::ShowHelpFor(Id());
      return true;
    default:
      return false;
  }
}

plat::LRESULT CAssistantDlg::OnWindowMessage(const plat::Message& m) {
  switch (m.msg) {
    case kDoMemoryKey:
      DoMemoryKey(static_cast<int>(m.wParam));
      return 0;
    case kDoProgram:
      DoStartProgram(static_cast<int>(m.wParam));
      return 0;
    case kDoClose:
      DoClose();
      return 0;
    case kDoBox:
      plat::MessageBox(Id(), T15(static_cast<int>(m.wParam)), T15(0), plat::MB_OK | plat::MB_ICONINFORMATION);
      return 0;
    case kWmCommand:
      if ((m.wParam & 0xFFFF) == kCommandHint) Later(kDoBox, 41);
      return 0;
    default:
      return 0;
  }
}

void CAssistantDlg::OnMemoryKey(int n) {
  if (n >= 1 && n <= 12) Later(kDoMemoryKey, static_cast<plat::WPARAM>(n));
}

void CAssistantDlg::DoMemoryKey(int n) {
  if (!IsCreated() || !speedDial) return;
  switch (speedDial->DialEntry(n)) {
    case IMemoryKeyStore::kDialling:
      ShowItem(IDC_HANGUP, true);
      EnableItem(IDC_HANGUP, true);
      break;
    case IMemoryKeyStore::kBusy:
      if (plat::MessageBox(Id(), T15(63), T15(0), plat::MB_YESNO | plat::MB_ICONQUESTION) != plat::IDYES) break;
      // Only a call that still goes on is hung up: the copy of an ended
      // call would clear nothing and tell the view a stale story.
      if (IsCreated() && current_.state != CCallInfo::kIdle && current_.callRefId >= 0)
        Hub(hub::kCallCleared, kOrigin, &current_);
      break;
    case IMemoryKeyStore::kNotSet:
      if (speedDial->EditEntry(n, Id()) && IsCreated()) {
        SetItemText(IDC_LABEL1 + n - 1, speedDial->GetEntryText(n));
        if (drawing) {
          std::string number = speedDial->GetEntryNumber(n);
          if (number == "*") number.clear();
          const bool key = GlobalConfig().VSCW == 4;
          drawing->Register(n, Item(key ? IDC_M1 + n - 1 : IDC_LABEL1 + n - 1),
                            key ? CVisualizeConnections::kLabel : CVisualizeConnections::kButton, number);
        }
      }
      break;
    default:  // already dialling, no handset, not dialled: nothing
      break;
  }
}

void CAssistantDlg::StartProgram(int which) {
  if (which == 1 || which == 2) Later(kDoProgram, static_cast<plat::WPARAM>(which));
}

void CAssistantDlg::DoStartProgram(int which) {
  const CGlobalConfig& cfg = GlobalConfig();
  const std::string& setting = which == 1 ? cfg.EXPRO1 : cfg.EXPRO2;
  if (setting.empty()) return;
  ProgramCommand cmd;
  if (!BuildProgramCommand(setting, current_.GetPartnerNumber(), &cmd)) return;
  if (cmd.numberRefused)
    Log(plat::StrFormatC("%s %s", T15(85).c_str(), current_.GetPartnerNumber().c_str()));
  if (started_[which]) {
    const std::string ask = T15(53) + "\r\n" + T15(54);
    if (plat::MessageBox(Id(), ask, T15(0), plat::MB_YESNO | plat::MB_ICONQUESTION) != plat::IDYES) return;
  }
  started_[which] = 1;
  int error = 0;
  if (!plat::StartDetached(cmd.program, cmd.args, &error))
    plat::MessageBox(Id(), plat::StrFormatC("%s %i", T15(55).c_str(), error), T15(0), plat::MB_OK | plat::MB_ICONERROR);
}

void CAssistantDlg::DoClose() {
  if (!IsCreated()) return;
  const int r = plat::MessageBox(Id(), T15(52), T15(0), plat::MB_YESNOCANCEL | plat::MB_ICONQUESTION);
  if (r == plat::IDYES) {
    if (view_) plat::SendMessage(view_, kCloseProgram, 0, 0);
    if (mainWindow) plat::PostMessage(mainWindow, kWmClose, 0, 0);
  } else if (r == plat::IDNO) {
    Show(0);
  }
}

// ---------------------------------------------------------------- drag

void CAssistantDlg::SetHint(int entry) {
  if (IsCreated()) SetItemText(IDC_HINT, entry >= 0 ? T15(entry) : std::string());
}

void CAssistantDlg::SetDragCursor(int id) {
  QCursor c;
  QWidget* w = Window();
  if (!w) return;
  if (!callwin::LoadCursor(id, &c)) {
    Log(plat::StrFormatC("%s %i", T15(86).c_str(), id));
    return;
  }
  w->setCursor(c);
}

void CAssistantDlg::PickSource(int source, bool keepSource) {
  g_drag.state = 1;
  if (!keepSource) g_drag.source = source;
  SetHint(60);
  SetDragCursor(165);
  // Headless platforms cannot grab; the window's filter sees the clicks.
  if (QWidget* w = Window(); w && w->isVisible() && QGuiApplication::platformName() != QLatin1String("offscreen"))
    w->grabMouse();
}

void CAssistantDlg::EndDrag() {
  g_drag.state = 0;
  if (QWidget* w = Window()) {
    if (QWidget::mouseGrabber() == w) w->releaseMouse();
    w->unsetCursor();
  }
}

int CAssistantDlg::ControlAt(const QPoint& pos) const {
  QWidget* win = Window();
  if (!win) return -1;
  QWidget* w = win->childAt(pos);
  for (; w && w != win; w = w->parentWidget()) {
    bool ok = false;
    const int id = w->objectName().toInt(&ok);
    if (ok && Item(id) == w) return id;
  }
  return w == win || !w ? 0 : -1;
}

void CAssistantDlg::MousePress(const QPoint& pos, bool right) {
  QWidget* caller = Item(IDC_CALLER);
  if (!right && caller && QWidget::mouseGrabber() == caller) {
    // The caller's text still holds the mouse: a click elsewhere is refused.
    const int id = ControlAt(pos);
    if (id > 0 && id != IDC_CALLER) {
      caller->releaseMouse();
      plat::PostMessage(Id(), kDoBox, 84, 0);
      return;
    }
  }
  if (right) {
    PickSource(g_drag.source, true);
    return;
  }
  if (g_drag.state == 0) return;
  const int id = ControlAt(pos);
  auto t = Targets().find(id);
  const bool target = t != Targets().end() && (!t->second.onlyVisible || IsItemVisible(id));
  if (target) {
    g_drag.press = t->second.press;
    g_drag.state = 2;
  } else if (id == 0) {
    g_drag.state = 0;
  } else {
    Log(plat::StrFormatC("%s%i, %s%i, %s%i", T15(79).c_str(), g_drag.state, T15(80).c_str(), g_drag.press,
                         T15(81).c_str(), g_drag.release));
  }
  if (g_drag.state == 1) {
    EndDrag();
    plat::PostMessage(Id(), kDoBox, 62, 0);
  } else if (g_drag.state == 2) {
    SetDragCursor(118);
    SetHint(61);
  } else {
    EndDrag();
  }
}

void CAssistantDlg::MouseRelease(const QPoint& pos, bool right) {
  if (banding_ && !right) {
    MouseMove(pos);
    EndBand();
    return;
  }
  if (right) {
    // A right click only ends what it started: it connects nothing.
    EndDrag();
    return;
  }
  if (g_drag.state == 0) return;
  const bool pressed = g_drag.state == 2;
  const int id = ControlAt(pos);
  auto t = Targets().find(id);
  const bool target = t != Targets().end() && t->second.release >= 0 &&
                      (!t->second.onlyVisible || IsItemVisible(id));
  if (target) {
    g_drag.release = t->second.release;
    g_drag.state = 3;
  } else {
    g_drag.state = 0;
    g_drag.release = -1;
    Log(plat::StrFormatC("%s%i, %s%i, %s%i", T15(80).c_str(), g_drag.state, T15(81).c_str(), g_drag.press,
                         T15(82).c_str(), g_drag.release));
  }
  // Only a release that follows a press on a target connects anything.
  if (g_drag.state == 3 && pressed && drawing) drawing->Connect(g_drag.press, g_drag.release, g_drag.source);
  SetHint(-1);
  EndDrag();
}

void CAssistantDlg::MouseDoubleClick(const QPoint& pos) {
  const int id = ControlAt(pos);
  if (id == IDC_CALLER) plat::PostMessage(Id(), kDoBox, 83, 0);
  else if (id == IDC_ICON && g_drag.state == 0) StartBand(pos);
}

void CAssistantDlg::StartBand(const QPoint& pos) {
  QWidget* area = Item(IDC_ICON);
  QWidget* win = Window();
  if (!area || !win) return;
  bandAnchor_ = area->mapFrom(win, pos);
  band_ = QRect(bandAnchor_, bandAnchor_);
  banding_ = true;
  if (win->isVisible() && QGuiApplication::platformName() != QLatin1String("offscreen")) win->grabMouse();
  if (bandOverlay_) bandOverlay_->update();
}

void CAssistantDlg::MouseMove(const QPoint& pos) {
  QWidget* area = Item(IDC_ICON);
  if (!banding_ || !area) return;
  // Kept inside the icon area, which it is drawn over.
  QPoint at = area->mapFrom(Window(), pos);
  at.setX(std::clamp(at.x(), 0, area->width() - 1));
  at.setY(std::clamp(at.y(), 0, area->height() - 1));
  band_ = QRect(QPoint(std::min(at.x(), bandAnchor_.x()), std::min(at.y(), bandAnchor_.y())),
                QPoint(std::max(at.x(), bandAnchor_.x()), std::max(at.y(), bandAnchor_.y())));
  if (bandOverlay_) bandOverlay_->update();
}

void CAssistantDlg::EndBand() {
  banding_ = false;
  if (QWidget* w = Window(); w && QWidget::mouseGrabber() == w) w->releaseMouse();
  if (bandOverlay_) bandOverlay_->update();
}

void CAssistantDlg::Hover(int controlId, bool moving) {
  if (g_drag.state != 0) return;  // the drag's hint and cursor stay
  if (!moving) {
    SetHint(HintOver(controlId));
    return;
  }
  const int entry = HintMoving(controlId);
  if (entry == -2) return;
  SetHint(entry);
  if (controlId == IDC_CBLIST) {
    QCursor c;
    if (callwin::LoadCursor(167, &c) && Item(controlId)) Item(controlId)->setCursor(c);
  }
}
