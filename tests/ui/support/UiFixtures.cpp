#include "support/UiFixtures.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QMessageBox>

namespace qv::ui::test {

ImageFolder::ImageFolder() = default;

QString ImageFolder::make(const QString& name, qint64 size)
{
    const QString file = dir_.filePath(name);
    QFile image(file);
    if (!image.open(QIODevice::WriteOnly) || !image.resize(size))
        return {};
    return file;
}

ModalCatcher::ModalCatcher(Handler handler) : handler_(std::move(handler))
{
    timer_.setInterval(10);
    connect(&timer_, &QTimer::timeout, this, &ModalCatcher::poll);
    timer_.start();
}

void ModalCatcher::poll()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal)
        return;
    ++dialogs;
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        texts << box->text();
        box->done(answer);
        return;
    }
    if (handler_) {
        handler_(modal);
        return;
    }
    if (auto* dialog = qobject_cast<QDialog*>(modal))
        dialog->reject();
}

}  // namespace qv::ui::test
