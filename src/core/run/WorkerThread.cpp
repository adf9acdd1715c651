#include "core/run/WorkerThread.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <memory>

namespace qv {

WorkerThread::WorkerThread(Post post) : post_(std::move(post)) {}

WorkerThread::~WorkerThread()
{
    join();
}

bool WorkerThread::start(std::function<void()> fn, std::function<void()> finished)
{
    if (running_)
        return false;
    // A thread whose finished notification was never delivered has still
    // returned by now or will shortly; join it before starting anew.
    join();
    running_ = true;
    const uint64_t run = ++run_;
    std::weak_ptr<WorkerThread*> self = self_;
    thread_ = std::thread([this, self, run, fn = std::move(fn), finished = std::move(finished)]() mutable {
        RaiseThreadPriority();
        fn();
        post_([self, run, finished = std::move(finished)] {
            auto owner = self.lock();
            if (!owner)
                return;
            WorkerThread* thread = *owner;
            if (thread->run_ != run)
                return;
            thread->join();
            thread->running_ = false;
            if (finished)
                finished();
        });
    });
    return true;
}

void WorkerThread::join()
{
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id())
        thread_.join();
}

void WorkerThread::abandon()
{
    join();
    ++run_;
    running_ = false;
}

void RaiseThreadPriority()
{
    // Per-thread nice value on Linux; lowering it needs CAP_SYS_NICE.
    const pid_t tid = pid_t(syscall(SYS_gettid));
    const int current = getpriority(PRIO_PROCESS, id_t(tid));
    setpriority(PRIO_PROCESS, id_t(tid), current - 2);
}

}  // namespace qv
