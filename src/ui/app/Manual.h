#pragma once

#include "core/text/Languages.h"

#include <QStringList>

class QWidget;

namespace qv::ui {

// Where the manual is looked for: the executable's folder, then the
// installed documentation folder (<prefix>/share/doc/quorvane).
QStringList ManualFolders();

// The manual files for a language in the order they are tried: the
// language's own (Quorvane.pdf for the program's own language,
// Quorvane<ABBR>.pdf for a translation), then the English one, then the
// program's own; each in every folder.
QStringList ManualCandidates(LanguageId language, const QStringList& folders);

// The first candidate that exists; empty when none does.
QString FindManual(LanguageId language, const QStringList& folders);

// Opens the manual in the desktop's PDF viewer; a missing manual or viewer
// is only logged.
void OpenManual(QWidget* owner, LanguageId language);

}  // namespace qv::ui
