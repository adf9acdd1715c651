// Snapshot of the main window: the proposed name, a cancelled dialog, an
// unwritable folder and a written picture.
#include "core/text/StringIds.h"
#include "core/text/StringTable.h"
#include "support/UiFixtures.h"
#include "platform/image/PosixOutputFiles.h"
#include "ui/app/Snapshot.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace qv;
using namespace qv::ui;

class SnapshotTest : public QObject {
    Q_OBJECT
    PosixOutputFiles files;
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
        QVERIFY(!SaveSnapshot(&window, "Stick", files, {}, [&](QString& path) {
            proposed = path;
            return false;
        }));
        QCOMPARE(proposed, QString("Quorvane_Stick.png"));
        QCOMPARE(catcher.dialogs, 0);
        QVERIFY(QDir(dir.path()).isEmpty());
    }

    // The write error names the file and why: a folder that is not there
    // (it refuses even root, who may write into a read-only one), a named
    // pipe, which is left a pipe, and the image of the selected drive.
    void unwritableTargetsGiveTheWriteErrorWithWhatFailed()
    {
        QTemporaryDir dir;
        QLabel window("snapshot");
        window.show();
        QVERIFY(mkfifo(dir.filePath("pipe.png").toLocal8Bit().constData(), 0600) == 0);
        QFile image(dir.filePath("stick.png"));
        QVERIFY(image.open(QIODevice::WriteOnly) && image.write("the drive") == 9);
        image.close();
        const RunInputs inputs{image.fileName().toStdString(), {}};
        struct Case {
            QString path, why;
        };
        const Case cases[] = {
            {dir.filePath("gone/shot.png"), QString::fromStdString(LoadText(str::kFailedCreate))},
            {dir.filePath("pipe.png"), QString::fromStdString(LoadText(str::kTargetPipe))},
            {image.fileName(), QString::fromStdString(LoadText(str::kOutputOnDrive))},
        };
        for (const Case& c : cases) {
            test::ModalCatcher catcher;
            QVERIFY(!SaveSnapshot(&window, "Stick", files, inputs, [&](QString& path) {
                path = c.path;
                return true;
            }));
            QCOMPARE(catcher.texts.size(), 1);
            const QStringList lines = catcher.texts.front().split('\n');
            QCOMPARE(lines.size(), 2);
            QCOMPARE(lines[0], QString::fromStdString(LoadText(156)));
            QVERIFY2(lines[1].contains(c.path) && lines[1].contains(c.why), qPrintable(lines[1]));
        }
        struct stat pipe;
        QVERIFY(lstat(dir.filePath("pipe.png").toLocal8Bit().constData(), &pipe) == 0 && S_ISFIFO(pipe.st_mode));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
                 (QStringList{"pipe.png", "stick.png"}));
        QVERIFY(image.open(QIODevice::ReadOnly) && image.readAll() == "the drive");
    }

    void writtenPictureShowsTheWindow()
    {
        QTemporaryDir dir;
        QLabel window("snapshot");
        window.resize(220, 90);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QString written;
        QVERIFY(SaveSnapshot(&window, "Stick", files, {}, [&](QString& path) {
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
