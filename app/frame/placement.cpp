#include "app/frame/placement.h"

#include <algorithm>

#include "core/base/globalconfig.h"
#include "core/base/globallog.h"
#include "platform/profile.h"
#include "platform/text.h"

namespace frameplace {

FrameRect Stored(const std::string& settingsFile, const CGlobalConfig& config) {
  const char* f = settingsFile.c_str();
  FrameRect r;
  r.left = static_cast<int>(plat::GetPrivateProfileInt(kSection, "LP", 0, f));
  r.top = static_cast<int>(plat::GetPrivateProfileInt(kSection, "TP", 0, f));
  r.right = static_cast<int>(plat::GetPrivateProfileInt(kSection, "RP", 0, f));
  r.bottom = static_cast<int>(plat::GetPrivateProfileInt(kSection, "BP", 0, f));
  int l, t, rt, b;
  if (config.GetWindowPosition(kWindowPosition, l, t, rt, b) == 1) r = {l, t, rt, b};
  return r;
}

FrameRect Place(const FrameRect& s, const std::vector<FrameRect>& screens) {
  const FrameRect fallback{0, 0, kDefaultWidth, kDefaultHeight};
  if (s == FrameRect{}) return fallback;
  if (s.Width() <= 0 || s.Height() <= 0) return fallback;
  const bool beyond = std::all_of(screens.begin(), screens.end(), [&](const FrameRect& sc) { return s.left >= sc.right; });
  if (beyond && !screens.empty()) return fallback;
  return plat::place::OntoScreen(s, screens);
}

bool Save(FrameRect g, bool minimised, const std::string& settingsFile, CGlobalConfig& config) {
  g.left = std::max(g.left, 0);
  g.top = std::max(g.top, 0);
  g.right = std::max(g.right, 0);
  g.bottom = std::max(g.bottom, 0);
  plat::ProfileBatch batch(settingsFile);
  batch.Write(kSection, "LP", plat::StrFormatC("%d", g.left).c_str());
  batch.Write(kSection, "RP", plat::StrFormatC("%d", g.right).c_str());
  batch.Write(kSection, "BP", plat::StrFormatC("%d", g.bottom).c_str());
  batch.Write(kSection, "TP", plat::StrFormatC("%d", g.top).c_str());
  const bool written = batch.Commit();
  if (!written) GlobalLog().WriteEntry(("CMainFrame: MFRM not written to " + settingsFile).c_str());
  if (!minimised) config.SetWindowPosition(kWindowPosition, g.left, g.top, g.right, g.bottom);
  return written;
}

}  // namespace frameplace
