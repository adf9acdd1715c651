#include "ui/controls/CanvasControl.h"

#include "core/report/Report.h"
#include "report/ReportPictures.h"

#include <QPaintEvent>
#include <QPainter>

namespace qv::ui {

CanvasControl::CanvasControl(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CanvasControl::ensureCanvas()
{
    if (canvas_.size() != size())
        rebuild();
}

QImage CanvasControl::renderImage()
{
    ensureCanvas();
    return canvas_.toImage();
}

void CanvasControl::resizeEvent(QResizeEvent*)
{
    rebuild();
}

void CanvasControl::paintEvent(QPaintEvent* event)
{
    ensureCanvas();
    QPainter painter(this);
    painter.drawPixmap(event->rect(), canvas_, event->rect());
}

void CanvasControl::fillReportPicture(Report& report, const char* slot)
{
    if (ReportPicture* picture = report.picture(slot))
        picture->png = report::PngOf(renderImage());
}

}  // namespace qv::ui
