#include "core/mediatests/ErrorScanWorker.h"

#include "core/device/SectorIO.h"
#include "core/mediatests/SideThread.h"
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
        b_ = allocateChunk();
        if (!a_ || !b_) {
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
        // Only the numbered bytes of each sector change from chunk to chunk.
        PrepareChunkPattern(kScanChunkSectors, a_.get());
        while (record_.position < n) {
            const int m = chunkLength(n, record_.position);
            StampChunkHeaders(record_.position, m, a_.get());
            // Each chunk goes to its own place, so a failed transfer cannot
            // shift the chunks after it.
            const bool ok = WriteSectorsAt(record_.handle, record_.position, m, kSectorSize, a_.get());
            const int error = ok ? 0 : errno;
            status_.setDone(kScanPhaseWriting, record_.position + uint64_t(m));
            if (stopRequested())
                return false;
            if (HostFault(record_.handle.get(), error)) {
                // The image file's own file system refused the write: no
                // fault of the medium, and the scan cannot go on.
                status_.failure.set(str::kFailedHostWrite, record_.handle.get()->path(), error);
                status_.setState(RUN_FAILED);
                report(SCAN_ENDED_EARLY);
                return false;
            }
            if (!ok)
                ++record_.errorCounters[0];
            mark(record_.writeMap, m, ok ? 1 : 2);
            report(SCAN_WRITE_CHUNK);
            record_.position += uint64_t(m);
        }
        if (!enter(RUN_DONE))
            return false;
        report(SCAN_WRITE_CHUNK);
        return true;
    }

    // Chunk k is compared on a side thread while chunk k + 1 is read. The
    // next read starts only once the report of a chunk has returned, so no
    // read is in flight while the page handles a report (it may close the
    // drive then). A chunk's differing bytes and its mark land after its
    // report and before the next one; every count, mark and report is the
    // one a plain read-compare loop makes.
    bool readTest(uint64_t n)
    {
        SideThread comparer;
        uint8_t* buffers[2] = {a_.get(), b_.get()};
        int current = 0;
        struct Chunk {
            uint64_t first = 0;
            int m = 0;
            bool ok = false;
            uint64_t differing = 0;
        };
        std::optional<Chunk> compared;
        const auto settle = [&] {
            if (!compared)
                return;
            comparer.wait();
            addSaturated(record_.errorCounters[2], compared->differing);
            if (record_.readMap)
                record_.readMap->MarkRange(int64_t(compared->first) + compared->m - 1,
                                           !compared->ok ? 2 : compared->differing > 0 ? 3 : 1);
            compared.reset();
        };
        while (record_.position < n) {
            const uint64_t first = record_.position;
            const int m = chunkLength(n, first);
            uint8_t* data = buffers[current];
            // A short read counts as a failed read: the sectors were not had.
            const bool ok = ReadSectorsAt(record_.handle, first, m, kSectorSize, data);
            settle();
            if (status_.state() == RUN_STOP) {
                if (writeTest_ && ok)
                    addSaturated(record_.errorCounters[2], CountPatternDifferences(first, m, data));
                report(SCAN_ENDED_EARLY);
                return false;
            }
            if (!ok)
                ++record_.errorCounters[1];
            report(SCAN_READ_CHUNK);
            record_.position += uint64_t(m);
            compared = Chunk{first, m, ok, 0};
            // Only data that were really read are compared, and only after
            // a write test.
            if (writeTest_ && ok) {
                Chunk* chunk = &*compared;
                comparer.run([chunk, data] { chunk->differing = CountPatternDifferences(chunk->first, chunk->m, data); });
            }
            current ^= 1;
        }
        settle();
        if (!enter(RUN_DONE))
            return false;
        report(SCAN_READ_CHUNK);
        return true;
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
    // Transfer buffers: the write test uses the first; the read test reads
    // into one while the chunk in the other is compared in place.
    ChunkBuffer a_;
    ChunkBuffer b_;
};

}  // namespace

int ErrorScanWorker(SharedContext& context, int32_t testType)
{
    if (!context.device || !context.status || !context.status->progressWindow)
        return 0;
    return Pass(context, testType).run();
}

}  // namespace qv
