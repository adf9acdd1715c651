#include "platform/image/FileIO.h"

#include <cerrno>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {

int64_t PreadFull(int fd, void* buffer, size_t length, uint64_t offset)
{
    size_t done = 0;
    auto* bytes = static_cast<char*>(buffer);
    while (done < length) {
        ssize_t n = ::pread(fd, bytes + done, length - done, off_t(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return done ? int64_t(done) : -errno;
        }
        if (n == 0)
            break;
        done += size_t(n);
    }
    return int64_t(done);
}

int64_t PwriteFull(int fd, const void* buffer, size_t length, uint64_t offset)
{
    size_t done = 0;
    const auto* bytes = static_cast<const char*>(buffer);
    while (done < length) {
        ssize_t n = ::pwrite(fd, bytes + done, length - done, off_t(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return done ? int64_t(done) : -errno;
        }
        if (n == 0)
            break;
        done += size_t(n);
    }
    return int64_t(done);
}

uint64_t FileLength(int fd)
{
    struct stat st;
    if (fstat(fd, &st) != 0)
        return 0;
    if (S_ISBLK(st.st_mode)) {
        uint64_t bytes = 0;
        return ioctl(fd, BLKGETSIZE64, &bytes) == 0 ? bytes : 0;
    }
    return uint64_t(st.st_size);
}

}  // namespace qv
