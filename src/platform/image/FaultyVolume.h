#pragma once

#include "core/device/Volume.h"

#include <cerrno>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

namespace qv {

struct SectorRange {
    uint64_t first = 0;
    uint64_t count = 0;
    bool touches(uint64_t start, uint64_t sectors) const
    {
        return start < first + count && first < start + sectors;
    }
};

// What bad flash does, for tests: the faults a FaultyVolume injects.
// Shared by a volume and the volumes its reopen() makes.
struct FaultPlan {
    std::vector<SectorRange> failingReads;   // a read touching one fails (EIO)
    std::vector<SectorRange> failingWrites;  // a write touching one fails with writeError
    // EIO stands for the medium's fault; ENOSPC or EFBIG for the image
    // file's own file system refusing (a host fault).
    int writeError = EIO;
    std::vector<SectorRange> corruptReads;   // reads there come back with every byte inverted
    uint64_t wrapSectors = 0;                // fake capacity: sector s lands on s mod N
    // Fake capacity of the other kind: writes at or beyond this sector are
    // acknowledged and lost; reads there give the inner volume's old data,
    // or zeros with lostReadZeros.
    std::optional<uint64_t> lostWritesFrom;
    bool lostReadZeros = false;
    // A drive-side write-back cache of this many sectors in front of the
    // flash (after the host, before wrap-around and lost writes): written
    // sectors are kept and read back from it until newer writes push the
    // oldest out to the flash. A flush does not empty it, as on drives that
    // acknowledge a flush they do not perform.
    uint64_t writeCacheSectors = 0;
    std::optional<uint64_t> removeAfter;     // transfers allowed before the stick is gone
    std::optional<uint64_t> shortReadsFrom;  // reads stop short at this sector (end of medium)
    std::optional<uint64_t> capacityLba;     // last block READ CAPACITY names in place of the inner one
};

// The simulated write cache: sectors by number, oldest written first out.
class WriteCache {
public:
    explicit WriteCache(uint64_t sectors) : capacity_(sectors) {}
    // The cached data of a sector, or null.
    const uint8_t* find(uint64_t sector) const;
    // Keeps a written sector as the newest; when the cache is full, the
    // oldest are handed to evict(firstSector, data, bytes) first.
    template <typename Evict>
    void put(uint64_t sector, const uint8_t* data, Evict evict);
    uint64_t size() const { return index_.size(); }

private:
    static constexpr uint32_t kNone = UINT32_MAX;
    void unlink(uint32_t slot);
    void append(uint32_t slot);
    template <typename Evict>
    void evictOldest(Evict evict);

    uint64_t capacity_;
    std::vector<uint8_t> data_;
    std::vector<uint64_t> sectorOf_;
    std::vector<uint32_t> prev_, next_;
    uint32_t head_ = kNone, tail_ = kNone;
    uint64_t used_ = 0;  // slots ever taken
    std::vector<uint32_t> free_;
    std::unordered_map<uint64_t, uint32_t> index_;
};

class FaultState {
public:
    explicit FaultState(FaultPlan plan) : plan(std::move(plan)), cache(this->plan.writeCacheSectors) {}
    const FaultPlan plan;
    std::atomic<uint64_t> transfers{0};
    std::atomic<bool> removed{false};
    // Counts a transfer; false once the stick is gone.
    bool admit();
    // Guards the cache; transfers through the cache hold it.
    std::mutex cacheMutex;
    WriteCache cache;
};

// Wraps a volume and injects the faults of a plan.
class FaultyVolume : public Volume {
public:
    FaultyVolume(DeviceHandle inner, FaultPlan plan);
    FaultyVolume(DeviceHandle inner, std::shared_ptr<FaultState> state);

    int64_t readAt(uint64_t offset, void* buffer, size_t length) override;
    int64_t writeAt(uint64_t offset, const void* buffer, size_t length) override;
    bool flush() override;
    void close() override;
    bool isOpen() const override;
    std::shared_ptr<Volume> reopen() override;
    ScsiResult scsi(const ScsiRequest& request) override;
    std::optional<int64_t> firstPartitionBytes() override { return inner_->firstPartitionBytes(); }
    std::string path() const override { return inner_->path(); }
    std::string access() const override { return inner_->access(); }
    // The EIO this volume injects stands for the medium's fault.
    bool hostFault(int error) const override { return error != EIO && inner_->hostFault(error); }

    FaultState& state() { return *state_; }
    // The state, shared with the volumes reopen() makes.
    std::shared_ptr<FaultState> stateShared() const { return state_; }
    // Takes the stick away now: every later transfer fails.
    void pull() { state_->removed = true; }

private:
    template <typename Transfer>
    int64_t mapped(uint64_t offset, size_t length, Transfer transfer);
    // The flash behind the cache: wrap-around, then lost writes.
    int64_t flashRead(uint64_t offset, uint8_t* buffer, size_t length);
    int64_t flashWrite(uint64_t offset, const uint8_t* buffer, size_t length);
    int64_t cachedRead(uint64_t offset, uint8_t* buffer, size_t length);
    int64_t cachedWrite(uint64_t offset, const uint8_t* buffer, size_t length);

    DeviceHandle inner_;
    std::shared_ptr<FaultState> state_;
};

}  // namespace qv
