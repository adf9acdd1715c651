#pragma once

#include "core/run/RunController.h"
#include "core/run/SharedContext.h"
#include "core/settings/Settings.h"
#include "ui/app/QtPost.h"
#include "support/UiFixtures.h"
#include "ui/app/WriteWarningDialog.h"

#include <QByteArray>
#include <QCheckBox>
#include <QFile>
#include <QPushButton>
#include <QRandomGenerator>

#include <cstring>

namespace qv::ui::test {

// A drive for a page alone: context, status, settings, one record over a
// volume, and a run controller.
struct PageDrive {
    PageDrive(DeviceHandle volume, uint32_t sectors)
    {
        record.handle = std::move(volume);
        record.listed = 1;
        record.sectorCount = sectors;
        std::strncpy(record.productText, "USB Flash", sizeof record.productText - 1);
        status.deviceCount = 1;
        context.status = &status;
        context.settings = &settings;
        context.device = &record;
        std::strncpy(context.appTitle, "Quorvane", sizeof context.appTitle - 1);
    }
    RunStatus status;
    Settings settings;
    DeviceRecord record;
    SharedContext context;
    QObject host;  // outlives the controller that posts to it
    RunController runs{context, QtPost(&host)};
};

// A ModalCatcher handler that ticks the write warning's box and presses OK.
inline void AcceptWarning(QWidget* dialog)
{
    if (auto* warning = qobject_cast<CWriteWarningDialog*>(dialog)) {
        warning->checkBox()->setChecked(true);
        warning->okButton()->click();
    }
}

inline QByteArray FileBytes(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

// An image file of the folder holding bytes; its path.
inline QString ImageWith(ImageFolder& images, const QString& name, const QByteArray& bytes)
{
    const QString path = images.make(name, 0);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return path;
}

inline QByteArray RandomBytes(int n)
{
    QByteArray bytes(n, 0);
    for (char& b : bytes)
        b = char(QRandomGenerator::global()->generate());
    return bytes;
}

}  // namespace qv::ui::test
