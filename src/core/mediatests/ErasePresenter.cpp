#include "core/mediatests/ErasePresenter.h"

#include "core/mediatests/EraseWorker.h"
#include "core/settings/Settings.h"
#include "core/text/StringIds.h"
#include "core/text/StringTable.h"
#include "core/text/Units.h"

namespace qv {

// Refreshes of the figures within this time of the last are skipped.
constexpr double kRefreshSeconds = 0.25;

ErasePresenter::ErasePresenter(SharedContext& context, RunController& runs, EraseView& view, RunClock clock)
    : RunPresenter(context, runs, view, clock), eraseView_(view), meter_(clock)
{
}

bool ErasePresenter::full() const
{
    return context_.settings && context_.settings->eraseType != 0;
}

void ErasePresenter::ResetEraseDisplay()
{
    // The bar keeps its place until the first refresh.
    const int bar = texts_.bar;
    texts_ = EraseTexts{};
    texts_.bar = bar;
    meter_.start();
    eraseView_.showTexts(texts_);
}

bool ErasePresenter::Start()
{
    if (active() || runs_.active() || !context_.device)
        return false;
    result_ = EraseResult{};
    result_.eraseType = full() ? 1 : 0;
    result_.sectors = full() ? context_.device->sectorCount : kQuickEraseSectors + 1;
    context_.device->errorCounters[0] = 0;
    ResetEraseDisplay();
    clock_.restart();
    return startRun([](SharedContext& context) { EraseWorker(context); }, kRefreshSeconds);
}

void ErasePresenter::onActive(int32_t, int64_t value)
{
    // A quick erase shows nothing while it runs.
    if (!full())
        return;
    const DeviceRecord& record = *context_.device;
    const uint64_t d = record.sectorCount > 1 ? record.sectorCount - 1 : 1;
    meter_.update(uint64_t(value), d);
    clock_.restart();
    const ProgressMeter::Figures& f = meter_.figures();
    texts_.position = f.position;
    texts_.sector = f.sector;
    texts_.percent = f.percent;
    texts_.bar = f.bar;
    texts_.speed = f.speed;
    texts_.elapsed = f.elapsed;
    texts_.remaining = f.remaining;
    texts_.errors = Format("%d", record.errorCounters[0]);
}

void ErasePresenter::onFailed(int32_t operation, int64_t value)
{
    // The host's file under an image drive refused: the erase has ended.
    if (context_.status->failure.action == str::kFailedHostWrite) {
        RunPresenter::onFailed(operation, value);
        return;
    }
    // A failed chunk: the erase goes on; the written data are flushed.
    if (DeviceHandle handle = context_.device->handle.get())
        handle->flush();
}

void ErasePresenter::onDone(int32_t, int64_t)
{
    const DeviceRecord& record = *context_.device;
    result_.failedChunks = record.errorCounters[0];
    const std::string remaining = texts_.remaining;
    meter_.finish();
    texts_.percent = meter_.figures().percent;
    texts_.bar = meter_.figures().bar;
    texts_.remaining = full() ? meter_.figures().remaining : remaining;
    texts_.errors = Format("%d", record.errorCounters[0]);
    const RunFailure failure = context_.status->failure;
    finishRun();
    if (result_.failedChunks > 0) {
        // Not a success: say how many chunks were left as they were.
        std::string text = LoadText(str::kEraseChunksFailed);
        const size_t at = text.find("%1");
        if (at != std::string::npos)
            text.replace(at, 2, std::to_string(result_.failedChunks));
        outcome_ = RunOutcome::Failed;
        failureText_ = FailureText(failure);
        failureMessage_ = text;
        eraseView_.showFailure(text, failureText_);
    } else {
        eraseView_.showMessage(LoadText(str::kFlashErased));
    }
}

std::string ErasePresenter::describeStop() const
{
    const RunStatus& status = *context_.status;
    const uint64_t done = status.doneSectors.load(std::memory_order_relaxed);
    if (done == 0)
        return LoadText(str::kStopNothingWritten);
    return LoadTextWith(str::kStopEraseState, {std::to_string(done - 1), std::to_string(context_.device->sectorCount)});
}

Report ErasePresenter::report() const
{
    Report r = BeginReport(LoadText(str::kErase), outcome_, failureReason());
    if (context_.device)
        r.drive = ReportDriveOf(*context_.device);
    r.settings = {{LoadText(str::kReportEraseType),
                   LabelValueText(result_.eraseType ? str::kFullErase : str::kQuickErase)}};
    ReportSection figures{{}, {}};
    // A quick erase shows no figures while it runs; its count says it all.
    if (result_.eraseType)
        figures.rows = {{LoadText(str::kReportProgress), texts_.percent},
                        {LoadText(str::kErasePosition), texts_.position},
                        {LoadText(str::kEraseWriteSpeed), texts_.speed},
                        {LoadText(str::kEraseElapsed), texts_.elapsed},
                        {LoadText(str::kEraseRemaining), texts_.remaining},
                        {LoadText(str::kEraseErrors), texts_.errors}};
    if (outcome_ == RunOutcome::Completed)
        figures.rows.push_back({LoadText(str::kReportSectorsZeroed), std::to_string(result_.sectors)});
    if (!figures.rows.empty())
        r.figures.push_back(std::move(figures));
    return r;
}

void ErasePresenter::pushTexts()
{
    eraseView_.showTexts(texts_);
}

}  // namespace qv
