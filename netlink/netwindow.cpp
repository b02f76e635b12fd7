#include "netlink/netwindow.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QWidget>

#include "platform/qtext.h"
#include "platform/text.h"

namespace netlink {

struct CNetMainWindow::Widget {
  QWidget window;
  QListWidget* users = nullptr;
  QListWidget* trace = nullptr;
  QLabel* count = nullptr;

  Widget() {
    window.setWindowTitle(QStringLiteral("Net Main Window"));
    auto* grid = new QGridLayout(&window);
    grid->addWidget(new QLabel(QStringLiteral("Registered Users")), 0, 0, 1, 3);
    users = new QListWidget;
    grid->addWidget(users, 1, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Trace Spy Messages:")), 2, 0, 1, 3);
    trace = new QListWidget;
    trace->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    trace->setMinimumWidth(850 / 2);
    grid->addWidget(trace, 3, 0, 1, 3);
    // These buttons do nothing, as they never did.
    grid->addWidget(new QPushButton(QStringLiteral("Always &Top Window")), 4, 0);
    grid->addWidget(new QPushButton(QStringLiteral("&Hide")), 4, 1);
    grid->addWidget(new QPushButton(QStringLiteral("&All Messages")), 4, 2);
    grid->addWidget(new QLabel(QStringLiteral("Number of Users:")), 5, 0);
    count = new QLabel(QStringLiteral("0"));
    grid->addWidget(count, 5, 1);
  }
};

CNetMainWindow::CNetMainWindow() = default;
CNetMainWindow::~CNetMainWindow() = default;

void CNetMainWindow::AddUser(const std::string& line) {
  users_.push_back(line);
  if (widget_) {
    widget_->users->addItem(plat::ToQString(line));
    widget_->count->setText(QString::fromStdString(plat::StrFormatC("%d", static_cast<int>(users_.size()))));
  }
}

void CNetMainWindow::Trace(const std::string& line) {
  if (!visible_ || line.empty()) return;
  if (trace_.size() >= kTraceLimit) {
    for (std::size_t i = 0; i < kTraceDropOnFull; ++i) trace_.pop_front();
    if (widget_)
      for (std::size_t i = 0; i < kTraceDropOnFull && widget_->trace->count() > 0; ++i)
        delete widget_->trace->takeItem(0);
  }
  trace_.push_back(line);
  if (widget_) {
    widget_->trace->addItem(plat::ToQString(line));
    widget_->trace->scrollToBottom();
  }
}

void CNetMainWindow::Show(bool minimised) {
  visible_ = true;
  if (!widget_ && qobject_cast<QApplication*>(QCoreApplication::instance())) {
    widget_ = std::make_unique<Widget>();
    for (const std::string& u : users_) widget_->users->addItem(plat::ToQString(u));
    widget_->count->setText(QString::fromStdString(plat::StrFormatC("%d", static_cast<int>(users_.size()))));
    for (const std::string& t : trace_) widget_->trace->addItem(plat::ToQString(t));
  }
  if (widget_) {
    if (minimised)
      widget_->window.showMinimized();
    else
      widget_->window.show();
  }
}

void CNetMainWindow::Hide() {
  visible_ = false;
  if (widget_) widget_->window.hide();
}

}  // namespace netlink
