#include "plugins/display/pictures.h"

#include <QFont>
#include <algorithm>

namespace tarquel {

QPixmap Picture(int resource) { return QPixmap(QStringLiteral(":/tarquel/icons/%1.xpm").arg(resource)); }

std::vector<QIcon> ImageList() { return {QIcon(Picture(136)), QIcon(Picture(132)), QIcon(Picture(135))}; }

QFont SansFont(int height, int width, int weight) {
  QFont f(QStringLiteral("sans-serif"));
  f.setStyleHint(QFont::SansSerif);
  f.setPixelSize(std::max(1, height));
  // An average character is about half as wide as the font is high.
  f.setStretch(std::clamp(width * 200 / std::max(1, height), 1, 4000));
  f.setWeight(static_cast<QFont::Weight>(std::clamp(weight, 100, 900)));
  return f;
}

}  // namespace tarquel
