#include "platform/qtmodal.h"

#include <QDialog>
#include <QPointer>

#include "platform/messages.h"

namespace plat {

int ExecModal(QDialog& dialog, bool* endedForExit) {
  if (endedForExit) *endedForExit = false;
  if (Exiting()) {
    if (endedForExit) *endedForExit = true;
    return QDialog::Rejected;
  }
  ModalLoopScope loop;
  QPointer<QDialog> d(&dialog);
  loop.SetEnd([d] {
    if (d) d->reject();
  });
  const int r = dialog.exec();
  if (!loop.EndedForExit()) return r;
  if (endedForExit) *endedForExit = true;
  return QDialog::Rejected;
}

}  // namespace plat
