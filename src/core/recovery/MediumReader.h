#pragma once

#include "core/run/SharedContext.h"

#include <cstdint>
#include <vector>

namespace qv {

// Sector reads of the length rules. A read succeeds only when every sector
// lies inside the medium and was read; a failure adds 1 to readErrors, and
// one that reaches past the medium's end also 1 to readsPastEnd.
// Reads are served from a 64-sector read-ahead window when it holds them,
// so rules that step sector by sector do not make one system call a sector.
class MediumReader {
public:
    explicit MediumReader(SharedContext& context);

    // count sectors from sector into out (count × 512 bytes).
    bool read(uint64_t sector, int count, uint8_t* out);

    // length bytes at byte offset within the file that begins at first.
    bool readBytes(uint64_t first, uint64_t offset, size_t length, uint8_t* out);

    // The same reads for looking ahead at what lies on the medium (the next
    // file's signature, the bytes after an end marker): a failure is no
    // answer and counts nothing.
    bool peek(uint64_t sector, int count, uint8_t* out) { return fetch(sector, count, out); }
    bool peekBytes(uint64_t first, uint64_t offset, size_t length, uint8_t* out);

private:
    bool fetch(uint64_t sector, int count, uint8_t* out);
    bool copyBytes(uint64_t first, uint64_t offset, size_t length, uint8_t* out);
    void fail(uint64_t sector, uint64_t count);
    void failBytes(uint64_t first, uint64_t offset, size_t length);

    SharedContext& context_;
    std::vector<uint8_t> window_;
    uint64_t windowFirst_ = 0;
    uint64_t windowCount_ = 0;
};

}  // namespace qv
