#include "app/dialogs/dialogicons.h"

#include <QPainter>
#include <QPixmap>

namespace dialogs {

StateMark MarkForState(int connectionState) {
  switch (connectionState) {
    case 1: return kMarkDialling;
    case 2: return kMarkRinging;
    case 3: return kMarkConnected;
    default: return kMarkIdle;
  }
}

QIcon StateIcon(StateMark mark) {
  QPixmap pm(16, 16);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(Qt::black, 1));
  static const QColor fill[] = {QColor(0xe0, 0xc0, 0x00), QColor(0xc0, 0x00, 0x00), QColor(0x00, 0x80, 0x00),
                                QColor(0xc0, 0xc0, 0xc0), QColor(0x80, 0x80, 0x80)};
  p.setBrush(fill[mark]);
  p.drawEllipse(2, 2, 12, 12);
  if (mark == kMarkNoPhone) {
    p.setPen(QPen(Qt::white, 2));
    p.drawLine(5, 5, 11, 11);
    p.drawLine(11, 5, 5, 11);
  }
  return QIcon(pm);
}

QIcon OverviewIcon() {
  QPixmap pm(32, 32);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setPen(Qt::black);
  for (int r = 0; r < 4; ++r) {
    const int y = 3 + r * 7;
    p.setBrush(r == 1 ? QColor(0xc0, 0x00, 0x00) : QColor(0x00, 0x80, 0x00));
    p.drawEllipse(2, y, 5, 5);
    p.setBrush(Qt::white);
    p.drawRect(10, y, 19, 5);
  }
  return QIcon(pm);
}

}  // namespace dialogs
