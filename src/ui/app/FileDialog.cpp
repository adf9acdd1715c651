#include "ui/app/FileDialog.h"

#include <QFileDialog>
#include <QFileInfo>

#include <algorithm>

namespace qv::ui {

FileFilter ParseFileFilter(const QString& filter)
{
    FileFilter result;
    const int dot = filter.indexOf(QLatin1Char('.'));
    if (dot >= 0) {
        // Up to three characters, stopping where the pattern ends.
        for (int i = dot + 1; i < filter.size() && i <= dot + 3; ++i) {
            const QChar c = filter[i];
            if (!c.isLetterOrNumber() && c != QLatin1Char('_'))
                break;
            result.defaultExtension += c;
        }
    }
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        const QString& pattern = parts[i + 1];
        if (description.isEmpty() && pattern.isEmpty())
            break;
        QString patterns = pattern;
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt takes the patterns from the last parentheses of the entry.
        result.nameFilters << QStringLiteral("%1 (%2)").arg(description, patterns);
        const QString first = pattern.section(QLatin1Char(';'), 0, 0);
        const bool plain = first.startsWith(QLatin1String("*.")) && !first.mid(2).contains(QLatin1Char('*')) &&
                           !first.mid(2).contains(QLatin1Char('?'));
        result.extensions << (result.extensions.isEmpty() ? result.defaultExtension : plain ? first.mid(2) : QString());
    }
    return result;
}

void ConfigureFileDialog(QFileDialog& dialog, const QString& filter, const QString& path, bool save)
{
    const FileFilter parsed = ParseFileFilter(filter);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (!parsed.nameFilters.isEmpty())
        dialog.setNameFilters(parsed.nameFilters);
    dialog.setDefaultSuffix(parsed.defaultExtension);
    if (save && parsed.extensions.size() > 1) {
        // The extension a name without one gets follows the chosen entry.
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, parsed](const QString& chosen) {
            qsizetype entry = parsed.nameFilters.indexOf(chosen);
            if (entry < 0)
                entry = parsed.nameFilters.indexOf(dialog.selectedNameFilter());
            if (entry >= 0)
                dialog.setDefaultSuffix(parsed.extensions[entry]);
        });
    }
    if (!path.isEmpty()) {
        const QFileInfo info(path);
        if (info.isAbsolute())
            dialog.setDirectory(info.absolutePath());
        dialog.selectFile(info.fileName());
    }
}

bool ShowFileDialog(QWidget* owner, const QString& filter, QString& path, bool save, int* entry)
{
    QFileDialog dialog(owner);
    ConfigureFileDialog(dialog, filter, path, save);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    path = dialog.selectedFiles().first();
    if (entry)
        *entry = int(std::max<qsizetype>(0, dialog.nameFilters().indexOf(dialog.selectedNameFilter())));
    return true;
}

}  // namespace qv::ui
