#include "ui/app/TransparentStatic.h"

#include "ui/app/Text.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>

namespace qv::ui {

CTransparentStatic::CTransparentStatic(QWidget* parent) : QLabel(parent)
{
    applyPalette();
}

void CTransparentStatic::SetBold(bool bold)
{
    QFont f = font();
    f.setWeight(bold ? QFont::Bold : QFont::Normal);
    setFont(f);
}

void CTransparentStatic::SetTransparent()
{
    // Qt draws a child over its parent's pixels already; the label only
    // stops filling its own background.
    transparent_ = true;
    update();
}

void CTransparentStatic::SetLabelColor(ColorRef color)
{
    color_ = color;
    colorSet_ = true;
    applyPalette();
}

void CTransparentStatic::SetLabelText(const QString& text)
{
    setText(text);
}

void CTransparentStatic::SetLink(bool link, const QCursor& cursor)
{
    link_ = link;
    if (link)
        setCursor(cursor);
    else
        unsetCursor();
}

void CTransparentStatic::applyPalette()
{
    QPalette pal = palette();
    if (colorSet_)
        pal.setColor(QPalette::WindowText, QColor(RedOf(color_), GreenOf(color_), BlueOf(color_)));
    else
        pal.setColor(QPalette::WindowText, palette().color(QPalette::Active, QPalette::WindowText));
    setPalette(pal);
}

void CTransparentStatic::paintEvent(QPaintEvent* event)
{
    if (!transparent_) {
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
    }
    QLabel::paintEvent(event);
}

void CTransparentStatic::mousePressEvent(QMouseEvent* event)
{
    if (link_ && event->button() == Qt::LeftButton) {
        emit linkOpened(text());
        QDesktopServices::openUrl(QUrl(text()));
    }
    QLabel::mousePressEvent(event);
}

CTransparentStatic* MakePageLabel(QWidget* parent, int textId, bool bold)
{
    auto* label = new CTransparentStatic(parent);
    label->SetLabelText(Text(textId));
    label->SetTransparent();
    if (bold)
        label->SetBold(true);
    return label;
}

CTransparentStatic* MakePageValue(QWidget* parent)
{
    auto* value = new CTransparentStatic(parent);
    value->SetTransparent();
    value->SetLabelColor(Rgb(0, 64, 223));
    return value;
}

}  // namespace qv::ui
