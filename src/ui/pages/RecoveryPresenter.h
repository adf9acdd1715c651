#pragma once

#include "core/recovery/FoundFileList.h"
#include "core/recovery/RecoveryReport.h"
#include "core/run/RunPresenter.h"

#include <cstdint>
#include <string>

namespace qv::ui {

// The percentage and the three counters of the recovery page.
struct RecoveryTexts {
    std::string percent, files, total, readErrors;
    int bar = 0;  // 0 to 1000
};

// The two buttons of the recovery page: which one reads Stop, and which
// are enabled.
struct RecoveryButtons {
    bool scanStops = false, scanEnabled = false;
    bool recoverStops = false, recoverEnabled = false;
    bool idle() const { return !scanStops && !recoverStops; }
};

// What the recovery presenter asks of the page beside the run's state
// (showRunState: the page shows buttons()) and the failure box.
class RecoveryView : public RunView {
public:
    virtual void showTexts(const RecoveryTexts& texts) = 0;

    // The found-file list the workers fill and read.
    virtual FoundFileList& foundList() = 0;
    virtual void clearRows() = 0;
    // Brings rows still waiting into the list; returns the row count and
    // the total of their lengths.
    virtual int settleRows(uint64_t* totalLength) = 0;

    // Asks the user for the target folder (GUI thread); empty when the
    // chooser was cancelled.
    virtual std::string chooseFolder() = 0;
};

// The recovery page without its widgets: Scan and Recover doubling as Stop,
// the scan and saving workers, their reports turned into the page's texts,
// the failure messages, and the mode remembered at the end of the last
// scan. The saving worker asks for the folder with a report of its own, so
// the chooser runs on the GUI thread and a page that goes away releases the
// worker from the question like from any report.
class RecoveryPresenter : public RunPresenter {
public:
    enum class Run { None, Scan, Save };

    RecoveryPresenter(SharedContext& context, RunController& runs, RecoveryView& view);

    // The Scan button: starts a scan of the kinds in mask, or stops the
    // running one (back to idle at once).
    void ScanOrStop(uint64_t mask);
    // The Recover button: saves the checked rows, or asks the saving to
    // stop (the buttons come back with its last report).
    void RecoverOrStop();
    // The device list changed.
    void UpdateStartControls(bool haveDevices);

    RecoveryButtons buttons() const;
    Run run() const { return running() ? run_ : Run::None; }
    int rememberedMode() const { return rememberedMode_; }
    const RecoveryTexts& texts() const { return texts_; }

    // A scan has ended (the report is of the last scan, also after a saving
    // run that followed it).
    bool hasFinishedScan() const { return !active() && scan_.outcome != RunOutcome::None; }
    Report report() const;

protected:
    void onStarting(int32_t operation, int64_t value) override;
    void onActive(int32_t operation, int64_t value) override;
    void onDone(int32_t operation, int64_t value) override;
    void onStopped(int32_t operation, int64_t value) override;
    void onFailed(int32_t operation, int64_t value) override;
    void pushTexts() override;
    void workerEnded() override;
    void idleRestored() override;
    std::string describeStop() const override;

private:
    struct SavingFolder;

    void scanWorker(SharedContext& context, int mode);
    void saveWorker(SharedContext& context, int mode);
    void refreshCounters();
    void settleScan();
    void keepScanSummary();
    void endRun();

    RecoveryView& recoveryView_;
    Run run_ = Run::None;
    int runMode_ = 2;
    int rememberedMode_ = 0;
    bool haveRows_ = false;
    bool haveDevices_ = true;
    bool recoverAllowed_ = false;
    RecoveryTexts texts_;
    RecoveryScanSummary scan_;

    // Written by the saving worker before a report, read by the handler
    // while the worker waits in it (and the other way round for the folder).
    std::string chosenFolder_;
    bool folderAnswered_ = false;
    std::string workerError_;
    std::string refusal_;
    std::string createFailure_;
    // The names the saving worker gave the files it saved.
    std::vector<std::string> savedAs_;
};

}  // namespace qv::ui
