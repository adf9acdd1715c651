#pragma once

#include "core/device/HandleSlot.h"

#include <array>
#include <atomic>
#include <cstdint>

namespace qv {

// A block map that a worker marks chunk by chunk (the error scan's maps).
// Callable from the worker thread; an implementation never paints from it.
class BlockMapSink {
public:
    virtual ~BlockMapSink() = default;
    // colour: 0 grey (untested), 1 green (good), 2 red (failed), 3 blue (differs)
    virtual void MarkRange(uint64_t firstSector, uint64_t sectorCount, int colour) = 0;
};

inline constexpr int kDriveSlots = 26;
inline constexpr int kBenchSamples = 200;
inline constexpr int kFileBenchSizes = 7;

// One drive slot. Only a record with listed = 1 carries meaning.
struct DeviceRecord {
    HandleSlot handle;
    int32_t listed = 0;
    int32_t driveIndex = 0;
    char productText[32] = {};
    char revisionText[4] = {};
    uint32_t sectorCount = 0;
    uint32_t capacityLba = 0;

    // Work area: low-level benchmark.
    int32_t benchTests = 0;
    int32_t readSampleCount = 0;
    int32_t writeSampleCount = 0;
    int32_t readSamples[kBenchSamples] = {};
    int32_t readMinimum = 0;
    int32_t readMaximum = 0;
    int32_t writeSamples[kBenchSamples] = {};
    int32_t writeMinimum = 0;
    int32_t writeMaximum = 0;
    double readAccessMs = 0;
    double writeAccessMs = 0;

    // Work area: file benchmark.
    int32_t fileReadSpeeds[kFileBenchSizes] = {};
    int32_t fileWriteSpeeds[kFileBenchSizes] = {};

    // Work area: run counters shared by the test workers.
    uint64_t position = 0;
    int32_t errorCounters[3] = {};
    BlockMapSink* writeMap = nullptr;
    BlockMapSink* readMap = nullptr;
    uint64_t total = 0;

    // Work area: recovery counters.
    int32_t foundCount = 0;
    uint64_t foundBytes = 0;
    int32_t readErrors = 0;

    // Set when the drive left while a run was using this record: the handle
    // is closed and must never be reopened on the path (another stick may
    // have taken it); the record is cleared when the run has ended.
    bool detached = false;

    // Zeroes every field ("a record is zeroed").
    void clear() { *this = DeviceRecord{}; }
};

}  // namespace qv
