#include "ui/app/MessageBox.h"
#include "core/text/StringIds.h"

#include "ui/app/Text.h"

#include <QMessageBox>

namespace qv::ui {

void ShowMessage(QWidget* parent, MessageKind kind, const QString& text, const QString& caption)
{
    QMessageBox box(parent);
    box.setWindowTitle(caption.isEmpty() ? Text(str::kProductName) : caption);
    box.setText(text);
    box.setIconPixmap(MessageIcon(kind).pixmap(32, 32));
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

bool AskYesNo(QWidget* parent, const QString& text, const QString& caption)
{
    QMessageBox box(parent);
    box.setWindowTitle(caption.isEmpty() ? Text(155) : caption);
    box.setText(text);
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

}  // namespace qv::ui
