#include "ui/app/MainDialog.h"
#include "core/text/StringIds.h"

#include "ui/app/AboutDialog.h"
#include "charts/DrawGradient.h"
#include "ui/app/FileDialog.h"
#include "ui/app/FormatDialog.h"
#include "ui/app/Icons.h"
#include "ui/app/Language.h"
#include "ui/app/Manual.h"
#include "ui/app/MessageBox.h"
#include "ui/app/QtProfileStore.h"
#include "ui/app/Snapshot.h"
#include "ui/app/NavigationBar.h"
#include "ui/app/QtPost.h"
#include "ui/app/ReportSaving.h"
#include "ui/app/TestPage.h"
#include "ui/app/Text.h"
#include "ui/app/TransparentStatic.h"
#include "ui/pages/BackupRestorePage.h"
#include "ui/pages/InfoPage.h"
#include "ui/pages/FileBenchmarkPage.h"
#include "ui/pages/SectorViewerPage.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStackedLayout>
#include <QVBoxLayout>

#include <cerrno>
#include <cstring>

namespace qv::ui {
namespace {

constexpr QSize kInitialSize(800, 580);

}  // namespace

MainDialog::MainDialog(ProfileStore& store, MainPlatform& platform, QWidget* parent)
    : QDialog(parent, Qt::Window), store_(store), platform_(platform)
{
    setWindowIcon(ResourceIcon(128));
    context_.settings = &settings_;
    context_.status = &status_;
    if (platform_.systemDrives)
        source_.addProvider(platform_.systemDrives.get());
    source_.addProvider(platform_.images.get());

    buildWidgets();
    buildMenus();
    initialise();
}

MainDialog::~MainDialog()
{
    // The pages go first, while the run controller they use still lives; a
    // page's run still going is stopped and its worker joined then. The
    // controller itself stops and joins any other worker, releasing it from
    // a report it waits in, so no event loop is needed here.
    pagesCreated_ = false;
    for (TestPage*& page : pages_) {
        delete page;
        page = nullptr;
    }
    watcher_.reset();
    runs_.reset();
}

void MainDialog::buildWidgets()
{
    menuBar_ = new QMenuBar(this);

    deviceLabel_ = new CTransparentStatic(this);
    selectorBox_ = new QComboBox(this);
    selectorBox_->setIconSize(QSize(16, 16));
    selectorBox_->setMinimumContentsLength(24);
    selectorBox_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    refreshButton_ = new QPushButton(this);
    refreshButton_->setIcon(ResourceIcon(173));
    refreshButton_->setIconSize(QSize(16, 16));
    separator_ = new QFrame(this);
    separator_->setFrameShape(QFrame::VLine);
    separator_->setFrameShadow(QFrame::Sunken);
    formatButton_ = new QPushButton(Text(str::kFormatButton), this);
    snapshotButton_ = new QPushButton(Text(str::kSnapshotButton), this);
    for (QPushButton* button : {refreshButton_, formatButton_, snapshotButton_}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    auto* top = new QHBoxLayout;
    top->setContentsMargins(10, 8, 8, 8);
    top->setSpacing(6);
    top->addWidget(deviceLabel_);
    top->addSpacing(2);
    top->addWidget(selectorBox_, 1);
    top->addWidget(refreshButton_);
    top->addSpacing(2);
    top->addWidget(separator_);
    top->addSpacing(2);
    top->addWidget(formatButton_);
    top->addWidget(snapshotButton_);
    const int rowHeight = selectorBox_->sizeHint().height();
    refreshButton_->setFixedSize(rowHeight + 4, rowHeight);
    separator_->setFixedHeight(rowHeight);

    navigation_ = new CNavigationBar(this);
    pageArea_ = new QWidget(this);
    pageStack_ = new QStackedLayout(pageArea_);
    pageStack_->setContentsMargins(0, 0, 0, 0);

    auto* body = new QHBoxLayout;
    body->setContentsMargins(6, 0, 6, 6);
    body->setSpacing(6);
    body->addWidget(navigation_);
    body->addWidget(pageArea_, 1);

    statusText_ = new QLabel(this);
    statusText_->setWordWrap(true);
    statusText_->setContentsMargins(8, 0, 8, 6);
    statusText_->setVisible(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(menuBar_);
    layout->addLayout(top);
    layout->addLayout(body, 1);
    layout->addWidget(statusText_);

    // The bar is as wide as its longest title needs, and never narrower
    // than the icons want.
    QFont barFont = navigation_->font();
    barFont.setPixelSize(12);
    const QFontMetrics metrics(barFont);
    int barWidth = 96;
    for (const PageSlot& slot : kPageSlots)
        barWidth = std::max(barWidth, metrics.horizontalAdvance(Text(slot.titleId)) + 14);
    navigation_->setFixedWidth(barWidth);

    connect(selectorBox_, &QComboBox::activated, this, [this] { drives_->SyncSelection(); });
    connect(refreshButton_, &QPushButton::clicked, this, [this] {
        drives_->RefreshDevices();
        notePermissionSkips();
    });
    connect(formatButton_, &QPushButton::clicked, this, &MainDialog::formatDrive);
    connect(snapshotButton_, &QPushButton::clicked, this, &MainDialog::saveSnapshot);
    connect(navigation_, &CNavigationBar::pageSelected, this, &MainDialog::showPage);
}

void MainDialog::buildMenus()
{
    QMenu* file = menuBar_->addMenu(Text(str::kFileMenu));
    file->addAction(Text(str::kSnapshotItem), this, &MainDialog::saveSnapshot);
    // The report of the current page's last run, when it has one.
    QAction* report = file->addAction(Text(str::kSaveReportItem), this, &MainDialog::saveReport);
    connect(file, &QMenu::aboutToShow, this, [this, report] {
        report->setEnabled(currentPage_ >= 0 && pages_[currentPage_] && pages_[currentPage_]->canSaveReport());
    });
    file->addSeparator();
    file->addAction(Text(str::kAttachImageItem), this, &MainDialog::attachImageFromMenu);
    QAction* detach = file->addAction(Text(str::kDetachImageItem), this, &MainDialog::detachSelectedImage);
    connect(file, &QMenu::aboutToShow, this, [this, detach] {
        const int selected = drives_->selectedDrive();
        detach->setEnabled(!status_.busy && selected >= 0 && drives_->record(selected).listed &&
                           source_.slotName(selected).rfind("img", 0) == 0);
    });
    file->addSeparator();
    QAction* exit = file->addAction(Text(str::kExitItem), this, &QWidget::close);
    exit->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));

    QMenu* service = menuBar_->addMenu(Text(str::kServiceMenu));
    QAction* format = service->addAction(Text(str::kFormatItem), this, &MainDialog::formatDrive);
    // The menu item is available exactly when the button is.
    connect(service, &QMenu::aboutToShow, this, [this, format] { format->setEnabled(formatButton_->isEnabled()); });
    service->addSeparator();
    // Built once: a language chosen later is checked after the restart.
    languageMenu_ = service->addMenu(Text(str::kLanguageMenu));
    BuildLanguageMenu(platform_.languages, languageMenu_);
    connect(languageMenu_, &QMenu::triggered, this, [this](QAction* item) {
        if (item->data().isValid())
            onLanguageCommand(item->data().toInt());
    });
    service->addSeparator();
    service->addAction(Text(str::kSectorViewerItem), this, &MainDialog::openSectorViewer);

    QMenu* help = menuBar_->addMenu(Text(str::kHelpMenu));
    manualAction_ = help->addAction(Text(str::kManualItem), this, &MainDialog::openManual);
    help->addSeparator();
    help->addAction(Text(str::kAboutItem), this, &MainDialog::showAbout);
}

void MainDialog::initialise()
{
    std::strncpy(context_.appTitle, LoadText(str::kProductName).c_str(), sizeof context_.appTitle - 1);
    LoadSettings(settings_, store_);
    setWindowTitle(Text(str::kWindowTitle));

    deviceLabel_->SetLabelText(Text(str::kDeviceLabel));
    deviceLabel_->SetBold(true);
    deviceLabel_->SetTransparent();

    selector_ = std::make_unique<ComboDeviceSelector>(selectorBox_, ResourceIcon(178));
    drives_ = std::make_unique<DriveList>(context_, source_, *selector_, static_cast<DriveListHooks*>(this));
    runs_ = std::make_unique<RunController>(context_, QtPost(this));
    runs_->onIdle = [this] { drives_->RunEnded(); };

    if (!IsDeviceScanDisabled(store_)) {
        drives_->EnumerateDrives(-1);
        notePermissionSkips();
    }
    const int selected = drives_->selectedDrive();
    context_.device = selected >= 0 && drives_->record(selected).listed ? &drives_->record(selected) : nullptr;

    for (const PageSlot& slot : kPageSlots) {
        TestPage* page = MakePage(slot.index, pageArea_);
        page->setHeader(slot.selectedIcon, slot.titleId);
        page->setContext(&context_, runs_.get());
        if (auto* backup = qobject_cast<CBackupRestorePage*>(page))
            backup->setImageFiles(platform_.imageFiles.get());
        if (auto* fileBench = qobject_cast<CBenchmarkFile*>(page))
            fileBench->setFileSystem(platform_.benchFiles.get());
        pages_[slot.index] = page;
        pageStack_->addWidget(page);
    }
    pagesCreated_ = true;
    if (auto* info = qobject_cast<CInfoPage*>(pages_[kInformationPage])) {
        if (platform_.infoSystem)
            infoSystem_ = platform_.infoSystem([this](int driveIndex) { return source_.slotName(driveIndex); });
        info->setInfoSystem(infoSystem_.get(), &store_);
        // F1 on the page opens the manual as the menu item does.
        connect(info, &CInfoPage::manualRequested, manualAction_, &QAction::trigger);
    }
    updatePageAvailability();

    resize(kInitialSize);
    initialSize_ = size();
    setMinimumSize(initialSize_);

    navigation_->setContext(&context_);
    for (int index = 0; index < kPageCount; ++index) {
        for (const PageSlot& slot : kPageSlots)
            if (slot.index == index)
                navigation_->AddItem(index, Text(slot.titleId), slot.normalIcon, slot.selectedIcon);
    }

    selectorControl_ = std::make_unique<WidgetControl>(selectorBox_);
    formatControl_ = std::make_unique<WidgetControl>(formatButton_);
    refreshControl_ = std::make_unique<WidgetControl>(refreshButton_);
    status_.deviceSelector = selectorControl_.get();
    status_.formatButton = formatControl_.get();
    status_.refreshButton = refreshControl_.get();

    snapshotButton_->setEnabled(PngWriterAvailable());
    refreshButton_->setToolTip(Text(str::kRefreshTip));
    snapshotButton_->setToolTip(Text(str::kSaveSnapshotTip));
    formatButton_->setToolTip(Text(str::kFormatTip));

    showPage(kInformationPage);
    status_.busy = 0;
    initialised_ = true;

    if (platform_.watchDrives)
        watcher_ = platform_.watchDrives(source_, *drives_);
}

void MainDialog::notePermissionSkips()
{
    if (permissionNoted_)
        return;
    for (int slot = 0; slot < kDriveSlots; ++slot) {
        const SlotVerdict& verdict = drives_->verdict(slot);
        if (verdict.verdict == DriveVerdict::OpenFailed && (verdict.error == EACCES || verdict.error == EPERM)) {
            permissionNoted_ = true;
            statusText_->setText(Text(str::kPermissionNote));
            statusText_->setVisible(true);
            return;
        }
    }
}

void MainDialog::updatePageAvailability()
{
    formatButton_->setEnabled(status_.deviceCount >= 1);
    updatePageControls(status_.deviceCount > 0);
}

void MainDialog::showPage(int index)
{
    if (index < 0 || index >= kPageCount || !pages_[index])
        return;
    currentPage_ = index;
    pageStack_->setCurrentWidget(pages_[index]);
}

void MainDialog::selectionChanged()
{
    if (pagesCreated_)
        pages_[kInformationPage]->selectionChanged();
}

void MainDialog::clearVolumeInfo()
{
    if (pagesCreated_)
        pages_[kInformationPage]->clearVolumeInfo();
}

void MainDialog::updatePageControls(bool haveDevices)
{
    if (pagesCreated_)
        for (TestPage* page : pages_)
            page->updateStartControls(haveDevices);
    // An arrival may have been refused for lack of permission.
    if (initialised_)
        notePermissionSkips();
}

bool MainDialog::attachImage(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isFile()) {
        ShowMessage(this, MessageKind::Error, TextWith(str::kCannotOpenImage, path, QString::fromLocal8Bit(std::strerror(ENOENT))));
        return false;
    }
    const std::string name = platform_.images->attach(info.absoluteFilePath().toStdString());
    const int slot = source_.arrive(platform_.images->candidate(name));
    if (slot < 0)
        return false;
    drives_->AddDrive(slot);
    if (!drives_->record(slot).listed) {
        const int error = drives_->verdict(slot).error;
        ShowMessage(this, MessageKind::Error,
                    TextWith(str::kCannotOpenImage, path, QString::fromLocal8Bit(std::strerror(error ? error : EINVAL))));
        source_.depart(name);
        platform_.images->detach(name);
        return false;
    }
    return true;
}

bool MainDialog::detachImage(const std::string& name)
{
    const int slot = source_.slotOf(name);
    if (slot < 0 || !platform_.images->detach(name))
        return false;
    drives_->RemoveDrive(slot);
    source_.depart(name);
    return true;
}

void MainDialog::attachImageFromMenu()
{
    QString path;
    if (ShowFileDialog(this, Text(str::kImageFilter), path, false))
        attachImage(path);
}

void MainDialog::detachSelectedImage()
{
    const int selected = drives_->selectedDrive();
    if (selected < 0 || !drives_->record(selected).listed || status_.busy)
        return;
    detachImage(source_.slotName(selected));
}

void MainDialog::formatDrive()
{
    const int selected = drives_->selectedDrive();
    if (selected < 0 || !drives_->record(selected).listed || status_.busy)
        return;
    DeviceRecord& record = drives_->record(selected);
    status_.busy = 1;
    DeviceHandle old = record.handle;
    if (old)
        old->close();
    const QString path = old ? QString::fromStdString(old->path()) : QString();
    CFormatDialog dialog(selectorBox_->currentText(), path, *platform_.formatter, this);
    // A drive the user may not open directly is formatted by the disk
    // service that opens it.
    dialog.setThroughService(old && old->access() == "udisks2");
    dialog.exec();
    // Reopened whatever became of the format; a failed reopen leaves no
    // handle and the next operation on the drive fails.
    record.handle = old ? old->reopen() : nullptr;
    pages_[kInformationPage]->RefreshVolumeInfo();
    status_.busy = 0;
}

void MainDialog::saveSnapshot()
{
    // The product field holds up to 32 characters without a terminator.
    const DeviceRecord* device = context_.device;
    QString product;
    if (device && device->listed)
        product = QString::fromLatin1(device->productText, int(qstrnlen(device->productText, sizeof device->productText)));
    // A snapshot never goes onto the selected drive.
    RunInputs inputs;
    if (device && device->handle)
        inputs.drive = device->handle->path();
    SaveSnapshot(this, product, *platform_.outputFiles, inputs);
}

void MainDialog::onLanguageCommand(int commandId)
{
    if (!platform_.languages || !platform_.languages->ChooseLanguage(commandId, store_))
        return;
    // The program started again reads the choice from the settings file.
    if (auto* settingsFile = dynamic_cast<QtProfileStore*>(&store_))
        settingsFile->sync();
    // The radio check stays on the language the windows were built in.
    for (QAction* item : languageMenu_->actions())
        item->setChecked(item->property(kLanguageInUseProperty).toBool());
    // Both texts from the language just loaded.
    if (!AskYesNo(this, Text(str::kRestartForLanguage), Text(str::kProductName)))
        return;
    close();
    if (platform_.restart)
        platform_.restart();
}

void MainDialog::openSectorViewer()
{
    if (!sectorViewer_) {
        sectorViewer_ = new CSectorViewerWindow(this);
        sectorViewer_->page()->setContext(&context_, runs_.get());
    }
    // Each opening takes the ranges of the drive selected now.
    sectorViewer_->page()->initialisePage();
    sectorViewer_->show();
    sectorViewer_->raise();
    sectorViewer_->activateWindow();
}

void MainDialog::openManual()
{
    OpenManual(this, platform_.languages ? platform_.languages->currentLanguage : kRussian);
}

void MainDialog::saveReport()
{
    if (currentPage_ >= 0 && pages_[currentPage_])
        SaveReport(*pages_[currentPage_], *platform_.outputFiles);
}

void MainDialog::showAbout()
{
    CAboutDialog about(this);
    about.exec();
}

void MainDialog::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const int top = menuBar_->geometry().bottom() + 1;
    const int bottom = navigation_->geometry().top();
    charts::DrawGradient(p, 0, top, width(), bottom, Rgb(255, 255, 255), Rgb(144, 176, 240), charts::kGradientRows);
}

void MainDialog::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Enter does not close the main window.
        event->accept();
        return;
    case Qt::Key_F1:
        // Reaches the window when no page took it for its own help.
        event->accept();
        openManual();
        return;
    case Qt::Key_Escape:
        event->accept();
        close();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void MainDialog::closeEvent(QCloseEvent* event)
{
    if (!initialised_) {
        event->accept();
        return;
    }
    // A worker that has not yet ended still uses the records: closing is
    // refused until it is gone, not only while it reports RUN_ACTIVE.
    if (status_.state() == RUN_ACTIVE || runs_->active()) {
        event->ignore();
        ShowMessage(this, MessageKind::Warning, Text(str::kTestRunningCannotClose), QString::fromUtf8(context_.appTitle));
        return;
    }
    watcher_.reset();
    SaveSettings(settings_, store_);
    for (int index = 0; index < kPageCount; ++index)
        pages_[index]->releaseResources();
    initialised_ = false;
    emit settingsSaved();
    event->accept();
}

}  // namespace qv::ui
