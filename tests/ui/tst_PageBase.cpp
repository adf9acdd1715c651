// The page base: header band cached at the first width, DrawGradient, the
// file dialog set-up.
#include "core/charts/Gradient.h"
#include "charts/DrawGradient.h"
#include "ui/app/FileDialog.h"
#include "ui/app/TestPage.h"

#include <QFileDialog>
#include <QPainter>
#include <QTest>

using namespace qv;
using namespace qv::ui;

namespace {

QColor toColor(ColorRef c)
{
    return QColor(RedOf(c), GreenOf(c), BlueOf(c));
}

QImage canvas(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    return image;
}

}  // namespace

class PageBaseTest : public QObject {
    Q_OBJECT
private slots:
    void gradientOfWidthZeroDrawsNothing()
    {
        QImage image = canvas(8, 8);
        const QImage untouched = image;
        {
            QPainter p(&image);
            charts::DrawGradient(p, 2, 0, 2, 8, Rgb(0, 0, 0), Rgb(255, 255, 255), charts::kGradientColumns);
            charts::DrawGradient(p, 0, 4, 8, 4, Rgb(0, 0, 0), Rgb(255, 255, 255), charts::kGradientRows);
        }
        QCOMPARE(image, untouched);
    }

    void gradientOfWidthOneIsOneLineInTheStartColour()
    {
        QImage image = canvas(8, 8);
        {
            QPainter p(&image);
            charts::DrawGradient(p, 3, 1, 4, 7, Rgb(10, 20, 30), Rgb(250, 250, 250), charts::kGradientColumns);
        }
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                const bool inLine = x == 3 && y >= 1 && y < 7;
                QCOMPARE(image.pixelColor(x, y), inLine ? QColor(10, 20, 30) : QColor(Qt::magenta));
            }
    }

    void gradientRowsFollowTheColourRule()
    {
        const ColorRef from = Rgb(255, 255, 255), to = Rgb(144, 176, 240);
        QImage image = canvas(4, 10);
        {
            QPainter p(&image);
            charts::DrawGradient(p, 0, 0, 4, 10, from, to, charts::kGradientRows);
        }
        for (int y = 0; y < 10; ++y) {
            QCOMPARE(image.pixelColor(0, y), toColor(GradientLineColor(from, to, y, 10)));
            QCOMPARE(image.pixelColor(3, y), toColor(GradientLineColor(from, to, y, 10)));
        }
    }

    void headerIsCachedAtTheFirstWidth()
    {
        TestPage page;
        page.setHeader(159, 122);
        page.resize(300, 200);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QImage first = page.grab().toImage();
        QCOMPARE(page.headerCacheWidth(), 300);
        // Column 1 carries the gradient's start colour (beside the icon's
        // left edge at x = 2); the body below the band is white.
        QCOMPARE(first.pixelColor(1, 30), QColor(Qt::white));
        QCOMPARE(first.pixelColor(150, 100), QColor(Qt::white));
        const QColor midBand = first.pixelColor(200, 24);

        page.resize(500, 200);
        QImage wider = page.grab().toImage();
        QCOMPARE(page.headerCacheWidth(), 300);
        QCOMPARE(wider.pixelColor(200, 24), midBand);
        QCOMPARE(wider.pixelColor(400, 10), QColor(Qt::white));
        QCOMPARE(wider.pixelColor(450, 24), QColor(Qt::white));
    }

    void headerBandRunsFromDarkBlueToWhite()
    {
        TestPage page;
        page.setHeader(0, -1);  // no icon, no title
        page.resize(200, 100);
        const QImage image = page.grab().toImage();
        // x = 1 is the first gradient column: RGB(24, 64, 120).
        QCOMPARE(image.pixelColor(1, 10), QColor(24, 64, 120));
        QCOMPARE(image.pixelColor(0, 10), QColor(Qt::white));
        QCOMPARE(image.pixelColor(1, 0), QColor(Qt::white));
        QCOMPARE(image.pixelColor(1, 26), QColor(Qt::white));
        QCOMPARE(image.pixelColor(1, 25), QColor(24, 64, 120));
    }

    void filterGivesPatternsAndDefaultExtension()
    {
        const FileFilter filter = ParseFileFilter(QStringLiteral("Backup images|*.abc||"));
        QCOMPARE(filter.defaultExtension, QStringLiteral("abc"));
        QCOMPARE(filter.nameFilters, QStringList{QStringLiteral("Backup images (*.abc)")});

        const FileFilter two = ParseFileFilter(QStringLiteral("Pictures|*.png;*.jpeg|All files|*||"));
        QCOMPARE(two.defaultExtension, QStringLiteral("png"));
        QCOMPARE(two.nameFilters.size(), 2);
        QCOMPARE(two.nameFilters[0], QStringLiteral("Pictures (*.png *.jpeg)"));
        QCOMPARE(two.extensions, (QStringList{QStringLiteral("png"), QString()}));
        QCOMPARE(ParseFileFilter(QStringLiteral("A|*.qvn|B|*.qvn.zst||")).extensions,
                 (QStringList{QStringLiteral("qvn"), QStringLiteral("qvn.zst")}));
        // At most three characters after the first dot.
        QCOMPARE(ParseFileFilter(QStringLiteral("Web|*.html||")).defaultExtension, QStringLiteral("htm"));
        QCOMPARE(ParseFileFilter(QStringLiteral("Any|*||")).defaultExtension, QString());
    }

    void saveDialogAsksBeforeOverwriting()
    {
        QFileDialog dialog;
        ConfigureFileDialog(dialog, QStringLiteral("Images|*.abc||"), QStringLiteral("/tmp/name.abc"), true);
        QCOMPARE(dialog.acceptMode(), QFileDialog::AcceptSave);
        QVERIFY(!dialog.testOption(QFileDialog::DontConfirmOverwrite));
        QCOMPARE(dialog.defaultSuffix(), QStringLiteral("abc"));
        QCOMPARE(dialog.nameFilters(), QStringList{QStringLiteral("Images (*.abc)")});

        QFileDialog open;
        ConfigureFileDialog(open, QStringLiteral("Images|*.abc||"), QString(), false);
        QCOMPARE(open.acceptMode(), QFileDialog::AcceptOpen);
        QCOMPARE(open.fileMode(), QFileDialog::ExistingFile);
    }
};

QTEST_MAIN(PageBaseTest)
#include "tst_PageBase.moc"
