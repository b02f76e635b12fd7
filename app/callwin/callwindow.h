// What the view holds of each modeless call window: it creates it, routes
// hub codes to it, shows or hides it and destroys it, and hears once when
// the window went away, so that its open flag never outlives it. The same
// shape as the view's own window interface, so either can stand for it.
#pragma once
#include <functional>
#include <utility>

#include "platform/win32types.h"

class ICallWindow {
 public:
  virtual ~ICallWindow() = default;
  // Builds and shows it, modeless, with the view as parent; false when it
  // could not be built.
  virtual bool Create(plat::WindowId parent) = 0;
  virtual bool IsOpen() const = 0;
  // A hub code for the window (lParam as the hub passes it); 0 while the
  // window does not exist.
  virtual plat::LRESULT Notify(plat::UINT code, plat::WPARAM wParam, plat::LPARAM lParam) = 0;
  // 0 hides, 1 shows.
  virtual void Show(int show) = 0;
  virtual void Destroy() = 0;
  // The view's timer 1 (the assistant's clock); others ignore it.
  virtual void Tick() {}
  virtual void RefreshWhenShown() {}

  // Called once each time the window is destroyed, whoever destroyed it;
  // never from the window object's own destructor.
  void SetClosedNotice(std::function<void()> notice) { closed_ = std::move(notice); }

 protected:
  void NotifyClosed() {
    if (closed_) closed_();
  }

 private:
  std::function<void()> closed_;
};
