#include "platform/linux/LinuxVolume.h"

#include "platform/image/FileIO.h"
#include "platform/linux/Sysfs.h"
#include "platform/linux/SysfsScsi.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv::linux_platform {
namespace {

// Unaligned transfers are bounced in pieces of at most this many bytes.
constexpr size_t kBouncePiece = size_t(1) << 20;
constexpr uint64_t kFolioSpan = uint64_t(2) << 20;

// Opens a node read-write, read-only where writing is refused; O_DIRECT
// unless the file system refuses it. Returns the descriptor or -errno.
int openNode(const std::string& path, bool& direct, bool& readOnly)
{
    int firstError = 0;
    for (int access : {O_RDWR, O_RDONLY}) {
        for (;;) {
            int fd = ::open(path.c_str(), access | O_CLOEXEC | (direct ? O_DIRECT : 0));
            if (fd >= 0) {
                readOnly = access == O_RDONLY;
                return fd;
            }
            const int e = errno;
            if (e == EINTR)
                continue;
            if (e == EINVAL && direct) {
                direct = false;
                continue;
            }
            if (!firstError)
                firstError = e;
            break;
        }
        if (firstError != EROFS && firstError != EACCES)
            break;
    }
    return -firstError;
}

uint64_t roundUp(uint64_t value, uint64_t unit)
{
    return (value + unit - 1) / unit * unit;
}

}  // namespace

std::shared_ptr<LinuxVolume> LinuxVolume::open(const VolumeTarget& target, int* error, IoMode mode)
{
    bool direct = mode == IoMode::Auto;
    bool readOnly = false;
    const int fd = openNode(target.volumeNode, direct, readOnly);
    if (fd < 0) {
        if (error)
            *error = -fd;
        return nullptr;
    }
    return fromDescriptor(target, fd, mode, direct, readOnly, error);
}

std::shared_ptr<LinuxVolume> LinuxVolume::adopt(const VolumeTarget& target, int fd, bool readOnly,
                                                Reopener reopen, std::string access, int* error)
{
    const int flags = fcntl(fd, F_GETFL);
    const bool direct = flags >= 0 && (flags & O_DIRECT) != 0;
    auto volume = fromDescriptor(target, fd, direct ? IoMode::Auto : IoMode::Buffered, direct, readOnly, error);
    if (volume) {
        volume->reopener_ = std::move(reopen);
        volume->access_ = std::move(access);
    }
    return volume;
}

// Checks what the descriptor is and builds the volume on it; the
// descriptor is closed when it is refused.
std::shared_ptr<LinuxVolume> LinuxVolume::fromDescriptor(const VolumeTarget& target, int fd, IoMode mode,
                                                         bool direct, bool readOnly, int* error)
{
    struct stat st;
    int refused = fstat(fd, &st) != 0 ? errno : 0;
    if (!refused && !(S_ISBLK(st.st_mode) || S_ISREG(st.st_mode)))
        refused = S_ISDIR(st.st_mode) ? EISDIR : ENOTBLK;
    if (refused) {
        if (error)
            *error = refused;
        ::close(fd);
        return nullptr;
    }
    // O_DIRECT on a block device needs offsets and lengths in logical
    // blocks; on a file, a file-system block is always enough.
    size_t unit = 4096;
    if (S_ISBLK(st.st_mode)) {
        int logical = 0;
        if (ioctl(fd, BLKSSZGET, &logical) == 0 && logical >= 512 && logical <= 65536 &&
            (logical & (logical - 1)) == 0)
            unit = size_t(logical);
    }
    if (!direct)
        unit = 1;

    // SCSI commands go to the whole disk; where it cannot be opened the
    // volume's own descriptor or the sysfs identity answers.
    int diskFd = -1;
    if (!target.diskNode.empty() && target.diskNode != target.volumeNode) {
        diskFd = ::open(target.diskNode.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (diskFd < 0)
            diskFd = ::open(target.diskNode.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    }
    return std::shared_ptr<LinuxVolume>(
        new LinuxVolume(target, mode, fd, diskFd, direct, readOnly, unit, S_ISREG(st.st_mode)));
}

LinuxVolume::LinuxVolume(VolumeTarget target, IoMode mode, int volumeFd, int diskFd, bool direct,
                         bool readOnly, size_t unit, bool regularFile)
    : target_(std::move(target)), mode_(mode), direct_(direct), readOnly_(readOnly), unit_(unit),
      regularFile_(regularFile), fds_(volumeFd, diskFd)
{
    scsiPath_ = target_.diskName.empty() || HasScsiPath(target_.sysfsRoot, target_.diskName);
}

LinuxVolume::~LinuxVolume()
{
    std::free(bounce_);
}

void LinuxVolume::close()
{
    fds_.close();
}

bool LinuxVolume::isOpen() const
{
    return fds_.isOpen();
}

std::shared_ptr<Volume> LinuxVolume::reopen()
{
    if (reopener_)
        return reopener_();
    auto fresh = open(target_, nullptr, mode_);
    if (fresh)
        fresh->claim_ = claim_;
    return fresh;
}

bool LinuxVolume::prepare(bool write, VolumeFailure* failure)
{
    auto fds = fds_.use();
    if (!fds) {
        if (failure)
            *failure = {EBADF, 0, {}, {}};
        return false;
    }
    // A descriptor handed over by the disk service stands in where the user
    // may not open the node.
    return claim_->acquire(target_.volumeNode, write, failure, reopener_ ? fds[0] : -1);
}

void LinuxVolume::release()
{
    claim_->release();
}

int64_t LinuxVolume::readAt(uint64_t offset, void* buffer, size_t length)
{
    auto fds = fds_.use();
    if (!fds)
        return -EBADF;
    return transfer(fds[0], offset, buffer, length, false);
}

int64_t LinuxVolume::writeAt(uint64_t offset, const void* buffer, size_t length)
{
    if (readOnly_)
        return -EROFS;
    auto fds = fds_.use();
    if (!fds)
        return -EBADF;
    return transfer(fds[0], offset, const_cast<void*>(buffer), length, true);
}

int64_t LinuxVolume::transfer(int fd, uint64_t offset, void* buffer, size_t length, bool write)
{
    if (length == 0)
        return 0;
    if (direct_) {
        const bool aligned = reinterpret_cast<uintptr_t>(buffer) % kBufferAlignment == 0 &&
                             offset % unit_ == 0 && length % unit_ == 0;
        if (!aligned)
            return bounced(fd, offset, buffer, length, write);
    }
    int64_t result = write ? PwriteFull(fd, buffer, length, offset) : PreadFull(fd, buffer, length, offset);
    // Buffered: written data is made durable and the range's cached pages
    // dropped, so the next read comes from the medium.
    if (!direct_ && result > 0) {
        if (write && fdatasync(fd) != 0)
            return -errno;
        // Large folios that straddle the range would stay: drop whole
        // 2 MiB stretches, the largest folio the page cache makes.
        const uint64_t from = offset / kFolioSpan * kFolioSpan;
        const uint64_t to = roundUp(offset + uint64_t(result), kFolioSpan);
        posix_fadvise(fd, off_t(from), off_t(to - from), POSIX_FADV_DONTNEED);
    }
    return result;
}

int64_t LinuxVolume::bounced(int fd, uint64_t offset, void* buffer, size_t length, bool write)
{
    std::lock_guard lock(bounceMutex_);
    if (!bounce_) {
        bounce_ = std::aligned_alloc(kBufferAlignment, kBouncePiece);
        if (!bounce_)
            return -ENOMEM;
        bounceSize_ = kBouncePiece;
    }
    auto* bounce = static_cast<uint8_t*>(bounce_);
    auto* caller = static_cast<uint8_t*>(buffer);

    size_t done = 0;
    while (done < length) {
        const uint64_t pos = offset + done;
        const uint64_t start = pos - pos % unit_;
        const size_t head = size_t(pos - start);
        const size_t take = std::min(length - done, bounceSize_ - head);
        const size_t span = size_t(roundUp(pos + take, unit_) - start);
        const bool partial = head != 0 || (pos + take) % unit_ != 0;

        if (!write || partial) {
            // A read, or the read half of a read-modify-write of the
            // blocks the caller's range only partly covers.
            const int64_t got = PreadFull(fd, bounce, span, start);
            if (got < 0)
                return done ? int64_t(done) : got;
            if (!write) {
                const size_t n = size_t(got) > head ? std::min(size_t(got) - head, take) : 0;
                std::memcpy(caller + done, bounce + head, n);
                done += n;
                if (n < take)
                    break;  // end of the medium
                continue;
            }
            std::memset(bounce + got, 0, span - size_t(got));
        }

        uint64_t oldLength = 0;
        if (regularFile_) {
            struct stat st;
            oldLength = fstat(fd, &st) == 0 ? uint64_t(st.st_size) : 0;
        }
        std::memcpy(bounce + head, caller + done, take);
        const int64_t put = PwriteFull(fd, bounce, span, start);
        if (put < 0)
            return done ? int64_t(done) : put;
        // Whole blocks may have carried a file past the caller's end.
        const uint64_t wanted = std::max(oldLength, pos + take);
        if (regularFile_ && start + uint64_t(put) > wanted && ftruncate(fd, off_t(wanted)) != 0)
            return done ? int64_t(done) : -errno;
        const size_t n = size_t(put) > head ? std::min(size_t(put) - head, take) : 0;
        done += n;
        if (n < take)
            break;
    }
    return int64_t(done);
}

bool LinuxVolume::flush()
{
    auto fds = fds_.use();
    if (!fds)
        return false;
    return readOnly_ || fdatasync(fds[0]) == 0;
}

ScsiResult LinuxVolume::scsi(const ScsiRequest& request)
{
    auto fds = fds_.use();
    if (!fds)
        return {false, 0};
    if (!scsiPath_)
        return AnswerFromSysfs(target_.sysfsRoot, target_.diskName, request);
    const ScsiResult result = sgio(fds[1] >= 0 ? fds[1] : fds[0], request);
    // A descriptor handed over by the disk service may not carry SG_IO (a
    // partition, or a user without the right): the kernel's record answers.
    if (!result.delivered && reopener_ && !target_.diskName.empty())
        return AnswerFromSysfs(target_.sysfsRoot, target_.diskName, request);
    return result;
}

ScsiResult LinuxVolume::sgio(int fd, const ScsiRequest& request)
{
    uint8_t sense[32] = {};
    sg_io_hdr_t header{};
    header.interface_id = 'S';
    header.cmd_len = uint8_t(std::clamp(request.cdbLength, 6, 16));
    header.cmdp = const_cast<uint8_t*>(request.cdb);
    header.mx_sb_len = sizeof sense;
    header.sbp = sense;
    header.dxfer_len = request.buffer ? request.length : 0;
    header.dxferp = request.buffer;
    if (header.dxfer_len == 0 || request.direction == ScsiDirection::None)
        header.dxfer_direction = SG_DXFER_NONE;
    else if (request.direction == ScsiDirection::ToDevice)
        header.dxfer_direction = SG_DXFER_TO_DEV;
    else
        header.dxfer_direction = SG_DXFER_FROM_DEV;
    const uint64_t ms = uint64_t(request.timeoutSeconds) * 1000;
    header.timeout = unsigned(std::min<uint64_t>(ms ? ms : 60000, UINT_MAX));

    int r;
    do {
        r = ioctl(fd, SG_IO, &header);
    } while (r < 0 && errno == EINTR);
    if (r < 0)
        return {false, 0};
    // A transport or driver error without a SCSI status never moved the
    // command's data: it is not GOOD.
    if (header.status == 0 && (header.host_status != 0 || header.driver_status != 0))
        return {false, 0};
    return {true, header.status};
}

std::optional<int64_t> LinuxVolume::firstPartitionBytes()
{
    return FirstPartitionBytes(target_);
}

}  // namespace qv::linux_platform
