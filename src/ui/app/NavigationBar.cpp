#include "ui/app/NavigationBar.h"

#include "charts/DrawGradient.h"
#include "core/run/SharedContext.h"
#include "ui/app/Icons.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

namespace qv::ui {
namespace {

struct ItemColors {
    ColorRef upperFrom, upperTo, lowerFrom, lowerTo, highlight, shadow;
    QColor title;
};

const ItemColors kSelected{Rgb(255, 223, 191), Rgb(221, 143, 79), Rgb(205, 127, 63), Rgb(253, 223, 47),
                           Rgb(255, 239, 207), Rgb(128, 112, 80), Qt::black};
const ItemColors kNormal{Rgb(95, 127, 191), Rgb(58, 90, 154), Rgb(44, 76, 140), Rgb(55, 87, 151),
                         Rgb(143, 143, 143), Rgb(48, 48, 48), Qt::white};

QColor toColor(ColorRef c)
{
    return QColor(RedOf(c), GreenOf(c), BlueOf(c));
}

}  // namespace

CNavigationBar::CNavigationBar(QWidget* parent) : QWidget(parent), font_(font())
{
    font_.setPixelSize(12);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QSize CNavigationBar::sizeHint() const
{
    return {100, kItemHeight * 7};
}

QSize CNavigationBar::minimumSizeHint() const
{
    return sizeHint();
}

void CNavigationBar::AddItem(int index, const QString& title, int normalIcon, int selectedIcon)
{
    if (itemCount() >= kMaxItems)
        return;
    Item item{index, title, normalIcon, selectedIcon, {}, {}};
    item.normal = renderItem(item, false);
    item.selected = renderItem(item, true);
    items_.push_back(std::move(item));
    update();
}

QImage CNavigationBar::renderItem(const Item& item, bool selected) const
{
    const ItemColors& c = selected ? kSelected : kNormal;
    const int pictureWidth = std::max(width() - 1, 2);
    const qreal ratio = devicePixelRatioF();
    QImage picture(QSize(pictureWidth, kItemHeight) * ratio, QImage::Format_RGB32);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::white);
    QPainter p(&picture);
    const int left = 0, right = pictureWidth;
    const int l = left + 1, r = right - 1;
    charts::DrawGradient(p, l, 0, r, 28, c.upperFrom, c.upperTo, charts::kGradientRows);
    charts::DrawGradient(p, l, 28, r, 55, c.lowerFrom, c.lowerTo, charts::kGradientRows);
    p.setPen(QPen(toColor(c.highlight), 0));
    p.drawLine(l, 55, l, 0);
    p.drawLine(l, 0, r - 1, 0);
    p.setPen(QPen(toColor(c.shadow), 0));
    p.drawLine(l, 55, r - 1, 55);
    p.drawLine(r - 1, 55, r - 1, 0);
    if (item.normalIcon != 0) {
        const QPixmap icon = ResourcePixmap(selected ? item.selectedIcon : item.normalIcon, 32);
        if (!icon.isNull())
            p.drawPixmap((r - l - 32) / 2, 4, 32, 32, icon);
    }
    p.setFont(font_);
    p.setPen(c.title);
    const QFontMetrics metrics(font_);
    const int textWidth = metrics.horizontalAdvance(item.title);
    const int y = 55 - metrics.height() - 2;
    p.drawText((r - l - textWidth) / 2, y + metrics.ascent(), item.title);
    return picture;
}

void CNavigationBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    charts::DrawGradient(p, 0, 0, width(), height(), Rgb(48, 64, 112), Rgb(224, 224, 224), charts::kGradientRows);
    for (int i = 0; i < itemCount(); ++i) {
        const Item& item = items_[i];
        p.drawImage(0, item.index * kItemHeight, i == current_ ? item.selected : item.normal);
    }
}

void CNavigationBar::mousePressEvent(QMouseEvent* event)
{
    const bool running = context_ && context_->status && context_->status->state() == RUN_ACTIVE;
    if (!running && event->button() == Qt::LeftButton) {
        const int index = ItemAt(int(event->position().y()));
        if (index != current_ && index < itemCount()) {
            current_ = index;
            update();
            emit pageSelected(index);
        }
    }
    QWidget::mousePressEvent(event);
}

}  // namespace qv::ui
