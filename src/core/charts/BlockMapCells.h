#pragma once

#include "core/charts/ChartGeometry.h"
#include "core/device/DeviceRecord.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace qv {

inline constexpr int kBlockMapColumns = 100;
inline constexpr int kBlockMapRows = 30;
inline constexpr int kBlockMapCells = kBlockMapColumns * kBlockMapRows;

enum BlockMapState : int32_t {
    CELL_UNTESTED = 0,
    CELL_GOOD = 1,
    CELL_FAILED = 2,
    CELL_DIFFERS = 3,
};

ColorRef BlockMapColor(int state);

// Rectangle (right and bottom inclusive, as filled and outlined) of cell i.
ChartRect BlockMapCellRect(const ChartRect& client, int cell);

// The cells of a block map. MarkRange runs on the worker thread while the
// GUI thread reads the states to paint: every cell is an atomic, and
// subclasses hear which cells changed so they can ask for a repaint.
class BlockMapCells : public BlockMapSink {
public:
    BlockMapCells();

    void Clear() override;
    void SetUnits(int64_t unitCount, int64_t nextUnit) override;
    void MarkRange(int64_t unit, int state) override;

    int state(int cell) const { return cells_[cell].load(std::memory_order_relaxed); }
    int markedCells() const { return markedCells_.load(std::memory_order_relaxed); }
    int64_t unitCount() const { return unitCount_; }
    int64_t nextUnit() const { return nextUnit_; }
    // Number of cells in each state, for summaries.
    int count(int state) const;

protected:
    // Cells first..last changed (called on the marking thread).
    virtual void cellsChanged(int first, int last) { (void)first; (void)last; }

private:
    std::unique_ptr<std::atomic<int32_t>[]> cells_;
    std::atomic<int> markedCells_{0};
    // Written by the GUI thread before a run, then only by the marking thread.
    int64_t unitCount_ = 0;
    int64_t nextUnit_ = 0;
};

}  // namespace qv
