// Where the main frame goes: the rectangle stored in section MFRM with
// window position 1 over it, checked against the screens; and what the
// frame stores when it closes. The rectangle is the window's geometry
// without the decorations, so a frame put back where it was stays there.
#pragma once
#include <string>
#include <vector>

class CGlobalConfig;

struct FrameRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const FrameRect&) const = default;
};

namespace frameplace {

inline constexpr int kDefaultWidth = 480, kDefaultHeight = 73;
inline constexpr char kSection[] = "MFRM";
inline constexpr int kWindowPosition = 1;

// "LP", "TP", "RP", "BP" of MFRM (0 each when missing), then window
// position 1 over them when it is set.
FrameRect Stored(const std::string& settingsFile, const CGlobalConfig& config);
// The default place (0, 0, 480 x 73) when nothing usable is stored: all 0,
// no positive width or height, or on none of the screens.
FrameRect Place(const FrameRect& stored, const std::vector<FrameRect>& screens);
// Negative coordinates become 0; MFRM is written in one replacement and,
// unless minimised, the rectangle becomes window position 1. false (and
// logged) when MFRM could not be written.
bool Save(FrameRect geometry, bool minimised, const std::string& settingsFile, CGlobalConfig& config);

}  // namespace frameplace
