#pragma once

#include "core/run/ProgressSink.h"
#include "core/run/WorkerThread.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace qv {

// The owner thread's event loop where there is no GUI (the command-line
// tool, the tests): closures posted from any thread run on the owner thread.
class EventQueue {
public:
    EventQueue() : owner_(std::this_thread::get_id()) {}

    void post(std::function<void()> fn);
    // A Post for WorkerThread that hands closures to this queue.
    WorkerThread::Post poster();

    // Runs closures until done() holds; waits for posts in between.
    void runUntil(const std::function<bool()>& done);
    // Runs what is queued now, without waiting.
    void runPending();

    bool onOwnerThread() const { return std::this_thread::get_id() == owner_; }

private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> queue_;
    std::thread::id owner_;
};

// The synchronous report over an EventQueue: the handler runs on the queue's
// owner thread and the worker waits until it has returned.
class QueuedProgressSink : public ProgressSink {
public:
    using Handler = std::function<int64_t(int32_t, int64_t)>;
    QueuedProgressSink(EventQueue& queue, Handler handler) : queue_(queue), handler_(std::move(handler)) {}
    int64_t report(int32_t operation, int64_t value) override;

private:
    EventQueue& queue_;
    Handler handler_;
};

}  // namespace qv
