#include "core/mediatests/OverlappedImages.h"

#include <condition_variable>
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

using Chunk = std::vector<uint8_t>;

class BehindWriter : public ImageWriter {
public:
    explicit BehindWriter(std::unique_ptr<ImageWriter> inner) : inner_(std::move(inner))
    {
        filling_.reserve(kChunk + 65536);
        thread_ = std::thread([this] { drainLoop(); });
    }
    ~BehindWriter() override
    {
        // What was written before a stop or a failure still reaches the file.
        queueFilling();
        stopThread();
    }

    int write(const void* bytes, size_t length) override
    {
        {
            std::lock_guard lock(mutex_);
            if (error_)
                return error_;
        }
        const auto* from = static_cast<const uint8_t*>(bytes);
        filling_.insert(filling_.end(), from, from + length);
        return filling_.size() >= kChunk ? queueFilling() : 0;
    }

    int finish(RunFailure* failure) override
    {
        queueFilling();
        stopThread();
        if (error_)
            return error_;
        return inner_->finish(failure);
    }

    uint64_t bytesWritten() const override
    {
        queueFilling();
        // Once the queue is empty no write is in progress.
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return queue_.empty(); });
        return inner_->bytesWritten();
    }

private:
    // Hands the block being filled to the writing thread, waiting while
    // enough are in flight; a spare block becomes the next one to fill.
    int queueFilling() const
    {
        if (filling_.empty())
            return 0;
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return queue_.size() < kInFlight || error_ || closing_; });
        if (error_ || closing_)
            return error_;
        queue_.push_back(std::move(filling_));
        filling_.clear();
        if (!spare_.empty()) {
            filling_ = std::move(spare_.back());
            spare_.pop_back();
            filling_.clear();
        }
        filling_.reserve(kChunk + 65536);
        lock.unlock();
        changed_.notify_all();
        return 0;
    }

    void drainLoop()
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return !queue_.empty() || closing_; });
            if (queue_.empty())
                return;
            Chunk chunk = std::move(queue_.front());
            // After a failure the chunks still queued are dropped.
            const bool skip = error_ != 0;
            lock.unlock();
            const int error = skip ? 0 : inner_->write(chunk.data(), chunk.size());
            lock.lock();
            queue_.pop_front();
            if (error && !error_)
                error_ = error;
            spare_.push_back(std::move(chunk));
            changed_.notify_all();
        }
    }

    void stopThread()
    {
        {
            std::lock_guard lock(mutex_);
            closing_ = true;
        }
        changed_.notify_all();
        if (thread_.joinable())
            thread_.join();
    }

    std::unique_ptr<ImageWriter> inner_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    // Filled by the caller's thread only; bytesWritten() hands it over too.
    mutable Chunk filling_;
    mutable std::deque<Chunk> queue_;
    mutable std::vector<Chunk> spare_;
    int error_ = 0;
    bool closing_ = false;
    std::thread thread_;
};

class AheadReader : public ImageReader {
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
        }
        changed_.notify_all();
        thread_.join();
    }

    int64_t read(void* bytes, size_t length) override
    {
        auto* out = static_cast<uint8_t*>(bytes);
        size_t done = 0;
        std::unique_lock lock(mutex_);
        while (done < length) {
            changed_.wait(lock, [this] { return !ready_.empty() || ended_; });
            if (ready_.empty()) {
                if (done)
                    break;
                return result_;
            }
            Chunk& front = ready_.front();
            const size_t n = std::min(length - done, front.size() - offset_);
            std::memcpy(out + done, front.data() + offset_, n);
            done += n;
            offset_ += n;
            if (offset_ == front.size()) {
                ready_.pop_front();
                offset_ = 0;
                changed_.notify_all();
            }
        }
        return int64_t(done);
    }

    std::optional<uint64_t> knownLength() const override { return length_; }
    bool compressed() const override { return compressed_; }

private:
    void fillLoop()
    {
        Chunk chunk(kChunk);
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return ready_.size() < kInFlight || closing_; });
            if (closing_)
                return;
            lock.unlock();
            chunk.resize(kChunk);
            int64_t n = inner_->read(chunk.data(), kChunk);
            lock.lock();
            if (n <= 0) {
                result_ = n;
                ended_ = true;
                changed_.notify_all();
                return;
            }
            chunk.resize(size_t(n));
            ready_.push_back(std::move(chunk));
            chunk = Chunk(kChunk);
            changed_.notify_all();
        }
    }

    std::unique_ptr<ImageReader> inner_;
    const std::optional<uint64_t> length_;
    const bool compressed_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Chunk> ready_;
    size_t offset_ = 0;
    int64_t result_ = 0;
    bool ended_ = false;
    bool closing_ = false;
    std::thread thread_;
};

}  // namespace

std::unique_ptr<ImageWriter> WriteBehind(std::unique_ptr<ImageWriter> inner)
{
    return std::make_unique<BehindWriter>(std::move(inner));
}

std::unique_ptr<ImageReader> ReadAhead(std::unique_ptr<ImageReader> inner)
{
    return std::make_unique<AheadReader>(std::move(inner));
}

}  // namespace qv
