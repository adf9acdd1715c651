#include "ui/app/Manual.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace qv::ui {
namespace {

QString manualName(LanguageId language)
{
    if (language == kRussian)
        return QStringLiteral("Quorvane.pdf");
    return QStringLiteral("Quorvane%1.pdf").arg(QString::fromStdString(LanguageAbbreviation(language)));
}

}  // namespace

QStringList ManualFolders()
{
    const QString executable = QCoreApplication::applicationDirPath();
    return {QDir::cleanPath(executable), QDir::cleanPath(executable + QStringLiteral("/../share/doc/quorvane"))};
}

QStringList ManualCandidates(LanguageId language, const QStringList& folders)
{
    QStringList names;
    for (LanguageId l : {language, kEnglishUS, kRussian}) {
        if (FindLanguage(l) && !names.contains(manualName(l)))
            names << manualName(l);
    }
    QStringList paths;
    for (const QString& name : names)
        for (const QString& folder : folders)
            paths << QDir(folder).filePath(name);
    return paths;
}

QString FindManual(LanguageId language, const QStringList& folders)
{
    for (const QString& path : ManualCandidates(language, folders))
        if (QFileInfo(path).isFile())
            return path;
    return {};
}

void OpenManual(QWidget* owner, LanguageId language)
{
    Q_UNUSED(owner);
    // Like the desktop's own launchers, a missing manual or viewer shows no
    // box; the terminal is told what was looked for.
    const QString path = FindManual(language, ManualFolders());
    if (path.isEmpty()) {
        qWarning("quorvane: the manual was not found; looked for %s",
                 qPrintable(ManualCandidates(language, ManualFolders()).join(QStringLiteral(", "))));
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        qWarning("quorvane: no program to show %s", qPrintable(path));
}

}  // namespace qv::ui
