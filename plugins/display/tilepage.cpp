#include "plugins/display/tilepage.h"

#include <QDialog>
#include <QLayout>
#include <algorithm>

namespace tarquel {

GridSize FitGrid(std::int32_t rows, std::int32_t columns, std::int64_t largestGroup) {
  GridSize g;
  g.rows = std::clamp(rows, 1, GridSize::kMax);
  g.columns = std::clamp(columns, 1, GridSize::kMax);
  bool columnsNext = true;
  while (std::int64_t{g.rows} * g.columns < largestGroup && (g.rows < GridSize::kMax || g.columns < GridSize::kMax)) {
    if (columnsNext ? g.columns < GridSize::kMax : g.rows >= GridSize::kMax) ++g.columns;
    else ++g.rows;
    columnsNext = !columnsNext;
  }
  return g;
}

CTilePage::CTilePage(const GlobalParams& globals) : CChildDialog("tarquel", kDialogId), globals_(globals) {}

CTilePage::~CTilePage() {
  tiles_.clear();
  DestroyWindow();
}

bool CTilePage::OnInitDialog() {
  // Tiles sit at the positions the grid gives, not in a layout.
  Attach(false);
  Window()->setFixedSize(width_, height_);
  return true;
}

bool CTilePage::MakeTiles(int count, int columns, int maxWidth) {
  QDialog* w = Window();
  if (!w) return false;
  columns = std::max(1, columns);
  int x = kFirstX, y = kFirstY, rowHeight = 0, right = 0, bottom = 0, inRow = 0;
  bool made = true;
  for (int i = 0; i < count; ++i) {
    auto tile = std::make_unique<CSingleDeviceDisplay>(*this, globals_, i);
    if (!tile->CreateIn(Id(), w, x, y)) {
      made = false;
      break;
    }
    const QSize size = tile->Window()->size();
    // A full row, or one that would leave the screen, wraps.
    if (inRow > 0 && (inRow == columns || (maxWidth > 0 && x + size.width() + kBorder > maxWidth))) {
      x = kFirstX;
      y += rowHeight + kGap;
      rowHeight = 0;
      inRow = 0;
      tile->Window()->move(x, y);
    }
    ++inRow;
    right = std::max(right, x + size.width());
    bottom = std::max(bottom, y + size.height());
    rowHeight = std::max(rowHeight, size.height());
    x += size.width() + kGap;
    tiles_.push_back(std::move(tile));
  }
  width_ = right + kBorder;
  height_ = bottom + kBorder;
  w->setFixedSize(width_, height_);
  return made;
}

CSingleDeviceDisplay* CTilePage::Tile(int position) const {
  return position >= 0 && position < TileCount() ? tiles_[static_cast<std::size_t>(position)].get() : nullptr;
}

void CTilePage::BindGroup(const CDisplayItem* group) {
  const std::size_t devices = group ? group->children().size() : 0;
  for (std::size_t i = 0; i < tiles_.size(); ++i) tiles_[i]->Bind(i < devices ? group->children()[i] : nullptr);
}

int CTilePage::BoundCount() const {
  return static_cast<int>(std::count_if(tiles_.begin(), tiles_.end(), [](const auto& t) { return t->BoundItem(); }));
}

bool CTilePage::FocusTile(int position, int button) {
  CSingleDeviceDisplay* t = Tile(position);
  if (!t || !t->BoundItem()) return false;
  t->FocusButton(button);
  return true;
}

int CTilePage::FocusedTile() const {
  for (const auto& t : tiles_)
    if (t->FocusMark()) return t->Position();
  return -1;
}

void CTilePage::OnTileFocused(int position) {
  for (const auto& t : tiles_) t->SetFocusMark(t->Position() == position);
}

void CTilePage::OnTab(int from, bool backwards) {
  const int step = backwards ? -1 : 1;
  for (int p = from + step; p >= 0 && p < TileCount(); p += step)
    if (FocusTile(p)) return;
  OnTileFocused(-1);
  if (onLeave) onLeave();
}

void CTilePage::OnTileOK() {
  if (onOK) onOK();
}

void CTilePage::OnTileCancel() {
  if (onCancel) onCancel();
}

}  // namespace tarquel
