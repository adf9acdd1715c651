#pragma once

#include "core/charts/Gradient.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

// A rectangle as the drawing code uses it: right and bottom are exclusive
// edges, width and height their differences.
struct ChartRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

struct ChartPoint {
    int x = 0;
    int y = 0;
    bool operator==(const ChartPoint&) const = default;
};

// The colours both charts share.
inline constexpr ColorRef kPlotTopColor = Rgb(16, 32, 64);
inline constexpr ColorRef kPlotBottomColor = Rgb(32, 96, 128);
inline constexpr ColorRef kLabelledLineColor = Rgb(112, 112, 112);
inline constexpr ColorRef kPlainLineColor = Rgb(64, 64, 64);

// One grid line: from (x0, y0) to (x1, y1); labelled lines use the light pen.
struct GridLine {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool labelled = false;
};

// A text placed by its anchor: right-aligned at x, centred on x or
// left-aligned at x; top at y.
struct ChartLabel {
    enum Align { Left, Centre, Right };
    std::string text;
    int x = 0;
    int y = 0;
    Align align = Left;
};

}  // namespace qv
