#pragma once

#include <cstdint>

namespace qv {

struct SharedContext;

// Sectors a quick erase zeroes after the start of the medium.
inline constexpr uint64_t kQuickEraseSectors = 1024;

// Zeroes the selected drive: sectors 0 to 1024 for a quick erase
// (eraseType 0), every sector below sectorCount for a full one. Reports
// OP_ERASE to status->progressWindow. A failed chunk sets RUN_FAILED, is
// counted in the record's errorCounters[0] (the first one described in the
// status's failure record) and the erase goes on. Returns 1 when complete,
// 0 after a stop.
int EraseWorker(SharedContext& context);

}  // namespace qv
