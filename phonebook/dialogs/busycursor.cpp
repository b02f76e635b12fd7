#include "phonebook/dialogs/busycursor.h"

#include <QApplication>
#include <QCursor>

namespace pb {

BusyCursor::BusyCursor() : gui_(qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) { On(); }
BusyCursor::~BusyCursor() { Off(); }

void BusyCursor::On() {
  if (gui_ && !on_) QApplication::setOverrideCursor(Qt::WaitCursor);
  on_ = true;
}

void BusyCursor::Off() {
  if (gui_ && on_) QApplication::restoreOverrideCursor();
  on_ = false;
}

BusyCursor::Suspend::Suspend(BusyCursor& c) : c_(c) { c_.Off(); }
BusyCursor::Suspend::~Suspend() { c_.On(); }

}  // namespace pb
