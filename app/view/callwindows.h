// The program's call windows in their slots of the view: the assistant
// window (dialog 102) with the speed-dial store's memory keys, the keypad
// (108), the new-record question (173), the subscriber overview (158), the
// connection drawing and the settings dialogs' commands. Kept
// apart from the view, whose own code stays free of widgets.
#pragma once
#include "platform/win32types.h"

class CBrimlowDoc;
class CBrimlowView;

// Menu commands of the settings dialogs.
enum : plat::UINT {
  ID_AUTOSTART = 32775, ID_SYSTEM_CONNECTION = 32776, ID_CUSTOMER_INFO = 32783, ID_ASSISTANT_SETUP = 32791,
  ID_CALLDATA_ORDER = 32793, ID_EXTRAS = 32798,
  // Switches the subscriber overview's hover texts.
  ID_OVERVIEW_HOVER = 32794,
};

// Before the view's creation.
void InstallCallWindows(CBrimlowView& view, CBrimlowDoc& doc);
// The settings commands alone (InstallCallWindows runs it); the own
// workstation (32789) is the document's.
void InstallSettingsCommands(CBrimlowView& view, CBrimlowDoc& doc);
