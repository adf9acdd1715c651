#pragma once

#include "core/mediatests/FileBenchPresenter.h"
#include "ui/app/TestPage.h"

#include <memory>

class QPushButton;

namespace qv {
class BenchFileSystem;
}

namespace qv::ui {

class CColorLegend;
class CFileSpeedChart;

// The file benchmark page: write and read speed of a test file of seven
// sizes on the drive's file system, one pair of bars per size.
class CBenchmarkFile : public TestPage, private FileBenchView {
    Q_OBJECT
public:
    explicit CBenchmarkFile(QWidget* parent = nullptr);

    void updateStartControls(bool haveDevices) override;

    bool canSaveReport() const override { return presenter_ && presenter_->hasFinishedRun(); }
    Report makeReport() override;

    void OnStartStop();

    // The file system the test file goes to: the main platform's; a page
    // made without one uses the Linux file system. Not while a run goes.
    void setFileSystem(BenchFileSystem* files);

    // For the tests and the screenshots.
    QPushButton* startButton() const { return start_; }
    CFileSpeedChart* chart() const { return chart_; }
    CColorLegend* readLegend() const { return readLegend_; }
    CColorLegend* writeLegend() const { return writeLegend_; }
    FileBenchPresenter* presenter() { return ensurePresenter(); }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // FileBenchView
    void clearChart() override;
    void drawBar(int index, int series) override;
    void repaintAll() override;
    void showRunState(bool running, bool startEnabled) override;
    void showStopState(const std::string& text) override { showStopLine(text); }
    void showFailure(const std::string& message, const std::string& detail) override;

    FileBenchPresenter* ensurePresenter();
    void applySettings();
    void applyPlacement();

    CFileSpeedChart* chart_;
    CColorLegend* readLegend_;
    CColorLegend* writeLegend_;
    QPushButton* start_;

    std::unique_ptr<BenchFileSystem> ownFiles_;
    BenchFileSystem* files_ = nullptr;
    std::unique_ptr<FileBenchPresenter> presenter_;
    bool settingsApplied_ = false;
};

}  // namespace qv::ui
