#pragma once

#include "core/charts/SpeedChartGeometry.h"

#include <QColor>
#include <QImage>

class QPainter;

namespace qv {
struct DeviceRecord;
struct Settings;
}

namespace qv::charts {

// The speed (in units of 1000 bytes/s) the scale is laid out for.
inline constexpr int kSpeedChartNominalMaximum = 20000;

// The colours of the read (1) and the write (2) series.
struct SpeedSeriesColors {
    QColor read;
    QColor write;

    // The colours the user chose in the settings.
    static SpeedSeriesColors Of(const Settings& settings);
};

// The chart's layout on a client of that size, measured in the painter's font.
SpeedChartLayout SpeedChartLayoutIn(QPainter& painter, int width, int height);

// Everything but the samples on the client the layout was made for: the
// background, the scale lines, their labels and the title.
void PaintSpeedChartFrame(QPainter& painter, const QRect& client, const SpeedChartLayout& layout);

// The segment a new sample adds to its series (SpeedSeriesTrack::AddPoint).
void PaintSpeedSegment(QPainter& painter, const ChartPoint& from, const ChartPoint& to, const QColor& color);

// The record's samples of the tests it ran, read series first; track
// holds the last point of each series afterwards.
void PaintSpeedSamples(QPainter& painter, const SpeedChartLayout& layout, SpeedSeriesTrack& track,
                       const DeviceRecord& record, const SpeedSeriesColors& colors);

// The chart of the record's run at that size, as the page shows it.
QImage SpeedChartImage(const DeviceRecord& record, const SpeedSeriesColors& colors, int width, int height);

}  // namespace qv::charts
