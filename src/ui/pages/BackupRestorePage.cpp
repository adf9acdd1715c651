#include "ui/pages/BackupRestorePage.h"

#include "core/run/RunController.h"
#include "core/run/SharedContext.h"
#include "core/text/StringIds.h"
#include "ui/app/FileDialog.h"
#include "ui/app/MessageBox.h"
#include "ui/app/Text.h"
#include "ui/app/TransparentStatic.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QFrame>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>

namespace qv::ui {
namespace {

// The page as laid out at creation (dialog 166). Placement keeps the
// distances and offsets this layout shows.
constexpr int kTemplateWidth = 600;
constexpr int kTemplateHeight = 460;
constexpr int kMargin = 10;
constexpr int kIndent = 20;
constexpr int kRowHeight = 18;
constexpr int kButtonWidth = 110;
constexpr int kButtonHeight = 28;
constexpr int kPercentWidth = 50;
constexpr int kBackupSeparatorTop = 62;
// Offsets from a group's separator.
constexpr int kHeadingOffset = -22;
constexpr int kButtonOffset = 12;
constexpr int kBarOffset = 50;
constexpr int kFirstRowOffset = 80;
// Columns of the figures: label and value, left and right.
constexpr int kLeftLabel = kIndent, kLeftValue = 110, kRightLabel = 260, kRightValue = 350;
constexpr int kLabelWidth = 88, kValueWidth = 140;

}  // namespace

CBackupRestorePage::CBackupRestorePage(QWidget* parent) : TestPage(parent)
{
    buildGroup(groups_[0], str::kBackupHeading, str::kBackupButton, str::kBackupTip);
    buildGroup(groups_[1], str::kRestoreHeading, str::kRestoreButton, str::kRestoreTip);
    verify_ = new QCheckBox(Text(str::kVerifyAfterWriting), this);
    verify_->setChecked(true);
    connect(backup_, &QPushButton::clicked, this, &CBackupRestorePage::OnBackup);
    connect(restore_, &QPushButton::clicked, this, &CBackupRestorePage::OnRestore);
    resize(kTemplateWidth, kTemplateHeight);
    applyPlacement();
}

void CBackupRestorePage::buildGroup(Group& g, int headingId, int buttonId, int tipId)
{
    g.heading = MakePageLabel(this, headingId, true);
    g.separator = new QFrame(this);
    g.separator->setFrameShape(QFrame::HLine);
    g.separator->setFrameShadow(QFrame::Sunken);
    g.button = new QPushButton(Text(buttonId), this);
    g.button->setToolTip(Text(tipId));
    g.bar = new QProgressBar(this);
    g.bar->setRange(0, 100);
    g.bar->setValue(0);
    g.bar->setTextVisible(false);
    const int labelIds[4] = {str::kEraseElapsed, str::kEraseRemaining, str::kTransferSpeed, str::kErasePosition};
    for (int i = 0; i < 4; ++i)
        g.labels[i] = MakePageLabel(this, labelIds[i]);
    for (CTransparentStatic*& value : g.values)
        value = MakePageValue(this);
}

BackupRestorePresenter* CBackupRestorePage::ensurePresenter()
{
    if (!presenter_ && context_ && runs_ && files_)
        presenter_ = std::make_unique<BackupRestorePresenter>(*context_, *runs_,
                                                              static_cast<BackupRestoreView&>(*this), *files_);
    return presenter_.get();
}

void CBackupRestorePage::OnBackup()
{
    BackupRestorePresenter* presenter = ensurePresenter();
    if (presenter && presenter->running() && presenter->operation() != TransferKind::Backup)
        return;
    // Reading the medium needs no warning.
    // The save dialog also offers a zstd-compressed image.
    startOrStop(presenter, false, [this] {
        TransferSettings settings;
        settings.offerCompressed = true;
        // The save dialog asked before a file of the chosen name is replaced.
        settings.replace = true;
        presenter_->StartBackup(settings);
    });
}

void CBackupRestorePage::OnRestore()
{
    BackupRestorePresenter* presenter = ensurePresenter();
    if (presenter && presenter->running() && presenter->operation() != TransferKind::Restore)
        return;
    startOrStop(presenter, true, [this] {
        TransferSettings settings;
        settings.verify = verify_->isChecked();
        settings.offerCompressed = true;
        presenter_->StartRestore(settings);
    });
}

void CBackupRestorePage::UpdateBackupControls(bool haveDevices)
{
    haveDevices_ = haveDevices;
    // A running operation keeps its stop button whatever the list does.
    if (presenter_ && presenter_->active())
        return;
    backup_->setEnabled(haveDevices);
    restore_->setEnabled(haveDevices);
}

bool CBackupRestorePage::chooseFile(const FileRequest& request, std::string* path)
{
    if (answer_)
        return answer_(request, path);
    QString chosen = QString::fromStdString(request.proposedName);
    int entry = 0;
    if (!ShowFileDialog(this, QString::fromStdString(request.filter), chosen, request.save, &entry))
        return false;
    // The compressed kind of a save (the second entry): the name must end in
    // ".zst", which makes the image compressed. The dialog adds no extension to a name
    // with a dot of its own ("USB 3.0_07-December-2026"), so it may lack it.
    if (request.save && entry == 1 && !chosen.endsWith(QLatin1String(".zst"))) {
        const QString named = chosen + (chosen.endsWith(QLatin1String(".qvn")) ? ".zst" : ".qvn.zst");
        if (QFileInfo::exists(named) && !AskYesNo(this, Text(str::kReplaceFile).arg(named)))
            return false;
        chosen = named;
    }
    *path = chosen.toStdString();
    return true;
}

void CBackupRestorePage::showTexts(TransferKind kind, const TransferTexts& t)
{
    Group& g = groups_[int(kind)];
    const std::string* texts[6] = {&t.percent, &t.elapsed, &t.remaining, &t.speed, &t.position, &t.sector};
    for (int i = 0; i < 6; ++i)
        g.values[i]->SetLabelText(QString::fromStdString(*texts[i]));
    g.bar->setValue(t.bar);
}

QString CBackupRestorePage::valueText(int controlId) const
{
    // The dialog's ids of the six values of each group, in Group order.
    static const int kIds[2][6] = {{1047, 1050, 1051, 1052, 1048, 1049}, {1114, 1056, 1057, 1058, 1054, 1055}};
    for (int g = 0; g < 2; ++g)
        for (int i = 0; i < 6; ++i)
            if (kIds[g][i] == controlId)
                return groups_[g].values[i]->text();
    return {};
}

void CBackupRestorePage::showRunState(bool running, bool startEnabled)
{
    const bool backupRuns = running && presenter_ && presenter_->operation() == TransferKind::Backup;
    const bool restoreRuns = running && !backupRuns;
    backup_->setText(Text(backupRuns ? str::kStop : str::kBackupButton));
    restore_->setText(Text(restoreRuns ? str::kStop : str::kRestoreButton));
    // Never two operations at once: the other button waits for the idle page.
    backup_->setEnabled(startEnabled && !restoreRuns && (running || haveDevices_));
    restore_->setEnabled(startEnabled && !backupRuns && (running || haveDevices_));
    verify_->setEnabled(!running);
}

void CBackupRestorePage::resizeEvent(QResizeEvent* event)
{
    TestPage::resizeEvent(event);
    applyPlacement();
}

void CBackupRestorePage::placeGroup(Group& g, int top)
{
    const int w = width();
    g.separator->setGeometry(kMargin, top, w - 2 * kMargin, 2);
    g.heading->setGeometry(kMargin, top + kHeadingOffset, w - 2 * kMargin, kRowHeight);
    g.button->setGeometry(w - kMargin - kButtonWidth, top + kButtonOffset, kButtonWidth, kButtonHeight);
    const int percentLeft = w - kMargin - kPercentWidth;
    g.bar->setGeometry(kIndent, top + kBarOffset, percentLeft - 6 - kIndent, 16);
    g.values[0]->setGeometry(percentLeft, top + kBarOffset, kPercentWidth, kRowHeight);
    const int row0 = top + kFirstRowOffset, row1 = row0 + 20;
    g.labels[0]->setGeometry(kLeftLabel, row0, kLabelWidth, kRowHeight);
    g.values[1]->setGeometry(kLeftValue, row0, kValueWidth, kRowHeight);
    g.labels[1]->setGeometry(kLeftLabel, row1, kLabelWidth, kRowHeight);
    g.values[2]->setGeometry(kLeftValue, row1, kValueWidth, kRowHeight);
    g.labels[2]->setGeometry(kRightLabel, row0, kLabelWidth, kRowHeight);
    g.values[3]->setGeometry(kRightValue, row0, kValueWidth, kRowHeight);
    g.labels[3]->setGeometry(kRightLabel, row1, kLabelWidth, kRowHeight);
    // The position and sector texts may use the rest of the row ("Verifying:
    // sector ..." is long).
    const int rightWidth = std::max(kValueWidth, w - kMargin - kRightValue);
    g.values[4]->setGeometry(kRightValue, row1, rightWidth, kRowHeight);
    g.values[5]->setGeometry(kRightValue, row1 + 20, rightWidth, kRowHeight);
}

void CBackupRestorePage::applyPlacement()
{
    placeGroup(groups_[0], kBackupSeparatorTop);
    // The restore group follows separator 1153, centred between the first
    // separator and the bottom of the page.
    const int restoreTop = (kBackupSeparatorTop + 2 + height()) / 2;
    placeGroup(groups_[1], restoreTop);
    verify_->setGeometry(kIndent, restoreTop + kButtonOffset + 4, 300, 22);
}

}  // namespace qv::ui
