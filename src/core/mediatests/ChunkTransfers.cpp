#include "core/mediatests/ChunkTransfers.h"

#include "core/mediatests/SideThread.h"
#include "core/mediatests/TransferIO.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <vector>

namespace qv {
namespace {

std::atomic<size_t> requestBytes{kDefaultRequestBytes};

// The chunks one request moves, in a buffer of their own.
struct Batch {
    TransferBuffer data;
    uint64_t firstChunk = 0;
    int chunks = 0;
    std::vector<int> errors;
    bool failed = false;
};

class Range {
public:
    Range(const DeviceRecord& record, uint64_t first, uint64_t end)
        : record_(record), first_(first), end_(end), chunks_(end > first ? TransferChunkCount(end - first) : 0),
          perBatch_(int(TransferRequestBytes() / kTransferChunkBytes))
    {
    }

    uint64_t batchCount() const { return (chunks_ + uint64_t(perBatch_) - 1) / uint64_t(perBatch_); }

    // Two buffers of one request each: one moves while the other is handled.
    bool allocate(bool zeroed)
    {
        const size_t bytes = size_t(perBatch_) * kTransferChunkBytes;
        for (Batch& batch : batches_) {
            batch.data.reset(static_cast<uint8_t*>(std::aligned_alloc(4096, bytes)));
            if (!batch.data)
                return false;
            if (zeroed)
                std::memset(batch.data.get(), 0, bytes);
            batch.errors.assign(size_t(perBatch_), 0);
        }
        return true;
    }

    Batch& batch(uint64_t b) { return batches_[b % 2]; }

    Batch& begin(uint64_t b)
    {
        Batch& batch = this->batch(b);
        batch.firstChunk = b * uint64_t(perBatch_);
        batch.chunks = int(std::min<uint64_t>(uint64_t(perBatch_), chunks_ - batch.firstChunk));
        batch.failed = false;
        return batch;
    }

    MovedChunk chunk(const Batch& batch, int i) const
    {
        MovedChunk chunk;
        chunk.index = batch.firstChunk + uint64_t(i);
        chunk.sector = first_ + chunk.index * kTransferChunkSectors;
        chunk.count = int(std::min<uint64_t>(kTransferChunkSectors, end_ - chunk.sector));
        chunk.error = batch.errors[size_t(i)];
        chunk.bytes = batch.data.get() + size_t(i) * kTransferChunkBytes;
        return chunk;
    }

    // On the side thread: the batch in one request; where that fails, chunk
    // by chunk over the same range, so each chunk gets its own outcome.
    void move(Batch& batch, bool write)
    {
        const MovedChunk head = chunk(batch, 0);
        const MovedChunk tail = chunk(batch, batch.chunks - 1);
        const int sectors = int(tail.sector + uint64_t(tail.count) - head.sector);
        const int error = write ? WriteChunkAt(record_, head.sector, sectors, head.bytes)
                                : ReadChunkAt(record_, head.sector, sectors, head.bytes);
        std::fill(batch.errors.begin(), batch.errors.begin() + batch.chunks, 0);
        batch.failed = error != 0;
        if (!error)
            return;
        if (batch.chunks == 1) {
            batch.errors[0] = error;
            return;
        }
        for (int i = 0; i < batch.chunks; ++i) {
            const MovedChunk c = chunk(batch, i);
            batch.errors[size_t(i)] = write ? WriteChunkAt(record_, c.sector, c.count, c.bytes)
                                            : ReadChunkAt(record_, c.sector, c.count, c.bytes);
        }
    }

    // A chunk handled after its drive left counts as failed, whatever the
    // request moved before: the run sees the removal where it would have
    // with one request per chunk.
    bool handle(const Batch& batch, const std::function<bool(const MovedChunk&)>& done) const
    {
        for (int i = 0; i < batch.chunks; ++i) {
            MovedChunk moved = chunk(batch, i);
            if (!moved.error && record_.detached)
                moved.error = ENODEV;
            if (!done(moved))
                return false;
        }
        return true;
    }

private:
    const DeviceRecord& record_;
    const uint64_t first_;
    const uint64_t end_;
    const uint64_t chunks_;
    const int perBatch_;
    Batch batches_[2];
};

}  // namespace

size_t TransferRequestBytes()
{
    return requestBytes.load(std::memory_order_relaxed);
}

void SetTransferRequestBytes(size_t bytes)
{
    if (bytes == 0)
        bytes = kDefaultRequestBytes;
    bytes = std::max(kTransferChunkBytes, bytes / kTransferChunkBytes * kTransferChunkBytes);
    requestBytes.store(bytes, std::memory_order_relaxed);
}

ChunksEnd ReadChunks(const DeviceRecord& record, uint64_t first, uint64_t end,
                     const std::function<bool(const MovedChunk&)>& done)
{
    Range range(record, first, end);
    const uint64_t batches = range.batchCount();
    if (batches == 0)
        return ChunksEnd::Complete;
    if (!range.allocate(false))
        return ChunksEnd::NoMemory;
    // Declared after the buffers: its end waits for the request in flight
    // before they are freed.
    SideThread side;
    side.run([&range, &batch = range.begin(0)] { range.move(batch, false); });
    for (uint64_t b = 0; b < batches; ++b) {
        side.wait();
        Batch& ready = range.batch(b);
        // After a failure the run may end at that chunk: nothing is read
        // past it before the run has seen it.
        const bool ahead = b + 1 < batches && !ready.failed;
        if (ahead)
            side.run([&range, &batch = range.begin(b + 1)] { range.move(batch, false); });
        if (!range.handle(ready, done))
            return ChunksEnd::ByDone;
        if (b + 1 < batches && !ahead)
            side.run([&range, &batch = range.begin(b + 1)] { range.move(batch, false); });
    }
    return ChunksEnd::Complete;
}

ChunksEnd WriteChunks(const DeviceRecord& record, uint64_t first, uint64_t end,
                      const std::function<bool(const MovedChunk&)>& fill,
                      const std::function<bool(const MovedChunk&)>& done, uint64_t* reached)
{
    Range range(record, first, end);
    const uint64_t batches = range.batchCount();
    uint64_t sent = first;
    if (reached)
        *reached = first;
    if (batches == 0)
        return ChunksEnd::Complete;
    if (!range.allocate(true))
        return ChunksEnd::NoMemory;
    // Every batch sent ends before this returns (the side thread's end
    // waits for it), so what was sent is what the medium may hold now.
    const auto send = [&](SideThread& side, Batch& next) {
        const MovedChunk tail = range.chunk(next, next.chunks - 1);
        sent = tail.sector + uint64_t(tail.count);
        if (reached)
            *reached = sent;
        side.run([&range, &next] { range.move(next, true); });
    };
    SideThread side;
    for (uint64_t b = 0; b < batches; ++b) {
        // Filled while the batch before is written; its buffer was handled
        // before that batch went.
        Batch& next = range.begin(b);
        int filled = 0;
        while (filled < next.chunks && fill(range.chunk(next, filled)))
            ++filled;
        const bool fillEnded = filled < next.chunks;
        next.chunks = filled;
        side.wait();
        if (b > 0) {
            // A failed write is handled before anything later is written:
            // the run may end there.
            const Batch& written = range.batch(b - 1);
            if (written.failed && !range.handle(written, done))
                return ChunksEnd::ByDone;
            if (next.chunks > 0)
                send(side, next);
            if (!written.failed && !range.handle(written, done))
                return ChunksEnd::ByDone;
        } else if (next.chunks > 0) {
            send(side, next);
        }
        if (fillEnded) {
            side.wait();
            if (!range.handle(next, done))
                return ChunksEnd::ByDone;
            return ChunksEnd::ByFill;
        }
    }
    side.wait();
    return range.handle(range.batch(batches - 1), done) ? ChunksEnd::Complete : ChunksEnd::ByDone;
}

}  // namespace qv
