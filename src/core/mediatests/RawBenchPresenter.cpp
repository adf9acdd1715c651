#include "core/mediatests/RawBenchPresenter.h"

#include "core/mediatests/RawBenchmarkWorker.h"
#include "core/run/SharedContext.h"
#include "core/settings/Settings.h"
#include "core/text/StringIds.h"
#include "core/text/StringTable.h"

namespace qv {

RawBenchPresenter::RawBenchPresenter(SharedContext& context, RunController& runs, RawBenchView& view, RunClock clock)
    : RunPresenter(context, runs, view, std::move(clock)), benchView_(view), worker_(RawBenchmarkWorker)
{
}

bool RawBenchPresenter::Start()
{
    if (active() || runs_.active() || !context_.device || !context_.settings || !context_.settings->testType)
        return false;
    figures_.reset(*context_.device, *context_.settings);
    benchView_.clearChart();
    benchView_.showTexts(figures_.texts());
    context_.device->benchTests = context_.settings->testType;
    return startRun([worker = worker_](SharedContext& context) { worker(context); });
}

void RawBenchPresenter::onActive(int32_t operation, int64_t value)
{
    // Every report but a sample is an access time.
    if (operation != OP_RAW_BENCH) {
        figures_.access(value);
        return;
    }
    BenchSample point;
    bool raised = false;
    if (!figures_.sample(value, &point, &raised))
        return;
    if (raised)
        benchView_.maximumSpeedRaised();
    benchView_.addPoint(point);
}

void RawBenchPresenter::onDone(int32_t, int64_t)
{
    figures_.done();
    finishRun();
}

Report RawBenchPresenter::report() const
{
    Report r = BeginReport(LoadText(str::kLowLevelTest), outcome_, failureReason());
    const int32_t tests = context_.device ? context_.device->benchTests : 0;
    if (context_.device)
        r.drive = ReportDriveOf(*context_.device);
    const RawBenchTexts& t = figures_.texts();
    const int headings[2] = {str::kBenchReadSpeed, str::kBenchWriteSpeed};
    const int32_t bits[2] = {kBenchReadTest, kBenchWriteTest};
    for (int column = 0; column < 2; ++column) {
        r.settings.push_back({LoadText(headings[column]), YesNoText(tests & bits[column])});
        if (!(tests & bits[column]))
            continue;
        r.figures.push_back({LoadText(headings[column]),
                             {{t.label[column], t.current[column]},
                              {LoadText(str::kBenchMinimumSpeed), t.minimum[column]},
                              {LoadText(str::kBenchMaximumSpeed), t.maximum[column]},
                              {LoadText(str::kBenchAccessTime), t.access[column]}}});
    }
    r.pictures.push_back({kSpeedChartSlot, LoadText(str::kReportSpeedChart), {}});
    return r;
}

void RawBenchPresenter::pushTexts()
{
    benchView_.showTexts(figures_.texts());
}

std::string RawBenchPresenter::describeStop() const
{
    const RunStatus& status = *context_.status;
    if (status.donePhase.load(std::memory_order_relaxed) == kBenchPhaseWriting)
        return LoadTextWith(str::kStopBenchWritten, {std::to_string(status.doneSectors.load(std::memory_order_relaxed))});
    return RunPresenter::describeStop();
}

}  // namespace qv
