#include "core/mediatests/ErrorScanWorker.h"

#include "core/device/SectorIO.h"
#include "core/mediatests/ChunkTransfers.h"
#include "core/mediatests/SectorPattern.h"
#include "core/run/RunState.h"
#include "core/run/SharedContext.h"
#include "core/text/StringIds.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <unordered_set>

namespace qv {
namespace {

constexpr size_t kChunkBytes = size_t(kScanChunkSectors) * kSectorSize;

// Direct I/O wants buffers aligned to the page.
struct AlignedFree {
    void operator()(uint8_t* p) const { std::free(p); }
};
using ChunkBuffer = std::unique_ptr<uint8_t, AlignedFree>;

ChunkBuffer allocateChunk()
{
    return ChunkBuffer(static_cast<uint8_t*>(std::aligned_alloc(4096, kChunkBytes)));
}

void addSaturated(int32_t& counter, uint64_t amount)
{
    const uint64_t sum = uint64_t(counter < 0 ? 0 : counter) + amount;
    counter = sum > uint64_t(INT32_MAX) ? INT32_MAX : int32_t(sum);
}

class Pass {
public:
    Pass(SharedContext& context, int32_t testType)
        : context_(context), record_(*context.device), status_(*context.status),
          writeTest_(testType & kScanWriteTest), readTest_(testType & kScanReadTest)
    {
    }

    int run()
    {
        a_ = allocateChunk();
        if (!a_) {
            status_.failure.set(str::kFailedMemory, record_.handle ? record_.handle->path() : std::string(), ENOMEM);
            status_.setState(RUN_FAILED);
            report(SCAN_ENDED_EARLY);
            return 0;
        }
        ReadBootSector(context_);
        const uint64_t n = record_.sectorCount;
        if (!enter(RUN_ACTIVE))
            return 0;
        TimerInit();
        record_.position = 0;
        SeekToSector(record_.handle, 0, kSectorSize);

        if (writeTest_ && !writeTest(n))
            return 0;
        record_.position = 0;
        if (!enter(RUN_ACTIVE))
            return 0;
        report(SCAN_BOUNDARY);
        SeekToSector(record_.handle, 0, kSectorSize);
        if (writeTest_)
            status_.setDone(kScanPhaseReading, n);
        if (readTest_ && !readTest(n))
            return 0;
        if (writeTest_)
            zeroStart();
        if (!enter(RUN_ACTIVE))
            return 0;
        report(SCAN_BOUNDARY);
        if (!enter(RUN_DONE))
            return 0;
        report(SCAN_BOUNDARY);
        return 1;
    }

private:
    void report(int64_t phase) { status_.progressWindow->report(OP_ERROR_SCAN, phase); }

    // Moves to a new state unless the page has asked for a stop meanwhile,
    // in which case the stop is honoured (a plain store would lose it).
    bool enter(int32_t value)
    {
        int32_t current = status_.state();
        do {
            if (current == RUN_STOP) {
                report(SCAN_ENDED_EARLY);
                return false;
            }
        } while (!status_.runState.compare_exchange_weak(current, value, std::memory_order_relaxed));
        return true;
    }

    bool stopRequested()
    {
        if (status_.state() != RUN_STOP)
            return false;
        report(SCAN_ENDED_EARLY);
        return true;
    }

    static int chunkLength(uint64_t n, uint64_t position)
    {
        const uint64_t left = n - position;
        return int(left < kScanChunkSectors ? left : kScanChunkSectors);
    }

    void mark(BlockMapSink* map, int m, int state)
    {
        if (map)
            map->MarkRange(int64_t(record_.position) + m - 1, state);
    }

    bool writeTest(uint64_t n)
    {
        std::memset(a_.get(), 0, kChunkBytes);
        WipeMediumStart(context_);
        status_.setDone(kScanPhaseWriting, 0);
        // Only the numbered bytes of each sector change from chunk to chunk:
        // a room gets the rest once.
        std::unordered_set<const uint8_t*> prepared;
        const auto fill = [&](const MovedChunk& chunk) {
            if (prepared.insert(chunk.bytes).second)
                PrepareChunkPattern(kScanChunkSectors, chunk.bytes);
            StampChunkHeaders(chunk.sector, chunk.count, chunk.bytes);
            return true;
        };
        // Each chunk goes to its own place, so a failed transfer cannot
        // shift the chunks after it.
        const auto written = [&](const MovedChunk& chunk) {
            status_.setDone(kScanPhaseWriting, chunk.sector + uint64_t(chunk.count));
            if (stopRequested())
                return false;
            if (HostFault(record_.handle.get(), chunk.error)) {
                // The image file's own file system refused the write: no
                // fault of the medium, and the scan cannot go on.
                status_.failure.set(str::kFailedHostWrite, record_.handle.get()->path(), chunk.error);
                status_.setState(RUN_FAILED);
                report(SCAN_ENDED_EARLY);
                return false;
            }
            if (chunk.error)
                ++record_.errorCounters[0];
            mark(record_.writeMap, chunk.count, chunk.error ? 2 : 1);
            report(SCAN_WRITE_CHUNK);
            record_.position += uint64_t(chunk.count);
            return true;
        };
        uint64_t reached = 0;
        const ChunksEnd end = WriteChunks(record_, 0, n, fill, written, &reached);
        // A run that ended early wrote the pattern up to the end of its last
        // request, which may lie past the last chunk reported.
        status_.setDone(kScanPhaseWriting, reached);
        if (!transfersEnded(end))
            return false;
        if (!enter(RUN_DONE))
            return false;
        report(SCAN_WRITE_CHUNK);
        return true;
    }

    // The drive reads ahead while chunk k is compared. A chunk's differing
    // bytes and its mark land after its report and before the next one;
    // every count, mark and report is the one a plain read-compare loop
    // makes. A short read counts as a failed read: the sectors were not had.
    bool readTest(uint64_t n)
    {
        struct Compared {
            uint64_t first = 0;
            int m = 0;
            bool ok = false;
            uint64_t differing = 0;
        };
        std::optional<Compared> compared;
        const auto settle = [&] {
            if (!compared)
                return;
            addSaturated(record_.errorCounters[2], compared->differing);
            if (record_.readMap)
                record_.readMap->MarkRange(int64_t(compared->first) + compared->m - 1,
                                           !compared->ok ? 2 : compared->differing > 0 ? 3 : 1);
            compared.reset();
        };
        const auto read = [&](const MovedChunk& chunk) {
            const bool ok = chunk.error == 0;
            settle();
            if (status_.state() == RUN_STOP) {
                if (writeTest_ && ok)
                    addSaturated(record_.errorCounters[2],
                                 CountPatternDifferences(chunk.sector, chunk.count, chunk.bytes));
                report(SCAN_ENDED_EARLY);
                return false;
            }
            if (!ok)
                ++record_.errorCounters[1];
            report(SCAN_READ_CHUNK);
            record_.position += uint64_t(chunk.count);
            // Only data that were really read are compared, and only after
            // a write test.
            compared = Compared{chunk.sector, chunk.count, ok, 0};
            if (writeTest_ && ok)
                compared->differing = CountPatternDifferences(chunk.sector, chunk.count, chunk.bytes);
            return true;
        };
        if (!transfersEnded(ReadChunks(record_, 0, n, read)))
            return false;
        settle();
        if (!enter(RUN_DONE))
            return false;
        report(SCAN_READ_CHUNK);
        return true;
    }

    // True when every chunk went; a run without transfer buffers fails.
    bool transfersEnded(ChunksEnd end)
    {
        if (end != ChunksEnd::NoMemory)
            return end == ChunksEnd::Complete;
        status_.failure.set(str::kFailedMemory, record_.handle ? record_.handle->path() : std::string(), ENOMEM);
        status_.setState(RUN_FAILED);
        report(SCAN_ENDED_EARLY);
        return false;
    }

    void zeroStart()
    {
        std::memset(a_.get(), 0, kChunkBytes);
        for (uint32_t s = 0; s < 4096; s += 64)
            WriteSectorsAt(record_.handle, s, 64, kSectorSize, a_.get());
    }

    SharedContext& context_;
    DeviceRecord& record_;
    RunStatus& status_;
    const bool writeTest_;
    const bool readTest_;
    // The buffer of the wiped start and of the zeroed start at the end.
    ChunkBuffer a_;
};

}  // namespace

int ErrorScanWorker(SharedContext& context, int32_t testType)
{
    if (!context.device || !context.status || !context.status->progressWindow)
        return 0;
    return Pass(context, testType).run();
}

}  // namespace qv
