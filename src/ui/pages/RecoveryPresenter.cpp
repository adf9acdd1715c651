#include "ui/pages/RecoveryPresenter.h"

#include "core/device/DeviceRecord.h"
#include "core/recovery/DirectoryScanner.h"
#include "core/recovery/FormatMask.h"
#include "core/recovery/FormatSizeText.h"
#include "core/recovery/RecoveryProgress.h"
#include "core/recovery/RecoverySaving.h"
#include "core/recovery/SignatureScanner.h"
#include "core/settings/Settings.h"
#include "core/text/StringTable.h"
#include "platform/image/PosixOutputFolder.h"
#include "platform/linux/OutputFolderCheck.h"

#include <algorithm>
#include <cstdio>

namespace qv::ui {
namespace {

constexpr int kReadError = 109;
constexpr int kNoFilesSelected = 152;
constexpr int kFolderRefused = 40712;
constexpr int kCannotCreate = 40713;
constexpr int kDirectoryMode = 1;

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
    std::string path() const override { return inner.path(); }

    PosixOutputFolder inner;
    std::string& failure;
};

RecoveryPresenter::RecoveryPresenter(SharedContext& context, RecoveryView& view, WorkerThread::Post post)
    : context_(context), view_(view), thread_(std::move(post))
{
}

RecoveryPresenter::~RecoveryPresenter()
{
    if (thread_.running()) {
        context_.status->setState(RUN_STOP);
        thread_.join();
    }
}

bool RecoveryPresenter::begin(Run run, std::function<void()> worker)
{
    RunStatus& status = *context_.status;
    DisableMainControls(status);
    status.progressWindow = sink_;
    status.listControl = &view_.foundList();
    status.busy = 1;
    status.setState(RUN_STARTING);
    workerError_.clear();
    refusal_.clear();
    createFailure_.clear();
    run_ = run;
    if (!thread_.start(std::move(worker), [this] { threadEnded(); })) {
        run_ = Run::None;
        status.busy = 0;
        EnableMainControls(status);
        return false;
    }
    return true;
}

void RecoveryPresenter::ScanOrStop(uint64_t mask)
{
    if (run_ == Run::Scan) {
        // Back to idle at once; Scan comes back when the worker has ended.
        context_.status->setState(RUN_STOP);
        finish(RUN_STOP, 0);
        return;
    }
    if (active() || !context_.device || !sink_)
        return;
    view_.clearRows();
    haveRows_ = false;
    texts_ = RecoveryTexts{};
    SetFormatMask(mask);
    runMode_ = context_.settings && context_.settings->recoveryMode == kDirectoryMode ? kDirectoryMode : 2;
    DeviceRecord& record = *context_.device;
    record.foundCount = 0;
    record.foundBytes = 0;
    record.readErrors = 0;
    const int mode = runMode_;
    if (begin(Run::Scan, [this, mode] { scanWorker(mode); }))
        view_.showButtons(true, true, false, false);
}

void RecoveryPresenter::RecoverOrStop()
{
    if (run_ == Run::Save) {
        context_.status->setState(RUN_STOP);
        return;
    }
    if (active() || !context_.device || !sink_)
        return;
    const int mode = rememberedMode_;
    if (begin(Run::Save, [this, mode] { saveWorker(mode); }))
        view_.showButtons(false, false, true, true);
}

void RecoveryPresenter::scanWorker(int mode)
{
    if (mode == kDirectoryMode)
        ScanDeletedEntries(context_);
    else
        ScanSignatures(context_);
}

void RecoveryPresenter::saveWorker(int mode)
{
    const bool directory = mode == kDirectoryMode;
    std::vector<FoundFile> files = context_.status->listControl->checkedFiles();
    if (directory)
        files.erase(std::remove_if(files.begin(), files.end(), [](const FoundFile& f) { return !f.deleted; }),
                    files.end());
    if (files.empty()) {
        NoFolder none;
        directory ? RecoverDeletedEntries(context_, none) : RecoverToFolder(context_, none);
        return;
    }
    const std::string folder = view_.chooseFolder();
    if (folder.empty()) {
        // A cancelled chooser writes nothing and ends as a stop.
        context_.status->setState(RUN_STOP);
        SendRecoveryProgress(context_, 0);
        return;
    }
    const std::string volume = context_.device->handle ? context_.device->handle->path() : std::string();
    std::string why;
    const auto place = linux_platform::PlaceOfOutputFolder(volume, folder, &why);
    if (place == linux_platform::FolderPlace::OnScannedDrive)
        refusal_ = replaceTwo(LoadText(kFolderRefused), folder, volume);
    else if (place == linux_platform::FolderPlace::Unknown)
        refusal_ = why;
    if (refusal_.empty()) {
        std::vector<std::string> names;
        for (const FoundFile& file : files)
            names.push_back(SafeFileName(file.name));
        if (linux_platform::OverwritesImage(volume, folder, names, &why))
            refusal_ = why;
    }
    if (!refusal_.empty()) {
        context_.status->setState(RUN_FAILED);
        SendRecoveryProgress(context_, kFolderRefused);
        return;
    }
    SavingFolder out(folder, createFailure_);
    if (directory)
        RecoverDeletedEntries(context_, out, &workerError_);
    else
        RecoverToFolder(context_, out, &workerError_);
}

void RecoveryPresenter::refreshCounters()
{
    const DeviceRecord& record = *context_.device;
    char text[64];
    if (runMode_ == kDirectoryMode) {
        // The directory walk keeps no counters of its own: the list's.
        uint64_t total = 0;
        const int rows = view_.settleRows(&total);
        std::snprintf(text, sizeof text, "%d", rows);
        texts_.files = text;
        texts_.total = FormatSizeText(total);
    } else {
        std::snprintf(text, sizeof text, "%d", record.foundCount);
        texts_.files = text;
        texts_.total = FormatSizeText(record.foundBytes);
    }
    std::snprintf(text, sizeof text, "%d", record.readErrors);
    texts_.readErrors = text;
}

int64_t RecoveryPresenter::OnProgress(int32_t operation, int64_t value)
{
    if (operation != OP_RECOVERY || run_ == Run::None || !context_.device)
        return 1;
    const int32_t state = context_.status->state();
    if (state == RUN_ACTIVE) {
        char text[32];
        std::snprintf(text, sizeof text, "%.1f %%", double(value) / 10.0);
        texts_.percent = text;
        texts_.bar = int(std::clamp<int64_t>(value, 0, 1000));
        if (run_ == Run::Scan)
            refreshCounters();
        view_.showTexts(texts_);
        return 1;
    }
    if (state == RUN_STOP || state == RUN_DONE || state == RUN_FAILED) {
        finish(state, value);
        return 1;
    }
    view_.showTexts(texts_);
    return 1;
}

void RecoveryPresenter::finish(int32_t state, int64_t value)
{
    const Run ended = run_;
    if (ended == Run::None)
        return;
    lastRun_ = ended;
    if (ended == Run::Scan) {
        rememberedMode_ = runMode_;
        // The counters as the scan left them (the last periodic report may
        // be up to 0.3 s old), and every row in the list; after a stop the
        // worker may still run, and threadEnded does this.
        if (state != RUN_STOP || !thread_.running())
            settleScan();
    }
    if (state == RUN_DONE) {
        texts_.percent = "100 %";
        texts_.bar = 1000;
    }
    run_ = Run::None;
    RunStatus& status = *context_.status;
    EnableMainControls(status);
    status.busy = 0;
    // Scan comes back once the worker has really ended.
    view_.showButtons(false, !thread_.running(), false, haveRows_);
    view_.showTexts(texts_);
    if (state == RUN_FAILED) {
        const int id = value == kFolderRefused ? kReadError : int(value);
        std::string message = LoadText(id);
        if (value == kFolderRefused)
            message = refusal_;
        view_.showFailure(message, value == kFolderRefused ? std::string() : failureDetail(value));
    }
}

std::string RecoveryPresenter::failureDetail(int64_t value) const
{
    if (value != kReadError)
        return {};
    if (!createFailure_.empty())
        return createFailure_;
    return workerError_;
}

void RecoveryPresenter::settleScan()
{
    uint64_t total = 0;
    haveRows_ = view_.settleRows(&total) > 0;
    refreshCounters();
}

void RecoveryPresenter::threadEnded()
{
    // A worker that ended without its final report leaves the run as stopped.
    if (run_ != Run::None)
        finish(RUN_STOP, 0);
    if (lastRun_ == Run::Scan) {
        settleScan();
        view_.showTexts(texts_);
    }
    view_.showButtons(false, context_.status->deviceCount >= 1, false, haveRows_);
    if (onIdle)
        onIdle();
}

void RecoveryPresenter::UpdateStartControls(bool haveDevices)
{
    if (active())
        return;
    view_.showButtons(false, haveDevices, false, false);
}

void RecoveryPresenter::release(const std::function<void()>& pump)
{
    if (!active())
        return;
    if (run_ != Run::None)
        context_.status->setState(RUN_STOP);
    while (thread_.running())
        pump();
}

}  // namespace qv::ui
