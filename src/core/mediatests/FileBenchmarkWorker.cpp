#include "core/mediatests/FileBenchmarkWorker.h"

#include "core/device/SectorIO.h"
#include "core/mediatests/BenchFileSystem.h"
#include "core/run/RunState.h"
#include "core/run/SharedContext.h"
#include "core/settings/Settings.h"
#include "core/text/StringIds.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

namespace qv {
namespace {

constexpr size_t kMiB = 1 << 20;

struct AlignedFree {
    void operator()(uint8_t* p) const { std::free(p); }
};
using TransferBuffer = std::unique_ptr<uint8_t, AlignedFree>;

class Run {
public:
    Run(SharedContext& context, BenchFileSystem& files)
        : record_(*context.device), status_(*context.status), settings_(context.settings), files_(files)
    {
    }

    int run()
    {
        const DeviceHandle volume = record_.handle;
        const std::string volumePath = volume ? volume->path() : std::string();
        int error = volume ? 0 : EBADF;
        const std::string folder = volume ? files_.mountFolder(*volume, &error) : std::string();
        if (folder.empty())
            return fail(error ? str::kFailedMountLookup : str::kFileSystemNotMounted, error, volumePath, 0);
        uint64_t freeBytes = 0;
        if (!files_.freeBytes(folder, &freeBytes, &error))
            return fail(str::kFailedFreeSpace, error, folder, 0);
        const uint64_t freeMB = freeBytes >> 20;
        path_ = folder + (folder.back() == '/' ? "" : "/") + kBenchFileName;

        if (!status_.enterUnlessStopped(RUN_ACTIVE))
            return finish(0);
        TimerInit();
        buffer_.reset(static_cast<uint8_t*>(std::aligned_alloc(4096, kMiB)));
        if (!buffer_)
            return fail(str::kFailedMemory, ENOMEM, path_, 0);

        for (int k = 0; k < kFileBenchSizes; ++k) {
            const int32_t size = settings_ ? settings_->fileSizesMB[k] : kFileBenchSizesMB[k];
            if (size <= 0 || freeMB < uint64_t(size))
                continue;
            if (!measureSize(k, size))
                return 0;
        }
        status_.enterUnlessStopped(RUN_DONE);
        return finish(0);
    }

private:
    bool stopRequested() const { return status_.state() == RUN_STOP; }

    int finish(int64_t value)
    {
        status_.progressWindow->report(OP_FILE_BENCH, value);
        return status_.state() == RUN_DONE ? 1 : 0;
    }

    int fail(int action, int error, const std::string& path, int64_t value)
    {
        status_.failure.set(action, path, error);
        status_.setState(RUN_FAILED);
        return finish(value);
    }

    // Closes and removes the test file, then ends the run (after a failure
    // of action, or a stop when action is 0); false always.
    bool endSize(int action, int error)
    {
        file_.reset();
        files_.remove(path_);
        if (!action)
            finish(0);
        else
            fail(action, error, path_, action == str::kFailedRead ? kFileBenchReadFailed : 0);
        return false;
    }

    bool measureSize(int k, int32_t size)
    {
        int error = 0;
        file_ = files_.open(path_, &error);
        if (!file_)
            return endSize(str::kFailedCreate, error);
        status_.setDone(kFileBenchPhaseFile, 0);
        const int32_t passes = kFileBenchPasses[k];

        TimerStart();
        if (!writePasses(size, passes, &error))
            return endSize(str::kFailedWrite, error);
        pause();
        if (stopRequested())
            return endSize(0, 0);
        record_.fileWriteSpeeds[k] = FileBenchSpeed(size, passes, TimerElapsedSeconds());
        status_.progressWindow->report(OP_FILE_BENCH, k);

        TimerStart();
        if (!readPasses(size, passes, &error))
            return endSize(str::kFailedRead, error);
        pause();
        if (stopRequested())
            return endSize(0, 0);
        record_.fileReadSpeeds[k] = FileBenchSpeed(size, passes, TimerElapsedSeconds());
        status_.progressWindow->report(OP_FILE_BENCH, kFileBenchReadFlag + k);

        file_.reset();
        files_.remove(path_);
        return true;
    }

    // A short transfer is a failure: a short write means the file system is
    // full; a short read, that the file ended before its size.
    static bool whole(int64_t moved, int* error, int shortError)
    {
        if (moved == int64_t(kMiB))
            return true;
        *error = moved < 0 ? int(-moved) : shortError;
        return false;
    }

    bool writePasses(int32_t size, int32_t passes, int* error)
    {
        std::memset(buffer_.get(), 0, kMiB);
        for (int32_t pass = 0; pass < passes; ++pass) {
            for (int32_t m = 0; m < size; ++m)
                if (!whole(file_->writeAt(uint64_t(m) * kMiB, buffer_.get(), kMiB), error, ENOSPC))
                    return false;
            if (pass == 0 && (*error = file_->flush()) != 0)
                return false;
            if (stopRequested())
                break;
        }
        *error = file_->flush();
        return *error == 0;
    }

    bool readPasses(int32_t size, int32_t passes, int* error)
    {
        for (int32_t pass = 0; pass < passes; ++pass) {
            for (int32_t m = 0; m < size; ++m)
                if (!whole(file_->readAt(uint64_t(m) * kMiB, buffer_.get(), kMiB), error, 0))
                    return false;
            if (stopRequested())
                break;
        }
        return true;
    }

    // Part of the timed phase, as the figures have always been taken.
    static void pause() { std::this_thread::sleep_for(std::chrono::milliseconds(100)); }

    DeviceRecord& record_;
    RunStatus& status_;
    const Settings* settings_;
    BenchFileSystem& files_;
    std::string path_;
    std::unique_ptr<BenchFile> file_;
    TransferBuffer buffer_;
};

}  // namespace

int32_t FileBenchSpeed(int32_t sizeMB, int32_t passes, long double seconds)
{
    const long double kilobytes = (long double)sizeMB * passes * 1024;
    if (seconds <= 0 || kilobytes / seconds >= INT32_MAX)
        return INT32_MAX;
    return int32_t(kilobytes / seconds);
}

int FileBenchmarkWorker(SharedContext& context, BenchFileSystem& files)
{
    if (!context.device || !context.status || !context.status->progressWindow)
        return 0;
    return Run(context, files).run();
}

}  // namespace qv
