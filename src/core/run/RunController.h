#pragma once

#include "core/run/PostedSink.h"
#include "core/run/SharedContext.h"
#include "core/run/WorkerThread.h"

#include <functional>

namespace qv {

// What the run protocol needs of a page (its presenter).
class RunPage {
public:
    virtual ~RunPage() = default;
    // The worker's report, on the owner's thread, while the worker waits.
    virtual int64_t OnProgress(int32_t operation, int64_t value) = 0;
    // The page's idle captions and controls.
    virtual void restoreIdleControls() = 0;
    // Whether the idle restore reopens the drive (else it flushes it).
    virtual bool reopensDeviceAtEnd() const { return false; }
    // The worker thread has ended; runs before an idle restore that waited
    // for it.
    virtual void workerEnded() {}
    // The idle restore is done: drive flushed or reopened, busy cleared.
    virtual void idleRestored() {}
};

// Lets reports that the page would ignore anyway (a refresh too soon after
// the last) return at once instead of waiting for the owner's thread. Read
// on the worker thread, so it holds no reference to the page.
struct ReportThrottle {
    double seconds = 0;        // 0: every report is handed over
    int64_t alwaysValue = -1;  // a value never held back (a phase boundary)
    std::function<double()> elapsedSeconds;  // since the page's last refresh
};

// progressWindow = the run's sink, redrawPending = 0, busy = 1, no failure.
void BeginRun(SharedContext& context, ProgressSink& sink);

// The one owner of the worker thread (one in the main window, one in the
// command-line tool). Starts and ends the runs of the pages that share one
// context and carries the worker's reports to the running page. The idle
// restore that touches the device (flush or reopen), the main controls and
// the busy flag wait until the worker thread has really ended.
class RunController {
public:
    using Worker = std::function<void(SharedContext&)>;

    RunController(SharedContext& context, WorkerThread::Post post);
    // Stops a run still going, releases its worker from a report it waits
    // in and joins it; serves no events.
    ~RunController();
    RunController(const RunController&) = delete;
    RunController& operator=(const RunController&) = delete;

    // Disables the main controls, begins the run and starts the worker.
    // Refused (false, nothing changed) while a previous run is not over.
    bool start(RunPage& page, Worker worker, ReportThrottle throttle = {});
    // The next worker of the same run (the next pass), from the page's
    // workerEnded.
    bool startNext(RunPage& page, Worker worker);

    // The user's stop: RUN_STOP, honoured after the block in progress.
    void requestStop();

    // The page's idle restore, called from its progress handler.
    void EndRun(RunPage& page);

    // The page is going away mid-run: stop, release the worker from its
    // report, join it and restore idle without the page.
    void release(RunPage& page);

    // True while a worker thread runs or the idle restore is outstanding.
    bool active() const { return thread_.running() || context_.status->busy; }
    // True while page's run is not wholly over.
    bool runs(const RunPage& page) const { return page_ == &page; }

    // Runs on the owner's thread once a run is wholly over (busy cleared).
    std::function<void()> onIdle;
    // Sees every report handed to the page, on the owner's thread, before
    // the page does (the tests' record of the protocol).
    std::function<void(int32_t operation, int64_t value)> onReport;

    SharedContext& context() { return context_; }
    ProgressSink& sink() { return sink_; }
    WorkerThread& thread() { return thread_; }

private:
    class Sink : public ProgressSink {
    public:
        Sink(RunController& owner, WorkerThread::Post post);
        int64_t report(int32_t operation, int64_t value) override;
        PostedSink posted;
        ReportThrottle throttle;

    private:
        RunController& owner_;
    };

    bool launch(Worker worker);
    void finishIdleRestore();

    SharedContext& context_;
    Sink sink_;
    WorkerThread thread_;
    RunPage* page_ = nullptr;
    bool restorePending_ = false;
    bool reopenPending_ = false;
};

}  // namespace qv
