// The main window on the guest's real kernel: sticks plugged in and pulled
// out while it runs appear in and leave the device selector. Runs inside
// the emulated-USB guest (usbvm-gui.sh); QUORVANE_WORK names the folder of
// the stick images, shared with the host.
#include "core/settings/Settings.h"
#include "core/text/StringIds.h"
#include "core/text/StringTable.h"
#include "ui/app/FormatDialog.h"
#include "ui/app/AppWindow.h"
#include "ui/app/WriteWarningDialog.h"
#include "ui/pages/BackupRestorePage.h"
#include "ui/pages/ErasePage.h"

#include <QApplication>
#include <QComboBox>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QTimer>
#include <QProcess>
#include <QPushButton>
#include <QTest>

#include <cstring>

using namespace qv;
using namespace qv::ui;

namespace {

// usbvm-ctl's synchronous hot-plug; returns its first output line.
QString usbvmCtl(const QStringList& arguments)
{
    QProcess ctl;
    ctl.start(QStringLiteral("usbvm-ctl"), arguments);
    if (!ctl.waitForFinished(60000) || ctl.exitCode() != 0)
        return {};
    return QString::fromUtf8(ctl.readAllStandardOutput()).section('\n', 0, 0).trimmed();
}

int positionOf(QComboBox* selector, const QString& part)
{
    for (int i = 0; i < selector->count(); ++i)
        if (selector->itemText(i).contains(part))
            return i;
    return -1;
}

// Selects the stick whose selector text holds product, as a user would.
bool selectStick(QComboBox* selector, const QString& product)
{
    const int position = positionOf(selector, product);
    if (position < 0)
        return false;
    selector->setCurrentIndex(position);
    emit selector->activated(position);
    return true;
}

// Answers what a run puts up: ticks and confirms the write warning, and
// records and closes message boxes.
class ModalAnswers : public QObject {
public:
    ModalAnswers()
    {
        timer_.setInterval(20);
        connect(&timer_, &QTimer::timeout, this, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* warning = qobject_cast<CWriteWarningDialog*>(modal)) {
                warning->checkBox()->setChecked(true);
                warning->okButton()->click();
            } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                texts << box->text();
                box->done(QMessageBox::Ok);
            }
        });
        timer_.start();
    }
    QStringList texts;

private:
    QTimer timer_;
};

// True when line ends in the text of some system error.
bool endsWithSystemError(const QString& line)
{
    for (int error = 1; error < 134; ++error)
        if (line.endsWith(QString::fromLocal8Bit(std::strerror(error))))
            return true;
    return false;
}

}  // namespace

class GuiHotplugTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (qEnvironmentVariable("USBVM") != QLatin1String("1"))
            QSKIP("runs inside the emulated-USB guest only");
    }

    void sticksComeAndGoWhileTheWindowRuns()
    {
        MemoryProfileStore store;
        MainOptions options;
        AppWindow window(store, options);
        window.show();
        QComboBox* selector = window.deviceSelector();
        QTRY_COMPARE_WITH_TIMEOUT(positionOf(selector, "Boot"), 0, 10000);
        QCOMPARE(selector->count(), 1);

        const QString work = qEnvironmentVariable("QUORVANE_WORK");
        const QString added = usbvmCtl({"add", "-w", work + "/gui-hot.img,vendor=ACME,product=Hot,serial=HG0002"});
        QVERIFY2(!added.isEmpty(), "usbvm-ctl add failed");
        const QString hotStick = added.section(' ', 0, 0);
        QTRY_COMPARE_WITH_TIMEOUT(selector->count(), 2, 20000);
        QCOMPARE(positionOf(selector, "Hot"), 1);

        // The selected stick leaves: the first remaining one is selected.
        selector->setCurrentIndex(1);
        emit selector->activated(1);
        QVERIFY(window.context().device->listed);
        QVERIFY(QString(window.context().device->productText).contains("Hot"));
        QVERIFY(!usbvmCtl({"remove", "-w", hotStick}).isNull());
        QTRY_COMPARE_WITH_TIMEOUT(selector->count(), 1, 20000);
        QCOMPARE(selector->currentIndex(), 0);
        QVERIFY(selector->currentText().contains("Boot"));
        QVERIFY(QString(window.context().device->productText).contains("Boot"));

        // The last one leaves: the no-devices text, selector and Format off.
        QVERIFY(!usbvmCtl({"remove", "-w", "stick0"}).isNull());
        QTRY_COMPARE_WITH_TIMEOUT(selector->itemText(0), QString::fromStdString(LoadText(180)), 20000);
        QVERIFY(!selector->isEnabled());
        QVERIFY(!window.formatButton()->isEnabled());

        // And a new one brings them back.
        QVERIFY(!usbvmCtl({"add", "-w", work + "/gui-hot.img,vendor=ACME,product=Again,serial=HG0003"}).isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(selector->currentText().contains("Again"), 20000);
        QVERIFY(selector->isEnabled());
        QVERIFY(window.formatButton()->isEnabled());
    }

    void formatWritesTheChosenFileSystemOntoTheStick()
    {
        MemoryProfileStore store;
        AppWindow window(store, MainOptions{});
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(window.context().device && window.context().device->listed, 10000);
        const QString node = QString::fromStdString(window.context().device->handle->path());

        // Answer the format dialog: exFAT, a label, Start, then Close once done.
        bool finished = false, succeeded = false;
        QTimer driver;
        driver.setInterval(20);
        connect(&driver, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<CFormatDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            if (!finished && !dialog->running()) {
                dialog->fileSystemBox()->setCurrentIndex(dialog->fileSystemBox()->findText("exFAT"));
                dialog->labelEdit()->setText("GUESTSTICK");
                connect(dialog, &CFormatDialog::formatFinished, [&](bool ok) {
                    finished = true;
                    succeeded = ok;
                });
                dialog->startFormat();
            } else if (finished && !dialog->running()) {
                dialog->reject();
            }
        });
        driver.start();
        const DeviceHandle before = window.context().device->handle;
        window.formatDrive();
        driver.stop();
        QVERIFY(finished);
        QVERIFY(succeeded);
        QVERIFY(window.context().device->handle != before);
        QVERIFY(window.context().device->handle->isOpen());

        QProcess blkid;
        blkid.start("blkid", {"-p", "-o", "export", node});
        QVERIFY(blkid.waitForFinished(20000));
        const QString probe = QString::fromUtf8(blkid.readAllStandardOutput());
        QVERIFY2(probe.contains("TYPE=exfat"), qPrintable(probe));
        QVERIFY2(probe.contains("LABEL=GUESTSTICK"), qPrintable(probe));
    }

    // Run as an ordinary user by the access-without-root guest check: the
    // stick is listed though the user may not open it, and Format makes a
    // FAT file system on it through udisks2 (checked by the caller as root).
    void listsAndFormatsWithoutRoot()
    {
        const QString product = qEnvironmentVariable("QUORVANE_EXPECT_STICK");
        if (product.isEmpty())
            QSKIP("run by the access-without-root guest check");
        MemoryProfileStore store;
        AppWindow window(store, MainOptions{});
        window.show();
        QComboBox* selector = window.deviceSelector();
        QTRY_VERIFY_WITH_TIMEOUT(positionOf(selector, product) >= 0, 10000);
        selector->setCurrentIndex(positionOf(selector, product));
        emit selector->activated(selector->currentIndex());
        QCOMPARE(QString::fromStdString(window.context().device->handle->access()), QStringLiteral("udisks2"));

        bool finished = false, succeeded = false;
        QString error;
        QTimer driver;
        driver.setInterval(20);
        connect(&driver, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            auto* dialog = qobject_cast<CFormatDialog*>(modal);
            if (!dialog) {
                if (modal)  // a failure's message box
                    modal->close();
                return;
            }
            if (!finished && !dialog->running()) {
                dialog->fileSystemBox()->setCurrentIndex(dialog->fileSystemBox()->findText("FAT32"));
                dialog->labelEdit()->setText("USERSTICK");
                connect(dialog, &CFormatDialog::formatFinished, [&, dialog](bool ok) {
                    finished = true;
                    succeeded = ok;
                    error = dialog->errorText();
                });
                dialog->startFormat();
            } else if (finished && !dialog->running()) {
                dialog->reject();
            }
        });
        driver.start();
        window.formatDrive();
        driver.stop();
        QVERIFY(finished);
        QVERIFY2(succeeded, qPrintable(error));
    }

    // Run by the backup and restore guest check: a restore onto a throttled
    // stick through the page, the stick pulled out midway. The page ends
    // with the failure message naming the drive and the system's error, the
    // main controls come back, the stick leaves the list, and the erase page
    // then runs on another stick (checked by the caller as root).
    void restoreEndsWithTheFailureWhenTheStickIsPulled()
    {
        const QString pulled = qEnvironmentVariable("QUORVANE_PULL_STICK");
        if (pulled.isEmpty())
            QSKIP("run by the backup and restore guest check");
        const QString other = qEnvironmentVariable("QUORVANE_OTHER_STICK");
        const std::string image = qEnvironmentVariable("QUORVANE_PULL_IMAGE").toStdString();
        MemoryProfileStore store;
        AppWindow window(store, MainOptions{});
        window.show();
        QComboBox* selector = window.deviceSelector();
        QTRY_VERIFY_WITH_TIMEOUT(positionOf(selector, pulled) >= 0 && positionOf(selector, other) >= 0, 10000);
        QVERIFY(selectStick(selector, pulled));
        const QString node = QString::fromStdString(window.context().device->handle->path());

        window.showPage(kBackupPage);
        auto* page = qobject_cast<CBackupRestorePage*>(window.page(kBackupPage));
        QVERIFY(page);
        page->setFileAnswer([&](const FileRequest&, std::string* path) {
            *path = image;
            return true;
        });
        ModalAnswers answers;
        QTest::mouseClick(page->restoreButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(page->valueText(1114).section(' ', 0, 0).toInt() >= 5, 60000);
        QVERIFY(page->presenter()->running());
        QCOMPARE(page->restoreButton()->text(), QString::fromStdString(LoadText(str::kStop)));
        QVERIFY(!selector->isEnabled());

        const QString name = qEnvironmentVariable("QUORVANE_PULL_NAME");
        QVERIFY2(!usbvmCtl({"remove", "-w", name}).isNull(), "usbvm-ctl remove failed");
        QTRY_VERIFY_WITH_TIMEOUT(!page->presenter()->active(), 60000);
        QTRY_COMPARE_WITH_TIMEOUT(answers.texts.size(), 1, 10000);
        const QStringList lines = answers.texts[0].split('\n');
        qInfo("failure: %s", qPrintable(lines.join(QStringLiteral(" / "))));
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0], QString::fromStdString(LoadText(str::kTestCancelled)));
        QVERIFY2(lines[1].contains(node), qPrintable(lines[1]));
        QVERIFY2(endsWithSystemError(lines[1]), qPrintable(lines[1]));
        QCOMPARE(page->presenter()->outcome(), RunOutcome::Failed);

        // The window is back: the stick has left, the controls are on.
        QTRY_COMPARE_WITH_TIMEOUT(positionOf(selector, pulled), -1, 20000);
        QCOMPARE(page->restoreButton()->text(), QString::fromStdString(LoadText(str::kRestoreButton)));
        QVERIFY(page->restoreButton()->isEnabled());
        QVERIFY(page->backupButton()->isEnabled());
        QVERIFY(selector->isEnabled());
        QVERIFY(window.refreshButton()->isEnabled());
        QVERIFY(window.formatButton()->isEnabled());

        // And another page works on another stick.
        QVERIFY(selectStick(selector, other));
        window.showPage(kErasePage);
        auto* erase = qobject_cast<CErasePage*>(window.page(kErasePage));
        QVERIFY(erase);
        erase->quickButton()->click();
        QTest::mouseClick(erase->startButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!erase->presenter()->active(), 60000);
        QCOMPARE(erase->presenter()->outcome(), RunOutcome::Completed);
        QTRY_COMPARE_WITH_TIMEOUT(answers.texts.size(), 2, 10000);
        QCOMPARE(answers.texts[1], QString::fromStdString(LoadText(str::kFlashErased)));
    }
};

QTEST_MAIN(GuiHotplugTest)
#include "GuiHotplug.moc"
