#include "core/run/RunPresenter.h"

#include "core/device/DeviceRecord.h"
#include "core/run/RunFailure.h"

#include "core/text/StringIds.h"
#include "core/text/StringTable.h"

namespace qv {

const char* OutcomeName(RunOutcome outcome)
{
    switch (outcome) {
    case RunOutcome::None: return "none";
    case RunOutcome::Completed: return "completed";
    case RunOutcome::Stopped: return "stopped";
    case RunOutcome::Failed: return "failed";
    case RunOutcome::TooLarge: return "too-large";
    }
    return "none";
}

RunPresenter::RunPresenter(SharedContext& context, RunController& runs, RunView& view, RunClock clock)
    : context_(context), runs_(runs), view_(view), clock_(std::move(clock))
{
}

RunPresenter::~RunPresenter()
{
    running_ = false;
    runs_.release(*this);
}

bool RunPresenter::startRun(RunController::Worker worker, double throttleSeconds, int64_t alwaysValue)
{
    if (active() || runs_.active() || !context_.device)
        return false;
    failureMessage_.clear();
    // A drive listed without being opened (the user may not open it
    // directly) is opened now, before anything of the run has changed.
    if (const DeviceHandle handle = context_.device->handle) {
        VolumeFailure refusal;
        if (!handle->prepare(writesToMedium(), &refusal)) {
            outcome_ = RunOutcome::Failed;
            failureText_ = VolumeFailureText(refusal, handle->path());
            view_.showFailure(failureText_, refusal.detail);
            return false;
        }
    }
    ReportThrottle throttle;
    if (throttleSeconds > 0)
        throttle = {throttleSeconds, alwaysValue, clock_.elapsedSeconds};
    // The state is the worker's to set; a stale RUN_STOP must not end the
    // new run before it has begun.
    context_.status->setState(RUN_STARTING);
    running_ = true;
    outcome_ = RunOutcome::None;
    failureText_.clear();
    stopText_.clear();
    view_.showRunState(true, true);
    if (runs_.start(*this, std::move(worker), std::move(throttle)))
        return true;
    if (const DeviceHandle handle = context_.device->handle)
        handle->release();
    running_ = false;
    view_.showRunState(false, true);
    return false;
}

bool RunPresenter::continueRun(RunController::Worker worker)
{
    context_.status->setState(RUN_STARTING);
    return runs_.startNext(*this, std::move(worker));
}

void RunPresenter::Stop()
{
    runs_.requestStop();
    finishRun();
}

void RunPresenter::finishRun()
{
    if (!running_)
        return;
    running_ = false;
    switch (context_.status->state()) {
    case RUN_DONE: outcome_ = RunOutcome::Completed; break;
    case RUN_STOP: outcome_ = RunOutcome::Stopped; break;
    case RUN_TOO_LARGE: outcome_ = RunOutcome::TooLarge; break;
    default: outcome_ = RunOutcome::Failed; break;
    }
    if (outcome_ == RunOutcome::Failed)
        failureText_ = FailureText(context_.status->failure);
    runs_.EndRun(*this);
}

int64_t RunPresenter::OnProgress(int32_t operation, int64_t value)
{
    if (!running_)
        return 1;
    switch (context_.status->state()) {
    case RUN_STARTING: onStarting(operation, value); break;
    case RUN_ACTIVE: onActive(operation, value); break;
    case RUN_STOP: onStopped(operation, value); break;
    case RUN_DONE: onDone(operation, value); break;
    case RUN_FAILED: onFailed(operation, value); break;
    case RUN_TOO_LARGE: onTooLarge(operation, value); break;
    default: break;
    }
    pushTexts();
    return 1;
}

std::string RunPresenter::failureReason() const
{
    if (outcome_ == RunOutcome::TooLarge)
        return LoadText(str::kSourceFileTooLarge);
    if (outcome_ != RunOutcome::Failed)
        return {};
    const std::string message = failureMessage_.empty() ? LoadText(failureTextId()) : failureMessage_;
    return failureText_.empty() ? message : message + " (" + failureText_ + ")";
}

int RunPresenter::failureTextId() const
{
    return str::kTestCancelled;
}

void RunPresenter::onFailed(int32_t, int64_t)
{
    view_.showFailure(LoadText(failureTextId()), FailureText(context_.status->failure));
    finishRun();
}

void RunPresenter::onTooLarge(int32_t, int64_t)
{
    view_.showFailure(LoadText(str::kSourceFileTooLarge), {});
    finishRun();
}

void RunPresenter::restoreIdleControls()
{
    // Start stays off until the worker has ended and the drive is restored.
    view_.showRunState(false, !runs_.thread().running());
}

void RunPresenter::workerEnded()
{
    // A worker that ended without its closing report still ends the run.
    if (running_ && !nextWorker())
        finishRun();
}

std::string RunPresenter::describeStop() const
{
    return LoadText(str::kStopDriveUnchanged);
}

void RunPresenter::idleRestored()
{
    if (outcome_ == RunOutcome::Stopped) {
        stopText_ = describeStop();
        view_.showStopState(stopText_);
    }
    view_.showRunState(false, true);
    if (onIdle)
        onIdle();
}

}  // namespace qv
