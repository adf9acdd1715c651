#include "ui/pages/FileBenchmarkPage.h"

#include "core/mediatests/FileBenchmarkWorker.h"
#include "core/run/RunController.h"
#include "core/run/SharedContext.h"
#include "core/settings/Settings.h"
#include "core/text/StringIds.h"
#include "platform/linux/LinuxBenchFileSystem.h"
#include "ui/app/ColorLegend.h"
#include "ui/app/Text.h"
#include "ui/controls/FileSpeedChart.h"

#include <QPushButton>

namespace qv::ui {
namespace {

// The page as laid out at creation (dialog 135): the chart stretches, the
// legends hold to the bottom-left, the button to the bottom-right.
constexpr int kTemplateWidth = 600;
constexpr int kTemplateHeight = 460;
constexpr int kMargin = 10;
constexpr int kChartTop = 44;
constexpr int kChartBottomDistance = 56;
constexpr int kLegendWidth = 220;
constexpr int kLegendHeight = 18;
constexpr int kButtonWidth = 110;
constexpr int kButtonHeight = 28;

}  // namespace

CBenchmarkFile::CBenchmarkFile(QWidget* parent) : TestPage(parent)
{
    chart_ = new CFileSpeedChart(this);
    readLegend_ = new CColorLegend(this);
    writeLegend_ = new CColorLegend(this);
    readLegend_->SetLegendText(Text(str::kReadSpeedLegend));
    writeLegend_->SetLegendText(Text(str::kWriteSpeedLegend));
    start_ = new QPushButton(Text(str::kStart), this);
    start_->setToolTip(Text(str::kStartTestTip));
    connect(start_, &QPushButton::clicked, this, &CBenchmarkFile::OnStartStop);
    resize(kTemplateWidth, kTemplateHeight);
    applyPlacement();
}

void CBenchmarkFile::setFileSystem(BenchFileSystem* files)
{
    if (presenter_ && presenter_->active())
        return;
    presenter_.reset();
    files_ = files;
}

FileBenchPresenter* CBenchmarkFile::ensurePresenter()
{
    if (presenter_ || !context_ || !runs_)
        return presenter_.get();
    if (!files_) {
        ownFiles_ = std::make_unique<linux_platform::LinuxBenchFileSystem>();
        files_ = ownFiles_.get();
    }
    chart_->setContext(context_);
    presenter_ = std::make_unique<FileBenchPresenter>(*context_, *runs_, static_cast<FileBenchView&>(*this), *files_);
    return presenter_.get();
}

void CBenchmarkFile::applySettings()
{
    if (settingsApplied_ || !context_ || !context_->settings)
        return;
    settingsApplied_ = true;
    chart_->setContext(context_);
    Settings& settings = *context_->settings;
    for (int k = 0; k < kFileBenchSizes; ++k)
        settings.fileSizesMB[k] = kFileBenchSizesMB[k];
    readLegend_->SetLegendColor(settings.readColor);
    writeLegend_->SetLegendColor(settings.writeColor);
}

void CBenchmarkFile::showEvent(QShowEvent* event)
{
    applySettings();
    TestPage::showEvent(event);
}

void CBenchmarkFile::OnStartStop()
{
    applySettings();
    FileBenchPresenter* presenter = ensurePresenter();
    startOrStop(presenter, false, [presenter] { presenter->Start(); });
}

void CBenchmarkFile::updateStartControls(bool haveDevices)
{
    if (presenter_ && presenter_->active())
        return;
    start_->setEnabled(haveDevices);
}

void CBenchmarkFile::clearChart()
{
    chart_->setShowData(true);
    chart_->Redraw();
}

void CBenchmarkFile::drawBar(int index, int series)
{
    chart_->DrawBar(index, series);
}

void CBenchmarkFile::repaintAll()
{
    update();
    chart_->Redraw();
}

void CBenchmarkFile::showRunState(bool running, bool startEnabled)
{
    start_->setText(Text(running ? str::kStop : str::kStart));
    start_->setEnabled(startEnabled);
}

void CBenchmarkFile::showFailure(const std::string& message, const std::string& detail)
{
    showFailureBox(message, detail);
}

void CBenchmarkFile::resizeEvent(QResizeEvent* event)
{
    TestPage::resizeEvent(event);
    applyPlacement();
}

void CBenchmarkFile::applyPlacement()
{
    const int w = width(), h = height();
    chart_->setGeometry(kMargin, kChartTop, w - 2 * kMargin, h - kChartBottomDistance - kChartTop);
    const int legendTop = h - kMargin - kButtonHeight + (kButtonHeight - kLegendHeight) / 2;
    readLegend_->setGeometry(kMargin, legendTop, kLegendWidth, kLegendHeight);
    writeLegend_->setGeometry(kMargin + kLegendWidth + kMargin, legendTop, kLegendWidth, kLegendHeight);
    start_->setGeometry(w - kMargin - kButtonWidth, h - kMargin - kButtonHeight, kButtonWidth, kButtonHeight);
}

Report CBenchmarkFile::makeReport()
{
    if (!presenter_)
        return {};
    Report report = presenter_->report();
    chart_->fillReportPicture(report, kFileSpeedChartSlot);
    return report;
}

}  // namespace qv::ui
