#include "plugins/display/devicedisplay.h"

#include <QAbstractButton>
#include <QDialog>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPainter>

#include "platform/msgbox.h"
#include "plugins/display/pictures.h"
#include "plugins/display/tilepage.h"

namespace tarquel {

QColor FromColorRef(std::int32_t value) {
  const auto v = static_cast<std::uint32_t>(value);
  return QColor(static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF), static_cast<int>((v >> 16) & 0xFF));
}

namespace {

constexpr int kButtonIcons[kShownButtons] = {133, 137, 131, 134};
const char* const kPrintTip = "Drucken";
// Beside a button's icon and text: its frame and the gap between them.
constexpr int kButtonPad = 20;

// Keys, focus and double-clicks of the tile's widgets, and its frame.
class TileWatch : public QObject {
 public:
  TileWatch(CSingleDeviceDisplay* tile, QObject* parent) : QObject(parent), tile_(tile) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::KeyPress:
        if (tile_->OnKey(static_cast<QKeyEvent*>(event)->key())) return true;
        break;
      case QEvent::FocusIn:
        for (int i = 0; i < kShownButtons; ++i)
          if (watched == tile_->Item(CSingleDeviceDisplay::IDC_F1 + i)) tile_->OnButtonFocused(i);
        break;
      case QEvent::MouseButtonDblClick:
        tile_->OnDoubleClick();
        return true;
      case QEvent::Paint:
        if (watched == tile_->Window()) {
          // The frame goes under the controls, which paint after their parent.
          auto* w = static_cast<QWidget*>(watched);
          QPainter p(w);
          p.setPen(QPen(FromColorRef(static_cast<std::int32_t>(tile_->FrameColour())), 2));
          p.drawRect(w->rect().adjusted(1, 1, -1, -1));
        }
        break;
      default:
        break;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  CSingleDeviceDisplay* tile_;
};

void SetBackground(QWidget* w, QPalette::ColorRole role, const QColor& c) {
  if (!w) return;
  QPalette pal = w->palette();
  pal.setColor(role, c);
  w->setPalette(pal);
  w->setAutoFillBackground(true);
}

}  // namespace

CSingleDeviceDisplay::CSingleDeviceDisplay(CTilePage& page, const GlobalParams& globals, int position)
    : CChildDialog("tarquel", kDialogId), page_(page), globals_(globals), position_(position) {}

CSingleDeviceDisplay::~CSingleDeviceDisplay() {
  Bind(nullptr);
  DestroyWindow();
}

bool CSingleDeviceDisplay::OnInitDialog() {
  Attach(true);
  QDialog* w = Window();
  w->layout()->setContentsMargins(6, 6, 6, 6);
  if (auto* label = Item(IDC_LABEL)) label->setFont(SansFont(12, 8, 500));
  if (auto* contents = qobject_cast<QLineEdit*>(Item(IDC_CONTENTS))) {
    contents->setFont(SansFont(24, 10, 500));
    contents->setFocusPolicy(Qt::NoFocus);
    contents->setFrame(false);
  }
  if (auto* small = Item(IDC_SMALLLABEL)) small->setFont(SansFont(28, 5, 400));
  auto* watch = new TileWatch(this, w);
  w->installEventFilter(watch);
  for (int id : {IDC_LABEL, IDC_CONTENTS, IDC_SMALLLABEL, IDC_STATE}) {
    if (QWidget* c = Item(id)) c->installEventFilter(watch);
  }
  for (int i = 0; i < kShownButtons; ++i) {
    auto* b = qobject_cast<QAbstractButton*>(Item(IDC_F1 + i));
    if (!b) continue;
    b->setIcon(QIcon(Picture(kButtonIcons[i])));
    b->setIconSize(QSize(16, 16));
    // As wide as icon and text need: three tiles fit a small screen.
    b->setFixedWidth(b->iconSize().width() + b->fontMetrics().horizontalAdvance(b->text()) + kButtonPad);
    b->installEventFilter(watch);
  }
  if (auto* b = Item(IDC_F1)) b->setToolTip(QString::fromLatin1(kPrintTip));
  ShowMark(kMarkClear);
  ShowColours();
  w->adjustSize();
  return true;
}

void CSingleDeviceDisplay::OnDestroy() {
  StopBlinking();
}

void CSingleDeviceDisplay::Bind(CDisplayItem* item) {
  if (item_) {
    item_->tile = nullptr;
    item_ = nullptr;
  }
  StopBlinking();
  if (!item) {
    if (QDialog* w = Window()) w->hide();
    SetFocusMark(false);
    return;
  }
  // A device shown elsewhere leaves that tile first.
  if (auto* other = dynamic_cast<CSingleDeviceDisplay*>(item->tile); other && other != this) other->Bind(nullptr);
  item_ = item;
  ShowTexts();
  ShowColours();
  // Tooltips: the item's own descriptions, the print hint on the first.
  for (int i = 0; i < kShownButtons; ++i) {
    const std::string& d = item->fktDescription[static_cast<std::size_t>(i)];
    if (QWidget* b = Item(IDC_F1 + i))
      b->setToolTip(!d.empty() ? QString::fromLatin1(d.c_str()) : i == 0 ? QString::fromLatin1(kPrintTip) : QString());
  }
  if (QDialog* w = Window()) w->show();
  item->tile = this;
  ApplyState();
}

void CSingleDeviceDisplay::ShowTexts() {
  if (!item_) return;
  SetItemText(IDC_LABEL, item_->label);
  SetItemText(IDC_CONTENTS, item_->contents);
  SetItemText(IDC_SMALLLABEL, item_->smallLabel);
}

void CSingleDeviceDisplay::ShowColours() {
  const QColor back = FromColorRef(globals_.backgroundColor);
  QWidget* contents = Item(IDC_CONTENTS);
  SetBackground(contents, QPalette::Base, back);
  if (contents) {
    QPalette pal = contents->palette();
    pal.setColor(QPalette::Text, FromColorRef(globals_.textColor));
    contents->setPalette(pal);
  }
  const std::int32_t small =
      item_ && item_->smallLabelBackground != CDisplayItem::kNoColour ? item_->smallLabelBackground : globals_.backgroundColor;
  SetBackground(Item(IDC_SMALLLABEL), QPalette::Window, FromColorRef(small));
}

void CSingleDeviceDisplay::ApplyState() {
  if (!item_ || item_->state1 == 0) {
    StopBlinking();
    ShowMark(kMarkClear);
    return;
  }
  ShowMark(kMarkSet);
  if (globals_.state1Blink != 0) {
    if (!blinking_) plat::SetTimer(Id(), kBlinkTimer, kBlinkMs);
    blinking_ = true;
  } else {
    StopBlinking();
  }
}

void CSingleDeviceDisplay::StopBlinking() {
  if (blinking_ && IsCreated()) plat::KillTimer(Id(), kBlinkTimer);
  blinking_ = false;
}

bool CSingleDeviceDisplay::Blinking() const { return blinking_; }

void CSingleDeviceDisplay::ShowMark(int bitmap) {
  mark_ = bitmap;
  if (auto* l = qobject_cast<QLabel*>(Item(IDC_STATE))) l->setPixmap(Picture(bitmap));
}

void CSingleDeviceDisplay::OnItemSignal(CDisplayItem& item, int signal, std::int32_t) {
  if (&item != item_) return;
  switch (signal) {
    case kSigState1: ApplyState(); break;
    case kSigState2: break;  // kept on the item; nothing on the tile shows it
    case kSigContents: SetItemText(IDC_CONTENTS, item.contents); break;
    case kSigColours: ShowColours(); break;
    case kSigLabel: ShowTexts(); break;
    default: break;
  }
}

plat::LRESULT CSingleDeviceDisplay::OnWindowMessage(const plat::Message& m) {
  if (m.msg == plat::WM_TIMER && m.wParam == kBlinkTimer) {
    if (!blinking_) return 0;
    ShowMark(mark_ == kMarkSet ? kMarkClear : kMarkSet);
    plat::SetTimer(Id(), kBlinkTimer, kBlinkMs);
  } else if (m.msg == kMsgShowContents) {
    plat::MessageBox(Id(), GetItemText(IDC_CONTENTS), GetItemText(IDC_LABEL), plat::MB_OK);
  }
  return 0;
}

bool CSingleDeviceDisplay::OnCommand(int id, plat::Notify code) {
  if (code != plat::Notify::Clicked || id < IDC_F1 || id > IDC_F4) return false;
  if (!item_) return true;
  const std::int32_t message = item_->fktMessage[static_cast<std::size_t>(id - IDC_F1)];
  // A button whose message was never set has nothing to say.
  if (message != 0)
    plat::PostMessage(item_->parentWindow, static_cast<plat::UINT>(message), Id(),
                      static_cast<plat::LPARAM>(item_->handle()));
  return true;
}

void CSingleDeviceDisplay::OnOK() { page_.OnTileOK(); }
void CSingleDeviceDisplay::OnCancel() { page_.OnTileCancel(); }

void CSingleDeviceDisplay::SetFocusMark(bool focused) {
  if (focused_ == focused) return;
  focused_ = focused;
  if (QDialog* w = Window()) w->update();
}

void CSingleDeviceDisplay::FocusButton(int index) {
  button_ = ((index % kShownButtons) + kShownButtons) % kShownButtons;
  if (QWidget* b = Item(IDC_F1 + button_)) b->setFocus(Qt::TabFocusReason);
  page_.OnTileFocused(position_);
}

void CSingleDeviceDisplay::OnButtonFocused(int index) {
  button_ = index;
  page_.OnTileFocused(position_);
}

bool CSingleDeviceDisplay::OnKey(int key) {
  switch (key) {
    case Qt::Key_Left: FocusButton(button_ - 1); return true;
    case Qt::Key_Right: FocusButton(button_ + 1); return true;
    case Qt::Key_Tab: page_.OnTab(position_, false); return true;
    case Qt::Key_Backtab: page_.OnTab(position_, true); return true;
    default: return false;
  }
}

void CSingleDeviceDisplay::OnDoubleClick() {
  // The box runs its own loop: not inside the mouse handler.
  if (IsCreated()) plat::PostMessage(Id(), kMsgShowContents);
}

}  // namespace tarquel
