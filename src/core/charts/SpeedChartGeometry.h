#pragma once

#include "core/charts/ChartGeometry.h"

namespace qv {

// The vertical scale of the speed chart, derived from its nominal maximum.
struct SpeedScale {
    int unit = 0;
    int step = 0;
    int lines = 0;
    int topValue = 0;
    double ratio = 1;
    int fullScale = 0;  // sample value at the plot's top edge
};

// Needs nominalMaximum >= 10; smaller values are taken as 10.
SpeedScale ComputeSpeedScale(int nominalMaximum);

// The text of the label on grid line i (even i only), top line first.
std::string SpeedScaleLabel(const SpeedScale& scale, int i);

// Everything the speed chart draws except the samples, for a client
// rectangle and the measured width and height of "11999 X".
struct SpeedChartLayout {
    ChartRect plot;
    SpeedScale scale;
    std::vector<GridLine> lines;  // horizontal scale lines, then the position axis
    std::vector<ChartLabel> labels;
    ChartLabel title;
};

SpeedChartLayout LayoutSpeedChart(const ChartRect& client, int textWidth, int textHeight,
                                  int nominalMaximum, const std::string& title);

// Where sample `value` at index 0..199 is plotted.
ChartPoint SpeedChartPoint(const ChartRect& plot, int fullScale, int index, int value);

// The last point of each series and the segment a new sample adds.
class SpeedSeriesTrack {
public:
    // The segment to draw for a new point, if any (index 0 only starts).
    bool AddPoint(const ChartRect& plot, int fullScale, int index, int value, int series,
                  ChartPoint* from, ChartPoint* to);
    ChartPoint last(int series) const { return last_[series == 2 ? 1 : 0]; }

private:
    ChartPoint last_[2];
};

}  // namespace qv
