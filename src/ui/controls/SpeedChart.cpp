#include "ui/controls/SpeedChart.h"

#include "charts/ChartPainting.h"
#include "core/run/SharedContext.h"
#include "core/settings/Settings.h"

#include <QPainter>

namespace qv::ui {

CSpeedChart::CSpeedChart(QWidget* parent) : CanvasControl(parent)
{
    setFont(charts::ChartFont());
}

charts::SpeedSeriesColors CSpeedChart::seriesColors() const
{
    if (context_ && context_->settings)
        return charts::SpeedSeriesColors::Of(*context_->settings);
    return {Qt::green, Qt::yellow};
}

void CSpeedChart::rebuild()
{
    canvas_ = QPixmap(size());
    QPainter painter(&canvas_);
    painter.setFont(font());
    layout_ = charts::SpeedChartLayoutIn(painter, width(), height());
    charts::PaintSpeedChartFrame(painter, rect(), layout_);
    if (showData_ && context_ && context_->device)
        charts::PaintSpeedSamples(painter, layout_, track_, *context_->device, seriesColors());
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
    const charts::SpeedSeriesColors colors = seriesColors();
    charts::PaintSpeedSegment(painter, from, to, series == 1 ? colors.read : colors.write);
    painter.end();
    update(QRect(QPoint(std::min(from.x, to.x), std::min(from.y, to.y)),
                 QPoint(std::max(from.x, to.x), std::max(from.y, to.y))));
}

}  // namespace qv::ui
