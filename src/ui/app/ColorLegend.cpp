#include "ui/app/ColorLegend.h"

#include <QFontMetrics>
#include <QPainter>

namespace qv::ui {

CColorLegend::CColorLegend(QWidget* parent) : QWidget(parent) {}

void CColorLegend::SetLegendText(const QString& text)
{
    text_ = text;
    update();
}

QSize CColorLegend::sizeHint() const
{
    const QFontMetrics metrics(font());
    return {16 + metrics.horizontalAdvance(text_) + 2, metrics.height()};
}

void CColorLegend::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    const int y = (height() - 6) / 2;
    p.setPen(QPen(Qt::black, 0));
    p.setBrush(QColor(RedOf(color_), GreenOf(color_), BlueOf(color_)));
    p.drawRect(0, y, 7, 7);
    p.setPen(palette().color(QPalette::WindowText));
    const QFontMetrics metrics(font());
    p.drawText(16, metrics.ascent(), text_);
}

}  // namespace qv::ui
