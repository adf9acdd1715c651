// The Language sub-menu of the main window and what choosing a language does.
#include "core/text/Languages.h"
#include "core/text/StringTable.h"
#include "platform/image/PosixOutputFiles.h"
#include "support/UiFixtures.h"
#include "ui/app/Language.h"
#include "ui/app/AppWindow.h"
#include "ui/app/Snapshot.h"
#include "ui/pages/SectorViewerPage.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QMessageBox>
#include <QTest>

using namespace qv;
using namespace qv::ui;

namespace {

// The built translations, with Russian chosen unless a setting says more.
struct BuiltLanguages {
    explicit BuiltLanguages(MemoryProfileStore& store)
    {
        library.LoadPreferredLanguage(store);
    }
    QtTranslationLoader loader{*QCoreApplication::instance()};
    LanguageLibrary library{loader, {QUORVANE_TRANSLATIONS_DIR}, "quorvane", kRussian, LocaleEnvironment{}};
};

}  // namespace

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
        AppWindow window(store, options(nullptr, &restarts));
        QString checked;
        QCOMPARE(items(window.languageMenu(), &checked), QStringList{"Русский"});
        QCOMPARE(checked, QString("Русский"));
    }

    void menuListsTheInstalledLanguagesWithTheOneInUseChecked()
    {
        MemoryProfileStore store;
        store.writeInt(kLanguageIdKey, kGerman);
        BuiltLanguages languages(store);
        int restarts = 0;
        AppWindow window(store, options(&languages.library, &restarts));
        QString checked;
        QCOMPARE(items(window.languageMenu(), &checked), (QStringList{"Русский", "Deutsch", "English"}));
        QCOMPARE(checked, QString("Deutsch"));
        QCOMPARE(window.windowTitle(), QString::fromUtf8(GermanText(10201)));
    }

    void choosingTheLanguageInUseStillAsksAndNoKeepsTheWindow()
    {
        MemoryProfileStore store;
        BuiltLanguages languages(store);
        int restarts = 0;
        AppWindow window(store, options(&languages.library, &restarts));
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
        MemoryProfileStore store;
        BuiltLanguages languages(store);
        int restarts = 0;
        AppWindow window(store, options(&languages.library, &restarts));
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

// Not a test: with QUORVANE_SCREENSHOTS=DIR set (scripts/screenshots runs
// it under Xvfb) the main window in German, its language menu and the
// sector viewer are photographed through the program's own snapshot code.
class LanguageScreenshots : public QObject {
    Q_OBJECT
private slots:
    void germanWindowMenuAndSectorViewer()
    {
        const QString dir = qEnvironmentVariable("QUORVANE_SCREENSHOTS");
        test::ImageFolder images;
        const QString path = images.make("stick.img", 64 << 20);
        {
            // Something worth looking at in sector 0.
            QFile image(path);
            QVERIFY(image.open(QIODevice::ReadWrite));
            QByteArray boot(512, '\0');
            boot.replace(0, 11, QByteArray("\xEB\x58\x90MSDOS5.0", 11));
            boot.replace(0x47, 11, "QUORVANE   ");
            boot.replace(0x52, 8, "FAT32   ");
            boot.replace(0x1B4, 28, "Missing operating system.\r\n");
            boot[510] = char(0x55);
            boot[511] = char(0xAA);
            image.write(boot);
        }
        MemoryProfileStore store;
        store.writeInt(kLanguageIdKey, kGerman);
        BuiltLanguages languages(store);
        MainOptions options;
        options.systemDrives = false;
        options.images = {path.toStdString()};
        options.languages = &languages.library;
        AppWindow window(store, options);
        window.move(40, 40);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::qWait(300);
        qv::PosixOutputFiles files;
        QVERIFY(CaptureWindowToFile(dir + "/main-window-de.png", "png", &window, files));

        // The Service menu with its Language sub-menu open.
        QMenu* service = window.languageMenu()->menuAction()->associatedObjects().isEmpty()
                             ? nullptr
                             : qobject_cast<QMenu*>(window.languageMenu()->menuAction()->associatedObjects().first());
        QVERIFY(service);
        const QPoint under = window.menuBar()->mapToGlobal(
            window.menuBar()->actionGeometry(service->menuAction()).bottomLeft());
        service->popup(under);
        QTest::qWait(200);
        service->setActiveAction(window.languageMenu()->menuAction());
        QTest::qWait(600);
        QScreen* screen = window.screen();
        const QRect area = window.frameGeometry().united(window.languageMenu()->geometry()).adjusted(-4, -4, 4, 4);
        QVERIFY(screen->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                    .save(dir + "/language-menu-de.png"));
        window.languageMenu()->hide();
        service->hide();

        window.openSectorViewer();
        CSectorViewerWindow* viewer = window.sectorViewer();
        viewer->move(120, 80);
        QVERIFY(QTest::qWaitForWindowExposed(viewer));
        viewer->page()->OnRead();
        QTest::qWait(300);
        QVERIFY(CaptureWindowToFile(dir + "/sector-viewer-de.png", "png", viewer, files));
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (!qEnvironmentVariableIsEmpty("QUORVANE_SCREENSHOTS")) {
        LanguageScreenshots shots;
        return QTest::qExec(&shots, argc, argv);
    }
    LanguageMenuTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_LanguageMenu.moc"
