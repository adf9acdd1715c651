#pragma once

#include "core/charts/SpeedChartGeometry.h"

#include <QPixmap>
#include <QWidget>

namespace qv {
struct SharedContext;
}

namespace qv::ui {

// The low-level benchmark's line chart: speed over position, a read and a
// write series of 200 samples each, taken from the selected drive's record.
class CSpeedChart : public QWidget {
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

    int nominalMaximum() const { return nominalMaximum_; }
    int fullScale() const { return layout_.scale.fullScale; }
    const SpeedChartLayout& layout() const { return layout_; }
    // The chart as painted (for tests and screenshots).
    QImage renderImage();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void rebuild();
    QColor seriesColor(int series) const;

    SharedContext* context_ = nullptr;
    const int nominalMaximum_ = 20000;
    bool showData_ = false;
    SpeedChartLayout layout_;
    SpeedSeriesTrack track_;
    QPixmap background_;
    // The background with the lines drawn so far; paint copies it.
    QPixmap canvas_;
};

}  // namespace qv::ui
