#include "ui/app/ToolApp.h"

#include "ui/app/AppWindow.h"
#include "ui/app/QtProfileStore.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QProcess>

namespace qv::ui {

ToolApp::ToolApp(int& argc, char** argv) : QApplication(argc, argv)
{
    setOrganizationName(QStringLiteral("Tallowmere Software"));
    setApplicationName(QFileInfo(QString::fromLocal8Bit(argv[0])).completeBaseName());
    setApplicationVersion(QStringLiteral("2.00"));
    loader_ = std::make_unique<QtTranslationLoader>(*this);
    languages_ = std::make_unique<LanguageLibrary>(*loader_, TranslationFolders(),
                                                   QFileInfo(applicationFilePath()).completeBaseName().toStdString());
}

int ToolApp::run()
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Tests, erases and recovers USB sticks and memory cards."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption image(QStringList{QStringLiteral("image")},
                                   QStringLiteral("Attach an image file as a drive (repeatable)."),
                                   QStringLiteral("FILE"));
    const QCommandLineOption noSystem(QStringList{QStringLiteral("no-system-drives")},
                                      QStringLiteral("List attached images only, not the kernel's disks."));
    parser.addOption(image);
    parser.addOption(noSystem);
    parser.process(*this);

    MainOptions options;
    for (const QString& path : parser.values(image))
        options.images.push_back(QFileInfo(path).absoluteFilePath().toStdString());
    options.systemDrives = !parser.isSet(noSystem);

    QtProfileStore store;
    languages_->LoadPreferredLanguage(store);
    options.languages = languages_.get();
    const QStringList restartArguments = arguments().mid(1);
    options.restart = [restartArguments] {
        QProcess::startDetached(QCoreApplication::applicationFilePath(), restartArguments);
    };
    AppWindow window(store, options);
    connect(&window, &MainDialog::settingsSaved, this, [&store] { store.sync(); });
    window.show();
    window.raise();
    window.activateWindow();
    return exec();
}

}  // namespace qv::ui
