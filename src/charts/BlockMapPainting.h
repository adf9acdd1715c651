#pragma once

#include <QImage>

namespace qv {
class BlockMapCells;
}

namespace qv::charts {

// A block map drawn as the page draws it, at that size: grey untested
// cells, a black line on the left and top, each marked cell in its colour.
QImage BlockMapImage(const BlockMapCells& cells, int width, int height);

}  // namespace qv::charts
