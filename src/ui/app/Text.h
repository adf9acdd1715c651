#pragma once

#include "core/text/StringTable.h"

#include <QString>

namespace qv::ui {

// A string-table text by id, for a widget.
inline QString Text(int id)
{
    return QString::fromStdString(LoadText(id));
}

// A string-table text with its single %s replaced.
inline QString TextWith(int id, const QString& argument)
{
    QString text = Text(id);
    text.replace(QLatin1String("%s"), argument);
    return text;
}

// A string-table text with its two %s replaced in order.
inline QString TextWith(int id, const QString& first, const QString& second)
{
    QString text = Text(id);
    const int at = text.indexOf(QLatin1String("%s"));
    if (at >= 0)
        text.replace(at, 2, first);
    const int next = text.indexOf(QLatin1String("%s"), at < 0 ? 0 : at + int(first.size()));
    if (next >= 0)
        text.replace(next, 2, second);
    return text;
}

}  // namespace qv::ui
