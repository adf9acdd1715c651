// Times one erase, backup or restore of the block device NODE through the
// core workers, as the pages and the command line run them, and prints the
// throughput. The device's contents are overwritten by erase and restore:
// give it a loop device of your own (scripts/bench-transfers).
//
// quorvane_transfer_bench NODE erase
// quorvane_transfer_bench NODE backup FILE [--no-checksum] [--zstd]
// quorvane_transfer_bench NODE restore FILE [--no-verify]

#include "core/device/SectorIO.h"
#include "core/mediatests/BackupRestoreWorker.h"
#include "core/mediatests/EraseWorker.h"
#include "core/mediatests/TransferIO.h"
#include "core/run/SharedContext.h"
#include "core/settings/Settings.h"
#include "platform/image/FileIO.h"
#include "platform/image/PosixImageFiles.h"
#include "platform/linux/SystemDrives.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

using namespace qv;

namespace {

class QuietSink : public ProgressSink {
public:
    int64_t report(int32_t, int64_t) override { return 1; }
};

class GivenFile : public FileChooser {
public:
    explicit GivenFile(std::string path) : path_(std::move(path)) {}
    bool chooseFile(const FileRequest&, std::string* path) override
    {
        *path = path_;
        return true;
    }

private:
    std::string path_;
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s NODE erase|backup|restore [FILE] [options]\n", argv[0]);
        return 2;
    }
    const std::string node = argv[1], operation = argv[2];
    OpenResult opened = linux_platform::OpenBlockDevice(node);
    if (!opened.handle) {
        std::fprintf(stderr, "cannot open %s: %s\n", node.c_str(), std::strerror(opened.error));
        return 3;
    }
    const int fd = ::open(node.c_str(), O_RDONLY | O_CLOEXEC);
    const uint64_t bytes = fd >= 0 ? FileLength(fd) : 0;
    if (fd >= 0)
        ::close(fd);
    DeviceRecord record;
    record.handle = opened.handle;
    record.listed = 1;
    record.sectorCount = uint32_t(bytes / 512);
    RunStatus status;
    QuietSink sink;
    status.progressWindow = &sink;
    status.setState(RUN_STARTING);
    Settings settings;
    settings.eraseType = 1;
    SharedContext context;
    context.device = &record;
    context.status = &status;
    context.settings = &settings;
    SetSettleDelayMs(0);

    GivenFile chooser(argc > 3 ? argv[3] : "");
    PosixImageFiles files;
    TransferJob job;
    job.chooser = &chooser;
    job.files = &files;
    for (int i = 4; i < argc; ++i) {
        job.checksum = job.checksum && std::strcmp(argv[i], "--no-checksum") != 0;
        job.verify = job.verify && std::strcmp(argv[i], "--no-verify") != 0;
        if (std::strcmp(argv[i], "--zstd") == 0)
            job.compression = ImageCompression::Zstd;
    }

    const auto start = std::chrono::steady_clock::now();
    int result = 0;
    if (operation == "erase")
        result = EraseWorker(context);
    else if (operation == "backup")
        result = BackupWorker(context, job);
    else if (operation == "restore")
        result = RestoreWorker(context, job);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (result != 1) {
        std::fprintf(stderr, "%s failed: %s\n", operation.c_str(), FailureText(status.failure).c_str());
        return 3;
    }
    // A restore with verify moves every byte twice over the device.
    std::printf("%s %.1f MiB/s (%.2f s)\n", operation.c_str(), double(uint64_t(record.sectorCount) * 512) / 1048576 / seconds,
                seconds);
    return 0;
}
