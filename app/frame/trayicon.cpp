#include "app/frame/trayicon.h"

#include <cstring>

#include "platform/messages.h"
#include "platform/text.h"
#include "platform/textid.h"

void CTrayIcon::SetOwner(plat::WindowId window, plat::UINT callbackMessage) {
  record_.owner = window;
  record_.callbackMessage = callbackMessage;
  if (callbackMessage != 0)
    record_.flags |= kMessageValid;
  else
    record_.flags &= ~kMessageValid;
}

void CTrayIcon::SetTip(const std::string& text, bool apply) {
  std::memset(record_.tip, 0, sizeof record_.tip);
  if (text.empty()) {
    record_.flags &= ~kTipValid;
  } else {
    record_.flags |= kTipValid;
    std::memcpy(record_.tip, text.data(), text.size() < kTipMax ? text.size() : kTipMax);
  }
  if (apply) Apply();
}

void CTrayIcon::SetIcon(int resourceId, bool apply) {
  record_.icon = resourceId > 0 ? static_cast<std::uint32_t>(resourceId) : 0;
  if (record_.icon != 0)
    record_.flags |= kIconValid;
  else
    record_.flags &= ~kIconValid;
  if (apply) Apply();
}

bool CTrayIcon::Apply() {
  switch (state_) {
    case kNotShown:
      backend_.Add(record_);
      state_ = kShown;
      return true;
    case kShown:
      backend_.Modify(record_);
      return true;
    case kToRemove:
      backend_.Delete(record_);
      state_ = kRemoved;
      return true;
    case kRemoved:
      return false;
  }
  return false;
}

void CTrayIcon::Remove() {
  if (state_ == kRemoved) return;
  if (state_ == kNotShown) {
    // Never shown: nothing to take off the desktop.
    state_ = kRemoved;
    return;
  }
  state_ = kToRemove;
  Apply();
}

std::vector<TrayMenuItem> CTrayIcon::MenuItems(const std::vector<TrayMenuEntry>& entries) const {
  std::vector<TrayMenuItem> items;
  if (plat::ModalLoopDepth() > 0) {
    // Under an open dialog: back to the front, or the end of the program
    // (which ends the dialog first).
    items.push_back({record_.callbackMessage, 0, kDoubleClick, plat::GetTextOr(plat::TextId(0, 0), "Palomir")});
    for (const TrayMenuEntry& e : entries) {
      if (e.command != kExitCommand) continue;
      items.push_back({});
      items.push_back({kMsgCommand, e.command, 0, e.text});
    }
    return items;
  }
  for (const TrayMenuEntry& e : entries) {
    if (e.command == 0)
      items.push_back({});
    else
      items.push_back({kMsgCommand, e.command, 0, e.text});
  }
  return items;
}

void CTrayIcon::ShowMenu(const std::vector<TrayMenuEntry>& entries) {
  if (state_ != kShown) return;
  backend_.ShowMenu(record_.owner, MenuItems(entries));
}
