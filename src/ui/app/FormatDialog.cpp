#include "ui/app/FormatDialog.h"

#include "core/text/StringIds.h"

#include "ui/app/Icons.h"
#include "ui/app/MessageBox.h"
#include "ui/app/Text.h"

#include <cerrno>

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace qv::ui {

CFormatDialog::CFormatDialog(const QString& name, const QString& volumePath, VolumeFormatter& formatter,
                             QWidget* parent)
    : QDialog(parent), name_(name), volumePath_(volumePath), formatter_(formatter), tools_(formatter.available())
{
    setWindowTitle(TextWith(str::kFormatTitle, name));

    auto* icon = new QLabel(this);
    icon->setPixmap(MessageIcon(MessageKind::Warning).pixmap(32, 32));
    auto* warning = new QLabel(TextWith(str::kFormatWarning, volumePath.isEmpty() ? name : volumePath), this);
    warning->setWordWrap(true);
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addWidget(warning, 1);

    fileSystems_ = new QComboBox(this);
    for (const auto& tool : tools_)
        fileSystems_->addItem(QString::fromStdString(tool.name));
    label_ = new QLineEdit(this);
    label_->setMaxLength(32);
    quick_ = new QCheckBox(Text(str::kFormatQuick), this);
    quick_->setChecked(true);

    auto* form = new QFormLayout;
    form->addRow(Text(str::kFormatDevice), new QLabel(name, this));
    form->addRow(Text(str::kFormatFileSystem), fileSystems_);
    form->addRow(Text(str::kFormatVolumeLabel), label_);
    form->addRow(QString(), quick_);

    progress_ = new QProgressBar(this);
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    progress_->setVisible(false);
    state_ = new QLabel(this);
    output_ = new QPlainTextEdit(this);
    output_->setReadOnly(true);
    output_->setMaximumBlockCount(200);
    output_->setVisible(false);
    output_->setMinimumHeight(90);

    auto* buttons = new QDialogButtonBox(this);
    start_ = buttons->addButton(Text(str::kFormatStart), QDialogButtonBox::ActionRole);
    close_ = buttons->addButton(Text(str::kFormatClose), QDialogButtonBox::RejectRole);
    start_->setDefault(true);
    connect(start_, &QPushButton::clicked, this, &CFormatDialog::startFormat);
    connect(close_, &QPushButton::clicked, this, &CFormatDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(4);
    layout->addLayout(form);
    layout->addWidget(progress_);
    layout->addWidget(state_);
    layout->addWidget(output_);
    layout->addWidget(buttons);
    setMinimumWidth(420);

    if (tools_.empty()) {
        state_->setText(Text(str::kFormatNoTool));
        start_->setEnabled(false);
    }
    if (volumePath_.isEmpty())
        start_->setEnabled(false);

    process_.setProcessChannelMode(QProcess::MergedChannels);
    connect(&process_, &QProcess::readyRead, this, &CFormatDialog::readOutput);
    connect(&process_, &QProcess::finished, this, &CFormatDialog::finished);
    connect(&process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            fail(TextWith(str::kFormatCannotStart, process_.program(), process_.errorString()));
    });
}

void CFormatDialog::setRunning(bool running)
{
    start_->setEnabled(!running);
    close_->setEnabled(!running);
    fileSystems_->setEnabled(!running);
    label_->setEnabled(!running);
    quick_->setEnabled(!running);
    if (running) {
        progress_->setVisible(true);
        progress_->setRange(0, 0);  // busy until the tool says how far it is
        state_->setText(Text(str::kFormatting));
    }
}

void CFormatDialog::startFormat()
{
    const int choice = fileSystems_->currentIndex();
    if (running() || choice < 0 || choice >= int(tools_.size()) || volumePath_.isEmpty())
        return;
    succeeded_ = false;
    errorText_.clear();
    collected_.clear();
    output_->clear();
    output_->setVisible(false);

    if (throughService_) {
        startServiceFormat(tools_[choice]);
        return;
    }
    std::string error;
    if (!formatter_.unmount(volumePath_.toStdString(), &error)) {
        fail(TextWith(str::kFormatCannotUnmount, volumePath_, QString::fromStdString(error)));
        return;
    }
    const auto& tool = tools_[choice];
    QStringList arguments;
    for (const std::string& arg :
         formatter_.arguments(tool.name, label_->text().toStdString(), quick_->isChecked(),
                                         volumePath_.toStdString()))
        arguments << QString::fromStdString(arg);
    setRunning(true);
    process_.start(QString::fromStdString(tool.tool), arguments);
}

void CFormatDialog::readOutput()
{
    const QString chunk = QString::fromLocal8Bit(process_.readAll());
    collected_ += chunk;
    output_->insertPlainText(chunk);
    // mke2fs and mkntfs count their steps as "n/m" or percentages.
    static const QRegularExpression fraction(QStringLiteral("(\\d+)/(\\d+)\\s*$"));
    static const QRegularExpression percent(QStringLiteral("(\\d+)\\s*%"));
    static const QRegularExpression lineBreak(QStringLiteral("[\\r\\n\\b]+"));
    const QStringList lines = chunk.split(lineBreak, Qt::SkipEmptyParts);
    const QString last = lines.isEmpty() ? QString() : lines.last();
    int value = -1;
    if (const auto m = fraction.match(last); m.hasMatch() && m.captured(2).toInt() > 0)
        value = m.captured(1).toInt() * 100 / m.captured(2).toInt();
    else if (const auto p = percent.match(last); p.hasMatch())
        value = p.captured(1).toInt();
    if (value >= 0) {
        progress_->setRange(0, 100);
        progress_->setValue(std::min(value, 100));
    }
}

void CFormatDialog::fail(const QString& message)
{
    setRunning(false);
    progress_->setRange(0, 100);
    progress_->setValue(0);
    errorText_ = message;
    state_->setText(message);
    if (!collected_.trimmed().isEmpty())
        output_->setVisible(true);
    emit formatFinished(false);
    ShowMessage(this, MessageKind::Error, message);
}

void CFormatDialog::finished(int exitCode, QProcess::ExitStatus status)
{
    readOutput();
    if (status != QProcess::NormalExit || exitCode != 0) {
        QString detail = collected_.trimmed();
        if (detail.isEmpty())
            detail = status == QProcess::NormalExit ? TextWith(str::kFormatToolExitCode, QString::number(exitCode))
                                                    : process_.errorString();
        fail(TextWith(str::kFormatFailed, volumePath_, detail));
        return;
    }
    succeed();
}

void CFormatDialog::startServiceFormat(const FileSystemTool& tool)
{
    const std::string node = volumePath_.section(QLatin1Char('/'), -1).toStdString();
    auto done = [this](bool ok, const VolumeFailure& failure) {
        serviceRunning_ = false;
        if (ok) {
            succeed();
            return;
        }
        QString detail = QString::fromStdString(failure.detail);
        if (failure.textId)
            detail = TextWith(failure.textId, volumePath_) + QLatin1Char('\n') + detail;
        fail(TextWith(str::kFormatFailed, volumePath_, detail));
    };
    serviceRunning_ = true;
    setRunning(true);
    if (!formatter_.formatThroughService(node, tool.name, label_->text().toStdString(), quick_->isChecked(), done))
        done(false, {EACCES, 0, "no disk service"});
}

void CFormatDialog::succeed()
{
    setRunning(false);
    progress_->setRange(0, 100);
    progress_->setValue(100);
    state_->setText(Text(str::kFormatComplete));
    succeeded_ = true;
    emit formatFinished(true);
}

void CFormatDialog::reject()
{
    // The volume stays closed until the tool has ended.
    if (running())
        return;
    QDialog::reject();
}

void CFormatDialog::closeEvent(QCloseEvent* event)
{
    if (running()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

}  // namespace qv::ui
