// The main window: a small bar-shaped frame with the menu of resource 2,
// the toolbar and a status bar around the view's empty form. It puts the
// language texts on the menu, applies the view's menu rules whenever a
// menu opens, restores and saves its place, serves help, and closes only
// when the document agrees.
#pragma once
#include <QMainWindow>
#include <QPointer>
#include <map>
#include <string>
#include <vector>

#include "app/frame/menuresource.h"
#include "app/frame/placement.h"
#include "app/view/commandtable.h"
#include "app/view/viewshell.h"
#include "platform/messages.h"

class CBrimlowDoc;
class CBrimlowView;
class CGlobalConfig;
class QAction;
class QLabel;
class QMenu;
class QToolBar;

class CMainFrame : public QMainWindow, public IViewFrame, public plat::IMessageTarget {
 public:
  enum : plat::UINT { ID_VIEW_TOOLBAR = 59392, ID_VIEW_STATUS_BAR = 59393, ID_HELP_INDEX = 32810, ID_HELP = 57670 };
  enum : plat::UINT { ID_APP_EXIT = 57665 };
  // Posted to the frame's id: the program ends as by its exit command.
  static constexpr plat::UINT kWmClose = 0x0010;
  // The toolbar's buttons in order; 0 is a separator.
  static const std::vector<plat::UINT>& ToolbarLayout();

  CMainFrame(std::string settingsFile, CGlobalConfig& config);
  ~CMainFrame() override;

  // Menu, bars and place; false when the menu resource cannot be built.
  bool Create();
  // The document and its view: commands go to the view (and on to the
  // document), the form is the view's window.
  void Attach(CBrimlowDoc* doc, CBrimlowView* view);
  void Detach();

  // The frame's own commands, in front of the view's (the application
  // adds its about box here).
  CCommandTable& Commands() { return commands_; }
  bool RunCommand(plat::UINT id);
  bool IsCommandEnabled(plat::UINT id) const;
  QAction* Action(plat::UINT id) const;
  // Applies the view's rules to every menu, as when each one opens.
  void PrepareMenus();
  // The help operation: the frame itself active gives context 0, another
  // window its own registered context.
  void Help();
  plat::WindowId Id() const { return id_; }
  bool Closed() const { return closed_; }
  // The place the frame took at creation.
  const FrameRect& Placed() const { return placed_; }

  // IViewFrame
  void Show() override;
  void Hide() override;
  void Minimise() override;
  void Restore() override;
  void BringToForeground() override;
  void HideOwnedPopups() override;
  void ShowOwnedPopups() override;
  void SetTitle(const std::string& text) override;
  void SetStatusText(const std::string& text) override;
  void UpdateMenu() override;
  void RecalcLayout() override;
  void SetBusy(bool busy) override;
  void ExitCommand() override;

  plat::LRESULT OnMessage(const plat::Message& m) override;

 protected:
  void closeEvent(QCloseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

 private:
  QAction* MakeAction(plat::UINT id, const QString& text);
  void FillMenu(int index);
  void UpdateCommandStates();

  std::string settingsFile_;
  CGlobalConfig& config_;
  CBrimlowDoc* doc_ = nullptr;
  CBrimlowView* view_ = nullptr;
  plat::WindowId id_ = 0;
  MenuDef menuDef_;
  std::vector<QMenu*> menus_;
  std::map<plat::UINT, QAction*> actions_;
  QToolBar* toolbar_ = nullptr;
  QLabel* status_ = nullptr;
  QWidget* form_ = nullptr;
  std::vector<QPointer<QWidget>> hiddenPopups_;
  CCommandTable commands_;
  FrameRect placed_;
  int busy_ = 0;
  bool closed_ = false;
};
