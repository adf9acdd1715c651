#pragma once

#include "core/mediatests/ErasePresenter.h"
#include "ui/app/TestPage.h"

#include <memory>

class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace qv::ui {

class CTransparentStatic;

// The erase page: quick or full erase of the medium with zeros, figures
// for a full erase and a message at the end. The presenter runs the erase;
// the page shows it.
class CErasePage : public TestPage, private EraseView {
    Q_OBJECT
public:
    explicit CErasePage(QWidget* parent = nullptr);

    void updateStartControls(bool haveDevices) override { UpdateEraseControls(haveDevices); }
    void UpdateEraseControls(bool haveDevices);

    bool canSaveReport() const override { return presenter_ && presenter_->hasFinishedRun(); }
    Report makeReport() override { return presenter_ ? presenter_->report() : Report{}; }

    void OnStartStop();

    // For the tests and the screenshots.
    QPushButton* startButton() const { return start_; }
    QRadioButton* quickButton() const { return quick_; }
    QRadioButton* fullButton() const { return full_; }
    QProgressBar* progressBar() const { return bar_; }
    ErasePresenter* presenter() { return ensurePresenter(); }
    // The value static of a control id of the dialog (1047 to 1053).
    QString valueText(int controlId) const;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // EraseView
    void showTexts(const EraseTexts& texts) override;
    void showMessage(const std::string& text) override;
    void showRunState(bool running, bool startEnabled) override;
    void showStopState(const std::string& text) override { showStopLine(text); }
    void showFailure(const std::string& message, const std::string& detail) override
    {
        showFailureBox(message, detail);
    }

    ErasePresenter* ensurePresenter();
    void applySettings();
    void applyPlacement();
    void setEraseType(int32_t type);

    QPushButton* start_;
    QRadioButton* quick_;
    QRadioButton* full_;
    CTransparentStatic* quickText_;
    CTransparentStatic* fullText_;
    QFrame* separators_[4];
    QProgressBar* bar_;
    CTransparentStatic* labels_[5];
    // 1047 percentage, 1048 position, 1049 sector, 1050 elapsed,
    // 1051 remaining, 1052 speed, 1053 errors.
    CTransparentStatic* values_[7];

    std::unique_ptr<ErasePresenter> presenter_;
    bool settingsApplied_ = false;
};

}  // namespace qv::ui
