#pragma once

#include "ui/app/Icons.h"

#include <QString>

class QWidget;

namespace qv::ui {

// A modal message with the program's icon of its kind and an OK button;
// the caption is the product name unless given.
void ShowMessage(QWidget* parent, MessageKind kind, const QString& text, const QString& caption = QString());

// A modal question with Yes and No; true for Yes.
bool AskYesNo(QWidget* parent, const QString& text, const QString& caption = QString());

}  // namespace qv::ui
