#include "core/mediatests/FileBenchPresenter.h"

#include "core/mediatests/FileBenchmarkWorker.h"
#include "core/run/SharedContext.h"
#include "core/settings/Settings.h"
#include "core/text/StringIds.h"
#include "core/text/StringTable.h"

namespace qv {

FileBenchPresenter::FileBenchPresenter(SharedContext& context, RunController& runs, FileBenchView& view,
                                       BenchFileSystem& files, RunClock clock)
    : RunPresenter(context, runs, view, std::move(clock)), benchView_(view), files_(files)
{
}

bool FileBenchPresenter::Start()
{
    if (active() || runs_.active() || !context_.device)
        return false;
    DeviceRecord& record = *context_.device;
    for (int k = 0; k < kFileBenchSizes; ++k) {
        record.fileReadSpeeds[k] = record.fileWriteSpeeds[k] = -1;
        if (context_.settings)
            context_.settings->fileSizesMB[k] = kFileBenchSizesMB[k];
    }
    benchView_.clearChart();
    return startRun([files = &files_](SharedContext& context) { FileBenchmarkWorker(context, *files); });
}

void FileBenchPresenter::onActive(int32_t, int64_t value)
{
    const int index = int(value & 0xFF);
    if (index >= kFileBenchSizes)
        return;
    benchView_.drawBar(index, (value & ~int64_t(0xFF)) ? 1 : 2);
    if (context_.status->redrawPending.exchange(0, std::memory_order_relaxed))
        benchView_.repaintAll();
}

void FileBenchPresenter::onFailed(int32_t, int64_t value)
{
    const RunFailure& failure = context_.status->failure;
    std::string detail = FailureText(failure);
    if (failure.action == str::kFileSystemNotMounted)
        detail += "\n" + LoadText(str::kMountTheDrive);
    failureMessage_ = LoadText(value == kFileBenchReadFailed ? str::kFileReadError : str::kFileWriteError);
    view_.showFailure(failureMessage_, detail);
    finishRun();
}

Report FileBenchPresenter::report() const
{
    Report r = BeginReport(LoadText(str::kPerformance), outcome_, failureReason());
    if (!context_.device)
        return r;
    const DeviceRecord& record = *context_.device;
    r.drive = ReportDriveOf(record);
    ReportTable speeds{LoadText(str::kReportResults),
                       {LoadText(str::kReportFileSize), LoadText(str::kReadSpeedLegend),
                        LoadText(str::kWriteSpeedLegend)},
                       {},
                       {}};
    for (int k = 0; k < kFileBenchSizes; ++k)
        speeds.rows.push_back({std::to_string(kFileBenchSizesMB[k]) + " " + LoadText(str::kMegabytes),
                               KilobytesPerSecondText(record.fileReadSpeeds[k]),
                               KilobytesPerSecondText(record.fileWriteSpeeds[k])});
    r.tables.push_back(std::move(speeds));
    r.pictures.push_back({kFileSpeedChartSlot, LoadText(str::kReportFileSpeedChart), {}});
    return r;
}

std::string FileBenchPresenter::describeStop() const
{
    if (context_.status->donePhase.load(std::memory_order_relaxed) == kFileBenchPhaseFile)
        return LoadText(str::kStopTestFileRemoved);
    return RunPresenter::describeStop();
}

}  // namespace qv
