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
#include "platform/image/PosixOutputFiles.h"
#include "report/ReportWriter.h"
#include "support/PageDrive.h"
#include "support/UiFixtures.h"
#include "ui/app/AppWindow.h"
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

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QThread>
#include <QPushButton>
#include <QTest>
#include <QTranslator>

#include <atomic>
#include <functional>

using namespace qv;
using namespace qv::ui;
using qv::ui::test::PageDrive;
using qv::ui::test::acceptWarning;

// Calls back on every paint of one widget.
class PaintCounter : public QObject {
public:
    PaintCounter(QWidget* widget, std::function<void()> painted) : painted_(std::move(painted))
    {
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted_();
        return false;
    }

private:
    std::function<void()> painted_;
};

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

    static QImage chartPicture(Report& report, const char* slot)
    {
        const ReportPicture* picture = report.picture(slot);
        if (!picture)
            return {};
        return QImage::fromData(reinterpret_cast<const uchar*>(picture->png.data()), int(picture->png.size()))
            .convertToFormat(QImage::Format_RGB32);
    }

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

        // The report: the figures the page shows and its chart as drawn.
        QVERIFY(page.canSaveReport());
        Report report = page.makeReport();
        QCOMPARE(report.figures.size(), size_t(2));
        QCOMPARE(QString::fromStdString(report.figures[1].rows[0].value), page.controlText(1013));
        QCOMPARE(QString::fromStdString(report.figures[0].rows[3].value), page.controlText(1012));
        QVERIFY(chartPicture(report, "speed-chart") == page.chart()->renderImage().convertToFormat(QImage::Format_RGB32));
    }

    // A report's paints are done while the worker waits for its answer, not
    // after it, beside the worker's next timed transfers.
    void rawReportIsPaintedBeforeItsAnswer()
    {
        PageDrive drive(image("paint.img", 25600 * 512), 25600);
        drive.settings.testType = kBenchReadTest;
        CBenchmarkRaw page;
        page.setContext(&drive.context, &drive.runs);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        enum Phase { Before, Reporting, After, Ending };
        std::atomic<int> phase{Before};
        int paints[4] = {};
        PaintCounter counter(page.chart(), [&] { ++paints[phase]; });
        page.presenter()->setWorker([&](SharedContext& context) {
            context.status->setState(RUN_ACTIVE);
            // The chart draws a line from the second point on.
            for (int i = 0; i < 2; ++i) {
                context.device->readSamples[i] = 20000 + 5000 * i;
                phase = Reporting;
                context.status->progressWindow->report(OP_RAW_BENCH, kBenchReadSeries);
                ++context.device->readSampleCount;
                phase = After;
            }
            QThread::msleep(100);  // a paint left for later would come now
            phase = Ending;
            context.status->setState(RUN_DONE);
            context.status->progressWindow->report(OP_RAW_BENCH, 0);
            return 1;
        });
        QVERIFY(page.presenter()->Start());
        QTRY_VERIFY_WITH_TIMEOUT(!page.presenter()->active(), 30000);
        QCOMPARE(drive.record.readSampleCount, 2);
        QVERIFY(paints[Reporting] > 0);
        QCOMPARE(paints[After], 0);
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

        // The report of the stopped run: each size's speeds, its chart.
        QVERIFY(page.canSaveReport());
        Report report = page.makeReport();
        QCOMPARE(report.outcome, RunOutcome::Stopped);
        const std::vector<std::vector<std::string>>& rows = report.tables.at(0).rows;
        QCOMPARE(rows.size(), size_t(7));
        QCOMPARE(rows[0][2], std::to_string(drive.record.fileWriteSpeeds[0]) + " " + LoadText(204));
        QCOMPARE(rows[4][1], LoadText(40300));
        QCOMPARE(chartPicture(report, "file-speed-chart").size(), page.chart()->size());
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

// A stick of a given speed: every transfer takes its length over the speed.
class PacedVolume : public Volume {
public:
    PacedVolume(DeviceHandle inner, double readBytesPerSecond, double writeBytesPerSecond)
        : inner_(std::move(inner)), read_(readBytesPerSecond), write_(writeBytesPerSecond)
    {
    }
    int64_t readAt(uint64_t offset, void* buffer, size_t length) override
    {
        pace(length, read_);
        return inner_->readAt(offset, buffer, length);
    }
    int64_t writeAt(uint64_t offset, const void* buffer, size_t length) override
    {
        pace(length, write_);
        return inner_->writeAt(offset, buffer, length);
    }
    bool flush() override { return inner_->flush(); }
    void close() override { inner_->close(); }
    bool isOpen() const override { return inner_->isOpen(); }
    std::shared_ptr<Volume> reopen() override
    {
        auto fresh = inner_->reopen();
        return fresh ? std::make_shared<PacedVolume>(fresh, read_, write_) : nullptr;
    }
    ScsiResult scsi(const ScsiRequest& request) override { return inner_->scsi(request); }
    std::string path() const override { return inner_->path(); }

private:
    static void pace(size_t length, double speed)
    {
        // Some unevenness, as a real stick shows.
        const double jitter = 0.9 + 0.2 * double(std::rand() % 100) / 100;
        QThread::usleep((unsigned long)(double(length) / speed * 1e6 * jitter));
    }
    DeviceHandle inner_;
    double read_, write_;
};

// Not a test: with QUORVANE_SCREENSHOTS=DIR set (scripts/screenshots runs
// it under Xvfb) the main window is photographed on both benchmark pages
// after a run, in both languages, and the English low-level benchmark's
// report is written as a PDF.
class BenchmarkScreenshots : public QObject {
    Q_OBJECT
private slots:
    void pagesAfterARun_data()
    {
        QTest::addColumn<bool>("english");
        QTest::newRow("ru") << false;
        QTest::newRow("en") << true;
    }
    void pagesAfterARun()
    {
        const QString dir = qEnvironmentVariable("QUORVANE_SCREENSHOTS");
        QFETCH(bool, english);
        QTranslator translator;
        if (english)
            QVERIFY(InstallEnglish(*qApp, translator, QStringLiteral(QUORVANE_TRANSLATIONS_DIR)));
        SetSettleDelayMs(0);
        qv::ui::test::ImageFolder images;
        const QString path = images.make("stick.img", 48 << 20);
        MemoryProfileStore store;
        store.writeInt(kTestTypeKey, kBenchReadTest | kBenchWriteTest);
        MainOptions options;
        options.systemDrives = false;
        options.images = {path.toStdString()};
        AppWindow window(store, options);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        DeviceRecord* record = window.context().device;
        QVERIFY(record);
        // About 19 MB/s reads and 11 MB/s writes.
        record->handle = std::make_shared<PacedVolume>(record->handle.get(), 19.5e6, 11.5e6);
        const QString lang = english ? "en" : "ru";

        QTest::mouseClick(window.navigationBar(), Qt::LeftButton, {},
                          QPoint(40, kRawBenchmarkPage * CNavigationBar::kItemHeight + 28));
        auto* raw = qobject_cast<CBenchmarkRaw*>(window.page(kRawBenchmarkPage));
        QVERIFY(raw);
        qv::ui::test::ModalCatcher catcher(acceptWarning);
        QTest::mouseClick(raw->startButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!raw->presenter()->active(), 120000);
        QTest::qWait(100);
        QVERIFY(window.grab().save(QDir(dir).filePath("benchmark-raw-" + lang + ".png")));
        // Its report, for the picture of a PDF report's first page.
        if (english) {
            std::string error;
            PosixOutputFiles files;
            QVERIFY2(report::WriteReport(raw->makeReport(), QDir(dir).filePath("report-benchmark-en.pdf").toStdString(),
                                         files, ExistingFile::ReplaceRegular, &error),
                     error.c_str());
        }

        QTest::mouseClick(window.navigationBar(), Qt::LeftButton, {},
                          QPoint(40, kFileBenchmarkPage * CNavigationBar::kItemHeight + 28));
        auto* file = qobject_cast<CBenchmarkFile*>(window.page(kFileBenchmarkPage));
        QVERIFY(file);
        // A mounted file system of about 9 MB/s writes and 18 MB/s reads.
        qv::test::MemoryFileSystem files;
        files.writeMicrosecondsPerMB = 110000;
        files.readMicrosecondsPerMB = 55000;
        file->setFileSystem(&files);
        QTest::mouseClick(file->startButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!file->presenter()->active(), 180000);
        QTest::qWait(100);
        QVERIFY(window.grab().save(QDir(dir).filePath("benchmark-file-" + lang + ".png")));
        if (english)
            RemoveTranslation(*qApp, translator);
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (!qEnvironmentVariableIsEmpty("QUORVANE_SCREENSHOTS")) {
        BenchmarkScreenshots shots;
        return QTest::qExec(&shots, argc, argv);
    }
    BenchmarkPagesTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_BenchmarkPages.moc"
