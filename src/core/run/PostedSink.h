#pragma once

#include "core/run/ProgressSink.h"
#include "core/run/WorkerThread.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace qv {

// The synchronous report: the handler runs on the owner's thread (through
// the owner's Post) and the worker waits until it has returned. A report
// made on the owner's thread calls the handler directly.
//
// close() releases a worker that waits and makes every later report return
// 0 at once, so that the owner can join the worker without serving its
// reports; reports posted before close() are dropped, never handled late.
class PostedSink : public ProgressSink {
public:
    using Handler = std::function<int64_t(int32_t operation, int64_t value)>;

    PostedSink(WorkerThread::Post post, Handler handler);
    ~PostedSink() override;

    int64_t report(int32_t operation, int64_t value) override;

    void close();
    // Takes reports again (a new run); earlier posts stay dropped.
    void reopen();

private:
    struct Shared {
        std::mutex mutex;
        std::condition_variable handled;
        bool closed = false;
        uint64_t generation = 0;
    };
    WorkerThread::Post post_;
    Handler handler_;
    std::thread::id owner_;
    std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
};

}  // namespace qv
