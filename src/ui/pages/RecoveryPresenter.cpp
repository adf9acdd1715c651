#include "ui/pages/RecoveryPresenter.h"

#include "core/device/DeviceRecord.h"
#include "core/recovery/DirectoryScanner.h"
#include "core/recovery/FormatMask.h"
#include "core/recovery/RecoveryProgress.h"
#include "core/recovery/RecoverySaving.h"
#include "core/recovery/SignatureScanner.h"
#include "core/settings/Settings.h"
#include "core/text/StringIds.h"
#include "core/text/StringTable.h"
#include "core/text/Units.h"
#include "platform/image/PosixOutputFolder.h"
#include "platform/image/PosixOutputFiles.h"

#include <algorithm>

namespace qv::ui {
namespace {

constexpr int kReadError = 109;
constexpr int kNoFilesSelected = 152;
constexpr int kFolderRefused = 40712;
constexpr int kCannotCreate = 40713;
constexpr int kDirectoryMode = 1;
constexpr int kSignatureMode = 2;
// The saving worker's question for the folder: a report while the run is
// still starting.
constexpr int64_t kAskFolder = -1;

std::string replaceTwo(std::string text, const std::string& first, const std::string& second)
{
    const size_t at = text.find("%s");
    if (at != std::string::npos)
        text.replace(at, 2, first);
    const size_t next = text.find("%s", at == std::string::npos ? 0 : at + first.size());
    if (next != std::string::npos)
        text.replace(next, 2, second);
    return text;
}

// Never written to: the workers report "nothing checked" before they
// create a file.
class NoFolder : public OutputFolder {
public:
    std::unique_ptr<OutputFile> create(const std::string&, std::string* error) override
    {
        *error = "no folder";
        return nullptr;
    }
    bool existingNames(std::vector<std::string>*, std::string*) override { return true; }
    std::string path() const override { return {}; }
};

}  // namespace

// The chosen folder; remembers which file could not be created and why.
struct RecoveryPresenter::SavingFolder : OutputFolder {
    SavingFolder(const std::string& path, std::string& failure) : inner(path), failure(failure) {}
    std::unique_ptr<OutputFile> create(const std::string& name, std::string* error) override
    {
        std::unique_ptr<OutputFile> file = inner.create(name, error);
        if (!file)
            failure = replaceTwo(LoadText(kCannotCreate), inner.path() + "/" + name, *error);
        return file;
    }
    bool existingNames(std::vector<std::string>* names, std::string* error) override
    {
        return inner.existingNames(names, error);
    }
    std::string path() const override { return inner.path(); }

    PosixOutputFolder inner;
    std::string& failure;
};

RecoveryPresenter::RecoveryPresenter(SharedContext& context, RunController& runs, RecoveryView& view)
    : RunPresenter(context, runs, view), recoveryView_(view)
{
}

RecoveryButtons RecoveryPresenter::buttons() const
{
    RecoveryButtons b;
    if (running()) {
        b.scanStops = run_ == Run::Scan;
        b.recoverStops = run_ == Run::Save;
        b.scanEnabled = b.scanStops;
        b.recoverEnabled = b.recoverStops;
        return b;
    }
    // Both come back once the worker has ended.
    const bool idle = !active();
    b.scanEnabled = idle && haveDevices_;
    b.recoverEnabled = idle && haveRows_ && recoverAllowed_;
    return b;
}

void RecoveryPresenter::ScanOrStop(uint64_t mask)
{
    if (running()) {
        if (run_ == Run::Scan) {
            rememberedMode_ = runMode_;
            recoverAllowed_ = true;
            Stop();
        }
        return;
    }
    if (active() || !context_.device)
        return;
    recoveryView_.clearRows();
    haveRows_ = false;
    texts_ = RecoveryTexts{};
    scan_ = RecoveryScanSummary{};
    scan_.formatMask = mask;
    SetFormatMask(mask);
    runMode_ = context_.settings && context_.settings->recoveryMode == kDirectoryMode ? kDirectoryMode
                                                                                      : kSignatureMode;
    DeviceRecord& record = *context_.device;
    record.foundCount = 0;
    record.foundBytes = 0;
    record.readErrors = 0;
    context_.status->listControl = &recoveryView_.foundList();
    run_ = Run::Scan;
    const int mode = runMode_;
    if (!startRun([this, mode](SharedContext& context) { scanWorker(context, mode); }))
        run_ = Run::None;
    pushTexts();
}

void RecoveryPresenter::RecoverOrStop()
{
    if (running()) {
        if (run_ == Run::Save)
            runs_.requestStop();
        return;
    }
    if (active() || !context_.device)
        return;
    workerError_.clear();
    refusal_.clear();
    createFailure_.clear();
    context_.status->listControl = &recoveryView_.foundList();
    run_ = Run::Save;
    const int mode = rememberedMode_;
    if (!startRun([this, mode](SharedContext& context) { saveWorker(context, mode); }))
        run_ = Run::None;
}

void RecoveryPresenter::scanWorker(SharedContext& context, int mode)
{
    if (mode == kDirectoryMode)
        ScanDeletedEntries(context);
    else
        ScanSignatures(context);
}

void RecoveryPresenter::saveWorker(SharedContext& context, int mode)
{
    const bool directory = mode == kDirectoryMode;
    std::vector<FoundFile> files = context.status->listControl->checkedFiles();
    if (directory)
        files.erase(std::remove_if(files.begin(), files.end(), [](const FoundFile& f) { return !f.deleted; }),
                    files.end());
    if (files.empty()) {
        NoFolder none;
        directory ? RecoverDeletedEntries(context, none) : RecoverToFolder(context, none);
        return;
    }
    folderAnswered_ = false;
    savedAs_.clear();
    SendRecoveryProgress(context, kAskFolder);
    if (!folderAnswered_ || chosenFolder_.empty()) {
        // A cancelled chooser (or a page gone meanwhile) writes nothing and
        // ends as a stop.
        context.status->setState(RUN_STOP);
        SendRecoveryProgress(context, 0);
        return;
    }
    const std::string folder = chosenFolder_;
    const std::string volume = context.device->handle ? context.device->handle->path() : std::string();
    // Not on the drive, nor in a file system mounted from the image being
    // read; a writable folder. Files already in it keep their names.
    PosixOutputFiles outputs;
    RunFailure refused;
    if (!outputs.checkFolder(folder, {volume, {}}, &refused))
        refusal_ = refused.action == str::kOutputOnDrive ? replaceTwo(LoadText(kFolderRefused), folder, volume)
                                                         : FailureText(refused);
    if (!refusal_.empty()) {
        context.status->setState(RUN_FAILED);
        SendRecoveryProgress(context, kFolderRefused);
        return;
    }
    SavingFolder out(folder, createFailure_);
    if (directory)
        RecoverDeletedEntries(context, out, &workerError_, &savedAs_);
    else
        RecoverToFolder(context, out, &workerError_, &savedAs_);
}

std::string RecoveryPresenter::describeStop() const
{
    // Read once the worker has ended: the files it saved are final then.
    if (run_ == Run::Save && !savedAs_.empty())
        return LoadTextWith(str::kStopRecoverySaved, {std::to_string(savedAs_.size()), chosenFolder_});
    return RunPresenter::describeStop();
}

void RecoveryPresenter::onStarting(int32_t operation, int64_t value)
{
    if (operation != OP_RECOVERY || value != kAskFolder || run_ != Run::Save)
        return;
    chosenFolder_ = recoveryView_.chooseFolder();
    folderAnswered_ = true;
}

void RecoveryPresenter::refreshCounters()
{
    const DeviceRecord& record = *context_.device;
    if (runMode_ == kDirectoryMode) {
        // The directory walk keeps no counters of its own: the list's.
        uint64_t total = 0;
        texts_.files = Format("%d", recoveryView_.settleRows(&total));
        texts_.total = FormatSizeText(total);
    } else {
        texts_.files = Format("%d", record.foundCount);
        texts_.total = FormatSizeText(record.foundBytes);
    }
    texts_.readErrors = Format("%d", record.readErrors);
}

void RecoveryPresenter::settleScan()
{
    // The counters as the scan left them (the last periodic report may be
    // up to 0.3 s old), and every row in the list.
    uint64_t total = 0;
    haveRows_ = recoveryView_.settleRows(&total) > 0;
    refreshCounters();
}

void RecoveryPresenter::onActive(int32_t operation, int64_t value)
{
    if (operation != OP_RECOVERY)
        return;
    texts_.percent = Format("%.1f %%", double(value) / 10.0);
    texts_.bar = int(std::clamp<int64_t>(value, 0, 1000));
    if (run_ == Run::Scan)
        refreshCounters();
}

void RecoveryPresenter::endRun()
{
    const bool scan = run_ == Run::Scan;
    if (scan) {
        rememberedMode_ = runMode_;
        recoverAllowed_ = true;
    }
    finishRun();
    if (scan)
        keepScanSummary();
}

void RecoveryPresenter::keepScanSummary()
{
    scan_.directoryMode = runMode_ == kDirectoryMode;
    scan_.outcome = outcome_;
    scan_.failure = failureReason();
    scan_.percent = texts_.percent;
    scan_.files = texts_.files;
    scan_.total = texts_.total;
    scan_.readErrors = texts_.readErrors;
}

Report RecoveryPresenter::report() const
{
    return RecoveryReport(scan_, context_.device, recoveryView_.foundList());
}

void RecoveryPresenter::onDone(int32_t, int64_t)
{
    if (run_ == Run::Scan)
        settleScan();
    texts_.percent = "100 %";
    texts_.bar = 1000;
    endRun();
}

void RecoveryPresenter::onStopped(int32_t, int64_t)
{
    if (run_ == Run::Scan)
        settleScan();
    endRun();
}

void RecoveryPresenter::onFailed(int32_t, int64_t value)
{
    if (run_ == Run::Scan)
        settleScan();
    std::string message, detail;
    if (value == kFolderRefused) {
        message = refusal_;
    } else {
        message = LoadText(int(value));
        if (value == kReadError)
            detail = !createFailure_.empty() ? createFailure_
                     : !workerError_.empty() ? workerError_
                                             : FailureText(context_.status->failure);
    }
    failureMessage_ = message;
    endRun();
    recoveryView_.showFailure(message, detail);
}

void RecoveryPresenter::pushTexts()
{
    recoveryView_.showTexts(texts_);
}

void RecoveryPresenter::workerEnded()
{
    // A stop from the Scan button ended the run before the worker did: its
    // rows and counters are complete only now.
    const bool stoppedScan = run_ == Run::Scan && !running();
    RunPresenter::workerEnded();
    if (stoppedScan) {
        settleScan();
        keepScanSummary();
        pushTexts();
    }
    recoveryView_.showRunState(running(), !active());
}

void RecoveryPresenter::idleRestored()
{
    RunPresenter::idleRestored();
    recoveryView_.showRunState(false, true);
}

void RecoveryPresenter::UpdateStartControls(bool haveDevices)
{
    haveDevices_ = haveDevices;
    if (active())
        return;
    // The rows may be of a drive that is gone: Recover waits for a scan.
    recoverAllowed_ = false;
    recoveryView_.showRunState(false, true);
}

}  // namespace qv::ui
