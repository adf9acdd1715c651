#pragma once

#include "core/mediatests/RawBenchPresenter.h"
#include "ui/app/TestPage.h"

#include <memory>

class QCheckBox;
class QFrame;
class QPushButton;

namespace qv::ui {

class CColorLegend;
class CSpeedChart;
class CTransparentStatic;

// The low-level benchmark page: read and write speed over the medium's
// length on a line chart, with current (or average), minimum and maximum
// speed and the access time of each direction.
class CBenchmarkRaw : public TestPage, private RawBenchView {
    Q_OBJECT
public:
    explicit CBenchmarkRaw(QWidget* parent = nullptr);

    void updateStartControls(bool haveDevices) override;

    bool canSaveReport() const override { return presenter_ && presenter_->hasFinishedRun(); }
    Report makeReport() override;

    void OnStartStop();
    void OnReadCheck();
    void OnWriteCheck();

    // For the tests and the screenshots.
    QPushButton* startButton() const { return start_; }
    QCheckBox* readBox() const { return readBox_; }
    QCheckBox* writeBox() const { return writeBox_; }
    CSpeedChart* chart() const { return chart_; }
    RawBenchPresenter* presenter() { return ensurePresenter(); }
    // The text of a value or label control by its dialog id.
    QString controlText(int controlId) const;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // RawBenchView
    void showTexts(const RawBenchTexts& texts) override;
    void clearChart() override;
    void addPoint(const BenchSample& point) override;
    void maximumSpeedRaised() override;
    void showRunState(bool running, bool startEnabled) override;
    void showStopState(const std::string& text) override { showStopLine(text); }
    void showFailure(const std::string& message, const std::string& detail) override;

    RawBenchPresenter* ensurePresenter();
    void applySettings();
    void applyPlacement();
    void setTestBit(int32_t bit, bool on);
    CTransparentStatic* makeLabel(int textId);
    CTransparentStatic* makeValue();

    CSpeedChart* chart_;
    QCheckBox* readBox_;
    QCheckBox* writeBox_;
    CColorLegend* readLegend_;
    CColorLegend* writeLegend_;
    QFrame* readLine_;
    QFrame* writeLine_;
    // [column][row]: rows current, minimum, maximum, access time.
    CTransparentStatic* labels_[2][4];
    CTransparentStatic* values_[2][4];
    QPushButton* start_;

    std::unique_ptr<RawBenchPresenter> presenter_;
    bool settingsApplied_ = false;
    bool haveDevices_ = true;
};

}  // namespace qv::ui
