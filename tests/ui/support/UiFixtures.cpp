#include "support/UiFixtures.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QMessageBox>

#include <cstring>

namespace qv::ui::test {

PageDrive::PageDrive(DeviceHandle volume, uint64_t sectors)
{
    record.handle = std::move(volume);
    record.listed = 1;
    record.sectorCount = sectors;
    record.diskSectors = sectors;
    status.deviceCount = 1;
    context.status = &status;
    context.settings = &settings;
    context.device = &record;
    std::strncpy(context.appTitle, "Quorvane", sizeof context.appTitle - 1);
    std::strncpy(record.productText, "USB Flash", sizeof record.productText - 1);
}

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
