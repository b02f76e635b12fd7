// A Qt dialog's modal loop run as one of the platform's modal loops, so
// that the program's exit ends it (reject) and, once the exit has begun,
// it is not run at all.
#pragma once

class QDialog;

namespace plat {

// exec()'s result; QDialog::Rejected when the exit ended the loop or kept
// it from running, and then *endedForExit is set (when given).
int ExecModal(QDialog& dialog, bool* endedForExit = nullptr);

}  // namespace plat
