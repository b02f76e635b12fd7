#include "core/callhandler/handsetprompt.h"

#include <QDialog>
#include <QGuiApplication>
#include <QScreen>

#include "core/iface/viewhub.h"

CHandsetPromptDlg::CHandsetPromptDlg() : plat::Dialog(plat::dlg::kProgram, kResourceId) {}

bool CHandsetPromptDlg::OnInitDialog() {
  if (QDialog* w = Window()) {
    w->adjustSize();
    if (QScreen* s = QGuiApplication::primaryScreen()) {
      QRect r = w->frameGeometry();
      r.moveCenter(s->availableGeometry().center());
      w->move(r.topLeft());
    }
  }
  return true;
}

plat::LRESULT CHandsetPromptDlg::Notify(plat::UINT message, plat::WPARAM wParam, plat::LPARAM lParam) {
  if (message == hub::kHandsetLifted) {
    EndDialog(plat::IDOK);
    return 0;
  }
  if (!Id()) return 0;
  return plat::SendMessage(Id(), message, wParam, lParam);
}
