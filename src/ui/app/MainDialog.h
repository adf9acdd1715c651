#pragma once

#include "core/device/DriveList.h"
#include "core/device/SlotDriveSource.h"
#include "core/info/InfoSystem.h"
#include "core/run/RunController.h"
#include "core/settings/Settings.h"
#include "ui/app/PageFactory.h"
#include "ui/app/Platform.h"
#include "ui/app/WidgetAdapters.h"

#include <QDialog>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QMenu;
class QMenuBar;
class QPushButton;
class QStackedLayout;

namespace qv {
class LanguageLibrary;
}

namespace qv::ui {

class CNavigationBar;
class CSectorViewerWindow;
class CTransparentStatic;
class TestPage;

// The main window: device selector and main buttons over the navigation
// bar and the page area. Owns the pages, the drive records, the shared
// context, the run status and the settings for the life of the process.
class MainDialog : public QDialog, private DriveListHooks {
    Q_OBJECT
public:
    // platform outlives the window.
    MainDialog(ProfileStore& store, MainPlatform& platform, QWidget* parent = nullptr);
    ~MainDialog() override;

    // Shows the page with that navigation index and hides the others.
    void showPage(int index);
    int currentPage() const { return currentPage_; }

    // Attaches an image file as a drive, listing it at once.
    bool attachImage(const QString& path);
    // Drops an attached image (img1, ...) from the list.
    bool detachImage(const std::string& name);

    TestPage* page(int index) const { return pages_[index]; }
    DriveList& drives() { return *drives_; }
    SharedContext& context() { return context_; }
    RunStatus& status() { return status_; }
    Settings& settings() { return settings_; }
    RunController& runs() { return *runs_; }
    SlotDriveSource& source() { return source_; }
    CNavigationBar* navigationBar() const { return navigation_; }
    QComboBox* deviceSelector() const { return selectorBox_; }
    QPushButton* formatButton() const { return formatButton_; }
    QPushButton* snapshotButton() const { return snapshotButton_; }
    QPushButton* refreshButton() const { return refreshButton_; }
    QLabel* statusText() const { return statusText_; }
    QMenuBar* menuBar() const { return menuBar_; }
    QSize initialSize() const { return initialSize_; }
    bool initialised() const { return initialised_; }

    // Format through our own dialog: close the handle, format, reopen, refresh.
    void formatDrive();

    // A language sub-menu item: writes the setting, loads the language and
    // offers to restart; Yes closes the window (unless a run refuses it)
    // and starts the program again all the same.
    void onLanguageCommand(int commandId);
    QMenu* languageMenu() const { return languageMenu_; }

    // Opens the sector viewer on the selected drive (Service menu).
    void openSectorViewer();
    CSectorViewerWindow* sectorViewer() const { return sectorViewer_; }

signals:
    // The close handler accepted and saved the settings.
    void settingsSaved();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildWidgets();
    void buildMenus();
    void initialise();
    void updatePageAvailability();
    void saveSnapshot();
    void saveReport();
    void attachImageFromMenu();
    void detachSelectedImage();
    void showAbout();
    void openManual();
    // Says once, under the pages, that disks were skipped for lack of
    // permission and how to get it.
    void notePermissionSkips();

    // DriveListHooks
    void selectionChanged() override;
    void clearVolumeInfo() override;
    void updatePageControls(bool haveDevices) override;

    ProfileStore& store_;
    MainPlatform& platform_;
    Settings settings_;
    RunStatus status_;
    SharedContext context_;
    SlotDriveSource source_;

    QMenuBar* menuBar_ = nullptr;
    QMenu* languageMenu_ = nullptr;
    CSectorViewerWindow* sectorViewer_ = nullptr;
    CTransparentStatic* deviceLabel_ = nullptr;
    QComboBox* selectorBox_ = nullptr;
    QPushButton* refreshButton_ = nullptr;
    QFrame* separator_ = nullptr;
    QPushButton* formatButton_ = nullptr;
    QPushButton* snapshotButton_ = nullptr;
    CNavigationBar* navigation_ = nullptr;
    QWidget* pageArea_ = nullptr;
    QStackedLayout* pageStack_ = nullptr;
    QLabel* statusText_ = nullptr;

    std::unique_ptr<ComboDeviceSelector> selector_;
    std::unique_ptr<WidgetControl> selectorControl_;
    std::unique_ptr<WidgetControl> formatControl_;
    std::unique_ptr<WidgetControl> refreshControl_;
    std::unique_ptr<DriveList> drives_;
    std::unique_ptr<RunController> runs_;
    std::unique_ptr<DriveEvents> watcher_;
    std::unique_ptr<InfoSystem> infoSystem_;
    QAction* manualAction_ = nullptr;

    std::array<TestPage*, kPageCount> pages_{};
    int currentPage_ = -1;
    QSize initialSize_;
    bool pagesCreated_ = false;
    bool initialised_ = false;
    bool permissionNoted_ = false;
};

}  // namespace qv::ui
