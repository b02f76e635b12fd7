#include "app/callwin/callwinres.h"

#include <QString>

namespace callwin {

QIcon ProgramIcon(int id) {
  QPixmap p(QStringLiteral(":/callwin/icon%1.xpm").arg(id));
  return p.isNull() ? QIcon() : QIcon(p);
}

QPixmap ButtonPicture(const std::string& name, char state) {
  return QPixmap(QStringLiteral(":/callwin/%1%2.xpm").arg(QString::fromStdString(name)).arg(QChar(state)));
}

bool LoadCursor(int id, QCursor* out) {
  QPixmap p(QStringLiteral(":/callwin/cursor%1.xpm").arg(id));
  if (p.isNull()) return false;
  // The hot spot: the arrow's tip, or the cross-hair's centre.
  *out = id == 118 ? QCursor(p, 15, 15) : QCursor(p, 0, 0);
  return true;
}

}  // namespace callwin
