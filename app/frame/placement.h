// Where the main frame goes: the rectangle stored in section MFRM with
// window position 1 over it, checked against the screens; and what the
// frame stores when it closes. The rectangle is the window's outer frame,
// title bar included, so a frame put back where it was stays there.
#pragma once
#include <string>
#include <vector>

#include "platform/winplace.h"

class CGlobalConfig;

using FrameRect = plat::place::Rect;

namespace frameplace {

inline constexpr int kDefaultWidth = 480, kDefaultHeight = 73;
inline constexpr char kSection[] = "MFRM";
inline constexpr int kWindowPosition = 1;

// "LP", "TP", "RP", "BP" of MFRM (0 each when missing), then window
// position 1 over them when it is set.
FrameRect Stored(const std::string& settingsFile, const CGlobalConfig& config);
// The default place (0, 0, 480 x 73) when nothing usable is stored: all 0,
// no positive width or height, or left of it beyond every screen's right.
// A rectangle whose title bar lies off every screen is moved onto one.
FrameRect Place(const FrameRect& stored, const std::vector<FrameRect>& screens);
// Negative coordinates become 0; MFRM is written in one replacement and,
// unless minimised, the rectangle becomes window position 1. false (and
// logged) when MFRM could not be written.
bool Save(FrameRect geometry, bool minimised, const std::string& settingsFile, CGlobalConfig& config);

}  // namespace frameplace
