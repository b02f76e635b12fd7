#include "plugins/display/treepage.h"

#include <QDialog>
#include <QLayout>
#include <algorithm>

#include "plugins/display/pictures.h"

namespace tarquel {

const char* const CTreePage::kNoEntries = "keine Eintr\xe4ge...";

namespace {
// A line's data is its item's handle, so that a line names an item only
// while the item exists; this one names none.
constexpr std::int64_t kNoItem = 0;
}  // namespace

CTreePage::CTreePage(const CDisplayItemManager& items, plat::WindowId overview)
    : CChildDialog("tarquel", kDialogId), items_(items), overview_(overview) {}

CTreePage::~CTreePage() {
  for (const auto& item : items_.items()) item->treeItem = 0;
  DestroyWindow();
}

bool CTreePage::OnInitDialog() {
  Attach(false);
  SetTreeImages(IDC_TREE, ImageList());
  const GlobalParams& g = items_.globals();
  for (int i = 0; i < kShownButtons; ++i) {
    const std::string& caption = g.genFktDescription[static_cast<std::size_t>(i)];
    if (!caption.empty()) SetItemText(IDC_FKT1 + i, caption);
  }
  Fill();
  Arrange(MinWidth(), MinHeight());
  return true;
}

int CTreePage::MinWidth() const {
  int buttons = 0;
  for (int i = 0; i < kShownButtons; ++i)
    if (QWidget* b = Item(IDC_FKT1 + i)) buttons = std::max(buttons, b->sizeHint().width());
  return std::max(240, buttons * kShownButtons + 2 * kMargin);
}

int CTreePage::MinHeight() const { return 200; }

void CTreePage::Arrange(int width, int height) {
  QDialog* w = Window();
  if (!w) return;
  w->setFixedSize(width, height);
  int buttonHeight = 0;
  for (int i = 0; i < kShownButtons; ++i)
    if (QWidget* b = Item(IDC_FKT1 + i)) buttonHeight = std::max(buttonHeight, b->sizeHint().height());
  const int buttonWidth = (width - 2 * kMargin) / kShownButtons;
  const int buttonsY = height - kMargin - buttonHeight;
  if (QWidget* tree = Item(IDC_TREE))
    tree->setGeometry(kMargin, kMargin, width - 2 * kMargin, std::max(1, buttonsY - 2 * kMargin));
  for (int i = 0; i < kShownButtons; ++i)
    if (QWidget* b = Item(IDC_FKT1 + i)) b->setGeometry(kMargin + i * buttonWidth, buttonsY, buttonWidth, buttonHeight);
}

std::string CTreePage::LineOf(const CDisplayItem& device) {
  if (device.contents.empty()) return device.label;
  return device.label + "  " + device.contents;
}

void CTreePage::Fill() {
  TreeDeleteAll(IDC_TREE);
  for (const auto& item : items_.items()) item->treeItem = 0;
  bool any = false;
  for (CDisplayItem* group : items_.Groups()) {
    const TreeItem g = TreeInsertItem(IDC_TREE, kTreeRoot, group->label, kImageClear);
    if (!g) continue;
    group->treeItem = g;
    TreeSetItemData(IDC_TREE, g, group->handle());
    for (CDisplayItem* device : group->children()) {
      const TreeItem d = TreeInsertItem(IDC_TREE, g, LineOf(*device), device->state1 ? kImageSet : kImageClear);
      if (!d) continue;
      device->treeItem = d;
      TreeSetItemData(IDC_TREE, d, device->handle());
      any = true;
    }
    TreeExpand(IDC_TREE, g, true);
    any = true;
  }
  if (!any) TreeSetItemData(IDC_TREE, TreeInsertItem(IDC_TREE, kTreeRoot, kNoEntries, -1), kNoItem);
}

void CTreePage::ShowDevice(const CDisplayItem& device) {
  if (!device.treeItem) return;
  TreeSetItemText(IDC_TREE, device.treeItem, LineOf(device));
  TreeSetItemImage(IDC_TREE, device.treeItem, device.state1 ? kImageSet : kImageClear);
}

void CTreePage::ActivateSelection() {
  const TreeItem line = TreeGetSelection(IDC_TREE);
  if (!line) return;
  const CDisplayItem* item = items_.Find(static_cast<DLLIFC_ITEM>(TreeGetItemData(IDC_TREE, line)));
  // "keine Einträge..." and lines of a window made before Close name nothing.
  if (!item) return;
  const CDisplayItem* group = item->IsGroup() ? item : item->group();
  auto idParam = [](std::uint16_t id) {
    return static_cast<plat::LPARAM>((static_cast<std::uint32_t>(id) << 16) | 0xFFFFu);
  };
  plat::PostMessage(overview_, kMsgSelectGroup, 0, idParam(group->id()));
  if (!item->IsGroup()) plat::PostMessage(overview_, kMsgSelectDevice, 0, idParam(item->id()));
}

bool CTreePage::OnCommand(int id, plat::Notify code) {
  if (id == IDC_TREE && code == plat::Notify::DoubleClicked) {
    ActivateSelection();
    return true;
  }
  if (code != plat::Notify::Clicked || id < IDC_FKT1 || id > IDC_FKT4) return false;
  const GlobalParams& g = items_.globals();
  const std::int32_t message = g.genFktMessage[static_cast<std::size_t>(id - IDC_FKT1)];
  if (message != 0) plat::PostMessage(g.parentWindow, static_cast<plat::UINT>(message), Id(), 0);
  return true;
}

}  // namespace tarquel
