#include "core/run/RunController.h"

#include "core/device/SectorIO.h"

namespace qv {

void BeginRun(SharedContext& context, ProgressSink& sink)
{
    RunStatus& status = *context.status;
    status.progressWindow = &sink;
    status.redrawPending.store(0, std::memory_order_relaxed);
    status.busy = 1;
    status.failure.clear();
    status.setDone(0, 0);
}

RunController::Sink::Sink(RunController& owner, WorkerThread::Post post)
    : posted(std::move(post),
             [&owner](int32_t operation, int64_t value) -> int64_t {
                 if (owner.onReport)
                     owner.onReport(operation, value);
                 return owner.page_ ? owner.page_->OnProgress(operation, value) : 1;
             }),
      owner_(owner)
{
}

int64_t RunController::Sink::report(int32_t operation, int64_t value)
{
    // Worker thread: only the run state and the page's timer are read.
    const bool heldBack = throttle.seconds > 0 && value != throttle.alwaysValue &&
                          owner_.context_.status->state() == RUN_ACTIVE && throttle.elapsedSeconds &&
                          throttle.elapsedSeconds() < throttle.seconds;
    return heldBack ? 1 : posted.report(operation, value);
}

RunController::RunController(SharedContext& context, WorkerThread::Post post)
    : context_(context), sink_(*this, post), thread_(post)
{
}

RunController::~RunController()
{
    page_ = nullptr;
    if (!thread_.running())
        return;
    requestStop();
    sink_.posted.close();
    thread_.abandon();
    if (context_.device && context_.device->handle)
        context_.device->handle->flush();
}

bool RunController::start(RunPage& page, Worker worker, ReportThrottle throttle)
{
    if (active())
        return false;
    page_ = &page;
    sink_.throttle = std::move(throttle);
    restorePending_ = false;
    reopenPending_ = page.reopensDeviceAtEnd();
    DisableMainControls(*context_.status);
    BeginRun(context_, sink_);
    return launch(std::move(worker));
}

bool RunController::startNext(RunPage& page, Worker worker)
{
    if (page_ != &page || thread_.running() || restorePending_)
        return false;
    context_.status->failure.clear();
    return launch(std::move(worker));
}

bool RunController::launch(Worker worker)
{
    SharedContext* context = &context_;
    return thread_.start([context, worker = std::move(worker)] { worker(*context); },
                         [this] {
                             if (page_)
                                 page_->workerEnded();
                             if (restorePending_)
                                 finishIdleRestore();
                         });
}

void RunController::requestStop()
{
    context_.status->setState(RUN_STOP);
}

void RunController::EndRun(RunPage& page)
{
    page.restoreIdleControls();
    if (restorePending_ && &page == page_)
        return;
    restorePending_ = true;
    reopenPending_ = page.reopensDeviceAtEnd();
    if (!thread_.running())
        finishIdleRestore();
}

void RunController::release(RunPage& page)
{
    if (page_ != &page)
        return;
    page_ = nullptr;
    requestStop();
    // The worker can no longer wait for a report, so the join is short: the
    // block in progress.
    sink_.posted.close();
    thread_.abandon();
    sink_.posted.reopen();
    finishIdleRestore();
}

void RunController::finishIdleRestore()
{
    restorePending_ = false;
    EnableMainControls(*context_.status);
    DeviceRecord* record = context_.device;
    const DeviceHandle held = record ? record->handle.get() : nullptr;
    if (held) {
        if (reopenPending_)
            ReopenDevice(context_);
        else
            held->flush();
        // Only now, with the worker gone and the data flushed, may another
        // run have the drive.
        held->release();
    }
    context_.status->busy = 0;
    RunPage* page = page_;
    page_ = nullptr;
    if (page)
        page->idleRestored();
    if (onIdle)
        onIdle();
}

}  // namespace qv
