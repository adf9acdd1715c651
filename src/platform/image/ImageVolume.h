#pragma once

#include "core/device/Volume.h"
#include "platform/image/DriveClaim.h"
#include "platform/image/GuardedDescriptors.h"

#include <mutex>
#include <string>

namespace qv {

// A drive backed by an image file. It answers INQUIRY (peripheral 0,
// removable, vendor "Image", product from the file name) and READ CAPACITY
// (last LBA from the file's length) like a stick would. Transfers go through
// the page cache: an image is read at memory speed; flush is fdatasync.
class ImageVolume : public Volume {
public:
    // Opens the file read-write (read-only when readOnly, or when writing
    // is refused: prepare() then refuses runs that write); null with errno
    // set in *error when it cannot be opened.
    static std::shared_ptr<ImageVolume> open(const std::string& path, int* error = nullptr,
                                             bool readOnly = false);
    ~ImageVolume() override;

    int64_t readAt(uint64_t offset, void* buffer, size_t length) override;
    int64_t writeAt(uint64_t offset, const void* buffer, size_t length) override;
    bool flush() override;
    void close() override;
    bool isOpen() const override;
    bool prepare(bool write, VolumeFailure* failure) override;
    std::shared_ptr<Volume> reopen() override;
    ScsiResult scsi(const ScsiRequest& request) override;
    std::string path() const override { return path_; }
    std::string access() const override { return "image"; }
    bool hostFault(int error) const override;
    void release() override;

    uint64_t sizeBytes() const;

    // The 16 characters of the INQUIRY product field for an image path.
    static std::string productForPath(const std::string& path);

private:
    ImageVolume(std::string path, int fd, bool openedReadOnly, int writeRefusal);

    std::string path_;
    bool openedReadOnly_;
    bool readOnly_;
    int writeRefusal_;  // errno of the read-write open; 0 when writable
    mutable GuardedDescriptors fd_;
    // Shared with the volumes reopen() makes: a run that reopens its drive
    // keeps it to the end.
    std::shared_ptr<DriveClaim> claim_ = std::make_shared<DriveClaim>();
};

}  // namespace qv
