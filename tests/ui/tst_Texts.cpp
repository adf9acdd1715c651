// The string table through the translation files, Qt's own dialogs in the
// same language, and the QSettings profile store.
#include "core/settings/Settings.h"
#include "core/text/StringTable.h"
#include "core/text/Languages.h"
#include "ui/app/Language.h"
#include "ui/app/QtProfileStore.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>

using namespace qv;
using namespace qv::ui;

class TextsTest : public QObject {
    Q_OBJECT
private slots:
    void englishFileTranslatesEveryEntry()
    {
        QTranslator translator;
        QVERIFY(InstallEnglish(*QCoreApplication::instance(), translator, QUORVANE_TRANSLATIONS_DIR));
        for (const StringEntry& entry : StringTable())
            QCOMPARE(LoadText(entry.id), std::string(entry.english));
        QCOMPARE(LoadText(999999), std::string());
        RemoveTranslation(*QCoreApplication::instance(), translator);
        QCOMPARE(LoadText(235), BuiltinText(235));
        QVERIFY(LoadText(235) != EnglishText(235));
    }

    void everyTextTheWindowUsesIsInBothLanguages()
    {
        std::vector<int> ids = {101, 105, 106, 107, 110, 112, 122, 144, 155, 158, 180, 181, 182, 183, 235};
        const std::pair<int, int> ranges[] = {{10001, 10006}, {10201, 10213}, {10301, 10315},
                                              {13401, 13405}, {32774, 32779}};
        for (const auto& [first, last] : ranges)
            for (int id = first; id <= last; ++id)
                ids.push_back(id);
        for (int id : ids) {
            QVERIFY2(!BuiltinText(id).empty(), qPrintable(QString::number(id)));
            QVERIFY2(!EnglishText(id).empty(), qPrintable(QString::number(id)));
        }
    }

    void missingTranslationFileKeepsTheBuiltInTexts()
    {
        QTemporaryDir empty;
        QTranslator translator;
        QVERIFY(!InstallEnglish(*QCoreApplication::instance(), translator, empty.path()));
        QCOMPARE(LoadText(122), BuiltinText(122));
    }

    void germanFileTranslatesEveryEntryAndQtsDialogsFollow()
    {
        QtTranslationLoader loader(*QCoreApplication::instance());
        QCOMPARE(loader.fileLanguage(QUORVANE_TRANSLATIONS_DIR "/quorvaneDEU.qm"), kGerman);
        QCOMPARE(loader.fileLanguage(QUORVANE_TRANSLATIONS_DIR "/quorvaneENU.qm"), kEnglishUS);
        QCOMPARE(loader.qtDialogsLanguage(), kRussian);
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("Отмена"));
        {
            LanguageLibrary library(loader, {QUORVANE_TRANSLATIONS_DIR}, "quorvane", kRussian, LocaleEnvironment{});
            MemoryProfileStore store;
            store.writeInt(kLanguageIdKey, 0x0807);
            library.LoadPreferredLanguage(store);
            QCOMPARE(library.currentLanguage, kGerman);
            for (const StringEntry& entry : StringTable())
                QCOMPARE(LoadText(entry.id), std::string(entry.german));
            QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("Abbrechen"));
        }
        // The library gone, the built-in texts and Russian dialogs are back.
        QCOMPARE(LoadText(235), BuiltinText(235));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("Отмена"));
    }

    void settingsLiveAtTheTopLevelOfTheFile()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("quorvane.conf");
        {
            QtProfileStore store(std::make_unique<QSettings>(file, QSettings::IniFormat));
            Settings settings;
            LoadSettings(settings, store);
            settings.eraseType = 1;
            SaveSettings(settings, store);
            store.sync();
        }
        QSettings check(file, QSettings::IniFormat);
        QVERIFY(check.childGroups().isEmpty());
        QCOMPARE(check.value("Erase Type").toInt(), 1);
        QCOMPARE(check.value("Maximum Speed").toInt(), 150);
        QVERIFY(!check.contains("Read Color"));
    }

    void handEditedValuesAreReadOrDefaulted()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("quorvane.conf");
        {
            QSettings edit(file, QSettings::IniFormat);
            edit.setValue("Passes", "three");
            edit.setValue("Read Color", "0x0000FF");
            edit.setValue("Erase Type", " 1 ");
            edit.setValue("Disable Device Scan", "1");
        }
        QtProfileStore store(std::make_unique<QSettings>(file, QSettings::IniFormat));
        Settings settings;
        LoadSettings(settings, store);
        QCOMPARE(settings.passes, 1);
        QCOMPARE(settings.readColor, 0x0000FFu);
        QCOMPARE(settings.eraseType, 1);
        QCOMPARE(IsDeviceScanDisabled(store), 1);
    }
};

QTEST_MAIN(TextsTest)
#include "tst_Texts.moc"
