#pragma once

#include "ui/app/TestPage.h"
#include "ui/pages/RecoveryPresenter.h"

#include <functional>
#include <memory>
#include <string>

class QComboBox;
class QFrame;
class QMenu;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSortFilterProxyModel;
class QTreeView;

namespace qv::ui {

class CTransparentStatic;
class FoundFilesModel;

// The recovery page: scans the drive for files by their signatures (or
// lists the deleted entries of its FAT directories), shows them in a list
// with check boxes, previews pictures and saves the checked files into a
// folder the user chooses.
class CRecoveryPage : public TestPage, private RecoveryView {
    Q_OBJECT
public:
    explicit CRecoveryPage(QWidget* parent = nullptr);
    ~CRecoveryPage() override;

    void updateStartControls(bool haveDevices) override;

    bool canSaveReport() const override { return presenter_ && presenter_->hasFinishedScan(); }
    Report makeReport() override { return presenter_ ? presenter_->report() : Report{}; }

    void OnScan();
    void OnRecover();
    void OnPreview();
    void OnSelectAll();
    void OnDeselectAll();

    // The pop-up menu of the list as it would show now (Preview greyed
    // unless the selected row is a picture found by its signature).
    std::unique_ptr<QMenu> makeListMenu();

    // Answers the folder question instead of the chooser (the tests); an
    // empty answer is a cancel.
    void setFolderChooser(std::function<QString()> chooser) { folderChooser_ = std::move(chooser); }

    // For the tests and the screenshots.
    QTreeView* listView() const { return list_; }
    FoundFilesModel* model() const { return model_; }
    QSortFilterProxyModel* sortedModel() const { return sorted_; }
    QPushButton* scanButton() const { return scan_; }
    QPushButton* recoverButton() const { return recover_; }
    QComboBox* formatBox() const { return formats_; }
    QRadioButton* signatureModeButton() const { return signatureMode_; }
    QRadioButton* directoryModeButton() const { return directoryMode_; }
    QProgressBar* progressBar() const { return bar_; }
    RecoveryPresenter* presenter() { return ensurePresenter(); }
    // The texts of the percentage (1047), files (1102), total (1103) and
    // read errors (1053).
    QString valueText(int controlId) const;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // RecoveryView
    void showRunState(bool running, bool startEnabled) override;
    void showStopState(const std::string& text) override { showStopLine(text); }
    void showFailure(const std::string& message, const std::string& detail) override
    {
        showFailureBox(message, detail);
    }
    void showTexts(const RecoveryTexts& texts) override;
    FoundFileList& foundList() override;
    void clearRows() override;
    int settleRows(uint64_t* totalLength) override;
    std::string chooseFolder() override;

    RecoveryPresenter* ensurePresenter();
    void applySettings();
    void applyPlacement();
    void setMode(int mode);
    int selectedRow() const;
    CTransparentStatic* makeLabel(int textId);
    CTransparentStatic* makeValue(Qt::Alignment alignment = Qt::AlignLeft);

    FoundFilesModel* model_;
    QSortFilterProxyModel* sorted_;
    QTreeView* list_;
    QPushButton* scan_;
    QPushButton* recover_;
    QProgressBar* bar_;
    CTransparentStatic* percent_;
    CTransparentStatic* filesLabel_;
    CTransparentStatic* files_;
    CTransparentStatic* totalLabel_;
    CTransparentStatic* total_;
    CTransparentStatic* errorsLabel_;
    CTransparentStatic* errors_;
    CTransparentStatic* formatLabel_;
    QComboBox* formats_;
    CTransparentStatic* modeLabel_;
    QRadioButton* signatureMode_;
    QRadioButton* directoryMode_;
    QFrame* separator_;

    std::unique_ptr<RecoveryPresenter> presenter_;
    std::function<QString()> folderChooser_;
    bool settingsApplied_ = false;
};

}  // namespace qv::ui
