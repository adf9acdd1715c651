// Snapshot of the main window: the proposed name, a cancelled dialog, an
// unwritable folder and a written picture.
#include "core/text/StringTable.h"
#include "support/UiFixtures.h"
#include "ui/app/Snapshot.h"

#include <QDir>
#include <QImage>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

using namespace qv;
using namespace qv::ui;

class SnapshotTest : public QObject {
    Q_OBJECT
private slots:
    void proposedNameCarriesTheProductText()
    {
        QCOMPARE(SnapshotFileName("USB Flash Disk  "), QString("Quorvane_USB Flash Disk.png"));
        // Not a usable file name: the user corrects it in the dialog.
        QCOMPARE(SnapshotFileName("A/B"), QString("Quorvane_A/B.png"));
        QCOMPARE(SnapshotFileName(QString()), QString("Quorvane_.png"));
        QVERIFY(PngWriterAvailable());
    }

    void cancelWritesNothingAndSaysNothing()
    {
        QTemporaryDir dir;
        QLabel window("snapshot");
        window.show();
        QString proposed;
        test::ModalCatcher catcher;
        QVERIFY(!SaveSnapshot(&window, "Stick", [&](QString& path) {
            proposed = path;
            return false;
        }));
        QCOMPARE(proposed, QString("Quorvane_Stick.png"));
        QCOMPARE(catcher.dialogs, 0);
        QVERIFY(QDir(dir.path()).isEmpty());
    }

    void unwritableFolderGivesTheWriteError()
    {
        // A folder that is not there refuses even root, who may write
        // into a read-only one.
        QTemporaryDir dir;
        QLabel window("snapshot");
        window.show();
        test::ModalCatcher catcher;
        QVERIFY(!SaveSnapshot(&window, "Stick", [&](QString& path) {
            path = dir.filePath("gone/" + path);
            return true;
        }));
        QCOMPARE(catcher.texts, QStringList{QString::fromStdString(LoadText(156))});
        QVERIFY(QDir(dir.path()).isEmpty());
    }

    void writtenPictureShowsTheWindow()
    {
        QTemporaryDir dir;
        QLabel window("snapshot");
        window.resize(220, 90);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QString written;
        QVERIFY(SaveSnapshot(&window, "Stick", [&](QString& path) {
            written = path = dir.filePath(path);
            return true;
        }));
        const QImage picture(written);
        QVERIFY(!picture.isNull());
        QVERIFY(picture.width() >= 220 && picture.height() >= 90);
    }
};

QTEST_MAIN(SnapshotTest)
#include "tst_Snapshot.moc"
