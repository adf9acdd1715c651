#pragma once

#include "core/device/Volume.h"
#include "platform/image/DriveClaim.h"
#include "platform/image/GuardedDescriptors.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

namespace qv::linux_platform {

// What a volume is opened on: the node sectors go to, the whole-disk node
// SCSI commands go to, and the disk's kernel name for its sysfs entries
// (empty for a plain file).
struct VolumeTarget {
    std::string volumeNode;  // "/dev/sdb1", or "/dev/sdb" without partitions
    std::string diskNode;    // "/dev/sdb"; empty: the volume node itself
    std::string diskName;    // "sdb"
    std::string volumeName;  // "sdb1" when the volume is a partition
    std::string sysfsRoot = "/sys";
    // The USB device the disk sits on, read when the drive is opened.
    UsbIdentity usb;
};

enum class IoMode {
    Auto,      // O_DIRECT, buffered where the file system refuses it
    Buffered,  // page cache, flushed and dropped after every transfer
};

// A volume on a block device (or a file) through a file descriptor. Sector
// transfers bypass the page cache with O_DIRECT and 4096-byte aligned
// buffers, going through an own aligned bounce buffer when the caller's
// buffer, offset or length is not aligned. SCSI commands go out with SG_IO
// on the whole-disk node; disks without a SCSI path (mmcblk, loop) answer
// INQUIRY and READ CAPACITY from sysfs.
class LinuxVolume : public Volume {
public:
    // Null with errno in *error when the node cannot be opened. A node that
    // refuses writing (write-protected medium) is opened read-only.
    static std::shared_ptr<LinuxVolume> open(const VolumeTarget& target, int* error = nullptr,
                                             IoMode mode = IoMode::Auto);
    // Takes over a descriptor of the volume node that was opened elsewhere
    // (the disk service hands one over): O_DIRECT when the descriptor has
    // it. Reopening goes through `reopen`, never through the path.
    using Reopener = std::function<std::shared_ptr<Volume>()>;
    static std::shared_ptr<LinuxVolume> adopt(const VolumeTarget& target, int fd, bool readOnly,
                                              Reopener reopen, std::string access, int* error = nullptr);
    ~LinuxVolume() override;

    int64_t readAt(uint64_t offset, void* buffer, size_t length) override;
    int64_t writeAt(uint64_t offset, const void* buffer, size_t length) override;
    bool flush() override;
    void close() override;
    bool isOpen() const override;
    std::shared_ptr<Volume> reopen() override;
    ScsiResult scsi(const ScsiRequest& request) override;
    std::optional<int64_t> firstPartitionBytes() override;
    std::string path() const override { return target_.volumeNode; }
    std::string access() const override { return access_; }
    bool prepare(bool write, VolumeFailure* failure) override;
    void release() override;
    UsbIdentity usbIdentity() const override { return target_.usb; }

    // True when transfers bypass the page cache with O_DIRECT.
    bool direct() const { return direct_; }
    bool readOnly() const { return readOnly_; }
    // Offsets and lengths that are multiples of this go straight through.
    size_t directUnit() const { return unit_; }
    const VolumeTarget& target() const { return target_; }

    static constexpr size_t kBufferAlignment = 4096;

private:
    LinuxVolume(VolumeTarget target, IoMode mode, int volumeFd, int diskFd, bool direct, bool readOnly,
                size_t unit, bool regularFile);
    static std::shared_ptr<LinuxVolume> fromDescriptor(const VolumeTarget& target, int fd, IoMode mode,
                                                       bool direct, bool readOnly, int* error);

    int64_t transfer(int fd, uint64_t offset, void* buffer, size_t length, bool write);
    int64_t bounced(int fd, uint64_t offset, void* buffer, size_t length, bool write);
    ScsiResult sgio(int fd, const ScsiRequest& request);

    VolumeTarget target_;
    IoMode mode_;
    bool direct_;
    bool readOnly_;
    size_t unit_;
    bool regularFile_;
    bool scsiPath_;
    Reopener reopener_;
    std::string access_ = "direct";

    // The volume node's descriptor and the whole disk's (-1 when they are
    // one node).
    GuardedDescriptors fds_;

    // Shared with the volumes reopen() makes: a run that reopens its drive
    // keeps it to the end.
    std::shared_ptr<DriveClaim> claim_ = std::make_shared<DriveClaim>();

    std::mutex bounceMutex_;
    void* bounce_ = nullptr;
    size_t bounceSize_ = 0;
};

}  // namespace qv::linux_platform
