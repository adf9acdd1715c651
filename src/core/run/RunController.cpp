#include "core/run/RunController.h"

#include "core/device/SectorIO.h"

namespace qv {

void BeginRun(SharedContext& context, RunPage& page)
{
    RunStatus& status = *context.status;
    status.progressWindow = &page.progressSink();
    status.redrawPending.store(0, std::memory_order_relaxed);
    status.busy = 1;
}

RunController::RunController(SharedContext& context, WorkerThread::Post post)
    : context_(context), thread_(std::move(post))
{
}

bool RunController::start(RunPage& page, std::function<void(SharedContext&)> worker)
{
    if (active())
        return false;
    DisableMainControls(*context_.status);
    BeginRun(context_, page);
    restorePending_ = false;
    SharedContext* context = &context_;
    return thread_.start([context, worker = std::move(worker)] { worker(*context); },
                         [this] {
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
    EnableMainControls(*context_.status);
    page.restoreIdleControls();
    restorePending_ = true;
    reopenPending_ = page.reopensDeviceAtEnd();
    if (!thread_.running())
        finishIdleRestore();
}

void RunController::finishIdleRestore()
{
    restorePending_ = false;
    DeviceRecord* record = context_.device;
    if (record && record->handle) {
        if (reopenPending_)
            ReopenDevice(context_);
        else
            record->handle->flush();
    }
    context_.status->busy = 0;
    if (onIdle)
        onIdle();
}

}  // namespace qv
