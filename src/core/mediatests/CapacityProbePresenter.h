#pragma once

#include "core/mediatests/CapacityProbe.h"
#include "core/report/Report.h"
#include "core/run/ProgressMeter.h"
#include "core/run/RunPresenter.h"

#include <memory>
#include <string>

namespace qv {

// The texts a view of the probe shows: progress while it runs, then the
// verdict, the kind of fault and what became of the overwritten sectors.
struct ProbeTexts {
    std::string percent, elapsed, remaining;
    int bar = 0;
    std::string verdict;  // "real capacity 3 GB of the 64 GB it claims"
    std::string fault;    // the kind of fault; empty for none
    std::string restore;  // whether every overwritten sector went back
};

class CapacityProbeView : public RunView {
public:
    virtual void showTexts(const ProbeTexts& texts) = 0;
};

// The capacity probe without widgets: runs CapacityProbeWorker, turns its
// reports into texts and keeps its result.
class CapacityProbePresenter : public RunPresenter {
public:
    CapacityProbePresenter(SharedContext& context, RunController& runs, CapacityProbeView& view,
                           RunClock clock = RunClock::System());
    ~CapacityProbePresenter() override;

    bool Start(const ProbeOptions& options);

    // The worker's result; whole once the run is over (active() false).
    const ProbeResult& result() const { return *result_; }
    const ProbeTexts& texts() const { return texts_; }
    // Milliseconds from the start to the worker's end.
    uint64_t elapsedMs() const { return elapsedMs_; }

    // The one line a page shows of the probe: its progress while it runs,
    // then the verdict, "stopped", or the failure with what failed on
    // what, each followed by what became of the overwritten sectors (the
    // kind of fault is in texts()). Empty before the first run.
    std::string resultLine() const;
    // The report of the last run: its mode and flush size, the verdict,
    // the sizes and the fault, the sectors moved and the restore.
    Report report() const;

protected:
    void onActive(int32_t operation, int64_t value) override;
    void onDone(int32_t operation, int64_t value) override;
    void pushTexts() override;
    int failureTextId() const override;
    bool writesToMedium() const override { return true; }
    std::string describeStop() const override;
    void workerEnded() override;

private:
    CapacityProbeView& probeView_;
    ProgressMeter meter_;
    // Written by the worker, read here only in its reports and after it ended.
    std::shared_ptr<ProbeResult> result_;
    ProbeTexts texts_;
    uint64_t startTick_ = 0;
    uint64_t elapsedMs_ = 0;
    ProbeOptions options_;
    // The drive as it was when the run started.
    ReportDrive drive_;
};

// "every overwritten sector was written back", "N sectors could not be
// written back...", or empty for a destructive run.
std::string ProbeRestoreText(const ProbeResult& result, bool destructive);

}  // namespace qv
