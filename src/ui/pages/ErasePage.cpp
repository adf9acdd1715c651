#include "ui/pages/ErasePage.h"

#include "core/run/RunController.h"
#include "core/run/SharedContext.h"
#include "core/settings/Settings.h"
#include "core/text/StringIds.h"
#include "ui/app/MessageBox.h"
#include "ui/app/Text.h"
#include "ui/app/TransparentStatic.h"

#include <QFrame>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>

namespace qv::ui {
namespace {

// The page as laid out at creation (dialog 144). Placement keeps the
// distances this layout shows.
constexpr int kTemplateWidth = 600;
constexpr int kTemplateHeight = 460;
constexpr int kMargin = 10;
constexpr int kIndent = 20;
constexpr int kTextIndent = 40;
constexpr int kRowHeight = 18;
constexpr int kLabelWidth = 120;
constexpr int kValueLeft = 150;
constexpr int kValueWidth = 200;
constexpr int kPercentWidth = 50;
constexpr int kButtonWidth = 110;
constexpr int kButtonHeight = 28;
constexpr int kSeparatorTops[4] = {118, 196, 244, 392};
constexpr int kQuickTop = 48;
constexpr int kFullTop = 126;
constexpr int kExplanationHeight = 40;
constexpr int kBarTop = 212;
constexpr int kRowTops[5] = {256, 300, 320, 340, 360};  // position, speed, elapsed, remaining, errors

}  // namespace

CErasePage::CErasePage(QWidget* parent) : TestPage(parent)
{
    start_ = new QPushButton(Text(str::kEraseButton), this);
    quick_ = new QRadioButton(Text(str::kQuickErase), this);
    full_ = new QRadioButton(Text(str::kFullErase), this);
    quickText_ = MakePageLabel(this, str::kQuickEraseExplanation);
    fullText_ = MakePageLabel(this, str::kFullEraseExplanation);
    for (QFrame*& line : separators_) {
        line = new QFrame(this);
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Sunken);
    }
    bar_ = new QProgressBar(this);
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->setTextVisible(false);
    const int labelIds[5] = {str::kErasePosition, str::kEraseWriteSpeed, str::kEraseElapsed, str::kEraseRemaining,
                             str::kEraseErrors};
    for (int i = 0; i < 5; ++i)
        labels_[i] = MakePageLabel(this, labelIds[i]);
    for (CTransparentStatic*& value : values_)
        value = MakePageValue(this);
    start_->setToolTip(Text(str::kEraseTip));

    connect(start_, &QPushButton::clicked, this, &CErasePage::OnStartStop);
    connect(quick_, &QRadioButton::clicked, this, [this] { setEraseType(0); });
    connect(full_, &QRadioButton::clicked, this, [this] { setEraseType(1); });

    resize(kTemplateWidth, kTemplateHeight);
    applyPlacement();
}

ErasePresenter* CErasePage::ensurePresenter()
{
    if (!presenter_ && context_ && runs_)
        presenter_ = std::make_unique<ErasePresenter>(*context_, *runs_, static_cast<EraseView&>(*this));
    return presenter_.get();
}

void CErasePage::applySettings()
{
    if (settingsApplied_ || !context_ || !context_->settings)
        return;
    settingsApplied_ = true;
    (context_->settings->eraseType != 0 ? full_ : quick_)->setChecked(true);
}

void CErasePage::showEvent(QShowEvent* event)
{
    applySettings();
    TestPage::showEvent(event);
}

void CErasePage::setEraseType(int32_t type)
{
    if (context_ && context_->settings)
        context_->settings->eraseType = type;
}

void CErasePage::OnStartStop()
{
    applySettings();
    // Both erase types write: the warning comes first for either.
    startOrStop(ensurePresenter(), true, [this] { presenter_->Start(); });
}

void CErasePage::UpdateEraseControls(bool haveDevices)
{
    // A running erase keeps its stop button whatever the list does.
    if (presenter_ && presenter_->active())
        return;
    for (QWidget* w : std::initializer_list<QWidget*>{start_, quick_, full_})
        w->setEnabled(haveDevices);
}

void CErasePage::showTexts(const EraseTexts& t)
{
    const std::string* texts[7] = {&t.percent, &t.position, &t.sector, &t.elapsed, &t.remaining, &t.speed, &t.errors};
    for (int i = 0; i < 7; ++i)
        values_[i]->SetLabelText(QString::fromStdString(*texts[i]));
    bar_->setValue(t.bar);
}

QString CErasePage::valueText(int controlId) const
{
    return controlId >= 1047 && controlId <= 1053 ? values_[controlId - 1047]->text() : QString();
}

void CErasePage::showMessage(const std::string& text)
{
    ShowMessage(this, MessageKind::Information, QString::fromStdString(text),
                context_ ? QString::fromUtf8(context_->appTitle) : QString());
}

void CErasePage::showRunState(bool running, bool startEnabled)
{
    // The radio buttons stay enabled while an erase runs.
    start_->setText(Text(running ? str::kStop : str::kEraseButton));
    start_->setEnabled(startEnabled);
}

void CErasePage::resizeEvent(QResizeEvent* event)
{
    TestPage::resizeEvent(event);
    applyPlacement();
}

void CErasePage::applyPlacement()
{
    const int w = width(), h = height();
    start_->setGeometry(w - kMargin - kButtonWidth, h - kMargin - kButtonHeight, kButtonWidth, kButtonHeight);
    for (int i = 0; i < 4; ++i)
        separators_[i]->setGeometry(kMargin, kSeparatorTops[i], w - 2 * kMargin, 2);
    const int percentLeft = w - kMargin - kPercentWidth;
    bar_->setGeometry(kIndent, kBarTop, percentLeft - 6 - kIndent, 16);
    values_[0]->setGeometry(percentLeft, kBarTop, kPercentWidth, kRowHeight);

    quick_->setGeometry(kIndent, kQuickTop, 300, 22);
    // The explanations use the page's width: their lines are long.
    const int textWidth = std::max(kTemplateWidth, w) - kTextIndent - kMargin;
    quickText_->setGeometry(kTextIndent, kQuickTop + 26, textWidth, kExplanationHeight);
    full_->setGeometry(kIndent, kFullTop, 300, 22);
    fullText_->setGeometry(kTextIndent, kFullTop + 26, textWidth, kExplanationHeight);

    for (int i = 0; i < 5; ++i)
        labels_[i]->setGeometry(kIndent, kRowTops[i], kLabelWidth, kRowHeight);
    // Position, then the sector text below it; speed, elapsed, remaining, errors.
    values_[1]->setGeometry(kValueLeft, kRowTops[0], kValueWidth, kRowHeight);
    values_[2]->setGeometry(kValueLeft, kRowTops[0] + 20, kValueWidth, kRowHeight);
    values_[5]->setGeometry(kValueLeft, kRowTops[1], kValueWidth, kRowHeight);
    values_[3]->setGeometry(kValueLeft, kRowTops[2], kValueWidth, kRowHeight);
    values_[4]->setGeometry(kValueLeft, kRowTops[3], kValueWidth, kRowHeight);
    values_[6]->setGeometry(kValueLeft, kRowTops[4], kValueWidth, kRowHeight);
}

}  // namespace qv::ui
