// The main window with image drives: start-up, selector, pages, closing
// and the settings it saves.
#include "core/text/StringTable.h"
#include "support/UiFixtures.h"
#include "ui/app/FormatDialog.h"
#include "ui/app/AppWindow.h"
#include "ui/app/NavigationBar.h"
#include "ui/app/TestPage.h"

#include <QComboBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <thread>

using namespace qv;
using namespace qv::ui;

namespace {

// A page of the run protocol whose worker reports until it is stopped.
class ReportingPage : public RunPage {
public:
    int64_t OnProgress(int32_t, int64_t) override
    {
        ++reports;
        return 1;
    }
    void restoreIdleControls() override {}
    std::atomic<int> reports{0};
};

void reportUntilStopped(SharedContext& context)
{
    context.status->setState(RUN_ACTIVE);
    while (context.status->state() != RUN_STOP)
        context.status->progressWindow->report(OP_ERROR_SCAN, 0);
    context.status->progressWindow->report(OP_ERROR_SCAN, 0);
}

}  // namespace

class MainDialogTest : public QObject {
    Q_OBJECT
private:
    test::ImageFolder images_;
    QString first_, second_;

    MainOptions twoImages() const
    {
        MainOptions options;
        options.systemDrives = false;
        options.images = {first_.toStdString(), second_.toStdString()};
        return options;
    }

    static int visiblePages(MainDialog& window)
    {
        int visible = 0;
        for (int i = 0; i < kPageCount; ++i)
            visible += window.page(i)->isVisible();
        return visible;
    }

private slots:
    void initTestCase()
    {
        first_ = images_.make("first.img", 8 << 20);
        second_ = images_.make("second.img", 16 << 20);
        QVERIFY(!first_.isEmpty() && !second_.isEmpty());
    }

    void startsWithBothDrivesAndTheInformationPage()
    {
        MemoryProfileStore store;
        AppWindow window(store, twoImages());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.deviceSelector()->count(), 2);
        QVERIFY(window.deviceSelector()->itemText(0).startsWith("(img1)"));
        QVERIFY(window.deviceSelector()->isEnabled());
        QVERIFY(window.formatButton()->isEnabled());
        QCOMPARE(window.currentPage(), int(kInformationPage));
        QCOMPARE(visiblePages(window), 1);
        QVERIFY(window.page(kInformationPage)->isVisible());
        QCOMPARE(window.page(kErrorScanPage)->headerTitle(), 110);
        QCOMPARE(window.page(kErrorScanPage)->headerIcon(), 147);
        QCOMPARE(window.navigationBar()->itemCount(), 7);
        QCOMPARE(window.windowTitle(), QString::fromStdString(LoadText(10201)));
        QCOMPARE(window.refreshButton()->toolTip(), QString::fromStdString(LoadText(182)));
        QCOMPARE(window.formatButton()->toolTip(), QString::fromStdString(LoadText(183)));
        QCOMPARE(window.snapshotButton()->toolTip(), QString::fromStdString(LoadText(181)));
        QVERIFY(window.context().device == &window.drives().record(window.drives().selectedDrive()));
        QCOMPARE(QString(window.context().appTitle), QString("Quorvane"));
    }

    void disabledDeviceScanGivesAnEmptySelectorAndNoFormat()
    {
        MemoryProfileStore store;
        store.writeInt(kDisableDeviceScanKey, 1);
        AppWindow window(store, twoImages());
        window.show();
        QCOMPARE(window.deviceSelector()->count(), 0);
        QVERIFY(!window.formatButton()->isEnabled());
        QCOMPARE(window.currentPage(), int(kInformationPage));
        QVERIFY(window.page(kInformationPage)->isVisible());
    }

    void navigationClickShowsThatPageOnly()
    {
        MemoryProfileStore store;
        AppWindow window(store, twoImages());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::mouseClick(window.navigationBar(), Qt::LeftButton, {}, QPoint(20, 3 * 56 + 20));
        QCOMPARE(window.currentPage(), int(kRecoveryPage));
        QVERIFY(window.page(kRecoveryPage)->isVisible());
        QCOMPARE(visiblePages(window), 1);

        window.status().setState(RUN_ACTIVE);
        QTest::mouseClick(window.navigationBar(), Qt::LeftButton, {}, QPoint(20, 6 * 56 + 20));
        QCOMPARE(window.currentPage(), int(kRecoveryPage));
        window.status().setState(RUN_DONE);
    }

    void shrinkingStopsAtTheInitialSize()
    {
        MemoryProfileStore store;
        AppWindow window(store, twoImages());
        window.show();
        const QSize initial = window.initialSize();
        window.resize(initial.width() - 200, initial.height() - 100);
        QCOMPARE(window.size(), initial);
        window.resize(initial.width() + 200, initial.height() + 100);
        QCOMPARE(window.size(), initial + QSize(200, 100));
        QCoreApplication::processEvents();
        // The selector and the page area take the extra width; the bar and
        // the buttons keep theirs, the buttons at their distance from the right.
        const int barWidth = window.navigationBar()->width();
        const int selectorWidth = window.deviceSelector()->width();
        const int formatFromRight = window.width() - window.formatButton()->geometry().right();
        const int pageWidth = window.page(kInformationPage)->width();
        window.resize(window.width() + 100, window.height());
        QCoreApplication::processEvents();
        QCOMPARE(window.navigationBar()->width(), barWidth);
        QCOMPARE(window.deviceSelector()->width(), selectorWidth + 100);
        QCOMPARE(window.page(kInformationPage)->width(), pageWidth + 100);
        QCOMPARE(window.width() - window.formatButton()->geometry().right(), formatFromRight);
    }

    void removedSelectedDriveSelectsTheFirstRemaining()
    {
        MemoryProfileStore store;
        AppWindow window(store, twoImages());
        window.show();
        QComboBox* selector = window.deviceSelector();
        selector->setCurrentIndex(1);
        emit selector->activated(1);
        const int firstSlot = window.source().slotOf("img1");
        QCOMPARE(window.drives().selectedDrive(), window.source().slotOf("img2"));

        QVERIFY(window.detachImage("img2"));
        QCOMPARE(selector->count(), 1);
        QCOMPARE(selector->currentIndex(), 0);
        QCOMPARE(window.drives().selectedDrive(), firstSlot);
        QVERIFY(window.context().device == &window.drives().record(firstSlot));
        QVERIFY(window.formatButton()->isEnabled());
    }

    void lastDriveRemovedShowsNoDevices()
    {
        MemoryProfileStore store;
        AppWindow window(store, twoImages());
        window.show();
        QVERIFY(window.detachImage("img1"));
        QVERIFY(window.detachImage("img2"));
        QCOMPARE(window.deviceSelector()->count(), 1);
        QCOMPARE(window.deviceSelector()->itemText(0), QString::fromStdString(LoadText(180)));
        QVERIFY(!window.deviceSelector()->isEnabled());
        QVERIFY(!window.formatButton()->isEnabled());
        QCOMPARE(window.status().deviceCount, 0);

        // A drive that comes back is listed again.
        QVERIFY(window.attachImage(first_));
        QCOMPARE(window.deviceSelector()->count(), 1);
        QVERIFY(window.deviceSelector()->itemText(0).startsWith("(img3)"));
        QVERIFY(window.deviceSelector()->isEnabled());
        QVERIFY(window.formatButton()->isEnabled());
    }

    void attachingAMissingImageSaysWhatFailed()
    {
        MemoryProfileStore store;
        AppWindow window(store, twoImages());
        window.show();
        test::ModalCatcher catcher;
        QVERIFY(!window.attachImage(images_.path("missing.img")));
        QCOMPARE(catcher.texts.size(), 1);
        QVERIFY(catcher.texts.first().contains("missing.img"));
        QCOMPARE(window.deviceSelector()->count(), 2);
    }

    void enterDoesNothingAndEscapeCloses()
    {
        MemoryProfileStore store;
        AppWindow window(store, twoImages());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::keyClick(&window, Qt::Key_Return);
        QTest::keyClick(&window, Qt::Key_Enter);
        QVERIFY(window.isVisible());
        QVERIFY(!store.contains(kPassesKey));
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(!window.isVisible());
        QVERIFY(store.contains(kPassesKey));
    }

    void closeIsRefusedWhileARunIsActive()
    {
        MemoryProfileStore store;
        AppWindow window(store, twoImages());
        window.show();
        QSignalSpy saved(&window, &MainDialog::settingsSaved);
        window.status().setState(RUN_ACTIVE);
        {
            test::ModalCatcher catcher;
            QVERIFY(!window.close());
            QCOMPARE(catcher.texts, QStringList{QString::fromStdString(LoadText(235))});
        }
        QVERIFY(window.isVisible());
        QCOMPARE(saved.count(), 0);
        QVERIFY(!store.contains(kEraseTypeKey));

        window.status().setState(RUN_DONE);
        QVERIFY(window.close());
        QCOMPARE(saved.count(), 1);
        QVERIFY(store.contains(kEraseTypeKey));
    }

    void closeWaitsUntilTheWorkerHasEnded()
    {
        MemoryProfileStore store;
        AppWindow window(store, twoImages());
        window.show();
        ReportingPage page;
        std::atomic<bool> release{false};
        QVERIFY(window.runs().start(page, [&](SharedContext& context) {
            // Stopped already, but the thread has not returned yet.
            context.status->setState(RUN_STOP);
            while (!release)
                std::this_thread::yield();
        }));
        {
            test::ModalCatcher catcher;
            QVERIFY(!window.close());
            QCOMPARE(catcher.texts.size(), 1);
        }
        QVERIFY(!store.contains(kPassesKey));
        release = true;
        QTRY_VERIFY(!window.runs().thread().running());
        window.runs().EndRun(page);
        QVERIFY(!window.runs().active());
        QVERIFY(window.close());
        QVERIFY(store.contains(kPassesKey));
    }

    void destroyingTheWindowDuringARunServesTheWorkersReports()
    {
        MemoryProfileStore store;
        auto* window = new AppWindow(store, twoImages());
        window->show();
        ReportingPage page;
        QVERIFY(window->runs().start(page, reportUntilStopped));
        QTRY_VERIFY(page.reports > 10);
        // The worker is waiting in a report on this thread most of the time;
        // a blind join here would never return.
        delete window;
        const int after = page.reports;
        QVERIFY(after > 10);
        QTest::qWait(20);
        QCOMPARE(int(page.reports), after);
    }

    void savedEraseModeComesBackAndColoursAreNeverWritten()
    {
        MemoryProfileStore store;
        store.writeInt(kReadColorKey, 0x0000FF);
        {
            AppWindow window(store, twoImages());
            window.show();
            QCOMPARE(window.settings().readColor, 0x0000FFu);
            QCOMPARE(window.settings().eraseType, 0);
            window.settings().eraseType = 1;
            window.settings().readColor = 0x123456;
            QVERIFY(window.close());
        }
        QCOMPARE(store.readInt(kEraseTypeKey).value_or(-1), 1);
        QCOMPARE(store.readInt(kReadColorKey).value_or(-1), 0x0000FF);
        QVERIFY(!store.contains(kWriteColorKey));
        AppWindow again(store, twoImages());
        QCOMPARE(again.settings().eraseType, 1);
        QCOMPARE(again.settings().recoveryMode, 2);
    }

    void formatClosesTheHandleAndReopensIt()
    {
        MemoryProfileStore store;
        AppWindow window(store, twoImages());
        window.show();
        DeviceRecord* record = window.context().device;
        QVERIFY(record && record->handle);
        const DeviceHandle before = record->handle;
        bool closedDuringDialog = false;
        test::ModalCatcher catcher([&](QWidget* dialog) {
            if (auto* format = qobject_cast<CFormatDialog*>(dialog)) {
                closedDuringDialog = !before->isOpen();
                format->reject();
            }
        });
        window.formatDrive();
        QVERIFY(closedDuringDialog);
        QVERIFY(record->handle);
        QVERIFY(record->handle != before);
        QVERIFY(record->handle->isOpen());
        QCOMPARE(window.status().busy, uint8_t(0));
    }
};

QTEST_MAIN(MainDialogTest)
#include "tst_MainDialog.moc"
