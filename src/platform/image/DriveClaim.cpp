#include "platform/image/DriveClaim.h"

#include "core/text/StringIds.h"
#include "platform/image/PathPlacement.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace qv {
namespace {

int openClaim(const std::string& path, int flags)
{
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Why a writer cannot have the drive that the kernel says is busy: where a
// file system on it is mounted, else that the system holds it.
void refuseInUse(const std::string& path, VolumeFailure* failure)
{
    const std::vector<std::string> points = MountsOver(path);
    if (!failure)
        return;
    failure->error = EBUSY;
    if (points.empty()) {
        failure->textId = str::kDriveHeldBySystem;
        return;
    }
    failure->textId = str::kDriveMounted;
    failure->place.clear();
    for (const std::string& point : points)
        failure->place += (failure->place.empty() ? "" : ", ") + point;
}

}  // namespace

bool DriveClaim::acquire(const std::string& path, bool write, VolumeFailure* failure, int fallbackFd)
{
    std::lock_guard lock(mutex_);
    drop();
    // The lock first: a drive another run of this tool holds is named busy
    // as such, not as held by the system (that run's O_EXCL would say so).
    int fd = openClaim(path, O_RDONLY);
    if (fd < 0 && fallbackFd >= 0)
        fd = fcntl(fallbackFd, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        if (failure)
            *failure = {errno, 0, {}, {}};
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kClaimWaitMs);
    for (;;) {
        if (flock(fd, (write ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0)
            break;
        const int e = errno;
        if (e == EINTR)
            continue;
        if (e != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) {
            ::close(fd);
            if (failure)
                *failure = {e == EWOULDBLOCK ? EBUSY : e, e == EWOULDBLOCK ? str::kDriveBusy : 0, {}, {}};
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    lockFd_ = fd;

    if (!write)
        return true;
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISBLK(st.st_mode)) {
        // A descriptor from the disk service was opened with O_EXCL already.
        if (fallbackFd >= 0)
            return true;
        exclusiveFd_ = openClaim(path, O_RDWR | O_EXCL);
        if (exclusiveFd_ < 0 && (errno == EROFS || errno == EACCES))
            exclusiveFd_ = openClaim(path, O_RDONLY | O_EXCL);
        if (exclusiveFd_ < 0 && errno == EBUSY) {
            drop();
            refuseInUse(path, failure);
            return false;
        }
    } else if (!MountsOver(path).empty()) {
        // A file system inside the image is mounted through a loop device:
        // writing under it would destroy it.
        drop();
        refuseInUse(path, failure);
        return false;
    }
    return true;
}

bool DriveClaim::held() const
{
    std::lock_guard lock(mutex_);
    return lockFd_ >= 0;
}

void DriveClaim::release()
{
    std::lock_guard lock(mutex_);
    drop();
}

void DriveClaim::drop()
{
    for (int* fd : {&exclusiveFd_, &lockFd_}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

}  // namespace qv
