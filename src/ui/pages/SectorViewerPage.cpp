#include "ui/pages/SectorViewerPage.h"

#include "core/run/SharedContext.h"
#include "core/text/StringIds.h"
#include "ui/app/Icons.h"
#include "ui/app/MessageBox.h"
#include "ui/app/Text.h"
#include "ui/app/TransparentStatic.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

namespace qv::ui {

SectorNumberBox::SectorNumberBox(QWidget* parent) : QAbstractSpinBox(parent)
{
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    setAccelerated(true);
    connect(lineEdit(), &QLineEdit::textEdited, this, &SectorNumberBox::edited);
}

void SectorNumberBox::paste(const QString& text)
{
    lineEdit()->selectAll();
    lineEdit()->insert(text);
}

void SectorNumberBox::setNumberText(const QString& text)
{
    lineEdit()->setText(text);
}

void SectorNumberBox::stepBy(int steps)
{
    // A number being typed, or nonsense, steps from where it reads; the
    // result stays inside the medium.
    const std::optional<uint64_t> typed = ParseSectorNumber(text().toStdString());
    const uint64_t from = typed ? std::min(*typed, last_) : 0;
    uint64_t to = from;
    if (steps < 0)
        to = from < uint64_t(-int64_t(steps)) ? 0 : from - uint64_t(-int64_t(steps));
    else
        to = std::min(last_, from + uint64_t(steps));
    lineEdit()->setText(QString::number(to));
    emit stepped();
}

QAbstractSpinBox::StepEnabled SectorNumberBox::stepEnabled() const
{
    const std::optional<uint64_t> typed = ParseSectorNumber(text().toStdString());
    StepEnabled enabled = StepNone;
    if (!typed || *typed > 0)
        enabled |= StepDownEnabled;
    if (!typed || *typed < last_)
        enabled |= StepUpEnabled;
    return enabled;
}

CSectorViewerPage::CSectorViewerPage(QWidget* parent) : TestPage(parent)
{
    list_ = new QListWidget(this);
    // Courier New at 9 points: Liberation Mono has its metrics.
    QFont mono(QStringLiteral("Liberation Mono"), 9);
    mono.setStyleHint(QFont::Monospace);
    list_->setFont(mono);
    list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    list_->setUniformItemSizes(true);

    slider_ = new QSlider(Qt::Horizontal, this);
    slider_->setRange(0, kSliderRange);
    slider_->setPageStep(20);
    rangeStart_ = new QLabel(this);
    rangeEnd_ = new QLabel(this);
    rangeEnd_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    numberLabel_ = new CTransparentStatic(this);
    numberLabel_->SetLabelText(Text(str::kSectorLabel));
    numberLabel_->SetTransparent();
    number_ = new SectorNumberBox(this);
    number_->setMinimumWidth(120);
    read_ = new QPushButton(Text(str::kReadButton), this);
    read_->setAutoDefault(false);

    auto* controls = new QHBoxLayout;
    controls->addWidget(numberLabel_);
    controls->addWidget(number_);
    controls->addStretch(1);
    controls->addWidget(read_);

    auto* ranges = new QHBoxLayout;
    ranges->addWidget(rangeStart_);
    ranges->addStretch(1);
    ranges->addWidget(rangeEnd_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, kHeaderHeight + 8, 10, 10);
    layout->addWidget(list_, 1);
    layout->addWidget(slider_);
    layout->addLayout(ranges);
    layout->addLayout(controls);

    connect(read_, &QPushButton::clicked, this, &CSectorViewerPage::OnRead);
    connect(slider_, &QSlider::valueChanged, this, &CSectorViewerPage::OnSliderMoved);
    connect(number_, &SectorNumberBox::edited, this, &CSectorViewerPage::OnEditChanged);
    connect(number_, &SectorNumberBox::stepped, this, &CSectorViewerPage::OnEditChanged);
}

void CSectorViewerPage::initialisePage()
{
    const DeviceRecord* device = context_ ? context_->device : nullptr;
    const uint64_t count = device && device->listed ? device->sectorCount : 0;
    viewer_.Initialise(count);
    list_->clear();
    {
        const QSignalBlocker blocker(slider_);
        slider_->setValue(0);
    }
    number_->setLast(count ? count - 1 : 0);
    number_->setNumberText(QStringLiteral("0"));
    rangeStart_->setText(QStringLiteral("0"));
    rangeEnd_->setText(QString::number(count));
    const bool haveDevice = context_ && context_->status && context_->status->deviceCount > 0 && count > 0;
    for (QWidget* control : {static_cast<QWidget*>(read_), static_cast<QWidget*>(number_),
                             static_cast<QWidget*>(slider_)})
        control->setEnabled(haveDevice);
}

void CSectorViewerPage::OnRead()
{
    showCurrentSector();
}

void CSectorViewerPage::OnSliderMoved(int position)
{
    if (!viewer_.initialised())
        return;
    viewer_.setCurrent(SliderToSector(position, viewer_.sectorCount()));
    number_->setNumberText(QString::number(viewer_.current()));
    showCurrentSector();
}

void CSectorViewerPage::OnEditChanged()
{
    if (!viewer_.initialised())
        return;
    // A negative number names no sector: nothing is read and the next edit
    // is taken as usual.
    const std::optional<uint64_t> sector = ParseSectorNumber(number_->text().toStdString());
    if (!sector)
        return;
    viewer_.setCurrent(*sector);
    showCurrentSector();
    const QSignalBlocker blocker(slider_);
    slider_->setValue(SectorToSlider(viewer_.current(), viewer_.sectorCount()));
}

void CSectorViewerPage::showCurrentSector()
{
    const DeviceRecord* device = context_ ? context_->device : nullptr;
    if (!viewer_.Show(device ? device->handle.get() : nullptr))
        showStopMessage(Text(str::kReadError));
    list_->clear();
    for (const std::string& line : viewer_.listing())
        list_->addItem(QString::fromLatin1(line.c_str()));
}

CSectorViewerWindow::CSectorViewerWindow(QWidget* owner) : QWidget(owner, Qt::Window)
{
    setWindowTitle(Text(str::kSectorViewer));
    setWindowIcon(ResourceIcon(128));
    page_ = new CSectorViewerPage(this);
    page_->setHeader(159, str::kSectorViewer);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(page_);
    // 346 x 269 dialog units at the window's font.
    resize(560, 500);
}

}  // namespace qv::ui
