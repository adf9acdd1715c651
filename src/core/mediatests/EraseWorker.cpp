#include "core/mediatests/EraseWorker.h"

#include "core/device/SectorIO.h"
#include "core/mediatests/ChunkTransfers.h"
#include "core/mediatests/TransferIO.h"
#include "core/run/SharedContext.h"
#include "core/settings/Settings.h"
#include "core/text/StringIds.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace qv {

int EraseWorker(SharedContext& context)
{
    if (!context.device || !context.status || !context.status->progressWindow)
        return 0;
    DeviceRecord& record = *context.device;
    RunStatus& status = *context.status;
    auto report = [&](int64_t value) { status.progressWindow->report(OP_ERASE, value); };

    const bool full = context.settings && context.settings->eraseType != 0;
    const uint64_t n = full ? record.sectorCount : kQuickEraseSectors;
    const uint64_t chunks = TransferChunkCount(n);
    record.errorCounters[0] = 0;

    TransferBuffer zeros = AllocateTransferBuffer();
    if (!zeros || !EnterRunState(status, RUN_ACTIVE)) {
        status.setState(RUN_STOP);
        report(0);
        return 0;
    }
    std::memset(zeros.get(), 0, kTransferChunkBytes);
    WipeMediumStart(context);
    WriteChunkAt(record, 0, 1, zeros.get());
    status.setDone(1, std::min<uint64_t>(kQuickEraseSectors + 1, record.sectorCount));
    TimerInit();

    // Every chunk goes to its own place, so one that fails cannot shift
    // the ones after it.
    const auto erased = [&](const MovedChunk& chunk) {
        if (chunk.error && HostFault(record.handle.get(), chunk.error)) {
            // The image file's own file system refused: nothing the medium
            // did, and no later chunk would fare better.
            status.failure.set(str::kFailedHostWrite, DrivePath(record), chunk.error);
            status.setState(RUN_FAILED);
            return false;
        }
        const uint64_t end = chunk.sector + uint64_t(chunk.count);
        if (!chunk.error && end > status.doneSectors.load(std::memory_order_relaxed))
            status.setDone(1, end);
        if (chunk.error) {
            if (record.errorCounters[0] == 0)
                status.failure.set(str::kFailedWrite, SectorObject(DrivePath(record), chunk.sector), chunk.error);
            if (record.errorCounters[0] < INT32_MAX)
                ++record.errorCounters[0];
            if (EnterRunState(status, RUN_FAILED))
                report(0);
        }
        if (status.state() == RUN_STOP)
            return false;
        if (chunk.index % 16 == 0 || chunk.index == chunks - 1)
            report(int64_t(chunk.sector));
        return true;
    };
    uint64_t reached = 0;
    const ChunksEnd end = WriteChunks(record, 0, n, [](const MovedChunk&) { return true; }, erased, &reached);
    // A run stopped early wrote zeros up to the end of its last request.
    if (reached > status.doneSectors.load(std::memory_order_relaxed))
        status.setDone(1, reached);
    if (end == ChunksEnd::NoMemory) {
        status.failure.set(str::kFailedMemory, DrivePath(record), ENOMEM);
        status.setState(RUN_FAILED);
        report(0);
        return 0;
    }
    if (end != ChunksEnd::Complete) {
        report(0);
        return 0;
    }
    if (!EnterRunState(status, RUN_DONE)) {
        report(0);
        return 0;
    }
    report(0);
    return 1;
}

}  // namespace qv
