#include "platform/chooser.h"

#include <QApplication>
#include <QColorDialog>
#include <QFontDialog>
#include <atomic>

#include "platform/qtext.h"
#include "platform/qtmodal.h"

namespace plat {
namespace {

bool HaveWidgets() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

class QtChooser : public IChooser {
 public:
  bool ChooseColour(WindowId) override {
    if (!HaveWidgets()) return false;
    QColorDialog d(Qt::white);
    d.setObjectName(QStringLiteral("colourdialog"));
    return ExecModal(d) == QDialog::Accepted && d.selectedColor().isValid();
  }
  bool ChooseFont(WindowId, std::string* face) override {
    if (!HaveWidgets()) return false;
    QFontDialog d(QApplication::font());
    d.setObjectName(QStringLiteral("fontdialog"));
    if (ExecModal(d) != QDialog::Accepted) return false;
    *face = FromQString(d.selectedFont().family());
    return true;
  }
};

std::atomic<IChooser*> g_impl{nullptr};

}  // namespace

IChooser& ChooserImpl() {
  static QtChooser qt;
  IChooser* c = g_impl.load();
  return c ? *c : qt;
}

void SetChooserImpl(IChooser* impl) { g_impl.store(impl); }

}  // namespace plat
