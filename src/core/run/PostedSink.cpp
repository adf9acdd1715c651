#include "core/run/PostedSink.h"

#include "core/run/Spin.h"

#include <atomic>

namespace qv {

PostedSink::PostedSink(WorkerThread::Post post, Handler handler)
    : post_(std::move(post)), handler_(std::move(handler)), owner_(std::this_thread::get_id())
{
}

PostedSink::~PostedSink()
{
    close();
}

int64_t PostedSink::report(int32_t operation, int64_t value)
{
    if (std::this_thread::get_id() == owner_)
        return handler_(operation, value);
    struct Call {
        std::atomic<bool> done{false};
        int64_t result = 0;
    };
    auto call = std::make_shared<Call>();
    std::shared_ptr<Shared> shared = shared_;
    uint64_t generation;
    {
        std::lock_guard lock(shared->mutex);
        if (shared->closed)
            return 0;
        generation = shared->generation;
    }
    post_([this, shared, call, generation, operation, value] {
        {
            // Closed (or closed and reopened) since: the sink may be gone
            // and the worker no longer waits for this call.
            std::lock_guard lock(shared->mutex);
            if (shared->closed || shared->generation != generation)
                return;
        }
        const int64_t result = handler_(operation, value);
        std::lock_guard lock(shared->mutex);
        call->result = result;
        call->done.store(true, std::memory_order_release);
        shared->handled.notify_all();
    });
    // Most handlers return within microseconds: waiting for them briefly
    // without sleeping spares the worker a wake-up, several microseconds on
    // a virtual machine, against some tens for a fast medium's chunk.
    if (SpinUntil([&] { return call->done.load(std::memory_order_acquire); })) {
        std::lock_guard lock(shared->mutex);
        return call->result;
    }
    std::unique_lock lock(shared->mutex);
    shared->handled.wait(lock, [&] { return call->done || shared->closed || shared->generation != generation; });
    return call->done ? call->result : 0;
}

void PostedSink::close()
{
    std::lock_guard lock(shared_->mutex);
    shared_->closed = true;
    ++shared_->generation;
    shared_->handled.notify_all();
}

void PostedSink::reopen()
{
    std::lock_guard lock(shared_->mutex);
    shared_->closed = false;
}

}  // namespace qv
