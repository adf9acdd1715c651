#include "charts/FileSpeedChartPainting.h"

#include "charts/ChartPainting.h"
#include "charts/DrawGradient.h"
#include "core/device/DeviceRecord.h"
#include "core/text/StringIds.h"
#include "core/text/StringTable.h"

#include <QPainter>

namespace qv::charts {
namespace {

int32_t speedOf(const DeviceRecord& record, int row, int series)
{
    return series == 2 ? record.fileWriteSpeeds[row] : record.fileReadSpeeds[row];
}

}  // namespace

ChartRect FileSpeedChartPlotIn(QPainter& painter, int width, int height)
{
    const QFontMetrics metrics = painter.fontMetrics();
    return FileSpeedChartPlot({0, 0, width, height}, metrics.horizontalAdvance(QStringLiteral(" 10 MB ")),
                              metrics.height());
}

void PaintFileSpeedChartFrame(QPainter& painter, const QRect& client, const ChartRect& plot, int speedMaximum,
                              const int32_t (&sizesMB)[kFileChartRows])
{
    const int h = painter.fontMetrics().height();
    PaintChartBackground(painter, client, plot);
    painter.setPen(Qt::black);
    for (int k = 0; k < kFileChartRows; ++k) {
        const std::string text = std::to_string(sizesMB[k]) + " " + LoadText(str::kMegabytes);
        PaintChartLabel(painter, {text, plot.left - 4, FileSpeedRowLabelTop(plot, k, h), ChartLabel::Right});
    }
    std::vector<GridLine> lines;
    std::vector<ChartLabel> labels;
    LayoutFileSpeedAxis(plot, speedMaximum, &lines, &labels);
    for (const GridLine& line : lines)
        PaintGridLine(painter, line, Qt::SolidLine);
    painter.setPen(Qt::black);
    for (const ChartLabel& label : labels)
        PaintChartLabel(painter, label);
    PaintChartLabel(painter, {LoadText(str::kFileSizeChartTitle), plot.left, plot.top - h - 2, ChartLabel::Left});
}

FileSpeedBar PaintFileSpeedBar(QPainter& painter, const ChartRect& plot, int speedMaximum, int row, int series,
                               int v)
{
    painter.save();
    painter.setFont(ChartFont(true));
    const QFontMetrics metrics = painter.fontMetrics();
    const QString text = QString::number(v) + QLatin1Char(' ') + QString::fromStdString(LoadText(str::kKilobytesPerSecond));
    const int width = metrics.horizontalAdvance(text);
    const FileSpeedBar bar = LayoutFileSpeedBar(plot, speedMaximum, row, series, v, width, metrics.height());
    const ColorRef dark = series == 2 ? kWriteBarDark : kReadBarDark;
    const ColorRef bright = series == 2 ? kWriteBarBright : kReadBarBright;
    DrawGradient(painter, bar.rect.left, bar.rect.top, bar.rect.right, bar.rect.bottom, dark, bright, kGradientRows);
    painter.setPen(ChartQColor(bright));
    painter.setBrush(Qt::NoBrush);
    if (bar.rect.width() > 0)
        painter.drawRect(QRect(bar.rect.left, bar.rect.top, bar.rect.width() - 1, bar.rect.height() - 1));
    // The value in white with a black shadow, readable on either bar.
    const QRect place(bar.labelRight - width, bar.labelTop, width + 1, metrics.height());
    painter.setPen(Qt::black);
    painter.drawText(place.translated(1, 1), Qt::AlignLeft | Qt::AlignTop, text);
    painter.setPen(Qt::white);
    painter.drawText(place, Qt::AlignLeft | Qt::AlignTop, text);
    painter.restore();
    return bar;
}

QImage FileSpeedChartImage(const DeviceRecord& record, const int32_t (&sizesMB)[kFileChartRows], int width,
                           int height)
{
    int speedMaximum = kFileSpeedChartFirstMaximum;
    for (int k = 0; k < kFileChartRows; ++k)
        for (int series : {2, 1})
            RaiseSpeedMaximum(&speedMaximum, speedOf(record, k, series));
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setFont(ChartFont());
    const ChartRect plot = FileSpeedChartPlotIn(painter, width, height);
    PaintFileSpeedChartFrame(painter, image.rect(), plot, speedMaximum, sizesMB);
    for (int k = 0; k < kFileChartRows; ++k)
        for (int series : {2, 1})
            if (const int32_t v = speedOf(record, k, series); v > 0)
                PaintFileSpeedBar(painter, plot, speedMaximum, k, series, v);
    return image;
}

}  // namespace qv::charts
