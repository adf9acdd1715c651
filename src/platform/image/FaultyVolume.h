#pragma once

#include "core/device/Volume.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
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
    std::vector<SectorRange> failingWrites;  // a write touching one fails (EIO)
    std::vector<SectorRange> corruptReads;   // reads there come back with every byte inverted
    uint64_t wrapSectors = 0;                // fake capacity: sector s lands on s mod N
    std::optional<uint64_t> removeAfter;     // transfers allowed before the stick is gone
    std::optional<uint64_t> shortReadsFrom;  // reads stop short at this sector (end of medium)
    std::optional<uint32_t> capacityLba;     // READ CAPACITY answer in place of the inner one
};

class FaultState {
public:
    explicit FaultState(FaultPlan plan) : plan(std::move(plan)) {}
    const FaultPlan plan;
    std::atomic<uint64_t> transfers{0};
    std::atomic<bool> removed{false};
    // Counts a transfer; false once the stick is gone.
    bool admit();
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

    FaultState& state() { return *state_; }
    // The state, shared with the volumes reopen() makes.
    std::shared_ptr<FaultState> stateShared() const { return state_; }
    // Takes the stick away now: every later transfer fails.
    void pull() { state_->removed = true; }

private:
    template <typename Transfer>
    int64_t mapped(uint64_t offset, size_t length, Transfer transfer);

    DeviceHandle inner_;
    std::shared_ptr<FaultState> state_;
};

}  // namespace qv
