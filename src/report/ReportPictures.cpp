#include "report/ReportPictures.h"

#include "core/charts/BlockMapCells.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>

namespace qv::report {
namespace {

QColor colorOf(ColorRef c)
{
    return QColor(RedOf(c), GreenOf(c), BlueOf(c));
}

}  // namespace

std::string PngOf(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return std::string(bytes.constData(), size_t(bytes.size()));
}

QImage BlockMapImage(const BlockMapCells& cells, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colorOf(BlockMapColor(CELL_UNTESTED)));
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
        const ChartRect r = BlockMapCellRect(client, i);
        painter.fillRect(QRect(r.left, r.top, r.width(), r.height()), colorOf(BlockMapColor(state)));
    }
    return image;
}

std::string BlockMapPng(const BlockMapCells& cells, int width, int height)
{
    return PngOf(BlockMapImage(cells, width, height));
}

}  // namespace qv::report
