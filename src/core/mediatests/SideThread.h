#pragma once

#include "core/run/Spin.h"

#include <functional>
#include <mutex>
#include <thread>

namespace qv {

// Runs one task at a time on a thread of its own, beside the caller's
// work: the error scan compares a chunk there while it reads the next.
// The thread starts with the first task; the destructor waits for the last.
class SideThread {
public:
    SideThread() = default;
    ~SideThread();
    SideThread(const SideThread&) = delete;
    SideThread& operator=(const SideThread&) = delete;

    // Waits for the task before, then starts this one.
    void run(std::function<void()> task);
    // Returns once the last task has ended; what it wrote is visible then.
    void wait();

private:
    void loop();

    std::mutex mutex_;
    // Tasks come every few tens of microseconds on a fast drive: the
    // thread then polls for the next one rather than sleeping.
    StreamCondition changed_{std::chrono::microseconds(200)};
    bool callerStreaming_ = true;
    std::thread thread_;
    std::function<void()> task_;
    bool busy_ = false;
    bool quit_ = false;
};

}  // namespace qv
