#include "core/recovery/RecoveryProgress.h"

#include "core/text/StringIds.h"

namespace qv {

void SendRecoveryProgress(SharedContext& context, int64_t value)
{
    if (context.status && context.status->progressWindow)
        context.status->progressWindow->report(OP_RECOVERY, value);
}

bool ReportPosition(SharedContext& context, uint64_t sector)
{
    const uint64_t count = context.device->sectorCount;
    SendRecoveryProgress(context, count ? int64_t(sector * 1000 / count) : 0);
    if (context.status && context.status->state() == RUN_STOP) {
        SendRecoveryProgress(context, str::kReadError);
        return false;
    }
    return true;
}

}  // namespace qv
