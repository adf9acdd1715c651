#include "ui/pages/ErrorScanPage.h"
#include "core/text/StringIds.h"

#include "core/mediatests/ErrorScanWorker.h"
#include "core/run/RunController.h"
#include "core/run/SharedContext.h"
#include "core/settings/Settings.h"
#include "ui/app/Icons.h"
#include "ui/app/MessageBox.h"
#include "ui/app/Text.h"
#include "ui/app/TransparentStatic.h"
#include "ui/controls/BlockMap.h"

#include <QCheckBox>
#include <QFrame>
#include <QHeaderView>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>

#include <algorithm>

namespace qv::ui {
namespace {

// The page as laid out at creation (dialog 146). Placement keeps the
// distances and gaps this layout shows.
constexpr int kTemplateWidth = 600;
constexpr int kTemplateHeight = 460;
constexpr int kMargin = 10;
constexpr int kColumnWidth = 190;   // the figures right of the maps
constexpr int kLabelWidth = 70;
constexpr int kValueWidth = 110;
constexpr int kPercentWidth = 50;
constexpr int kRowHeight = 18;
constexpr int kHeadingTop = 40;
constexpr int kHeadingWidth = 56;
constexpr int kSeparatorLeft = 70;
constexpr int kSeparatorTop = 49;
constexpr int kMapGap = 6;
constexpr int kBarGap = 6;
constexpr int kLogTop = 330;
constexpr int kLogHeight = kTemplateHeight - kLogTop - kMargin;
constexpr int kLogRightDistance = 130;
constexpr int kButtonWidth = 110;
constexpr int kButtonHeight = 28;
// Offsets of the read group's rows from separator 1153.
constexpr int kReadCheckOffset = 8;
constexpr int kReadRowOffset = 32;
constexpr int kReadBarOffset = 96;
// The write group's rows from the page top.
constexpr int kWriteCheckTop = 56;
constexpr int kWriteRowTop = 80;
constexpr int kWriteBarTop = 144;


}  // namespace

CErrorScanPage::CErrorScanPage(QWidget* parent) : TestPage(parent)
{
    start_ = new QPushButton(Text(str::kStart), this);
    writeTest_ = new QCheckBox(Text(str::kScanWriteTestBox), this);
    readTest_ = new QCheckBox(Text(str::kScanReadTestBox), this);
    passes_ = new QSpinBox(this);
    passes_->setRange(1, 100000);
    passesLabel_ = makeLabel(str::kScanPasses);
    writeHeading_ = makeLabel(str::kScanWriting, true);
    readHeading_ = makeLabel(str::kScanReading, true);
    writeSeparator_ = new QFrame(this);
    readSeparator_ = new QFrame(this);
    for (QFrame* line : {writeSeparator_, readSeparator_}) {
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Sunken);
    }
    writeMap_ = new CBlockMap(this);
    readMap_ = new CBlockMap(this);
    for (int i = 0; i < 3; ++i) {
        writeLabels_[i] = makeLabel(str::kScanErrors + i);
        readLabels_[i] = makeLabel(str::kScanErrors + i);
    }
    writeErrors_ = makeValue();
    writeSpeed_ = makeValue();
    writePosition_ = makeValue();
    writePercent_ = makeValue();
    readErrors_ = makeValue();
    readSpeed_ = makeValue();
    readPosition_ = makeValue();
    readPercent_ = makeValue();
    writeBar_ = new QProgressBar(this);
    readBar_ = new QProgressBar(this);
    for (QProgressBar* bar : {writeBar_, readBar_}) {
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setTextVisible(false);
    }
    log_ = new QTreeWidget(this);
    log_->setColumnCount(2);
    log_->setHeaderLabels({QStringLiteral("Time"), QStringLiteral("Message")});
    log_->setHeaderHidden(true);
    log_->setRootIsDecorated(false);
    log_->setUniformRowHeights(true);
    log_->setIconSize(QSize(16, 16));
    // 90 pixels, or what the time text beside its icon needs in this font.
    const int timeWidth = log_->fontMetrics().horizontalAdvance(QStringLiteral("[00:00:00]")) + 16 + 16;
    log_->setColumnWidth(0, std::max(90, timeWidth));
    log_->setColumnWidth(1, 320);

    start_->setToolTip(Text(str::kStartErrorScanTip));
    passes_->setToolTip(Text(str::kPassesTip));

    connect(start_, &QPushButton::clicked, this, &CErrorScanPage::OnStartStop);
    connect(writeTest_, &QCheckBox::toggled, this, &CErrorScanPage::OnWriteTestCheck);
    connect(readTest_, &QCheckBox::toggled, this, &CErrorScanPage::OnReadTestCheck);

    resize(kTemplateWidth, kTemplateHeight);
    applyPlacement();
}

ErrorScanPresenter* CErrorScanPage::ensurePresenter()
{
    if (!presenter_ && context_ && runs_)
        presenter_ = std::make_unique<ErrorScanPresenter>(*context_, *runs_, static_cast<ErrorScanView&>(*this),
                                                          *writeMap_, *readMap_);
    return presenter_.get();
}

void CErrorScanPage::applySettings()
{
    if (settingsApplied_ || !context_ || !context_->settings)
        return;
    settingsApplied_ = true;
    const Settings& settings = *context_->settings;
    passes_->setValue(settings.passes);
    const QSignalBlocker w(writeTest_), r(readTest_);
    writeTest_->setChecked(settings.scanTestType & kScanWriteTest);
    readTest_->setChecked(settings.scanTestType & kScanReadTest);
}

void CErrorScanPage::showEvent(QShowEvent* event)
{
    applySettings();
    TestPage::showEvent(event);
}

void CErrorScanPage::setTestBit(int32_t bit, bool on)
{
    if (!context_ || !context_->settings)
        return;
    int32_t& type = context_->settings->scanTestType;
    type = on ? (type | bit) : (type & ~bit);
}

void CErrorScanPage::OnWriteTestCheck()
{
    setTestBit(kScanWriteTest, writeTest_->isChecked());
}

void CErrorScanPage::OnReadTestCheck()
{
    setTestBit(kScanReadTest, readTest_->isChecked());
}

void CErrorScanPage::OnStartStop()
{
    applySettings();
    startOrStop(ensurePresenter(), writeTest_->isChecked(), [this] {
        const int value = passes_->value();
        const int32_t testType =
            (writeTest_->isChecked() ? kScanWriteTest : 0) | (readTest_->isChecked() ? kScanReadTest : 0);
        if (context_->settings) {
            context_->settings->passes = value;
            context_->settings->scanTestType = testType;
        }
        presenter_->Start(value, testType);
    });
}

Report CErrorScanPage::makeReport()
{
    Report report = presenter_ ? presenter_->report() : Report{};
    // The maps as the page shows them.
    writeMap_->fillReportPicture(report, kWriteMapSlot);
    readMap_->fillReportPicture(report, kReadMapSlot);
    return report;
}

void CErrorScanPage::UpdateScanControls(bool haveDevices)
{
    // A running scan keeps its stop button whatever the list does.
    if (presenter_ && presenter_->active())
        return;
    for (QWidget* w : std::initializer_list<QWidget*>{start_, passes_, writeTest_, readTest_})
        w->setEnabled(haveDevices);
}

void CErrorScanPage::showTexts(const ErrorScanTexts& t)
{
    writeErrors_->SetLabelText(QString::fromStdString(t.writeErrors));
    writeSpeed_->SetLabelText(QString::fromStdString(t.writeSpeed));
    writePosition_->SetLabelText(QString::fromStdString(t.writePosition));
    writePercent_->SetLabelText(QString::fromStdString(t.writePercent));
    readErrors_->SetLabelText(QString::fromStdString(t.readErrors));
    readSpeed_->SetLabelText(QString::fromStdString(t.readSpeed));
    readPosition_->SetLabelText(QString::fromStdString(t.readPosition));
    readPercent_->SetLabelText(QString::fromStdString(t.readPercent));
    writeBar_->setValue(t.writeBar);
    readBar_->setValue(t.readBar);
}

QString CErrorScanPage::valueText(int controlId) const
{
    switch (controlId) {
    case 1079: return writeErrors_->text();
    case 1052: return writeSpeed_->text();
    case 1080: return writePosition_->text();
    case 1084: return writePercent_->text();
    case 1081: return readErrors_->text();
    case 1082: return readSpeed_->text();
    case 1083: return readPosition_->text();
    case 1085: return readPercent_->text();
    default: return {};
    }
}

void CErrorScanPage::appendLog(const std::string& time, const std::string& text, int image)
{
    auto* item = new QTreeWidgetItem(log_, {QString::fromStdString(time), QString::fromStdString(text)});
    static const MessageKind kinds[] = {MessageKind::Information, MessageKind::Warning, MessageKind::Error};
    if (image >= 0 && image < 3)
        item->setIcon(0, MessageIcon(kinds[image]));
    log_->scrollToItem(item);
}

void CErrorScanPage::clearLog()
{
    log_->clear();
}

void CErrorScanPage::showRunState(bool running, bool startEnabled)
{
    start_->setText(Text(running ? str::kStop : str::kStart));
    start_->setEnabled(startEnabled);
    writeTest_->setEnabled(!running && startEnabled);
    readTest_->setEnabled(!running && startEnabled);
}

void CErrorScanPage::resizeEvent(QResizeEvent* event)
{
    TestPage::resizeEvent(event);
    applyPlacement();
}

void CErrorScanPage::applyPlacement()
{
    const int w = width(), h = height();
    // Log list: left fixed, its height and its distances to the right and
    // bottom edges kept.
    const int logTop = h - kMargin - kLogHeight;
    log_->setGeometry(kMargin, logTop, w - kLogRightDistance - kMargin, kLogHeight);
    // Start, passes edit and label: size and distances to the right and bottom.
    const int buttonsLeft = w - kMargin - kButtonWidth;
    start_->setGeometry(buttonsLeft, h - kMargin - kButtonHeight, kButtonWidth, kButtonHeight);
    passesLabel_->setGeometry(buttonsLeft, logTop, kButtonWidth, kRowHeight);
    passes_->setGeometry(buttonsLeft, logTop + kRowHeight + 2, kButtonWidth, 24);

    // Separators: 1154 fixed at the top; 1153 centred between 1154 and the log.
    const int lineRight = w - kMargin;
    writeSeparator_->setGeometry(kSeparatorLeft, kSeparatorTop, lineRight - kSeparatorLeft, 2);
    const int writeLineBottom = kSeparatorTop + 2;
    const int readLineTop = (writeLineBottom + logTop) / 2 - 1;
    readSeparator_->setGeometry(kSeparatorLeft, readLineTop, lineRight - kSeparatorLeft, 2);
    writeHeading_->setGeometry(kMargin, kHeadingTop, kHeadingWidth, kRowHeight);
    readHeading_->setGeometry(kMargin, readLineTop - kRowHeight / 2, w - 2 * kMargin, kRowHeight);

    // Maps between the separators and the log, the figures to their right.
    const int mapRight = w - kColumnWidth - kMargin;
    writeMap_->setGeometry(kMargin, writeLineBottom + kMapGap, mapRight - kMargin,
                           readLineTop - kMapGap - (writeLineBottom + kMapGap));
    const int readMapTop = readLineTop + 2 + kMapGap;
    readMap_->setGeometry(kMargin, readMapTop, mapRight - kMargin, logTop - kMapGap - readMapTop);

    const int columnLeft = w - kColumnWidth;
    const int valueLeft = w - kMargin - kValueWidth;
    const int percentLeft = w - kMargin - kPercentWidth;
    writeTest_->setGeometry(columnLeft, kWriteCheckTop, kColumnWidth - kMargin, kRowHeight);
    CTransparentStatic* writeValues[3] = {writeErrors_, writeSpeed_, writePosition_};
    for (int i = 0; i < 3; ++i) {
        writeLabels_[i]->setGeometry(columnLeft, kWriteRowTop + 20 * i, kLabelWidth, kRowHeight);
        writeValues[i]->setGeometry(valueLeft, kWriteRowTop + 20 * i, kValueWidth, kRowHeight);
    }
    writePercent_->setGeometry(percentLeft, kWriteBarTop, kPercentWidth, kRowHeight);
    writeBar_->setGeometry(columnLeft, kWriteBarTop, percentLeft - kBarGap - columnLeft, 16);

    readTest_->setGeometry(columnLeft, readLineTop + kReadCheckOffset, kColumnWidth - kMargin, kRowHeight);
    CTransparentStatic* readValues[3] = {readErrors_, readSpeed_, readPosition_};
    for (int i = 0; i < 3; ++i) {
        readLabels_[i]->setGeometry(columnLeft, readLineTop + kReadRowOffset + 20 * i, kLabelWidth, kRowHeight);
        readValues[i]->setGeometry(valueLeft, readLineTop + kReadRowOffset + 20 * i, kValueWidth, kRowHeight);
    }
    readPercent_->setGeometry(percentLeft, readLineTop + kReadBarOffset, kPercentWidth, kRowHeight);
    readBar_->setGeometry(columnLeft, readLineTop + kReadBarOffset, percentLeft - kBarGap - columnLeft, 16);
}

}  // namespace qv::ui
