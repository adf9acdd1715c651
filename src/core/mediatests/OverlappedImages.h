#pragma once

#include "core/mediatests/ImageFiles.h"

#include <cstdint>
#include <memory>

namespace qv {

// The file side of a transfer on a thread of its own, so that hashing,
// compressing or decompressing the image overlaps the drive's transfers.
// A few blocks of 1 MiB are in flight at most. The blocks are aligned for
// direct I/O, so that the drive's transfers can use them in place instead
// of copying every byte once more.

// Writes behind: write() queues a copy and returns at once; an error of an
// earlier chunk comes back from a later write(), commit() or finish().
// Destroying it waits for the chunks queued.
class BehindImageWriter : public ImageWriter {
public:
    // Room for the next length bytes of the image (at most 1 MiB), aligned
    // for direct I/O; the caller fills it and commits it. Null when an
    // earlier write failed or no block could be had: failure() says why.
    virtual uint8_t* room(size_t length) = 0;
    virtual int failure() const = 0;
    // Appends the length bytes filled at room(length); 0 or an errno.
    virtual int commit(size_t length) = 0;
};
std::unique_ptr<BehindImageWriter> WriteBehind(std::unique_ptr<ImageWriter> inner);

// Reads ahead of the caller in blocks of up to 1 MiB.
class AheadImageReader : public ImageReader {
public:
    // The next bytes of the image, up to length (fewer only at its end), in
    // place when they lie in one block, else copied into scratch (length
    // bytes): *bytes points at them until the next call. Bytes had, 0 at the
    // end, or -errno.
    virtual int64_t next(size_t length, const uint8_t** bytes, uint8_t* scratch) = 0;
};
std::unique_ptr<AheadImageReader> ReadAhead(std::unique_ptr<ImageReader> inner);

}  // namespace qv
