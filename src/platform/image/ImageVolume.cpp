#include "platform/image/ImageVolume.h"

#include "core/device/Scsi.h"
#include "platform/image/FileIO.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {

std::shared_ptr<ImageVolume> ImageVolume::open(const std::string& path, int* error, bool readOnly)
{
    int fd = ::open(path.c_str(), (readOnly ? O_RDONLY : O_RDWR) | O_CLOEXEC);
    // An image the user may only read (mode 0444, a read-only mount) still
    // serves every run that only reads; a run that writes is refused.
    int writeRefusal = readOnly ? EROFS : 0;
    if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) {
        writeRefusal = errno;
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    }
    if (fd < 0) {
        if (error)
            *error = errno;
        return nullptr;
    }
    struct stat st;
    int refusal = 0;
    if (fstat(fd, &st) != 0)
        refusal = errno;
    else if (!(S_ISREG(st.st_mode) || S_ISBLK(st.st_mode)))
        refusal = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    if (refusal) {
        if (error)
            *error = refusal;
        ::close(fd);
        return nullptr;
    }
    return std::shared_ptr<ImageVolume>(new ImageVolume(path, fd, readOnly, writeRefusal));
}

ImageVolume::ImageVolume(std::string path, int fd, bool openedReadOnly, int writeRefusal)
    : path_(std::move(path)), openedReadOnly_(openedReadOnly), readOnly_(writeRefusal != 0),
      writeRefusal_(writeRefusal), fd_(fd)
{
}


ImageVolume::~ImageVolume() = default;

bool ImageVolume::prepare(bool write, VolumeFailure* failure)
{
    int error = isOpen() ? 0 : EBADF;
    if (!error && write && readOnly_)
        error = writeRefusal_;
    if (error) {
        if (failure)
            *failure = {error, 0, {}, {}};
        return false;
    }
    return claim_->acquire(path_, write, failure);
}

void ImageVolume::release()
{
    claim_->release();
}

int64_t ImageVolume::readAt(uint64_t offset, void* buffer, size_t length)
{
    auto fd = fd_.use();
    if (!fd)
        return -EBADF;
    return PreadFull(fd[0], buffer, length, offset);
}

int64_t ImageVolume::writeAt(uint64_t offset, const void* buffer, size_t length)
{
    if (readOnly_)
        return -EROFS;
    auto fd = fd_.use();
    if (!fd)
        return -EBADF;
    return PwriteFull(fd[0], buffer, length, offset);
}

bool ImageVolume::flush()
{
    auto fd = fd_.use();
    if (!fd)
        return false;
    return readOnly_ || fdatasync(fd[0]) == 0;
}

void ImageVolume::close()
{
    fd_.close();
}

bool ImageVolume::isOpen() const
{
    return fd_.isOpen();
}

std::shared_ptr<Volume> ImageVolume::reopen()
{
    auto fresh = open(path_, nullptr, openedReadOnly_);
    if (fresh)
        fresh->claim_ = claim_;
    return fresh;
}

uint64_t ImageVolume::sizeBytes() const
{
    auto fd = fd_.use();
    return fd ? FileLength(fd[0]) : 0;
}

std::string ImageVolume::productForPath(const std::string& path)
{
    std::string name = path.substr(path.find_last_of('/') + 1);
    if (auto dot = name.find_last_of('.'); dot != std::string::npos && dot > 0)
        name.resize(dot);
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E)
            c = '_';
    name.resize(16, ' ');
    return name;
}

ScsiResult ImageVolume::scsi(const ScsiRequest& request)
{
    if (!isOpen())
        return {false, 0};
    auto* data = static_cast<uint8_t*>(request.buffer);
    switch (request.cdb[0]) {
    case 0x00:  // TEST UNIT READY
        return {true, 0};
    case 0x12: {  // INQUIRY
        uint8_t answer[36] = {};
        answer[0] = 0x00;  // direct-access device
        answer[1] = 0x80;  // removable medium
        answer[2] = 0x05;
        answer[3] = 0x02;
        answer[4] = 31;
        std::memcpy(answer + 8, "Image   ", 8);
        std::memcpy(answer + 16, productForPath(path_).data(), 16);
        std::memcpy(answer + 32, "1.0 ", 4);
        if (data)
            std::memcpy(data, answer, std::min<size_t>(request.length, sizeof answer));
        return {true, 0};
    }
    default:
        // READ CAPACITY (10) and (16) from the file's length.
        if (auto answer = AnswerReadCapacity(request, sizeBytes() / 512))
            return *answer;
        return {true, 0x02};  // CHECK CONDITION: not supported
    }
}

bool ImageVolume::hostFault(int error) const
{
    // Every failure of the image file's own writes and reads is the host's:
    // the medium it stands for has no faults but the injected ones.
    return error == ENOSPC || error == EFBIG || error == EDQUOT || error == EROFS || error == EIO;
}

}  // namespace qv
