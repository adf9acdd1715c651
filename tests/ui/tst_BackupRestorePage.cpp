// The backup and restore page over image drives: the warning before a
// restore only, one operation at a time, and the failure box.
#include "core/device/SectorIO.h"
#include "core/mediatests/ChunkTransfers.h"
#include "core/run/RunController.h"
#include "core/settings/Settings.h"
#include "core/text/StringIds.h"
#include "platform/image/FaultyVolume.h"
#include "platform/image/ImageVolume.h"
#include "platform/image/PosixImageFiles.h"
#include "platform/image/PosixOutputFiles.h"
#include "support/PageDrive.h"
#include "support/UiFixtures.h"
#include "ui/app/PageFactory.h"
#include "ui/app/NavigationBar.h"
#include "ui/app/AppWindow.h"
#include "ui/app/Language.h"
#include "support/SlowVolume.h"
#include "ui/app/QtPost.h"
#include "ui/app/ReportSaving.h"
#include "ui/app/Text.h"
#include "ui/app/WriteWarningDialog.h"
#include "ui/pages/BackupRestorePage.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTranslator>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTest>

#include <cstring>
#include <sys/stat.h>

using namespace qv;
using namespace qv::ui;

namespace {

// While a run goes on: which captions the buttons show and whether the
// other one can be pressed.
struct Observed {
    QStringList backupCaptions, restoreCaptions;
    bool backupEnabled = false, restoreEnabled = false;
};

}  // namespace

class BackupRestorePageTest : public QObject {
    Q_OBJECT
private:
    test::ImageFolder images_;
    PosixImageFiles files_;

    // The page on the drive, over the image files, shown.
    void attach(CBackupRestorePage& page, test::PageDrive& drive)
    {
        page.setContext(&drive.context, &drive.runs);
        page.setImageFiles(&files_);
        page.show();
    }

private slots:
    void initTestCase() { SetSettleDelayMs(0); }

    void backupNeedsNoWarningRestoreDoesAndTheOtherButtonWaits()
    {
        const QByteArray content = test::RandomBytes(4 << 20);
        const QString medium = test::ImageWith(images_, "stick.img", content);
        test::PageDrive drive(ImageVolume::open(medium.toStdString()), 8192);
        CBackupRestorePage page;
        attach(page, drive);
        const QString image = images_.path("saved.qvn");
        QStringList proposed;
        page.setFileAnswer([&](const FileRequest& request, std::string* path) {
            proposed << QString::fromStdString(request.proposedName);
            *path = image.toStdString();
            return true;
        });
        Observed seen;
        drive.runs.onReport = [&](int32_t, int64_t) {
            if (!page.presenter()->running())
                return;
            seen.backupCaptions << page.backupButton()->text();
            seen.restoreCaptions << page.restoreButton()->text();
            seen.backupEnabled = seen.backupEnabled || page.backupButton()->isEnabled();
            seen.restoreEnabled = seen.restoreEnabled || page.restoreButton()->isEnabled();
        };

        test::ModalCatcher catcher(test::AcceptWarning);
        QTest::mouseClick(page.backupButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!page.presenter()->active(), 30000);
        QCOMPARE(catcher.dialogs, 0);  // reading the medium needs no warning
        QVERIFY(proposed.value(0).startsWith(QStringLiteral("USB Flash_")));
        QCOMPARE(test::FileBytes(image), content);
        QVERIFY(!seen.backupCaptions.isEmpty());
        QCOMPARE(seen.backupCaptions.first(), Text(str::kStop));
        QCOMPARE(seen.restoreCaptions.first(), Text(str::kRestoreButton));
        QVERIFY(!seen.restoreEnabled);
        QCOMPARE(page.valueText(1047), QStringLiteral("100 %"));

        // Onto a blank medium, after the warning; the backup button waits.
        drive.record.handle = ImageVolume::open(images_.make("blank.img", 4 << 20).toStdString());
        seen = Observed{};
        QTest::mouseClick(page.restoreButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!page.presenter()->active(), 30000);
        QCOMPARE(catcher.dialogs, 1);
        QCOMPARE(test::FileBytes(images_.path("blank.img")), content);
        QVERIFY(!seen.restoreCaptions.isEmpty());
        QCOMPARE(seen.restoreCaptions.first(), Text(str::kStop));
        QVERIFY(!seen.backupEnabled);
        QCOMPARE(page.valueText(1114), QStringLiteral("100 %"));
        QVERIFY(page.backupButton()->isEnabled());
        QVERIFY(page.restoreButton()->isEnabled());
        QCOMPARE(page.restoreButton()->text(), Text(str::kRestoreButton));
    }

    // Through the real dialogs: the save dialog's second entry makes a zstd
    // image named .qvn.zst, the first (untouched) a plain one; the open
    // dialog lists compressed images and the zstd image restores exactly.
    void saveDialogChoosesACompressedBackupWhichRestores()
    {
        const QByteArray content = test::RandomBytes(2 << 20) + QByteArray(2 << 20, 'q');
        const QString medium = test::ImageWith(images_, "packed-stick.img", content);
        test::PageDrive drive(ImageVolume::open(medium.toStdString()), 8192);
        CBackupRestorePage page;
        attach(page, drive);
        const QString folder = QFileInfo(medium).absolutePath();
        bool pickCompressed = false;
        QString typedName;
        QStringList filters[2];  // open, save
        test::ModalCatcher catcher([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            if (!dialog)
                return test::AcceptWarning(modal);
            const bool save = dialog->acceptMode() == QFileDialog::AcceptSave;
            filters[save] = dialog->nameFilters();
            if (pickCompressed)
                QTest::keyClick(dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo")), Qt::Key_Down);
            dialog->setDirectory(folder);
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(typedName);
            static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept, as its Save or Open button
        });

        typedName = QStringLiteral("plain");
        QTest::mouseClick(page.backupButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!page.presenter()->active(), 30000);
        QCOMPARE(filters[1].size(), 2);
        QVERIFY(filters[1][0].endsWith(QStringLiteral("(*.qvn)")));
        QCOMPARE(test::FileBytes(folder + "/plain.qvn"), content);

        typedName = QStringLiteral("packed");
        pickCompressed = true;
        QTest::mouseClick(page.backupButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!page.presenter()->active(), 30000);
        QCOMPARE(page.presenter()->outcome(), RunOutcome::Completed);
        const QByteArray packed = test::FileBytes(folder + "/packed.qvn.zst");
        QVERIFY(packed.startsWith(QByteArray::fromHex("28b52ffd")));  // a zstd frame
        QVERIFY(packed.size() < content.size());

        // A name with a dot of its own gets no extension from the dialog;
        // under the compressed kind it still ends in .qvn.zst, and replacing
        // a file of that name is asked first.
        const QString dotted = test::ImageWith(images_, "stick v1.2.qvn.zst", "old");
        typedName = QStringLiteral("stick v1.2");
        catcher.answer = QMessageBox::Yes;
        QTest::mouseClick(page.backupButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!page.presenter()->active(), 30000);
        QCOMPARE(catcher.texts.size(), 1);
        QVERIFY(catcher.texts[0].startsWith(dotted));
        QCOMPARE(test::FileBytes(dotted), packed);

        drive.record.handle = ImageVolume::open(images_.make("packed-target.img", 4 << 20).toStdString());
        pickCompressed = false;
        typedName = folder + "/packed.qvn.zst";
        QTest::mouseClick(page.restoreButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!page.presenter()->active(), 30000);
        QVERIFY(filters[0].size() >= 2);
        QVERIFY(filters[0][1].contains(QStringLiteral("*.zst")));
        QCOMPARE(page.presenter()->outcome(), RunOutcome::Completed);
        QCOMPARE(test::FileBytes(images_.path("packed-target.img")), content);
    }

    // A stick that fails mid-backup: what was read is kept as NAME.partial
    // (said in the box and on the page) and the old image of the name the
    // dialog chose stays; a named pipe as the target is refused and stays.
    void failedBackupKeepsWhatItReadBesideTheOldImageAndPipesAreRefused()
    {
        const QByteArray content = test::RandomBytes(4 << 20);
        const QString medium = test::ImageWith(images_, "dying.img", content);
        FaultPlan plan;
        plan.failingReads.push_back({3000, 1});
        test::PageDrive drive(std::make_shared<FaultyVolume>(ImageVolume::open(medium.toStdString()), plan), 8192);
        CBackupRestorePage page;
        attach(page, drive);
        const QString image = test::ImageWith(images_, "dying.qvn", "old backup");
        QString answer = image;
        page.setFileAnswer([&](const FileRequest&, std::string* path) {
            *path = answer.toStdString();
            return true;
        });
        test::ModalCatcher catcher;
        QTest::mouseClick(page.backupButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!page.presenter()->active(), 30000);
        QTRY_COMPARE(catcher.texts.size(), 1);
        const QString kept = Text(str::kPartialKept).arg(2944).arg(image + ".partial");
        QCOMPARE(catcher.texts[0], Text(str::kTestCancelled) + "\n" + Text(str::kFailedRead) + " " + medium + ", " +
                                       Text(str::kSector) + " 2944: " + QString::fromLocal8Bit(std::strerror(EIO)) +
                                       "\n" + kept);
        QCOMPARE(page.valueText(1049), kept);
        QCOMPARE(test::FileBytes(image), QByteArray("old backup"));
        QCOMPARE(test::FileBytes(image + ".partial"), content.left(2944 * 512));
        QVERIFY(!QFile::exists(image + ".sha256"));

        answer = images_.path("pipe.qvn");
        QVERIFY(mkfifo(answer.toLocal8Bit().constData(), 0600) == 0);
        QTest::mouseClick(page.backupButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!page.presenter()->active(), 30000);
        QTRY_COMPARE(catcher.texts.size(), 2);
        QVERIFY2(catcher.texts[1].contains(answer + " (" + Text(str::kTargetPipe) + ")"), qPrintable(catcher.texts[1]));
        struct stat pipe;
        QVERIFY(lstat(answer.toLocal8Bit().constData(), &pipe) == 0 && S_ISFIFO(pipe.st_mode));
    }

    // Stopped from the page: the page is idle at once, and once the worker
    // has ended it says what it kept. The window's Save report is never
    // written over the backup the page made, even when the user says
    // replace.
    void stoppedBackupSaysWhatItKeptAndTheReportStaysOffTheBackup()
    {
        const QByteArray content = test::RandomBytes(4 << 20);
        const QString medium = test::ImageWith(images_, "slow.img", content);
        // One slow request per chunk, so that the stop comes mid-backup.
        SetTransferRequestBytes(64 << 10);
        const std::shared_ptr<void> defaultRequests(nullptr, [](void*) { SetTransferRequestBytes(0); });
        test::PageDrive drive(std::make_shared<test::SlowVolume>(ImageVolume::open(medium.toStdString()),
                                                                 std::chrono::milliseconds(20)),
                              8192);
        CBackupRestorePage page;
        attach(page, drive);
        QString answer = images_.path("slow.qvn");
        page.setFileAnswer([&](const FileRequest&, std::string* path) {
            *path = answer.toStdString();
            return true;
        });
        QTest::mouseClick(page.backupButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!page.valueText(1049).isEmpty(), 30000);
        QTest::mouseClick(page.backupButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!page.presenter()->active(), 30000);
        QCOMPARE(page.presenter()->outcome(), RunOutcome::Stopped);
        const QString part = answer + ".partial";
        const qint64 kept = QFileInfo(part).size() / 512;
        QVERIFY(kept > 0 && kept < 8192);
        QCOMPARE(page.valueText(1049), Text(str::kPartialKept).arg(kept).arg(part));
        // The stop line says it too, as the command-line tool prints it.
        QVERIFY(page.stopLine() && page.stopLine()->isVisible());
        QCOMPARE(page.stopLine()->text(),
                 Text(str::kStopDriveUnchanged) + QLatin1Char(' ') + Text(str::kPartialKept).arg(kept).arg(part));
        QCOMPARE(test::FileBytes(part), content.left(int(kept) * 512));
        QVERIFY(!QFile::exists(answer) && !QFile::exists(answer + ".sha256"));

        drive.record.handle = ImageVolume::open(medium.toStdString());
        answer = images_.path("slow.html");
        QTest::mouseClick(page.backupButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!page.presenter()->active(), 30000);
        QCOMPARE(page.presenter()->outcome(), RunOutcome::Completed);
        QVERIFY(!page.stopLine()->isVisible());
        test::ModalCatcher catcher([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            if (!dialog)
                return;
            dialog->setDirectory(QFileInfo(answer).absolutePath());
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("slow.html"));
            // The user's "yes" to the dialog's own "replace?" question.
            dialog->setOption(QFileDialog::DontConfirmOverwrite, true);
            static_cast<QDialog*>(dialog)->accept();
        });
        PosixOutputFiles files;
        QVERIFY(!SaveReport(page, files));
        QCOMPARE(catcher.texts.size(), 1);
        QVERIFY2(catcher.texts[0].contains(Text(str::kOutputOverRunFile) + " " + answer), qPrintable(catcher.texts[0]));
        QCOMPARE(test::FileBytes(answer), content);
    }

    void failedRestoreShowsTheMessageWithWhatFailed()
    {
        FaultPlan plan;
        plan.failingWrites.push_back({3000, 1});
        const QString medium = images_.make("faulty.img", 4 << 20);
        test::PageDrive drive(std::make_shared<FaultyVolume>(ImageVolume::open(medium.toStdString()), plan), 8192);
        CBackupRestorePage page;
        attach(page, drive);
        const QString image = test::ImageWith(images_, "source.qvn", test::RandomBytes(4 << 20));
        page.setFileAnswer([&](const FileRequest&, std::string* path) {
            *path = image.toStdString();
            return true;
        });
        test::ModalCatcher catcher(test::AcceptWarning);
        QTest::mouseClick(page.restoreButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!page.presenter()->active(), 30000);
        QTRY_COMPARE(catcher.texts.size(), 1);
        QCOMPARE(catcher.texts[0], Text(str::kTestCancelled) + "\n" + Text(str::kFailedWrite) + " " + medium + ", " +
                                       Text(str::kSector) + " 2944: " + QString::fromLocal8Bit(std::strerror(EIO)));
        QVERIFY(page.backupButton()->isEnabled());
        QVERIFY(page.restoreButton()->isEnabled());
    }
};


// Not a test: with QUORVANE_SCREENSHOTS=DIR set (scripts/screenshots runs
// it under Xvfb) the main window is photographed on the backup page during
// a backup and after a backup and a restore, in both languages.
class BackupScreenshots : public QObject {
    Q_OBJECT
private slots:
    void pageDuringAndAfterABackupAndARestore_data()
    {
        QTest::addColumn<bool>("english");
        QTest::newRow("ru") << false;
        QTest::newRow("en") << true;
    }
    void pageDuringAndAfterABackupAndARestore()
    {
        const QString dir = qEnvironmentVariable("QUORVANE_SCREENSHOTS");
        QFETCH(bool, english);
        QTranslator translator;
        if (english)
            QVERIFY(InstallEnglish(*qApp, translator, QStringLiteral(QUORVANE_TRANSLATIONS_DIR)));
        SetSettleDelayMs(0);
        test::ImageFolder images;
        const QString path = test::ImageWith(images, "stick.img", test::RandomBytes(48 << 20));
        MemoryProfileStore store;
        MainOptions options;
        options.systemDrives = false;
        options.images = {path.toStdString()};
        AppWindow window(store, options);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        DeviceRecord* record = window.context().device;
        QVERIFY(record);
        record->handle = std::make_shared<test::SlowVolume>(record->handle.get(), std::chrono::microseconds(3000));
        QTest::mouseClick(window.navigationBar(), Qt::LeftButton, {},
                          QPoint(40, kBackupPage * CNavigationBar::kItemHeight + 28));
        auto* page = qobject_cast<CBackupRestorePage*>(window.page(kBackupPage));
        QVERIFY(page);
        const QString image = images.path("stick.qvn");
        page->setFileAnswer([&](const FileRequest&, std::string* chosen) {
            *chosen = image.toStdString();
            return true;
        });
        test::ModalCatcher catcher(test::AcceptWarning);
        QTest::mouseClick(page->backupButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(page->valueText(1047).section(' ', 0, 0).toInt() >= 60, 60000);
        const QString lang = english ? "en" : "ru";
        QVERIFY(window.grab().save(QDir(dir).filePath("backup-running-" + lang + ".png")));
        QTRY_VERIFY_WITH_TIMEOUT(!page->presenter()->active(), 60000);
        QTest::mouseClick(page->restoreButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!page->presenter()->active(), 60000);
        QTest::qWait(100);
        QVERIFY(window.grab().save(QDir(dir).filePath("backup-done-" + lang + ".png")));
        if (english)
            qApp->removeTranslator(&translator);
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (!qEnvironmentVariableIsEmpty("QUORVANE_SCREENSHOTS")) {
        BackupScreenshots shots;
        return QTest::qExec(&shots, argc, argv);
    }
    BackupRestorePageTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_BackupRestorePage.moc"
