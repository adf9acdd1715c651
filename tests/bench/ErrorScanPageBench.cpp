// One error scan (write and read test) of a device node through the Qt
// page, with its reports blocking on the GUI thread, printing the page's
// log; scripts/bench-errorscan sets its figures beside the CLI's.
//
//   quorvane_errorscan_page_bench /dev/loopN   (destroys the device's data)
#include "core/device/Scsi.h"
#include "core/text/StringTable.h"
#include "core/device/SectorIO.h"
#include "core/mediatests/ErrorScanWorker.h"
#include "core/run/SharedContext.h"
#include "core/settings/Settings.h"
#include "platform/linux/SystemDrives.h"
#include "ui/app/QtPost.h"
#include "ui/pages/ErrorScanPage.h"

#include <QApplication>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DEVICE-NODE\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    qv::UseEnglishTexts(true);
    qv::OpenResult opened = qv::linux_platform::OpenBlockDevice(argv[1]);
    if (!opened.handle) {
        std::fprintf(stderr, "cannot open %s: %s\n", argv[1], std::strerror(opened.error));
        return 3;
    }
    qv::RunStatus status;
    qv::Settings settings;
    qv::DeviceRecord record;
    qv::SharedContext context;
    record.handle = opened.handle;
    record.listed = 1;
    record.sectorCount = qv::ReadCapacity(record.handle);
    status.deviceCount = 1;
    context.status = &status;
    context.settings = &settings;
    context.device = &record;

    QObject host;
    qv::RunController runs(context, qv::ui::QtPost(&host));
    qv::ui::CErrorScanPage page;
    page.setContext(&context, &runs);
    page.resize(700, 500);
    page.show();
    QTimer::singleShot(0, [&] {
        // The write warning is the user's; the bench starts past it.
        page.presenter()->Start(1, qv::kScanReadTest | qv::kScanWriteTest);
    });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!page.presenter()->active())
            app.quit();
    });
    poll.start(20);
    app.exec();
    QTreeWidget* log = page.logList();
    for (int i = 0; i < log->topLevelItemCount(); ++i)
        std::printf("%s %s\n", qPrintable(log->topLevelItem(i)->text(0)), qPrintable(log->topLevelItem(i)->text(1)));
    return 0;
}
