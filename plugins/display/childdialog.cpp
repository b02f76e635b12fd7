#include "plugins/display/childdialog.h"

#include <QDialog>
#include <QLayout>

namespace tarquel {

bool CChildDialog::CreateIn(plat::WindowId owner, QWidget* host, int x, int y) {
  host_ = host;
  x_ = x;
  y_ = y;
  if (!Create(owner)) return false;
  Window()->hide();
  return true;
}

void CChildDialog::Attach(bool keepLayout) {
  QDialog* w = Window();
  w->setParent(host_, Qt::Widget);
  if (!keepLayout) delete w->layout();
  w->move(x_, y_);
}

}  // namespace tarquel
