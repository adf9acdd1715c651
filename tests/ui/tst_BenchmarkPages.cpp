// The two benchmark pages over image drives: the write warning, a whole
// run's figures, a failure's message, and the file benchmark's chart and
// its message for a drive whose file system is not mounted.
#include "../unit/support/MemoryFileSystem.h"
#include "core/device/SectorIO.h"
#include "core/mediatests/FileBenchmarkWorker.h"
#include "core/mediatests/RawBenchmarkWorker.h"
#include "core/run/RunController.h"
#include "core/settings/Settings.h"
#include "platform/image/FaultyVolume.h"
#include "platform/image/ImageVolume.h"
#include "support/UiFixtures.h"
#include "ui/app/ColorLegend.h"
#include "ui/app/Language.h"
#include "ui/app/MainDialog.h"
#include "ui/app/NavigationBar.h"
#include "ui/app/PageFactory.h"
#include "ui/app/QtPost.h"
#include "ui/app/Text.h"
#include "ui/app/WriteWarningDialog.h"
#include "ui/controls/FileSpeedChart.h"
#include "ui/controls/SpeedChart.h"
#include "ui/pages/FileBenchmarkPage.h"
#include "ui/pages/RawBenchmarkPage.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <QTranslator>

using namespace qv;
using namespace qv::ui;

namespace {

struct PageDrive {
    explicit PageDrive(DeviceHandle volume, uint32_t sectors)
    {
        record.handle = std::move(volume);
        record.listed = 1;
        record.sectorCount = sectors;
        status.deviceCount = 1;
        context.status = &status;
        context.settings = &settings;
        context.device = &record;
        std::strncpy(context.appTitle, "Quorvane", sizeof context.appTitle - 1);
    }
    RunStatus status;
    Settings settings;
    DeviceRecord record;
    SharedContext context;
    QObject host;
    RunController runs{context, QtPost(&host)};
};

void acceptWarning(QWidget* dialog)
{
    if (auto* warning = qobject_cast<CWriteWarningDialog*>(dialog)) {
        warning->checkBox()->setChecked(true);
        warning->okButton()->click();
    }
}

}  // namespace

class BenchmarkPagesTest : public QObject {
    Q_OBJECT
private:
    qv::ui::test::ImageFolder images_;

    DeviceHandle image(const QString& name, qint64 bytes, FaultPlan plan = {})
    {
        auto volume = ImageVolume::open(images_.make(name, bytes).toStdString());
        return std::make_shared<FaultyVolume>(volume, std::move(plan));
    }

private slots:
    void initTestCase() { SetSettleDelayMs(0); }

    void rawRunWithBothTestsAsksFirstAndEndsWithAverages()
    {
        PageDrive drive(image("raw.img", 25600 * 512), 25600);
        drive.settings.testType = kBenchReadTest | kBenchWriteTest;
        CBenchmarkRaw page;
        page.setContext(&drive.context, &drive.runs);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QVERIFY(page.readBox()->isChecked() && page.writeBox()->isChecked());

        qv::ui::test::ModalCatcher catcher(acceptWarning);
        QTest::mouseClick(page.startButton(), Qt::LeftButton);
        QCOMPARE(catcher.dialogs, 1);
        QTRY_VERIFY_WITH_TIMEOUT(!page.presenter()->active(), 30000);

        QCOMPARE(page.controlText(1027), Text(103));
        QCOMPARE(page.controlText(1031), Text(103));
        for (int id : {1005, 1007, 1011, 1012, 1013, 1015, 1019, 1014})
            QVERIFY2(!page.controlText(id).isEmpty(), qPrintable(QString::number(id)));
        QVERIFY(page.controlText(1005).endsWith(Text(202)));
        QVERIFY(page.controlText(1012).endsWith(Text(233)));
        QVERIFY(page.chart()->showData());
        QCOMPARE(page.startButton()->text(), Text(111));
        QVERIFY(page.readBox()->isEnabled() && page.writeBox()->isEnabled());
        QCOMPARE(drive.record.readSampleCount, 200);
        QCOMPARE(drive.record.writeSampleCount, 200);
    }

    void rawDeclinedWarningStartsNothingAndNoTestDisablesStart()
    {
        PageDrive drive(image("declined.img", 25600 * 512), 25600);
        drive.settings.testType = kBenchWriteTest;
        CBenchmarkRaw page;
        page.setContext(&drive.context, &drive.runs);
        page.show();
        qv::ui::test::ModalCatcher catcher;  // rejects
        QTest::mouseClick(page.startButton(), Qt::LeftButton);
        QCOMPARE(catcher.dialogs, 1);
        QVERIFY(!page.presenter()->active());
        QCOMPARE(page.startButton()->text(), Text(111));
        QVERIFY(!page.chart()->showData());

        page.writeBox()->setChecked(false);
        QCOMPARE(drive.settings.testType, 0);
        QVERIFY(!page.startButton()->isEnabled());
        page.readBox()->setChecked(true);
        QVERIFY(page.startButton()->isEnabled());
    }

    void rawFailedReadShowsTheCancelMessageAndKeepsTheFigures()
    {
        FaultPlan plan;
        plan.failingReads.push_back({40 * 128, 1});
        PageDrive drive(image("failing.img", 25600 * 512, plan), 25600);
        drive.settings.testType = kBenchReadTest;
        CBenchmarkRaw page;
        page.setContext(&drive.context, &drive.runs);
        page.show();
        qv::ui::test::ModalCatcher catcher;
        QTest::mouseClick(page.startButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!page.presenter()->active(), 30000);
        QCOMPARE(catcher.texts.size(), 1);
        QVERIFY(catcher.texts[0].startsWith(Text(209)));
        QVERIFY(catcher.texts[0].contains(QStringLiteral("5120")));
        QCOMPARE(page.controlText(1027), Text(104));
        QVERIFY(!page.controlText(1011).isEmpty());
        QCOMPARE(drive.record.readSampleCount, 40);
    }

    void fileRunDrawsBarsAndStopWaitsForTheWorker()
    {
        PageDrive drive(image("file.img", 1 << 20), 2048);
        qv::test::MemoryFileSystem files;
        files.freeMB = 7;
        CBenchmarkFile page;
        page.setContext(&drive.context, &drive.runs);
        page.setFileSystem(&files);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QCOMPARE(drive.settings.fileSizesMB[5], 10);
        QCOMPARE(page.readLegend()->legendText(), Text(178));

        QTest::mouseClick(page.startButton(), Qt::LeftButton);
        QCOMPARE(page.startButton()->text(), Text(112));
        QTRY_VERIFY_WITH_TIMEOUT(drive.record.fileReadSpeeds[1] > 0, 30000);
        QTest::mouseClick(page.startButton(), Qt::LeftButton);
        QCOMPARE(page.startButton()->text(), Text(111));
        QTRY_VERIFY_WITH_TIMEOUT(!page.presenter()->active(), 30000);
        QVERIFY(page.startButton()->isEnabled());
        QVERIFY(drive.record.fileWriteSpeeds[0] > 0);
        QCOMPARE(drive.record.fileReadSpeeds[4], -1);
        // Bars far beyond 1000 KB/s raised the scale.
        QVERIFY(page.chart()->speedMaximum() > 1000);
        QVERIFY(files.files.empty());
    }

    void fileBenchmarkOnAnUnmountedDriveAsksToMountIt()
    {
        PageDrive drive(image("plain.img", 1 << 20), 2048);
        CBenchmarkFile page;  // the Linux file system: the image is in no loop device
        page.setContext(&drive.context, &drive.runs);
        page.show();
        qv::ui::test::ModalCatcher catcher;
        QTest::mouseClick(page.startButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!page.presenter()->active(), 30000);
        QCOMPARE(catcher.texts.size(), 1);
        QVERIFY(catcher.texts[0].startsWith(Text(156)));
        QVERIFY(catcher.texts[0].contains(Text(40301)));
        QVERIFY(page.startButton()->isEnabled());
    }
};

QTEST_MAIN(BenchmarkPagesTest)
#include "tst_BenchmarkPages.moc"
