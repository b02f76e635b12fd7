#include "platform/winplace.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QMargins>
#include <QPointer>
#include <QScreen>
#include <QLayout>
#include <QWidget>
#include <algorithm>
#include <climits>
#include <cstdlib>

namespace plat::place {

namespace {

constexpr int kStep = 24;  // between windows that would share a corner

int Overlap(int a0, int a1, int b0, int b1) { return std::max(0, std::min(a1, b1) - std::max(a0, b0)); }

bool Inside(const Rect& r, const Rect& s) {
  return r.left >= s.left && r.top >= s.top && r.right <= s.right && r.bottom <= s.bottom;
}

Rect At(int left, int top, int w, int h) { return Rect{left, top, left + w, top + h}; }

// r moved (and shrunk where it must be) so that it lies within s.
Rect Clamp(const Rect& r, const Rect& s) {
  const int w = std::min(r.Width(), s.Width()), h = std::min(r.Height(), s.Height());
  return At(std::clamp(r.left, s.left, s.right - w), std::clamp(r.top, s.top, s.bottom - h), w, h);
}

}  // namespace

bool Reachable(const Rect& r, const std::vector<Rect>& screens) {
  const int need = std::max(1, std::min(kGripWidth, r.Width()));
  return std::any_of(screens.begin(), screens.end(), [&](const Rect& s) {
    return r.top >= s.top && r.top + kGripHeight <= s.bottom && Overlap(r.left, r.right, s.left, s.right) >= need;
  });
}

Rect OntoScreen(const Rect& r, const std::vector<Rect>& screens) {
  if (screens.empty() || Reachable(r, screens)) return r;
  const Rect* best = nullptr;
  long long bestScore = LLONG_MIN;
  for (const Rect& s : screens) {
    const long long area = static_cast<long long>(Overlap(r.left, r.right, s.left, s.right)) *
                           Overlap(r.top, r.bottom, s.top, s.bottom);
    // Overlap counts first; without any, the nearer centre wins.
    const long long dx = (r.left + r.right) / 2 - (s.left + s.right) / 2;
    const long long dy = (r.top + r.bottom) / 2 - (s.top + s.bottom) / 2;
    const long long score = area > 0 ? area : -(dx * dx + dy * dy);
    if (!best || score > bestScore) {
      best = &s;
      bestScore = score;
    }
  }
  return Clamp(r, *best);
}

Rect CentredOver(int w, int h, const Rect& owner, const Rect& screen, const Rect& clear) {
  Rect r = Clamp(At(owner.left + (owner.Width() - w) / 2, owner.top + (owner.Height() - h) / 2, w, h), screen);
  if (!clear.Empty() && r.Intersects(clear)) {
    if (clear.bottom + r.Height() <= screen.bottom)
      r = At(r.left, clear.bottom, r.Width(), r.Height());
    else if (clear.top - r.Height() >= screen.top)
      r = At(r.left, clear.top - r.Height(), r.Width(), r.Height());
  }
  return r;
}

Rect Beside(int w, int h, const Rect& anchor, const Rect& screen, const std::vector<Rect>& taken) {
  // Along a side of the anchor, slid along that side as far as the screen asks.
  auto alongY = [&](int y) { return std::clamp(y, screen.top, std::max(screen.top, screen.bottom - h)); };
  auto alongX = [&](int x) { return std::clamp(x, screen.left, std::max(screen.left, screen.right - w)); };
  Rect r;
  if (anchor.right + w <= screen.right)
    r = At(anchor.right, alongY(anchor.top), w, h);
  else if (anchor.bottom + h <= screen.bottom)
    r = At(alongX(anchor.left), anchor.bottom, w, h);
  else if (anchor.left - w >= screen.left)
    r = At(anchor.left - w, alongY(anchor.top), w, h);
  else if (anchor.top - h >= screen.top)
    r = At(alongX(anchor.left), anchor.top - h, w, h);
  else
    r = Clamp(At(anchor.left, anchor.bottom, w, h), screen);
  auto sharesCorner = [&](const Rect& c) {
    return std::any_of(taken.begin(), taken.end(), [&](const Rect& t) {
      return std::abs(t.left - c.left) < kStep / 2 && std::abs(t.top - c.top) < kStep / 2;
    });
  };
  for (int i = 0; i < 16 && sharesCorner(r); ++i) {
    const Rect next = At(r.left + kStep, r.top + kStep, r.Width(), r.Height());
    if (!Inside(next, screen)) break;
    r = next;
  }
  return r;
}

// ------------------------------------------------------------------ windows

namespace {

QPointer<QWidget> g_main;
QPointer<QWidget> g_menu;
QMargins g_margins;  // the last frame seen

Rect FromQ(const QRect& q) { return Rect{q.left(), q.top(), q.left() + q.width(), q.top() + q.height()}; }

bool FrameKnown(const QWidget* w) {
  return w && w->isWindow() && !w->testAttribute(Qt::WA_DontShowOnScreen) && w->frameGeometry() != w->geometry();
}

void Learn(const QWidget* w) {
  const QRect f = w->frameGeometry(), g = w->geometry();
  g_margins = QMargins(g.left() - f.left(), g.top() - f.top(), f.right() - g.right(), f.bottom() - g.bottom());
}

// The inner size a window will show at: one never sized yet takes its
// layout's size when shown, not the placeholder it has until then.
QSize InnerSizeOnShow(const QWidget* w) {
  if (w->isVisible() || w->testAttribute(Qt::WA_Resized) || !w->layout()) return w->size();
  w->layout()->activate();
  if (w->testAttribute(Qt::WA_Resized)) return w->size();
  return w->sizeHint().expandedTo(w->minimumSize()).boundedTo(w->maximumSize());
}

QSize EstimatedOuterSize(const QWidget* w) {
  if (FrameKnown(w)) return w->frameGeometry().size();
  return InnerSizeOnShow(w).grownBy(g_margins);
}

void PlaceWaiting();
Rect AreaAt(const Rect& r);

// Puts a window that was placed before its frame was known where it was
// meant to go, once the frame is known.
class Placer : public QObject {
 public:
  static constexpr int kMaxEvents = 32;

  Placer(QWidget* w, QPoint corner, QSize outer) : QObject(w), window_(w), corner_(corner), outer_(outer) {
    setObjectName(QStringLiteral("plat_placer"));
    w->installEventFilter(this);
    fits_ = Fits();
  }
  static Placer* Of(const QWidget* w) { return w->findChild<Placer*>(QStringLiteral("plat_placer"), Qt::FindDirectChildrenOnly); }

  Rect Wanted() const {
    const QSize s = outer_.isValid() ? outer_ : EstimatedOuterSize(window_);
    return At(corner_.x(), corner_.y(), s.width(), s.height());
  }
  void Set(QPoint corner, QSize outer) {
    corner_ = corner;
    outer_ = outer;
    events_ = 0;
    fits_ = Fits();
  }
  bool Fits() const {
    const Rect r = Wanted();
    return Inside(r, AreaAt(r));
  }
  void Finish() {
    if (window_) window_->removeEventFilter(this);
    setObjectName(QString());
    deleteLater();
  }

  bool eventFilter(QObject* o, QEvent* e) override {
    if (o != window_ || busy_) return false;
    // A window shown again at its old inner place gets no move when the
    // window manager frames it: its first paint comes after that.
    if (e->type() != QEvent::Show && e->type() != QEvent::Move && e->type() != QEvent::Resize &&
        e->type() != QEvent::Paint)
      return false;
    QWidget* w = window_;
    if (!FrameKnown(w)) {
      if (++events_ > kMaxEvents) Finish();
      return false;
    }
    Learn(w);
    busy_ = true;
    if (outer_.isValid() && w->frameGeometry().size() != outer_) w->resize(outer_.shrunkBy(g_margins));
    QPoint corner = corner_;
    // Meant to lie on the screen, it stays there with its true frame.
    const Rect real = At(corner.x(), corner.y(), w->frameGeometry().width(), w->frameGeometry().height());
    if (fits_ && !Inside(real, AreaAt(real))) {
      const Rect in = Clamp(real, AreaAt(real));
      corner = QPoint(in.left, in.top);
    }
    if (w->frameGeometry().topLeft() != corner) w->move(corner);
    busy_ = false;
    Finish();
    if (w == g_main) PlaceWaiting();
    return false;
  }

 private:
  QWidget* window_;
  QPoint corner_;
  QSize outer_;
  int events_ = 0;
  bool busy_ = false;
  bool fits_ = false;  // the estimated frame lay within a screen
};

// Windows placed by the main window before it was framed: placed again
// once its frame, and so its true size, is known.
struct Waiting {
  QPointer<QWidget> window;
  QPointer<QWidget> owner;
  bool beside;
};
std::vector<Waiting> g_waiting;

void WaitForMain(QWidget* w, const QWidget* owner, bool beside) {
  if (!g_main || g_main == w || FrameKnown(g_main)) return;
  g_waiting.push_back({w, const_cast<QWidget*>(owner), beside});
}

void Place(QWidget* w, QPoint corner, QSize outer) {
  if (!w) return;
  // Placed on purpose: no longer waiting to be placed again.
  g_waiting.erase(std::remove_if(g_waiting.begin(), g_waiting.end(), [w](const Waiting& p) { return p.window == w; }),
                  g_waiting.end());
  Placer* pending = Placer::Of(w);
  if (FrameKnown(w)) {
    Learn(w);
    if (pending) pending->Finish();
    if (outer.isValid()) w->resize(outer.shrunkBy(g_margins));
    w->move(corner);
    return;
  }
  if (outer.isValid()) w->resize(outer.shrunkBy(g_margins));
  // A window not made yet is framed at the corner it is given; one that
  // exists unframed takes its inner corner.
  if (!w->testAttribute(Qt::WA_WState_Created))
    w->move(corner);
  else
    w->move(corner + QPoint(g_margins.left(), g_margins.top()));
  if (pending)
    pending->Set(corner, outer);
  else
    new Placer(w, corner, outer);
}

Rect AreaAt(const Rect& r) {
  const QPoint centre((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  const QScreen* s = QGuiApplication::screenAt(centre);
  if (!s) s = QGuiApplication::primaryScreen();
  return s ? FromQ(s->availableGeometry()) : Rect{0, 0, 1024, 768};
}

Rect PrimaryArea() {
  const QScreen* s = QGuiApplication::primaryScreen();
  return s ? FromQ(s->availableGeometry()) : Rect{0, 0, 1024, 768};
}

bool Shown(const QWidget* w) { return w && w->isVisible() && !w->isMinimized(); }
// The main window counts before it is first shown: what opens at start
// goes beside the place it is about to take.
bool Present(const QWidget* w) { return w && !w->isMinimized(); }

Rect MenuBand() {
  const Rect frame = OuterRect(g_main);
  int bottom = frame.top + 2 * kGripHeight;
  if (g_menu && g_menu->isVisible()) bottom = g_menu->mapToGlobal(QPoint(0, g_menu->height())).y();
  return Rect{frame.left, frame.top, frame.right, std::max(bottom, frame.top + 1)};
}

void PlaceWaiting() {
  std::vector<Waiting> waiting;
  waiting.swap(g_waiting);
  for (const Waiting& p : waiting) {
    if (!p.window) continue;
    if (p.beside) PlaceBesideMain(p.window);
    else PlaceOver(p.window, p.owner);
  }
}

}  // namespace

void SetMainWindow(QWidget* frame, QWidget* menuBar) {
  g_main = frame;
  g_menu = menuBar;
  g_waiting.clear();
}

QWidget* MainWindow() { return g_main.data(); }

std::vector<Rect> ScreenAreas() {
  std::vector<Rect> areas;
  for (const QScreen* s : QGuiApplication::screens()) areas.push_back(FromQ(s->availableGeometry()));
  return areas;
}

Rect OuterRect(const QWidget* w) {
  if (!w) return {};
  if (const Placer* p = Placer::Of(w)) return p->Wanted();
  if (FrameKnown(w)) {
    Learn(w);
    return FromQ(w->frameGeometry());
  }
  const QRect g = w->geometry();
  const QSize s = EstimatedOuterSize(w);
  return At(g.left() - g_margins.left(), g.top() - g_margins.top(), s.width(), s.height());
}

void MoveOuter(QWidget* w, int left, int top) { Place(w, QPoint(left, top), QSize()); }

void SetOuter(QWidget* w, const Rect& r) { Place(w, QPoint(r.left, r.top), QSize(r.Width(), r.Height())); }

bool Restore(QWidget* w, const Rect& stored, bool keepSize) {
  if (!w || stored.Empty()) return false;
  Rect r = stored;
  if (keepSize) {
    const QSize s = EstimatedOuterSize(w);
    r = At(stored.left, stored.top, s.width(), s.height());
  }
  const std::vector<Rect> screens = ScreenAreas();
  const bool lost = !Reachable(r, screens);
  r = OntoScreen(r, screens);
  if (keepSize)
    MoveOuter(w, r.left, r.top);
  else
    SetOuter(w, r);
  // A window lost off the screens comes back as a new one would, so that
  // it does not land on the main window's menu.
  if (lost && Present(g_main) && g_main != w) PlaceBesideMain(w);
  return true;
}

void PlaceBesideMain(QWidget* w) {
  if (!w) return;
  const QSize s = EstimatedOuterSize(w);
  if (!Present(g_main) || g_main == w) {
    const Rect area = PrimaryArea();
    MoveOuter(w, area.left, area.top);
    return;
  }
  const Rect anchor = OuterRect(g_main);
  std::vector<Rect> taken;
  for (QWidget* t : QApplication::topLevelWidgets())
    if (t != w && t != g_main && Shown(t) && (t->windowType() == Qt::Window || t->windowType() == Qt::Dialog))
      taken.push_back(OuterRect(t));
  const Rect area = AreaAt(anchor);
  Rect r = Beside(s.width(), s.height(), anchor, area, taken);
  // No side had room: at least the menu stays free where it can.
  const Rect band = MenuBand();
  if (r.Intersects(band) && band.bottom + r.Height() <= area.bottom) r = At(r.left, band.bottom, r.Width(), r.Height());
  MoveOuter(w, r.left, r.top);
  WaitForMain(w, nullptr, true);
}

void PlaceOver(QWidget* w, const QWidget* owner) {
  if (!w) return;
  const QSize s = EstimatedOuterSize(w);
  const QWidget* o = owner ? owner->window() : nullptr;
  if (!Shown(o) && o != g_main) o = nullptr;
  if (!o && Present(g_main)) o = g_main.data();
  const Rect ownerRect = o ? OuterRect(o) : PrimaryArea();
  const Rect area = AreaAt(ownerRect);
  if (!Present(g_main) || g_main == w) {
    const Rect r = CentredOver(s.width(), s.height(), ownerRect, area, Rect{});
    MoveOuter(w, r.left, r.top);
    return;
  }
  // Clear of the whole main window where there is room, else of its menu.
  Rect r = CentredOver(s.width(), s.height(), ownerRect, area, OuterRect(g_main));
  const Rect band = MenuBand();
  if (r.Intersects(band)) r = CentredOver(s.width(), s.height(), ownerRect, area, band);
  MoveOuter(w, r.left, r.top);
  WaitForMain(w, owner, false);
}

namespace {
Rect WorkArea() { return Present(g_main) ? AreaAt(OuterRect(g_main)) : PrimaryArea(); }
}  // namespace

bool TooLarge(const QWidget* w) {
  if (!w) return false;
  const QSize s = (w->layout() ? w->sizeHint() : w->size()).grownBy(g_margins);
  const Rect area = WorkArea();
  return s.width() > area.Width() || s.height() > area.Height();
}

void InnerRoom(int* width, int* height) {
  const Rect area = WorkArea();
  if (width) *width = area.Width() - g_margins.left() - g_margins.right();
  if (height) *height = area.Height() - g_margins.top() - g_margins.bottom();
}

}  // namespace plat::place
