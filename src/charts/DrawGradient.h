#pragma once

#include "core/charts/Gradient.h"

class QPainter;

namespace qv::charts {

inline constexpr int kGradientRows = 1;     // one horizontal line per row, top to bottom
inline constexpr int kGradientColumns = 0;  // one vertical line per column, left to right

// A two-colour line gradient over the rectangle (left, top)-(right, bottom),
// right and bottom exclusive. Rows when direction is 1, columns otherwise.
void DrawGradient(QPainter& painter, int left, int top, int right, int bottom, ColorRef from, ColorRef to,
                  int direction);

}  // namespace qv::charts
