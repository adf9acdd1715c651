#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

namespace qv {

// Runs one worker function on a thread of its own at raised priority and
// tells the owner, through the owner's event loop, when the thread has
// really ended. Owned by a page (or the command-line tool); one run at a time.
class WorkerThread {
public:
    // Hands a closure to the owner's thread (a queued call on the GUI's
    // event loop; a queue the tests pump).
    using Post = std::function<void(std::function<void()>)>;

    explicit WorkerThread(Post post);
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Starts fn unless a thread is still running; finished runs on the
    // owner's thread once fn has returned and the thread is joined.
    bool start(std::function<void()> fn, std::function<void()> finished);

    // True from start until the finished notification has been handled.
    bool running() const { return running_; }

    // Blocks until the thread has returned (for shutdown and tests; never
    // from the GUI thread while the worker may wait in a report).
    void join();

    // Joins the thread and forgets its finished notification: for an owner
    // that gives the run up (its page is going) once the worker can no
    // longer wait for it.
    void abandon();

private:
    Post post_;
    std::thread thread_;
    bool running_ = false;
    uint64_t run_ = 0;  // which start a queued notification belongs to
    // Lets a queued finished notification see that its owner is gone.
    std::shared_ptr<WorkerThread*> self_ = std::make_shared<WorkerThread*>(this);
};

// Asks for the highest normal priority for the calling thread; keeps the
// default silently where the system refuses.
void RaiseThreadPriority();

}  // namespace qv
