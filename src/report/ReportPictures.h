#pragma once

#include <string>

class QImage;

namespace qv {
class BlockMapCells;
}

namespace qv::report {

// The image encoded as PNG (a report picture's bytes).
std::string PngOf(const QImage& image);

// A block map drawn as the page draws it, at that size: grey untested
// cells, a black line on the left and top, each marked cell in its colour.
QImage BlockMapImage(const BlockMapCells& cells, int width, int height);
// The same as PNG, for a report.
std::string BlockMapPng(const BlockMapCells& cells, int width = 500, int height = 150);

}  // namespace qv::report
