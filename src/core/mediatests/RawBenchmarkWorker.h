#pragma once

#include <cstdint>

namespace qv {

struct SharedContext;

// Bits of the Test Type setting.
inline constexpr int32_t kBenchReadTest = 1;
inline constexpr int32_t kBenchWriteTest = 2;

// Sectors per transfer of the low-level benchmark.
inline constexpr uint32_t kBenchChunkSectors = 128;

// The report values (second value of OP_RAW_BENCH / OP_RAW_BENCH_ACCESS).
inline constexpr int64_t kBenchReadSeries = 0;
inline constexpr int64_t kBenchWriteSeries = 1;
// RunStatus::donePhase once the write test has overwritten sectors
// (doneSectors of them) with random data.
inline constexpr int32_t kBenchPhaseWriting = 1;

// readAccessMs / writeAccessMs when the medium is too small for random
// positions: nothing was measured.
inline constexpr double kAccessNotMeasured = -1.0;

// How the medium is cut into the 200 measured segments.
struct BenchGeometry {
    uint64_t sectorsPerSample = 0;
    uint64_t chunks = 0;      // transfers per segment
    uint32_t lastChunk = 0;   // sectors of the segment's last transfer
    uint64_t randomBound = 0; // random positions are taken modulo this; 0: none
};
BenchGeometry RawBenchGeometry(uint64_t sectorCount);

// The low-level benchmark: read test, then (after wiping the medium's start)
// write test, as the Test Type setting selects; each over 200 segments from
// sector 0, followed by random single-sector accesses. Sends every sample to
// status->progressWindow and one final report; a failed transfer is named
// in status->failure. Returns 1 after a normal end.
// The write test writes random bytes generated once per run, so a controller
// that compresses or deduplicates cannot inflate the figure.
int RawBenchmarkWorker(SharedContext& context);

}  // namespace qv
