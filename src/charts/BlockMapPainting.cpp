#include "charts/BlockMapPainting.h"

#include "charts/ChartPainting.h"
#include "core/charts/BlockMapCells.h"

#include <QPainter>

namespace qv::charts {

QImage BlockMapImage(const BlockMapCells& cells, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(ChartQColor(BlockMapColor(CELL_UNTESTED)));
    QPainter painter(&image);
    // The grey rectangle reaches one pixel past the right and bottom edges,
    // so its black outline shows on the left and top only.
    painter.setPen(Qt::black);
    painter.drawLine(0, 0, width - 1, 0);
    painter.drawLine(0, 0, 0, height - 1);
    const ChartRect client{0, 0, width, height};
    for (int i = 0; i < kBlockMapCells; ++i) {
        const int state = cells.state(i);
        if (state == CELL_UNTESTED)
            continue;
        painter.fillRect(ChartQRect(BlockMapCellRect(client, i)), ChartQColor(BlockMapColor(state)));
    }
    return image;
}

}  // namespace qv::charts
