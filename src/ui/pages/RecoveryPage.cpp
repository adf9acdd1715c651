#include "ui/pages/RecoveryPage.h"

#include "core/recovery/FileKind.h"
#include "core/recovery/FormatMask.h"
#include "core/run/RunController.h"
#include "core/run/SharedContext.h"
#include "core/settings/Settings.h"
#include "core/text/StringIds.h"
#include "ui/app/MessageBox.h"
#include "ui/app/Text.h"
#include "ui/app/TransparentStatic.h"
#include "ui/pages/FoundFilesModel.h"
#include "ui/pages/PreviewDialog.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFontMetrics>
#include <QFrame>
#include <QHeaderView>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSortFilterProxyModel>
#include <QTreeView>

#include <tuple>

namespace qv::ui {
namespace {

// The page as laid out at creation; placement keeps the distances this
// layout shows to the right and bottom edges.
constexpr int kTemplateWidth = 600;
constexpr int kTemplateHeight = 460;
constexpr int kMargin = 10;
constexpr int kListTop = TestPage::kHeaderHeight + 10;
constexpr int kListBottomDistance = 124;
constexpr int kButtonWidth = 120;
constexpr int kButtonHeight = 28;
constexpr int kRowHeight = 20;
constexpr int kPercentWidth = 56;
constexpr int kSeparatorDistance = kMargin + kButtonWidth + 10;  // from the right edge
// Rows of the lower part, as distances of their tops from the bottom edge.
constexpr int kCountersRow = 112;
constexpr int kFormatRow = 84;
constexpr int kModeRow = 56;
constexpr int kProgressRow = 28;

constexpr ColorRef kValueColor = Rgb(0, 0, 0);

bool isPictureName(const FoundFile& file)
{
    // "%08d.ext": the extension after the first nine characters, exactly.
    if (file.layout != FoundFile::Layout::Signature || file.name.size() < 9)
        return false;
    const std::string ext = file.name.substr(9);
    return ext == "jpg" || ext == "bmp" || ext == "png" || ext == "gif" || ext == "tif";
}

}  // namespace

CRecoveryPage::CRecoveryPage(QWidget* parent) : TestPage(parent)
{
    model_ = new FoundFilesModel(this);
    sorted_ = new QSortFilterProxyModel(this);
    sorted_->setSourceModel(model_);
    sorted_->setSortRole(FoundFilesModel::SortRole);
    list_ = new QTreeView(this);
    list_->setModel(sorted_);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setAllColumnsShowFocus(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    list_->header()->setStretchLastSection(false);
    list_->setColumnWidth(0, 300);
    list_->setColumnWidth(1, 150);
    // List order until a header is clicked; a click sorts by that column.
    list_->header()->setSortIndicator(-1, Qt::AscendingOrder);
    list_->setSortingEnabled(true);
    list_->header()->setSortIndicatorShown(false);
    connect(list_->header(), &QHeaderView::sortIndicatorChanged, this,
            [this](int section) { list_->header()->setSortIndicatorShown(section >= 0); });
    connect(list_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        std::unique_ptr<QMenu> menu = makeListMenu();
        menu->exec(list_->viewport()->mapToGlobal(at));
    });

    scan_ = new QPushButton(Text(40700), this);
    recover_ = new QPushButton(Text(40701), this);
    bar_ = new QProgressBar(this);
    bar_->setRange(0, 1000);
    bar_->setValue(0);
    bar_->setTextVisible(false);
    percent_ = makeValue(Qt::AlignRight);
    filesLabel_ = makeLabel(str::kFoundFilesLabel);
    files_ = makeValue();
    totalLabel_ = makeLabel(str::kFoundTotalLabel);
    total_ = makeValue();
    errorsLabel_ = makeLabel(str::kRecoveryReadErrorsLabel);
    errors_ = makeValue();
    formatLabel_ = makeLabel(str::kFormatLabel);
    formats_ = new QComboBox(this);
    formats_->setMaxVisibleItems(12);
    for (int entry = 0; entry < kKindCount; ++entry) {
        const int kind = KindAtListEntry(entry);
        formats_->addItem(QString::fromLatin1(KindExtension(kind)).toUpper() + QStringLiteral(" - ") +
                          Text(KindLabelId(kind)));
    }
    formats_->addItem(Text(153));
    formats_->setCurrentIndex(kKindCount);
    modeLabel_ = makeLabel(40714);
    signatureMode_ = new QRadioButton(Text(str::kSignatureModeText), this);
    directoryMode_ = new QRadioButton(Text(str::kDirectoryModeText), this);
    signatureMode_->setChecked(true);
    separator_ = new QFrame(this);
    separator_->setFrameShape(QFrame::VLine);
    separator_->setFrameShadow(QFrame::Sunken);

    scan_->setToolTip(Text(187));
    recover_->setToolTip(Text(188));
    formats_->setToolTip(Text(189));
    recover_->setEnabled(false);

    connect(scan_, &QPushButton::clicked, this, &CRecoveryPage::OnScan);
    connect(recover_, &QPushButton::clicked, this, &CRecoveryPage::OnRecover);
    connect(signatureMode_, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            setMode(2);
    });
    connect(directoryMode_, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            setMode(1);
    });

    resize(kTemplateWidth, kTemplateHeight);
    applyPlacement();
}

CRecoveryPage::~CRecoveryPage() = default;

CTransparentStatic* CRecoveryPage::makeLabel(int textId)
{
    auto* label = new CTransparentStatic(this);
    label->SetLabelText(Text(textId));
    label->SetTransparent();
    return label;
}

CTransparentStatic* CRecoveryPage::makeValue(Qt::Alignment alignment)
{
    auto* value = new CTransparentStatic(this);
    value->SetTransparent();
    value->SetBold(true);
    value->SetLabelColor(kValueColor);
    value->setAlignment(alignment | Qt::AlignVCenter);
    return value;
}

RecoveryPresenter* CRecoveryPage::ensurePresenter()
{
    if (!presenter_ && context_ && runs_)
        presenter_ = std::make_unique<RecoveryPresenter>(*context_, *runs_, static_cast<RecoveryView&>(*this));
    return presenter_.get();
}

void CRecoveryPage::applySettings()
{
    if (settingsApplied_ || !context_ || !context_->settings)
        return;
    settingsApplied_ = true;
    const QSignalBlocker s(signatureMode_), d(directoryMode_);
    (context_->settings->recoveryMode == 1 ? directoryMode_ : signatureMode_)->setChecked(true);
}

void CRecoveryPage::setMode(int mode)
{
    if (context_ && context_->settings)
        context_->settings->recoveryMode = mode;
}

void CRecoveryPage::showEvent(QShowEvent* event)
{
    applySettings();
    TestPage::showEvent(event);
}

void CRecoveryPage::OnScan()
{
    RecoveryPresenter* presenter = ensurePresenter();
    if (!presenter)
        return;
    applySettings();
    presenter->ScanOrStop(FormatMaskForListEntry(formats_->currentIndex()));
}

void CRecoveryPage::OnRecover()
{
    if (RecoveryPresenter* presenter = ensurePresenter())
        presenter->RecoverOrStop();
}

void CRecoveryPage::updateStartControls(bool haveDevices)
{
    if (RecoveryPresenter* presenter = ensurePresenter()) {
        presenter->UpdateStartControls(haveDevices);
        return;
    }
    scan_->setEnabled(haveDevices);
    recover_->setEnabled(false);
}

int CRecoveryPage::selectedRow() const
{
    // The first selected row in the list's order; -1 when none is.
    const QModelIndexList rows = list_->selectionModel()->selectedRows(0);
    int first = -1, firstView = -1;
    for (const QModelIndex& index : rows)
        if (firstView < 0 || index.row() < firstView) {
            firstView = index.row();
            first = sorted_->mapToSource(index).row();
        }
    return first;
}

std::unique_ptr<QMenu> CRecoveryPage::makeListMenu()
{
    auto menu = std::make_unique<QMenu>(this);
    QAction* preview = menu->addAction(Text(40706), this, &CRecoveryPage::OnPreview);
    menu->addSeparator();
    menu->addAction(Text(40707), this, &CRecoveryPage::OnSelectAll);
    menu->addAction(Text(40708), this, &CRecoveryPage::OnDeselectAll);
    const FoundFile* file = model_->file(selectedRow());
    const bool idle = !presenter_ || !presenter_->active();
    preview->setEnabled(idle && file && isPictureName(*file));
    return menu;
}

void CRecoveryPage::OnPreview()
{
    const FoundFile* file = model_->file(selectedRow());
    if (!file || !context_ || !context_->device || (presenter_ && presenter_->active()))
        return;
    const FoundFile copy = *file;
    CPreviewDialog dialog(*context_, copy, this);
    dialog.exec();
}

void CRecoveryPage::OnSelectAll()
{
    model_->setAllChecked(true);
}

void CRecoveryPage::OnDeselectAll()
{
    model_->setAllChecked(false);
}

void CRecoveryPage::showTexts(const RecoveryTexts& texts)
{
    percent_->SetLabelText(QString::fromStdString(texts.percent));
    files_->SetLabelText(QString::fromStdString(texts.files));
    total_->SetLabelText(QString::fromStdString(texts.total));
    errors_->SetLabelText(QString::fromStdString(texts.readErrors));
    bar_->setValue(texts.bar);
}

void CRecoveryPage::showRunState(bool, bool)
{
    // Two buttons, one of which reads Stop: the presenter knows which.
    const RecoveryButtons b = presenter_ ? presenter_->buttons() : RecoveryButtons{};
    scan_->setText(Text(b.scanStops ? str::kStop : 40700));
    recover_->setText(Text(b.recoverStops ? str::kStop : 40701));
    scan_->setEnabled(b.scanEnabled);
    recover_->setEnabled(b.recoverEnabled);
    formats_->setEnabled(b.idle());
    signatureMode_->setEnabled(b.idle());
    directoryMode_->setEnabled(b.idle());
}

FoundFileList& CRecoveryPage::foundList()
{
    return model_->list();
}

void CRecoveryPage::clearRows()
{
    model_->clear();
}

int CRecoveryPage::settleRows(uint64_t* totalLength)
{
    model_->flush();
    *totalLength = model_->totalLength();
    return model_->rowCount();
}

std::string CRecoveryPage::chooseFolder()
{
    const QString folder =
        folderChooser_ ? folderChooser_()
                       : QFileDialog::getExistingDirectory(this, Text(40711), QString(),
                                                           QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    return folder.toStdString();
}

QString CRecoveryPage::valueText(int controlId) const
{
    switch (controlId) {
    case 1047: return percent_->text();
    case 1102: return files_->text();
    case 1103: return total_->text();
    case 1053: return errors_->text();
    default: return {};
    }
}

void CRecoveryPage::resizeEvent(QResizeEvent* event)
{
    TestPage::resizeEvent(event);
    applyPlacement();
}

void CRecoveryPage::applyPlacement()
{
    const int w = width(), h = height();
    // The list grows with the page.
    list_->setGeometry(kMargin, kListTop, w - 2 * kMargin, h - kListTop - kListBottomDistance);
    // Scan and Recover: size and distances to the right and bottom edges.
    const int buttonsLeft = w - kMargin - kButtonWidth;
    scan_->setGeometry(buttonsLeft, h - kCountersRow, kButtonWidth, kButtonHeight);
    recover_->setGeometry(buttonsLeft, h - kCountersRow + kButtonHeight + 8, kButtonWidth, kButtonHeight);
    separator_->setGeometry(w - kSeparatorDistance, h - kCountersRow, 2, kCountersRow - kMargin);
    // The percentage: size and distances to the right and bottom edges; the
    // bar: its left edge and height, stretching up to the percentage.
    const int percentLeft = w - kSeparatorDistance - 8 - kPercentWidth;
    percent_->setGeometry(percentLeft, h - kProgressRow, kPercentWidth, kRowHeight);
    bar_->setGeometry(kMargin, h - kProgressRow + 2, percentLeft - 6 - kMargin, kRowHeight - 4);
    // Everything else: left edge, size and distance to the bottom edge. The
    // label widths follow their texts (the two languages differ).
    const QFontMetrics metrics(font());
    const QFontMetrics bold(files_->font());
    auto width = [&metrics](const CTransparentStatic* label) {
        return metrics.horizontalAdvance(label->text()) + 8;
    };
    const int valueWidth = bold.horizontalAdvance(QStringLiteral("000000")) + 8;
    int x = kMargin;
    for (auto [label, value, valueRoom] : {std::tuple{filesLabel_, files_, valueWidth},
                                           std::tuple{totalLabel_, total_, valueWidth + 20},
                                           std::tuple{errorsLabel_, errors_, valueWidth}}) {
        label->setGeometry(x, h - kCountersRow, width(label), kRowHeight);
        x += width(label);
        value->setGeometry(x, h - kCountersRow, valueRoom, kRowHeight);
        x += valueRoom + 12;
    }
    const int controlsLeft = kMargin + std::max(width(formatLabel_), width(modeLabel_)) + 4;
    formatLabel_->setGeometry(kMargin, h - kFormatRow + 2, controlsLeft - kMargin, kRowHeight);
    formats_->setGeometry(controlsLeft, h - kFormatRow, 300, 24);
    modeLabel_->setGeometry(kMargin, h - kModeRow + 2, controlsLeft - kMargin, kRowHeight);
    const int signatureWidth = signatureMode_->sizeHint().width();
    signatureMode_->setGeometry(controlsLeft, h - kModeRow, signatureWidth, kRowHeight + 2);
    directoryMode_->setGeometry(controlsLeft + signatureWidth + 16, h - kModeRow,
                                directoryMode_->sizeHint().width(), kRowHeight + 2);
    update();
}

}  // namespace qv::ui
