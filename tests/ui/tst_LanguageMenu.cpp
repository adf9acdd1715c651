// The Language sub-menu of the main window and what choosing a language does.
#include "core/text/Languages.h"
#include "core/text/StringTable.h"
#include "support/UiFixtures.h"
#include "ui/app/Language.h"
#include "ui/app/MainDialog.h"

#include <QAction>
#include <QMenu>
#include <QMessageBox>
#include <QTest>

using namespace qv;
using namespace qv::ui;

class LanguageMenuTest : public QObject {
    Q_OBJECT
private:
    test::ImageFolder images_;
    QString image_;

    MainOptions options(LanguageLibrary* library, int* restarts) const
    {
        MainOptions o;
        o.systemDrives = false;
        o.images = {image_.toStdString()};
        o.languages = library;
        o.restart = [restarts] { ++*restarts; };
        return o;
    }

    static QStringList items(QMenu* menu, QString* checked)
    {
        QStringList names;
        for (QAction* item : menu->actions()) {
            names << item->text();
            if (item->isChecked())
                *checked = item->text();
        }
        return names;
    }

private slots:
    void initTestCase()
    {
        image_ = images_.make("stick.img", 8 << 20);
        QVERIFY(!image_.isEmpty());
    }

    void withoutALibraryTheMenuOffersTheOwnLanguageAlone()
    {
        MemoryProfileStore store;
        int restarts = 0;
        MainDialog window(store, options(nullptr, &restarts));
        QString checked;
        QCOMPARE(items(window.languageMenu(), &checked), QStringList{"Русский"});
        QCOMPARE(checked, QString("Русский"));
    }

    void menuListsTheInstalledLanguagesWithTheOneInUseChecked()
    {
        QtTranslationLoader loader(*QCoreApplication::instance());
        LanguageLibrary library(loader, {QUORVANE_TRANSLATIONS_DIR}, "quorvane", kRussian, LocaleEnvironment{});
        MemoryProfileStore store;
        store.writeInt(kLanguageIdKey, kGerman);
        library.LoadPreferredLanguage(store);
        int restarts = 0;
        MainDialog window(store, options(&library, &restarts));
        QString checked;
        QCOMPARE(items(window.languageMenu(), &checked), (QStringList{"Русский", "Deutsch", "English"}));
        QCOMPARE(checked, QString("Deutsch"));
        QCOMPARE(window.windowTitle(), QString::fromUtf8(GermanText(10201)));
    }

    void choosingTheLanguageInUseStillAsksAndNoKeepsTheWindow()
    {
        QtTranslationLoader loader(*QCoreApplication::instance());
        LanguageLibrary library(loader, {QUORVANE_TRANSLATIONS_DIR}, "quorvane", kRussian, LocaleEnvironment{});
        MemoryProfileStore store;
        library.LoadPreferredLanguage(store);
        int restarts = 0;
        MainDialog window(store, options(&library, &restarts));
        window.show();
        {
            test::ModalCatcher catcher;
            catcher.answer = QMessageBox::No;
            window.languageMenu()->actions().at(0)->trigger();  // Русский, in use
            QCOMPARE(catcher.texts, QStringList{QString::fromUtf8(BuiltinText(176))});
        }
        QCOMPARE(store.readInt(kLanguageIdKey), kRussian);
        QVERIFY(window.isVisible());
        QCOMPARE(restarts, 0);
    }

    void yesDuringARunKeepsTheWindowOpenAndStartsTheProgramAgain()
    {
        QtTranslationLoader loader(*QCoreApplication::instance());
        LanguageLibrary library(loader, {QUORVANE_TRANSLATIONS_DIR}, "quorvane", kRussian, LocaleEnvironment{});
        MemoryProfileStore store;
        library.LoadPreferredLanguage(store);
        int restarts = 0;
        MainDialog window(store, options(&library, &restarts));
        window.show();
        window.status().setState(RUN_ACTIVE);
        {
            test::ModalCatcher catcher;
            catcher.answer = QMessageBox::Yes;
            window.languageMenu()->actions().at(1)->trigger();  // Deutsch
            // The question comes in the new language, then the refusal.
            QCOMPARE(catcher.texts,
                     (QStringList{QString::fromUtf8(GermanText(176)), QString::fromUtf8(GermanText(235))}));
        }
        QCOMPARE(store.readInt(kLanguageIdKey), kGerman);
        QVERIFY(window.isVisible());
        QCOMPARE(restarts, 1);
        // The radio check stays where the windows were built.
        QVERIFY(window.languageMenu()->actions().at(0)->isChecked());
        window.status().setState(RUN_DONE);
    }
};

QTEST_MAIN(LanguageMenuTest)
#include "tst_LanguageMenu.moc"
