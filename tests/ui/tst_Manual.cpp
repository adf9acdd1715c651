// The built manuals: each is a PDF with pages whose text names every page
// of the program in its language; the manual of the language in use is
// found, else the English one.
#include "core/text/StringTable.h"
#include "ui/app/Manual.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace qv;
using namespace qv::ui;

namespace {

QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

}  // namespace

class ManualTest : public QObject {
    Q_OBJECT
private slots:
    void everyManualNamesEveryPageInItsLanguage_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("language");
        QTest::newRow("ru") << "Quorvane.pdf" << 0;
        QTest::newRow("en") << "QuorvaneENU.pdf" << 1;
        QTest::newRow("de") << "QuorvaneDEU.pdf" << 2;
    }
    void everyManualNamesEveryPageInItsLanguage()
    {
        QFETCH(QString, file);
        QFETCH(int, language);
        const QString pdf = QStringLiteral(QUORVANE_TRANSLATIONS_DIR "/") + file;
        QVERIFY2(QFile::exists(pdf), qPrintable(pdf));

        const QString info = run("pdfinfo", {pdf});
        const QRegularExpressionMatch pages = QRegularExpression("Pages:\\s+(\\d+)").match(info);
        QVERIFY2(pages.hasMatch(), "pdfinfo (poppler-utils) could not read the manual");
        QVERIFY(pages.captured(1).toInt() >= 8);

        // Lines may break inside a name.
        const QString text = run("pdftotext", {"-enc", "UTF-8", pdf, "-"}).simplified();
        QVERIFY(!text.isEmpty());
        for (int id : {122, 110, 107, 144, 158, 105, 106, 108}) {
            const std::string name = language == 0 ? BuiltinText(id) : language == 1 ? EnglishText(id) : GermanText(id);
            QVERIFY2(text.contains(QString::fromStdString(name)), name.c_str());
        }
    }

    void languageInUseFirstThenEnglishThenOwn()
    {
        QTemporaryDir exe, doc;
        const QStringList folders{exe.path(), doc.path()};
        QCOMPARE(FindManual(kGerman, folders), QString());
        QFile(doc.filePath("Quorvane.pdf")).open(QIODevice::WriteOnly);
        QCOMPARE(FindManual(kGerman, folders), doc.filePath("Quorvane.pdf"));
        QFile(doc.filePath("QuorvaneENU.pdf")).open(QIODevice::WriteOnly);
        QCOMPARE(FindManual(kGerman, folders), doc.filePath("QuorvaneENU.pdf"));
        QCOMPARE(FindManual(kRussian, folders), doc.filePath("Quorvane.pdf"));
        QFile(exe.filePath("QuorvaneDEU.pdf")).open(QIODevice::WriteOnly);
        QCOMPARE(FindManual(kGerman, folders), exe.filePath("QuorvaneDEU.pdf"));
        // A language without a manual of its own gets the English one.
        QCOMPARE(FindManual(0x040C, folders), doc.filePath("QuorvaneENU.pdf"));
    }
};

QTEST_MAIN(ManualTest)
#include "tst_Manual.moc"
