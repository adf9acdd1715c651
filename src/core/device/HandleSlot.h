#pragma once

#include "core/device/Volume.h"

#include <mutex>

namespace qv {

// DeviceRecord's handle. A worker replaces it (reopen) while the GUI thread
// may close it (the drive left), so every access takes a small lock; users
// get a shared copy that stays valid for the call it is used in.
class HandleSlot {
public:
    HandleSlot() = default;
    HandleSlot(DeviceHandle handle) : handle_(std::move(handle)) {}
    HandleSlot(const HandleSlot& other) : handle_(other.get()) {}
    HandleSlot& operator=(const HandleSlot& other)
    {
        if (this != &other)
            *this = other.get();
        return *this;
    }
    HandleSlot& operator=(DeviceHandle handle)
    {
        std::lock_guard lock(mutex_);
        handle_.swap(handle);
        return *this;
    }

    DeviceHandle get() const
    {
        std::lock_guard lock(mutex_);
        return handle_;
    }
    operator DeviceHandle() const { return get(); }
    // The copy lives to the end of the full expression: record.handle->close().
    DeviceHandle operator->() const { return get(); }
    explicit operator bool() const { return get() != nullptr; }

    friend bool operator==(const HandleSlot& slot, std::nullptr_t) { return slot.get() == nullptr; }
    friend bool operator==(const HandleSlot& slot, const DeviceHandle& handle) { return slot.get() == handle; }

private:
    mutable std::mutex mutex_;
    DeviceHandle handle_;
};

}  // namespace qv
