#include "core/mediatests/OverlappedImages.h"

#include "core/run/Spin.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace qv {
namespace {

// The file side moves blocks of 1 MiB: one hand-over between the threads
// per sixteen of the drive's 64 KiB chunks, not one per chunk. A hand-over
// wakes a thread, which on a busy machine can cost more than the chunk.
constexpr size_t kChunk = 1 << 20;
constexpr size_t kInFlight = 4;

struct BlockFree {
    void operator()(uint8_t* p) const { std::free(p); }
};

// A block's bytes are aligned to the page, so that a drive opened for
// direct I/O can transfer straight into or out of them.
struct Block {
    std::unique_ptr<uint8_t, BlockFree> data;
    size_t size = 0;

    static Block allocate()
    {
        return Block{std::unique_ptr<uint8_t, BlockFree>(static_cast<uint8_t*>(std::aligned_alloc(4096, kChunk))), 0};
    }
    explicit operator bool() const { return data != nullptr; }
};

class BehindWriter : public BehindImageWriter {
public:
    explicit BehindWriter(std::unique_ptr<ImageWriter> inner) : inner_(std::move(inner))
    {
        thread_ = std::thread([this] { drainLoop(); });
    }
    ~BehindWriter() override
    {
        // What was written before a stop or a failure still reaches the file.
        queueFilling();
        stopThread();
    }

    uint8_t* room(size_t length) override
    {
        if (earlierError())
            return nullptr;
        if (length > kChunk) {
            std::lock_guard lock(mutex_);
            error_ = EINVAL;
            return nullptr;
        }
        if (filling_ && filling_.size + length > kChunk && queueFilling())
            return nullptr;
        if (!filling_ && !takeBlock())
            return nullptr;
        return filling_.data.get() + filling_.size;
    }

    int commit(size_t length) override
    {
        if (!filling_ || filling_.size + length > kChunk) {
            const int error = earlierError();
            return error ? error : EINVAL;
        }
        filling_.size += length;
        return filling_.size == kChunk ? queueFilling() : 0;
    }

    int write(const void* bytes, size_t length) override
    {
        const auto* from = static_cast<const uint8_t*>(bytes);
        while (length > 0) {
            const size_t n = std::min<size_t>(length, filling_ ? kChunk - filling_.size : kChunk);
            uint8_t* to = room(n);
            if (!to)
                return earlierError();
            std::memcpy(to, from, n);
            if (const int error = commit(n))
                return error;
            from += n;
            length -= n;
        }
        return earlierError();
    }

    int finish(RunFailure* failure) override
    {
        queueFilling();
        stopThread();
        if (error_)
            return error_;
        return inner_->finish(failure);
    }

    PartialImage keepPartial() override
    {
        // Every block handed over before the stop or failure is written first.
        queueFilling();
        stopThread();
        return inner_->keepPartial();
    }

    uint64_t bytesWritten() const override
    {
        queueFilling();
        // Once the queue is empty no write is in progress.
        std::unique_lock lock(mutex_);
        bool streaming = false;
        changed_.wait(lock, streaming, [this] { return queue_.empty(); });
        return inner_->bytesWritten();
    }

    int failure() const override { return earlierError(); }

private:
    int earlierError() const
    {
        std::lock_guard lock(mutex_);
        return error_;
    }

    // A spare block, or a new one, becomes the one to fill.
    bool takeBlock() const
    {
        std::unique_lock lock(mutex_);
        if (!spare_.empty()) {
            filling_ = std::move(spare_.back());
            spare_.pop_back();
            filling_.size = 0;
            return true;
        }
        lock.unlock();
        filling_ = Block::allocate();
        if (filling_)
            return true;
        lock.lock();
        if (!error_)
            error_ = ENOMEM;
        return false;
    }

    // Hands the block being filled to the writing thread, waiting while
    // enough are in flight.
    int queueFilling() const
    {
        if (!filling_ || filling_.size == 0)
            return 0;
        std::unique_lock lock(mutex_);
        changed_.wait(lock, producerStreaming_, [this] { return queue_.size() < kInFlight || error_ || closing_; });
        if (error_ || closing_)
            return error_;
        queue_.push_back(std::move(filling_));
        filling_ = Block{};
        changed_.notify();
        return 0;
    }

    void drainLoop()
    {
        std::unique_lock lock(mutex_);
        bool streaming = true;
        for (;;) {
            changed_.wait(lock, streaming, [this] { return !queue_.empty() || closing_; });
            if (queue_.empty())
                return;
            Block& block = queue_.front();
            // After a failure the chunks still queued are dropped.
            const bool skip = error_ != 0;
            lock.unlock();
            const int error = skip ? 0 : inner_->write(block.data.get(), block.size);
            lock.lock();
            if (error && !error_)
                error_ = error;
            spare_.push_back(std::move(queue_.front()));
            queue_.pop_front();
            changed_.notify();
        }
    }

    void stopThread()
    {
        {
            std::lock_guard lock(mutex_);
            closing_ = true;
            changed_.notify();
        }
        if (thread_.joinable())
            thread_.join();
    }

    std::unique_ptr<ImageWriter> inner_;
    mutable std::mutex mutex_;
    mutable StreamCondition changed_;
    // Filled by the caller's thread only; bytesWritten() hands it over too.
    mutable Block filling_;
    mutable bool producerStreaming_ = true;
    mutable std::deque<Block> queue_;
    mutable std::vector<Block> spare_;
    mutable int error_ = 0;
    bool closing_ = false;
    std::thread thread_;
};

class AheadReader : public AheadImageReader {
public:
    explicit AheadReader(std::unique_ptr<ImageReader> inner)
        : inner_(std::move(inner)), length_(inner_->knownLength()), compressed_(inner_->compressed())
    {
        thread_ = std::thread([this] { fillLoop(); });
    }
    ~AheadReader() override
    {
        {
            std::lock_guard lock(mutex_);
            closing_ = true;
            changed_.notify();
        }
        thread_.join();
    }

    int64_t next(size_t length, const uint8_t** bytes, uint8_t* scratch) override
    {
        std::unique_lock lock(mutex_);
        // The block handed out in place last time is done with now.
        if (!ready_.empty() && offset_ == ready_.front().size)
            dropFront();
        changed_.wait(lock, consumerStreaming_, [this] { return !ready_.empty() || ended_; });
        if (ready_.empty())
            return result_;
        Block& front = ready_.front();
        if (front.size - offset_ >= length) {
            *bytes = front.data.get() + offset_;
            offset_ += length;
            return int64_t(length);
        }
        // Across blocks, or the image's last bytes: copied.
        size_t done = 0;
        while (done < length) {
            changed_.wait(lock, consumerStreaming_, [this] { return !ready_.empty() || ended_; });
            if (ready_.empty()) {
                if (done)
                    break;
                return result_;
            }
            Block& block = ready_.front();
            const size_t n = std::min(length - done, block.size - offset_);
            std::memcpy(scratch + done, block.data.get() + offset_, n);
            done += n;
            offset_ += n;
            if (offset_ == block.size)
                dropFront();
        }
        *bytes = scratch;
        return int64_t(done);
    }

    int64_t read(void* bytes, size_t length) override
    {
        const uint8_t* had = nullptr;
        const int64_t n = next(length, &had, static_cast<uint8_t*>(bytes));
        if (n > 0 && had != bytes)
            std::memcpy(bytes, had, size_t(n));
        return n;
    }

    std::optional<uint64_t> knownLength() const override { return length_; }
    bool compressed() const override { return compressed_; }
    std::string damage() const override
    {
        std::lock_guard lock(mutex_);
        return damage_;
    }

private:
    void dropFront()
    {
        spare_.push_back(std::move(ready_.front()));
        ready_.pop_front();
        offset_ = 0;
        changed_.notify();
    }

    // Fills whole blocks, so that a stream that comes in pieces (a
    // decompressor's) is still handed out in place.
    void fillLoop()
    {
        std::unique_lock lock(mutex_);
        bool streaming = true;
        for (;;) {
            changed_.wait(lock, streaming, [this] { return ready_.size() < kInFlight || closing_; });
            if (closing_)
                return;
            Block block;
            if (!spare_.empty()) {
                block = std::move(spare_.back());
                block.size = 0;
                spare_.pop_back();
            }
            lock.unlock();
            if (!block)
                block = Block::allocate();
            int64_t n = block ? 1 : -ENOMEM;
            while (n > 0 && block.size < kChunk) {
                n = inner_->read(block.data.get() + block.size, kChunk - block.size);
                if (n > 0)
                    block.size += size_t(n);
            }
            lock.lock();
            if (block && block.size > 0)
                ready_.push_back(std::move(block));
            if (n <= 0) {
                if (n < 0)
                    damage_ = inner_->damage();
                result_ = n;
                ended_ = true;
                changed_.notify();
                return;
            }
            changed_.notify();
        }
    }

    std::unique_ptr<ImageReader> inner_;
    const std::optional<uint64_t> length_;
    const bool compressed_;
    mutable std::mutex mutex_;
    StreamCondition changed_;
    bool consumerStreaming_ = true;
    std::deque<Block> ready_;
    std::vector<Block> spare_;
    // Bytes of the front block handed out already.
    size_t offset_ = 0;
    int64_t result_ = 0;
    std::string damage_;
    bool ended_ = false;
    bool closing_ = false;
    std::thread thread_;
};

}  // namespace

std::unique_ptr<BehindImageWriter> WriteBehind(std::unique_ptr<ImageWriter> inner)
{
    return std::make_unique<BehindWriter>(std::move(inner));
}

std::unique_ptr<AheadImageReader> ReadAhead(std::unique_ptr<ImageReader> inner)
{
    return std::make_unique<AheadReader>(std::move(inner));
}

}  // namespace qv
