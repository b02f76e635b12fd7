// The call windows' places in the configuration's window-position table.
#pragma once
#include "platform/win32types.h"

class QWidget;

namespace callwin {

// Moves the window to the stored position when one is stored and the
// rectangle lies at least partly on a screen. True when it was moved.
bool RestorePosition(QWidget* w, int positionId);
// Stores the window's rectangle unless it is minimised or hidden.
void SavePosition(const QWidget* w, int positionId);
// The question dialog's rule: the stored top-left corner when it is not
// 0,0 and lies within the primary screen, else the window is centred on it.
// True when the stored corner was used.
bool PlaceOrCentre(QWidget* w, int positionId);
// The view's show step for a call window: 0 hides, anything else shows.
void SetShown(QWidget* w, int show);
// The hub's bring-to-front for window w with the id: restored when
// minimised, shown, raised and made the foreground window.
void BringToFront(QWidget* w, plat::WindowId id);

}  // namespace callwin
