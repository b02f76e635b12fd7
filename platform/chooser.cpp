#include "platform/chooser.h"

#include <QApplication>
#include <QColorDialog>
#include <QFontDialog>
#include <atomic>

#include "platform/qtext.h"

namespace plat {
namespace {

bool HaveWidgets() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

class QtChooser : public IChooser {
 public:
  bool ChooseColour(WindowId) override { return HaveWidgets() && QColorDialog::getColor().isValid(); }
  bool ChooseFont(WindowId, std::string* face) override {
    if (!HaveWidgets()) return false;
    bool ok = false;
    const QFont f = QFontDialog::getFont(&ok);
    if (!ok) return false;
    *face = FromQString(f.family());
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
