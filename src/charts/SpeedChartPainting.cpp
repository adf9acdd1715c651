#include "charts/SpeedChartPainting.h"

#include "charts/ChartPainting.h"
#include "core/device/DeviceRecord.h"
#include "core/settings/Settings.h"
#include "core/text/StringIds.h"
#include "core/text/StringTable.h"

#include <QPainter>

namespace qv::charts {

SpeedSeriesColors SpeedSeriesColors::Of(const Settings& settings)
{
    return {ChartQColor(settings.readColor), ChartQColor(settings.writeColor)};
}

SpeedChartLayout SpeedChartLayoutIn(QPainter& painter, int width, int height)
{
    const QFontMetrics metrics = painter.fontMetrics();
    return LayoutSpeedChart({0, 0, width, height}, metrics.horizontalAdvance(QStringLiteral("11999 X")),
                            metrics.height(), kSpeedChartNominalMaximum, LoadText(str::kSpeedChartTitle));
}

void PaintSpeedChartFrame(QPainter& painter, const QRect& client, const SpeedChartLayout& layout)
{
    PaintChartBackground(painter, client, layout.plot);
    for (const GridLine& line : layout.lines)
        PaintGridLine(painter, line, Qt::DotLine);
    painter.setPen(Qt::black);
    for (const ChartLabel& label : layout.labels)
        PaintChartLabel(painter, label);
    PaintChartLabel(painter, layout.title);
}

void PaintSpeedSegment(QPainter& painter, const ChartPoint& from, const ChartPoint& to, const QColor& color)
{
    painter.setPen(QPen(color, 1));
    painter.drawLine(from.x, from.y, to.x, to.y);
}

void PaintSpeedSamples(QPainter& painter, const SpeedChartLayout& layout, SpeedSeriesTrack& track,
                       const DeviceRecord& record, const SpeedSeriesColors& colors)
{
    const struct {
        int series;
        const int32_t* samples;
        int32_t count;
        QColor color;
    } runs[] = {{1, record.readSamples, record.readSampleCount, colors.read},
                {2, record.writeSamples, record.writeSampleCount, colors.write}};
    for (const auto& run : runs) {
        if (!(record.benchTests & run.series))
            continue;
        for (int i = 0; i < run.count && i < kBenchSamples; ++i) {
            ChartPoint from, to;
            if (track.AddPoint(layout.plot, layout.scale.fullScale, i, run.samples[i], run.series, &from, &to))
                PaintSpeedSegment(painter, from, to, run.color);
        }
    }
}

QImage SpeedChartImage(const DeviceRecord& record, const SpeedSeriesColors& colors, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setFont(ChartFont());
    const SpeedChartLayout layout = SpeedChartLayoutIn(painter, width, height);
    PaintSpeedChartFrame(painter, image.rect(), layout);
    SpeedSeriesTrack track;
    PaintSpeedSamples(painter, layout, track, record, colors);
    return image;
}

}  // namespace qv::charts
