// The drawn navigation bar: click rule, run lock, pictures.
#include "core/run/SharedContext.h"
#include "ui/app/NavigationBar.h"

#include <QSignalSpy>
#include <QTest>

using namespace qv;
using namespace qv::ui;

class NavigationBarTest : public QObject {
    Q_OBJECT
private:
    RunStatus status_;
    SharedContext context_;

    void fill(CNavigationBar& bar, int count)
    {
        bar.resize(110, 7 * 56);
        bar.setContext(&context_);
        for (int i = 0; i < count; ++i)
            bar.AddItem(i, QStringLiteral("Item %1").arg(i), 160, 159);
    }

    static QColor pixel(const QImage& image, int x, int y) { return image.pixelColor(x, y); }

private slots:
    void init()
    {
        context_.status = &status_;
        status_.setState(RUN_DONE);
    }

    void clickRuleSplitsRowsAtFiftyFive()
    {
        CNavigationBar bar;
        fill(bar, 7);
        QSignalSpy spy(&bar, &CNavigationBar::pageSelected);
        QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(10, 54));
        QCOMPARE(spy.count(), 0);  // row 0 is the current item
        QCOMPARE(bar.currentItem(), 0);
        QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(10, 55));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.takeFirst().at(0).toInt(), 1);
        QCOMPARE(bar.currentItem(), 1);
    }

    void clickBelowTheLastItemDoesNothing()
    {
        CNavigationBar bar;
        fill(bar, 3);
        bar.resize(110, 7 * 56);
        QSignalSpy spy(&bar, &CNavigationBar::pageSelected);
        QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(10, 3 * 56 + 5));
        QCOMPARE(spy.count(), 0);
        QCOMPARE(bar.currentItem(), 0);
        QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(10, 3 * 56 - 3));
        QCOMPARE(spy.count(), 1);
    }

    void clickOnTheCurrentItemSendsNothing()
    {
        CNavigationBar bar;
        fill(bar, 7);
        QSignalSpy spy(&bar, &CNavigationBar::pageSelected);
        QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(10, 2 * 56 + 10));
        QCOMPARE(spy.count(), 1);
        QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(10, 2 * 56 + 40));
        QCOMPARE(spy.count(), 1);
    }

    void clicksAreIgnoredWhileARunIsActive()
    {
        CNavigationBar bar;
        fill(bar, 7);
        QSignalSpy spy(&bar, &CNavigationBar::pageSelected);
        status_.setState(RUN_ACTIVE);
        QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(10, 4 * 56 + 10));
        QCOMPARE(spy.count(), 0);
        QCOMPARE(bar.currentItem(), 0);
        // Only RUN_ACTIVE locks the bar.
        status_.setState(RUN_STOP);
        QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(10, 4 * 56 + 10));
        QCOMPARE(spy.count(), 1);
    }

    void eleventhItemIsIgnored()
    {
        CNavigationBar bar;
        fill(bar, 12);
        QCOMPARE(bar.itemCount(), CNavigationBar::kMaxItems);
    }

    void currentItemIsDrawnSelected()
    {
        CNavigationBar bar;
        fill(bar, 7);
        bar.resize(110, 8 * 56);
        QImage before = bar.grab().toImage();
        // Row 1 of each item is the upper gradient's second line; x = 5 is
        // inside the highlight line.
        const QColor selectedTop = pixel(before, 5, 1);
        const QColor normalTop = pixel(before, 5, 56 + 1);
        QVERIFY(selectedTop.red() > 240 && selectedTop.blue() < 200);  // warm
        QVERIFY(normalTop.blue() > normalTop.red());                   // blue
        QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(10, 56 + 10));
        const QImage after = bar.grab().toImage();
        QCOMPARE(pixel(after, 5, 56 + 1), selectedTop);
        QCOMPARE(pixel(after, 5, 1), normalTop);
        // Below the items the bar's own gradient shows, light at the bottom.
        const QColor bottom = pixel(after, 5, bar.height() - 1);
        QVERIFY(bottom.red() > 200 && bottom.green() > 200);
    }
};

QTEST_MAIN(NavigationBarTest)
#include "tst_NavigationBar.moc"
