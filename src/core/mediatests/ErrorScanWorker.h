#pragma once

#include <cstdint>

namespace qv {

struct SharedContext;

// Bits of the error scan's test type (the scanTestType setting).
inline constexpr int32_t kScanReadTest = 1;
inline constexpr int32_t kScanWriteTest = 2;

// Sectors per transfer.
inline constexpr int kScanChunkSectors = 128;

// The phases the error scan worker reports with OP_ERROR_SCAN.
enum ErrorScanPhase : int64_t {
    SCAN_ENDED_EARLY = 0,
    SCAN_READ_CHUNK = 1,
    SCAN_WRITE_CHUNK = 2,
    SCAN_BOUNDARY = 3,  // the read test begins, or the pass ends
};

// RunStatus::donePhase of a scan with the write test: sectors 0 to
// doneSectors - 1 hold the pattern; then the whole drive holds it.
inline constexpr int32_t kScanPhaseWriting = 1;
inline constexpr int32_t kScanPhaseReading = 2;

// One pass of the error scan over the selected drive: the write test
// (pattern over every sector) and the read test (read back and compare) as
// testType selects. Reports every chunk to status->progressWindow. Returns 1
// after a complete pass, 0 after a stop or a failure.
int ErrorScanWorker(SharedContext& context, int32_t testType);

// The number of chunks of a medium of sectorCount sectors.
inline uint64_t ScanChunkCount(uint64_t sectorCount)
{
    return (sectorCount + kScanChunkSectors - 1) / kScanChunkSectors;
}

}  // namespace qv
