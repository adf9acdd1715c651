#include "core/mediatests/SideThread.h"

namespace qv {

SideThread::~SideThread()
{
    if (!thread_.joinable())
        return;
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        changed_.notify();
    }
    thread_.join();
}

void SideThread::run(std::function<void()> task)
{
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, callerStreaming_, [this] { return !busy_; });
        task_ = std::move(task);
        busy_ = true;
        changed_.notify();
    }
    if (!thread_.joinable())
        thread_ = std::thread([this] { loop(); });
}

void SideThread::wait()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, callerStreaming_, [this] { return !busy_; });
}

void SideThread::loop()
{
    std::unique_lock lock(mutex_);
    bool streaming = true;
    for (;;) {
        changed_.wait(lock, streaming, [this] { return (busy_ && task_) || quit_; });
        if (!task_)
            return;  // quit with nothing left to do
        std::function<void()> task = std::move(task_);
        task_ = nullptr;
        lock.unlock();
        task();
        lock.lock();
        busy_ = false;
        changed_.notify();
    }
}

}  // namespace qv
