#include "ui/controls/CanvasControl.h"

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

}  // namespace qv::ui
