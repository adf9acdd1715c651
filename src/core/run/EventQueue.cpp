#include "core/run/EventQueue.h"

namespace qv {

void EventQueue::post(std::function<void()> fn)
{
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(fn));
    ready_.notify();
}

WorkerThread::Post EventQueue::poster()
{
    return [this](std::function<void()> fn) { post(std::move(fn)); };
}

void EventQueue::runUntil(const std::function<bool()>& done)
{
    bool streaming = true;
    while (!done()) {
        std::function<void()> fn;
        {
            std::unique_lock lock(mutex_);
            ready_.wait(lock, streaming, [this] { return !queue_.empty(); });
            fn = std::move(queue_.front());
            queue_.pop_front();
        }
        fn();
    }
}

void EventQueue::runPending()
{
    for (;;) {
        std::function<void()> fn;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty())
                return;
            fn = std::move(queue_.front());
            queue_.pop_front();
        }
        fn();
    }
}

}  // namespace qv
