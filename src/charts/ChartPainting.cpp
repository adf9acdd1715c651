#include "charts/ChartPainting.h"

#include "charts/DrawGradient.h"

#include <QFontMetrics>
#include <QPainter>

namespace qv::charts {

void PaintChartBackground(QPainter& painter, const QRect& client, const ChartRect& plot)
{
    painter.fillRect(client, Qt::white);
    DrawGradient(painter, plot.left, plot.top, plot.right, plot.bottom, kPlotTopColor, kPlotBottomColor,
                 kGradientRows);
    QPen frame(Qt::black);
    frame.setWidth(1);
    painter.setPen(frame);
    painter.setBrush(Qt::NoBrush);
    // Two one-pixel rectangles: from (left - 1, top - 1) to (right + 1, bottom + 1).
    painter.drawRect(QRect(QPoint(plot.left - 1, plot.top - 1), QPoint(plot.right, plot.bottom)));
    painter.drawRect(QRect(QPoint(plot.left - 2, plot.top - 2), QPoint(plot.right + 1, plot.bottom + 1)));
}

void PaintGridLine(QPainter& painter, const GridLine& line, Qt::PenStyle style)
{
    QPen pen(ChartQColor(line.labelled ? kLabelledLineColor : kPlainLineColor));
    pen.setWidth(1);
    pen.setStyle(style);
    painter.setPen(pen);
    painter.drawLine(line.x0, line.y0, line.x1, line.y1);
}

void PaintChartLabel(QPainter& painter, const ChartLabel& label)
{
    const QFontMetrics metrics = painter.fontMetrics();
    const QString text = QString::fromStdString(label.text);
    const int width = metrics.horizontalAdvance(text);
    int x = label.x;
    if (label.align == ChartLabel::Right)
        x -= width;
    else if (label.align == ChartLabel::Centre)
        x -= width / 2;
    painter.drawText(QRect(x, label.y, width + 1, metrics.height()), Qt::AlignLeft | Qt::AlignTop, text);
}

}  // namespace qv::charts
