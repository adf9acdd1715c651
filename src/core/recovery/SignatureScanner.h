#pragma once

#include "core/run/SharedContext.h"

#include <cstdint>

namespace qv {

// The kind whose signature the 512 bytes of sector start with, or 0. Only
// kinds whose bit is set in the low 32 bits of mask are tested.
int32_t IdentifySignature(const uint8_t* sector, uint64_t mask);
// The same with the process-wide FormatMask.
int32_t IdentifySignature(const uint8_t* sector);

// The worker of signature mode: steps through every sector of the selected
// drive, lists every file it finds in status->listControl and keeps the
// scan counters of the record. 1 when the whole medium was scanned, 0 when
// stopped.
int ScanSignatures(SharedContext& context);

}  // namespace qv
