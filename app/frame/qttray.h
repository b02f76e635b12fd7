// The notification-area icon on the desktop: QSystemTrayIcon with the
// program's icons 223, 224 and 225. A double click and the context request
// reach the owner as its callback message with 515 and 516; the menu is
// filled anew each time it opens, by asking the owner then and there.
#pragma once
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <memory>

#include "app/frame/trayicon.h"

class QSystemTrayIcon;

class CQtTrayBackend : public QObject, public ITrayBackend {
 public:
  CQtTrayBackend();
  ~CQtTrayBackend() override;

  bool Add(const TrayIconRecord& r) override;
  bool Modify(const TrayIconRecord& r) override;
  bool Delete(const TrayIconRecord& r) override;
  bool Available() const override;
  void ShowMenu(plat::WindowId owner, const std::vector<TrayMenuItem>& items) override;
  void CloseMenu() override;

  QSystemTrayIcon* Icon() const { return icon_; }
  QMenu* Menu() const { return menu_; }

 private:
  void Apply(const TrayIconRecord& r);
  void OnAboutToShow();

  QSystemTrayIcon* icon_ = nullptr;
  QPointer<QMenu> menu_;
  TrayIconRecord record_;
  bool filling_ = false;
};
