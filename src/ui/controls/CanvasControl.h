#pragma once

#include <QPixmap>
#include <QWidget>

namespace qv {
struct Report;
}

namespace qv::ui {

// A control drawn into an off-screen pixmap: rebuild() renders the whole
// picture, later drawing touches only what changed, and a paint copies the
// exposed part of the pixmap in one go.
class CanvasControl : public QWidget {
    Q_OBJECT
public:
    explicit CanvasControl(QWidget* parent = nullptr);

    // The picture as painted (for tests and screenshots).
    virtual QImage renderImage();
    // The picture as painted into the report's picture slot of that name,
    // when the report has one.
    void fillReportPicture(Report& report, const char* slot);

protected:
    // Renders everything into canvas_ at the control's size.
    virtual void rebuild() = 0;
    void ensureCanvas();
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

    QPixmap canvas_;
};

}  // namespace qv::ui
