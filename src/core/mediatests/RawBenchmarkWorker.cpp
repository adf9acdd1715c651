#include "core/mediatests/RawBenchmarkWorker.h"

#include "core/device/SectorIO.h"
#include "core/run/RunState.h"
#include "core/run/SharedContext.h"
#include "core/settings/Settings.h"
#include "core/text/StringIds.h"
#include "core/text/StringTable.h"
#include "core/text/Units.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>

namespace qv {
namespace {

constexpr size_t kBufferBytes = size_t(kBenchChunkSectors) * 512;
constexpr int kAccessReads = 100;
constexpr int kAccessWrites = 50;

struct AlignedFree {
    void operator()(uint8_t* p) const { std::free(p); }
};
using TransferBuffer = std::unique_ptr<uint8_t, AlignedFree>;

// A speed sample in units of 1000 bytes per second. A segment timed at zero
// (a clock too coarse for it) or faster than int32 counts the largest value.
int32_t SpeedSample(uint64_t sectors, long double seconds)
{
    const long double rate = sectors * 0.512L;
    if (seconds <= 0 || rate / seconds >= INT32_MAX)
        return INT32_MAX;
    return int32_t(rate / seconds);
}

class Run {
public:
    explicit Run(SharedContext& context)
        : context_(context), record_(*context.device), status_(*context.status),
          geometry_(RawBenchGeometry(record_.sectorCount))
    {
    }

    int run()
    {
        buffer_.reset(static_cast<uint8_t*>(std::aligned_alloc(4096, kBufferBytes)));
        if (!buffer_) {
            status_.failure.set(str::kFailedMemory, "", ENOMEM);
            status_.setState(RUN_FAILED);
            return finish();
        }
        std::memset(buffer_.get(), 0, kBufferBytes);
        if (!status_.enterUnlessStopped(RUN_ACTIVE))
            return finish();
        ReadSectorsAt(record_.handle, 0, 1, 512, buffer_.get());
        TimerInit();
        record_.readSampleCount = 0;

        const int32_t tests = context_.settings ? context_.settings->testType : kBenchReadTest;
        if ((tests & kBenchReadTest) && !(readSegments() && readAccess()))
            return finish();
        if (!(tests & kBenchWriteTest)) {
            status_.enterUnlessStopped(RUN_DONE);
            return finish();
        }
        if (stopRequested())
            return finish();
        fillIncompressible();
        WipeMediumStart(context_);
        if (stopRequested())
            return finish();
        if (!(writeSegments() && writeAccess()))
            return finish();
        status_.enterUnlessStopped(RUN_DONE);
        return finish();
    }

private:
    bool stopRequested() const { return status_.state() == RUN_STOP; }

    // "cannot read /dev/sdb (sector 6400): Input/output error"
    void fail(bool write, uint64_t sector, int error)
    {
        const DeviceHandle handle = record_.handle;
        const std::string where = Format("%s (%s %llu)", handle ? handle->path().c_str() : "?",
                                         LoadText(str::kSector).c_str(), (unsigned long long)sector);
        status_.failure.set(write ? str::kFailedWrite : str::kFailedRead, where, error);
        status_.setState(RUN_FAILED);
    }

    // Ends after a failed transfer or a stop request.
    bool transferEnded(bool ok, bool write, uint64_t sector)
    {
        if (!ok) {
            fail(write, sector, errno);
            return true;
        }
        return stopRequested();
    }

    uint32_t chunkSize(uint64_t index) const
    {
        return index + 1 == geometry_.chunks ? geometry_.lastChunk : kBenchChunkSectors;
    }

    bool readSegments()
    {
        SeekToSector(record_.handle, 0, 512);
        record_.position = 0;
        for (int segment = 0; segment < kBenchSamples && geometry_.sectorsPerSample; ++segment) {
            TimerStart();
            for (uint64_t c = 0; c < geometry_.chunks; ++c) {
                const uint32_t chunk = chunkSize(c);
                errno = 0;
                const bool ok = ReadSectorsAt(record_.handle, record_.position, int32_t(chunk), 512, buffer_.get());
                if (transferEnded(ok, false, record_.position))
                    return false;
                record_.position += chunk;
            }
            record_.readSamples[record_.readSampleCount] =
                SpeedSample(geometry_.sectorsPerSample, TimerElapsedSeconds());
            report(OP_RAW_BENCH, kBenchReadSeries);
            ++record_.readSampleCount;
        }
        return true;
    }

    bool readAccess()
    {
        if (!geometry_.randomBound) {
            record_.readAccessMs = kAccessNotMeasured;
            report(OP_RAW_BENCH_ACCESS, kBenchReadSeries);
            return true;
        }
        TimerStart();
        for (int i = 0; i < kAccessReads; ++i) {
            record_.position = RandomSector(geometry_.randomBound);
            errno = 0;
            const bool ok = ReadSectorsAt(record_.handle, record_.position, 1, 512, buffer_.get());
            if (transferEnded(ok, false, record_.position))
                return false;
        }
        record_.readAccessMs = double(TimerElapsedSeconds() * 1000 / kAccessReads);
        report(OP_RAW_BENCH_ACCESS, kBenchReadSeries);
        return true;
    }

    // Random bytes, made once, so that the controller cannot write less than
    // it is given.
    void fillIncompressible()
    {
        std::mt19937_64 engine{std::random_device{}()};
        auto* words = reinterpret_cast<uint64_t*>(buffer_.get());
        for (size_t i = 0; i < kBufferBytes / sizeof(uint64_t); ++i)
            words[i] = engine();
    }

    bool writeSegments()
    {
        SeekToSector(record_.handle, 0, 512);
        record_.writeSampleCount = 0;
        uint64_t sector = 0;
        for (int segment = 0; segment < kBenchSamples && geometry_.sectorsPerSample; ++segment) {
            TimerStart();
            for (uint64_t c = 0; c < geometry_.chunks; ++c) {
                const uint32_t chunk = chunkSize(c);
                errno = 0;
                const bool ok = WriteSectors(record_.handle, int32_t(chunk), 512, buffer_.get());
                if (ok)
                    wrote(chunk);
                if (transferEnded(ok, true, sector))
                    return false;
                sector += chunk;
            }
            record_.writeSamples[record_.writeSampleCount] =
                SpeedSample(geometry_.sectorsPerSample, TimerElapsedSeconds());
            report(OP_RAW_BENCH, kBenchWriteSeries);
            ++record_.writeSampleCount;
        }
        return true;
    }

    bool writeAccess()
    {
        if (!geometry_.randomBound) {
            record_.writeAccessMs = kAccessNotMeasured;
            report(OP_RAW_BENCH_ACCESS, kBenchWriteSeries);
            return true;
        }
        TimerStart();
        for (int i = 0; i < kAccessWrites; ++i) {
            record_.position = RandomSector(geometry_.randomBound);
            errno = 0;
            const bool ok = WriteSectorsAt(record_.handle, record_.position, 1, 512, buffer_.get());
            if (ok)
                wrote(1);
            if (transferEnded(ok, true, record_.position))
                return false;
        }
        record_.writeAccessMs = double(TimerElapsedSeconds() * 1000 / kAccessWrites);
        report(OP_RAW_BENCH_ACCESS, kBenchWriteSeries);
        return true;
    }

    // Counts sectors overwritten with random data, for what a stop leaves.
    void wrote(uint64_t sectors)
    {
        status_.setDone(kBenchPhaseWriting, status_.doneSectors.load(std::memory_order_relaxed) + sectors);
    }

    void report(int32_t operation, int64_t value) { status_.progressWindow->report(operation, value); }

    // The single final report, whatever the ending.
    int finish()
    {
        report(OP_RAW_BENCH, 0);
        return status_.state() == RUN_DONE ? 1 : 0;
    }

    SharedContext& context_;
    DeviceRecord& record_;
    RunStatus& status_;
    const BenchGeometry geometry_;
    TransferBuffer buffer_;
};

}  // namespace

BenchGeometry RawBenchGeometry(uint64_t sectorCount)
{
    BenchGeometry g;
    g.sectorsPerSample = sectorCount / kBenchSamples;
    g.chunks = (g.sectorsPerSample + kBenchChunkSectors - 1) / kBenchChunkSectors;
    const uint32_t remainder = uint32_t(g.sectorsPerSample % kBenchChunkSectors);
    g.lastChunk = remainder ? remainder : kBenchChunkSectors;
    // Random positions keep two chunks off the end; a medium not larger than
    // that has no room for them.
    const uint64_t margin = 2 * uint64_t(g.lastChunk);
    g.randomBound = sectorCount > margin ? sectorCount - margin : 0;
    return g;
}

int RawBenchmarkWorker(SharedContext& context)
{
    if (!context.device || !context.status || !context.status->progressWindow)
        return 0;
    return Run(context).run();
}

}  // namespace qv
