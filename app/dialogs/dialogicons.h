// Pictures of the overview and settings dialogs, drawn here: the state
// marks of a watched extension and the overview's own icon.
#pragma once
#include <QIcon>

namespace dialogs {

enum StateMark { kMarkDialling = 0, kMarkRinging = 1, kMarkConnected = 2, kMarkIdle = 3, kMarkNoPhone = 4 };

// The mark of a connection state of the monitor table (1, 2, 3, other).
StateMark MarkForState(int connectionState);
QIcon StateIcon(StateMark mark);
// Icon 105: the subscriber overview.
QIcon OverviewIcon();

}  // namespace dialogs
