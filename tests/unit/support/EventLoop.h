#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace qv::test {

// A GUI thread in miniature: closures posted from any thread run on the
// thread that pumps.
class EventLoop {
public:
    void post(std::function<void()> fn)
    {
        {
            std::lock_guard lock(mutex_);
            queue_.push_back(std::move(fn));
        }
        ready_.notify_one();
    }

    // Runs posted closures until done() holds or the time is up; false on
    // time-out.
    bool pumpUntil(const std::function<bool()>& done,
                   std::chrono::milliseconds limit = std::chrono::seconds(20))
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            std::function<void()> fn;
            {
                std::unique_lock lock(mutex_);
                if (!ready_.wait_until(lock, deadline, [&] { return !queue_.empty(); }))
                    return done();
                fn = std::move(queue_.front());
                queue_.pop_front();
            }
            fn();
        }
        return true;
    }

    std::function<void(std::function<void()>)> poster()
    {
        return [this](std::function<void()> fn) { post(std::move(fn)); };
    }

private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> queue_;
};

}  // namespace qv::test
