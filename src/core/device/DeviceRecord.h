#pragma once

#include "core/device/HandleSlot.h"

#include <array>
#include <atomic>
#include <cstdint>

namespace qv {

// A block map that a worker marks chunk by chunk (the error scan's maps).
// Clear and SetUnits run on the GUI thread before the worker starts;
// MarkRange runs on the worker thread and never paints from it.
class BlockMapSink {
public:
    virtual ~BlockMapSink() = default;
    // Every cell back to 0 (untested).
    virtual void Clear() = 0;
    // The number of units (sectors) the map stands for, and the first unit
    // not yet marked.
    virtual void SetUnits(int64_t unitCount, int64_t nextUnit) = 0;
    // Marks the units from the first unmarked one through `unit`. state:
    // 0 grey (untested), 1 green (good), 2 red (failed, kept), 3 blue (differs)
    virtual void MarkRange(int64_t unit, int state) = 0;
};

// A flag the GUI thread sets while a worker may read it; copies like a bool
// so that the record can still be cleared by assignment.
class SharedFlag {
public:
    SharedFlag() = default;
    SharedFlag(bool value) : value_(value) {}
    SharedFlag(const SharedFlag& other) : value_(bool(other)) {}
    SharedFlag& operator=(const SharedFlag& other)
    {
        value_.store(bool(other), std::memory_order_relaxed);
        return *this;
    }
    SharedFlag& operator=(bool value)
    {
        value_.store(value, std::memory_order_relaxed);
        return *this;
    }
    operator bool() const { return value_.load(std::memory_order_relaxed); }

private:
    std::atomic<bool> value_{false};
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
    // The sectors every test works on: the first partition's length when
    // the disk has one, else diskSectors.
    uint64_t sectorCount = 0;
    // READ CAPACITY's answer as the device gave it: the last block's address.
    uint64_t capacityLba = 0;
    // The whole disk in 512-byte sectors (every block, the last one too):
    // the size every text states.
    uint64_t diskSectors = 0;

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
    // Of readErrors, the reads that reached past the medium's end (a file
    // measured near the end): no fault of the medium.
    int32_t readsPastEnd = 0;

    // Set when the drive left while a run was using this record: the handle
    // is closed and must never be reopened on the path (another stick may
    // have taken it); the record is cleared when the run has ended.
    SharedFlag detached;

    // Zeroes every field ("a record is zeroed").
    void clear() { *this = DeviceRecord{}; }
};

}  // namespace qv
