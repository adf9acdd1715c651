#pragma once

#include <QFont>

namespace qv::ui {

// The charts' Arial: Liberation Sans has the same metrics.
inline QFont ArialFont(int points, bool bold = false)
{
    QFont font(QStringLiteral("Liberation Sans"), points, bold ? QFont::Bold : QFont::Normal);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

}  // namespace qv::ui
