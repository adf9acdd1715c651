#include "core/mediatests/CapacityProbePresenter.h"

#include "core/device/DeviceRecord.h"
#include "core/text/StringIds.h"
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
    options_ = options;
    drive_ = ReportDriveOf(*context_.device);
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
    texts_.restore = ProbeRestoreText(*result_, options_.destructive);
    finishRun();
}

void CapacityProbePresenter::workerEnded()
{
    // After a stop or a failure the worker writes the sectors back after
    // the page went idle; what it managed is known only now.
    elapsedMs_ = clock_.tickMs() - startTick_;
    if (!result_->completed) {
        texts_.restore = ProbeRestoreText(*result_, options_.destructive);
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

std::string CapacityProbePresenter::resultLine() const
{
    if (running())
        return texts_.percent.empty() ? LoadText(str::kProbeTitle)
                                      : Format("%s: %s  %s", LoadText(str::kProbeTitle).c_str(),
                                               texts_.percent.c_str(), texts_.elapsed.c_str());
    std::string line;
    switch (outcome_) {
    case RunOutcome::None: return {};
    case RunOutcome::Completed: line = texts_.verdict; break;
    case RunOutcome::Stopped: line = LoadText(str::kProbeStopped); break;
    default: line = failureReason(); break;
    }
    if (!texts_.restore.empty())
        line += "; " + texts_.restore;
    return line;
}

std::string CapacityProbePresenter::describeStop() const
{
    const ProbeResult& p = *result_;
    if (options_.destructive)
        return p.probeSectors == 0 ? LoadText(str::kStopNothingWritten)
                                   : LoadTextWith(str::kStopProbeDestructive, {std::to_string(p.probeSectors)});
    if (p.unrestoredSectors > 0)
        return LoadTextWith(str::kStopProbeUnrestored,
                            {std::to_string(p.unrestoredSectors), std::to_string(p.savedSectors)});
    return p.savedSectors == 0 ? LoadText(str::kStopNothingWritten)
                               : LoadTextWith(str::kStopProbeRestored, {std::to_string(p.savedSectors)});
}

Report CapacityProbePresenter::report() const
{
    Report r = BeginReport(LoadText(str::kProbeTitle), outcome_, failureReason());
    r.drive = drive_;
    r.settings = {{LoadText(str::kProbeMode),
                   LoadText(options_.destructive ? str::kProbeModeDestructive : str::kProbeModeRestoring)},
                  {LoadText(str::kProbeFlushSize), MegabytesText(options_.flushBytes / 512)}};
    const ProbeResult& p = *result_;
    ReportSection figures;
    if (outcome_ == RunOutcome::Completed) {
        const std::string fault = ProbeFaultText(p.fault);
        figures.rows = {{LoadText(str::kProbeVerdictLabel), texts_.verdict},
                        {LoadText(str::kProbeClaimedSize), CapacityText(p.claimedSectors)},
                        {LoadText(str::kProbeRealSize), CapacityText(p.realSectors)},
                        {LoadText(str::kProbeFaultLabel), fault.empty() ? LoadText(str::kProbeNoFault) : fault}};
    }
    figures.rows.push_back({LoadText(str::kProbeRounds), std::to_string(p.rounds)});
    figures.rows.push_back({LoadText(str::kProbeSectorsProbed), std::to_string(p.probeSectors)});
    figures.rows.push_back({LoadText(str::kProbeSectorsWritten), std::to_string(p.sectorsWritten)});
    figures.rows.push_back({LoadText(str::kProbeSectorsRead), std::to_string(p.sectorsRead)});
    figures.rows.push_back({LoadText(str::kTimeTaken), DurationText(elapsedMs_)});
    if (!texts_.restore.empty())
        figures.rows.push_back({LoadText(str::kProbeOverwritten), texts_.restore});
    r.figures.push_back(std::move(figures));
    return r;
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
