#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace qv {

// Direction of a SCSI command's data phase, as the pass-through sends it.
enum class ScsiDirection { FromDevice, ToDevice, None };

struct ScsiRequest {
    uint8_t cdb[16] = {};
    int cdbLength = 0;
    ScsiDirection direction = ScsiDirection::FromDevice;
    void* buffer = nullptr;
    uint32_t length = 0;
    uint32_t timeoutSeconds = 0;
};

struct ScsiResult {
    bool delivered = false;  // false: the system call or the transport failed
    uint8_t status = 0;      // SCSI status byte when delivered
};

// Why a volume could not be readied for a run: the system's error and, where
// the cause needs the user to act, the string id of the text that says what
// to do (0 when errno says it all).
struct VolumeFailure {
    int error = 0;
    int textId = 0;
    std::string detail;  // the service's own words, for a second line
    std::string place;   // where the drive is mounted, for the text's second %s
};

// The USB device a disk sits on, as the system names it; empty for an image
// file or a disk on another bus.
struct UsbIdentity {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::string serial;
    std::string speedMbps;  // as the kernel writes it: "480", "1.5"
    bool known() const { return vendorId != 0 || productId != 0; }
};

// An open volume: what a drive letter opened on the original platform. One
// object per open; once closed, every later transfer through it fails.
// Transfers may run on a worker thread while the GUI thread closes it.
class Volume {
public:
    virtual ~Volume() = default;

    // Positioned transfers. Return the number of bytes moved (which may be
    // short at the end of the medium) or -errno.
    virtual int64_t readAt(uint64_t offset, void* buffer, size_t length) = 0;
    virtual int64_t writeAt(uint64_t offset, const void* buffer, size_t length) = 0;

    // Makes written data reach the medium.
    virtual bool flush() = 0;

    // Every later transfer fails; a transfer in flight on another thread
    // finishes on a descriptor that is still valid.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // A fresh volume on the same path, or null when it cannot be opened.
    virtual std::shared_ptr<Volume> reopen() = 0;

    // One SCSI command to the device behind the volume.
    virtual ScsiResult scsi(const ScsiRequest& request) = 0;

    // Length in bytes of the disk's first partition; nullopt when the disk
    // has no partition table or its layout cannot be had.
    virtual std::optional<int64_t> firstPartitionBytes() { return std::nullopt; }

    // The path the volume was opened on, for messages.
    virtual std::string path() const = 0;

    // Readies the volume for a run that reads, or also writes when `write`.
    // A drive listed without being opened (the user may not open it
    // directly) is opened here, through the desktop's disk service, with
    // the medium's file systems unmounted first for a write.
    virtual bool prepare(bool write, VolumeFailure* failure)
    {
        (void)write;
        if (!isOpen() && failure)
            *failure = {EBADF, 0, {}, {}};
        return isOpen();
    }

    // Lets go of what prepare() took for the run (the claim that keeps
    // other runs off the drive), when the run is over.
    virtual void release() {}

    // The USB device behind the volume, read once when it was opened.
    virtual UsbIdentity usbIdentity() const { return {}; }

    // Whether a transfer's errno is a fault of the host rather than of the
    // medium (an image file's own file system full, over a size limit,
    // read-only or failing): such a fault ends a run as failed and is never
    // counted against the medium. A block device's errors are the medium's.
    virtual bool hostFault(int error) const
    {
        (void)error;
        return false;
    }

    // How the volume reached the device: "direct", "udisks2", "image".
    virtual std::string access() const { return "direct"; }

    // The sequential file pointer used by SeekToSector/ReadSectors/WriteSectors.
    uint64_t position() const { return position_; }
    void setPosition(uint64_t offset) { position_ = offset; }

private:
    uint64_t position_ = 0;
};

// What DeviceRecord.handle holds; null stands for an invalid handle.
using DeviceHandle = std::shared_ptr<Volume>;

}  // namespace qv
