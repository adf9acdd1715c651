#pragma once

#include "core/info/InfoPresenter.h"
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
// tree with the properties of the selected node. Runs no worker.
class CInfoPage : public TestPage {
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

    void ClearVolumeInfo();
    void BuildUsbTree();
    void OnRefresh();

    // For the tests and the screenshots.
    QPushButton* refreshButton() const { return refresh_; }
    QTreeWidget* usbTree() const { return tree_; }
    QTreeWidget* propertyList() const { return properties_; }
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
    QTreeWidgetItem* driveItem_ = nullptr;

    std::unique_ptr<InfoPresenter> presenter_;
    // What the tree items point into; replaced only after the items are gone.
    std::vector<UsbTreeItem> usb_;
};

}  // namespace qv::ui
