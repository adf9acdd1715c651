#pragma once

#include "core/report/Report.h"
#include "core/run/RunPresenter.h"

#include <functional>

namespace qv {

class BenchFileSystem;

// What the file benchmark presenter asks of its page (or of the
// command-line tool).
class FileBenchView : public RunView {
public:
    // Before a run: the chart shows data from now on and loses its bars.
    virtual void clearChart() = 0;
    // One result: size index 0..6, series 1 (read) or 2 (write).
    virtual void drawBar(int index, int series) = 0;
    // A bar raised the chart's scale: the whole page repaints.
    virtual void repaintAll() = 0;
};

// The file benchmark page without its widgets: starts the worker on the
// selected drive's file system, hands each result to the chart, and shows a
// failure with the text of the phase that failed.
class FileBenchPresenter : public RunPresenter {
public:
    FileBenchPresenter(SharedContext& context, RunController& runs, FileBenchView& view, BenchFileSystem& files,
                       RunClock clock = RunClock::System());

    // Every result back to "not measured", the sizes of the plan into the
    // settings, and the worker started; refused without a drive or while a
    // run is not over.
    bool Start();

    // The report of the last run: read and write speed by file size as a
    // table, and the slot kFileSpeedChartSlot for the caller to fill.
    Report report() const;

private:
    void onActive(int32_t operation, int64_t value) override;
    std::string describeStop() const override;
    void onFailed(int32_t operation, int64_t value) override;

    FileBenchView& benchView_;
    BenchFileSystem& files_;
};

}  // namespace qv
