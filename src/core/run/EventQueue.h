#pragma once

#include "core/run/Spin.h"
#include "core/run/WorkerThread.h"

#include <deque>
#include <functional>
#include <mutex>

namespace qv {

// The owner thread's event loop where there is no GUI (the command-line
// tool, the tests): closures posted from any thread run on the owner thread.
class EventQueue {
public:
    void post(std::function<void()> fn);
    // A Post for WorkerThread that hands closures to this queue.
    WorkerThread::Post poster();

    // Runs closures until done() holds; waits for posts in between.
    void runUntil(const std::function<bool()>& done);
    // Runs what is queued now, without waiting.
    void runPending();

private:
    std::mutex mutex_;
    // A run's reports come every few tens of microseconds from a fast
    // drive: the owner then polls between them rather than sleeping.
    StreamCondition ready_{std::chrono::microseconds(200)};
    std::deque<std::function<void()>> queue_;
};

}  // namespace qv
