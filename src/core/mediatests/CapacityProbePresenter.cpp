#include "core/mediatests/CapacityProbePresenter.h"

#include "core/text/StringTable.h"
#include "core/text/Units.h"

namespace qv {
namespace {

// Refreshes of the progress within this time of the last are skipped.
constexpr double kRefreshSeconds = 0.25;

}  // namespace

CapacityProbePresenter::CapacityProbePresenter(SharedContext& context, RunController& runs, CapacityProbeView& view,
                                               RunClock clock)
    : RunPresenter(context, runs, view, clock), probeView_(view), meter_(clock),
      result_(std::make_shared<ProbeResult>())
{
}

CapacityProbePresenter::~CapacityProbePresenter()
{
    runs_.release(*this);
}

bool CapacityProbePresenter::Start(const ProbeOptions& options)
{
    if (active() || runs_.active() || !context_.device)
        return false;
    // A fresh result per run: a worker of a released run may still hold
    // the last one.
    result_ = std::make_shared<ProbeResult>();
    texts_ = ProbeTexts{};
    meter_.start();
    clock_.restart();
    startTick_ = clock_.tickMs();
    elapsedMs_ = 0;
    destructive_ = options.destructive;
    auto worker = [options, result = result_](SharedContext& context) { CapacityProbeWorker(context, options, *result); };
    return startRun(worker, kRefreshSeconds, PROBE_FINISHED);
}

void CapacityProbePresenter::onActive(int32_t, int64_t value)
{
    if (value != PROBE_PROGRESS)
        return;
    const DeviceRecord& record = *context_.device;
    meter_.update(record.position, record.total);
    const ProgressMeter::Figures& f = meter_.figures();
    texts_.percent = f.percent;
    texts_.elapsed = f.elapsed;
    texts_.remaining = f.remaining;
    texts_.bar = f.bar;
    clock_.restart();
}

void CapacityProbePresenter::onDone(int32_t, int64_t)
{
    meter_.finish();
    const ProgressMeter::Figures& f = meter_.figures();
    texts_.percent = f.percent;
    texts_.elapsed = f.elapsed;
    texts_.remaining = f.remaining;
    texts_.bar = f.bar;
    texts_.verdict = ProbeVerdict(*result_);
    texts_.fault = ProbeFaultText(result_->fault);
    texts_.restore = ProbeRestoreText(*result_, destructive_);
    finishRun();
}

void CapacityProbePresenter::workerEnded()
{
    // After a stop or a failure the worker writes the sectors back after
    // the page went idle; what it managed is known only now.
    elapsedMs_ = clock_.tickMs() - startTick_;
    if (!result_->completed) {
        texts_.restore = ProbeRestoreText(*result_, destructive_);
        pushTexts();
    }
    RunPresenter::workerEnded();
}

void CapacityProbePresenter::pushTexts()
{
    probeView_.showTexts(texts_);
}

int CapacityProbePresenter::failureTextId() const
{
    return str::kProbeFailed;
}

std::string ProbeRestoreText(const ProbeResult& result, bool destructive)
{
    if (result.unrestoredSectors > 0)
        return Format(LoadText(str::kProbeNotRestored).c_str(), (unsigned long long)result.unrestoredSectors);
    if (destructive || result.savedSectors == 0)
        return {};
    return LoadText(str::kProbeRestored);
}

}  // namespace qv
