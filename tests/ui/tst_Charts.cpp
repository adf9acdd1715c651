// The drawn controls against their geometry: bars, points and cells land
// where the core's layout puts them, in the colours it names.
#include "core/charts/BlockMapCells.h"
#include "core/run/SharedContext.h"
#include "core/settings/Settings.h"
#include "report/ReportPictures.h"
#include "ui/controls/BlockMap.h"
#include "ui/controls/FileSpeedChart.h"
#include "ui/controls/SpeedChart.h"

#include <QTest>

#include <thread>

using namespace qv;
using namespace qv::ui;

namespace {

struct ChartData {
    ChartData()
    {
        context.status = &status;
        context.settings = &settings;
        context.device = &record;
        const int sizes[kFileSizeCount] = {1, 2, 5, 10, 20, 50, 100};
        std::copy(sizes, sizes + kFileSizeCount, settings.fileSizesMB);
    }
    RunStatus status;
    Settings settings;
    DeviceRecord record;
    SharedContext context;
};

bool between(int v, int a, int b)
{
    return v >= std::min(a, b) && v <= std::max(a, b);
}

// A pixel of a bar gradient: each channel between the dark and bright ends.
bool isBarColour(QColor c, ColorRef dark, ColorRef bright)
{
    return between(c.red(), RedOf(dark), RedOf(bright)) && between(c.green(), GreenOf(dark), GreenOf(bright)) &&
           between(c.blue(), BlueOf(dark), BlueOf(bright));
}

}  // namespace

class ChartsTest : public QObject {
    Q_OBJECT
private slots:
    void barChartDrawsBarsWhereTheGeometrySays()
    {
        ChartData data;
        for (int k = 0; k < 7; ++k) {
            data.record.fileWriteSpeeds[k] = 300 + 300 * k;
            data.record.fileReadSpeeds[k] = k == 3 ? 0 : 500 + 350 * k;
        }
        data.record.fileReadSpeeds[6] = 2300;
        CFileSpeedChart chart;
        chart.setContext(&data.context);
        chart.resize(520, 320);
        chart.setShowData(true);
        chart.Redraw();
        // The 2300 KB/s bar raised the scale and asked for a repaint.
        QCOMPARE(chart.speedMaximum(), 3000);
        QCOMPARE(data.status.redrawPending.load(), uint8_t(1));
        chart.Redraw();
        const QImage image = chart.renderImage();
        const ChartRect plot = chart.plot();
        for (int k = 0; k < 7; ++k) {
            for (int series : {1, 2}) {
                const int v = series == 2 ? data.record.fileWriteSpeeds[k] : data.record.fileReadSpeeds[k];
                const FileSpeedBar bar = LayoutFileSpeedBar(plot, 3000, k, series, v, 0, 0);
                const int y = bar.rect.top + 7;
                const ColorRef dark = series == 2 ? kWriteBarDark : kReadBarDark;
                const ColorRef bright = series == 2 ? kWriteBarBright : kReadBarBright;
                if (v <= 0) {
                    QVERIFY(!isBarColour(image.pixelColor(plot.left + 3, y), dark, bright));
                    continue;
                }
                // Inside the bar near its start (left of its label) and
                // just past its end: bar colour, then the plot background.
                QVERIFY2(isBarColour(image.pixelColor(plot.left + 2, y), dark, bright),
                         qPrintable(QString("row %1 series %2").arg(k).arg(series)));
                const QColor after = image.pixelColor(bar.rect.right + 3, y);
                QVERIFY(!isBarColour(after, dark, bright) || after == Qt::white);
            }
        }
        // The plot between bars shows the background gradient's blue.
        const QColor background = image.pixelColor(plot.right - 2, plot.top + 1);
        QVERIFY(background.blue() > background.red());
        QCOMPARE(image.pixelColor(2, 2), QColor(Qt::white));
    }

    void speedChartSegmentsJoinTheirPoints()
    {
        ChartData data;
        CSpeedChart chart;
        chart.setContext(&data.context);
        chart.resize(420, 300);
        chart.Redraw();
        QCOMPARE(chart.fullScale(), 25600);
        data.settings.readColor = Rgb(255, 0, 255);
        chart.AddPoint(0, 25600, 1);
        chart.AddPoint(199, 25600, 1);  // along the top edge
        chart.AddPoint(0, 12800, 2);
        chart.AddPoint(199, 12800, 2);
        const QImage image = chart.renderImage();
        const ChartRect plot = chart.layout().plot;
        QCOMPARE(image.pixelColor((plot.left + plot.right) / 2, plot.top), QColor(255, 0, 255));
        const ChartPoint mid = SpeedChartPoint(plot, 25600, 100, 12800);
        QCOMPARE(mid.y, plot.top + plot.height() / 2);
        QCOMPARE(image.pixelColor(mid.x, mid.y), QColor(RedOf(data.settings.writeColor),
                                                        GreenOf(data.settings.writeColor),
                                                        BlueOf(data.settings.writeColor)));
    }

    // The command-line tool draws a report's charts without the widgets:
    // the same pictures, samples and bars included.
    void reportChartsEqualTheWidgets()
    {
        ChartData data;
        auto decoded = [](const std::string& png) {
            return QImage::fromData(reinterpret_cast<const uchar*>(png.data()), int(png.size()))
                .convertToFormat(QImage::Format_RGB32);
        };
        data.record.benchTests = 3;
        data.record.readSampleCount = data.record.writeSampleCount = kBenchSamples;
        for (int i = 0; i < kBenchSamples; ++i) {
            data.record.readSamples[i] = 15000 + (i % 7) * 1000;
            data.record.writeSamples[i] = 6000 + (i % 5) * 800;
        }
        data.settings.readColor = Rgb(255, 0, 255);
        CSpeedChart speed;
        speed.setContext(&data.context);
        speed.resize(580, 256);
        speed.setShowData(true);
        speed.Redraw();
        const QImage speedPicture = decoded(report::SpeedChartPng(data.record, data.settings, 580, 256));
        QCOMPARE(speedPicture, speed.renderImage().convertToFormat(QImage::Format_RGB32));
        const ChartPoint sample = SpeedChartPoint(speed.layout().plot, speed.fullScale(), 7, 15000);
        QCOMPARE(speedPicture.pixelColor(sample.x, sample.y), QColor(255, 0, 255));

        for (int k = 0; k < kFileChartRows; ++k) {
            data.record.fileWriteSpeeds[k] = 400 + 500 * k;
            data.record.fileReadSpeeds[k] = k == 2 ? -1 : 900 + 600 * k;
        }
        CFileSpeedChart bars;
        bars.setContext(&data.context);
        bars.resize(580, 360);
        bars.setShowData(true);
        bars.Redraw();  // raises the scale to 5000
        bars.Redraw();
        const QImage barPicture = decoded(report::FileSpeedChartPng(data.record, data.settings, 580, 360));
        QCOMPARE(barPicture, bars.renderImage().convertToFormat(QImage::Format_RGB32));
        const FileSpeedBar last = LayoutFileSpeedBar(bars.plot(), 5000, 6, 1, 4500, 0, 0);
        QVERIFY(isBarColour(barPicture.pixelColor(bars.plot().left + 2, last.rect.top + 3), kReadBarDark,
                            kReadBarBright));
    }

    void blockMapPaintsCellsMarkedFromAWorkerThread()
    {
        CBlockMap map;
        map.resize(500, 150);
        map.show();
        QVERIFY(QTest::qWaitForWindowExposed(&map));
        map.Clear();
        map.SetUnits(6000, 0);
        std::thread worker([&] {
            for (int64_t unit = 127; unit < 6000; unit += 128)
                map.MarkRange(unit, unit / 128 == 10 ? CELL_FAILED : unit / 128 == 20 ? CELL_DIFFERS : CELL_GOOD);
            map.MarkRange(5999, CELL_GOOD);
        });
        worker.join();
        QCoreApplication::processEvents();
        const QImage image = map.renderImage();
        auto colourOf = [&](int cell) {
            const ChartRect r = BlockMapCellRect({0, 0, 500, 150}, cell);
            return image.pixelColor((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        };
        QCOMPARE(colourOf(0), QColor(0, 255, 0));
        QCOMPARE(colourOf(10 * 128 * 3000 / 6000 + 10), QColor(255, 0, 0));
        QCOMPARE(colourOf(20 * 128 * 3000 / 6000 + 10), QColor(0, 0, 255));
        QCOMPARE(colourOf(kBlockMapCells - 1), QColor(0, 255, 0));
        // The black border on the left and top edges only.
        QCOMPARE(image.pixelColor(0, 75), QColor(Qt::black));
        QCOMPARE(image.pixelColor(250, 0), QColor(Qt::black));
        map.Clear();
        QCOMPARE(map.renderImage().pixelColor(250, 75), QColor(208, 208, 208));
    }
};

QTEST_MAIN(ChartsTest)
#include "tst_Charts.moc"
