#pragma once

#include "core/mediatests/BackupRestorePresenter.h"
#include "ui/app/TestPage.h"

#include <memory>

class QCheckBox;
class QFrame;
class QProgressBar;
class QPushButton;

namespace qv::ui {

class CTransparentStatic;

// The backup and restore page: the whole medium saved into an image file,
// or an image written back onto it, with one group of figures for each.
// One operation runs at a time; the other button is disabled meanwhile.
class CBackupRestorePage : public TestPage, private BackupRestoreView {
    Q_OBJECT
public:
    explicit CBackupRestorePage(QWidget* parent = nullptr);

    // Where the images are read and written (set by the main window).
    void setImageFiles(ImageFiles* files) { files_ = files; }

    void updateStartControls(bool haveDevices) override { UpdateBackupControls(haveDevices); }
    void UpdateBackupControls(bool haveDevices);

    bool canSaveReport() const override { return presenter_ && presenter_->hasFinishedRun(); }
    Report makeReport() override { return presenter_ ? presenter_->report() : Report{}; }

    void OnBackup();
    void OnRestore();

    // For the tests and the screenshots.
    QPushButton* backupButton() const { return backup_; }
    QPushButton* restoreButton() const { return restore_; }
    QCheckBox* verifyBox() const { return verify_; }
    BackupRestorePresenter* presenter() { return ensurePresenter(); }
    // The value static of a control id of the dialog.
    QString valueText(int controlId) const;
    // Answers the next file requests without a dialog (tests, screenshots):
    // an empty path cancels.
    void setFileAnswer(std::function<bool(const FileRequest&, std::string*)> answer) { answer_ = std::move(answer); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Group {
        CTransparentStatic* heading;
        QFrame* separator;
        QPushButton* button;
        QProgressBar* bar;
        CTransparentStatic* labels[4];  // elapsed, remaining, speed, position
        // percent, elapsed, remaining, speed, position, sector
        CTransparentStatic* values[6];
    };

    // BackupRestoreView
    void showTexts(TransferKind kind, const TransferTexts& texts) override;
    bool chooseFile(const FileRequest& request, std::string* path) override;
    void showRunState(bool running, bool startEnabled) override;
    void showStopState(const std::string& text) override { showStopLine(text); }
    void showFailure(const std::string& message, const std::string& detail) override
    {
        showFailureBox(message, detail);
    }

    BackupRestorePresenter* ensurePresenter();
    void buildGroup(Group& group, int headingId, int buttonId, int tipId);
    void placeGroup(Group& group, int separatorTop);
    void applyPlacement();

    Group groups_[2];
    QCheckBox* verify_;
    QPushButton*& backup_ = groups_[0].button;
    QPushButton*& restore_ = groups_[1].button;
    bool haveDevices_ = true;

    ImageFiles* files_ = nullptr;
    std::function<bool(const FileRequest&, std::string*)> answer_;
    std::unique_ptr<BackupRestorePresenter> presenter_;
};

}  // namespace qv::ui
