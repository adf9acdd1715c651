#pragma once

#include "core/run/SharedContext.h"
#include "core/run/WorkerThread.h"

#include <functional>

namespace qv {

// What the run protocol needs of a page.
class RunPage {
public:
    virtual ~RunPage() = default;
    virtual ProgressSink& progressSink() = 0;
    // The page's idle captions and controls.
    virtual void restoreIdleControls() = 0;
    // Whether the idle restore reopens the drive (else it flushes it).
    virtual bool reopensDeviceAtEnd() const { return false; }
};

// progressWindow = the page, redrawPending = 0, busy = 1.
void BeginRun(SharedContext& context, RunPage& page);

// Starts and ends the runs of the pages that share one context. The idle
// restore that touches the device (flush or reopen) and the clearing of the
// busy flag wait until the worker thread has really ended.
class RunController {
public:
    RunController(SharedContext& context, WorkerThread::Post post);

    // Disables the main controls, begins the run and starts the worker.
    // Refused (false, nothing changed) while a previous worker still runs.
    bool start(RunPage& page, std::function<void(SharedContext&)> worker);

    // The user's stop: RUN_STOP, honoured after the block in progress.
    void requestStop();

    // The page's idle restore, called from its progress handler.
    void EndRun(RunPage& page);

    // True while a worker thread runs or the idle restore is outstanding.
    bool active() const { return thread_.running() || context_.status->busy; }

    // Runs on the owner's thread once a run is wholly over (busy cleared).
    std::function<void()> onIdle;

    WorkerThread& thread() { return thread_; }

private:
    void finishIdleRestore();

    SharedContext& context_;
    WorkerThread thread_;
    bool restorePending_ = false;
    bool reopenPending_ = false;
};

}  // namespace qv
