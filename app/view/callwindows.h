// The program's call windows in their slots of the view: the assistant
// window (dialog 102) with the speed-dial store's memory keys, the keypad
// (108), the new-record question (173), and the connection drawing. Kept
// apart from the view, whose own code stays free of widgets.
#pragma once

class CBrimlowDoc;
class CBrimlowView;

// Before the view's creation.
void InstallCallWindows(CBrimlowView& view, CBrimlowDoc& doc);
