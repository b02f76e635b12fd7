// What the view holds of each modeless call window: it creates it, routes
// hub codes to it, shows or hides it and destroys it, and hears when the
// window went away by itself, so that its open flag never outlives it.
#pragma once
#include <functional>
#include <utility>

#include "platform/win32types.h"

class ICallWindow {
 public:
  virtual ~ICallWindow() = default;
  // Modeless, with the view as parent; false when it could not be built.
  virtual bool Create(plat::WindowId view) = 0;
  virtual bool IsOpen() const = 0;
  // A hub code for the window (lParam as the hub passes it); 0 while the
  // window does not exist.
  virtual plat::LRESULT Notify(plat::UINT code, plat::WPARAM wParam, plat::LPARAM lParam) = 0;
  // 0 hides, anything else shows.
  virtual void Show(int show) = 0;
  virtual void Destroy() = 0;

  // Called once each time the window is destroyed, by whoever.
  void SetDestroyedNotice(std::function<void()> fn) { destroyed_ = std::move(fn); }

 protected:
  void TellDestroyed() {
    if (destroyed_) destroyed_();
  }

 private:
  std::function<void()> destroyed_;
};
