#pragma once

#include "core/charts/BlockMapCells.h"

#include "ui/controls/CanvasControl.h"

#include <atomic>

namespace qv::ui {

// The error scan's block map: 3000 cells in 100 columns and 30 rows, each
// coloured by its state. The worker marks cells from its own thread; the
// control repaints the changed cells through the GUI's event loop.
class CBlockMap : public CanvasControl, public BlockMapCells {
    Q_OBJECT
public:
    explicit CBlockMap(QWidget* parent = nullptr);

    QSize sizeHint() const override { return {500, 150}; }
    static constexpr int kRepaintMs = 25;

    QImage renderImage() override;

protected:
    // Marking thread: widen the pending range and ask for one flush.
    void cellsChanged(int first, int last) override;

private:
    void rebuild() override;
    void flushChanged();
    void paintCells(int first, int last);

    // The cells changed since the last flush, first in the high half and
    // last in the low half, so that both move together.
    static constexpr uint64_t kNothingChanged = uint64_t(kBlockMapCells) << 32 | 0xFFFFFFFFu;
    std::atomic<uint64_t> changed_{kNothingChanged};
    std::atomic<bool> flushQueued_{false};
};

}  // namespace qv::ui
