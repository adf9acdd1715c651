#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace qv {

// Polls `ready` for a short while, yielding the processor between polls
// (the thread that is to make it true may need this very core). True when
// it became true in time; the caller then need not sleep on a condition.
template <typename Ready>
bool SpinUntil(Ready ready, std::chrono::microseconds limit = std::chrono::microseconds(50))
{
    const auto end = std::chrono::steady_clock::now() + limit;
    do {
        if (ready())
            return true;
        std::this_thread::yield();
    } while (std::chrono::steady_clock::now() < end);
    return ready();
}

// A condition variable for two threads passing a stream of blocks. Waking a
// sleeping thread costs tens of microseconds on a virtual machine, and
// putting one to sleep once per block halves a fast transfer; so a waiter
// whose last wait was short polls for up to `limit` before it sleeps. A
// slow stream makes every wait long and costs no polling at all.
class StreamCondition {
public:
    explicit StreamCondition(std::chrono::microseconds limit = std::chrono::microseconds(2000)) : limit_(limit) {}

    // Waits with `lock` held until done() holds; `streaming` is the
    // waiter's own memory of how its last wait went.
    template <typename Done>
    void wait(std::unique_lock<std::mutex>& lock, bool& streaming, Done done)
    {
        if (done())
            return;
        const auto start = std::chrono::steady_clock::now();
        if (streaming) {
            const uint64_t seen = changes_.load(std::memory_order_acquire);
            lock.unlock();
            SpinUntil([&] { return changes_.load(std::memory_order_acquire) != seen; }, limit_);
            lock.lock();
        }
        changed_.wait(lock, done);
        streaming = std::chrono::steady_clock::now() - start < limit_;
    }

    // After a change of what waiters wait for, made under their mutex.
    void notify()
    {
        changes_.fetch_add(1, std::memory_order_release);
        changed_.notify_all();
    }

private:
    const std::chrono::microseconds limit_;
    std::atomic<uint64_t> changes_{0};
    std::condition_variable changed_;
};

}  // namespace qv
