#pragma once

#include "core/charts/ChartGeometry.h"

namespace qv {

inline constexpr int kFileChartRows = 7;
inline constexpr ColorRef kWriteBarDark = Rgb(128, 128, 0), kWriteBarBright = Rgb(255, 255, 0);
inline constexpr ColorRef kReadBarDark = Rgb(0, 128, 0), kReadBarBright = Rgb(0, 255, 0);

// The plot of the bar chart for a client rectangle and the measured width
// and height of " 10 MB ".
ChartRect FileSpeedChartPlot(const ChartRect& client, int textWidth, int textHeight);

// Number of 500 KB/s intervals of the speed axis.
int FileSpeedAxisCount(int speedMaximum);

// The axis lines and their numbers (lines 500 KB/s apart).
void LayoutFileSpeedAxis(const ChartRect& plot, int speedMaximum, std::vector<GridLine>* lines,
                         std::vector<ChartLabel>* labels);

// The top of the label of row k (file size k), centred on the row.
int FileSpeedRowLabelTop(const ChartRect& plot, int row, int textHeight);

// Raises the scale to hold v (KB/s): true when it changed, in which case the
// whole chart must be repainted and the bar is not drawn now.
bool RaiseSpeedMaximum(int* speedMaximum, int v);

// Where a bar goes: series 2 (write) above the row centre, 1 (read) below.
struct FileSpeedBar {
    ChartRect rect;
    int labelRight = 0;  // right end of the value label
    int labelTop = 0;
};

FileSpeedBar LayoutFileSpeedBar(const ChartRect& plot, int speedMaximum, int row, int series, int v,
                                int labelWidth, int labelHeight);

}  // namespace qv
