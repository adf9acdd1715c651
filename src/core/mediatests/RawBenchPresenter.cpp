#include "core/mediatests/RawBenchPresenter.h"

#include "core/mediatests/RawBenchmarkWorker.h"
#include "core/run/SharedContext.h"
#include "core/settings/Settings.h"

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

void RawBenchPresenter::pushTexts()
{
    benchView_.showTexts(figures_.texts());
}

}  // namespace qv
