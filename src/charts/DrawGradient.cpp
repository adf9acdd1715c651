#include "charts/DrawGradient.h"

#include <QColor>
#include <QPainter>
#include <QPen>

namespace qv::charts {

void DrawGradient(QPainter& painter, int left, int top, int right, int bottom, ColorRef from, ColorRef to,
                  int direction)
{
    const bool rows = direction == kGradientRows;
    const int n = rows ? bottom - top : right - left;
    if (n <= 0)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (int i = 0; i < n; ++i) {
        const ColorRef c = GradientLineColor(from, to, i, n);
        painter.setPen(QPen(QColor(RedOf(c), GreenOf(c), BlueOf(c)), 0));
        // The end point is exclusive, as a line to (right, y) leaves it out.
        if (rows) {
            if (right > left)
                painter.drawLine(left, top + i, right - 1, top + i);
        } else if (bottom > top) {
            painter.drawLine(left + i, top, left + i, bottom - 1);
        }
    }
    painter.restore();
}

}  // namespace qv::charts
