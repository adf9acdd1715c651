#pragma once

#include <condition_variable>
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
    std::condition_variable changed_;
    std::thread thread_;
    std::function<void()> task_;
    bool busy_ = false;
    bool quit_ = false;
};

}  // namespace qv
