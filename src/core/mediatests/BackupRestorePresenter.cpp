#include "core/mediatests/BackupRestorePresenter.h"

#include "core/run/RunFailure.h"
#include "core/run/SharedContext.h"
#include "core/text/StringIds.h"
#include "core/text/StringTable.h"

namespace qv {
namespace {

// Refreshes of the figures within this time of the last are skipped.
constexpr double kRefreshSeconds = 0.25;

}  // namespace

// The worker's file request goes to the page as one more synchronous
// report, so it waits where every report waits (and a page that goes away
// can release it there).
class BackupRestorePresenter::Chooser : public FileChooser {
public:
    Chooser(BackupRestorePresenter& owner) : owner_(owner) {}
    bool chooseFile(const FileRequest& request, std::string* path) override
    {
        request_ = request;
        chosen_ = false;
        ProgressSink* sink = owner_.context_.status->progressWindow;
        const int32_t operation = owner_.operation_ == TransferKind::Backup ? OP_BACKUP : OP_RESTORE;
        if (!sink || sink->report(operation, kTransferFileRequest) != 1 || !chosen_)
            return false;
        *path = answer_;
        return true;
    }

    // On the owner's thread, inside the report.
    void answer()
    {
        chosen_ = owner_.transferView_.chooseFile(request_, &answer_);
    }

private:
    BackupRestorePresenter& owner_;
    FileRequest request_;
    std::string answer_;
    bool chosen_ = false;
};

BackupRestorePresenter::BackupRestorePresenter(SharedContext& context, RunController& runs, BackupRestoreView& view,
                                               ImageFiles& files, RunClock clock)
    : RunPresenter(context, runs, view, clock), transferView_(view), files_(files),
      chooser_(std::make_unique<Chooser>(*this)), meter_(clock, false)
{
    job_.chooser = chooser_.get();
    job_.files = &files_;
}

void BackupRestorePresenter::ResetBackupDisplay()
{
    if (context_.device)
        context_.device->position = 0;
    texts_[0] = texts_[1] = TransferTexts{};
    verifying_ = false;
    pushTexts();
}

bool BackupRestorePresenter::StartBackup(const TransferSettings& settings)
{
    return start(TransferKind::Backup, settings);
}

bool BackupRestorePresenter::StartRestore(const TransferSettings& settings)
{
    return start(TransferKind::Restore, settings);
}

bool BackupRestorePresenter::start(TransferKind kind, const TransferSettings& settings)
{
    if (active() || runs_.active() || !context_.device)
        return false;
    operation_ = kind;
    job_.compression = settings.compression;
    job_.checksum = settings.checksum;
    job_.verify = settings.verify;
    job_.offerCompressed = settings.offerCompressed;
    job_.replace = settings.replace;
    job_.path.clear();
    job_.imageBegun = false;
    job_.partial = PartialImage{};
    sectors_ = 0;
    ResetBackupDisplay();
    TransferJob* job = &job_;
    int (*worker)(SharedContext&, TransferJob&) = kind == TransferKind::Backup ? BackupWorker : RestoreWorker;
    return startRun([job, worker](SharedContext& context) { worker(context, *job); }, kRefreshSeconds);
}

void BackupRestorePresenter::onStarting(int32_t, int64_t value)
{
    if (value == kTransferFileRequest) {
        static_cast<Chooser&>(*chooser_).answer();
        return;
    }
    // The image is open: the operation begins.
    meter_.start();
    clock_.restart();
}

void BackupRestorePresenter::onActive(int32_t, int64_t value)
{
    const DeviceRecord& record = *context_.device;
    if (value == kRestoreVerifying && !verifying_) {
        // The read-back starts its own figures.
        verifying_ = true;
        meter_.start();
    }
    meter_.update(record.position, record.total);
    clock_.restart();
    takeFigures();
}

void BackupRestorePresenter::takeFigures()
{
    const ProgressMeter::Figures& f = meter_.figures();
    TransferTexts& t = texts_[int(operation_)];
    t.position = f.position;
    t.sector = verifying_ ? LoadText(str::kVerifying) + ": " + f.sector : f.sector;
    t.percent = f.percent;
    t.bar = f.bar;
    t.speed = f.speed;
    t.elapsed = f.elapsed;
    t.remaining = f.remaining;
}

void BackupRestorePresenter::onDone(int32_t, int64_t)
{
    sectors_ = context_.device->total;
    meter_.finish();
    TransferTexts& t = texts_[int(operation_)];
    t.percent = meter_.figures().percent;
    t.bar = meter_.figures().bar;
    t.remaining = meter_.figures().remaining;
    finishRun();
}

bool BackupRestorePresenter::leftPartial() const
{
    return operation_ == TransferKind::Backup && job_.imageBegun &&
           (outcome_ == RunOutcome::Failed || outcome_ == RunOutcome::Stopped);
}

std::string BackupRestorePresenter::partialText() const
{
    if (job_.partial.path.empty())
        return LoadText(str::kPartialNotKept);
    std::string text = LoadText(str::kPartialKept);
    const size_t count = text.find("%1");
    if (count != std::string::npos)
        text.replace(count, 2, std::to_string(job_.partial.sectors));
    const size_t name = text.find("%2");
    if (name != std::string::npos)
        text.replace(name, 2, job_.partial.path);
    return text;
}

void BackupRestorePresenter::onFailed(int32_t, int64_t)
{
    // The worker kept its partial image before it reported the failure.
    std::string detail = FailureText(context_.status->failure);
    const bool partial = operation_ == TransferKind::Backup && job_.imageBegun;
    if (partial)
        detail += (detail.empty() ? "" : "\n") + partialText();
    view_.showFailure(LoadText(failureTextId()), detail);
    finishRun();
    if (partial)
        texts_[0].sector = partialText();
}

void BackupRestorePresenter::workerEnded()
{
    RunPresenter::workerEnded();
    // A stop from the page ended the run before the worker kept its part.
    if (leftPartial()) {
        texts_[0].sector = partialText();
        pushTexts();
    }
}

std::string BackupRestorePresenter::describeStop() const
{
    const RunStatus& status = *context_.status;
    if (operation_ == TransferKind::Backup) {
        const std::string unchanged = LoadText(str::kStopDriveUnchanged);
        return job_.imageBegun ? unchanged + " " + partialText() : unchanged;
    }
    const uint64_t done = status.doneSectors.load(std::memory_order_relaxed);
    const std::string total = std::to_string(context_.device->total);
    switch (status.donePhase.load(std::memory_order_relaxed)) {
    case kRestoreWriting: return LoadTextWith(str::kStopRestoreState, {std::to_string(done), total});
    case kRestoreVerifyingPhase: return LoadTextWith(str::kStopRestoreVerifying, {std::to_string(done)});
    default: return LoadText(str::kStopNothingWritten);
    }
}

Report BackupRestorePresenter::report() const
{
    const bool backup = operation_ == TransferKind::Backup;
    Report r = BeginReport(LoadText(backup ? str::kBackupHeading : str::kRestoreHeading), outcome_, failureReason());
    if (context_.device)
        r.drive = ReportDriveOf(*context_.device);
    r.settings.push_back({LoadText(str::kReportImageFile), job_.path});
    if (backup) {
        r.settings.push_back({LoadText(str::kReportCompression), job_.compression == ImageCompression::Zstd
                                                                     ? std::string("zstd")
                                                                     : LoadText(str::kReportCompressionNone)});
        r.settings.push_back({LoadText(str::kReportChecksum), YesNoText(job_.checksum)});
    } else {
        r.settings.push_back({LabelValueText(str::kVerifyAfterWriting), YesNoText(job_.verify)});
    }
    const TransferTexts& t = texts_[int(operation_)];
    ReportSection figures{{},
                          {{LoadText(str::kReportProgress), t.percent},
                           {LoadText(str::kErasePosition), t.sector.empty() ? t.position
                                                                           : t.position + " (" + t.sector + ")"},
                           {LoadText(str::kTransferSpeed), t.speed},
                           {LoadText(str::kEraseElapsed), t.elapsed},
                           {LoadText(str::kEraseRemaining), t.remaining}}};
    if (outcome_ == RunOutcome::Completed)
        figures.rows.push_back({LoadText(str::kReportSectorsTransferred), std::to_string(sectors_)});
    if (leftPartial())
        figures.rows.push_back({LoadText(str::kReportPartialImage), partialText()});
    r.figures.push_back(std::move(figures));
    // A report is never written over the files of the run.
    if (!job_.path.empty()) {
        r.files.push_back(job_.path);
        if (backup && job_.checksum)
            r.files.push_back(job_.path + ".sha256");
    }
    if (!job_.partial.path.empty())
        r.files.push_back(job_.partial.path);
    return r;
}

void BackupRestorePresenter::pushTexts()
{
    transferView_.showTexts(TransferKind::Backup, texts_[0]);
    transferView_.showTexts(TransferKind::Restore, texts_[1]);
}

}  // namespace qv
