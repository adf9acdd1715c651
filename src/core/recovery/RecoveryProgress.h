#pragma once

#include "core/run/SharedContext.h"

#include <cstdint>

namespace qv {

// One progress report of the recovery workers (operation OP_RECOVERY).
void SendRecoveryProgress(SharedContext& context, int64_t value);

// Reports sector × 1000 / sectorCount; then, when a stop was requested,
// reports 109 and returns false.
bool ReportPosition(SharedContext& context, uint64_t sector);

}  // namespace qv
