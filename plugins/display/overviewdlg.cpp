#include "plugins/display/overviewdlg.h"

#include <QDialog>
#include <algorithm>

#include "platform/dialogkit/dlgsupport.h"
#include "platform/winplace.h"
#include "plugins/common/visualstate.h"
#include "plugins/display/pictures.h"

namespace tarquel {

COverviewDlg::COverviewDlg(CDisplayItemManager& items, CBoxPoster& boxes)
    : plat::Dialog("tarquel", kDialogId), items_(items), boxes_(boxes) {
  items_.SetSink(this);
}

COverviewDlg::~COverviewDlg() {
  DestroyWindow();
  items_.SetSink(nullptr);
}

bool COverviewDlg::Make() {
  if (IsCreated()) return true;
  if (!Create(items_.globals().parentWindow)) return false;
  // Made hidden: the host shows it when it wants it.
  Window()->hide();
  Window()->setAttribute(Qt::WA_DontShowOnScreen, false);
  return true;
}

bool COverviewDlg::OnInitDialog() {
  QDialog* w = Window();
  w->setAttribute(Qt::WA_DontShowOnScreen, true);
  GlobalParams& g = items_.globals();
  // Without a "Label" the window keeps its own title.
  SetWindowText(g.label.empty() ? GetTemplate().caption : g.label);
  SetTabImages(IDC_TABS, ImageList());
  TabInsert(IDC_TABS, 0, g.showOverview != 0 ? g.labelOverview : std::string(), kImageOverview);

  QWidget* panel = Item(IDC_TABS);
  const int top = TabRowHeight(IDC_TABS) + kPageOffset;
  tree_ = std::make_unique<CTreePage>(items_, Id());
  tiles_ = std::make_unique<CTilePage>(g);
  if (!panel || !tree_->CreateIn(Id(), panel, kPageOffset, top) || !tiles_->CreateIn(Id(), panel, kPageOffset, top)) {
    boxes_.Post("Could not Create a CSingleDeviceDisplay", g.label);
    return true;
  }
  tiles_->onLeave = [this] { FocusTabs(); };
  tiles_->onOK = [this] { OnOK(); };
  tiles_->onCancel = [this] { OnCancel(); };

  // The grid holds the largest group; what it grew to is the setting now.
  std::size_t largest = 0;
  const std::vector<CDisplayItem*> groups = items_.Groups();
  for (const CDisplayItem* group : groups) largest = std::max(largest, group->children().size());
  grid_ = FitGrid(g.maxRows, g.maxColumns, static_cast<std::int64_t>(largest));
  g.maxRows = grid_.rows;
  g.maxColumns = grid_.columns;
  const auto count = static_cast<int>(std::min<std::size_t>(largest, static_cast<std::size_t>(grid_.rows) * grid_.columns));
  // Rows wrap where the screen ends: no tile's buttons off the screen.
  int roomWidth = 0;
  plat::place::InnerRoom(&roomWidth, nullptr);
  if (!tiles_->MakeTiles(count, grid_.columns, roomWidth - 2 * kPageOffset - kWindowChrome))
    boxes_.Post("Could not Create a CSingleDeviceDisplay", g.label, Id());

  for (CDisplayItem* group : groups) {
    TabInsert(IDC_TABS, -1, group->label, kImageGroup);
    tabGroups_.push_back(group);
  }
  blinking_.assign(tabGroups_.size() + 1, false);
  blinkPhase_.assign(tabGroups_.size() + 1, false);

  const int width = std::max(tiles_->Width(), tree_->MinWidth());
  const int height = std::max(tiles_->Height(), tree_->MinHeight());
  tree_->Arrange(width, height);
  if (panel) panel->setFixedSize(width + 2 * kPageOffset, top + height + kPageOffset);
  SelectTab(0);
  for (const CDisplayItem* group : groups) UpdateTabBlink(group);

  watch_ = new pluginkit::WindowWatch(w, plat::dlg::WindowWidget(items_.globals().parentWindow));
  watch_->minimiseSwitch = minimiseSwitch_;
  watch_->onMoved = [this](const pluginkit::WindowRect& r) { position_ = r; };
  w->adjustSize();
  if (pendingMove_) pluginkit::WindowWatch::MoveTo(w, position_);
  return true;
}

void COverviewDlg::OnDestroy() {
  // Kept for a window made again.
  const bool known = pendingMove_ || (Window() && Window()->isVisible());
  position_ = Position();
  pendingMove_ = known;
  // The pages' windows are children of this one: they go first.
  tiles_.reset();
  tree_.reset();
  tabGroups_.clear();
  blinking_.clear();
  blinkPhase_.clear();
  watch_ = nullptr;
}

int COverviewDlg::TabCount() const { return IsCreated() ? GetCount(IDC_TABS) : 0; }

int COverviewDlg::CurrentTab() const { return IsCreated() ? GetCurSel(IDC_TABS) : -1; }

CDisplayItem* COverviewDlg::GroupOfTab(int tab) const {
  return tab >= 1 && tab <= static_cast<int>(tabGroups_.size()) ? tabGroups_[static_cast<std::size_t>(tab - 1)]
                                                                 : nullptr;
}

int COverviewDlg::TabOfGroup(const CDisplayItem* group) const {
  auto it = std::find(tabGroups_.begin(), tabGroups_.end(), group);
  return it == tabGroups_.end() ? -1 : static_cast<int>(it - tabGroups_.begin()) + 1;
}

bool COverviewDlg::TabBlinking(int tab) const {
  return tab >= 0 && tab < static_cast<int>(blinking_.size()) && blinking_[static_cast<std::size_t>(tab)];
}

void COverviewDlg::SelectTab(int tab) {
  if (!tree_ || !tiles_ || tab < 0 || tab >= TabCount()) return;
  SetCurSel(IDC_TABS, tab);
  QDialog* tree = tree_->Window();
  QDialog* page = tiles_->Window();
  if (tab == 0) {
    tiles_->BindGroup(nullptr);
    if (page) page->hide();
    if (tree) tree->show();
    return;
  }
  if (tree) tree->hide();
  tiles_->BindGroup(GroupOfTab(tab));
  if (page) {
    page->show();
    page->setFocus();
  }
}

void COverviewDlg::FocusTabs() {
  if (QWidget* panel = Item(IDC_TABS)) panel->setFocus();
}

bool COverviewDlg::OnCommand(int id, plat::Notify code) {
  if (id == IDC_TABS && code == plat::Notify::SelChange) {
    SelectTab(GetCurSel(IDC_TABS));
    return true;
  }
  return false;
}

plat::LRESULT COverviewDlg::OnWindowMessage(const plat::Message& m) {
  const auto idOf = [&m] { return static_cast<std::uint32_t>(m.lParam) >> 16; };
  if (m.msg == plat::WM_TIMER) {
    const auto tab = static_cast<std::size_t>(m.wParam);
    if (tab >= blinking_.size() || !blinking_[tab]) return 0;
    blinkPhase_[tab] = !blinkPhase_[tab];
    TabSetImage(IDC_TABS, static_cast<int>(tab), blinkPhase_[tab] ? kImageGroup : kImageBlink);
    plat::SetTimer(Id(), static_cast<plat::UINT>(tab), kBlinkMs);
  } else if (m.msg == CTreePage::kMsgSelectGroup) {
    // Only a group that has a tab; one added after the window was made has none.
    const int tab = static_cast<int>(idOf()) + 1;
    const CDisplayItem* group = GroupOfTab(tab);
    if (group && group->id() == idOf()) SelectTab(tab);
  } else if (m.msg == CTreePage::kMsgSelectDevice) {
    if (CurrentTab() > 0 && tiles_) tiles_->FocusTile(static_cast<int>(idOf()));
  }
  return 0;
}

void COverviewDlg::OnItemSignal(CDisplayItem& item, int signal, std::int32_t) {
  // Before the window exists the item keeps its values; the window reads them.
  if (!IsCreated() || !tree_ || item.IsGroup()) return;
  switch (signal) {
    case kSigState1:
      tree_->ShowDevice(item);
      UpdateTabBlink(item.group());
      break;
    case kSigContents:
    case kSigLabel:
      tree_->ShowDevice(item);
      break;
    default:
      break;
  }
}

void COverviewDlg::UpdateTabBlink(const CDisplayItem* group) {
  const int tab = TabOfGroup(group);
  if (tab < 0) return;
  const bool any = std::any_of(group->children().begin(), group->children().end(),
                               [](const CDisplayItem* d) { return d->state1 != 0; });
  SetTabBlink(tab, any);
}

void COverviewDlg::SetTabBlink(int tab, bool on) {
  const auto t = static_cast<std::size_t>(tab);
  if (t >= blinking_.size() || blinking_[t] == on) return;
  blinking_[t] = on;
  blinkPhase_[t] = false;
  TabSetImage(IDC_TABS, tab, on ? kImageBlink : kImageGroup);
  if (on) plat::SetTimer(Id(), static_cast<plat::UINT>(tab), kBlinkMs);
  else plat::KillTimer(Id(), static_cast<plat::UINT>(tab));
}

int COverviewDlg::VisualState(std::int32_t state, std::int32_t value) {
  const pluginkit::VisualState v = pluginkit::DecodeVisualState(state);
  if (v.action == pluginkit::kOwnWindow) Make();
  if (v.action == pluginkit::kMinimiseSwitch) minimiseSwitch_ = value;
  QDialog* w = Window();
  pluginkit::ApplyVisualState(w, Id(), v, value, watch_);
  // A window not on the screen has no frame yet: it is placed once it shows.
  if (w && pendingMove_ && w->isVisible()) SetPosition(position_);
  return DLLIFC_OK;
}

void COverviewDlg::SetPosition(const pluginkit::WindowRect& r) {
  // All four 0: nothing stored, the window stays where it was placed.
  if (r == pluginkit::WindowRect{}) return;
  position_ = r;
  QDialog* w = Window();
  if (w) pluginkit::WindowWatch::MoveTo(w, r);
  pendingMove_ = !w || !w->isVisible();
  if (pendingMove_) return;
  position_ = pluginkit::WindowWatch::RectOf(w);
}

pluginkit::WindowRect COverviewDlg::Position() const {
  QDialog* w = Window();
  // The window's own rectangle while it is on the screen and not minimised.
  if (w && w->isVisible() && !w->isMinimized() && !pendingMove_) return pluginkit::WindowWatch::RectOf(w);
  return position_;
}

void COverviewDlg::Hide() {
  if (QDialog* w = Window()) w->hide();
}

}  // namespace tarquel
