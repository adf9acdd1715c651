#include "core/mediatests/EraseWorker.h"

#include "core/device/SectorIO.h"
#include "core/mediatests/TransferIO.h"
#include "core/run/SharedContext.h"
#include "core/settings/Settings.h"
#include "core/text/StringIds.h"

#include <algorithm>
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

    for (uint64_t k = 0; k < chunks; ++k) {
        const uint64_t sector = k * kTransferChunkSectors;
        const int m = int(n - sector < uint64_t(kTransferChunkSectors) ? n - sector : kTransferChunkSectors);
        // Every chunk goes to its own place, so one that fails cannot shift
        // the ones after it.
        const int error = WriteChunkAt(record, sector, m, zeros.get());
        if (error && HostFault(record.handle.get(), error)) {
            // The image file's own file system refused: nothing the medium
            // did, and no later chunk would fare better.
            status.failure.set(str::kFailedHostWrite, DrivePath(record), error);
            status.setState(RUN_FAILED);
            report(0);
            return 0;
        }
        if (!error && sector + uint64_t(m) > status.doneSectors.load(std::memory_order_relaxed))
            status.setDone(1, sector + uint64_t(m));
        if (error) {
            if (record.errorCounters[0] == 0)
                status.failure.set(str::kFailedWrite, SectorObject(DrivePath(record), sector), error);
            if (record.errorCounters[0] < INT32_MAX)
                ++record.errorCounters[0];
            if (EnterRunState(status, RUN_FAILED))
                report(0);
        }
        if (status.state() == RUN_STOP) {
            report(0);
            return 0;
        }
        if (k % 16 == 0 || k == chunks - 1)
            report(int64_t(sector));
    }
    if (!EnterRunState(status, RUN_DONE)) {
        report(0);
        return 0;
    }
    report(0);
    return 1;
}

}  // namespace qv
