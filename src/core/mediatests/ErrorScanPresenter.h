#pragma once

#include "core/report/Report.h"
#include "core/mediatests/ErrorScanWorker.h"
#include "core/run/RunPresenter.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qv {

class BlockMapSink;

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
class ErrorScanView : public RunView {
public:
    virtual void showTexts(const ErrorScanTexts& texts) = 0;
    virtual void appendLog(const std::string& time, const std::string& text, int image) = 0;
    virtual void clearLog() = 0;
};

// The figures of a whole scan, summed over its passes.
struct ErrorScanResult {
    int32_t passes = 0;      // asked for
    int32_t passesDone = 0;  // completed
    int32_t testType = 0;
    int64_t writeErrors = 0;     // chunks that failed to write
    int64_t readErrors = 0;      // chunks that failed to read
    int64_t differingBytes = 0;  // bytes read back unlike the pattern
    double writeSpeed = 0;       // MB/s of the last write test
    double readSpeed = 0;        // MB/s of the last read test
};

// The error scan page without its widgets: runs the passes, turns the
// worker's reports into texts and log lines, and returns to idle.
class ErrorScanPresenter : public RunPresenter {
public:
    ErrorScanPresenter(SharedContext& context, RunController& runs, ErrorScanView& view, BlockMapSink& writeMap,
                       BlockMapSink& readMap, RunClock clock = RunClock::System());
    // Joins a worker still running before the maps it marks may go.
    ~ErrorScanPresenter() override;

    // The function that runs one pass on the worker thread (ErrorScanWorker
    // unless a test scripts the reports).
    using PassWorker = std::function<int(SharedContext&, int32_t)>;
    void setWorker(PassWorker worker) { worker_ = std::move(worker); }

    // Starts a scan (after the write warning was accepted). Refused while a
    // previous worker has not ended or no drive is selected.
    bool Start(int32_t passesValue, int32_t testType);

    void ResetScanDisplay();
    void AddLogLine(const std::string& text, int image);

    const ErrorScanTexts& texts() const { return texts_; }
    const ErrorScanResult& result() const { return result_; }
    int32_t passes() const { return passes_; }
    int32_t passesLeft() const { return passesLeft_; }

    // The report of the last scan: its settings, the figures the page shows,
    // the totals, the log, the outcome, and the two maps as the picture
    // slots kWriteMapSlot and kReadMapSlot for the caller to fill.
    Report report() const;

private:
    void onActive(int32_t operation, int64_t phase) override;
    void onDone(int32_t operation, int64_t phase) override;
    void pushTexts() override;
    bool nextWorker() override;
    bool reopensDeviceAtEnd() const override { return true; }
    bool writesToMedium() const override { return (testType_ & kScanWriteTest) != 0; }
    std::string describeStop() const override;
    void idleRestored() override;

    void preparePass();
    RunController::Worker passWorker();
    void logStage(bool writeStage);
    double logPhaseSummary(int speedText);

    ErrorScanView& scanView_;
    BlockMapSink& writeMap_;
    BlockMapSink& readMap_;
    PassWorker worker_;

    ErrorScanTexts texts_;
    std::vector<ReportLogLine> log_;
    ErrorScanResult result_;
    int32_t testType_ = 0;
    int32_t passes_ = 0;
    int32_t passesLeft_ = 0;
    uint64_t lastSpeedSector_ = 0;
    uint64_t phaseStartTick_ = 0;
    bool nextPassPending_ = false;
};

}  // namespace qv
