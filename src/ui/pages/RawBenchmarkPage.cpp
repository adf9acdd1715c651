#include "ui/pages/RawBenchmarkPage.h"

#include "core/mediatests/RawBenchmarkWorker.h"
#include "core/run/RunController.h"
#include "core/run/SharedContext.h"
#include "core/settings/Settings.h"
#include "core/text/StringIds.h"
#include "ui/app/ColorLegend.h"
#include "ui/app/Text.h"
#include "ui/app/TransparentStatic.h"
#include "ui/controls/SpeedChart.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFrame>
#include <QPushButton>

namespace qv::ui {
namespace {

// The page as laid out at creation (dialog 129). Placement keeps these
// distances: the chart stretches, the rest holds to the bottom edge.
constexpr int kTemplateWidth = 600;
constexpr int kTemplateHeight = 460;
constexpr int kMargin = 10;
constexpr int kChartTop = 44;
constexpr int kChartBottomDistance = 160;
constexpr int kColumnWidth = 265;
constexpr int kLegendSize = 14;
constexpr int kLabelWidth = 170;
constexpr int kValueWidth = 90;
constexpr int kRowHeight = 18;
constexpr int kRowStep = 20;
constexpr int kButtonWidth = 110;
constexpr int kButtonHeight = 28;
// Distances of the rows' tops from the page's bottom edge.
constexpr int kCheckFromBottom = 148;
constexpr int kLineFromBottom = 126;
constexpr int kFirstRowFromBottom = 118;

constexpr ColorRef kValueColor = Rgb(0, 64, 223);

// Dialog ids of the value texts and labels, [column][row].
constexpr int kValueIds[2][4] = {{1005, 1007, 1011, 1012}, {1013, 1015, 1019, 1014}};
constexpr int kLabelIds[2][4] = {{1027, 1028, 1029, 1030}, {1031, 1032, 1033, 1034}};
constexpr int kLabelTexts[4] = {str::kBenchCurrent, str::kBenchMinimumSpeed, str::kBenchMaximumSpeed,
                                  str::kBenchAccessTime};

}  // namespace

CBenchmarkRaw::CBenchmarkRaw(QWidget* parent) : TestPage(parent)
{
    chart_ = new CSpeedChart(this);
    readBox_ = new QCheckBox(Text(str::kBenchReadSpeed), this);
    writeBox_ = new QCheckBox(Text(str::kBenchWriteSpeed), this);
    readLegend_ = new CColorLegend(this);
    writeLegend_ = new CColorLegend(this);
    readLine_ = new QFrame(this);
    writeLine_ = new QFrame(this);
    for (QFrame* line : {readLine_, writeLine_}) {
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Sunken);
    }
    for (int column = 0; column < 2; ++column) {
        for (int row = 0; row < 4; ++row) {
            labels_[column][row] = makeLabel(kLabelTexts[row]);
            values_[column][row] = makeValue();
        }
    }
    start_ = new QPushButton(Text(str::kStart), this);
    start_->setToolTip(Text(str::kStartTestTip));

    connect(start_, &QPushButton::clicked, this, &CBenchmarkRaw::OnStartStop);
    connect(readBox_, &QCheckBox::toggled, this, &CBenchmarkRaw::OnReadCheck);
    connect(writeBox_, &QCheckBox::toggled, this, &CBenchmarkRaw::OnWriteCheck);

    resize(kTemplateWidth, kTemplateHeight);
    applyPlacement();
}

CTransparentStatic* CBenchmarkRaw::makeLabel(int textId)
{
    auto* label = new CTransparentStatic(this);
    label->SetLabelText(Text(textId));
    label->SetTransparent();
    return label;
}

CTransparentStatic* CBenchmarkRaw::makeValue()
{
    auto* value = new CTransparentStatic(this);
    value->SetTransparent();
    value->SetLabelColor(kValueColor);
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return value;
}

RawBenchPresenter* CBenchmarkRaw::ensurePresenter()
{
    if (presenter_ || !context_ || !runs_)
        return presenter_.get();
    chart_->setContext(context_);
    presenter_ = std::make_unique<RawBenchPresenter>(*context_, *runs_, static_cast<RawBenchView&>(*this));
    return presenter_.get();
}

void CBenchmarkRaw::applySettings()
{
    if (settingsApplied_ || !context_ || !context_->settings)
        return;
    settingsApplied_ = true;
    chart_->setContext(context_);
    const Settings& settings = *context_->settings;
    const QSignalBlocker r(readBox_), w(writeBox_);
    readBox_->setChecked(settings.testType == 1 || settings.testType == 3);
    writeBox_->setChecked(settings.testType == 2 || settings.testType == 3);
    readLegend_->SetLegendColor(settings.readColor);
    writeLegend_->SetLegendColor(settings.writeColor);
    start_->setEnabled(haveDevices_ && settings.testType != 0);
}

void CBenchmarkRaw::showEvent(QShowEvent* event)
{
    applySettings();
    TestPage::showEvent(event);
}

void CBenchmarkRaw::setTestBit(int32_t bit, bool on)
{
    if (!context_ || !context_->settings)
        return;
    int32_t& type = context_->settings->testType;
    type = on ? (type | bit) : (type & ~bit);
    start_->setEnabled(type != 0);
}

void CBenchmarkRaw::OnReadCheck()
{
    setTestBit(kBenchReadTest, readBox_->isChecked());
}

void CBenchmarkRaw::OnWriteCheck()
{
    setTestBit(kBenchWriteTest, writeBox_->isChecked());
}

void CBenchmarkRaw::OnStartStop()
{
    applySettings();
    RawBenchPresenter* presenter = ensurePresenter();
    const bool writes = context_ && context_->settings && (context_->settings->testType & kBenchWriteTest);
    startOrStop(presenter, writes, [presenter] { presenter->Start(); });
}

void CBenchmarkRaw::updateStartControls(bool haveDevices)
{
    haveDevices_ = haveDevices;
    if (presenter_ && presenter_->active())
        return;
    const bool anyTest = !context_ || !context_->settings || context_->settings->testType != 0;
    start_->setEnabled(haveDevices && anyTest);
    readBox_->setEnabled(haveDevices);
    writeBox_->setEnabled(haveDevices);
}

void CBenchmarkRaw::showTexts(const RawBenchTexts& t)
{
    for (int column = 0; column < 2; ++column) {
        labels_[column][0]->SetLabelText(QString::fromStdString(t.label[column]));
        values_[column][0]->SetLabelText(QString::fromStdString(t.current[column]));
        values_[column][1]->SetLabelText(QString::fromStdString(t.minimum[column]));
        values_[column][2]->SetLabelText(QString::fromStdString(t.maximum[column]));
        values_[column][3]->SetLabelText(QString::fromStdString(t.access[column]));
    }
    // Every report ends here. Its paints (the chart's new point, the texts)
    // are done now, while the worker waits for the answer and no timer runs,
    // rather than later, inside the next timed segment or access loop: where
    // the worker and the GUI share a processor, that paint's time would be
    // counted against the drive.
    if (isVisible())
        QCoreApplication::sendPostedEvents(window(), QEvent::UpdateRequest);
}

void CBenchmarkRaw::clearChart()
{
    chart_->setShowData(true);
    chart_->Redraw();
}

void CBenchmarkRaw::addPoint(const BenchSample& point)
{
    chart_->AddPoint(point.index, point.value, point.series);
}

void CBenchmarkRaw::maximumSpeedRaised()
{
    update();
    chart_->Rescale();
}

void CBenchmarkRaw::showRunState(bool running, bool startEnabled)
{
    start_->setText(Text(running ? str::kStop : str::kStart));
    const bool anyTest = !context_ || !context_->settings || context_->settings->testType != 0;
    start_->setEnabled(startEnabled && (running || anyTest));
    readBox_->setEnabled(!running && startEnabled);
    writeBox_->setEnabled(!running && startEnabled);
}

void CBenchmarkRaw::showFailure(const std::string& message, const std::string& detail)
{
    showFailureBox(message, detail);
}

QString CBenchmarkRaw::controlText(int controlId) const
{
    for (int column = 0; column < 2; ++column) {
        for (int row = 0; row < 4; ++row) {
            if (kValueIds[column][row] == controlId)
                return values_[column][row]->text();
            if (kLabelIds[column][row] == controlId)
                return labels_[column][row]->text();
        }
    }
    return {};
}

void CBenchmarkRaw::resizeEvent(QResizeEvent* event)
{
    TestPage::resizeEvent(event);
    applyPlacement();
}

void CBenchmarkRaw::applyPlacement()
{
    const int w = width(), h = height();
    chart_->setGeometry(kMargin, kChartTop, w - 2 * kMargin, h - kChartBottomDistance - kChartTop);
    start_->setGeometry(w - kMargin - kButtonWidth, h - kMargin - kButtonHeight, kButtonWidth, kButtonHeight);

    QCheckBox* boxes[2] = {readBox_, writeBox_};
    CColorLegend* legends[2] = {readLegend_, writeLegend_};
    QFrame* lines[2] = {readLine_, writeLine_};
    for (int column = 0; column < 2; ++column) {
        const int left = kMargin + column * (kColumnWidth + kMargin);
        legends[column]->setGeometry(left, h - kCheckFromBottom + 2, kLegendSize, kLegendSize);
        boxes[column]->setGeometry(left + kLegendSize + 6, h - kCheckFromBottom, kColumnWidth - kLegendSize - 6,
                                   kRowHeight);
        lines[column]->setGeometry(left, h - kLineFromBottom, kColumnWidth, 2);
        for (int row = 0; row < 4; ++row) {
            const int top = h - kFirstRowFromBottom + row * kRowStep;
            labels_[column][row]->setGeometry(left, top, kLabelWidth, kRowHeight);
            values_[column][row]->setGeometry(left + kColumnWidth - kValueWidth, top, kValueWidth, kRowHeight);
        }
    }
}

Report CBenchmarkRaw::makeReport()
{
    if (!presenter_)
        return {};
    Report report = presenter_->report();
    chart_->fillReportPicture(report, kSpeedChartSlot);
    return report;
}

}  // namespace qv::ui
