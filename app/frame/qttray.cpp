#include "app/frame/qttray.h"

#include <QCursor>
#include <QMenu>
#include <QPixmap>
#include <QSystemTrayIcon>

#include "platform/messages.h"
#include "platform/qtext.h"

namespace {

QIcon TrayPicture(std::uint32_t id) {
  QPixmap p(QStringLiteral(":/frame/icon%1.xpm").arg(id));
  return p.isNull() ? QIcon() : QIcon(p);
}

}  // namespace

CQtTrayBackend::CQtTrayBackend() = default;

CQtTrayBackend::~CQtTrayBackend() {
  delete icon_;
  delete menu_.data();
}

bool CQtTrayBackend::Available() const { return QSystemTrayIcon::isSystemTrayAvailable(); }

void CQtTrayBackend::Apply(const TrayIconRecord& r) {
  record_ = r;
  if (!icon_) return;
  if (r.flags & CTrayIcon::kIconValid) icon_->setIcon(TrayPicture(r.icon));
  icon_->setToolTip((r.flags & CTrayIcon::kTipValid) ? plat::ToQString(std::string(r.tip)) : QString());
}

bool CQtTrayBackend::Add(const TrayIconRecord& r) {
  record_ = r;
  if (!Available()) return false;
  if (!icon_) {
    icon_ = new QSystemTrayIcon();
    icon_->setObjectName(QStringLiteral("trayicon"));
    menu_ = new QMenu();
    menu_->setObjectName(QStringLiteral("traymenu"));
    // Desktops that deliver no context activation still open this menu.
    icon_->setContextMenu(menu_);
    QObject::connect(menu_, &QMenu::aboutToShow, this, [this] { OnAboutToShow(); });
    QObject::connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
      if (why == QSystemTrayIcon::DoubleClick && (record_.flags & CTrayIcon::kMessageValid))
        plat::PostMessage(record_.owner, record_.callbackMessage, 0, CTrayIcon::kDoubleClick);
    });
  }
  Apply(r);
  icon_->show();
  return true;
}

bool CQtTrayBackend::Modify(const TrayIconRecord& r) {
  Apply(r);
  return icon_ != nullptr;
}

bool CQtTrayBackend::Delete(const TrayIconRecord& r) {
  record_ = r;
  if (!icon_) return false;
  icon_->hide();
  return true;
}

// The menu opens: the owner builds it now through its context request.
void CQtTrayBackend::OnAboutToShow() {
  if (!(record_.flags & CTrayIcon::kMessageValid)) return;
  filling_ = true;
  plat::SendMessage(record_.owner, record_.callbackMessage, 0, CTrayIcon::kContextMenu);
  filling_ = false;
}

void CQtTrayBackend::ShowMenu(plat::WindowId owner, const std::vector<TrayMenuItem>& items) {
  if (!menu_) return;
  // The old entries go later: this may run under one of their own signals.
  for (QAction* a : menu_->actions()) {
    menu_->removeAction(a);
    a->deleteLater();
  }
  for (const TrayMenuItem& item : items) {
    if (item.msg == 0) {
      menu_->addSeparator();
      continue;
    }
    QAction* a = menu_->addAction(plat::ToQString(item.text));
    a->setObjectName(item.msg == CTrayIcon::kMsgCommand ? QStringLiteral("cmd%1").arg(item.wParam)
                                                        : QStringLiteral("front"));
    const plat::UINT msg = item.msg;
    const plat::WPARAM w = item.wParam;
    const plat::LPARAM l = item.lParam;
    // Posted: the command runs once the menu is gone.
    QObject::connect(a, &QAction::triggered, this, [owner, msg, w, l] { plat::PostMessage(owner, msg, w, l); });
  }
  if (!filling_) menu_->popup(QCursor::pos());
}

void CQtTrayBackend::CloseMenu() {
  if (menu_ && !filling_) menu_->hide();
}
