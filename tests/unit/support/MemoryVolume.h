#pragma once

#include "core/device/Volume.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <vector>

namespace qv::test {

// A volume held in memory with a scripted SCSI identity: the INQUIRY answer
// and READ CAPACITY value a test wants. Its data is not guarded: one thread
// transfers at a time, but any thread may close it.
class MemoryVolume : public Volume {
public:
    explicit MemoryVolume(size_t bytes = 0) : data_(bytes) {}

    int64_t readAt(uint64_t offset, void* buffer, size_t length) override
    {
        if (!open_)
            return -EBADF;
        if (offset >= data_.size())
            return 0;
        const size_t n = std::min(length, size_t(data_.size() - offset));
        std::memcpy(buffer, data_.data() + offset, n);
        ++reads;
        return int64_t(n);
    }
    int64_t writeAt(uint64_t offset, const void* buffer, size_t length) override
    {
        if (!open_)
            return -EBADF;
        if (offset >= data_.size())
            return -ENOSPC;
        const size_t n = std::min(length, size_t(data_.size() - offset));
        std::memcpy(data_.data() + offset, buffer, n);
        ++writes;
        return int64_t(n);
    }
    bool flush() override { ++flushes; return open_; }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    std::shared_ptr<Volume> reopen() override
    {
        ++reopens;
        if (!reopenable)
            return nullptr;
        auto fresh = std::make_shared<MemoryVolume>(0);
        fresh->data_ = data_;
        std::memcpy(fresh->inquiry, inquiry, sizeof inquiry);
        fresh->capacity = capacity;
        fresh->partitionBytes = partitionBytes;
        return fresh;
    }
    ScsiResult scsi(const ScsiRequest& request) override
    {
        if (!open_ || !scsiWorks)
            return {false, 0};
        auto* out = static_cast<uint8_t*>(request.buffer);
        if (request.cdb[0] == 0x12) {
            if (inquiryStatus)
                return {true, inquiryStatus};
            std::memcpy(out, inquiry, std::min<size_t>(request.length, sizeof inquiry));
            return {true, 0};
        }
        if (request.cdb[0] == 0x25) {
            if (capacityStatus)
                return {true, capacityStatus};
            out[0] = uint8_t(capacity >> 24);
            out[1] = uint8_t(capacity >> 16);
            out[2] = uint8_t(capacity >> 8);
            out[3] = uint8_t(capacity);
            return {true, 0};
        }
        return {true, 2};
    }
    std::optional<int64_t> firstPartitionBytes() override { return partitionBytes; }
    std::string path() const override { return "memory"; }

    // Identity: peripheral byte, removable bit, vendor (8) + product (16).
    void setIdentity(uint8_t peripheral, bool removable, const char* vendorProduct24,
                     const char* revision4 = "1.00")
    {
        std::memset(inquiry, 0, sizeof inquiry);
        inquiry[0] = peripheral;
        inquiry[1] = removable ? 0x80 : 0;
        std::memcpy(inquiry + 8, vendorProduct24, std::min<size_t>(24, std::strlen(vendorProduct24)));
        std::memcpy(inquiry + 32, revision4, std::min<size_t>(4, std::strlen(revision4)));
    }

    std::vector<uint8_t>& bytes() { return data_; }

    uint8_t inquiry[64] = {};
    uint32_t capacity = 0;
    uint8_t inquiryStatus = 0;
    uint8_t capacityStatus = 0;
    bool scsiWorks = true;
    bool reopenable = true;
    std::optional<int64_t> partitionBytes;
    std::atomic<int> reads{0}, writes{0}, flushes{0}, reopens{0};

private:
    std::vector<uint8_t> data_;
    // Closed from the GUI thread while a worker transfers, as volumes are.
    std::atomic<bool> open_{true};
};

}  // namespace qv::test
