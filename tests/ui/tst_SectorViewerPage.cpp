// The sector viewer on an image drive: slider ends, typed numbers, read
// errors and the page without a drive.
#include "core/text/StringTable.h"
#include "support/UiFixtures.h"
#include "ui/app/AppWindow.h"
#include "ui/pages/SectorViewerPage.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTest>

using namespace qv;
using namespace qv::ui;

class SectorViewerPageTest : public QObject {
    Q_OBJECT
private:
    test::ImageFolder images_;
    QString image_;

    static MainOptions withImage(const QString& path)
    {
        MainOptions options;
        options.systemDrives = false;
        if (!path.isEmpty())
            options.images = {path.toStdString()};
        return options;
    }
    // Replaces the number the way a user's paste does.
    static void type(CSectorViewerPage* page, const QString& text)
    {
        page->numberBox()->paste(text);
    }
    static QString line(CSectorViewerPage* page, int row) { return page->listing()->item(row)->text(); }

private slots:
    void initTestCase()
    {
        image_ = images_.make("stick.img", 4096 * 512);
        QFile file(image_);
        QVERIFY(file.open(QIODevice::ReadWrite));
        file.seek(0x20 * 512);
        file.write(QByteArray(512, ' '));
        file.seek(5 * 512);
        file.write("Hello");
    }

    void sliderEndsShowTheFirstAndLastSectors()
    {
        MemoryProfileStore store;
        AppWindow window(store, withImage(image_));
        window.openSectorViewer();
        CSectorViewerPage* page = window.sectorViewer()->page();
        const uint32_t count = window.context().device->sectorCount;
        QCOMPARE(page->rangeEnd()->text(), QString::number(count));
        QCOMPARE(page->listing()->count(), 0);

        page->slider()->setValue(1000);
        QCOMPARE(page->numberBox()->text(), QString::number(count - 1));
        QCOMPARE(page->viewer().current(), uint64_t(count - 1));
        QCOMPARE(page->listing()->count(), 32);
        QVERIFY(line(page, 31).startsWith("1F0: "));
        // The arrows stay inside the medium.
        page->numberBox()->stepBy(5);
        QCOMPARE(page->numberBox()->text(), QString::number(count - 1));

        page->slider()->setValue(0);
        QCOMPARE(page->numberBox()->text(), QString("0"));
        QCOMPARE(page->viewer().current(), uint64_t(0));
    }

    void typedNumbersReadThatSectorAndMoveTheSlider()
    {
        MemoryProfileStore store;
        AppWindow window(store, withImage(image_));
        window.openSectorViewer();
        CSectorViewerPage* page = window.sectorViewer()->page();
        test::ModalCatcher catcher;

        type(page, "32");
        QCOMPARE(line(page, 0), QString("000: 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20  ................"));
        QCOMPARE(page->slider()->value(), int(32 * 1000 / window.context().device->sectorCount));

        type(page, "999999");
        QCOMPARE(catcher.texts, QStringList{QString::fromStdString(LoadText(109))});
        QCOMPARE(line(page, 0), QString("000: 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20  ................"));

        // A negative number reads nothing and leaves the page working.
        type(page, "-5");
        QCOMPARE(catcher.texts.size(), 1);
        QCOMPARE(page->viewer().current(), uint64_t(999999));
        type(page, "5");
        QVERIFY(line(page, 0).endsWith("Hello..........."));

        type(page, "abc");
        QCOMPARE(page->viewer().current(), uint64_t(0));
        QCOMPARE(catcher.texts.size(), 1);
    }

    void withoutADriveTheControlsAreDisabled()
    {
        MemoryProfileStore store;
        AppWindow window(store, withImage(QString()));
        window.openSectorViewer();
        CSectorViewerPage* page = window.sectorViewer()->page();
        QVERIFY(!page->readButton()->isEnabled());
        QVERIFY(!page->numberBox()->isEnabled());
        QVERIFY(!page->slider()->isEnabled());
        QCOMPARE(page->rangeEnd()->text(), QString("0"));
    }
};

QTEST_MAIN(SectorViewerPageTest)
#include "tst_SectorViewerPage.moc"
