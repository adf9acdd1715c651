#pragma once

#include "core/run/SharedContext.h"
#include "core/run/WorkerThread.h"

#include <cstdint>
#include <functional>
#include <string>

namespace qv {

// Images of the log lines.
enum LogImage : int {
    LOG_INFORMATION = 0,
    LOG_WARNING = 1,
    LOG_ERROR = 2,
    LOG_NO_IMAGE = 3,
};

// The eight value texts of the page and its two progress bars.
struct ErrorScanTexts {
    std::string writeErrors, writeSpeed, writePosition, writePercent;
    std::string readErrors, readSpeed, readPosition, readPercent;
    int writeBar = 0;
    int readBar = 0;
};

// What the presenter asks of the page (or of the command-line tool).
class ErrorScanView {
public:
    virtual ~ErrorScanView() = default;
    virtual void showTexts(const ErrorScanTexts& texts) = 0;
    virtual void appendLog(const std::string& time, const std::string& text, int image) = 0;
    virtual void clearLog() = 0;
    // running: the start button reads Stop and the test boxes are disabled.
    // startEnabled: false while a stopped worker has not ended yet.
    virtual void showRunState(bool running, bool startEnabled) = 0;
    // The failure message box.
    virtual void showFailure(const std::string& message) = 0;
};

// Time sources, replaceable by tests.
struct ErrorScanClock {
    std::function<double()> elapsedSeconds;  // since the last restart
    std::function<void()> restart;
    std::function<uint64_t()> tickMs;        // display pacing, durations
    std::function<std::string()> timeOfDay;  // "[%H:%M:%S]"
    static ErrorScanClock System();
};

// The error scan page without its widgets: runs the passes, turns the
// worker's reports into texts and log lines, and returns to idle. Lives on
// the owner (GUI) thread; OnProgress must be called there, through a sink
// that blocks the worker until it returns.
class ErrorScanPresenter {
public:
    ErrorScanPresenter(SharedContext& context, ErrorScanView& view, BlockMapSink& writeMap,
                       BlockMapSink& readMap, WorkerThread::Post post,
                       ErrorScanClock clock = ErrorScanClock::System());

    // The sink that carries the worker's reports to the owner thread.
    void setProgressSink(ProgressSink* sink) { filter_.inner = sink; }
    // The function that runs one pass on the worker thread (ErrorScanWorker
    // unless a test scripts the reports).
    using PassWorker = std::function<int(SharedContext&, int32_t)>;
    void setWorker(PassWorker worker) { worker_ = std::move(worker); }

    // Starts a scan (after the write warning was accepted). Refused while a
    // previous worker has not ended or no drive is selected.
    bool Start(int32_t passesValue, int32_t testType);
    // The user's stop: RUN_STOP and back to idle.
    void Stop();
    bool running() const { return running_; }
    // True until the worker of the last pass has ended and the idle restore
    // (reopen of the drive) is done.
    bool active() const { return running_ || thread_.running() || finishPending_; }

    int64_t OnProgress(int32_t operation, int64_t phase);

    void StartPass();
    void FinishScan();
    void ResetScanDisplay();
    void AddLogLine(const std::string& text, int image);

    const ErrorScanTexts& texts() const { return texts_; }
    int32_t passes() const { return passes_; }
    int32_t passesLeft() const { return passesLeft_; }

    // Runs once a scan is wholly over (worker ended, drive reopened).
    std::function<void()> onIdle;

private:
    void refresh(int64_t phase);
    void testCompleted(int64_t phase);
    void logStage(bool writeStage);
    void logPhaseSummary(int speedText);
    void threadEnded();
    void completeIdle();

    SharedContext& context_;
    ErrorScanView& view_;
    BlockMapSink& writeMap_;
    BlockMapSink& readMap_;
    ErrorScanClock clock_;
    WorkerThread thread_;
    // What the worker reports through (status.progressWindow): reports the
    // handler would ignore anyway (a refresh within 0.25 s of the last one)
    // return at once, so the worker does not wait for the owner thread.
    class ReportFilter : public ProgressSink {
    public:
        explicit ReportFilter(const ErrorScanPresenter& presenter) : presenter_(presenter) {}
        int64_t report(int32_t operation, int64_t value) override;
        ProgressSink* inner = nullptr;

    private:
        const ErrorScanPresenter& presenter_;
    };
    ReportFilter filter_{*this};
    PassWorker worker_;

    ErrorScanTexts texts_;
    int32_t testType_ = 0;
    int32_t passes_ = 0;
    int32_t passesLeft_ = 0;
    uint64_t lastSpeedSector_ = 0;
    uint64_t phaseStartTick_ = 0;
    bool running_ = false;
    bool nextPassPending_ = false;
    bool finishPending_ = false;
};

}  // namespace qv
