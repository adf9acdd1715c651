#pragma once

#include <QIcon>
#include <QPixmap>

namespace qv::ui {

// The program's icons by resource number: 128 the application, 173 refresh,
// 178 drive, 156 to 158 the USB tree (controller, hub, device), and the
// pages' normal and selected icons.
QIcon ResourceIcon(int resourceId);
// The icon rendered at size × size pixels; null when the id is unknown.
QPixmap ResourcePixmap(int resourceId, int size);

enum class MessageKind { Information, Warning, Error, Question };
QIcon MessageIcon(MessageKind kind);

}  // namespace qv::ui
