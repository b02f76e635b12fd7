// The tile page (dialog 132): a grid of tiles made once for the largest
// group, at fixed positions, and bound to the devices of the group whose
// tab is shown. Keyboard focus moves from tile to tile with Tab.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "plugins/display/childdialog.h"
#include "plugins/display/devicedisplay.h"
#include "plugins/display/displayitems.h"

class QWidget;

namespace tarquel {

// Rows and columns of a page: each clamped to 1 to 64, then grown,
// columns first, until they hold the largest group (or are both at 64).
struct GridSize {
  static constexpr std::int32_t kMax = 64;
  std::int32_t rows = 1, columns = 1;
};
GridSize FitGrid(std::int32_t rows, std::int32_t columns, std::int64_t largestGroup);

class CTilePage : public CChildDialog {
 public:
  enum { kDialogId = 132 };
  static constexpr int kFirstX = 3, kFirstY = 6, kGap = 6, kBorder = 12;

  explicit CTilePage(const GlobalParams& globals);
  ~CTilePage() override;

  // count tiles, columns to a row, fewer where a row would be wider than
  // maxWidth (0: no bound); false when one could not be made (the tiles
  // made so far stay).
  bool MakeTiles(int count, int columns, int maxWidth = 0);
  int TileCount() const { return static_cast<int>(tiles_.size()); }
  CSingleDeviceDisplay* Tile(int position) const;
  // The page's size: the tiles' extent and 12 pixels each way.
  int Width() const { return width_; }
  int Height() const { return height_; }

  // The group's devices to the tiles in order, as many as there are
  // tiles; the rest unbound and hidden. null unbinds all.
  void BindGroup(const CDisplayItem* group);
  int BoundCount() const;
  // Focus to a bound tile's button; false when the tile is not bound.
  bool FocusTile(int position, int button = 0);
  // The tile holding the focus mark, or -1.
  int FocusedTile() const;

  // From the tiles.
  void OnTab(int from, bool backwards);
  void OnTileFocused(int position);
  void OnTileOK();
  void OnTileCancel();

  // Set by the overview.
  std::function<void()> onLeave;      // Tab past the last tile: to the tab panel
  std::function<void()> onOK, onCancel;

 protected:
  bool OnInitDialog() override;
  void OnOK() override { OnTileOK(); }
  void OnCancel() override { OnTileCancel(); }
  void OnClose() override {}

 private:
  const GlobalParams& globals_;
  std::vector<std::unique_ptr<CSingleDeviceDisplay>> tiles_;
  int width_ = kBorder, height_ = kBorder;
};

}  // namespace tarquel
