// The call windows' pictures (drawn for this program, compiled in).
#pragma once
#include <QCursor>
#include <QIcon>
#include <QPixmap>
#include <string>

namespace callwin {

// Icons 103, 104, 109, 110, 111; a null icon for any other id.
QIcon ProgramIcon(int id);
// A bitmap button's picture: name as "TESTBUTTON", state 'U', 'D' or 'F'.
QPixmap ButtonPicture(const std::string& name, char state);
// Cursors 118, 165 and 167; false when the cursor cannot be loaded.
bool LoadCursor(int id, QCursor* out);

}  // namespace callwin
