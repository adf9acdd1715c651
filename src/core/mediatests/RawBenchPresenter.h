#pragma once

#include "core/device/DeviceRecord.h"
#include "core/mediatests/RawBenchFigures.h"
#include "core/mediatests/RawBenchmarkWorker.h"
#include "core/report/Report.h"
#include "core/run/RunPresenter.h"

#include <functional>

namespace qv {

// What the low-level benchmark presenter asks of its page (or of the
// command-line tool).
class RawBenchView : public RunView {
public:
    virtual void showTexts(const RawBenchTexts& texts) = 0;
    // Before a run: the chart shows data from now on and loses its old lines.
    virtual void clearChart() = 0;
    // One new sample on the chart.
    virtual void addPoint(const BenchSample& point) = 0;
    // Maximum Speed was raised: the whole page repaints, the chart rescales.
    virtual void maximumSpeedRaised() = 0;
};

// The low-level benchmark page without its widgets: starts the worker with
// the Test Type setting, turns its reports into figures and chart points,
// and returns to idle. The write warning is the page's to show first.
class RawBenchPresenter : public RunPresenter {
public:
    RawBenchPresenter(SharedContext& context, RunController& runs, RawBenchView& view,
                      RunClock clock = RunClock::System());

    // The function that runs on the worker thread (RawBenchmarkWorker
    // unless a test scripts the reports).
    using Worker = std::function<int(SharedContext&)>;
    void setWorker(Worker worker) { worker_ = std::move(worker); }

    // Starts a run of the tests in settings->testType; refused without a
    // test, without a drive, or while a run is not over.
    bool Start();

    const RawBenchTexts& texts() const { return figures_.texts(); }

    // The report of the last run: the tests chosen, each column's figures,
    // and the slot kSpeedChartSlot for the caller to fill with the chart.
    Report report() const;

private:
    bool writesToMedium() const override { return (context_.device->benchTests & kBenchWriteTest) != 0; }
    void onActive(int32_t operation, int64_t value) override;
    std::string describeStop() const override;
    void onDone(int32_t operation, int64_t value) override;
    void pushTexts() override;

    RawBenchView& benchView_;
    RawBenchFigures figures_;
    Worker worker_;
};

}  // namespace qv
