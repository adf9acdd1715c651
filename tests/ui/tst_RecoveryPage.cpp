// The recovery page: the found-file model under a hundred thousand rows,
// the preview's fit rule, and the page over image drives.
#include "../unit/support/SampleFiles.h"

#include "core/device/DeviceRecord.h"
#include "core/run/RunController.h"
#include "ui/app/QtPost.h"
#include "core/recovery/FileKind.h"
#include "core/text/StringIds.h"
#include "core/text/Units.h"
#include "core/recovery/FoundFile.h"
#include "core/settings/Settings.h"
#include "platform/image/ImageVolume.h"
#include "support/UiFixtures.h"
#include "core/settings/Settings.h"
#include "ui/app/Language.h"
#include "ui/app/AppWindow.h"
#include "ui/app/NavigationBar.h"
#include "ui/app/PageFactory.h"
#include "ui/app/Text.h"
#include "ui/pages/FoundFilesModel.h"
#include "ui/pages/PreviewDialog.h"
#include "ui/pages/RecoveryPage.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <QTreeView>
#include <QPainter>
#include <QLinearGradient>

#include <cstring>
#include <random>
#include <thread>
#include <unistd.h>

using namespace qv;
using namespace qv::ui;

namespace {

std::unique_ptr<FoundFile> signatureFile(int number, int32_t length)
{
    auto file = std::make_unique<FoundFile>();
    char name[32];
    std::snprintf(name, sizeof name, "%08d.jpg", number);
    file->name = name;
    file->kind = 1;
    file->length = length;
    file->startSector = uint32_t(number);
    return file;
}

// A drive for the page alone over an image file.
struct PageDrive : qv::ui::test::PageDrive {
    PageDrive(const QString& path, uint32_t sectors)
        : qv::ui::test::PageDrive(ImageVolume::open(path.toStdString()), sectors)
    {
    }
};

// Writes bytes into an image file at a sector.
bool place(const QString& image, qint64 sector, const qv::test::Bytes& bytes)
{
    QFile file(image);
    if (!file.open(QIODevice::ReadWrite) || !file.seek(sector * 512))
        return false;
    return file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())) == qint64(bytes.size());
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs a program; true when it succeeded, its output in *out.
bool runProgram(const QString& program, const QStringList& args, QString* out = nullptr)
{
    QProcess p;
    p.start(program, args);
    const bool ok = p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (out)
        *out = QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
    return ok;
}

// An image made an ext4 file system, attached to a free loop device and
// mounted at point for the life of the object; error says what failed.
struct LoopMount {
    LoopMount(const QString& image, const QString& mountPoint) : point(mountPoint)
    {
        QDir().mkpath(point);
        if (!runProgram("mkfs.ext4", {"-q", "-F", image}))
            error = "no mkfs.ext4";
        else if (!runProgram("losetup", {"-f", "--show", image}, &loop) || loop.isEmpty())
            error = "no loop device";
        else if (!(mounted = runProgram("mount", {loop, point})))
            error = "cannot mount " + loop;
    }
    ~LoopMount()
    {
        if (mounted)
            runProgram("umount", {point});
        if (!loop.isEmpty())
            runProgram("losetup", {"-d", loop});
    }
    QString point, loop, error;
    bool mounted = false;
};

QByteArray asBytes(const qv::test::Bytes& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

// A found file as the signature scan lists it.
void listFile(CRecoveryPage& page, const std::string& name, uint32_t sector, int32_t length)
{
    auto file = std::make_unique<FoundFile>();
    file->name = name;
    file->kind = name.size() > 9 ? KindForExtension(name.substr(9).c_str()) : 0;
    file->length = length;
    file->startSector = sector;
    page.model()->list().appendRow(name, std::move(file));
    page.model()->flush();
}

QString column(const CRecoveryPage& page, int row, int column)
{
    const FoundFilesModel* model = page.model();
    return model->data(model->index(row, column)).toString();
}

QByteArray pngOf(int width, int height, QColor colour, const char* format = "PNG")
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// The bounding box of the pixels of one colour in an image.
QRect boxOf(const QImage& image, QColor colour)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == colour)
                box |= QRect(x, y, 1, 1);
    return box;
}

}  // namespace

class RecoveryPageTest : public QObject {
    Q_OBJECT
private slots:
    void modelTakesAHundredThousandRowsInBatches()
    {
        FoundFilesModel model;
        QSignalSpy inserts(&model, &QAbstractItemModel::rowsInserted);
        constexpr int kRows = 100000;
        std::thread worker([&model] {
            for (int i = 1; i <= kRows; ++i)
                {
                auto file = signatureFile(i, i * 3);
                const std::string text = file->name;
                model.list().appendRow(text, std::move(file));
            }
            auto entry = std::make_unique<FoundFile>();
            entry->layout = FoundFile::Layout::Directory;
            entry->name = "PHOTO   .JPG";
            entry->entryLength = 4096;
            model.list().appendRow("DCIM/PHOTO   .JPG", std::move(entry));
        });
        QTRY_COMPARE_WITH_TIMEOUT(model.rowCount(), kRows + 1, 20000);
        worker.join();
        // Batches, never one insertion per file.
        QVERIFY2(inserts.count() < 200, qPrintable(QString::number(inserts.count())));
        QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("00000001.jpg"));
        QCOMPARE(model.data(model.index(kRows - 1, 0)).toString(), QStringLiteral("00100000.jpg"));
        QCOMPARE(model.data(model.index(kRows - 1, 1)).toString(), QStringLiteral("300000"));
        QCOMPARE(model.data(model.index(kRows, 0)).toString(), QStringLiteral("DCIM/PHOTO   .JPG"));
        QCOMPARE(model.data(model.index(kRows, 1)).toString(), QStringLiteral("4096"));
        QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), Text(145));
        QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), Text(149));

        // One change notification checks every row; the workers see them in
        // list order.
        QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
        model.setAllChecked(true);
        QCOMPARE(changes.count(), 1);
        std::vector<FoundFile> checked = model.list().checkedFiles();
        QCOMPARE(int(checked.size()), kRows + 1);
        QCOMPARE(checked.front().name, std::string("00000001.jpg"));
        QCOMPARE(checked[kRows - 1].name, std::string("00100000.jpg"));
        model.setAllChecked(false);
        QVERIFY(model.list().checkedFiles().empty());

        // Sorted by length, longest first; a check box set in the sorted view
        // marks that record; unsorted again gives list order.
        QSortFilterProxyModel sorted;
        sorted.setSourceModel(&model);
        sorted.setSortRole(FoundFilesModel::SortRole);
        sorted.sort(1, Qt::DescendingOrder);
        QCOMPARE(sorted.data(sorted.index(0, 0)).toString(), QStringLiteral("00100000.jpg"));
        QVERIFY(sorted.setData(sorted.index(1, 0), Qt::Checked, Qt::CheckStateRole));
        checked = model.list().checkedFiles();
        QCOMPARE(int(checked.size()), 1);
        QCOMPARE(checked.front().name, std::string("00099999.jpg"));
        sorted.sort(-1);
        QCOMPARE(sorted.data(sorted.index(0, 0)).toString(), QStringLiteral("00000001.jpg"));

        model.clear();
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.list().rowCount(), 0);
    }

    void previewFitsWidePicturesAcrossAndTallOnesDown()
    {
        // Both pictures are smaller than the dialog: they are enlarged.
        const QColor red(255, 0, 0), blue(0, 0, 255);
        CPreviewDialog wide(pngOf(100, 20, red));
        QVERIFY(wide.hasPicture());
        const QImage wideShot = wide.grab().toImage();
        const int W = wideShot.width(), H = wideShot.height();
        QVERIFY(W / 5 < H);  // the dialog is less wide than the picture
        const QRect w = boxOf(wideShot, red);
        QCOMPARE(w.left(), 0);
        QCOMPARE(w.width(), W);
        QVERIFY(qAbs(w.height() - W / 5) <= 1);
        QVERIFY(qAbs(w.top() - (H - 1 - w.bottom())) <= 1);  // centred vertically

        CPreviewDialog tall(pngOf(20, 100, blue));
        const QImage tallShot = tall.grab().toImage();
        const QRect t = boxOf(tallShot, blue);
        QCOMPARE(t.top(), 0);
        QCOMPARE(t.height(), tallShot.height());
        QVERIFY(qAbs(t.width() - tallShot.height() / 5) <= 1);
        QVERIFY(qAbs(t.left() - (tallShot.width() - 1 - t.right())) <= 1);  // centred horizontally

        // Every picture kind the menu offers decodes (TIFF needs its plugin).
        for (const char* format : {"JPG", "BMP", "TIF"}) {
            const QByteArray bytes = pngOf(40, 30, red, format);
            QVERIFY2(!bytes.isEmpty(), format);
            QVERIFY2(CPreviewDialog(bytes).hasPicture(), format);
        }
        QVERIFY(CPreviewDialog(asBytes(qv::test::Gif(10))).hasPicture());

        // Bytes that are no picture leave the dialog empty.
        CPreviewDialog broken(QByteArray("\xFF\xD8\xFF garbage", 12));
        QVERIFY(!broken.hasPicture());
        QVERIFY(boxOf(broken.grab().toImage(), red).isEmpty());
    }

    void scanListsTheFilesWithTheirLengthsAndCounters()
    {
        const QString image = images_.make("kinds.img", 4 << 20);
        const qv::test::Bytes png = qv::test::Png(2000), bmp = qv::test::Bmp(40, 30), pdf = qv::test::Pdf(3000),
                          zip = qv::test::Zip(qv::test::filler(5000, 7));
        QVERIFY(place(image, 64, png) && place(image, 128, bmp) && place(image, 256, pdf) && place(image, 512, zip));
        PageDrive drive(image, 8192);
        CRecoveryPage page;
        page.setContext(&drive.context, &drive.runs);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QCOMPARE(page.formatBox()->count(), 21);
        QCOMPARE(page.formatBox()->currentIndex(), 20);
        QCOMPARE(page.formatBox()->itemText(0), QStringLiteral("AVI - ") + Text(212));
        QVERIFY(!page.recoverButton()->isEnabled());

        QTest::mouseClick(page.scanButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!page.presenter()->active(), 30000);
        QCOMPARE(page.model()->rowCount(), 4);
        const QStringList names = {"00000001.png", "00000002.bmp", "00000003.pdf", "00000004.zip"};
        const size_t lengths[] = {png.size(), bmp.size(), pdf.size(), zip.size()};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(column(page, i, 0), names[i]);
            QCOMPARE(column(page, i, 1), QString::number(lengths[i]));
        }
        QCOMPARE(page.valueText(1102), QStringLiteral("4"));
        QCOMPARE(page.valueText(1103),
                 QString::fromStdString(FormatSizeText(png.size() + bmp.size() + pdf.size() + zip.size())));
        QCOMPARE(page.valueText(1053), QStringLiteral("0"));
        QCOMPARE(page.valueText(1047), QStringLiteral("100 %"));
        QCOMPARE(page.progressBar()->value(), 1000);
        QVERIFY(page.recoverButton()->isEnabled());
        QCOMPARE(page.scanButton()->text(), Text(40700));
        QCOMPARE(drive.status.busy, uint8_t(0));

        // The report: the counters as shown and the found files as a table.
        QVERIFY(page.canSaveReport());
        const Report report = page.makeReport();
        QCOMPARE(report.outcome, RunOutcome::Completed);
        QCOMPARE(QString::fromStdString(report.figures[0].rows[1].value), page.valueText(1102));
        QCOMPARE(QString::fromStdString(report.figures[0].rows[2].value), page.valueText(1103));
        const ReportTable& found = report.tables.at(0);
        QCOMPARE(found.rows.size(), size_t(4));
        QCOMPARE(QString::fromStdString(found.rows[3][0]), names[3]);
        QCOMPARE(found.rows[3][1], std::string("zip"));
        QCOMPARE(found.rows[3][2], std::string("512"));
        QCOMPARE(found.rows[3][3], std::to_string(zip.size()));

        // The format combo restricts the next scan to one kind.
        page.formatBox()->setCurrentIndex(8);  // PDF
        QCOMPARE(page.formatBox()->currentText(), QStringLiteral("PDF - ") + Text(220));
        QTest::mouseClick(page.scanButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!page.presenter()->active(), 30000);
        QCOMPARE(page.model()->rowCount(), 1);
        QCOMPARE(column(page, 0, 0), QStringLiteral("00000001.pdf"));
        QCOMPARE(page.valueText(1102), QStringLiteral("1"));

        // A scan of the deleted entries (nothing here: no FAT volume) is the
        // mode saving will use, whatever the choice says afterwards.
        QCOMPARE(page.presenter()->rememberedMode(), 2);
        page.directoryModeButton()->setChecked(true);
        QCOMPARE(drive.settings.recoveryMode, 1);
        QTest::mouseClick(page.scanButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!page.presenter()->active(), 30000);
        QCOMPARE(page.model()->rowCount(), 0);
        QVERIFY(!page.recoverButton()->isEnabled());
        page.signatureModeButton()->setChecked(true);
        QCOMPARE(drive.settings.recoveryMode, 2);
        QCOMPARE(page.presenter()->rememberedMode(), 1);
    }

    void stopKeepsTheRowsAndEnablesRecover()
    {
        const QString image = images_.make("stop.img", qint64(2) << 30);  // sparse
        QVERIFY(place(image, 0, qv::test::Png(2000)) && place(image, 64, qv::test::Pdf(3000)));
        PageDrive drive(image, uint32_t((qint64(2) << 30) / 512));
        CRecoveryPage page;
        page.setContext(&drive.context, &drive.runs);
        page.show();
        QTest::mouseClick(page.scanButton(), Qt::LeftButton);
        QCOMPARE(page.scanButton()->text(), Text(112));
        QVERIFY(!page.recoverButton()->isEnabled());
        QVERIFY(!page.formatBox()->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(page.model()->rowCount(), 2, 20000);
        QVERIFY(page.presenter()->active());
        QTest::mouseClick(page.scanButton(), Qt::LeftButton);
        QCOMPARE(page.scanButton()->text(), Text(40700));
        QTRY_VERIFY_WITH_TIMEOUT(!page.presenter()->active(), 30000);
        QTRY_VERIFY(page.scanButton()->isEnabled());
        QCOMPARE(page.model()->rowCount(), 2);
        QVERIFY(page.recoverButton()->isEnabled());
        QVERIFY(page.valueText(1047) != QStringLiteral("100 %"));
        QCOMPARE(page.valueText(1102), QStringLiteral("2"));
        QCOMPARE(drive.status.busy, uint8_t(0));
        // The stopped scan's report has the rows it found before the stop.
        QVERIFY(page.canSaveReport());
        const Report report = page.makeReport();
        QCOMPARE(report.outcome, RunOutcome::Stopped);
        QCOMPARE(report.figures[0].rows[1].value, std::string("2"));
        QCOMPARE(report.tables.at(0).rows.size(), size_t(2));
    }

    void savingWritesTheCheckedFilesByteExact()
    {
        const QString image = images_.make("save.img", 1 << 20);
        std::mt19937 random(5);
        qv::test::Bytes big(65536 + 512), tiny(512);
        for (auto& b : big)
            b = uint8_t(random());
        for (auto& b : tiny)
            b = uint8_t(random());
        QVERIFY(place(image, 10, big) && place(image, 300, tiny) && place(image, 1500, qv::test::Pdf(100)));
        PageDrive drive(image, 2048);
        CRecoveryPage page;
        page.setContext(&drive.context, &drive.runs);
        page.show();
        // Rows of a scan, replaced by rows whose lengths matter here.
        QTest::mouseClick(page.scanButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!page.presenter()->active(), 30000);
        QVERIFY(page.recoverButton()->isEnabled());
        page.model()->clear();
        listFile(page, "00000001.jpg", 10, 65536);  // two whole chunks
        listFile(page, "00000002.pdf", 300, 1);
        listFile(page, "00000003.zip", 400, 700);   // left unchecked

        QTemporaryDir out;
        int asked = 0;
        QString answer = out.path();
        page.setFolderChooser([&] {
            ++asked;
            return answer;
        });

        {  // Nothing checked: string 152, no folder asked for.
            qv::ui::test::ModalCatcher catcher;
            QTest::mouseClick(page.recoverButton(), Qt::LeftButton);
            QTRY_VERIFY(!page.presenter()->active());
            QCOMPARE(catcher.texts, QStringList{Text(152)});
            QCOMPARE(asked, 0);
        }

        page.model()->setData(page.model()->index(0, 0), Qt::Checked, Qt::CheckStateRole);
        page.model()->setData(page.model()->index(1, 0), Qt::Checked, Qt::CheckStateRole);
        {  // A cancelled chooser writes nothing and says nothing.
            answer.clear();
            qv::ui::test::ModalCatcher catcher;
            QTest::mouseClick(page.recoverButton(), Qt::LeftButton);
            QTRY_VERIFY(!page.presenter()->active());
            QCOMPARE(asked, 1);
            QVERIFY(catcher.texts.isEmpty());
            QVERIFY(QDir(out.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
            QVERIFY(page.recoverButton()->isEnabled());
        }

        // A folder that holds files already (an earlier run's, the user's):
        // they stay as they were, and each run's files are numbered on.
        answer = out.path();
        QFile old(out.filePath("00000001.jpg"));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write(QByteArray(100000, 'x')) == 100000);
        old.close();
        for (int round = 0; round < 2; ++round) {
            qv::ui::test::ModalCatcher catcher;
            QTest::mouseClick(page.recoverButton(), Qt::LeftButton);
            QCOMPARE(page.recoverButton()->text(), Text(112));
            QVERIFY(!page.scanButton()->isEnabled());
            QTRY_VERIFY_WITH_TIMEOUT(!page.presenter()->active(), 30000);
            QVERIFY(catcher.texts.isEmpty());
            const int first = 2 + 2 * round;
            QCOMPARE(readAll(out.filePath(QStringLiteral("%1.jpg").arg(first, 8, 10, QLatin1Char('0')))),
                     asBytes(big).left(65536));
            QCOMPARE(readAll(out.filePath(QStringLiteral("%1.pdf").arg(first + 1, 8, 10, QLatin1Char('0')))),
                     asBytes(tiny).left(1));
            QCOMPARE(readAll(out.filePath("00000001.jpg")), QByteArray(100000, 'x'));
            QCOMPARE(QDir(out.path()).entryList(QDir::Files).size(), 3 + 2 * round);
            QCOMPARE(page.valueText(1047), QStringLiteral("100 %"));
            QCOMPARE(page.recoverButton()->text(), Text(40701));
        }

        {  // A folder that cannot take files: refused, saying which and why.
            answer = out.filePath("00000001.jpg");
            qv::ui::test::ModalCatcher catcher;
            QTest::mouseClick(page.recoverButton(), Qt::LeftButton);
            QTRY_VERIFY(!page.presenter()->active());
            QCOMPARE(catcher.texts, QStringList{Text(str::kNotAFolder) + " " + answer});
            QCOMPARE(QDir(out.path()).entryList(QDir::Files).size(), 5);
        }

        {  // A saved file named like the image being read, in the image's
           // folder, takes a name of its own: the image stays as it was.
            page.model()->setAllChecked(false);
            listFile(page, "save.img", 10, 1000);
            page.model()->setData(page.model()->index(3, 0), Qt::Checked, Qt::CheckStateRole);
            answer = QFileInfo(image).absolutePath();
            const QByteArray before = readAll(image);
            qv::ui::test::ModalCatcher catcher;
            QTest::mouseClick(page.recoverButton(), Qt::LeftButton);
            QTRY_VERIFY(!page.presenter()->active());
            QVERIFY(catcher.texts.isEmpty());
            QVERIFY(readAll(image) == before);
            QCOMPARE(readAll(QFileInfo(image).absolutePath() + "/save-2.img"), asBytes(big).left(1000));
        }
    }

    // An image attached to a loop device and mounted is the drive being
    // scanned: a folder in its file system is refused before anything is
    // saved. Needs root for the loop device and the mount.
    void folderInsideTheLoopMountedImageIsRefused()
    {
        if (geteuid() != 0)
            QSKIP("needs root for a loop device");
        const QString image = images_.make("mounted.img", 16 << 20);
        LoopMount mount(image, images_.path("mnt"));
        if (!mount.error.isEmpty())
            QSKIP(qPrintable(mount.error));
        const QString folder = mount.point + "/rescued";
        QDir().mkpath(folder);
        // A picture in the mounted file system, found by a scan.
        QFile picture(mount.point + "/photo.png");
        QVERIFY(picture.open(QIODevice::WriteOnly) && picture.write(pngOf(64, 32, QColor(0, 0, 255))) > 0);
        picture.close();
        QVERIFY(runProgram("sync", {}));

        PageDrive drive(image, 16 << 11);
        CRecoveryPage page;
        page.setContext(&drive.context, &drive.runs);
        page.show();
        QTest::mouseClick(page.scanButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!page.presenter()->active(), 30000);
        QVERIFY(page.model()->rowCount() > 0);
        page.OnSelectAll();
        page.setFolderChooser([&] { return folder; });
        qv::ui::test::ModalCatcher catcher;
        QTest::mouseClick(page.recoverButton(), Qt::LeftButton);
        QTRY_VERIFY(!page.presenter()->active());
        QString refusal = Text(40712);
        refusal.replace(refusal.indexOf("%s"), 2, folder);
        refusal.replace(refusal.indexOf("%s"), 2, image);
        QCOMPARE(catcher.texts, QStringList{refusal});
        QVERIFY(QDir(folder).entryList(QDir::Files).isEmpty());
    }

    void directoryModeScanSavesIntoTheChosenFolder()
    {
        // FAT16: 1 reserved sector, 2 tables of 8, 512 root entries (32
        // sectors) at 17, 4 sectors a cluster; cluster 3 at sector 53.
        const QString image = images_.make("fat.img", 4096 * 512);
        qv::test::Bytes boot(512, 0);
        boot[0] = 0xEB, boot[1] = 0x3C, boot[2] = 0x90;
        std::memcpy(boot.data() + 3, "MSDOS5.0", 8);
        qv::test::setLe16(boot, 11, 512);
        boot[13] = 4;
        qv::test::setLe16(boot, 14, 1);
        boot[16] = 2;
        qv::test::setLe16(boot, 17, 512);
        qv::test::setLe16(boot, 19, 4096);
        boot[21] = 0xF8;
        qv::test::setLe16(boot, 22, 8);
        boot[510] = 0x55, boot[511] = 0xAA;
        qv::test::Bytes entry(32, 0);
        std::memcpy(entry.data(), "\xE5" "EST    TXT", 11);
        entry[11] = 0x20;
        qv::test::setLe16(entry, 26, 3);
        qv::test::setLe32(entry, 28, 3000);
        const qv::test::Bytes content = qv::test::filler(3000, 77);
        QVERIFY(place(image, 0, boot) && place(image, 17, entry) && place(image, 53, content));

        PageDrive drive(image, 4096);
        drive.settings.recoveryMode = 1;
        CRecoveryPage page;
        page.setContext(&drive.context, &drive.runs);
        page.show();
        QVERIFY(page.directoryModeButton()->isChecked());
        QTest::mouseClick(page.scanButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!page.presenter()->active(), 30000);
        QCOMPARE(page.model()->rowCount(), 1);
        QCOMPARE(column(page, 0, 0), QStringLiteral("_EST    .TXT"));
        QCOMPARE(column(page, 0, 1), QStringLiteral("3000"));
        QCOMPARE(page.valueText(1102), QStringLiteral("1"));
        QCOMPARE(page.valueText(1103), QString::fromStdString(FormatSizeText(3000)));

        // Saved by the directory-mode worker even after the choice changed.
        page.signatureModeButton()->setChecked(true);
        page.OnSelectAll();
        QTemporaryDir out;
        page.setFolderChooser([&out] { return out.path(); });
        qv::ui::test::ModalCatcher catcher;
        QTest::mouseClick(page.recoverButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!page.presenter()->active(), 30000);
        QVERIFY(catcher.texts.isEmpty());
        QCOMPARE(readAll(out.filePath("_EST.TXT")), asBytes(content));
    }

    void previewOnlyForPicturesFoundBySignatureAndMenuChecksOnly()
    {
        const QString image = images_.make("menu.img", 1 << 20);
        const QByteArray picture = pngOf(64, 32, QColor(255, 0, 0));
        qv::test::Bytes bytes(picture.begin(), picture.end());
        QVERIFY(place(image, 8, bytes));
        PageDrive drive(image, 2048);
        CRecoveryPage page;
        page.setContext(&drive.context, &drive.runs);
        page.show();
        listFile(page, "00000001.pdf", 100, 3000);
        listFile(page, "00000002.png", 8, int32_t(bytes.size()));
        auto entry = std::make_unique<FoundFile>();
        entry->layout = FoundFile::Layout::Directory;
        entry->name = "PHOTO   .JPG";
        entry->deleted = 1;
        entry->entryLength = 5000;
        page.model()->list().appendRow("PHOTO   .JPG", std::move(entry));
        page.model()->flush();

        auto previewEnabled = [&page](int row) {
            page.listView()->selectionModel()->clearSelection();
            if (row >= 0)
                page.listView()->selectionModel()->select(page.sortedModel()->index(row, 0),
                                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
            return page.makeListMenu()->actions().front()->isEnabled();
        };
        QVERIFY(!previewEnabled(-1));
        QVERIFY(!previewEnabled(0));
        QVERIFY(previewEnabled(1));
        QVERIFY(!previewEnabled(2));

        // The selected picture previews from the drive.
        previewEnabled(1);
        bool shown = false;
        qv::ui::test::ModalCatcher catcher([&shown](QWidget* dialog) {
            if (auto* preview = qobject_cast<CPreviewDialog*>(dialog)) {
                shown = preview->hasPicture();
                preview->accept();
            }
        });
        page.OnPreview();
        QVERIFY(shown);

        // Select all and Deselect all change the check marks, not the selection.
        page.OnSelectAll();
        QCOMPARE(int(page.model()->list().checkedFiles().size()), 3);
        QCOMPARE(page.listView()->selectionModel()->selectedRows().size(), 1);
        QCOMPARE(page.listView()->selectionModel()->selectedRows().front().row(), 1);
        page.OnDeselectAll();
        QVERIFY(page.model()->list().checkedFiles().empty());
        QCOMPARE(page.listView()->selectionModel()->selectedRows().size(), 1);

        // List order until a header is clicked; a click sorts by its column.
        QCOMPARE(page.sortedModel()->sortColumn(), -1);
        QTest::mouseClick(page.listView()->header()->viewport(), Qt::LeftButton, {},
                          QPoint(page.listView()->header()->sectionViewportPosition(1) + 20, 5));
        QCOMPARE(page.sortedModel()->sortColumn(), 1);

        // A larger page: the list grows, the buttons keep their size and
        // their distances to the right and bottom edges.
        const QRect list = page.listView()->geometry(), scan = page.scanButton()->geometry();
        page.resize(page.width() + 200, page.height() + 100);
        QCOMPARE(page.listView()->geometry().size(), list.size() + QSize(200, 100));
        QCOMPARE(page.scanButton()->geometry(), scan.translated(200, 100));
    }

private:
    qv::ui::test::ImageFolder images_;
};

// Not a test: with QUORVANE_SCREENSHOTS set to a folder (scripts/screenshots
// runs it under Xvfb) the main window is photographed on the recovery page
// after a scan of an image with pictures and documents, in both languages,
// and the preview of a found photo.
class RecoveryScreenshots : public QObject {
    Q_OBJECT
private slots:
    void pageAfterAScanAndPreview_data()
    {
        QTest::addColumn<bool>("english");
        QTest::newRow("ru") << false;
        QTest::newRow("en") << true;
    }
    void pageAfterAScanAndPreview()
    {
        const QString dir = qEnvironmentVariable("QUORVANE_SCREENSHOTS");
        QFETCH(bool, english);
        QTranslator translator;
        if (english)
            QVERIFY(InstallEnglish(*qApp, translator, QStringLiteral(QUORVANE_TRANSLATIONS_DIR)));
        qv::ui::test::ImageFolder images;
        const QString path = images.make("card.img", 64 << 20);
        // A photo-like picture: a sky, a sun and hills.
        QImage photo(800, 600, QImage::Format_RGB32);
        {
            QPainter p(&photo);
            QLinearGradient sky(0, 0, 0, 600);
            sky.setColorAt(0, QColor(70, 130, 200));
            sky.setColorAt(1, QColor(200, 225, 245));
            p.fillRect(photo.rect(), sky);
            p.setRenderHint(QPainter::Antialiasing);
            p.setBrush(QColor(255, 210, 60));
            p.setPen(Qt::NoPen);
            p.drawEllipse(QPoint(620, 140), 70, 70);
            p.setBrush(QColor(60, 140, 70));
            p.drawEllipse(QPoint(200, 700), 500, 260);
            p.setBrush(QColor(40, 110, 55));
            p.drawEllipse(QPoint(700, 720), 450, 230);
        }
        auto encoded = [](const QImage& image, const char* format) {
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            image.save(&buffer, format, 90);
            return qv::test::Bytes(bytes.begin(), bytes.end());
        };
        qint64 sector = 2048;
        auto add = [&](const qv::test::Bytes& bytes) {
            QVERIFY(place(path, sector, bytes));
            sector += qint64(bytes.size() + 511) / 512 + 64;
        };
        add(encoded(photo, "JPG"));
        add(encoded(photo.scaled(320, 240), "PNG"));
        add(qv::test::Pdf(40000));
        add(encoded(photo.scaled(200, 150), "BMP"));
        add(qv::test::Zip(qv::test::filler(30000, 3)));
        add(encoded(photo.scaled(640, 480), "JPG"));
        add(qv::test::Gif(5000));

        MemoryProfileStore store;
        MainOptions options;
        options.systemDrives = false;
        options.images = {path.toStdString()};
        AppWindow window(store, options);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::mouseClick(window.navigationBar(), Qt::LeftButton, {},
                          QPoint(40, kRecoveryPage * CNavigationBar::kItemHeight + 28));
        QCOMPARE(window.currentPage(), int(kRecoveryPage));
        auto* page = qobject_cast<CRecoveryPage*>(window.page(kRecoveryPage));
        QVERIFY(page);
        QTest::mouseClick(page->scanButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!page->presenter()->active(), 60000);
        QVERIFY(page->model()->rowCount() >= 7);
        page->model()->setData(page->model()->index(0, 0), Qt::Checked, Qt::CheckStateRole);
        page->model()->setData(page->model()->index(5, 0), Qt::Checked, Qt::CheckStateRole);
        page->listView()->selectionModel()->select(page->sortedModel()->index(0, 0),
                                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QTest::qWait(100);
        const QString lang = english ? "en" : "ru";
        QVERIFY(window.grab().save(QDir(dir).filePath("recovery-" + lang + ".png")));
        if (!english) {
            bool saved = false;
            qv::ui::test::ModalCatcher catcher([&](QWidget* dialog) {
                if (auto* preview = qobject_cast<CPreviewDialog*>(dialog)) {
                    saved = preview->hasPicture() && preview->grab().save(QDir(dir).filePath("recovery-preview.png"));
                    preview->accept();
                }
            });
            page->OnPreview();
            QVERIFY(saved);
        }
        if (english)
            RemoveTranslation(*qApp, translator);
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (!qEnvironmentVariableIsEmpty("QUORVANE_SCREENSHOTS")) {
        RecoveryScreenshots shots;
        return QTest::qExec(&shots, argc, argv);
    }
    RecoveryPageTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_RecoveryPage.moc"
