// Formatting an image drive with our own dialog: the tool's arguments, the
// label rules, and a real format checked with blkid.
#include "platform/linux/Formatter.h"
#include "support/UiFixtures.h"
#include "ui/app/FormatDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

using namespace qv;
using namespace qv::linux_platform;
using namespace qv::ui;

namespace {

using Args = std::vector<std::string>;

// blkid's TYPE and LABEL of a file, probed directly (no cache).
QString probe(const QString& path, const char* tag)
{
    QProcess blkid;
    blkid.start(QStringLiteral("blkid"), {"-p", "-o", "value", "-s", tag, path});
    blkid.waitForFinished(10000);
    return QString::fromUtf8(blkid.readAllStandardOutput()).trimmed();
}

bool haveTool(const std::string& fileSystem)
{
    for (const FileSystemTool& tool : AvailableFileSystems())
        if (tool.name == fileSystem)
            return true;
    return false;
}

}  // namespace

class FormatTest : public QObject {
    Q_OBJECT
private:
    test::ImageFolder images_;

    // Formats image with the dialog and returns whether the tool succeeded.
    bool formatWithDialog(const QString& image, const QString& fileSystem, const QString& label)
    {
        linux_platform::LinuxFormatter formatter;
        CFormatDialog dialog(QStringLiteral("img1"), image, formatter);
        const int index = dialog.fileSystemBox()->findText(fileSystem);
        if (index < 0)
            return false;
        dialog.fileSystemBox()->setCurrentIndex(index);
        dialog.labelEdit()->setText(label);
        QSignalSpy finished(&dialog, &CFormatDialog::formatFinished);
        test::ModalCatcher catcher;
        dialog.startButton()->click();
        if (!finished.wait(60000))
            return false;
        return finished.first().at(0).toBool();
    }

private slots:
    void argumentsFollowTheChoices()
    {
        QCOMPARE(FormatArguments("FAT32", "stick", true, "/dev/sdx1"),
                 (Args{"-F", "32", "-I", "-n", "STICK", "/dev/sdx1"}));
        QCOMPARE(FormatArguments("FAT32", "", false, "/dev/sdx1"), (Args{"-F", "32", "-I", "-c", "/dev/sdx1"}));
        QCOMPARE(FormatArguments("exFAT", "Data", true, "/dev/sdx"), (Args{"-L", "Data", "/dev/sdx"}));
        QCOMPARE(FormatArguments("exFAT", "", false, "/dev/sdx"), (Args{"--full-format", "/dev/sdx"}));
        QCOMPARE(FormatArguments("NTFS", "Data", true, "f.img"), (Args{"-F", "-Q", "-L", "Data", "f.img"}));
        QCOMPARE(FormatArguments("NTFS", "", false, "f.img"), (Args{"-F", "f.img"}));
        QCOMPARE(FormatArguments("ext4", "Data", false, "f.img"), (Args{"-F", "-L", "Data", "-c", "f.img"}));
        QVERIFY(FormatArguments("btrfs", "x", true, "f.img").empty());
    }

    void labelsAreCutToWhatTheFileSystemHolds()
    {
        QCOMPARE(FitLabel("FAT32", "my long stick name"), std::string("MY LONG STI"));
        QCOMPARE(FitLabel("FAT32", "a/b:c*d"), std::string("ABCD"));
        QCOMPARE(FitLabel("exFAT", "0123456789abcdefgh"), std::string("0123456789abcde"));
        // ext4 counts bytes and never cuts a character in two.
        QCOMPARE(FitLabel("ext4", "ПриветПривет"), std::string("ПриветПр"));
        // exFAT counts characters.
        QCOMPARE(FitLabel("exFAT", "ПриветПриветПривет"), std::string("ПриветПриветПри"));
    }

    void unmountOfARegularFileIsNothingToDo()
    {
        const QString image = images_.make("plain.img", 1 << 20);
        std::string error;
        QVERIFY(UnmountVolume(image.toStdString(), &error));
        QVERIFY(!UnmountVolume(images_.path("absent.img").toStdString(), &error));
        QVERIFY(QString::fromStdString(error).contains("absent.img"));
    }

    void formatLeavesFileSystemAndLabel_data()
    {
        QTest::addColumn<QString>("fileSystem");
        QTest::addColumn<int>("megabytes");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("expectedLabel");
        QTest::newRow("FAT32") << "FAT32" << 64 << "Quorvane" << "vfat" << "QUORVANE";
        QTest::newRow("exFAT") << "exFAT" << 32 << "Stick" << "exfat" << "Stick";
        QTest::newRow("NTFS") << "NTFS" << 32 << "Backup" << "ntfs" << "Backup";
        QTest::newRow("ext4") << "ext4" << 32 << "linux-data" << "ext4" << "linux-data";
    }

    void formatLeavesFileSystemAndLabel()
    {
        QFETCH(QString, fileSystem);
        QFETCH(int, megabytes);
        QFETCH(QString, label);
        QFETCH(QString, type);
        QFETCH(QString, expectedLabel);
        if (!haveTool(fileSystem.toStdString()) || QStandardPaths::findExecutable("blkid").isEmpty())
            QSKIP("the mkfs tool or blkid is not installed");
        const QString image = images_.make(fileSystem + ".img", qint64(megabytes) << 20);
        QVERIFY(formatWithDialog(image, fileSystem, label));
        QCOMPARE(probe(image, "TYPE"), type);
        QCOMPARE(probe(image, "LABEL"), expectedLabel);
    }

    void failingToolShowsItsErrorText()
    {
        if (!haveTool("FAT32"))
            QSKIP("mkfs.fat is not installed");
        // A folder is no volume: the tool refuses and says why.
        const QString image = images_.path("folder");
        QVERIFY(QDir().mkpath(image));
        linux_platform::LinuxFormatter formatter;
        CFormatDialog dialog(QStringLiteral("img1"), image, formatter);
        dialog.fileSystemBox()->setCurrentIndex(dialog.fileSystemBox()->findText("FAT32"));
        QSignalSpy finished(&dialog, &CFormatDialog::formatFinished);
        test::ModalCatcher catcher;
        dialog.startButton()->click();
        QVERIFY(finished.wait(30000));
        QCOMPARE(finished.first().at(0).toBool(), false);
        QVERIFY(!dialog.succeeded());
        QVERIFY(dialog.errorText().contains(image));
        QVERIFY(dialog.errorText().size() > image.size() + 20);
        QCOMPARE(catcher.texts.size(), 1);
        QCOMPARE(catcher.texts.first(), dialog.errorText());
        QVERIFY(dialog.startButton()->isEnabled());
    }
};

QTEST_MAIN(FormatTest)
#include "tst_Format.moc"
