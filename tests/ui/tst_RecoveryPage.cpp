// The recovery page: the found-file model under a hundred thousand rows,
// the preview's fit rule, and the page over image drives.
#include "core/recovery/FoundFile.h"
#include "ui/app/Text.h"
#include "ui/pages/FoundFilesModel.h"
#include "ui/pages/PreviewDialog.h"

#include <QApplication>
#include <QBuffer>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QTest>

#include <thread>

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

QByteArray pngOf(int width, int height, QColor colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
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

        // Bytes that are no picture leave the dialog empty.
        CPreviewDialog broken(QByteArray("\xFF\xD8\xFF garbage", 12));
        QVERIFY(!broken.hasPicture());
        QVERIFY(boxOf(broken.grab().toImage(), red).isEmpty());
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    RecoveryPageTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_RecoveryPage.moc"
