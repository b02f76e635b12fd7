// Radio groups that show a stored index: a value without a button leaves
// the group empty, and an untouched group gives the stored value back on
// OK, never -1 or 0.
#pragma once
#include "platform/dialogkit/dialog.h"

namespace dialogs {

inline void ShowRadio(plat::Dialog& d, int firstId, int buttons, int value) {
  d.SetRadioIndex(firstId, value >= 0 && value < buttons ? value : -1);
}

inline int ReadRadio(const plat::Dialog& d, int firstId, int stored) {
  const int chosen = d.GetRadioIndex(firstId);
  return chosen >= 0 ? chosen : stored;
}

}  // namespace dialogs
