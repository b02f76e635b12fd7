// What the view needs of the program's shell (main frame, notification
// area icon, modeless windows) as narrow interfaces, so that the view's
// whole life runs headless in tests with recording stand-ins. The view
// holds them; it owns the windows handed to it, not the frame or the tray.
#pragma once
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32types.h"

// The main frame as the view drives it.
class IViewFrame {
 public:
  virtual ~IViewFrame() = default;
  virtual void Show() = 0;
  virtual void Hide() = 0;
  virtual void Minimise() = 0;
  virtual void Restore() = 0;            // the system command "restore"
  virtual void BringToForeground() = 0;
  // The frame's visible owned pop-ups: hidden and remembered, then shown
  // again (only those that were hidden).
  virtual void HideOwnedPopups() = 0;
  virtual void ShowOwnedPopups() = 0;
  virtual void SetTitle(const std::string& text) = 0;   // Windows-1252
  virtual void SetStatusText(const std::string& text) = 0;
  // The commands' enabled states or texts changed: refresh menu and bars.
  virtual void UpdateMenu() = 0;
  // The frame recalculates its layout and fits the form.
  virtual void RecalcLayout() = 0;
  virtual void SetBusy(bool busy) = 0;   // wait cursor
  // The application's exit command: closes the main window through its
  // normal close (which asks the document).
  virtual void ExitCommand() = 0;
};

// One entry of the notification area's pop-up menu; id 0 is a separator.
struct TrayMenuEntry {
  plat::UINT command = 0;
  std::string text;
};

// The notification-area icon record and its back end.
class IViewTray {
 public:
  virtual ~IViewTray() = default;
  // Owner window and the callback message of mouse events.
  virtual void SetOwner(plat::WindowId window, plat::UINT callbackMessage) = 0;
  virtual void SetTip(const std::string& text, bool apply) = 0;  // cut to 63 by the record
  virtual void SetIcon(int resourceId, bool apply) = 0;
  // Adds the icon on first use, modifies it later; false when nothing was done.
  virtual bool Apply() = 0;
  virtual void Remove() = 0;
  virtual bool HasNotificationArea() const = 0;
  // The pop-up menu at the cursor; its commands come back to the view as
  // window message 273 with the command id. CloseMenu drops a menu left open.
  virtual void ShowMenu(const std::vector<TrayMenuEntry>& entries) = 0;
  virtual void CloseMenu() = 0;
};

// One modeless window of the view (assistant, keypad, database dialog,
// subscriber overview, new-record question).
class IViewWindow {
 public:
  virtual ~IViewWindow() = default;
  // Builds and shows it with the view as parent; false when it could not.
  virtual bool Create(plat::WindowId parent) = 0;
  virtual bool IsOpen() const = 0;
  // The window's notification entry.
  virtual plat::LRESULT Notify(plat::UINT code, plat::WPARAM wParam, plat::LPARAM lParam) = 0;
  // 0 hides it, 1 shows it (the view's show step).
  virtual void Show(int show) = 0;
  virtual void Destroy() = 0;
  // The clock of the view's timer 1 (the assistant's); others ignore it.
  virtual void Tick() {}
  // Asked while the window is closed: refresh when next shown.
  virtual void RefreshWhenShown() {}

  // The window calls this once when the user closed it; the view clears
  // its open flag and destroys the window after the handler has returned.
  void SetClosedNotice(std::function<void()> notice) { closed_ = std::move(notice); }

 protected:
  void NotifyClosed() {
    if (closed_) closed_();
  }

 private:
  std::function<void()> closed_;
};

struct CallRecordMatch;
class CCallInfo;

// The record views of the calls' partners (the phone book's), as the hub
// drives them: 1038 opens one, 1039 closes a slot, 1028 the call's view.
class IRecordViews {
 public:
  virtual ~IRecordViews() = default;
  virtual int OpenView(const CallRecordMatch& match) = 0;
  virtual int CloseViewByIndex(int slot) = 0;
  virtual int CloseViewForCall(const CCallInfo* call) = 0;
};

// The menu as the view's update rules edit it when it is shown.
class IViewMenu {
 public:
  virtual ~IViewMenu() = default;
  virtual void RemoveCommand(plat::UINT id) = 0;
  virtual void SetCommandText(plat::UINT id, const std::string& text) = 0;
};
