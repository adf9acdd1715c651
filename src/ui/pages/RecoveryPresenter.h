#pragma once

#include "core/recovery/FoundFileList.h"
#include "core/run/SharedContext.h"
#include "core/run/WorkerThread.h"

#include <cstdint>
#include <memory>
#include <string>

namespace qv::ui {

// The percentage and the three counters of the recovery page.
struct RecoveryTexts {
    std::string percent, files, total, readErrors;
    int bar = 0;  // 0 to 1000
};

// What the recovery presenter asks of the page.
class RecoveryView {
public:
    virtual ~RecoveryView() = default;
    virtual void showTexts(const RecoveryTexts& texts) = 0;
    // Which button reads Stop, and which are enabled.
    virtual void showButtons(bool scanStops, bool scanEnabled, bool recoverStops, bool recoverEnabled) = 0;
    // The failure message box: the fixed text, and what failed on a second line.
    virtual void showFailure(const std::string& message, const std::string& detail) = 0;

    // The found-file list the workers fill and read.
    virtual FoundFileList& foundList() = 0;
    virtual void clearRows() = 0;
    // Brings rows still waiting into the list; returns the row count and
    // the total of their lengths.
    virtual int settleRows(uint64_t* totalLength) = 0;

    // Worker thread: asks the user for the target folder and waits for the
    // answer; empty when the chooser was cancelled.
    virtual std::string chooseFolder() = 0;
};

// The recovery page without its widgets: Scan and Recover doubling as Stop,
// the scan and saving workers, their reports turned into the page's texts,
// the failure messages, and the mode remembered at the end of the last
// scan. Lives on the GUI thread; OnProgress is called there through a sink
// that blocks the worker until it returns.
class RecoveryPresenter {
public:
    enum class Run { None, Scan, Save };

    RecoveryPresenter(SharedContext& context, RecoveryView& view, WorkerThread::Post post);
    ~RecoveryPresenter();

    void setProgressSink(ProgressSink* sink) { sink_ = sink; }

    // The Scan button: starts a scan of the kinds in mask, or stops the
    // running one.
    void ScanOrStop(uint64_t mask);
    // The Recover button: saves the checked rows, or stops the saving.
    void RecoverOrStop();
    // The device list changed.
    void UpdateStartControls(bool haveDevices);

    int64_t OnProgress(int32_t operation, int64_t value);

    Run run() const { return run_; }
    // Until the worker has ended.
    bool active() const { return run_ != Run::None || thread_.running(); }
    int rememberedMode() const { return rememberedMode_; }
    const RecoveryTexts& texts() const { return texts_; }

    // Runs once a worker has ended (the main window then clears the records
    // of drives that left during the run).
    std::function<void()> onIdle;

    // Asks a worker that may wait on the page to stop and waits for it,
    // serving the page's events through pump.
    void release(const std::function<void()>& pump);

private:
    struct SavingFolder;

    bool begin(Run run, std::function<void()> worker);
    void scanWorker(int mode);
    void saveWorker(int mode);
    void refreshCounters();
    void settleScan();
    void finish(int32_t state, int64_t value);
    void threadEnded();
    std::string failureDetail(int64_t value) const;

    SharedContext& context_;
    RecoveryView& view_;
    ProgressSink* sink_ = nullptr;
    WorkerThread thread_;
    Run run_ = Run::None;
    Run lastRun_ = Run::None;
    int runMode_ = 2;
    int rememberedMode_ = 0;
    bool haveRows_ = false;
    RecoveryTexts texts_;

    // Written by the saving worker before its final report, read by the
    // handler while the worker waits in that report.
    std::string workerError_;
    std::string refusal_;
    std::string createFailure_;
};

}  // namespace qv::ui
