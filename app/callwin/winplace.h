// The call windows' places in the configuration's window-position table.
#pragma once
#include "platform/win32types.h"

class QWidget;

namespace callwin {

// Moves the window's frame to the stored corner when one is stored (onto
// the screen when it lies off every screen). True when it was moved.
bool RestorePosition(QWidget* w, int positionId);
// Stores the window's frame unless it is minimised.
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
