#pragma once

#include "core/device/Volume.h"

#include <chrono>
#include <thread>

namespace qv::ui::test {

// A volume that takes its time over every transfer, so that a screenshot
// can catch a run half-way; its reopened volumes are as slow.
class SlowVolume : public Volume {
public:
    SlowVolume(DeviceHandle inner, std::chrono::microseconds delay) : inner_(std::move(inner)), delay_(delay) {}

    int64_t readAt(uint64_t offset, void* buffer, size_t length) override
    {
        std::this_thread::sleep_for(delay_);
        return inner_->readAt(offset, buffer, length);
    }
    int64_t writeAt(uint64_t offset, const void* buffer, size_t length) override
    {
        std::this_thread::sleep_for(delay_);
        return inner_->writeAt(offset, buffer, length);
    }
    bool flush() override { return inner_->flush(); }
    void close() override { inner_->close(); }
    bool isOpen() const override { return inner_->isOpen(); }
    std::shared_ptr<Volume> reopen() override
    {
        DeviceHandle fresh = inner_->reopen();
        return fresh ? std::make_shared<SlowVolume>(fresh, delay_) : nullptr;
    }
    ScsiResult scsi(const ScsiRequest& request) override { return inner_->scsi(request); }
    std::string path() const override { return inner_->path(); }

private:
    DeviceHandle inner_;
    std::chrono::microseconds delay_;
};

}  // namespace qv::ui::test
