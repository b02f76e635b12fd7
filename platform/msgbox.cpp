// Message boxes: the Qt one for the program, one that only logs before any
// QApplication exists (and for headless runs), a scripted one for tests.
#include "platform/msgbox.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>
#include <atomic>
#include <cstdio>
#include <mutex>

#include "platform/messages.h"
#include "platform/qtext.h"
#include "platform/qtmodal.h"
#include "platform/text.h"

namespace plat {
namespace {

std::atomic<IMessageBox*> g_impl{nullptr};

// Without a display there is nobody to ask: the box goes to the error
// output and is answered with IDOK. Nothing is kept, so a long headless run
// does not grow.
class HeadlessMessageBox : public IMessageBox {
 public:
  int Show(WindowId, const std::string& text, const std::string& caption, UINT) override {
    ToErrorOutput(text, caption);
    return IDOK;
  }
};

}  // namespace

void ToErrorOutput(const std::string& text, const std::string& caption) {
  static std::mutex mu;
  std::lock_guard<std::mutex> lk(mu);
  std::fprintf(stderr, "[%s] %s\n", Cp1252ToUtf8(caption).c_str(), Cp1252ToUtf8(text).c_str());
}

int CancelAnswer(UINT flags) {
  switch (flags & 0x0F) {
    case MB_OK: return IDOK;
    case MB_YESNO: return IDNO;
    default: return IDCANCEL;
  }
}

int ScriptedMessageBox::Show(WindowId, const std::string& text, const std::string& caption, UINT flags) {
  shown.push_back(Shown{text, caption, flags});
  if (answers_.empty()) return defaultAnswer;
  int a = answers_.front();
  answers_.erase(answers_.begin());
  return a;
}

int QtMessageBox::Show(WindowId, const std::string& text, const std::string& caption, UINT flags) {
  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  if (!app) return IDOK;
  if (QThread::currentThread() != app->thread()) {
    int result = IDCANCEL;
    // On the main thread as one of its modal loops.
    QMetaObject::invokeMethod(
        app, [&] { result = MessageBox(0, text, caption, flags); }, Qt::BlockingQueuedConnection);
    return result;
  }
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  switch (flags & 0xF0) {
    case MB_ICONERROR: icon = QMessageBox::Critical; break;
    case MB_ICONQUESTION: icon = QMessageBox::Question; break;
    case MB_ICONWARNING: icon = QMessageBox::Warning; break;
    case MB_ICONINFORMATION: icon = QMessageBox::Information; break;
    default: break;
  }
  QMessageBox::StandardButtons buttons;
  switch (flags & 0x0F) {
    case MB_OKCANCEL: buttons = QMessageBox::Ok | QMessageBox::Cancel; break;
    case MB_YESNOCANCEL: buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
    case MB_YESNO: buttons = QMessageBox::Yes | QMessageBox::No; break;
    case MB_RETRYCANCEL: buttons = QMessageBox::Retry | QMessageBox::Cancel; break;
    default: buttons = QMessageBox::Ok; break;
  }
  QMessageBox box(icon, ToQString(caption), ToQString(text), buttons, QApplication::activeWindow());
  box.setObjectName(QStringLiteral("messagebox"));
  bool endedForExit = false;
  const int answer = ExecModal(box, &endedForExit);
  if (endedForExit) return CancelAnswer(flags);
  switch (answer) {
    case QMessageBox::Ok: return IDOK;
    case QMessageBox::Yes: return IDYES;
    case QMessageBox::No: return IDNO;
    case QMessageBox::Retry: return IDRETRY;
    default: return (flags & 0x0F) == MB_YESNO ? IDNO : IDCANCEL;
  }
}

IMessageBox& MessageBoxImpl() {
  if (IMessageBox* set = g_impl.load()) return *set;
  static QtMessageBox qt;
  static HeadlessMessageBox headless;
  if (qobject_cast<QApplication*>(QCoreApplication::instance())) return qt;
  return headless;
}

void SetMessageBoxImpl(IMessageBox* impl) { g_impl.store(impl); }

int MessageBox(WindowId owner, const std::string& text, const std::string& caption, UINT flags) {
  if (IsMainThread() && Exiting()) {
    // Nobody is left to answer: the text is kept where it can be read.
    ToErrorOutput(text, caption);
    return CancelAnswer(flags);
  }
  ModalLoopScope modalLoop;
  return MessageBoxImpl().Show(owner, text, caption, flags);
}

}  // namespace plat
