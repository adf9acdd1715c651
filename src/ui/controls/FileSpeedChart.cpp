#include "ui/controls/FileSpeedChart.h"
#include "core/text/StringIds.h"

#include "core/run/SharedContext.h"
#include "core/settings/Settings.h"
#include "ui/app/DrawGradient.h"
#include "ui/app/Fonts.h"
#include "ui/app/Text.h"
#include "ui/controls/ChartPainting.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>

namespace qv::ui {

CFileSpeedChart::CFileSpeedChart(QWidget* parent) : CanvasControl(parent)
{
    setFont(ArialFont(8));
}

int CFileSpeedChart::fileSize(int index) const
{
    return context_ && context_->settings ? context_->settings->fileSizesMB[index] : 0;
}

void CFileSpeedChart::rebuild()
{
    const QFontMetrics metrics(font());
    const int h = metrics.height();
    plot_ = FileSpeedChartPlot({0, 0, width(), height()}, metrics.horizontalAdvance(QStringLiteral(" 10 MB ")), h);
    canvas_ = QPixmap(size());
    QPainter painter(&canvas_);
    painter.setFont(font());
    PaintChartBackground(painter, rect(), plot_);
    painter.setPen(Qt::black);
    for (int k = 0; k < kFileChartRows; ++k) {
        const std::string text = std::to_string(fileSize(k)) + " " + LoadText(str::kMegabytes);
        PaintChartLabel(painter, {text, plot_.left - 4, FileSpeedRowLabelTop(plot_, k, h), ChartLabel::Right});
    }
    std::vector<GridLine> lines;
    std::vector<ChartLabel> labels;
    LayoutFileSpeedAxis(plot_, speedMaximum_, &lines, &labels);
    for (const GridLine& line : lines)
        PaintGridLine(painter, line, Qt::SolidLine);
    painter.setPen(Qt::black);
    for (const ChartLabel& label : labels)
        PaintChartLabel(painter, label);
    PaintChartLabel(painter, {LoadText(str::kFileSizeChartTitle), plot_.left, plot_.top - h - 2, ChartLabel::Left});
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
    QFont bold = ArialFont(8, true);
    const QFontMetrics metrics(bold);
    const QString text = QString::number(v) + QLatin1Char(' ') + Text(str::kKilobytesPerSecond);
    const FileSpeedBar bar = LayoutFileSpeedBar(plot_, speedMaximum_, index, series, v,
                                                metrics.horizontalAdvance(text), metrics.height());
    const ColorRef dark = series == 2 ? kWriteBarDark : kReadBarDark;
    const ColorRef bright = series == 2 ? kWriteBarBright : kReadBarBright;
    QPainter painter(&canvas_);
    DrawGradient(painter, bar.rect.left, bar.rect.top, bar.rect.right, bar.rect.bottom, dark, bright, kGradientRows);
    painter.setPen(ChartQColor(bright));
    painter.setBrush(Qt::NoBrush);
    if (bar.rect.width() > 0)
        painter.drawRect(QRect(bar.rect.left, bar.rect.top, bar.rect.width() - 1, bar.rect.height() - 1));
    painter.setFont(bold);
    const int width = metrics.horizontalAdvance(text);
    const QRect place(bar.labelRight - width, bar.labelTop, width + 1, metrics.height());
    painter.setPen(Qt::black);
    painter.drawText(place.translated(1, 1), Qt::AlignLeft | Qt::AlignTop, text);
    painter.setPen(Qt::white);
    painter.drawText(place, Qt::AlignLeft | Qt::AlignTop, text);
    painter.end();
    update(QRect(plot_.left, bar.rect.top, plot_.width() + 2, 16));
}

}  // namespace qv::ui
