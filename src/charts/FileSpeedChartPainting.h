#pragma once

#include "core/charts/FileSpeedChartGeometry.h"

#include <QImage>

#include <cstdint>

class QPainter;
class QRect;

namespace qv {
struct DeviceRecord;
}

namespace qv::charts {

// The speed axis (KB/s) a chart starts with; it only ever grows.
inline constexpr int kFileSpeedChartFirstMaximum = 1000;

// The plot on a client of that size, measured in the painter's font.
ChartRect FileSpeedChartPlotIn(QPainter& painter, int width, int height);

// Everything but the bars: the background, a label per file size (sizesMB,
// one per row), the speed axis up to speedMaximum and the title.
void PaintFileSpeedChartFrame(QPainter& painter, const QRect& client, const ChartRect& plot, int speedMaximum,
                              const int32_t (&sizesMB)[kFileChartRows]);

// The bar of v KB/s (v > 0, within the axis) with its value label; row
// 0..6, series 1 (read) or 2 (write). Where it went, for a repaint.
FileSpeedBar PaintFileSpeedBar(QPainter& painter, const ChartRect& plot, int speedMaximum, int row, int series,
                               int v);

// The chart of the record's run at that size, as the page shows it: the
// axis raised to hold every speed, each size's write bar, then its read bar.
QImage FileSpeedChartImage(const DeviceRecord& record, const int32_t (&sizesMB)[kFileChartRows], int width,
                           int height);

}  // namespace qv::charts
