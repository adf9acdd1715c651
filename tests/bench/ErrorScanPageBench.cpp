// One error scan (write and read test) of a device node through the Qt
// page, with its reports blocking on the GUI thread, printing the page's
// log; scripts/bench-errorscan sets its figures beside the CLI's.
//
//   quorvane_errorscan_page_bench /dev/loopN   (destroys the device's data)
#include "core/device/SectorIO.h"
#include "core/mediatests/ErrorScanWorker.h"
#include "NodePageBench.h"
#include "ui/pages/ErrorScanPage.h"

#include <QTimer>
#include <QTreeWidget>

#include <cstdio>

int main(int argc, char** argv)
{
    NodePageBench bench(argc, argv);
    QApplication& app = bench.app();
    qv::ui::test::PageDrive& drive = bench.drive();
    qv::ui::CErrorScanPage page;
    page.setContext(&drive.context, &drive.runs);
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
