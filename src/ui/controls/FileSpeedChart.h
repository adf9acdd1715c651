#pragma once

#include "charts/FileSpeedChartPainting.h"

#include "ui/controls/CanvasControl.h"

namespace qv {
struct SharedContext;
}

namespace qv::ui {

// The file benchmark's bar chart: for each of the seven file sizes a write
// bar above a read bar, on a speed axis that only ever grows.
class CFileSpeedChart : public CanvasControl {
    Q_OBJECT
public:
    explicit CFileSpeedChart(QWidget* parent = nullptr);

    void setContext(SharedContext* context) { context_ = context; }
    void setShowData(bool show) { showData_ = show; }

    // Paints the whole chart again at once.
    void Redraw();
    // One bar: index 0..6, series 1 (read) or 2 (write). A value beyond the
    // scale raises the scale and asks the page to repaint (redrawPending).
    void DrawBar(int index, int series);

    int speedMaximum() const { return speedMaximum_; }
    const ChartRect& plot() const { return plot_; }

private:
    void rebuild() override;
    SharedContext* context_ = nullptr;
    bool showData_ = false;
    int speedMaximum_ = charts::kFileSpeedChartFirstMaximum;
    ChartRect plot_;
};

}  // namespace qv::ui
