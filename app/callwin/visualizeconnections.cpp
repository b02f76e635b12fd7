#include "app/callwin/visualizeconnections.h"

#include <QAbstractButton>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QWidget>
#include <algorithm>

#include "core/base/globalconfig.h"
#include "core/base/globallog.h"
#include "core/callhandler/callhandler.h"
#include "core/iface/viewhub.h"
#include "core/monitor/monitortable.h"
#include "core/wire/csta_message.h"
#include "platform/messages.h"
#include "platform/qtext.h"
#include "platform/text.h"
#include "platform/textid.h"

namespace callwin {

// Drawn over a registered control, never taking its mouse: the frame, band
// or fill of the control's call state.
class ConnectionOverlay : public QWidget {
 public:
  struct Look {
    bool visible = false;
    int kind = 0;
    int style = 0;
    QColor colour;
  };

  explicit ConnectionOverlay(QWidget* control) : QWidget(control) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(control->rect());
    control->installEventFilter(this);
    hide();
  }

  void SetLook(const Look& look) {
    look_ = look;
    setGeometry(parentWidget()->rect());
    setVisible(look.visible);
    raise();
    update();
  }

 protected:
  bool eventFilter(QObject* o, QEvent* e) override {
    if (o == parentWidget() && e->type() == QEvent::Resize) setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(o, e);
  }

  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    const QRect r = rect();
    const QColor c = look_.colour;
    if (look_.kind == CVisualizeConnections::kLabel) {
      // The label drawn anew: its background, a frame two pixels inside
      // the edge, the inside in the state colour and its text centred.
      p.fillRect(r, palette().color(QPalette::Window));
      const QRect frame = r.adjusted(2, 2, -3, -3);
      p.setPen(c);
      p.drawRect(frame);
      const QRect inside = frame.adjusted(1, 1, 0, 0);
      p.fillRect(inside, c);
      p.setPen(c.lightness() < 128 ? Qt::white : Qt::black);
      p.setFont(parentWidget()->font());
      p.drawText(inside, Qt::AlignCenter, ControlText());
      return;
    }
    p.setPen(c);
    const int band = 8;
    switch (look_.style) {
      case 0:  // a frame and a second one a pixel inside
        p.drawRect(r.adjusted(0, 0, -1, -1));
        p.drawRect(r.adjusted(1, 1, -2, -2));
        break;
      case 1:  // a band along the bottom edge, a frame round the rest
        p.fillRect(QRect(r.left(), r.bottom() - band + 1, r.width(), band), c);
        p.drawRect(QRect(r.left(), r.top(), r.width() - 1, r.height() - band));
        break;
      case 2:  // a band along the left edge, a frame round the rest
        p.fillRect(QRect(r.left(), r.top(), band, r.height()), c);
        p.drawRect(QRect(r.left() + band, r.top(), r.width() - band - 1, r.height() - 1));
        break;
      default:  // the whole field in the state colour, its text on top
        p.fillRect(r, c);
        p.setPen(c.lightness() < 128 ? Qt::white : Qt::black);
        p.setFont(parentWidget()->font());
        p.drawText(r, Qt::AlignCenter, ControlText());
        break;
    }
  }

 private:
  QString ControlText() const {
    QWidget* w = parentWidget();
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    return {};
  }

  Look look_;
};

}  // namespace callwin

namespace {

constexpr int kRequester = hub::kIdView;  // the drawing asks as the view's
constexpr std::size_t kNumberChars = 19;

std::string Text(int entry) { return plat::GetTextOr(plat::TextId(60, entry), ""); }

std::string Cut(const std::string& s) { return s.size() > kNumberChars ? s.substr(0, kNumberChars) : s; }

}  // namespace

CVisualizeConnections::CVisualizeConnections() {
  const CGlobalConfig& cfg = GlobalConfig();
  style_ = cfg.VSCW;
  colours_[0] = FromColorRef(cfg.VSCOFFC);
  colours_[1] = FromColorRef(cfg.VSCALERTC);
  colours_[2] = FromColorRef(cfg.VSCCONNC);
}

CVisualizeConnections::~CVisualizeConnections() {
  for (Item& i : items_) delete i.overlay.data();
}

QColor CVisualizeConnections::FromColorRef(long value) {
  const auto v = static_cast<unsigned long>(value);
  return QColor(static_cast<int>(v & 0xff), static_cast<int>((v >> 8) & 0xff), static_cast<int>((v >> 16) & 0xff));
}

QColor CVisualizeConnections::BrushColour(int brush) const {
  if (brush >= 0 && brush < 3) return colours_[brush];
  if (brush == kNoBrush) return QColor(Qt::black);
  return QColor(0xc0, 0xc0, 0xc0);
}

void CVisualizeConnections::Log(const std::string& line) const { GlobalLog().WriteEntry(line.c_str()); }

int CVisualizeConnections::BrushFor(int source, int value, const std::string& number) const {
  if (source == kEventType) {
    switch (value) {
      case CSTA_MAKE_CALL_CONF:
      case CSTA_CONFERENCED:
      case CSTA_ESTABLISHED:
      case CSTA_RETRIEVED:
      case CSTA_SERVICE_INITIATED:
        return kOffBrush;
      case CSTA_DELIVERED: {
        const CMonitorEntry* e = monitors ? monitors->FindByNumber(number) : nullptr;
        const std::uint32_t dir = e ? e->connDirection : 0;
        if (dir == 2) return kOffBrush;
        if (dir == 1) return kAlertBrush;
        return kNoBrush;
      }
      default:
        return kNoBrush;
    }
  }
  if (source == kStateCode) {
    if (value == 2) return kAlertBrush;
    if (value >= 0 && value <= 6) return kOffBrush;
  }
  return kNoBrush;
}

QColor CVisualizeConnections::ColourFor(int source, int value, const std::string& number) const {
  return BrushColour(BrushFor(source, value, number));
}

void CVisualizeConnections::TakeState(Item& item, int source, int value) {
  item.state = value;
  item.brush = BrushFor(source, value, item.number);
  item.colour = BrushColour(item.brush);
}

void CVisualizeConnections::RepaintAll() {
  for (Item& i : items_) PaintItem(&i);
}

CVisualizeConnections::Item* CVisualizeConnections::Register(int key, QWidget* window, int kind,
                                                             const std::string& number) {
  Item* item = FindByKey(key);
  if (!item) {
    items_.emplace_back();
    item = &items_.back();
  }
  item->key = key;
  item->state = -1;
  item->brush = kNoBrush;
  item->colour = Qt::white;
  item->cause = 0;
  if (window) {
    if (item->window != window) {
      delete item->overlay.data();
      item->overlay = nullptr;
    }
    item->window = window;
    item->kind = kind;
  }
  item->number = Cut(number);
  PaintItem(item);
  return item;
}

void CVisualizeConnections::PaintItem(Item* item) {
  if (!item || style_ == kNoPainting || !item->window) return;
  if (item->kind != kLabel && item->kind != kButton) return;
  ++paints_;
  if (!item->overlay) item->overlay = new callwin::ConnectionOverlay(item->window);
  callwin::ConnectionOverlay::Look look;
  look.visible = item->brush != kNoBrush;
  look.kind = item->kind;
  look.style = style_;
  look.colour = item->colour;
  item->overlay->SetLook(look);
}

void CVisualizeConnections::OnConnectionEvent(const std::string& device, std::uint32_t callId, int eventType) {
  const std::string number = Cut(device);
  bool any = false;
  // A memory key and an overview row may show one extension: all of them.
  for (Item& i : items_) {
    if (i.number != number || number.empty()) continue;
    any = true;
    if (i.state == eventType) continue;
    i.cause = callId;
    TakeState(i, kEventType, eventType);
    PaintItem(&i);
  }
  if (!any && eventType == CSTA_TRANSFERRED) {
    for (Item& i : items_) {
      if (i.key != kOwnPhoneKey || i.cause != callId) continue;
      TakeState(i, kStateCode, 2);
      PaintItem(&i);
    }
  }
  if (listener_)
    plat::PostMessage(listener_, kStateNotice, kStateNoticeCode, 0, number.c_str(), number.size() + 1);
}

CVisualizeConnections::Item* CVisualizeConnections::FindByNumber(const std::string& number) {
  for (Item& i : items_)
    if (i.number == number) return &i;
  return nullptr;
}

CVisualizeConnections::Item* CVisualizeConnections::FindByKey(int key) {
  for (Item& i : items_)
    if (i.key == key) return &i;
  return nullptr;
}

void CVisualizeConnections::ForgetWindow(const QWidget* window) {
  if (!window) return;
  for (auto it = items_.begin(); it != items_.end();) {
    QWidget* w = it->window.data();
    const bool inside = w && (w == window || window->isAncestorOf(w));
    if (inside) {
      delete it->overlay.data();
      it = items_.erase(it);
    } else {
      ++it;
    }
  }
}

int CVisualizeConnections::SetCallState(int key, int code, const CCallInfo* call) {
  Item* item = FindByKey(key);
  if (!item) return 0;
  if (code > 4 || code < 0) return 1;
  if (code == 0) {
    if (call) item->number = Cut(call->GetPartnerNumber());
  } else {
    if (call) item->cause = static_cast<std::uint32_t>(call->callId);
    TakeState(*item, kStateCode, code);
  }
  PaintItem(item);
  return 1;
}

// ---------------------------------------------------------------- actions

std::string CVisualizeConnections::NumberOfKey(int key) {
  if (key >= kExtensionKeys) return std::to_string(key - kExtensionKeys);
  const Item* item = FindByKey(key);
  return item ? item->number : std::string();
}

// The call a control stands for: a watched extension's current call, the
// call of the own-phone field, or the user's own call for the assistant's
// caller, second-call and icon fields.
CCallInfo* CVisualizeConnections::CallOfKey(int key) {
  if (!callHandler) return nullptr;
  if (key == 23 || key == 25) return callHandler->GetCurrentCall(kRequester);
  if (key == 24) return callHandler->GetSecondCall(kRequester);
  if (key == kOwnPhoneKey) {
    const Item* item = FindByKey(key);
    return item && item->cause ? callHandler->FindLiveCall(static_cast<int>(item->cause)) : nullptr;
  }
  const std::string number = NumberOfKey(key);
  CMonitorEntry* e = monitors && !number.empty() ? monitors->FindByNumber(number) : nullptr;
  if (!e) return nullptr;
  if (e->currentCall) return e->currentCall;
  return e->lastCallId ? callHandler->FindLiveCall(static_cast<int>(e->lastCallId)) : nullptr;
}

int CVisualizeConnections::PickUp(const std::string& number, std::uint32_t callId) {
  if (!callHandler || number.empty()) return 0;
  CCallInfo* rec = callHandler->GetFreeCall(kRequester);
  if (!rec) return 0;
  rec->callingNumber = number;
  rec->callId = static_cast<int>(callId);
  callHandler->PickupCall(rec, kRequester);  // releases the record
  return 1;
}

int CVisualizeConnections::Dial(const std::string& number) {
  if (!callHandler || number.empty() || !callHandler->IsLineFree(kRequester)) return 0;
  CCallInfo* rec = callHandler->GetFreeCall(kRequester);
  if (!rec) return 0;
  rec->calledNumber = number;
  rec->direction = CCallInfo::kOutgoing;
  rec->external = GlobalConfig().IsInternalNumber(number.c_str()) ? 0 : 1;
  if (callHandler->MakeCall(rec, kRequester)) return 1;
  rec->Release();  // refused: the record goes back at once
  return 0;
}

int CVisualizeConnections::Deflect(CCallInfo* call, const std::string& to) {
  if (!callHandler || !call || to.empty()) return 0;
  // The request takes its destination from the called number: a copy
  // carries it, the call itself stays as the PBX reported it.
  CCallInfo copy;
  copy.CopyFrom(*call);
  copy.owner = nullptr;
  copy.calledNumber = to;
  callHandler->DeflectCall(&copy, kRequester);
  return 1;
}

int CVisualizeConnections::Act(int key) {
  if (Item* item = FindByKey(key)) {
    switch (item->state) {
      case CSTA_CLEAR_CONNECTION_CONF:
      case CSTA_MAKE_CALL_CONF:
      case CSTA_ESTABLISHED:
      case CSTA_RETRIEVED:
      case CSTA_SERVICE_INITIATED:
        return 0;  // a call in progress
      case CSTA_DELIVERED:
        return PickUp(item->number, item->cause);
      default:
        return Dial(item->number);
    }
  }
  if (key < kExtensionKeys || !monitors) return 0;
  CMonitorEntry* e = monitors->FindByNumber(std::to_string(key - kExtensionKeys));
  if (!e || e->connectionState != 2) return 0;
  return PickUp(e->Number(), e->lastCallId);
}

int CVisualizeConnections::Connect(int sourceKey, int targetKey, int operation) {
  switch (operation) {
    case 13: {
      CCallInfo* active = CallOfKey(sourceKey);
      const std::string to = NumberOfKey(targetKey);
      if (!active || to.empty() || !callHandler) return 0;
      CCallInfo* consult = callHandler->GetFreeCall(kRequester);
      if (!consult) return 0;
      consult->calledNumber = to;
      consult->direction = CCallInfo::kOutgoing;
      consult->external = GlobalConfig().IsInternalNumber(to.c_str()) ? 0 : 1;
      callHandler->ConsultationCall(active, consult, kRequester);
      return 1;
    }
    case 21: {
      CCallInfo* active = CallOfKey(sourceKey);
      if (!active || !callHandler) return 0;
      callHandler->HoldCall(active, 22);  // 22: the hold request goes to the link
      return 1;
    }
    case 51:
      Log(plat::StrFormatC("%s%i%s%i", Text(7).c_str(), sourceKey, Text(1).c_str(), targetKey));
      return 0;
    default:
      return 0;
  }
}

void CVisualizeConnections::Drop(int mode, int sourceKey, int targetKey) {
  Log(plat::StrFormatC("%s%i%s%i%s%i", Text(0).c_str(), mode, Text(1).c_str(), sourceKey, Text(2).c_str(),
                       targetKey));
  if (mode != 3) return;
  if (targetKey == 23 || targetKey == 25) {
    Act(sourceKey);
    return;
  }
  if (sourceKey == 23) {
    Log(plat::StrFormatC("%s%i", Text(3).c_str(), targetKey));
    return;
  }
  const std::string to = NumberOfKey(targetKey);
  if (sourceKey == kOwnPhoneKey) {
    if (Deflect(callHandler ? callHandler->GetCurrentCall(kRequester) : nullptr, to)) PaintItem(FindByKey(targetKey));
    return;
  }
  if (sourceKey >= kExtensionKeys && targetKey >= kExtensionKeys && monitors) {
    const std::string from = NumberOfKey(sourceKey);
    const bool haveFrom = monitors->FindByNumber(from) != nullptr;
    const bool haveTo = monitors->FindByNumber(to) != nullptr;
    if (!haveFrom || !haveTo) {
      if (!haveFrom) Log(Text(5) + from);
      if (!haveTo) Log(Text(6) + to);
      return;
    }
  }
  const std::string from = NumberOfKey(sourceKey);
  CMonitorEntry* e = monitors && !from.empty() ? monitors->FindByNumber(from) : nullptr;
  if (e && e->connectionState == 2) {
    // The ringing call goes to the target; onto the own phone it is taken.
    const std::string own = monitors->GetMainPhone();
    if (targetKey == kOwnPhoneKey || (!own.empty() && to == own)) {
      PickUp(e->Number(), e->lastCallId);
    } else {
      CCallInfo ringingCall;
      ringingCall.callingNumber = e->Number();  // the device the call rings at
      ringingCall.callId = static_cast<int>(e->lastCallId);
      Deflect(&ringingCall, to);
    }
    return;
  }
  Log(plat::StrFormatC("%s%i%s%i", Text(4).c_str(), sourceKey, Text(1).c_str(), targetKey));
}
