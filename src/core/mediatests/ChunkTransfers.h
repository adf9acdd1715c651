#pragma once

#include "core/device/DeviceRecord.h"

#include <cstddef>
#include <cstdint>
#include <functional>

namespace qv {

// The whole-medium runs are described in chunks of 128 sectors, one after
// the other. Underneath, the bytes travel in large requests (a USB stick
// pays a round trip per request, which at 64 KiB and one request at a time
// sets its speed), issued on a side thread so that the drive keeps working
// while the run reports, compares or hashes the chunks of the request
// before. The run still sees every chunk on its own and in order, once its
// transfer really ended; a large request that fails is done again chunk by
// chunk, so that each chunk carries the outcome it would have had alone.

// One chunk of a range, as the run handles it.
struct MovedChunk {
    uint64_t index = 0;   // counted from the start of the range
    uint64_t sector = 0;  // first sector
    int count = 0;        // sectors: 128 but for the range's last chunk
    int error = 0;        // 0, or the errno of this chunk's own transfer
    uint8_t* bytes = nullptr;
};

// How a chunk-wise transfer of a range ended.
enum class ChunksEnd {
    Complete,  // every chunk was handled
    ByFill,    // fill returned false; the chunks filled before were written and handled
    ByDone,    // done returned false
    NoMemory,  // no transfer buffers; nothing was moved
};

// Bytes per request, a whole number of chunks. 4 MiB by default: a USB
// stick's writes still gain from 1 to 4 MiB per request.
inline constexpr size_t kDefaultRequestBytes = size_t(4) << 20;
size_t TransferRequestBytes();
// Sets the request size for the runs that start after (rounded down to
// whole chunks, at least one); 0 restores the default.
void SetTransferRequestBytes(size_t bytes);

// Reads sectors [first, end) of the record's drive and hands each chunk to
// done, which returns false to end the run. A chunk that failed comes with
// its error and undefined bytes. The bytes stay valid during the call only.
ChunksEnd ReadChunks(const DeviceRecord& record, uint64_t first, uint64_t end,
                     const std::function<bool(const MovedChunk&)>& done);

// Writes sectors [first, end): fill puts each chunk's bytes into its room
// (chunk.bytes; zeros until a fill writes there, so a run that never does
// writes zeros), or returns false to write nothing from that chunk on. Once a
// chunk's write ended, done gets it (with its error) in order. Chunks are
// filled up to one request ahead of their write. reached, when given, gets
// the end of the last sector sent to the drive: a run that ends early has
// written (or tried to write) up to there, which may lie a request beyond
// the last chunk done saw.
ChunksEnd WriteChunks(const DeviceRecord& record, uint64_t first, uint64_t end,
                      const std::function<bool(const MovedChunk&)>& fill,
                      const std::function<bool(const MovedChunk&)>& done, uint64_t* reached = nullptr);

}  // namespace qv
