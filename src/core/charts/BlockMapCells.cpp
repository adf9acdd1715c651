#include "core/charts/BlockMapCells.h"

namespace qv {

ColorRef BlockMapColor(int state)
{
    switch (state) {
    case CELL_GOOD:
        return Rgb(0, 255, 0);
    case CELL_FAILED:
        return Rgb(255, 0, 0);
    case CELL_DIFFERS:
        return Rgb(0, 0, 255);
    default:
        return Rgb(208, 208, 208);
    }
}

ChartRect BlockMapCellRect(const ChartRect& client, int cell)
{
    const int column = cell % kBlockMapColumns;
    const int row = cell / kBlockMapColumns;
    const int w = client.width(), h = client.height();
    ChartRect r;
    r.left = client.left + (column * w) / kBlockMapColumns;
    r.right = client.left + ((column + 1) * w) / kBlockMapColumns;
    r.top = client.top + (row * h) / kBlockMapRows;
    r.bottom = client.top + ((row + 1) * h) / kBlockMapRows;
    if (r.left == client.left)
        r.left = client.left + 1;
    if (r.top == client.top)
        r.top = client.top + 1;
    return r;
}

BlockMapCells::BlockMapCells() : cells_(new std::atomic<int32_t>[kBlockMapCells])
{
    for (int i = 0; i < kBlockMapCells; ++i)
        cells_[i].store(CELL_UNTESTED, std::memory_order_relaxed);
}

void BlockMapCells::Clear()
{
    for (int i = 0; i < kBlockMapCells; ++i)
        cells_[i].store(CELL_UNTESTED, std::memory_order_relaxed);
    markedCells_.store(0, std::memory_order_relaxed);
    cellsChanged(0, kBlockMapCells - 1);
}

void BlockMapCells::SetUnits(int64_t unitCount, int64_t nextUnit)
{
    unitCount_ = unitCount;
    nextUnit_ = nextUnit;
}

void BlockMapCells::MarkRange(int64_t unit, int state)
{
    if (unitCount_ <= 0 || unit < nextUnit_)
        return;
    auto clamp = [](int64_t cell) {
        return int(cell < 0 ? 0 : cell >= kBlockMapCells ? kBlockMapCells - 1 : cell);
    };
    // From the cell where the first unit begins to the cell where the last
    // one ends, so that maps of fewer units than cells show no gaps.
    const int first = clamp(nextUnit_ * kBlockMapCells / unitCount_);
    const int last = clamp(((unit + 1) * kBlockMapCells - 1) / unitCount_);
    for (int i = first; i <= last; ++i)
        if (cells_[i].load(std::memory_order_relaxed) != CELL_FAILED)
            cells_[i].store(state, std::memory_order_relaxed);
    markedCells_.store(last, std::memory_order_relaxed);
    nextUnit_ = unit + 1;
    cellsChanged(first, last);
}

int BlockMapCells::count(int state) const
{
    int n = 0;
    for (int i = 0; i < kBlockMapCells; ++i)
        n += this->state(i) == state;
    return n;
}

}  // namespace qv
