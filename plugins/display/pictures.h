// The display control's icons and bitmaps, by resource number (131 to
// 137), shipped inside the plug-in.
#pragma once
#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <vector>

namespace tarquel {

QPixmap Picture(int resource);
// The image list of the tabs and the tree: 136, 132, 135.
std::vector<QIcon> ImageList();

// The fonts of the tiles: the platform's sans font, height and average
// width in pixels, weight 100 to 900.
QFont SansFont(int height, int width, int weight);

}  // namespace tarquel
