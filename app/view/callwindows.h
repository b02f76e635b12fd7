// The program's call windows in their slots of the view: the assistant
// window (dialog 102) with the speed-dial store's memory keys, the keypad
// (108), the new-record question (173), and the connection drawing. Kept
// apart from the view, whose own code stays free of widgets.
#pragma once
#include <utility>

#include "app/callwin/callwindow.h"
#include "app/view/viewshell.h"

class CBrimlowDoc;
class CBrimlowView;

// One call window as the view holds it.
template <class W>
class CallWindowSlot : public IViewWindow {
 public:
  CallWindowSlot() {
    window_.SetClosedNotice([this] { NotifyClosed(); });
  }
  W& Get() { return window_; }
  bool Create(plat::WindowId parent) override { return window_.Create(parent); }
  bool IsOpen() const override { return window_.IsOpen(); }
  plat::LRESULT Notify(plat::UINT code, plat::WPARAM w, plat::LPARAM l) override { return window_.Notify(code, w, l); }
  void Show(int show) override { window_.Show(show); }
  void Destroy() override { window_.Destroy(); }
  void Tick() override { window_.Tick(); }
  void RefreshWhenShown() override { window_.RefreshWhenShown(); }

 private:
  W window_;
};

// Before the view's creation.
void InstallCallWindows(CBrimlowView& view, CBrimlowDoc& doc);
