// The notification-area icon as the view drives it: the icon record, its
// states and flags, over a back end that puts it on the desktop (a Qt one
// in the program, a recording one in tests). No widgets here.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "app/view/viewshell.h"
#include "platform/win32types.h"

// The icon record as the notification area takes it.
struct TrayIconRecord {
  std::uint32_t size = 88;
  plat::WindowId owner = 0;
  std::uint32_t iconId = 0;
  std::uint32_t flags = 0;
  std::uint32_t callbackMessage = 0;
  std::uint32_t icon = 0;  // the icon's resource id; 0 none
  char tip[64] = {};       // at most 63 bytes and the end mark
};
static_assert(sizeof(TrayIconRecord) == 88);

// One entry of the pop-up menu, with the message it posts to the owner;
// msg 0 is a separator.
struct TrayMenuItem {
  plat::UINT msg = 0;
  plat::WPARAM wParam = 0;
  plat::LPARAM lParam = 0;
  std::string text;  // Windows-1252
};

class ITrayBackend {
 public:
  virtual ~ITrayBackend() = default;
  virtual bool Add(const TrayIconRecord& r) = 0;
  virtual bool Modify(const TrayIconRecord& r) = 0;
  virtual bool Delete(const TrayIconRecord& r) = 0;
  virtual bool Available() const = 0;
  // Shows the menu (or fills the one being opened); a chosen entry is
  // posted to owner once the menu has closed.
  virtual void ShowMenu(plat::WindowId owner, const std::vector<TrayMenuItem>& items) = 0;
  virtual void CloseMenu() = 0;
};

class CTrayIcon : public IViewTray {
 public:
  enum State { kNotShown = 0, kShown = 1, kToRemove = 2, kRemoved = 3 };
  enum Flags : std::uint32_t { kMessageValid = 1, kIconValid = 2, kTipValid = 4 };
  static constexpr std::size_t kTipMax = 63;
  static constexpr plat::UINT kMsgCommand = 273;
  static constexpr plat::UINT kExitCommand = 57665;

  explicit CTrayIcon(ITrayBackend& backend) : backend_(backend) {}
  ~CTrayIcon() override { Remove(); }
  CTrayIcon(const CTrayIcon&) = delete;
  CTrayIcon& operator=(const CTrayIcon&) = delete;

  void SetOwner(plat::WindowId window, plat::UINT callbackMessage) override;
  void SetTip(const std::string& text, bool apply) override;
  void SetIcon(int resourceId, bool apply) override;
  bool Apply() override;
  void Remove() override;
  bool HasNotificationArea() const override { return backend_.Available(); }
  // While a modal dialog runs, only bringing the window to the front and
  // the exit are offered: anything else would take objects away from under
  // it, and the exit ends the dialog first.
  void ShowMenu(const std::vector<TrayMenuEntry>& entries) override;
  void CloseMenu() override { backend_.CloseMenu(); }

  // The callback message with lParam = the mouse message: a double click
  // (515) and the context request (516).
  static constexpr plat::LPARAM kDoubleClick = 515, kContextMenu = 516;
  // Under a modal dialog: the double click's message, a separator and the
  // exit command.
  std::vector<TrayMenuItem> MenuItems(const std::vector<TrayMenuEntry>& entries) const;

  const TrayIconRecord& Record() const { return record_; }
  State GetState() const { return state_; }

 private:
  ITrayBackend& backend_;
  TrayIconRecord record_;
  State state_ = kNotShown;
};
