#pragma once

#include <QString>
#include <QStringList>

class QFileDialog;
class QWidget;

namespace qv::ui {

// A "|"-separated filter of description and pattern pairs ending in "||",
// as the dialog wants it: name filters and the default extension (at most
// three characters after the filter's first '.').
struct FileFilter {
    QStringList nameFilters;
    QString defaultExtension;
    // What a save adds to a name without an extension under each entry:
    // the first entry's default extension, for the others their first
    // pattern without its "*." ("qvn.zst"), empty for a pattern like "*".
    QStringList extensions;
};
FileFilter ParseFileFilter(const QString& filter);

// Sets up a dialog for ShowFileDialog (separate so the tests can look at it).
void ConfigureFileDialog(QFileDialog& dialog, const QString& filter, const QString& path, bool save);

// The open or save dialog; a save asks before overwriting. True with the
// chosen path in path when the user confirmed, and in *entry (if given)
// the index of the filter entry chosen.
bool ShowFileDialog(QWidget* owner, const QString& filter, QString& path, bool save, int* entry = nullptr);

}  // namespace qv::ui
