#pragma once

#include "core/mediatests/ErrorScanPresenter.h"
#include "ui/app/TestPage.h"

#include <memory>

class QCheckBox;
class QFrame;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTreeWidget;

namespace qv::ui {

class CBlockMap;
class CTransparentStatic;

// The error scan page: the write and read tests over the whole medium for a
// number of passes, with a block map, figures and a progress bar per test
// and a time-stamped log. The presenter runs the scan; the page shows it.
class CErrorScanPage : public TestPage, private ErrorScanView {
    Q_OBJECT
public:
    explicit CErrorScanPage(QWidget* parent = nullptr);

    // Start controls are available exactly when a drive is listed.
    void updateStartControls(bool haveDevices) override { UpdateScanControls(haveDevices); }
    bool canSaveReport() const override { return presenter_ && presenter_->hasFinishedRun(); }
    Report makeReport() override;
    void UpdateScanControls(bool haveDevices);

    void OnStartStop();
    void OnWriteTestCheck();
    void OnReadTestCheck();

    // For the tests and the screenshots.
    QPushButton* startButton() const { return start_; }
    QCheckBox* writeTestBox() const { return writeTest_; }
    QCheckBox* readTestBox() const { return readTest_; }
    QSpinBox* passesEdit() const { return passes_; }
    QTreeWidget* logList() const { return log_; }
    CBlockMap* writeMap() const { return writeMap_; }
    CBlockMap* readMap() const { return readMap_; }
    ErrorScanPresenter* presenter() { return ensurePresenter(); }
    QString valueText(int controlId) const;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // ErrorScanView
    void showTexts(const ErrorScanTexts& texts) override;
    void appendLog(const std::string& time, const std::string& text, int image) override;
    void clearLog() override;
    void showRunState(bool running, bool startEnabled) override;
    void showFailure(const std::string& message, const std::string& detail) override
    {
        showFailureBox(message, detail);
    }

    ErrorScanPresenter* ensurePresenter();
    void applySettings();
    void applyPlacement();
    void setTestBit(int32_t bit, bool on);

    QPushButton* start_;
    QCheckBox* writeTest_;
    QCheckBox* readTest_;
    QSpinBox* passes_;
    CTransparentStatic* passesLabel_;
    CTransparentStatic* writeHeading_;
    CTransparentStatic* readHeading_;
    QFrame* writeSeparator_;
    QFrame* readSeparator_;
    CBlockMap* writeMap_;
    CBlockMap* readMap_;
    CTransparentStatic* writeLabels_[3];
    CTransparentStatic* readLabels_[3];
    CTransparentStatic* writeErrors_;
    CTransparentStatic* writeSpeed_;
    CTransparentStatic* writePosition_;
    CTransparentStatic* writePercent_;
    CTransparentStatic* readErrors_;
    CTransparentStatic* readSpeed_;
    CTransparentStatic* readPosition_;
    CTransparentStatic* readPercent_;
    QProgressBar* writeBar_;
    QProgressBar* readBar_;
    QTreeWidget* log_;

    std::unique_ptr<ErrorScanPresenter> presenter_;
    bool settingsApplied_ = false;
};

}  // namespace qv::ui
