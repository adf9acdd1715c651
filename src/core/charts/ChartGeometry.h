#pragma once

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

// RGB colour, 0xRRGGBB.
using ChartColor = uint32_t;

// The colours both charts share.
inline constexpr ChartColor kPlotTopColor = 0x102040;     // RGB(16, 32, 64)
inline constexpr ChartColor kPlotBottomColor = 0x206080;  // RGB(32, 96, 128)
inline constexpr ChartColor kLabelledLineColor = 0x707070;
inline constexpr ChartColor kPlainLineColor = 0x404040;

// One grid line: from (x0, y0) to (x1, y1); labelled lines use the light pen.
struct GridLine {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool labelled = false;
};

// A text placed by its anchor: right-aligned at x (alignRight), centred on x
// (alignCentre) or left-aligned at x; top at y.
struct ChartLabel {
    enum Align { Left, Centre, Right };
    std::string text;
    int x = 0;
    int y = 0;
    Align align = Left;
};

// The colour of one row of a vertical two-colour gradient of n rows, the way
// DrawGradient mixes it (integer division towards zero, clamped).
ChartColor GradientColor(ChartColor from, ChartColor to, int row, int rows);

}  // namespace qv
