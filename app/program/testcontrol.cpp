#include "app/program/testcontrol.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMetaObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QWidget>
#include <cstdlib>

#include "app/frame/mainframe.h"
#include "app/view/brimlowview.h"
#include "platform/messages.h"

namespace {

std::string NameOf(const QWidget* w) { return w && !w->objectName().isEmpty() ? w->objectName().toStdString() : "-"; }

}  // namespace

std::unique_ptr<CTestControl> CTestControl::FromEnvironment(CMainFrame& frame, CBrimlowView& view) {
  const char* env = std::getenv(kEnv);
  if (!env || !*env) return nullptr;
  char* end = nullptr;
  const long fd = std::strtol(env, &end, 10);
  if (!end || *end != '\0' || fd < 0 || fd > 65535) return nullptr;
  const int flags = ::fcntl(static_cast<int>(fd), F_GETFL);
  if (flags < 0) return nullptr;
  // Programs started from here do not inherit it.
  ::fcntl(static_cast<int>(fd), F_SETFD, FD_CLOEXEC);
  ::fcntl(static_cast<int>(fd), F_SETFL, flags | O_NONBLOCK);
  return std::unique_ptr<CTestControl>(new CTestControl(static_cast<int>(fd), frame, view));
}

CTestControl::CTestControl(int fd, CMainFrame& frame, CBrimlowView& view) : fd_(fd), frame_(frame), view_(view) {
  notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { OnReadable(); });
}

CTestControl::~CTestControl() {
  notifier_.reset();
  ::close(fd_);
}

void CTestControl::OnReadable() {
  char buf[256];
  for (;;) {
    const ssize_t n = ::read(fd_, buf, sizeof buf);
    if (n > 0) {
      pending_.append(buf, static_cast<std::size_t>(n));
      continue;
    }
    // The test went away: nothing more will come.
    if (n == 0) notifier_->setEnabled(false);
    break;
  }
  for (std::size_t nl; (nl = pending_.find('\n')) != std::string::npos;) {
    const std::string line = pending_.substr(0, nl);
    pending_.erase(0, nl + 1);
    const std::string answer = Answer(line) + "\n";
    (void)!::send(fd_, answer.data(), answer.size(), MSG_NOSIGNAL);
  }
}

std::string CTestControl::Answer(const std::string& line) {
  const std::size_t space = line.find(' ');
  const std::string verb = line.substr(0, space);
  const unsigned id = space == std::string::npos ? 0u : static_cast<unsigned>(std::strtoul(line.c_str() + space + 1, nullptr, 10));
  if (verb == "command") {
    QPointer<CMainFrame> frame(&frame_);
    QMetaObject::invokeMethod(
        &frame_, [frame, id] { if (frame) frame->RunCommand(id); }, Qt::QueuedConnection);
    return "ok";
  }
  if (verb == "tray") {
    plat::PostMessage(view_.Id(), CBrimlowView::kMsgTrayNotify, 0, CBrimlowView::kTrayRightButton);
    plat::PostMessage(view_.Id(), CBrimlowView::kMsgCommand, id);
    return "ok";
  }
  if (verb == "click") {
    QWidget* top = QApplication::activeModalWidget();
    if (!top) top = QApplication::activeWindow();
    auto* b = top ? top->findChild<QAbstractButton*>(QString::number(id)) : nullptr;
    if (!b || !b->isVisible() || !b->isEnabled()) return "none";
    QPointer<QAbstractButton> button(b);
    QMetaObject::invokeMethod(
        b, [button] { if (button) button->click(); }, Qt::QueuedConnection);
    return "ok";
  }
  if (verb == "modal") return "modal " + std::to_string(plat::ModalLoopDepth()) + " " + NameOf(QApplication::activeModalWidget());
  if (verb == "windows") {
    std::string out = "windows";
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible()) out += " " + NameOf(w);
    return out;
  }
  return "unknown";
}
