#include "app/frame/mainframe.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <QThread>
#include <QToolButton>

#include "app/doc/brimlowdoc.h"
#include "app/view/brimlowview.h"
#include "core/base/globalconfig.h"
#include "core/base/globallog.h"
#include "platform/dialogkit/dlgsupport.h"
#include "platform/qtext.h"
#include "platform/text.h"
#include "platform/textid.h"
#include "platform/winplace.h"

namespace {

QString Text(int group, int entry, const std::string& fallback) {
  if (group >= 0) {
    if (const char* t = plat::GetText(plat::TextId(group, entry)); t && *t) return plat::ToQString(t);
  }
  return plat::ToQString(fallback);
}

QIcon ButtonIcon(plat::UINT id) {
  QPixmap p(QStringLiteral(":/frame/tb%1.xpm").arg(id));
  return p.isNull() ? QIcon() : QIcon(p);
}

}  // namespace

const std::vector<plat::UINT>& CMainFrame::ToolbarLayout() {
  static const std::vector<plat::UINT> layout = {32771, 32772, 0,     32779, 32774, 57635, 0,
                                                 57635, 57634, 57637, 0,     57607, 57664};
  return layout;
}

CMainFrame::CMainFrame(std::string settingsFile, CGlobalConfig& config)
    : settingsFile_(std::move(settingsFile)), config_(config) {
  setObjectName(QStringLiteral("mainframe"));
  id_ = plat::RegisterTarget(this);
  plat::dlg::SetWindowWidget(id_, this);
  // The frame's own help page.
  plat::dlg::AddHelpId(id_, 0);
  commands_.Register(ID_VIEW_TOOLBAR, [this] {
    if (toolbar_) toolbar_->setVisible(!toolbar_->isVisible());
    RecalcLayout();
  });
  commands_.Register(ID_VIEW_STATUS_BAR, [this] {
    statusBar()->setVisible(!statusBar()->isVisible());
    RecalcLayout();
  });
  commands_.Register(ID_HELP_INDEX, [this] { Help(); });
  commands_.Register(ID_HELP, [this] { Help(); });
}

CMainFrame::~CMainFrame() {
  if (plat::place::MainWindow() == this) plat::place::SetMainWindow(nullptr, nullptr);
  while (busy_ > 0) SetBusy(false);
  Detach();
  plat::dlg::DeleteHelpId(id_);
  plat::dlg::SetWindowWidget(id_, nullptr);
  plat::UnregisterTarget(id_);
}

QAction* CMainFrame::MakeAction(plat::UINT id, const QString& text) {
  auto it = actions_.find(id);
  if (it != actions_.end()) return it->second;
  auto* a = new QAction(text, this);
  a->setObjectName(QStringLiteral("cmd%1").arg(id));
  a->setIcon(ButtonIcon(id));
  connect(a, &QAction::triggered, this, [this, id] { RunCommand(id); });
  actions_[id] = a;
  return a;
}

bool CMainFrame::Create() {
  std::string error;
  if (!LoadMenu("brimlow", 2, &menuDef_, &error)) {
    GlobalLog().WriteEntry(("CMainFrame: " + error).c_str());
    return false;
  }
  for (std::size_t p = 0; p < menuDef_.popups.size(); ++p) {
    const MenuPopupDef& pd = menuDef_.popups[p];
    QMenu* m = menuBar()->addMenu(Text(pd.group, pd.entry, pd.text));
    m->setObjectName(QStringLiteral("menu%1").arg(p));
    for (const MenuItemDef& item : pd.items)
      if (item.command != 0) MakeAction(item.command, Text(item.group, item.entry, item.text));
    menus_.push_back(m);
    const int index = static_cast<int>(p);
    connect(m, &QMenu::aboutToShow, this, [this, index] { FillMenu(index); });
    FillMenu(index);
  }
  actions_[ID_VIEW_TOOLBAR]->setCheckable(true);
  actions_[ID_VIEW_STATUS_BAR]->setCheckable(true);

  toolbar_ = new QToolBar(this);
  toolbar_->setObjectName(QStringLiteral("toolbar%1").arg(ID_VIEW_TOOLBAR));
  toolbar_->setMovable(false);
  toolbar_->setIconSize(QSize(16, 15));
  addToolBar(Qt::TopToolBarArea, toolbar_);
  int n = 0;
  for (plat::UINT id : ToolbarLayout()) {
    if (id == 0) {
      toolbar_->addSeparator();
      continue;
    }
    // One button per place: a command may sit on the bar twice.
    auto* b = new QToolButton(toolbar_);
    b->setObjectName(QStringLiteral("button%1").arg(n++));
    b->setAutoRaise(true);
    b->setDefaultAction(MakeAction(id, QString()));
    toolbar_->addWidget(b);
  }

  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("statustext"));
  statusBar()->setObjectName(QStringLiteral("statusbar%1").arg(ID_VIEW_STATUS_BAR));
  statusBar()->setSizeGripEnabled(false);
  statusBar()->addWidget(status_, 1);

  form_ = new QWidget(this);
  form_->setObjectName(QStringLiteral("form"));
  setCentralWidget(form_);
  // The frame may be as small as its place says.
  if (layout()) layout()->setSizeConstraint(QLayout::SetNoConstraint);
  setMinimumSize(1, 1);
  // Dropped files would open a second document: none are taken.
  setAcceptDrops(false);

  RecalcLayout();
  // New windows go beside this one and keep its menu clear.
  plat::place::SetMainWindow(this, menuBar());
  placed_ = frameplace::Place(frameplace::Stored(settingsFile_, config_), plat::place::ScreenAreas());
  plat::place::SetOuter(this, placed_);
  SetTitle(plat::GetTextOr(plat::TextId(0, 0), "Palomir"));
  UpdateCommandStates();
  return true;
}

void CMainFrame::Attach(CBrimlowDoc* doc, CBrimlowView* view) {
  doc_ = doc;
  view_ = view;
  if (view_) plat::dlg::SetWindowWidget(view_->Id(), form_);
  UpdateCommandStates();
}

void CMainFrame::Detach() {
  if (view_) plat::dlg::SetWindowWidget(view_->Id(), nullptr);
  view_ = nullptr;
  doc_ = nullptr;
}

// ---------------------------------------------------------------- commands

bool CMainFrame::RunCommand(plat::UINT id) {
  bool ran;
  if (commands_.Has(id))
    ran = commands_.Run(id);
  else
    ran = view_ && view_->RunCommand(id);
  UpdateCommandStates();
  return ran;
}

bool CMainFrame::IsCommandEnabled(plat::UINT id) const {
  if (commands_.Has(id)) return commands_.IsEnabled(id);
  return view_ && view_->IsCommandEnabled(id);
}

QAction* CMainFrame::Action(plat::UINT id) const {
  auto it = actions_.find(id);
  return it == actions_.end() ? nullptr : it->second;
}

void CMainFrame::UpdateCommandStates() {
  for (auto& [id, a] : actions_) a->setEnabled(IsCommandEnabled(id));
  if (auto* a = Action(ID_VIEW_TOOLBAR); a && toolbar_) a->setChecked(!toolbar_->isHidden());
  if (auto* a = Action(ID_VIEW_STATUS_BAR)) a->setChecked(!statusBar()->isHidden());
}

namespace {

// The view's rules as they edit the frame's menus.
class FrameMenu : public IViewMenu {
 public:
  FrameMenu(const std::vector<QMenu*>& menus, const std::map<plat::UINT, QAction*>& actions)
      : menus_(menus), actions_(actions) {}
  void RemoveCommand(plat::UINT id) override {
    auto it = actions_.find(id);
    if (it == actions_.end()) return;
    for (QMenu* m : menus_) m->removeAction(it->second);
  }
  void SetCommandText(plat::UINT id, const std::string& text) override {
    auto it = actions_.find(id);
    if (it != actions_.end()) it->second->setText(plat::ToQString(text));
  }

 private:
  const std::vector<QMenu*>& menus_;
  const std::map<plat::UINT, QAction*>& actions_;
};

}  // namespace

// Each time a menu opens it gets all its entries back, then the view's
// rules take away and rename what they say.
void CMainFrame::FillMenu(int index) {
  QMenu* m = menus_[static_cast<std::size_t>(index)];
  m->clear();  // deletes its separators; the commands belong to the frame
  for (const MenuItemDef& item : menuDef_.popups[static_cast<std::size_t>(index)].items) {
    if (item.command == 0)
      m->addSeparator();
    else
      m->addAction(actions_[item.command]);
  }
  if (view_) {
    FrameMenu rules(menus_, actions_);
    view_->UpdateMenu(rules);
  }
  // No separator at either end or twice in a row once entries are gone.
  QAction* last = nullptr;
  for (QAction* a : m->actions()) {
    if (a->isSeparator() && (!last || last->isSeparator())) {
      m->removeAction(a);
      delete a;
      continue;
    }
    last = a;
  }
  if (last && last->isSeparator()) {
    m->removeAction(last);
    delete last;
  }
  UpdateCommandStates();
}

void CMainFrame::PrepareMenus() {
  for (std::size_t i = 0; i < menus_.size(); ++i) FillMenu(static_cast<int>(i));
}

// -------------------------------------------------------------------- help

void CMainFrame::Help() {
  QWidget* active = QApplication::activeWindow();
  if (!active || active == this) {
    plat::dlg::ShowHelpFor(id_);
    return;
  }
  // Another window: its own help, which the dialog kit serves on F1 from
  // the context registered for it (nothing when it registered none).
  QKeyEvent press(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
  QApplication::sendEvent(active, &press);
}

void CMainFrame::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_F1 && e->modifiers() == Qt::NoModifier) {
    RunCommand(ID_HELP);
    return;
  }
  QMainWindow::keyPressEvent(e);
}

// ---------------------------------------------------------------- shell

void CMainFrame::Show() { show(); }
void CMainFrame::Hide() { hide(); }
void CMainFrame::Minimise() { showMinimized(); }

void CMainFrame::Restore() {
  if (isMinimized() || isMaximized()) showNormal();
}

void CMainFrame::BringToForeground() {
  raise();
  activateWindow();
}

void CMainFrame::HideOwnedPopups() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w == this || !w->isVisible()) continue;
    for (QWidget* p = w->parentWidget(); p; p = p->parentWidget()) {
      if (p != this) continue;
      hiddenPopups_.emplace_back(w);
      w->hide();
      break;
    }
  }
}

void CMainFrame::ShowOwnedPopups() {
  for (auto& w : hiddenPopups_)
    if (w) w->show();
  hiddenPopups_.clear();
}

void CMainFrame::SetTitle(const std::string& text) { setWindowTitle(plat::ToQString(text)); }

void CMainFrame::SetStatusText(const std::string& text) {
  if (status_) status_->setText(plat::ToQString(text));
}

void CMainFrame::UpdateMenu() { UpdateCommandStates(); }

void CMainFrame::RecalcLayout() {
  if (layout()) layout()->activate();
  // Fitted to the (empty) form: never so low that the bars or the status
  // line are cut, whatever place it was given.
  int bars = menuBar()->sizeHint().height();
  if (toolbar_ && !toolbar_->isHidden()) bars += toolbar_->sizeHint().height();
  if (!statusBar()->isHidden()) bars += statusBar()->sizeHint().height();
  setMinimumHeight(bars);
}

void CMainFrame::SetBusy(bool busy) {
  if (busy) {
    ++busy_;
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else if (busy_ > 0) {
    --busy_;
    QApplication::restoreOverrideCursor();
  }
}

void CMainFrame::ExitCommand() { close(); }

void CMainFrame::closeEvent(QCloseEvent* e) {
  if (view_ && plat::ModalLoopDepth() > 0) {
    // The session's close under an open dialog: the exit ends the dialogs
    // first and then closes the frame itself.
    e->ignore();
    RunCommand(ID_APP_EXIT);
    return;
  }
  // From here on nothing asks the user: the program is ending.
  plat::BeginExit();
  frameplace::Save(plat::place::OuterRect(this), isMinimized(), settingsFile_, config_);
  if (doc_ && !doc_->CanCloseFrame()) {
    // The link is being stopped; the view closes the frame again once it is.
    e->ignore();
    return;
  }
  closed_ = true;
  e->accept();
  // Not quit(): that asks every window to close, and one that says no (or
  // asks the user) would keep the program running. The windows go when the
  // program takes itself apart after its loop.
  if (QThread::currentThread()->loopLevel() > 0) QCoreApplication::exit(0);
}

plat::LRESULT CMainFrame::OnMessage(const plat::Message& m) {
  // The assistant's "end the program": the exit command, like the menu's.
  if (m.msg == kWmClose) RunCommand(ID_APP_EXIT);
  return 0;
}
