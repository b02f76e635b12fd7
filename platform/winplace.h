// Where top-level windows go. Every rectangle here is a window's outer
// frame, title bar and borders included: the settings store frames, and a
// frame put back where it was stays there. Until the window manager has
// framed a window its frame is an estimate (the last frame seen on any
// window); a window placed before that is set right once it is framed.
#pragma once
#include <vector>

class QWidget;

namespace plat::place {

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool Empty() const { return right <= left || bottom <= top; }
  bool Intersects(const Rect& o) const {
    return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
  }
  bool operator==(const Rect&) const = default;
};

// The band at a frame's top that must lie on a screen for the window to be
// grabbed: its title bar.
inline constexpr int kGripHeight = 20, kGripWidth = 48;

// --------------------------------------------------------------- geometry

// The title bar of r lies on one of the screens.
bool Reachable(const Rect& r, const std::vector<Rect>& screens);
// r when reachable; else r moved onto the screen it overlaps most (or the
// nearest one), shrunk only where it is larger than that screen.
Rect OntoScreen(const Rect& r, const std::vector<Rect>& screens);
// w x h centred over owner, within screen, and out of clear when there is
// room for that below it.
Rect CentredOver(int w, int h, const Rect& owner, const Rect& screen, const Rect& clear);
// w x h beside anchor: to its right, else below it, else to its left,
// else above it, the first side with room on the screen (slid along that
// side to stay on it); stepped on diagonally while its corner meets the
// corner of one of taken.
Rect Beside(int w, int h, const Rect& anchor, const Rect& screen, const std::vector<Rect>& taken);

// --------------------------------------------------------------- windows

// The program's main window: the anchor of new windows, which keep its
// menu clear. menuBar may be null. Null forgets.
void SetMainWindow(QWidget* frame, QWidget* menuBar);
QWidget* MainWindow();
// The available areas of the screens.
std::vector<Rect> ScreenAreas();
// The outer frame of a top-level window (the placement still pending
// while it is not framed).
Rect OuterRect(const QWidget* w);
// The frame's top-left corner to (left, top); the size stays.
void MoveOuter(QWidget* w, int left, int top);
// The frame to r, size included.
void SetOuter(QWidget* w, const Rect& r);
// A stored frame put back, onto the screen when it lies off every screen;
// keepSize takes only its corner. False when nothing is stored (empty r).
bool Restore(QWidget* w, const Rect& stored, bool keepSize);
// Beside the main window, clear of the other windows' corners (on the
// primary screen's corner without a main window).
void PlaceBesideMain(QWidget* w);
// Centred over owner's window (the main window when null), clear of the
// main window's menu where there is room.
void PlaceOver(QWidget* w, const QWidget* owner);
// Larger than the screen's area (frame included) in either direction.
bool TooLarge(const QWidget* w);
// The largest inner size a window may take on the main window's screen.
void InnerRoom(int* width, int* height);

}  // namespace plat::place
