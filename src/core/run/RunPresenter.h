#pragma once

#include "core/run/RunClock.h"
#include "core/run/RunController.h"

#include <cstdint>
#include <string>

namespace qv {

// How a run ended.
enum class RunOutcome {
    None,       // no run yet, or one still going
    Completed,  // the worker finished its work
    Stopped,    // the user (or Ctrl-C) stopped it
    Failed,     // a transfer or file operation failed, or the worker ended early
    TooLarge,   // the source file is larger than the medium
};
const char* OutcomeName(RunOutcome outcome);

// What every page's view does beside its own figures.
class RunView {
public:
    virtual ~RunView() = default;
    // running: the start button reads Stop. startEnabled: false while a
    // stopped worker has not ended yet.
    virtual void showRunState(bool running, bool startEnabled) = 0;
    // The failure message box: the page's fixed text, and as a second line
    // what failed on what (empty when the worker left no record).
    virtual void showFailure(const std::string& message, const std::string& detail) = 0;
    // After a stop, once the worker has ended: what the run did and what
    // state it left the drive and its files in.
    virtual void showStopState(const std::string& text) { (void)text; }
};

// The base of every page's presenter: starts its worker through the run
// controller, hands each report to a hook by run state, shows a failure,
// and returns to idle through the controller's EndRun. A derived presenter
// maps the reports to its texts. Lives on the owner's thread.
class RunPresenter : public RunPage {
public:
    RunPresenter(SharedContext& context, RunController& runs, RunView& view, RunClock clock = RunClock::System());
    // A run still going is stopped and its worker joined (never waiting on
    // a report).
    ~RunPresenter() override;

    // The user's stop: RUN_STOP and back to idle at once; the idle restore
    // that touches the drive waits for the worker.
    void Stop();
    // Between the start and the return to idle (the start button reads Stop).
    bool running() const { return running_; }
    // Until the worker has ended and the idle restore is done.
    bool active() const { return running_ || runs_.runs(*this); }

    // Dispatches by runState; reports of a run already ended are ignored.
    int64_t OnProgress(int32_t operation, int64_t value) final;

    // Runs once a run is wholly over (worker ended, drive flushed or reopened).
    std::function<void()> onIdle;

    SharedContext& context() { return context_; }
    // How the last run ended, and what failed on what when it failed.
    RunOutcome outcome() const { return outcome_; }
    const std::string& failureText() const { return failureText_; }
    // A run has ended and its figures stand (the page can save a report).
    bool hasFinishedRun() const { return !active() && outcome_ != RunOutcome::None; }
    // Why the last run did not complete, as the user saw it: the page's
    // failure message and, in brackets, what failed on what; "too large"
    // for a source too large. Empty after a completed or stopped run.
    std::string failureReason() const;
    // After a stopped run whose worker has ended: what was done and the
    // state of the drive and the files; empty otherwise.
    const std::string& stopText() const { return stopText_; }

protected:
    // Starts a run with worker; refused while a run is not over or without a
    // drive. throttleSeconds > 0 lets RUN_ACTIVE reports within that time of
    // the last clock.restart() return at once, except those with alwaysValue.
    bool startRun(RunController::Worker worker, double throttleSeconds = 0, int64_t alwaysValue = -1);
    // The next worker of this run, from nextWorker().
    bool continueRun(RunController::Worker worker);
    // Back to idle (EndRun); the drive's restore follows the worker's end.
    void finishRun();

    // Hooks by run state; each is called with the report's operation and value.
    virtual void onStarting(int32_t, int64_t) {}
    virtual void onActive(int32_t, int64_t) {}
    virtual void onDone(int32_t, int64_t) { finishRun(); }
    virtual void onStopped(int32_t, int64_t) { finishRun(); }
    // Shows failureTextId() with the failure record, then finishRun().
    virtual void onFailed(int32_t, int64_t);
    // Shows "The source file is too large", then finishRun().
    virtual void onTooLarge(int32_t, int64_t);
    // After every handled report: push the texts to the view.
    virtual void pushTexts() {}
    virtual int failureTextId() const;
    // The worker ended while the run goes on: start the next one (true) or
    // let the run end (false).
    virtual bool nextWorker() { return false; }
    // Whether the run about to start writes to the medium; such a drive is
    // readied for writing (its file systems unmounted) before the worker
    // starts.
    virtual bool writesToMedium() const { return false; }
    // The words a stop ends with, read once the worker has ended (its
    // figures and RunStatus's done counters are final then). The default
    // fits a run that only reads the drive.
    virtual std::string describeStop() const;

    // RunPage
    void restoreIdleControls() override;
    void workerEnded() override;
    void idleRestored() override;

    SharedContext& context_;
    RunController& runs_;
    RunView& view_;
    RunClock clock_;
    RunOutcome outcome_ = RunOutcome::None;
    std::string failureText_;
    // The message a presenter showed for its failure in place of
    // failureTextId()'s (a count of chunks, the phase that failed).
    std::string failureMessage_;
    std::string stopText_;

private:
    bool running_ = false;
};

}  // namespace qv
