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
        fresh->blockLength = blockLength;
        fresh->answersSixteen = answersSixteen;
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
            putBe(out, 4, capacity > 0xFFFFFFFFu ? 0xFFFFFFFFu : capacity);
            putBe(out + 4, 4, blockLength);
            return {true, 0};
        }
        if (request.cdb[0] == 0x9E && request.cdb[1] == 0x10 && answersSixteen) {
            ++sixteenAsked;
            putBe(out, 8, capacity);
            putBe(out + 8, 4, blockLength);
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

    static void putBe(uint8_t* out, int bytes, uint64_t value)
    {
        for (int i = 0; i < bytes; ++i)
            out[i] = uint8_t(value >> (8 * (bytes - 1 - i)));
    }

    uint8_t inquiry[64] = {};
    // READ CAPACITY's last block address; (10) answers 0xFFFFFFFF beyond
    // 32 bits, (16) the whole value unless answersSixteen is cleared.
    uint64_t capacity = 0;
    uint32_t blockLength = 512;
    bool answersSixteen = true;
    int sixteenAsked = 0;
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
