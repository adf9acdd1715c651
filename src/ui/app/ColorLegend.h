#pragma once

#include "core/charts/Gradient.h"

#include <QWidget>

namespace qv::ui {

// The benchmark pages' legend: a small square in the curve's colour and its
// text, on white.
class CColorLegend : public QWidget {
    Q_OBJECT
public:
    explicit CColorLegend(QWidget* parent = nullptr);

    // Takes effect at the next repaint.
    void SetLegendColor(ColorRef color) { color_ = color; }
    void SetLegendText(const QString& text);

    ColorRef legendColor() const { return color_; }
    const QString& legendText() const { return text_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ColorRef color_ = Rgb(192, 192, 192);
    QString text_;
};

}  // namespace qv::ui
