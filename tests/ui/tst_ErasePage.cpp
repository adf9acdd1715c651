// The erase page over image drives: the write warning for either erase
// type, the running and idle states, the closing message and placement.
#include "core/device/SectorIO.h"
#include "core/run/RunController.h"
#include "core/settings/Settings.h"
#include "core/text/StringIds.h"
#include "platform/image/ImageVolume.h"
#include "support/PageDrive.h"
#include "support/UiFixtures.h"
#include "ui/app/PageFactory.h"
#include "ui/app/NavigationBar.h"
#include "ui/app/AppWindow.h"
#include "ui/app/Language.h"
#include "core/settings/Settings.h"
#include "support/SlowVolume.h"
#include "ui/app/QtPost.h"
#include "ui/app/Text.h"
#include "ui/app/WriteWarningDialog.h"
#include "ui/pages/ErasePage.h"

#include <QCheckBox>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTranslator>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace qv;
using namespace qv::ui;

class ErasePageTest : public QObject {
    Q_OBJECT
private:
    test::ImageFolder images_;

private slots:
    void initTestCase() { SetSettleDelayMs(0); }

    void fullEraseAsksFirstShowsStopWhileRunningAndEndsWithTheMessage()
    {
        const QString path = test::ImageWith(images_, "full.img", QByteArray(8 << 20, char(0xAB)));
        test::PageDrive drive(ImageVolume::open(path.toStdString()), 16384);
        drive.settings.eraseType = 1;
        CErasePage page;
        page.setContext(&drive.context, &drive.runs);
        page.show();
        QVERIFY(page.fullButton()->isChecked());

        {
            test::ModalCatcher decline;  // the warning is rejected
            QTest::mouseClick(page.startButton(), Qt::LeftButton);
            QCOMPARE(decline.dialogs, 1);
        }
        QCOMPARE(page.startButton()->text(), Text(str::kEraseButton));
        QVERIFY(!page.presenter()->active());
        QCOMPARE(test::FileBytes(path), QByteArray(8 << 20, char(0xAB)));

        QStringList captions;
        bool radiosEnabled = true;
        drive.runs.onReport = [&](int32_t, int64_t) {
            captions << page.startButton()->text();
            radiosEnabled = radiosEnabled && page.quickButton()->isEnabled() && page.fullButton()->isEnabled();
        };
        test::ModalCatcher catcher(test::AcceptWarning);
        QTest::mouseClick(page.startButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!page.presenter()->active(), 30000);
        QVERIFY(!captions.isEmpty());
        QCOMPARE(captions.first(), Text(str::kStop));
        QVERIFY(radiosEnabled);
        QTRY_COMPARE(catcher.texts, QStringList{Text(str::kFlashErased)});
        QCOMPARE(page.valueText(1047), QStringLiteral("100 %"));
        QCOMPARE(page.valueText(1051), QStringLiteral("0:00"));
        QCOMPARE(page.valueText(1053), QStringLiteral("0"));
        QCOMPARE(page.startButton()->text(), Text(str::kEraseButton));
        QCOMPARE(test::FileBytes(path), QByteArray(8 << 20, 0));
    }

    // Another run (here: a reader holding its shared lock) has the drive:
    // the page's run is refused with the drive named busy, nothing written.
    void aDriveAnotherRunHoldsIsRefusedAndKeepsItsData()
    {
        const QString path = test::ImageWith(images_, "busy.img", QByteArray(1 << 20, char(0xAB)));
        test::PageDrive drive(ImageVolume::open(path.toStdString()), 2048);
        drive.settings.eraseType = 1;
        const int other = ::open(path.toLocal8Bit().constData(), O_RDONLY | O_CLOEXEC);
        QVERIFY(other >= 0 && flock(other, LOCK_SH) == 0);
        CErasePage page;
        page.setContext(&drive.context, &drive.runs);
        page.show();
        test::ModalCatcher catcher(test::AcceptWarning);
        QTest::mouseClick(page.startButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!catcher.texts.isEmpty() && !page.presenter()->active(), 10000);
        ::close(other);
        const QString busy = Text(str::kDriveBusy).section(QStringLiteral("%s"), 1);
        QVERIFY2(catcher.texts.join('\n').contains(busy), qPrintable(catcher.texts.join('\n')));
        QCOMPARE(test::FileBytes(path), QByteArray(1 << 20, char(0xAB)));
    }

    void controlsFollowTheDriveListAndPlacementKeepsTheButtonInItsCorner()
    {
        CErasePage page;
        page.resize(600, 460);
        page.show();
        QCOMPARE(page.startButton()->toolTip(), Text(186));
        page.UpdateEraseControls(false);
        QVERIFY(!page.startButton()->isEnabled());
        QVERIFY(!page.quickButton()->isEnabled());
        page.UpdateEraseControls(true);
        QVERIFY(page.fullButton()->isEnabled());
        const QRect start0 = page.startButton()->geometry();
        const QRect bar0 = page.progressBar()->geometry();
        page.resize(900, 700);
        const QRect start1 = page.startButton()->geometry();
        QCOMPARE(start1.size(), start0.size());
        QCOMPARE(900 - start1.right(), 600 - start0.right());
        QCOMPARE(700 - start1.bottom(), 460 - start0.bottom());
        const QRect bar1 = page.progressBar()->geometry();
        QCOMPARE(bar1.topLeft(), bar0.topLeft());
        QCOMPARE(900 - bar1.right(), 600 - bar0.right());
    }
};


// Not a test: with QUORVANE_SCREENSHOTS=DIR set (scripts/screenshots runs
// it under Xvfb) the main window is photographed on the erase page during
// and after a full erase, in both languages.
class EraseScreenshots : public QObject {
    Q_OBJECT
private slots:
    void pageDuringAndAfterAFullErase_data()
    {
        QTest::addColumn<bool>("english");
        QTest::newRow("ru") << false;
        QTest::newRow("en") << true;
    }
    void pageDuringAndAfterAFullErase()
    {
        const QString dir = qEnvironmentVariable("QUORVANE_SCREENSHOTS");
        QFETCH(bool, english);
        QTranslator translator;
        if (english)
            QVERIFY(InstallEnglish(*qApp, translator, QStringLiteral(QUORVANE_TRANSLATIONS_DIR)));
        SetSettleDelayMs(0);
        test::ImageFolder images;
        const QString path = images.make("stick.img", 64 << 20);
        MemoryProfileStore store;
        store.writeInt(kEraseTypeKey, 1);
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
                          QPoint(40, kErasePage * CNavigationBar::kItemHeight + 28));
        auto* page = qobject_cast<CErasePage*>(window.page(kErasePage));
        QVERIFY(page);
        test::ModalCatcher catcher(test::AcceptWarning);
        QTest::mouseClick(page->startButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(page->valueText(1047).section(' ', 0, 0).toInt() >= 40, 60000);
        const QString lang = english ? "en" : "ru";
        QVERIFY(window.grab().save(QDir(dir).filePath("erase-running-" + lang + ".png")));
        // The closing message box is answered by the catcher; the page stays.
        QTRY_VERIFY_WITH_TIMEOUT(!page->presenter()->active(), 60000);
        QTRY_COMPARE(catcher.texts.size(), 1);
        QTest::qWait(100);
        QVERIFY(window.grab().save(QDir(dir).filePath("erase-done-" + lang + ".png")));
        if (english)
            qApp->removeTranslator(&translator);
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (!qEnvironmentVariableIsEmpty("QUORVANE_SCREENSHOTS")) {
        EraseScreenshots shots;
        return QTest::qExec(&shots, argc, argv);
    }
    ErasePageTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_ErasePage.moc"
