#pragma once

#include "core/info/InfoPresenter.h"
#include "core/mediatests/CapacityProbePresenter.h"
#include "ui/app/TestPage.h"

#include <QLoggingCategory>

#include <memory>
#include <vector>

class QFrame;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace qv::ui {

class CTransparentStatic;

// The USB walk's diagnostic lines and descriptor dumps; off by default
// (QT_LOGGING_RULES="quorvane.usb.debug=true" shows them).
Q_DECLARE_LOGGING_CATEGORY(lcUsb)

// The information page: capacity, space, file system and label of the
// selected drive, its name and version, the operating system, and the USB
// tree with the properties of the selected node. Beside the capacity, the
// quick capacity probe and its result line.
class CInfoPage : public TestPage, private CapacityProbeView {
    Q_OBJECT
public:
    explicit CInfoPage(QWidget* parent = nullptr);
    ~CInfoPage() override;

    // Completes the page's initialisation once the context is set: the
    // system line, the tree and the volume texts.
    void setInfoSystem(InfoSystem* system, const ProfileStore* store);

    void selectionChanged() override;
    void clearVolumeInfo() override { ClearVolumeInfo(); }
    void RefreshVolumeInfo() override;
    void releaseResources() override;
    void updateStartControls(bool haveDevices) override;
    // The report of the last probe while its result line stands.
    bool canSaveReport() const override;
    Report makeReport() override;

    void ClearVolumeInfo();
    void BuildUsbTree();
    void OnRefresh();
    // The probe button: asks first (the probe writes), then starts the
    // probe; a stop while it runs.
    void OnProbe();

    // For the tests and the screenshots.
    QPushButton* refreshButton() const { return refresh_; }
    QTreeWidget* usbTree() const { return tree_; }
    QTreeWidget* propertyList() const { return properties_; }
    QPushButton* probeButton() const { return probe_; }
    QString probeLine() const;
    CapacityProbePresenter* probePresenter() { return ensureProbePresenter(); }
    QString valueText(int controlId) const;
    // The tree item of the selected drive's own device; null when it has none.
    QTreeWidgetItem* driveItem() const { return driveItem_; }
    // The system's id of a tree item ("1-1.2"); empty for none.
    static QString itemId(const QTreeWidgetItem* item);

signals:
    // F1 on the page: the main window opens the manual.
    void manualRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // CapacityProbeView
    void showTexts(const ProbeTexts& texts) override;
    void showRunState(bool running, bool startEnabled) override;
    void showStopState(const std::string& text) override { showStopLine(text); }
    void showFailure(const std::string& message, const std::string& detail) override;

    CapacityProbePresenter* ensureProbePresenter();
    // Asks before a probe; false when the user declined. destructive: the
    // user chose the probe that does not restore.
    bool confirmProbe(bool& destructive);
    void showProbeLine();
    // The probe's line belongs to the drive it ran on; another drive
    // clears it.
    void clearProbeLineUnlessOn(const DeviceRecord* record);
    void showVolumeTexts(const VolumeTexts& texts);
    void ShowNodeProperties(QTreeWidgetItem* item);
    void markDriveItem();
    void applyPlacement();
    QFrame* makeLine();

    CTransparentStatic* titles_[4];
    QFrame* lines_[4];
    CTransparentStatic* labels_[7];
    CTransparentStatic* capacityMb_;
    CTransparentStatic* capacityBytes_;
    CTransparentStatic* capacitySectors_;
    CTransparentStatic* used_;
    CTransparentStatic* free_;
    CTransparentStatic* fileSystem_;
    CTransparentStatic* label_;
    CTransparentStatic* name_;
    CTransparentStatic* version_;
    CTransparentStatic* osLine_;
    QTreeWidget* tree_;
    QTreeWidget* properties_;
    QPushButton* refresh_;
    QPushButton* probe_;
    CTransparentStatic* probeLine_;
    QTreeWidgetItem* driveItem_ = nullptr;

    std::unique_ptr<InfoPresenter> presenter_;
    std::unique_ptr<CapacityProbePresenter> probePresenter_;
    // The drive of the probe whose line the page shows: its record and path
    // when the probe started; null while no line stands.
    const DeviceRecord* probeRecord_ = nullptr;
    std::string probePath_;
    // What the tree items point into; replaced only after the items are gone.
    std::vector<UsbTreeItem> usb_;
};

}  // namespace qv::ui
