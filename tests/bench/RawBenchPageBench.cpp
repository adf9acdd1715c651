// One read test of the low-level benchmark through the Qt page, its chart
// repainting on the GUI thread while the worker reads, printing the figures
// the page took; scripts/bench-benchmarks sets them beside the CLI's and fio's.
//
//   quorvane_rawbench_page_bench /dev/loopN   (reads only)
#include "core/device/Scsi.h"
#include "core/mediatests/RawBenchmarkWorker.h"
#include "core/run/SharedContext.h"
#include "core/settings/Settings.h"
#include "core/text/StringTable.h"
#include "platform/linux/SystemDrives.h"
#include "ui/app/QtPost.h"
#include "ui/pages/RawBenchmarkPage.h"

#include <QApplication>
#include <QTimer>

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
    settings.testType = qv::kBenchReadTest;
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
    qv::ui::CBenchmarkRaw page;
    page.setContext(&context, &runs);
    page.resize(700, 500);
    page.show();
    bool tried = false, started = false;
    QTimer::singleShot(0, [&] {
        started = page.presenter()->Start();
        tried = true;
    });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (tried && (!started || !page.presenter()->active()))
            app.quit();
    });
    poll.start(20);
    app.exec();
    if (!started || record.readSampleCount == 0) {
        std::fprintf(stderr, "the read test did not run\n");
        return 3;
    }
    // The page's average is the plain mean of its samples (1000 bytes/s).
    double sum = 0;
    for (int i = 0; i < record.readSampleCount; ++i)
        sum += record.readSamples[i];
    std::printf("{\"average\": %.1f, \"access_ms\": %.6f}\n", sum / record.readSampleCount, record.readAccessMs);
    return 0;
}
