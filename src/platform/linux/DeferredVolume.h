#pragma once

#include "platform/linux/DiskService.h"
#include "platform/linux/LinuxVolume.h"

#include <memory>
#include <mutex>
#include <optional>

namespace qv::linux_platform {

// A drive the user may not open directly. It is listed and sized from the
// kernel's record of the disk (sysfs), and opened through the disk service
// only when a run needs it: for reading, or for writing after the medium's
// file systems have been unmounted. Transfers before that open it on
// demand, so a run that was not readied still reaches the device.
class DeferredVolume : public Volume {
public:
    DeferredVolume(VolumeTarget target, std::shared_ptr<DiskService> service);

    int64_t readAt(uint64_t offset, void* buffer, size_t length) override;
    int64_t writeAt(uint64_t offset, const void* buffer, size_t length) override;
    bool flush() override;
    void close() override;
    bool isOpen() const override;
    std::shared_ptr<Volume> reopen() override;
    ScsiResult scsi(const ScsiRequest& request) override;
    std::optional<int64_t> firstPartitionBytes() override;
    std::string path() const override { return target_.volumeNode; }
    bool prepare(bool write, VolumeFailure* failure) override;
    void release() override;
    std::string access() const override;
    UsbIdentity usbIdentity() const override { return target_.usb; }

    // The volume the service opened; null until then.
    std::shared_ptr<LinuxVolume> opened() const;

private:
    // The opened volume, for writing when `write`; null with the failure.
    // Once the service has refused, transfers fail at once with its error
    // instead of asking again for every chunk; an explicit prepare asks
    // again.
    std::shared_ptr<LinuxVolume> ensure(bool write, bool askAgain, VolumeFailure* failure);
    std::shared_ptr<LinuxVolume> open(bool write, VolumeFailure* failure);

    const VolumeTarget target_;
    const std::shared_ptr<DiskService> service_;
    mutable std::mutex mutex_;
    std::shared_ptr<LinuxVolume> opened_;
    bool writable_ = false;
    bool closed_ = false;
    std::optional<VolumeFailure> refused_;
};

}  // namespace qv::linux_platform
