#pragma once

#include <cstddef>
#include <cstdint>

namespace qv {

// Whole positioned transfers: retried on EINTR and continued after short
// transfers; stop early only at end of file. Bytes moved, or -errno.
int64_t PreadFull(int fd, void* buffer, size_t length, uint64_t offset);
int64_t PwriteFull(int fd, const void* buffer, size_t length, uint64_t offset);

// Length of a regular file or block device in bytes (0 when unknown).
uint64_t FileLength(int fd);

}  // namespace qv
