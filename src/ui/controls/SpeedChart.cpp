#include "ui/controls/SpeedChart.h"
#include "core/text/StringIds.h"

#include "core/run/SharedContext.h"
#include "core/settings/Settings.h"
#include "ui/app/Fonts.h"
#include "ui/app/Text.h"
#include "ui/controls/ChartPainting.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>

namespace qv::ui {

CSpeedChart::CSpeedChart(QWidget* parent) : CanvasControl(parent)
{
    setFont(ArialFont(8));
}

QColor CSpeedChart::seriesColor(int series) const
{
    if (context_ && context_->settings)
        return ChartQColor(series == 1 ? context_->settings->readColor : context_->settings->writeColor);
    return series == 1 ? Qt::green : Qt::yellow;
}

void CSpeedChart::rebuild()
{
    const QFontMetrics metrics(font());
    const ChartRect client{0, 0, width(), height()};
    layout_ = LayoutSpeedChart(client, metrics.horizontalAdvance(QStringLiteral("11999 X")), metrics.height(),
                               nominalMaximum_, LoadText(str::kSpeedChartTitle));
    background_ = QPixmap(size());
    QPainter painter(&background_);
    painter.setFont(font());
    PaintChartBackground(painter, rect(), layout_.plot);
    for (const GridLine& line : layout_.lines)
        PaintGridLine(painter, line, Qt::DotLine);
    painter.setPen(Qt::black);
    for (const ChartLabel& label : layout_.labels)
        PaintChartLabel(painter, label);
    PaintChartLabel(painter, layout_.title);
    painter.end();
    canvas_ = background_;

    if (!showData_ || !context_ || !context_->device)
        return;
    const DeviceRecord& record = *context_->device;
    if (record.benchTests & 1)
        for (int i = 0; i < record.readSampleCount && i < kBenchSamples; ++i)
            AddPoint(i, record.readSamples[i], 1);
    if (record.benchTests & 2)
        for (int i = 0; i < record.writeSampleCount && i < kBenchSamples; ++i)
            AddPoint(i, record.writeSamples[i], 2);
}

void CSpeedChart::Redraw()
{
    rebuild();
    update();
}

void CSpeedChart::AddPoint(int index, int value, int series)
{
    ChartPoint from, to;
    if (!track_.AddPoint(layout_.plot, layout_.scale.fullScale, index, value, series, &from, &to))
        return;
    if (canvas_.isNull())
        return;
    QPainter painter(&canvas_);
    painter.setPen(QPen(seriesColor(series), 1));
    painter.drawLine(from.x, from.y, to.x, to.y);
    painter.end();
    update(QRect(QPoint(std::min(from.x, to.x), std::min(from.y, to.y)),
                 QPoint(std::max(from.x, to.x), std::max(from.y, to.y))));
}

}  // namespace qv::ui
