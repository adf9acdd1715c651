#pragma once

#include "core/device/DrivePlatform.h"

#include <QDialog>
#include <QProcess>

#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace qv::ui {

// Formats one volume with an installed mkfs tool: file system, label,
// quick or full; shows the tool's progress and its error text. A drive the
// user may not open directly is formatted by the disk service instead.
class CFormatDialog : public QDialog {
    Q_OBJECT
public:
    // name: the drive as the selector shows it; volumePath: what is formatted.
    CFormatDialog(const QString& name, const QString& volumePath, VolumeFormatter& formatter,
                  QWidget* parent = nullptr);

    QComboBox* fileSystemBox() const { return fileSystems_; }
    QLineEdit* labelEdit() const { return label_; }
    QCheckBox* quickBox() const { return quick_; }
    QPushButton* startButton() const { return start_; }
    bool running() const { return process_.state() != QProcess::NotRunning || serviceRunning_; }
    // Formats through the desktop's disk service (udisks2) instead of
    // running the tool; for drives the user may not open directly.
    void setThroughService(bool throughService) { throughService_ = throughService; }
    // The outcome of the last format: true when the tool succeeded.
    bool succeeded() const { return succeeded_; }
    const QString& errorText() const { return errorText_; }

    // Starts the format with the dialog's choices (the Start button).
    void startFormat();
    // Refused while the tool runs.
    void reject() override;

signals:
    void formatFinished(bool ok);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void finished(int exitCode, QProcess::ExitStatus status);
    void succeed();
    void startServiceFormat(const FileSystemTool& tool);
    void readOutput();
    void fail(const QString& message);
    void setRunning(bool running);

    QString name_;
    QString volumePath_;
    VolumeFormatter& formatter_;
    std::vector<FileSystemTool> tools_;
    QComboBox* fileSystems_;
    QLineEdit* label_;
    QCheckBox* quick_;
    QProgressBar* progress_;
    QLabel* state_;
    QPlainTextEdit* output_;
    QPushButton* start_;
    QPushButton* close_;
    QProcess process_;
    QString collected_;
    bool succeeded_ = false;
    QString errorText_;
    bool throughService_ = false;
    bool serviceRunning_ = false;
};

}  // namespace qv::ui
