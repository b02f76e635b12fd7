// The charge evaluation windows on the view's menu: the charge report
// (32796, dialog 190) and the total charges (32797, dialog 188, which the
// view keeps and opens again). One of each at a time. Also what a tile's
// third button opens: the extension information (dialog 227).
#pragma once

class CBrimlowDoc;
class CBrimlowView;

// Before the view's creation (InstallCallWindows runs it).
void InstallChargeWindows(CBrimlowView& view, CBrimlowDoc& doc);
