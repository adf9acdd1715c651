#pragma once

#include "core/device/Volume.h"

#include <mutex>
#include <string>

namespace qv {

// How long a run waits for another run on the same drive to let go before
// it is refused.
inline constexpr int kClaimWaitMs = 1500;

// What one run holds on its drive so that no other run (in this process or
// another) works on it at the same time: an advisory lock on an own
// descriptor of the drive, exclusive for a run that writes and shared for
// one that only reads (reads may go together, a writer excludes them). A
// writing run on a block device also opens it with O_EXCL, which the kernel
// refuses while a file system on it is mounted or another program holds it
// exclusively; an image file that backs a mounted loop device is refused
// for writing too. Held until release() or destruction.
class DriveClaim {
public:
    DriveClaim() = default;
    ~DriveClaim() { release(); }
    DriveClaim(const DriveClaim&) = delete;
    DriveClaim& operator=(const DriveClaim&) = delete;

    // Takes the claim on path; false with the reason in *failure (textId
    // set, place naming where it is mounted). `fallbackFd`, when not -1, is
    // a descriptor of the drive that was opened elsewhere (the disk service
    // opened it, with O_EXCL for writing): the lock is taken on it where the
    // path cannot be opened.
    bool acquire(const std::string& path, bool write, VolumeFailure* failure, int fallbackFd = -1);
    void release();
    bool held() const;

private:
    mutable std::mutex mutex_;
    void drop();

    int lockFd_ = -1;
    int exclusiveFd_ = -1;
};

}  // namespace qv
