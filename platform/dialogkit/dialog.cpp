#include "platform/dialogkit/dialog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QEventLoop>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>
#include <QTabBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "platform/dialogkit/dlgscript.h"
#include "platform/dialogkit/dlgsupport.h"
#include "platform/qtext.h"
#include "platform/text.h"
#include "platform/textid.h"
#include "platform/winplace.h"

namespace plat {
using dlg::Kind;
using dlg::Node;

namespace {

constexpr int kRawRole = Qt::UserRole;
constexpr int kDataRole = Qt::UserRole + 1;
constexpr int kTreeIdRole = Qt::UserRole + 2;
constexpr int kTreeImageRole = Qt::UserRole + 3;

// Statics show "&" as the platform did: "&&" is one ampersand, a single
// one only marks a mnemonic.
QString StripMnemonic(const QString& s) {
  QString out;
  for (int i = 0; i < s.size(); ++i) {
    if (s[i] == QLatin1Char('&')) {
      if (i + 1 < s.size() && s[i + 1] == QLatin1Char('&')) {
        out += QLatin1Char('&');
        ++i;
      }
      continue;
    }
    out += s[i];
  }
  return out;
}

int AverageCharWidth(const QWidget* w) {
  return std::max(1, w->fontMetrics().averageCharWidth());
}

// Room around a cell's text in a tab-stop list, so that it is never cut.
constexpr int kCellPad = 14;

int CellWidth(const QWidget* w, const QString& text) { return w->fontMetrics().horizontalAdvance(text) + kCellPad; }

// Controls in a scrolled area as large as the screen allows: a window too
// large for it, or a template's scroll container. The reserve is what the
// rest of the window takes beside the area.
class KitScroll : public QScrollArea {
 public:
  explicit KitScroll(QWidget* parent) : QScrollArea(parent) {
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  }
  void Hold(QWidget* content) {
    setWidget(content);
    content->installEventFilter(this);
  }
  // Measures the rest of the window with this area at its full size.
  void MeasureReserve() {
    QWidget* win = window();
    if (!win || !win->layout() || !widget()) return;
    full_ = true;
    updateGeometry();
    win->layout()->invalidate();
    const QSize total = win->layout()->sizeHint();
    const QSize own = sizeHint();
    full_ = false;
    reserve_ = QSize(std::max(0, total.width() - own.width()), std::max(0, total.height() - own.height()));
    updateGeometry();
  }
  QSize sizeHint() const override {
    const QWidget* c = widget();
    if (!c) return QScrollArea::sizeHint();
    const QSize want = c->sizeHint() + QSize(2 * frameWidth(), 2 * frameWidth());
    if (full_) return want;
    int roomW = 0, roomH = 0;
    place::InnerRoom(&roomW, &roomH);
    roomW = std::max(100, roomW - reserve_.width());
    roomH = std::max(60, roomH - reserve_.height());
    QSize s = want.boundedTo(QSize(roomW, roomH));
    if (s.height() < want.height()) s.setWidth(std::min(roomW, want.width() + verticalScrollBar()->sizeHint().width()));
    if (s.width() < want.width())
      s.setHeight(std::min(roomH, s.height() + horizontalScrollBar()->sizeHint().height()));
    return s;
  }
  QSize minimumSizeHint() const override { return sizeHint(); }
  bool eventFilter(QObject* o, QEvent* e) override {
    // Rows shown or hidden: the window follows.
    if (o == widget() && e->type() == QEvent::LayoutRequest) updateGeometry();
    return QScrollArea::eventFilter(o, e);
  }

 private:
  QSize reserve_{0, 0};
  bool full_ = false;
};

// A window too large for the screen: all its controls scroll.
void MakeScrolling(QDialog* win) {
  QLayout* top = win->layout();
  if (!top) return;
  auto* content = new QWidget;
  content->setObjectName(QStringLiteral("kitcontent"));
  content->setLayout(top);  // takes the controls along
  top->setSizeConstraint(QLayout::SetMinimumSize);
  auto* scroll = new KitScroll(win);
  scroll->setObjectName(QStringLiteral("kitscroll"));
  scroll->Hold(content);
  auto* outer = new QVBoxLayout(win);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSizeConstraint(QLayout::SetFixedSize);
  outer->addWidget(scroll);
}

// The platform's tab control: a row of tabs over a framed area whose
// children are the pages; which page shows is the dialog's business.
class KitTabPanel : public QWidget {
 public:
  explicit KitTabPanel(QWidget* parent) : QWidget(parent), bar(new QTabBar(this)) {
    bar->setDrawBase(false);
    bar->setExpanding(false);
    bar->setUsesScrollButtons(true);
    bar->setIconSize(QSize(16, 16));
    bar->move(0, 0);
    setMinimumSize(80, 60);
  }
  QTabBar* bar;
  std::vector<QIcon> images;

  QIcon Image(int index) const {
    return index >= 0 && index < static_cast<int>(images.size()) ? images[static_cast<std::size_t>(index)] : QIcon();
  }
  int RowHeight() const { return bar->sizeHint().height(); }

 protected:
  void resizeEvent(QResizeEvent*) override { bar->resize(width(), RowHeight()); }
  void paintEvent(QPaintEvent*) override {
    QStylePainter p(this);
    QStyleOptionTabWidgetFrame frame;
    frame.initFrom(this);
    frame.rect = QRect(0, RowHeight() - 1, width(), height() - RowHeight() + 1);
    frame.tabBarSize = bar->sizeHint();
    frame.shape = QTabBar::RoundedNorth;
    p.drawPrimitive(QStyle::PE_FrameTabWidget, frame);
  }
};

}  // namespace

class KitWindow : public QDialog {
 public:
  KitWindow(Dialog* owner, QWidget* parent) : QDialog(parent), owner_(owner) {}

 protected:
  void keyPressEvent(QKeyEvent* e) override {
    switch (e->key()) {
      case Qt::Key_F1:
        dlg::ShowHelpFor(owner_->Id());
        return;
      case Qt::Key_Escape:
        owner_->KeyEscape();
        return;
      case Qt::Key_Return:
      case Qt::Key_Enter:
        owner_->KeyEnter();
        return;
      default:
        QDialog::keyPressEvent(e);
    }
  }
  void closeEvent(QCloseEvent* e) override {
    e->ignore();
    owner_->CloseBox();
  }
  // Whoever rejects the window from outside gets the close box's answer:
  // QDialog's own would hide it and leave the dialog's loop running.
  void reject() override { owner_->CloseBox(); }

 private:
  Dialog* owner_;
};

struct Dialog::Impl {
  struct Item {
    QWidget* w = nullptr;
    Kind kind = Kind::Static;
    const Node* node = nullptr;
    QButtonGroup* radios = nullptr;  // radio group
  };
  // A tree's items by the ids it handed out, and its image list.
  struct Tree {
    std::map<std::int32_t, QTreeWidgetItem*> items;
    std::int32_t next = 1;
    std::vector<QIcon> images;
  };
  QPointer<KitWindow> window;
  std::map<int, Item> items;
  std::map<int, Tree> trees;
  std::vector<QButtonGroup*> radioGroups;
  std::vector<std::vector<int>> radioIds;  // ids per radio group, in order
  std::map<int, std::pair<int, int>> heads;  // a column head's static: its list and column
  QEventLoop* loop = nullptr;
  int quiet = 0;  // programmatic changes that must not notify
  int dispatching = 0;
  bool destroyPending = false;

  struct Quiet {
    Impl* i;
    explicit Quiet(Impl* p) : i(p) { ++i->quiet; }
    ~Quiet() { --i->quiet; }
  };

  const Item* Find(int id) const {
    auto it = items.find(id);
    return it == items.end() ? nullptr : &it->second;
  }
  Tree* FindTree(int id) {
    auto it = trees.find(id);
    return it == trees.end() ? nullptr : &it->second;
  }
  const Tree* FindTree(int id) const {
    auto it = trees.find(id);
    return it == trees.end() ? nullptr : &it->second;
  }
  QTreeWidget* TreeWidget(int id) const {
    const Item* it = Find(id);
    return it && it->kind == Kind::Tree ? static_cast<QTreeWidget*>(it->w) : nullptr;
  }
  QTreeWidgetItem* TreeItemOf(int id, std::int32_t item) const {
    const Tree* t = FindTree(id);
    if (!t) return nullptr;
    auto it = t->items.find(item);
    return it == t->items.end() ? nullptr : it->second;
  }
};

namespace {

class FocusWatch : public QObject {
 public:
  FocusWatch(Dialog* d, int id, QObject* parent) : QObject(parent), d_(d), id_(id) {}
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::FocusOut) d_->Route(id_, Notify::KillFocus);
    return QObject::eventFilter(o, e);
  }

 private:
  Dialog* d_;
  int id_;
};

// A multi-line edit without "want return" passes Enter to the dialog.
class EnterToDialog : public QObject {
 public:
  EnterToDialog(Dialog* d, QObject* parent) : QObject(parent), d_(d) {}
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::KeyPress) {
      auto* k = static_cast<QKeyEvent*>(e);
      if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
        d_->KeyEnter();
        return true;
      }
    }
    return QObject::eventFilter(o, e);
  }

 private:
  Dialog* d_;
};

}  // namespace

Dialog::Dialog(std::string deliverable, int resourceId)
    : deliverable_(std::move(deliverable)), resourceId_(resourceId), impl_(std::make_unique<Impl>()) {}

Dialog::Dialog(dlg::Template tpl, std::string deliverable)
    : deliverable_(std::move(deliverable)), resourceId_(tpl.id), preloaded_(true), tpl_(std::move(tpl)), impl_(std::make_unique<Impl>()) {}

bool Dialog::Dispatching() const { return impl_->dispatching > 0; }

Dialog::~Dialog() {
  if (IsCreated() || impl_->window) Destroy();
}

bool Dialog::IsCreated() const { return id_ != 0; }
QDialog* Dialog::Window() const { return impl_->window.data(); }

QWidget* Dialog::Item(int id) const {
  const Impl::Item* it = impl_->Find(id);
  return it ? it->w : nullptr;
}

bool Dialog::Build(WindowId owner) {
  if (IsCreated()) return true;
  if (!QApplication::instance() || !qobject_cast<QApplication*>(QApplication::instance())) {
    buildError_ = "no application object";
    return false;
  }
  if (!preloaded_ && !dlg::LoadTemplate(deliverable_, resourceId_, &tpl_, &buildError_)) return false;
  owner_ = owner;
  impl_->items.clear();
  auto* win = new KitWindow(this, dlg::WindowWidget(owner));
  impl_->window = win;
  win->setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  win->setObjectName(QStringLiteral("dialog%1").arg(resourceId_));

  std::vector<int> currentRadios;
  QButtonGroup* currentGroup = nullptr;
  auto closeRadioGroup = [&]() {
    if (currentGroup) impl_->radioIds.push_back(currentRadios);
    currentGroup = nullptr;
    currentRadios.clear();
  };

  std::function<QWidget*(const Node&, QWidget*)> makeControl;
  std::function<void(QLayout*, const Node&, QWidget*)> fill;

  makeControl = [&](const Node& n, QWidget* parent) -> QWidget* {
    QWidget* w = nullptr;
    const QString text = ToQString(n.text);
    switch (n.kind) {
      case Kind::Button:
      case Kind::DefButton: {
        auto* b = new QPushButton(text, parent);
        b->setAutoDefault(false);
        b->setDefault(n.kind == Kind::DefButton);
        QObject::connect(b, &QPushButton::clicked, win, [this, id = n.id] { Route(id, Notify::Clicked); });
        w = b;
        break;
      }
      case Kind::Check: {
        auto* b = new QCheckBox(text, parent);
        QObject::connect(b, &QCheckBox::clicked, win, [this, id = n.id] { Route(id, Notify::Clicked); });
        w = b;
        break;
      }
      case Kind::Radio: {
        if (n.first || !currentGroup) {
          closeRadioGroup();
          currentGroup = new QButtonGroup(win);
          currentGroup->setExclusive(true);
          impl_->radioGroups.push_back(currentGroup);
        }
        auto* b = new QRadioButton(text, parent);
        b->setAutoExclusive(false);
        currentGroup->addButton(b);
        currentRadios.push_back(n.id);
        QObject::connect(b, &QRadioButton::clicked, win, [this, id = n.id] { Route(id, Notify::Clicked); });
        w = b;
        break;
      }
      case Kind::Edit: {
        auto* e = new QLineEdit(text, parent);
        if (n.number)
          e->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), e));
        if (n.maxLength > 0) e->setMaxLength(n.maxLength);
        e->setReadOnly(n.readOnly);
        if (n.right) e->setAlignment(Qt::AlignRight);
        QObject::connect(e, &QLineEdit::textChanged, win, [this, id = n.id] { Route(id, Notify::Change); });
        e->installEventFilter(new FocusWatch(this, n.id, e));
        w = e;
        break;
      }
      case Kind::MultiEdit: {
        auto* e = new QPlainTextEdit(text, parent);
        e->setReadOnly(n.readOnly);
        e->setVerticalScrollBarPolicy(n.vscroll ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded);
        e->setTabChangesFocus(true);
        int lines = n.lines > 0 ? n.lines : 4;
        e->setMinimumHeight(e->fontMetrics().lineSpacing() * lines + 12);
        if (!n.wantReturn) e->installEventFilter(new EnterToDialog(this, e));
        QObject::connect(e, &QPlainTextEdit::textChanged, win, [this, id = n.id] { Route(id, Notify::Change); });
        e->installEventFilter(new FocusWatch(this, n.id, e));
        w = e;
        break;
      }
      case Kind::Static: {
        auto* l = new QLabel(StripMnemonic(text), parent);
        l->setProperty("kittext", text);
        l->setWordWrap(n.wrap);
        if (n.right) l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        w = l;
        break;
      }
      case Kind::List: {
        auto* l = new QListWidget(parent);
        l->setSelectionMode(QAbstractItemView::SingleSelection);
        if (n.lines > 0) l->setMinimumHeight(l->fontMetrics().lineSpacing() * n.lines + 8);
        QObject::connect(l, &QListWidget::currentRowChanged, win, [this, id = n.id] {
          if (!impl_->quiet) Route(id, Notify::SelChange);
        });
        QObject::connect(l, &QListWidget::itemDoubleClicked, win, [this, id = n.id] { Route(id, Notify::DoubleClicked); });
        w = l;
        break;
      }
      case Kind::TabList: {
        auto* t = new QTreeWidget(parent);
        t->setColumnCount(static_cast<int>(n.tabs.size()) + 1);
        t->setHeaderHidden(true);
        t->setRootIsDecorated(false);
        t->setUniformRowHeights(true);
        t->setSelectionMode(QAbstractItemView::SingleSelection);
        // Column heads: the statics named stand over their columns.
        QStringList labels;
        for (std::size_t c = 0; c < n.heads.size(); ++c) {
          const Impl::Item* h = impl_->Find(n.heads[c]);
          if (!h || h->kind != Kind::Static) {
            labels << QString();
            continue;
          }
          labels << static_cast<QLabel*>(h->w)->text();
          h->w->hide();
          impl_->heads[n.heads[c]] = {n.id, static_cast<int>(c)};
        }
        if (!n.heads.empty()) {
          t->setHeaderHidden(false);
          t->setHeaderLabels(labels);
          t->header()->setSectionsMovable(false);
          t->header()->setSectionsClickable(false);
        }
        // Tab stops are in dialog units: a quarter of the average character.
        int cw = AverageCharWidth(t);
        int prev = 0, sum = 0;
        for (std::size_t i = 0; i < n.tabs.size(); ++i) {
          int width = (n.tabs[i] - prev) * cw / 4;
          if (i < static_cast<std::size_t>(labels.size())) width = std::max(width, CellWidth(t, labels[static_cast<int>(i)]));
          t->setColumnWidth(static_cast<int>(i), width);
          sum += width;
          prev = n.tabs[i];
        }
        if (n.lines > 0) t->setMinimumHeight(t->fontMetrics().lineSpacing() * n.lines + 8);
        t->setMinimumWidth(std::max((prev + 40) * cw / 4, sum + 40 * cw / 4));
        QObject::connect(t, &QTreeWidget::currentItemChanged, win, [this, id = n.id] {
          if (!impl_->quiet) Route(id, Notify::SelChange);
        });
        QObject::connect(t, &QTreeWidget::itemDoubleClicked, win, [this, id = n.id] { Route(id, Notify::DoubleClicked); });
        w = t;
        break;
      }
      case Kind::Combo:
      case Kind::DropList: {
        auto* c = new QComboBox(parent);
        c->setEditable(n.kind == Kind::Combo);
        c->setInsertPolicy(QComboBox::NoInsert);
        if (n.lines > 0) c->setMaxVisibleItems(n.lines);
        QObject::connect(c, &QComboBox::activated, win, [this, id = n.id] {
          if (!impl_->quiet) Route(id, Notify::SelChange);
        });
        if (c->lineEdit()) {
          QObject::connect(c->lineEdit(), &QLineEdit::textEdited, win, [this, id = n.id] { Route(id, Notify::Change); });
          c->lineEdit()->installEventFilter(new FocusWatch(this, n.id, c));
        } else {
          c->installEventFilter(new FocusWatch(this, n.id, c));
        }
        w = c;
        break;
      }
      case Kind::Icon: {
        auto* l = new QLabel(parent);
        l->setFixedSize(36, 36);
        l->setAlignment(Qt::AlignCenter);
        w = l;
        break;
      }
      case Kind::Tree: {
        auto* t = new QTreeWidget(parent);
        t->setColumnCount(1);
        t->setHeaderHidden(true);
        t->setRootIsDecorated(true);
        t->setSelectionMode(QAbstractItemView::SingleSelection);
        t->setIconSize(QSize(16, 16));
        if (n.lines > 0) t->setMinimumHeight(t->fontMetrics().lineSpacing() * n.lines + 8);
        QObject::connect(t, &QTreeWidget::currentItemChanged, win, [this, id = n.id] {
          if (!impl_->quiet) Route(id, Notify::SelChange);
        });
        QObject::connect(t, &QTreeWidget::itemDoubleClicked, win, [this, id = n.id] { Route(id, Notify::DoubleClicked); });
        if (n.id >= 0) impl_->trees[n.id] = Impl::Tree{};
        w = t;
        break;
      }
      case Kind::Tabs: {
        auto* t = new KitTabPanel(parent);
        QObject::connect(t->bar, &QTabBar::currentChanged, win, [this, id = n.id] {
          if (!impl_->quiet) Route(id, Notify::SelChange);
        });
        w = t;
        break;
      }
      case Kind::Progress: {
        auto* p = new QProgressBar(parent);
        p->setRange(0, 100);
        p->setValue(0);
        p->setTextVisible(false);
        w = p;
        break;
      }
      case Kind::Group: {
        auto* g = new QGroupBox(text, parent);
        QLayout* inner;
        if (n.layout == Kind::Row) inner = new QHBoxLayout(g);
        else if (n.layout == Kind::Grid) inner = new QGridLayout(g);
        else inner = new QVBoxLayout(g);
        closeRadioGroup();
        fill(inner, n, g);
        closeRadioGroup();
        w = g;
        break;
      }
      default:
        return nullptr;
    }
    if (n.width > 0) w->setMinimumWidth(n.width * AverageCharWidth(w) + 12);
    if (n.bold) {
      QFont f = w->font();
      f.setBold(true);
      w->setFont(f);
    }
    if (n.hidden) w->setHidden(true);
    if (n.disabled) w->setEnabled(false);
    if (n.id >= 0) {
      Impl::Item item;
      item.w = w;
      item.kind = n.kind;
      item.node = &n;
      item.radios = n.kind == Kind::Radio ? currentGroup : nullptr;
      impl_->items[n.id] = item;
      w->setObjectName(QString::number(n.id));
    }
    return w;
  };

  fill = [&](QLayout* lay, const Node& container, QWidget* parent) {
    auto* grid = dynamic_cast<QGridLayout*>(lay);
    auto* box = dynamic_cast<QBoxLayout*>(lay);
    int cols = std::max(1, container.columns), r = 0, c = 0;
    for (const Node& ch : container.children) {
      QWidget* w = nullptr;
      QLayout* sub = nullptr;
      if (ch.kind == Kind::Stretch) {
        if (box) box->addStretch(1);
      } else if (ch.kind == Kind::Scroll) {
        auto* scroll = new KitScroll(parent);
        auto* content = new QWidget;
        auto* inner = new QVBoxLayout(content);
        inner->setContentsMargins(0, 0, 0, 0);
        fill(inner, ch, content);
        scroll->Hold(content);
        w = scroll;
      } else if (ch.kind == Kind::Row || ch.kind == Kind::Column || ch.kind == Kind::Grid) {
        if (ch.kind == Kind::Row) sub = new QHBoxLayout;
        else if (ch.kind == Kind::Grid) sub = new QGridLayout;
        else sub = new QVBoxLayout;
        sub->setContentsMargins(0, 0, 0, 0);
        fill(sub, ch, parent);
      } else {
        w = makeControl(ch, parent);
      }
      if (grid) {
        int span = std::min(ch.span, cols);
        if (c + span > cols) { ++r; c = 0; }
        if (w) grid->addWidget(w, r, c, 1, span);
        else if (sub) grid->addLayout(sub, r, c, 1, span);
        c += span;
        if (c >= cols) { ++r; c = 0; }
      } else if (box) {
        if (w) box->addWidget(w);
        else if (sub) box->addLayout(sub);
      }
    }
  };

  auto* top = new QVBoxLayout(win);
  top->setSizeConstraint(QLayout::SetFixedSize);
  fill(top, tpl_.root, win);
  closeRadioGroup();

  id_ = RegisterTarget(this);
  dlg::SetWindowWidget(id_, win);
  ended_ = false;
  endedForExit_ = false;
  result_ = IDCANCEL;
  return true;
}

void Dialog::Initialise() {
  // Texts: the language file's, else the template's.
  if (tpl_.captionGroup >= 0)
    SetWindowText(GetTextOr(TextId(tpl_.captionGroup, tpl_.captionEntry), tpl_.caption.c_str()));
  else
    SetWindowText(tpl_.caption);
  tpl_.ForEachControl([this](const Node& n) {
    if (n.id < 0 || !n.HasTextId()) return;
    Impl::Quiet q(impl_.get());
    SetItemText(n.id, GetTextOr(TextId(n.group, n.entry), n.text.c_str()));
  });
  std::int32_t help = HelpContext();
  if (help > 0) {
    dlg::AddHelpId(id_, help);
    helpRegistered_ = true;
  }
  OnInitDialog();
}

void Dialog::Arrange(bool modal) {
  QDialog* win = impl_->window;
  if (!win || !win->isWindow()) return;
  for (KitScroll* scroll : win->findChildren<KitScroll*>()) scroll->MeasureReserve();
  if (win->layout()) win->layout()->activate();
  if (place::TooLarge(win) && !win->findChild<KitScroll*>()) {
    MakeScrolling(win);
    win->layout()->activate();
  }
  // A window that placed itself stays there; the others go over their
  // owner (dialogs) or beside the main window (the program's windows).
  if (win->testAttribute(Qt::WA_Moved)) return;
  QWidget* owner = dlg::WindowWidget(owner_);
  if (!modal && (!owner || owner->window() == place::MainWindow()))
    place::PlaceBesideMain(win);
  else
    place::PlaceOver(win, owner);
}

int Dialog::DoModal(WindowId owner) {
  // Once the program's exit has begun nobody is left to answer.
  if (Exiting()) return IDCANCEL;
  if (!Build(owner)) return -1;
  ModalLoopScope modalLoop;
  modalLoop.SetEnd([this] { EndForExit(); });
  modal_ = true;
  Initialise();
  if (!ended_) Arrange(true);
  if (DialogScript* script = DialogScript::Active()) {
    if (!ended_) script->Run(*this);
  } else if (!ended_) {
    impl_->window->setWindowModality(Qt::ApplicationModal);
    impl_->window->show();
    QEventLoop loop;
    impl_->loop = &loop;
    if (!ended_) loop.exec();
    impl_->loop = nullptr;
  }
  modal_ = false;
  int r = result_;
  Destroy();
  return r;
}

bool Dialog::Create(WindowId owner) {
  if (IsCreated()) return true;
  if (!Build(owner)) return false;
  Initialise();
  if (IsCreated()) Arrange(false);
  if (IsCreated() && impl_->window) impl_->window->show();
  return true;
}

void Dialog::DestroyWindow() {
  if (impl_->dispatching > 0) {
    // Not under the feet of the control whose signal is running.
    impl_->destroyPending = true;
    if (impl_->window) impl_->window->hide();
    return;
  }
  Destroy();
}

void Dialog::Destroy() {
  if (id_ != 0) {
    OnDestroy();
    if (helpRegistered_) dlg::DeleteHelpId(id_);
    helpRegistered_ = false;
    dlg::SetWindowWidget(id_, nullptr);
    UnregisterTarget(id_);
    id_ = 0;
  }
  impl_->items.clear();
  impl_->trees.clear();
  impl_->radioGroups.clear();
  impl_->radioIds.clear();
  impl_->heads.clear();
  delete impl_->window.data();
  impl_->window = nullptr;
  impl_->destroyPending = false;
}

void Dialog::EndDialog(int result) {
  if (endedForExit_) return;  // the exit's cancel stands
  result_ = result;
  ended_ = true;
  if (impl_->loop) impl_->loop->quit();
  if (impl_->window) impl_->window->hide();
}

void Dialog::EndForExit() {
  // As if the user pressed Esc, so that the dialog lets go of what it
  // holds; a cancel that does not end it (one that only reports) is
  // followed by the end all the same.
  if (!ended_) KeyEscape();
  if (!ended_) EndDialog(IDCANCEL);
  result_ = IDCANCEL;
  endedForExit_ = true;
}

LRESULT Dialog::OnMessage(const Message& m) { return OnWindowMessage(m); }

void Dialog::Route(int id, Notify code) {
  if (!IsCreated()) return;
  ++impl_->dispatching;
  if (!OnCommand(id, code) && code == Notify::Clicked) {
    if (id == IDOK) OnOK();
    else if (id == IDCANCEL) OnCancel();
  }
  --impl_->dispatching;
  if (impl_->dispatching == 0 && impl_->destroyPending) Destroy();
}

void Dialog::KeyEscape() { Route(IDCANCEL, Notify::Clicked); }

void Dialog::KeyEnter() {
  QWidget* focus = impl_->window ? impl_->window->focusWidget() : nullptr;
  if (auto* b = qobject_cast<QPushButton*>(focus)) {
    b->click();
    return;
  }
  for (const auto& [id, item] : impl_->items)
    if (item.kind == Kind::DefButton) {
      if (item.w->isEnabled() && !item.w->isHidden()) static_cast<QPushButton*>(item.w)->click();
      return;
    }
  Route(IDOK, Notify::Clicked);
}

// --- item access ---

std::string Dialog::GetWindowText() const {
  return impl_->window ? FromQString(impl_->window->windowTitle()) : std::string();
}

void Dialog::SetWindowText(const std::string& text) {
  if (impl_->window) impl_->window->setWindowTitle(ToQString(text));
}

std::string Dialog::GetItemText(int id) const {
  const Impl::Item* it = impl_->Find(id);
  if (!it) return {};
  QWidget* w = it->w;
  switch (it->kind) {
    case Kind::Button: case Kind::DefButton: case Kind::Check: case Kind::Radio:
      return FromQString(static_cast<QAbstractButton*>(w)->text());
    case Kind::Edit:
      return FromQString(static_cast<QLineEdit*>(w)->text());
    case Kind::MultiEdit: {
      // The platform's multi-line edits hand out CR LF line ends.
      QString s = static_cast<QPlainTextEdit*>(w)->toPlainText();
      s.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
      return FromQString(s);
    }
    case Kind::Static:
      return FromQString(w->property("kittext").toString());
    case Kind::Group:
      return FromQString(static_cast<QGroupBox*>(w)->title());
    case Kind::Combo: case Kind::DropList:
      return FromQString(static_cast<QComboBox*>(w)->currentText());
    case Kind::List: case Kind::TabList:
      return GetLBText(id, GetCurSel(id));
    default:
      return {};
  }
}

void Dialog::SetItemText(int id, const std::string& text) {
  const Impl::Item* it = impl_->Find(id);
  if (!it) return;
  QWidget* w = it->w;
  QString q = ToQString(text);
  switch (it->kind) {
    case Kind::Button: case Kind::DefButton: case Kind::Check: case Kind::Radio:
      static_cast<QAbstractButton*>(w)->setText(q);
      break;
    case Kind::Edit:
      static_cast<QLineEdit*>(w)->setText(q);
      break;
    case Kind::MultiEdit:
      q.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
      static_cast<QPlainTextEdit*>(w)->setPlainText(q);
      break;
    case Kind::Static: {
      w->setProperty("kittext", q);
      static_cast<QLabel*>(w)->setText(StripMnemonic(q));
      auto head = impl_->heads.find(id);
      if (head != impl_->heads.end())
        if (const Impl::Item* list = impl_->Find(head->second.first)) {
          auto* t = static_cast<QTreeWidget*>(list->w);
          const int c = head->second.second;
          t->headerItem()->setText(c, StripMnemonic(q));
          if (c + 1 < t->columnCount()) t->setColumnWidth(c, std::max(t->columnWidth(c), CellWidth(t, StripMnemonic(q))));
        }
      break;
    }
    case Kind::Group:
      static_cast<QGroupBox*>(w)->setTitle(q);
      break;
    case Kind::Combo:
      static_cast<QComboBox*>(w)->setEditText(q);
      break;
    case Kind::DropList: {
      auto* c = static_cast<QComboBox*>(w);
      Impl::Quiet quiet(impl_.get());
      c->setCurrentIndex(c->findText(q, Qt::MatchFixedString));
      break;
    }
    default:
      break;
  }
}

int Dialog::GetItemInt(int id, bool* ok) const {
  std::string s = GetItemText(id);
  std::size_t a = s.find_first_not_of(" \t");
  std::size_t b = s.find_last_not_of(" \t");
  bool good = a != std::string::npos;
  if (good) {
    s = s.substr(a, b - a + 1);
    std::size_t i = (s[0] == '-' || s[0] == '+') ? 1 : 0;
    good = i < s.size() && s.size() - i <= 10;
    for (; good && i < s.size(); ++i) good = s[i] >= '0' && s[i] <= '9';
  }
  long long v = good ? std::strtoll(s.c_str(), nullptr, 10) : 0;
  if (v > INT32_MAX || v < INT32_MIN) good = false;
  if (ok) *ok = good;
  return good ? static_cast<int>(v) : 0;
}

void Dialog::SetItemInt(int id, int value) { SetItemText(id, StrFormatC("%d", value)); }

int Dialog::IsChecked(int id) const {
  const Impl::Item* it = impl_->Find(id);
  if (!it || (it->kind != Kind::Check && it->kind != Kind::Radio)) return 0;
  return static_cast<QAbstractButton*>(it->w)->isChecked() ? 1 : 0;
}

void Dialog::CheckButton(int id, int state) {
  const Impl::Item* it = impl_->Find(id);
  if (!it || (it->kind != Kind::Check && it->kind != Kind::Radio)) return;
  auto* b = static_cast<QAbstractButton*>(it->w);
  if (it->radios && state == 0) {
    it->radios->setExclusive(false);
    b->setChecked(false);
    it->radios->setExclusive(true);
  } else {
    b->setChecked(state != 0);
  }
}

void Dialog::CheckRadioButton(int firstId, int lastId, int checkId) {
  for (const auto& [id, item] : impl_->items)
    if (id >= firstId && id <= lastId && item.kind == Kind::Radio) CheckButton(id, id == checkId);
}

int Dialog::GetRadioIndex(int firstId) const {
  for (const auto& ids : impl_->radioIds) {
    if (ids.empty() || ids.front() != firstId) continue;
    for (std::size_t i = 0; i < ids.size(); ++i)
      if (IsChecked(ids[i])) return static_cast<int>(i);
    return -1;
  }
  return -1;
}

void Dialog::SetRadioIndex(int firstId, int index) {
  for (const auto& ids : impl_->radioIds) {
    if (ids.empty() || ids.front() != firstId) continue;
    for (std::size_t i = 0; i < ids.size(); ++i) CheckButton(ids[i], 0);
    if (index >= 0 && index < static_cast<int>(ids.size())) CheckButton(ids[static_cast<std::size_t>(index)], 1);
    return;
  }
}

void Dialog::EnableItem(int id, bool enable) {
  if (QWidget* w = Item(id)) w->setEnabled(enable);
}

bool Dialog::IsItemEnabled(int id) const {
  QWidget* w = Item(id);
  return w && w->isEnabled();
}

void Dialog::ShowItem(int id, bool show) {
  if (QWidget* w = Item(id)) w->setHidden(!show);
}

bool Dialog::IsItemVisible(int id) const {
  QWidget* w = Item(id);
  return w && !w->isHidden();
}

void Dialog::SetFocusItem(int id) {
  if (QWidget* w = Item(id)) w->setFocus();
}

void Dialog::LimitText(int id, int chars) {
  const Impl::Item* it = impl_->Find(id);
  if (it && it->kind == Kind::Edit) static_cast<QLineEdit*>(it->w)->setMaxLength(chars > 0 ? chars : 32767);
}

// --- lists ---
namespace {

QString ShownColumns(const QString& raw, int col) { return raw.section(QLatin1Char('\t'), col, col); }

}  // namespace

int Dialog::GetCount(int id) const {
  const Impl::Item* it = impl_->Find(id);
  if (!it) return -1;
  switch (it->kind) {
    case Kind::List: return static_cast<QListWidget*>(it->w)->count();
    case Kind::TabList: case Kind::Tree: return static_cast<QTreeWidget*>(it->w)->topLevelItemCount();
    case Kind::Combo: case Kind::DropList: return static_cast<QComboBox*>(it->w)->count();
    case Kind::Tabs: return static_cast<KitTabPanel*>(it->w)->bar->count();
    default: return -1;
  }
}

std::string Dialog::GetLBText(int id, int index) const {
  const Impl::Item* it = impl_->Find(id);
  if (!it || index < 0 || index >= GetCount(id)) return {};
  switch (it->kind) {
    case Kind::List: return FromQString(static_cast<QListWidget*>(it->w)->item(index)->text());
    case Kind::TabList:
      return FromQString(static_cast<QTreeWidget*>(it->w)->topLevelItem(index)->data(0, kRawRole).toString());
    case Kind::Combo: case Kind::DropList: return FromQString(static_cast<QComboBox*>(it->w)->itemText(index));
    default: return {};
  }
}

int Dialog::InsertString(int id, int index, const std::string& text) {
  const Impl::Item* it = impl_->Find(id);
  int count = GetCount(id);
  if (!it || count < 0 || index > count) return -1;
  if (index < 0) index = count;
  QString q = ToQString(text);
  Impl::Quiet quiet(impl_.get());
  switch (it->kind) {
    case Kind::List:
      static_cast<QListWidget*>(it->w)->insertItem(index, q);
      break;
    case Kind::TabList: {
      auto* t = static_cast<QTreeWidget*>(it->w);
      auto* item = new QTreeWidgetItem;
      item->setData(0, kRawRole, q);
      const std::vector<int>* fields = it->node && !it->node->fields.empty() ? &it->node->fields : nullptr;
      // A line without tabs runs across the columns, as a note does.
      const bool tabbed = q.contains(QLatin1Char('\t'));
      int grown = 0;
      for (int c = 0; c < t->columnCount(); ++c) {
        // The last column shows the rest of the line, tabs and all, unless
        // the columns name their fields.
        QString part = fields ? ShownColumns(q, (*fields)[static_cast<std::size_t>(c)])
                       : c + 1 < t->columnCount() ? ShownColumns(q, c)
                                                  : q.section(QLatin1Char('\t'), c);
        part.replace(QLatin1Char('\t'), QLatin1Char(' '));
        item->setText(c, part);
        // A value is never cut: its column grows.
        if (tabbed && c + 1 < t->columnCount()) {
          const int need = CellWidth(t, part);
          if (need > t->columnWidth(c)) {
            grown += need - t->columnWidth(c);
            t->setColumnWidth(c, need);
          }
        }
      }
      if (grown > 0) t->setMinimumWidth(t->minimumWidth() + grown);
      t->insertTopLevelItem(index, item);
      if (!tabbed) item->setFirstColumnSpanned(true);
      break;
    }
    case Kind::Combo: case Kind::DropList: {
      auto* c = static_cast<QComboBox*>(it->w);
      QString edit = c->currentText();
      int cur = count == 0 ? -1 : c->currentIndex();
      c->insertItem(index, q);
      // The platform's combo boxes gain no selection by filling them.
      if (cur < 0) {
        c->setCurrentIndex(-1);
        if (c->isEditable()) c->setEditText(edit);
      }
      break;
    }
    default:
      return -1;
  }
  return index;
}

int Dialog::AddString(int id, const std::string& text) {
  const Impl::Item* it = impl_->Find(id);
  if (!it) return -1;
  int index = -1;
  if (it->node && it->node->sort) {
    QString q = ToQString(text);
    int n = GetCount(id);
    index = n;
    for (int i = 0; i < n; ++i)
      if (QString::compare(q, ToQString(GetLBText(id, i)), Qt::CaseInsensitive) < 0) {
        index = i;
        break;
      }
  }
  return InsertString(id, index, text);
}

int Dialog::DeleteString(int id, int index) {
  const Impl::Item* it = impl_->Find(id);
  int count = GetCount(id);
  if (!it || index < 0 || index >= count) return -1;
  Impl::Quiet quiet(impl_.get());
  switch (it->kind) {
    case Kind::List: delete static_cast<QListWidget*>(it->w)->takeItem(index); break;
    case Kind::TabList: delete static_cast<QTreeWidget*>(it->w)->takeTopLevelItem(index); break;
    case Kind::Combo: case Kind::DropList: static_cast<QComboBox*>(it->w)->removeItem(index); break;
    default: return -1;
  }
  return count - 1;
}

void Dialog::ResetContent(int id) {
  const Impl::Item* it = impl_->Find(id);
  if (!it) return;
  Impl::Quiet quiet(impl_.get());
  switch (it->kind) {
    case Kind::List: static_cast<QListWidget*>(it->w)->clear(); break;
    case Kind::TabList: static_cast<QTreeWidget*>(it->w)->clear(); break;
    case Kind::Combo: case Kind::DropList: static_cast<QComboBox*>(it->w)->clear(); break;
    default: break;
  }
}

int Dialog::GetCurSel(int id) const {
  const Impl::Item* it = impl_->Find(id);
  if (!it) return -1;
  switch (it->kind) {
    case Kind::List: {
      auto* l = static_cast<QListWidget*>(it->w);
      return l->currentItem() && l->currentItem()->isSelected() ? l->currentRow() : -1;
    }
    case Kind::TabList: {
      auto* t = static_cast<QTreeWidget*>(it->w);
      QTreeWidgetItem* cur = t->currentItem();
      return cur && cur->isSelected() ? t->indexOfTopLevelItem(cur) : -1;
    }
    case Kind::Combo: case Kind::DropList: return static_cast<QComboBox*>(it->w)->currentIndex();
    case Kind::Tabs: return static_cast<KitTabPanel*>(it->w)->bar->currentIndex();
    default: return -1;
  }
}

int Dialog::SetCurSel(int id, int index) {
  const Impl::Item* it = impl_->Find(id);
  if (!it) return -1;
  int count = GetCount(id);
  bool valid = index >= 0 && index < count;
  Impl::Quiet quiet(impl_.get());
  switch (it->kind) {
    case Kind::List: {
      auto* l = static_cast<QListWidget*>(it->w);
      if (valid) l->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
      else { l->clearSelection(); l->setCurrentRow(-1); }
      break;
    }
    case Kind::TabList: {
      auto* t = static_cast<QTreeWidget*>(it->w);
      if (valid) t->setCurrentItem(t->topLevelItem(index), 0, QItemSelectionModel::ClearAndSelect);
      else { t->clearSelection(); t->setCurrentItem(nullptr); }
      break;
    }
    case Kind::Combo: case Kind::DropList:
      static_cast<QComboBox*>(it->w)->setCurrentIndex(valid ? index : -1);
      break;
    case Kind::Tabs:
      // A tab panel always has a selected tab while it has any.
      if (!valid) return -1;
      static_cast<KitTabPanel*>(it->w)->bar->setCurrentIndex(index);
      break;
    default:
      return -1;
  }
  return valid ? index : -1;
}

int Dialog::FindString(int id, int start, const std::string& prefix) const {
  int n = GetCount(id);
  QString p = ToQString(prefix);
  for (int k = 1; k <= n; ++k) {
    int i = ((start < 0 ? -1 : start) + k) % n;
    if (ToQString(GetLBText(id, i)).startsWith(p, Qt::CaseInsensitive)) return i;
  }
  return -1;
}

int Dialog::FindStringExact(int id, int start, const std::string& text) const {
  int n = GetCount(id);
  QString p = ToQString(text);
  for (int k = 1; k <= n; ++k) {
    int i = ((start < 0 ? -1 : start) + k) % n;
    if (QString::compare(ToQString(GetLBText(id, i)), p, Qt::CaseInsensitive) == 0) return i;
  }
  return -1;
}

int Dialog::SelectString(int id, int start, const std::string& prefix) {
  int i = FindString(id, start, prefix);
  if (i >= 0) SetCurSel(id, i);
  return i;
}

void Dialog::SetItemData(int id, int index, std::int64_t data) {
  const Impl::Item* it = impl_->Find(id);
  if (!it || index < 0 || index >= GetCount(id)) return;
  QVariant v = QVariant::fromValue<qlonglong>(data);
  switch (it->kind) {
    case Kind::List: static_cast<QListWidget*>(it->w)->item(index)->setData(kDataRole, v); break;
    case Kind::TabList: static_cast<QTreeWidget*>(it->w)->topLevelItem(index)->setData(0, kDataRole, v); break;
    case Kind::Combo: case Kind::DropList: static_cast<QComboBox*>(it->w)->setItemData(index, v, kDataRole); break;
    default: break;
  }
}

std::int64_t Dialog::GetItemData(int id, int index) const {
  const Impl::Item* it = impl_->Find(id);
  if (!it || index < 0 || index >= GetCount(id)) return -1;
  switch (it->kind) {
    case Kind::List: return static_cast<QListWidget*>(it->w)->item(index)->data(kDataRole).toLongLong();
    case Kind::TabList: return static_cast<QTreeWidget*>(it->w)->topLevelItem(index)->data(0, kDataRole).toLongLong();
    case Kind::Combo: case Kind::DropList: return static_cast<QComboBox*>(it->w)->itemData(index, kDataRole).toLongLong();
    default: return -1;
  }
}

// --- trees ---

void Dialog::SetTreeImages(int id, const std::vector<QIcon>& images) {
  Impl::Tree* t = impl_->FindTree(id);
  QTreeWidget* w = impl_->TreeWidget(id);
  if (!t || !w) return;
  t->images = images;
  // Items keep their index; they show what the new list holds there.
  for (auto& [itemId, item] : t->items) {
    (void)itemId;
    int image = item->data(0, kTreeImageRole).toInt();
    item->setIcon(0, image >= 0 && image < static_cast<int>(images.size()) ? images[static_cast<std::size_t>(image)] : QIcon());
  }
}

int Dialog::TreeImageRole() { return kTreeImageRole; }

int Dialog::GetTreeImageCount(int id) const {
  const Impl::Tree* t = impl_->FindTree(id);
  return t ? static_cast<int>(t->images.size()) : -1;
}

Dialog::TreeItem Dialog::TreeInsertItem(int id, TreeItem parent, const std::string& text, int image) {
  Impl::Tree* t = impl_->FindTree(id);
  QTreeWidget* w = impl_->TreeWidget(id);
  if (!t || !w) return 0;
  QTreeWidgetItem* under = nullptr;
  if (parent != kTreeRoot && !(under = impl_->TreeItemOf(id, parent))) return 0;
  if (t->next == INT32_MAX) return 0;  // ids are never reused
  const TreeItem itemId = t->next++;
  auto* item = new QTreeWidgetItem;
  // Everything set before it joins the tree: no change signals.
  item->setData(0, kTreeIdRole, itemId);
  item->setText(0, ToQString(text));
  if (image < 0) image = -1;
  item->setData(0, kTreeImageRole, image);
  if (image >= 0 && image < static_cast<int>(t->images.size())) item->setIcon(0, t->images[static_cast<std::size_t>(image)]);
  Impl::Quiet quiet(impl_.get());
  if (under) under->addChild(item);
  else w->addTopLevelItem(item);
  t->items[itemId] = item;
  return itemId;
}

bool Dialog::TreeDeleteItem(int id, TreeItem item) {
  Impl::Tree* t = impl_->FindTree(id);
  QTreeWidgetItem* q = impl_->TreeItemOf(id, item);
  if (!t || !q) return false;
  std::vector<QTreeWidgetItem*> todo{q};
  while (!todo.empty()) {
    QTreeWidgetItem* x = todo.back();
    todo.pop_back();
    t->items.erase(x->data(0, kTreeIdRole).toInt());
    for (int i = 0; i < x->childCount(); ++i) todo.push_back(x->child(i));
  }
  Impl::Quiet quiet(impl_.get());
  delete q;
  return true;
}

void Dialog::TreeDeleteAll(int id) {
  Impl::Tree* t = impl_->FindTree(id);
  QTreeWidget* w = impl_->TreeWidget(id);
  if (!t || !w) return;
  Impl::Quiet quiet(impl_.get());
  w->clear();
  t->items.clear();
}

bool Dialog::TreeHasItem(int id, TreeItem item) const { return impl_->TreeItemOf(id, item) != nullptr; }

bool Dialog::TreeSetItemText(int id, TreeItem item, const std::string& text) {
  QTreeWidgetItem* q = impl_->TreeItemOf(id, item);
  if (!q) return false;
  q->setText(0, ToQString(text));
  return true;
}

std::string Dialog::TreeGetItemText(int id, TreeItem item) const {
  QTreeWidgetItem* q = impl_->TreeItemOf(id, item);
  return q ? FromQString(q->text(0)) : std::string();
}

bool Dialog::TreeSetItemImage(int id, TreeItem item, int image) {
  const Impl::Tree* t = impl_->FindTree(id);
  QTreeWidgetItem* q = impl_->TreeItemOf(id, item);
  if (!t || !q) return false;
  if (image < 0) image = -1;
  if (q->data(0, kTreeImageRole).toInt() == image && q->data(0, kTreeImageRole).isValid()) return true;
  q->setData(0, kTreeImageRole, image);
  q->setIcon(0, image >= 0 && image < static_cast<int>(t->images.size()) ? t->images[static_cast<std::size_t>(image)] : QIcon());
  return true;
}

int Dialog::TreeGetItemImage(int id, TreeItem item) const {
  QTreeWidgetItem* q = impl_->TreeItemOf(id, item);
  return q ? q->data(0, kTreeImageRole).toInt() : -1;
}

bool Dialog::TreeSetItemData(int id, TreeItem item, std::int64_t data) {
  QTreeWidgetItem* q = impl_->TreeItemOf(id, item);
  if (!q) return false;
  q->setData(0, kDataRole, QVariant::fromValue<qlonglong>(data));
  return true;
}

std::int64_t Dialog::TreeGetItemData(int id, TreeItem item) const {
  QTreeWidgetItem* q = impl_->TreeItemOf(id, item);
  return q ? q->data(0, kDataRole).toLongLong() : 0;
}

std::vector<Dialog::TreeItem> Dialog::TreeChildren(int id, TreeItem parent) const {
  std::vector<TreeItem> out;
  QTreeWidget* w = impl_->TreeWidget(id);
  if (!w) return out;
  if (parent == kTreeRoot) {
    for (int i = 0; i < w->topLevelItemCount(); ++i) out.push_back(w->topLevelItem(i)->data(0, kTreeIdRole).toInt());
  } else if (QTreeWidgetItem* q = impl_->TreeItemOf(id, parent)) {
    for (int i = 0; i < q->childCount(); ++i) out.push_back(q->child(i)->data(0, kTreeIdRole).toInt());
  }
  return out;
}

Dialog::TreeItem Dialog::TreeParent(int id, TreeItem item) const {
  QTreeWidgetItem* q = impl_->TreeItemOf(id, item);
  return q && q->parent() ? q->parent()->data(0, kTreeIdRole).toInt() : 0;
}

int Dialog::TreeItemCount(int id) const {
  const Impl::Tree* t = impl_->FindTree(id);
  return t ? static_cast<int>(t->items.size()) : -1;
}

bool Dialog::TreeExpand(int id, TreeItem item, bool expand) {
  QTreeWidgetItem* q = impl_->TreeItemOf(id, item);
  if (!q) return false;
  q->setExpanded(expand);
  return true;
}

Dialog::TreeItem Dialog::TreeGetSelection(int id) const {
  QTreeWidget* w = impl_->TreeWidget(id);
  QTreeWidgetItem* cur = w ? w->currentItem() : nullptr;
  return cur && cur->isSelected() ? cur->data(0, kTreeIdRole).toInt() : 0;
}

bool Dialog::TreeSelectItem(int id, TreeItem item) {
  QTreeWidget* w = impl_->TreeWidget(id);
  if (!w) return false;
  Impl::Quiet quiet(impl_.get());
  if (item == kTreeRoot) {
    w->clearSelection();
    w->setCurrentItem(nullptr);
    return true;
  }
  QTreeWidgetItem* q = impl_->TreeItemOf(id, item);
  if (!q) return false;
  w->setCurrentItem(q, 0, QItemSelectionModel::ClearAndSelect);
  return true;
}

// --- tab panels ---

namespace {
KitTabPanel* TabPanelOf(const Dialog::Impl& impl, int id);
}

void Dialog::SetTabImages(int id, const std::vector<QIcon>& images) {
  KitTabPanel* t = TabPanelOf(*impl_, id);
  if (!t) return;
  t->images = images;
  for (int i = 0; i < t->bar->count(); ++i) t->bar->setTabIcon(i, t->Image(TabGetImage(id, i)));
}

int Dialog::TabInsert(int id, int index, const std::string& text, int image) {
  KitTabPanel* t = TabPanelOf(*impl_, id);
  if (!t) return -1;
  if (index < 0 || index > t->bar->count()) index = t->bar->count();
  Impl::Quiet quiet(impl_.get());
  index = t->bar->insertTab(index, ToQString(text));
  TabSetImage(id, index, image);
  return index;
}

bool Dialog::TabSetText(int id, int index, const std::string& text) {
  KitTabPanel* t = TabPanelOf(*impl_, id);
  if (!t || index < 0 || index >= t->bar->count()) return false;
  t->bar->setTabText(index, ToQString(text));
  return true;
}

std::string Dialog::TabGetText(int id, int index) const {
  KitTabPanel* t = TabPanelOf(*impl_, id);
  if (!t || index < 0 || index >= t->bar->count()) return {};
  return FromQString(t->bar->tabText(index));
}

bool Dialog::TabSetImage(int id, int index, int image) {
  KitTabPanel* t = TabPanelOf(*impl_, id);
  if (!t || index < 0 || index >= t->bar->count()) return false;
  if (image < 0) image = -1;
  t->bar->setTabData(index, image);
  t->bar->setTabIcon(index, t->Image(image));
  return true;
}

int Dialog::TabGetImage(int id, int index) const {
  KitTabPanel* t = TabPanelOf(*impl_, id);
  if (!t || index < 0 || index >= t->bar->count()) return -1;
  const QVariant v = t->bar->tabData(index);
  return v.isValid() ? v.toInt() : -1;
}

void Dialog::TabDeleteAll(int id) {
  KitTabPanel* t = TabPanelOf(*impl_, id);
  if (!t) return;
  Impl::Quiet quiet(impl_.get());
  while (t->bar->count() > 0) t->bar->removeTab(t->bar->count() - 1);
}

int Dialog::TabRowHeight(int id) const {
  KitTabPanel* t = TabPanelOf(*impl_, id);
  return t ? t->RowHeight() : -1;
}

namespace {
KitTabPanel* TabPanelOf(const Dialog::Impl& impl, int id) {
  const Dialog::Impl::Item* it = impl.Find(id);
  return it && it->kind == Kind::Tabs ? static_cast<KitTabPanel*>(it->w) : nullptr;
}
}  // namespace

// --- other controls ---

void Dialog::SetProgressPos(int id, int pos) {
  const Impl::Item* it = impl_->Find(id);
  if (it && it->kind == Kind::Progress) static_cast<QProgressBar*>(it->w)->setValue(std::clamp(pos, 0, 100));
}

int Dialog::GetProgressPos(int id) const {
  const Impl::Item* it = impl_->Find(id);
  return it && it->kind == Kind::Progress ? static_cast<QProgressBar*>(it->w)->value() : -1;
}

void Dialog::SetItemIcon(int id, const QIcon& icon) {
  const Impl::Item* it = impl_->Find(id);
  if (!it || it->kind != Kind::Icon) return;
  auto* l = static_cast<QLabel*>(it->w);
  l->setPixmap(icon.isNull() ? QPixmap() : icon.pixmap(32, 32));
  l->setProperty("kiticon", !icon.isNull());
}

void Dialog::SetItemStandardIcon(int id, int which) {
  QStyle::StandardPixmap sp;
  switch (which) {
    case 1: sp = QStyle::SP_MessageBoxInformation; break;
    case 2: sp = QStyle::SP_MessageBoxWarning; break;
    case 3: sp = QStyle::SP_MessageBoxCritical; break;
    case 4: sp = QStyle::SP_MessageBoxQuestion; break;
    default: SetItemIcon(id, QIcon()); return;
  }
  SetItemIcon(id, QApplication::style()->standardIcon(sp));
}

// --- user actions ---

bool Dialog::UserSetText(int id, const std::string& text) {
  const Impl::Item* it = impl_->Find(id);
  if (!it || it->w->isHidden() || !it->w->isEnabled()) return false;
  switch (it->kind) {
    case Kind::Edit: case Kind::MultiEdit:
      if (it->node->readOnly) return false;
      SetItemText(id, text);
      break;
    case Kind::Combo:
      static_cast<QComboBox*>(it->w)->setEditText(ToQString(text));
      Route(id, Notify::Change);
      break;
    case Kind::DropList:
      return UserSelectText(id, text);
    default:
      return false;
  }
  Route(id, Notify::KillFocus);
  return true;
}

bool Dialog::UserPress(int id) {
  const Impl::Item* it = impl_->Find(id);
  if (!it || it->w->isHidden() || !it->w->isEnabled()) return false;
  auto* b = qobject_cast<QAbstractButton*>(it->w);
  if (!b) return false;
  b->click();
  return true;
}

bool Dialog::UserSelect(int id, int index) {
  const Impl::Item* it = impl_->Find(id);
  if (!it || it->w->isHidden() || !it->w->isEnabled()) return false;
  if (index < 0 || index >= GetCount(id)) return false;
  SetCurSel(id, index);
  if (it->kind == Kind::Combo) {
    Impl::Quiet quiet(impl_.get());
    static_cast<QComboBox*>(it->w)->setEditText(ToQString(GetLBText(id, index)));
  }
  Route(id, Notify::SelChange);
  return true;
}

bool Dialog::UserSelectText(int id, const std::string& text) {
  int i = FindStringExact(id, -1, text);
  return i >= 0 && UserSelect(id, i);
}

bool Dialog::UserDoubleClick(int id, int index) {
  const Impl::Item* it = impl_->Find(id);
  if (!it || it->w->isHidden() || !it->w->isEnabled()) return false;
  if (index >= 0 && index != GetCurSel(id) && !UserSelect(id, index)) return false;
  Route(id, Notify::DoubleClicked);
  return true;
}

void Dialog::UserKey(int qtKey) {
  if (!impl_->window) return;
  QKeyEvent ev(QEvent::KeyPress, qtKey, Qt::NoModifier);
  QApplication::sendEvent(impl_->window.data(), &ev);
}

// --- scripts ---

namespace {
DialogScript* g_script = nullptr;
}

DialogScript::DialogScript() : previous_(g_script) { g_script = this; }
DialogScript::~DialogScript() { g_script = previous_; }
DialogScript* DialogScript::Active() { return g_script; }

DialogScript::Steps& DialogScript::When(int resourceId) { return When(std::string(), resourceId); }

DialogScript::Steps& DialogScript::When(const std::string& deliverable, int resourceId) {
  auto& q = queued_[{deliverable, resourceId}];
  q.emplace_back();
  return q.back();
}

namespace {
std::string Why(const char* what, int id) { return StrFormatC("%s %d", what, id); }
}  // namespace

DialogScript::Steps& DialogScript::Steps::Set(int id, const std::string& text) {
  steps_.push_back([id, text](Dialog& d, std::string* e) {
    if (d.UserSetText(id, text)) return true;
    *e = Why("cannot type into control", id);
    return false;
  });
  return *this;
}

DialogScript::Steps& DialogScript::Steps::Check(int id, int state) {
  steps_.push_back([id, state](Dialog& d, std::string* e) {
    if (!d.Item(id) || !d.IsItemEnabled(id) || !d.IsItemVisible(id)) {
      *e = Why("cannot check control", id);
      return false;
    }
    if (d.IsChecked(id) != (state ? 1 : 0)) d.UserPress(id);
    return true;
  });
  return *this;
}

DialogScript::Steps& DialogScript::Steps::Select(int id, int index) {
  steps_.push_back([id, index](Dialog& d, std::string* e) {
    if (d.UserSelect(id, index)) return true;
    *e = Why("cannot select in control", id);
    return false;
  });
  return *this;
}

DialogScript::Steps& DialogScript::Steps::SelectText(int id, const std::string& text) {
  steps_.push_back([id, text](Dialog& d, std::string* e) {
    if (d.UserSelectText(id, text)) return true;
    *e = Why("no such line in control", id);
    return false;
  });
  return *this;
}

DialogScript::Steps& DialogScript::Steps::Press(int id) {
  steps_.push_back([id](Dialog& d, std::string* e) {
    if (d.UserPress(id)) return true;
    *e = Why("cannot press control", id);
    return false;
  });
  return *this;
}

DialogScript::Steps& DialogScript::Steps::DoubleClick(int id, int index) {
  steps_.push_back([id, index](Dialog& d, std::string* e) {
    if (d.UserDoubleClick(id, index)) return true;
    *e = Why("cannot double-click control", id);
    return false;
  });
  return *this;
}

DialogScript::Steps& DialogScript::Steps::Key(int qtKey) {
  steps_.push_back([qtKey](Dialog& d, std::string*) {
    d.UserKey(qtKey);
    return true;
  });
  return *this;
}

DialogScript::Steps& DialogScript::Steps::Do(std::function<void(Dialog&)> fn) {
  steps_.push_back([fn = std::move(fn)](Dialog& d, std::string*) {
    fn(d);
    return true;
  });
  return *this;
}

int DialogScript::Run(Dialog& d) {
  Opened rec;
  rec.resourceId = d.ResourceId();
  rec.deliverable = d.Deliverable();
  rec.caption = d.GetWindowText();
  // Steps for this deliverable's dialog first, then those for the id alone.
  auto q = queued_.find({d.Deliverable(), d.ResourceId()});
  if (q == queued_.end() || q->second.empty()) q = queued_.find({std::string(), d.ResourceId()});
  if (q == queued_.end() || q->second.empty()) {
    d.EndDialog(defaultResult);
  } else {
    Steps steps = std::move(q->second.front());
    q->second.pop_front();
    rec.scripted = true;
    if (d.Window()) d.Window()->show();
    for (auto& step : steps.steps_) {
      if (d.Ended()) break;
      std::string why;
      if (!step(d, &why)) errors.push_back((d.Deliverable().empty()
                              ? StrFormatC("dialog %d: ", d.ResourceId())
                              : StrFormatC("dialog %s/%d: ", d.Deliverable().c_str(), d.ResourceId())) +
                         why);
    }
    rec.endedByScript = d.Ended();
    if (!d.Ended()) d.EndDialog(IDCANCEL);
  }
  rec.result = d.Result();
  opened.push_back(rec);
  return rec.result;
}

}  // namespace plat
