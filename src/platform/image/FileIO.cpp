#include "platform/image/FileIO.h"

#include <cerrno>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {

namespace {

// Repeats a positioned transfer until it is whole, EINTR retried; stops at
// end of file, or at an error after some bytes moved.
template <typename Byte, typename Call>
int64_t whole(Byte* bytes, size_t length, uint64_t offset, Call call)
{
    size_t done = 0;
    while (done < length) {
        ssize_t n = call(bytes + done, length - done, off_t(offset + done));
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

}  // namespace

int64_t PreadFull(int fd, void* buffer, size_t length, uint64_t offset)
{
    return whole(static_cast<char*>(buffer), length, offset,
                 [fd](char* at, size_t n, off_t where) { return ::pread(fd, at, n, where); });
}

int64_t PwriteFull(int fd, const void* buffer, size_t length, uint64_t offset)
{
    return whole(static_cast<const char*>(buffer), length, offset,
                 [fd](const char* at, size_t n, off_t where) { return ::pwrite(fd, at, n, where); });
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
