// The connection viewer's window as a test sees it: found among the
// top-level widgets by its dialog id, its tree read back as texts and
// images.
#pragma once
#include <QApplication>
#include <QDialog>
#include <QTreeWidget>

#include <string>
#include <vector>

#include "platform/dialogkit/dialog.h"

namespace viewertree {

using Lines = std::vector<std::string>;

struct Item {
  std::string text;
  int image;
  Lines children;
  std::vector<int> childImages;
};

inline QDialog* Window() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == QStringLiteral("dialog129")) return qobject_cast<QDialog*>(w);
  return nullptr;
}

inline QTreeWidget* Tree() {
  QDialog* w = Window();
  return w ? w->findChild<QTreeWidget*>(QStringLiteral("1000")) : nullptr;
}

inline std::vector<Item> Items() {
  std::vector<Item> out;
  QTreeWidget* t = Tree();
  if (!t) return out;
  const int role = plat::Dialog::TreeImageRole();
  for (int i = 0; i < t->topLevelItemCount(); ++i) {
    QTreeWidgetItem* q = t->topLevelItem(i);
    Item it{q->text(0).toStdString(), q->data(0, role).toInt(), {}, {}};
    for (int c = 0; c < q->childCount(); ++c) {
      it.children.push_back(q->child(c)->text(0).toStdString());
      it.childImages.push_back(q->child(c)->data(0, role).toInt());
    }
    out.push_back(it);
  }
  return out;
}

// The top items' texts.
inline Lines Shown() {
  Lines out;
  for (const Item& i : Items()) out.push_back(i.text);
  return out;
}

}  // namespace viewertree
