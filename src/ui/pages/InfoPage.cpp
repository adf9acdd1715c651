#include "ui/pages/InfoPage.h"

#include "core/run/SharedContext.h"
#include "core/text/StringIds.h"
#include "ui/app/Icons.h"
#include "ui/app/Text.h"
#include "ui/app/TransparentStatic.h"
#include "ui/app/WriteWarningDialog.h"

#include <QCheckBox>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>

#include <algorithm>

namespace qv::ui {

Q_LOGGING_CATEGORY(lcUsb, "quorvane.usb", QtInfoMsg)

namespace {

// The page as laid out at creation (dialog 155), with the probe's row
// under the volume texts; placement keeps the distances this layout shows.
constexpr int kTemplateWidth = 600;
constexpr int kTemplateHeight = 460;
constexpr int kMargin = 10;
constexpr int kRowHeight = 18;
constexpr int kLabelLeft = 20;
constexpr int kValueLeft = 100;
constexpr int kRightLabelLeft = 290;
constexpr int kRightValueLeft = 400;
constexpr int kValueWidth = 180;
constexpr int kTitleTops[4] = {40, 176, 224, 272};
constexpr int kVolumeTop = 62;
constexpr int kProbeTop = 136;  // the button and the two lines beside it
constexpr int kProbeHeight = 36;
constexpr int kDriveTop = 198;
constexpr int kOsTop = 246;
constexpr int kTreeTop = 294;
constexpr int kTreeHeight = 94;
constexpr int kListTop = 394;
constexpr int kListRightDistance = 130;
constexpr int kButtonWidth = 110;
constexpr int kButtonHeight = 28;


// The tree's image list holds icons 158, 156, 156, 157, 156.
constexpr int kTreeImageIcons[5] = {158, 156, 156, 157, 156};

const UsbTreeItem* itemData(const QTreeWidgetItem* item)
{
    return item ? reinterpret_cast<const UsbTreeItem*>(item->data(0, Qt::UserRole).value<quintptr>()) : nullptr;
}

void addItems(QTreeWidgetItem* parent, QTreeWidget* tree, const std::vector<UsbTreeItem>& items)
{
    for (const UsbTreeItem& item : items) {
        const UsbItemLook look = InfoPresenter::ItemLook(item);
        auto* widgetItem = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
        widgetItem->setText(0, QString::fromStdString(look.text));
        widgetItem->setIcon(0, ResourceIcon(kTreeImageIcons[look.image]));
        widgetItem->setData(0, Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(&item)));
        addItems(widgetItem, tree, item.children);
    }
}

}  // namespace

CInfoPage::CInfoPage(QWidget* parent) : TestPage(parent)
{
    const int titleIds[4] = {str::kInfoFlashTitle, str::kInfoDriveTitle, str::kInfoOsTitle, str::kInfoUsbTitle};
    for (int i = 0; i < 4; ++i) {
        titles_[i] = makeLabel(titleIds[i], true);
        lines_[i] = makeLine();
    }
    const int labelIds[7] = {str::kInfoCapacityLabel,   str::kInfoUsedLabel,  str::kInfoFreeLabel,
                             str::kInfoFileSystemLabel, str::kInfoVolumeLabel, str::kInfoNameLabel,
                             str::kInfoVersionLabel};
    for (int i = 0; i < 7; ++i)
        labels_[i] = makeLabel(labelIds[i]);
    capacityMb_ = makeValue();
    capacityBytes_ = makeValue();
    capacitySectors_ = makeValue();
    used_ = makeValue();
    free_ = makeValue();
    fileSystem_ = makeValue();
    label_ = makeValue();
    name_ = makeValue();
    version_ = makeValue();
    osLine_ = makeValue();

    tree_ = new QTreeWidget(this);
    tree_->setColumnCount(1);
    tree_->setHeaderHidden(true);
    tree_->setIconSize(QSize(16, 16));
    tree_->setRootIsDecorated(true);
    tree_->setUniformRowHeights(true);
    tree_->setSelectionMode(QAbstractItemView::SingleSelection);

    properties_ = new QTreeWidget(this);
    properties_->setColumnCount(2);
    properties_->setHeaderLabels({Text(str::kPropertyColumn), Text(str::kValueColumn)});
    properties_->setHeaderHidden(true);
    properties_->setRootIsDecorated(false);
    properties_->setSortingEnabled(false);
    properties_->setUniformRowHeights(true);
    properties_->setColumnWidth(0, 200);
    properties_->setColumnWidth(1, 250);

    refresh_ = new QPushButton(Text(str::kInfoRefresh), this);
    refresh_->setToolTip(Text(str::kRefreshInfoTip));

    probe_ = new QPushButton(Text(str::kProbeButton), this);
    probe_->setToolTip(Text(str::kProbeButtonTip));
    probeLine_ = makeValue();
    probeLine_->setWordWrap(true);
    probeLine_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    connect(refresh_, &QPushButton::clicked, this, &CInfoPage::OnRefresh);
    connect(probe_, &QPushButton::clicked, this, &CInfoPage::OnProbe);
    connect(tree_, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) { ShowNodeProperties(current); });

    resize(kTemplateWidth, kTemplateHeight);
    applyPlacement();
}

CInfoPage::~CInfoPage()
{
    // A probe still going is stopped and its worker joined while the
    // page's widgets it reports to still stand.
    probePresenter_.reset();
    releaseResources();
}

void CInfoPage::releaseResources()
{
    driveItem_ = nullptr;
    properties_->clear();
    tree_->clear();
    usb_.clear();
}

QFrame* CInfoPage::makeLine()
{
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

void CInfoPage::setInfoSystem(InfoSystem* system, const ProfileStore* store)
{
    presenter_.reset();
    if (!system || !context_)
        return;
    presenter_ = std::make_unique<InfoPresenter>(*context_, *system, store);
    RefreshVolumeInfo();
    // The system line is read once, at initialisation.
    osLine_->SetLabelText(QString::fromStdString(presenter_->DescribeOs()));
    BuildUsbTree();
}

void CInfoPage::showEvent(QShowEvent* event)
{
    RefreshVolumeInfo();
    TestPage::showEvent(event);
}

void CInfoPage::resizeEvent(QResizeEvent* event)
{
    TestPage::resizeEvent(event);
    applyPlacement();
}

void CInfoPage::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1) {
        emit manualRequested();
        event->accept();
        return;
    }
    TestPage::keyPressEvent(event);
}

void CInfoPage::selectionChanged()
{
    clearProbeLineUnlessOn(context_ ? context_->device : nullptr);
    RefreshVolumeInfo();
    markDriveItem();
}

void CInfoPage::RefreshVolumeInfo()
{
    if (presenter_)
        showVolumeTexts(presenter_->RefreshVolumeInfo());
}

void CInfoPage::ClearVolumeInfo()
{
    clearProbeLineUnlessOn(nullptr);
    showVolumeTexts(InfoPresenter::ClearVolumeInfo());
    markDriveItem();
}

CapacityProbePresenter* CInfoPage::ensureProbePresenter()
{
    if (!probePresenter_ && context_ && runs_)
        probePresenter_ =
            std::make_unique<CapacityProbePresenter>(*context_, *runs_, static_cast<CapacityProbeView&>(*this));
    return probePresenter_.get();
}

void CInfoPage::OnProbe()
{
    CapacityProbePresenter* presenter = ensureProbePresenter();
    // The default probe restores what it overwrites: its own question
    // says so. The destructive one gets the write warning on top.
    startOrStop(presenter, false, [this, presenter] {
        ProbeOptions options;
        if (!confirmProbe(options.destructive) || (options.destructive && !CWriteWarningDialog::Confirm(this)))
            return;
        const DeviceRecord* record = context_->device;
        probeRecord_ = record;
        probePath_ = record && record->handle ? record->handle->path() : std::string();
        presenter->Start(options);
        showProbeLine();
    });
}

bool CInfoPage::confirmProbe(bool& destructive)
{
    QMessageBox box(this);
    box.setWindowTitle(context_ && context_->appTitle[0] ? QString::fromUtf8(context_->appTitle)
                                                         : Text(str::kProductName));
    box.setText(Text(str::kProbeWritesNote) + QStringLiteral("\n\n") + Text(str::kProbeStartQuestion));
    box.setIconPixmap(MessageIcon(MessageKind::Question).pixmap(32, 32));
    auto* check = new QCheckBox(Text(str::kProbeDestructiveBox), &box);
    box.setCheckBox(check);
    box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Cancel);
    if (box.exec() != QMessageBox::Ok)
        return false;
    destructive = check->isChecked();
    return true;
}

void CInfoPage::updateStartControls(bool haveDevices)
{
    // A running probe keeps its stop button whatever the list does.
    if (probePresenter_ && probePresenter_->active())
        return;
    probe_->setEnabled(haveDevices);
}

void CInfoPage::showTexts(const ProbeTexts&)
{
    showProbeLine();
}

void CInfoPage::showRunState(bool running, bool startEnabled)
{
    probe_->setText(Text(running ? str::kStop : str::kProbeButton));
    probe_->setEnabled(startEnabled);
    // The USB tree is not rebuilt under a probe.
    refresh_->setEnabled(!running && startEnabled);
    showProbeLine();
}

void CInfoPage::showFailure(const std::string& message, const std::string& detail)
{
    showProbeLine();
    showFailureBox(message, detail);
}

void CInfoPage::showProbeLine()
{
    if (!probePresenter_ || !probeRecord_)
        return;
    probeLine_->SetLabelText(QString::fromStdString(probePresenter_->resultLine()));
    // The kind of fault does not fit beside the verdict; it is shown over it.
    const std::string& fault = probePresenter_->texts().fault;
    probeLine_->setToolTip(probePresenter_->running() || fault.empty() ? QString() : QString::fromStdString(fault));
}

QString CInfoPage::probeLine() const
{
    return probeLine_->text();
}

void CInfoPage::clearProbeLineUnlessOn(const DeviceRecord* record)
{
    // A selection that did not change (after every run, on a refresh)
    // keeps the line.
    if (probePresenter_ && probePresenter_->active())
        return;
    if (record && record == probeRecord_ && record->handle && record->handle->path() == probePath_)
        return;
    probeRecord_ = nullptr;
    probePath_.clear();
    probeLine_->SetLabelText(QString());
    probeLine_->setToolTip(QString());
}

bool CInfoPage::canSaveReport() const
{
    return probeRecord_ && probePresenter_ && probePresenter_->hasFinishedRun();
}

Report CInfoPage::makeReport()
{
    return probePresenter_ ? probePresenter_->report() : Report{};
}

void CInfoPage::showVolumeTexts(const VolumeTexts& t)
{
    capacityMb_->SetLabelText(QString::fromStdString(t.capacityMb));
    capacityBytes_->SetLabelText(QString::fromStdString(t.capacityBytes));
    capacitySectors_->SetLabelText(QString::fromStdString(t.capacitySectors));
    used_->SetLabelText(QString::fromStdString(t.used));
    free_->SetLabelText(QString::fromStdString(t.free));
    fileSystem_->SetLabelText(QString::fromStdString(t.fileSystem));
    label_->SetLabelText(QString::fromStdString(t.label));
    name_->SetLabelText(QString::fromStdString(t.name));
    version_->SetLabelText(QString::fromStdString(t.version));
}

void CInfoPage::BuildUsbTree()
{
    if (!presenter_)
        return;
    UsbLog log;
    if (lcUsb().isDebugEnabled())
        log = [](const std::string& line) { qCDebug(lcUsb).noquote() << QString::fromStdString(line); };
    auto walked = presenter_->BuildUsbTree(log);
    if (!walked)
        return;  // "Disable USB Scan": the tree keeps what it shows
    driveItem_ = nullptr;
    properties_->clear();
    tree_->clear();
    usb_ = std::move(*walked);
    addItems(nullptr, tree_, usb_);
    tree_->expandAll();
    markDriveItem();
}

void CInfoPage::OnRefresh()
{
    RefreshVolumeInfo();
    BuildUsbTree();
}

// The selected drive's own device is shown in bold and selected, so that
// its properties are on view.
void CInfoPage::markDriveItem()
{
    if (driveItem_) {
        QFont font = driveItem_->font(0);
        font.setBold(false);
        driveItem_->setFont(0, font);
        driveItem_ = nullptr;
    }
    if (!presenter_)
        return;
    const std::vector<int> path = presenter_->SelectedDriveItem(usb_);
    QTreeWidgetItem* item = nullptr;
    for (size_t depth = 0; depth < path.size(); ++depth) {
        item = depth == 0 ? tree_->topLevelItem(path[0]) : (item ? item->child(path[depth]) : nullptr);
        if (item && depth + 1 < path.size())
            item->setExpanded(true);
    }
    if (!item)
        return;
    QFont font = item->font(0);
    font.setBold(true);
    item->setFont(0, font);
    driveItem_ = item;
    tree_->setCurrentItem(item);
    tree_->scrollToItem(item);
}

void CInfoPage::ShowNodeProperties(QTreeWidgetItem* item)
{
    properties_->clear();
    const UsbTreeItem* data = itemData(item);
    const auto rows = InfoPresenter::ShowNodeProperties(data && data->node ? &*data->node : nullptr);
    for (const PropertyRow& row : rows) {
        auto* line = new QTreeWidgetItem(properties_);
        line->setText(0, QString::fromStdString(row.label));
        line->setText(1, QString::fromStdString(row.value));
    }
}

QString CInfoPage::itemId(const QTreeWidgetItem* item)
{
    const UsbTreeItem* data = itemData(item);
    return data ? QString::fromStdString(data->id) : QString();
}

QString CInfoPage::valueText(int controlId) const
{
    const CTransparentStatic* value = nullptr;
    switch (controlId) {
    case 1091: value = capacityMb_; break;
    case 1092: value = capacityBytes_; break;
    case 1095: value = capacitySectors_; break;
    case 1124: value = used_; break;
    case 1125: value = free_; break;
    case 1094: value = fileSystem_; break;
    case 1130: value = label_; break;
    case 1128: value = name_; break;
    case 1097: value = version_; break;
    case 1093: value = osLine_; break;
    default: break;
    }
    return value ? value->text() : QString();
}

void CInfoPage::applyPlacement()
{
    const int w = width(), h = height();
    // Titles and their lines: lines keep their left edge and grow with the
    // page's width.
    for (int i = 0; i < 4; ++i) {
        const int titleWidth = titles_[i]->fontMetrics().horizontalAdvance(titles_[i]->text()) + 4;
        titles_[i]->setGeometry(kMargin, kTitleTops[i], titleWidth, kRowHeight);
        const int lineLeft = kMargin + titleWidth + 6;
        lines_[i]->setGeometry(lineLeft, kTitleTops[i] + kRowHeight / 2, w - kMargin - lineLeft, 2);
    }
    // The texts do not move; the value columns start after the longest
    // label of their column (translations differ in length).
    auto widest = [](std::initializer_list<CTransparentStatic*> labels) {
        int width = 0;
        for (CTransparentStatic* label : labels)
            width = std::max(width, label->fontMetrics().horizontalAdvance(label->text()) + 4);
        return width;
    };
    const int leftLabelWidth = std::max(kValueLeft - kLabelLeft, widest({labels_[0], labels_[5]}));
    const int rightLabelWidth = std::max(kRightValueLeft - kRightLabelLeft,
                                         widest({labels_[1], labels_[2], labels_[3], labels_[4], labels_[6]}));
    const int valueLeft = kLabelLeft + leftLabelWidth + 6;
    const int rightValueLeft = kRightLabelLeft + rightLabelWidth + 6;
    labels_[0]->setGeometry(kLabelLeft, kVolumeTop, leftLabelWidth, kRowHeight);
    capacityMb_->setGeometry(valueLeft, kVolumeTop, kValueWidth, kRowHeight);
    capacityBytes_->setGeometry(valueLeft, kVolumeTop + kRowHeight, kValueWidth, kRowHeight);
    capacitySectors_->setGeometry(valueLeft, kVolumeTop + 2 * kRowHeight, kValueWidth, kRowHeight);
    CTransparentStatic* rightValues[4] = {used_, free_, fileSystem_, label_};
    for (int i = 0; i < 4; ++i) {
        labels_[1 + i]->setGeometry(kRightLabelLeft, kVolumeTop + i * kRowHeight, rightLabelWidth, kRowHeight);
        rightValues[i]->setGeometry(rightValueLeft, kVolumeTop + i * kRowHeight, kValueWidth, kRowHeight);
    }
    labels_[5]->setGeometry(kLabelLeft, kDriveTop, leftLabelWidth, kRowHeight);
    name_->setGeometry(valueLeft, kDriveTop, kRightLabelLeft - valueLeft - 6, kRowHeight);
    labels_[6]->setGeometry(kRightLabelLeft, kDriveTop, rightLabelWidth, kRowHeight);
    version_->setGeometry(rightValueLeft, kDriveTop, kValueWidth, kRowHeight);
    osLine_->setGeometry(kLabelLeft, kOsTop, kTemplateWidth - kLabelLeft - kMargin, kRowHeight);
    // The probe's button under the capacity, its line beside it up to the
    // page's right edge.
    // Wide enough for either caption, so that Stop does not move the line.
    const QFontMetrics metrics = probe_->fontMetrics();
    const int probeWidth = std::max({kButtonWidth, metrics.horizontalAdvance(Text(str::kProbeButton)) + 24,
                                     metrics.horizontalAdvance(Text(str::kStop)) + 24});
    probe_->setGeometry(kLabelLeft, kProbeTop + (kProbeHeight - kButtonHeight) / 2, probeWidth, kButtonHeight);
    const int lineLeft = kLabelLeft + probeWidth + 10;
    probeLine_->setGeometry(lineLeft, kProbeTop, std::max(0, w - kMargin - lineLeft), kProbeHeight);

    // Tree: left, top and height kept, grows in width. List: left and top
    // kept, distances to the right and bottom kept. Refresh: size and
    // distances to the right and bottom kept.
    tree_->setGeometry(kMargin, kTreeTop, w - 2 * kMargin, kTreeHeight);
    properties_->setGeometry(kMargin, kListTop, w - kListRightDistance - kMargin, h - kMargin - kListTop);
    refresh_->setGeometry(w - kMargin - kButtonWidth, h - kMargin - kButtonHeight, kButtonWidth, kButtonHeight);
}

}  // namespace qv::ui
