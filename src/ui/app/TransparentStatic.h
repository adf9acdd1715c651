#pragma once

#include "core/charts/Gradient.h"

#include <QCursor>
#include <QLabel>

namespace qv::ui {

// A text label that is bold or plain, transparent over its parent or on
// white, and in link mode opens its own text when clicked.
class CTransparentStatic : public QLabel {
    Q_OBJECT
public:
    explicit CTransparentStatic(QWidget* parent = nullptr);

    void SetBold(bool bold);
    void SetTransparent();
    void SetLabelColor(ColorRef color);
    void SetLabelText(const QString& text);
    // Link mode: the cursor over the label, and a click opens the text.
    void SetLink(bool link, const QCursor& cursor = QCursor(Qt::PointingHandCursor));

    bool isTransparent() const { return transparent_; }
    bool isLink() const { return link_; }

signals:
    // A click in link mode, with the address about to be opened.
    void linkOpened(const QString& address);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void applyPalette();

    bool transparent_ = false;
    bool link_ = false;
    ColorRef color_ = 0;
    bool colorSet_ = false;
};

// The pages' two kinds of static: a transparent label with a text of the
// string table, and a transparent value in the figures' blue.
CTransparentStatic* MakePageLabel(QWidget* parent, int textId, bool bold = false);
CTransparentStatic* MakePageValue(QWidget* parent);

}  // namespace qv::ui
