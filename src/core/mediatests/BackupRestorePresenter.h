#pragma once

#include "core/mediatests/BackupRestoreWorker.h"
#include "core/report/Report.h"
#include "core/run/ProgressMeter.h"
#include "core/run/RunPresenter.h"

#include <cstdint>
#include <string>

namespace qv {

enum class TransferKind { Backup, Restore };

// The report value (with RUN_STARTING) by which a worker asks the page for
// its file and waits for the answer.
inline constexpr int64_t kTransferFileRequest = 9;

// The six value texts of one group of the page and its progress bar.
struct TransferTexts {
    std::string percent, elapsed, remaining, speed, position, sector;
    int bar = 0;
};

class BackupRestoreView : public RunView {
public:
    virtual void showTexts(TransferKind kind, const TransferTexts& texts) = 0;
    // The file dialog, on the owner's thread while the worker waits. False
    // when the user cancelled.
    virtual bool chooseFile(const FileRequest& request, std::string* path) = 0;
};

// What the backup or restore was asked to do.
struct TransferSettings {
    ImageCompression compression = ImageCompression::None;
    bool checksum = true;
    bool verify = true;
    // The file dialogs offer compressed images; the backup's chosen name
    // decides whether it is compressed.
    bool offerCompressed = false;
    // The user said an existing image may be replaced (the save dialog
    // asked, or --force).
    bool replace = false;
};

// The backup and restore page without its widgets: runs one of the two
// workers at a time, answers its file request through the view, and turns
// its reports into the figures of the operation's group.
class BackupRestorePresenter : public RunPresenter {
public:
    BackupRestorePresenter(SharedContext& context, RunController& runs, BackupRestoreView& view,
                           ImageFiles& files, RunClock clock = RunClock::System());

    // Refused while either operation (or any other run) is not over.
    bool StartBackup(const TransferSettings& settings = {});
    bool StartRestore(const TransferSettings& settings = {});
    void ResetBackupDisplay();

    // The operation of the current (or last) run.
    TransferKind operation() const { return operation_; }
    const TransferTexts& texts(TransferKind kind) const { return texts_[int(kind)]; }
    // The image of the last run once chosen, and whether its restore was
    // being verified when it ended.
    const std::string& imagePath() const { return job_.path; }
    bool verifying() const { return verifying_; }
    uint64_t sectors() const { return sectors_; }
    // What a stopped or failed backup kept, once its worker has ended; and
    // the line that says so ("N sectors read are kept in NAME.partial ...").
    bool imageBegun() const { return job_.imageBegun; }
    const PartialImage& partial() const { return job_.partial; }
    std::string partialText() const;

    // The report of the last run, backup or restore: the image and the
    // options it ran with, the figures of its group and how it ended.
    Report report() const;

private:
    class Chooser;

    bool start(TransferKind kind, const TransferSettings& settings);
    bool writesToMedium() const override { return operation_ == TransferKind::Restore; }
    std::string describeStop() const override;
    void onStarting(int32_t operation, int64_t value) override;
    void onActive(int32_t operation, int64_t value) override;
    void onDone(int32_t operation, int64_t value) override;
    void onFailed(int32_t operation, int64_t value) override;
    void workerEnded() override;
    void pushTexts() override;
    // A backup that began its image and did not complete it.
    bool leftPartial() const;

    void takeFigures();

    BackupRestoreView& transferView_;
    ImageFiles& files_;
    std::unique_ptr<FileChooser> chooser_;
    TransferJob job_;
    TransferKind operation_ = TransferKind::Backup;
    ProgressMeter meter_;
    TransferTexts texts_[2];
    bool verifying_ = false;
    uint64_t sectors_ = 0;
};

}  // namespace qv
