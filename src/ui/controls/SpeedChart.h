#pragma once

#include "charts/SpeedChartPainting.h"

#include "ui/controls/CanvasControl.h"

namespace qv {
struct SharedContext;
}

namespace qv::ui {

// The low-level benchmark's line chart: speed over position, a read and a
// write series of 200 samples each, taken from the selected drive's record.
class CSpeedChart : public CanvasControl {
    Q_OBJECT
public:
    explicit CSpeedChart(QWidget* parent = nullptr);

    void setContext(SharedContext* context) { context_ = context; }
    void setShowData(bool show) { showData_ = show; }
    bool showData() const { return showData_; }

    // Rebuilds the background and replays the stored samples at once.
    void Redraw();
    void Rescale() { Redraw(); }
    // One new sample: index 0..199, series 1 (read) or 2 (write).
    void AddPoint(int index, int value, int series);

    int nominalMaximum() const { return charts::kSpeedChartNominalMaximum; }
    int fullScale() const { return layout_.scale.fullScale; }
    const SpeedChartLayout& layout() const { return layout_; }

private:
    void rebuild() override;
    charts::SpeedSeriesColors seriesColors() const;

    SharedContext* context_ = nullptr;
    bool showData_ = false;
    SpeedChartLayout layout_;
    SpeedSeriesTrack track_;
};

}  // namespace qv::ui
