#include "ui/controls/BlockMap.h"

#include "charts/BlockMapPainting.h"
#include "charts/ChartPainting.h"

#include <QPainter>
#include <QPaintEvent>
#include <QThread>
#include <QTimer>

#include <algorithm>

namespace qv::ui {

CBlockMap::CBlockMap(QWidget* parent) : CanvasControl(parent) {}

void CBlockMap::rebuild()
{
    canvas_ = QPixmap::fromImage(charts::BlockMapImage(*this, width(), height()));
}

void CBlockMap::paintCells(int first, int last)
{
    if (canvas_.isNull())
        return;
    QPainter painter(&canvas_);
    const ChartRect client{0, 0, width(), height()};
    for (int i = first; i <= last && i < kBlockMapCells; ++i) {
        const ChartRect r = BlockMapCellRect(client, i);
        painter.fillRect(charts::ChartQRect(r), charts::ChartQColor(BlockMapColor(state(i))));
    }
}

void CBlockMap::cellsChanged(int first, int last)
{
    uint64_t current = changed_.load(std::memory_order_relaxed);
    uint64_t wanted;
    do {
        const int f = int(current >> 32);
        const int l = int(int32_t(uint32_t(current)));
        wanted = uint64_t(std::min(f, first)) << 32 | uint32_t(std::max(l, last));
    } while (!changed_.compare_exchange_weak(current, wanted, std::memory_order_acq_rel));
    if (flushQueued_.exchange(true, std::memory_order_acq_rel))
        return;
    if (QThread::currentThread() == thread()) {
        flushChanged();
        return;
    }
    // Marks from the worker are painted at most every kRepaintMs, so a fast
    // medium does not keep the GUI thread painting cell after cell.
    QMetaObject::invokeMethod(
        this, [this] { QTimer::singleShot(kRepaintMs, this, [this] { flushChanged(); }); }, Qt::QueuedConnection);
}

void CBlockMap::flushChanged()
{
    flushQueued_.store(false, std::memory_order_release);
    const uint64_t range = changed_.exchange(kNothingChanged, std::memory_order_acq_rel);
    const int first = int(range >> 32);
    const int last = int(int32_t(uint32_t(range)));
    if (first > last)
        return;
    if (first == 0 && last == kBlockMapCells - 1) {
        // A clear: every cell back to grey.
        rebuild();
        update();
        return;
    }
    paintCells(first, last);
    const ChartRect client{0, 0, width(), height()};
    const ChartRect a = BlockMapCellRect(client, first);
    const ChartRect b = BlockMapCellRect(client, last);
    if (a.top == b.top)
        update(QRect(QPoint(a.left, a.top), QPoint(b.right, b.bottom)));
    else
        update(QRect(0, a.top, width(), b.bottom - a.top + 1));
}

QImage CBlockMap::renderImage()
{
    flushChanged();
    return CanvasControl::renderImage();
}

}  // namespace qv::ui
