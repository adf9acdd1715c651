#pragma once

#include "core/charts/ChartGeometry.h"

#include <QColor>
#include <QFont>
#include <QRect>

class QPainter;

namespace qv::charts {

inline QColor ChartQColor(ColorRef c)
{
    return QColor(RedOf(c), GreenOf(c), BlueOf(c));
}

// (left, top)-(right, bottom) with exclusive right and bottom edges.
inline QRect ChartQRect(const ChartRect& r)
{
    return QRect(r.left, r.top, r.width(), r.height());
}

// The charts' 8-point Arial: Liberation Sans has the same metrics.
inline QFont ChartFont(bool bold = false)
{
    QFont font(QStringLiteral("Liberation Sans"), 8, bold ? QFont::Bold : QFont::Normal);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

// What both charts paint first: the white client, the plot's vertical
// gradient and the two-pixel black frame just outside the plot.
void PaintChartBackground(QPainter& painter, const QRect& client, const ChartRect& plot);

// One grid line in the light (labelled) or dark pen.
void PaintGridLine(QPainter& painter, const GridLine& line, Qt::PenStyle style);

// A label at its anchor (right-aligned, centred or left-aligned at x, top at y).
void PaintChartLabel(QPainter& painter, const ChartLabel& label);

}  // namespace qv::charts
