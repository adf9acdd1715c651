// The recovery page under load, for notes (never assertions):
//   quorvane_recovery_page_bench scan IMAGE
//     builds IMAGE (when missing) with 100,000 small PDF files, scans it
//     through the page and prints the scan time, the longest stall of the
//     GUI event loop during the scan, the resident memory at the end and
//     the time of Select all with the view repainted;
//   quorvane_recovery_page_bench save IMAGE FOLDER
//     builds IMAGE (when missing) of 1 GiB, lists it as eight 128 MiB files
//     and saves them through the page into FOLDER, printing the time.
#include "support/SampleFiles.h"

#include "core/device/DeviceRecord.h"
#include "core/run/RunController.h"
#include "ui/app/QtPost.h"
#include "core/run/SharedContext.h"
#include "core/settings/Settings.h"
#include "core/text/StringTable.h"
#include "platform/image/ImageVolume.h"
#include "ui/pages/FoundFilesModel.h"
#include "ui/pages/RecoveryPage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>

namespace {

constexpr int kSmallFiles = 100000;
constexpr uint64_t kSaveBytes = uint64_t(1) << 30;
constexpr int kSaveFiles = 8;

bool buildSmallFiles(const std::string& path)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::vector<uint8_t> slot(1024, 0);  // one file and one empty sector
    for (int i = 0; i < kSmallFiles; ++i) {
        const qv::test::Bytes pdf = qv::test::Pdf(200, 1, uint32_t(i));
        std::fill(slot.begin(), slot.end(), 0);
        std::memcpy(slot.data(), pdf.data(), std::min<size_t>(pdf.size(), 512));
        out.write(reinterpret_cast<const char*>(slot.data()), std::streamsize(slot.size()));
    }
    return bool(out);
}

bool buildLarge(const std::string& path)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::mt19937 random(1);
    std::vector<uint8_t> block(1 << 20);
    for (auto& b : block)
        b = uint8_t(random());
    for (uint64_t i = 0; i < kSaveBytes / block.size(); ++i) {
        block[0] = uint8_t(i);
        out.write(reinterpret_cast<const char*>(block.data()), std::streamsize(block.size()));
    }
    return bool(out);
}

long residentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

}  // namespace

int main(int argc, char** argv)
{
    const bool scan = argc == 3 && std::strcmp(argv[1], "scan") == 0;
    const bool save = argc == 4 && std::strcmp(argv[1], "save") == 0;
    if (!scan && !save) {
        std::fprintf(stderr, "usage: %s scan IMAGE | save IMAGE FOLDER\n", argv[0]);
        return 2;
    }
    const std::string image = argv[2];
    if (!std::filesystem::exists(image) && !(scan ? buildSmallFiles(image) : buildLarge(image))) {
        std::fprintf(stderr, "cannot build %s\n", image.c_str());
        return 3;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    qv::UseEnglishTexts(true);

    qv::RunStatus status;
    qv::Settings settings;
    qv::DeviceRecord record;
    qv::SharedContext context;
    record.handle = qv::ImageVolume::open(image);
    if (!record.handle) {
        std::fprintf(stderr, "cannot open %s\n", image.c_str());
        return 3;
    }
    record.listed = 1;
    record.sectorCount = std::filesystem::file_size(image) / 512;
    status.deviceCount = 1;
    context.status = &status;
    context.settings = &settings;
    context.device = &record;

    QObject host;
    qv::RunController runs(context, qv::ui::QtPost(&host));
    qv::ui::CRecoveryPage page;
    page.setContext(&context, &runs);
    page.resize(700, 500);
    page.show();

    // The longest gap between two ticks of a 1 ms timer while the run goes.
    QElapsedTimer clock, run;
    qint64 lastTick = 0, longestStall = 0;
    // The same gap in the GUI thread's own processor time: what the page's
    // work costs, apart from the time the thread waited for a processor.
    double lastCpu = 0, longestCpu = 0;
    auto threadCpuMs = [] {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
    };
    QTimer ticks;
    ticks.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longestStall = std::max(longestStall, now - lastTick);
        lastTick = now;
        const double cpu = threadCpuMs();
        if (lastCpu > 0)
            longestCpu = std::max(longestCpu, cpu - lastCpu);
        lastCpu = cpu;
        if (!page.presenter()->active())
            app.quit();
    });
    if (save) {
        for (int i = 0; i < kSaveFiles; ++i) {
            auto file = std::make_unique<qv::FoundFile>();
            char name[32];
            std::snprintf(name, sizeof name, "%08d.mov", i + 1);
            file->name = name;
            file->kind = 2;
            file->length = int32_t(kSaveBytes / kSaveFiles);
            file->startSector = uint32_t(uint64_t(i) * (kSaveBytes / kSaveFiles) / 512);
            page.model()->list().appendRow(name, std::move(file));
        }
        page.model()->flush();
        page.model()->setAllChecked(true);
        const QString folder = QString::fromLocal8Bit(argv[3]);
        page.setFolderChooser([folder] { return folder; });
    }
    QTimer::singleShot(0, [&] {
        clock.start();
        run.start();
        if (scan)
            page.OnScan();
        else
            page.presenter()->RecoverOrStop();
        ticks.start(1);
    });
    app.exec();
    const double seconds = double(run.nsecsElapsed()) / 1e9;
    if (save) {
        std::printf("saved %.0f MiB in %.3f s (%.0f MiB/s), longest event-loop stall %lld ms (%.1f ms of "
                    "GUI-thread processor time)\n",
                    double(kSaveBytes) / 1048576.0, seconds, double(kSaveBytes) / 1048576.0 / seconds,
                    static_cast<long long>(longestStall), longestCpu);
        return 0;
    }
    std::printf("page scan: %d files in %.3f s, longest event-loop stall %lld ms (%.1f ms of GUI-thread "
                "processor time), resident %ld KiB\n",
                page.model()->rowCount(), seconds, static_cast<long long>(longestStall), longestCpu, residentKiB());
    QElapsedTimer selectAll;
    selectAll.start();
    page.OnSelectAll();
    page.listView()->viewport()->repaint();
    std::printf("select all: %.3f ms\n", double(selectAll.nsecsElapsed()) / 1e6);
    return 0;
}
