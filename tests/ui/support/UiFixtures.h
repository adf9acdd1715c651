#pragma once

#include "core/device/DeviceRecord.h"
#include "core/run/RunController.h"
#include "core/run/SharedContext.h"
#include "core/settings/Settings.h"
#include "ui/app/QtPost.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

namespace qv::ui::test {

// A drive for a page alone: context, status, settings, one record and the
// run controller of a main window.
struct PageDrive {
    PageDrive(DeviceHandle volume, uint64_t sectors);
    RunStatus status;
    Settings settings;
    DeviceRecord record;
    SharedContext context;
    QObject host;  // outlives the controller that posts to it
    RunController runs{context, QtPost(&host)};
};

// Image files in a temporary folder, zero-filled, of the given size.
class ImageFolder {
public:
    ImageFolder();
    // Creates name with size bytes; returns its path (empty on failure).
    QString make(const QString& name, qint64 size);
    QString path(const QString& name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
};

// Answers every modal dialog that opens while it lives: records the text
// of message boxes and hands the dialog to a handler (default: close it).
class ModalCatcher : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(QWidget* dialog)>;
    explicit ModalCatcher(Handler handler = {});

    QStringList texts;   // message-box texts in the order they came
    int dialogs = 0;     // every modal dialog seen
    int answer = 0x400;  // the button a message box is answered with (Ok)

private:
    void poll();
    QTimer timer_;
    Handler handler_;
};

}  // namespace qv::ui::test
