// The charge evaluation windows on the view's menu: the charge report
// (32796, dialog 190), the total charges (32797, dialog 188, which the
// view keeps and opens again) and the call evaluation of the PBX's list
// (32801, modal) and of the charge file (32803, modeless). One of each at
// a time. Also what a tile's third button opens: the extension
// information (dialog 227).
#pragma once

class CBrimlowDoc;
class CBrimlowView;

// Before the view's creation (InstallCallWindows runs it).
void InstallChargeWindows(CBrimlowView& view, CBrimlowDoc& doc);
