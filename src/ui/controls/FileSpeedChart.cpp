#include "ui/controls/FileSpeedChart.h"

#include "charts/ChartPainting.h"
#include "core/run/SharedContext.h"
#include "core/settings/Settings.h"

#include <QPainter>

namespace qv::ui {

CFileSpeedChart::CFileSpeedChart(QWidget* parent) : CanvasControl(parent)
{
    setFont(charts::ChartFont());
}

void CFileSpeedChart::rebuild()
{
    int32_t sizes[kFileChartRows] = {};
    if (context_ && context_->settings)
        std::copy(context_->settings->fileSizesMB, context_->settings->fileSizesMB + kFileChartRows, sizes);
    canvas_ = QPixmap(size());
    QPainter painter(&canvas_);
    painter.setFont(font());
    plot_ = charts::FileSpeedChartPlotIn(painter, width(), height());
    charts::PaintFileSpeedChartFrame(painter, rect(), plot_, speedMaximum_, sizes);
    painter.end();
    if (showData_)
        for (int k = 0; k < kFileChartRows; ++k) {
            DrawBar(k, 2);
            DrawBar(k, 1);
        }
}

void CFileSpeedChart::Redraw()
{
    rebuild();
    update();
}

void CFileSpeedChart::DrawBar(int index, int series)
{
    if (!context_ || !context_->device || index < 0 || index >= kFileChartRows)
        return;
    const DeviceRecord& record = *context_->device;
    const int v = series == 2 ? record.fileWriteSpeeds[index] : record.fileReadSpeeds[index];
    if (v <= 0)
        return;
    if (RaiseSpeedMaximum(&speedMaximum_, v)) {
        if (context_->status)
            context_->status->redrawPending.store(1, std::memory_order_relaxed);
        return;
    }
    if (canvas_.isNull())
        return;
    QPainter painter(&canvas_);
    const FileSpeedBar bar = charts::PaintFileSpeedBar(painter, plot_, speedMaximum_, index, series, v);
    painter.end();
    update(QRect(plot_.left, bar.rect.top, plot_.width() + 2, 16));
}

}  // namespace qv::ui
