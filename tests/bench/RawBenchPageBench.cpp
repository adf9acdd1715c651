// One read test of the low-level benchmark through the Qt page, its chart
// repainting on the GUI thread while the worker reads, printing the figures
// the page took; scripts/bench-benchmarks sets them beside the CLI's and fio's.
//
//   quorvane_rawbench_page_bench /dev/loopN   (reads only)
#include "core/mediatests/RawBenchmarkWorker.h"
#include "NodePageBench.h"
#include "ui/pages/RawBenchmarkPage.h"

#include <QTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    NodePageBench bench(argc, argv);
    QApplication& app = bench.app();
    qv::ui::test::PageDrive& drive = bench.drive();
    drive.settings.testType = qv::kBenchReadTest;
    qv::ui::CBenchmarkRaw page;
    page.setContext(&drive.context, &drive.runs);
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
    if (!started || drive.record.readSampleCount == 0) {
        std::fprintf(stderr, "the read test did not run\n");
        return 3;
    }
    // The page's average is the plain mean of its samples (1000 bytes/s).
    double sum = 0;
    for (int i = 0; i < drive.record.readSampleCount; ++i)
        sum += drive.record.readSamples[i];
    std::printf("{\"average\": %.1f, \"access_ms\": %.6f}\n", sum / drive.record.readSampleCount, drive.record.readAccessMs);
    return 0;
}
