#pragma once

#include "core/files/OutputFiles.h"

#include <QString>

class QFileDialog;

namespace qv::ui {

class TestPage;

// Sets up the save dialog of a report: PDF and HTML filters, the file
// named after the test and the drive, and the default extension following
// the chosen filter.
void ConfigureReportDialog(QFileDialog& dialog, const QString& suggestedName);

// The path with the extension of the chosen filter when it has neither
// .pdf nor .html.
QString ReportPathFor(const QString& path, const QString& selectedFilter);

// Asks for a file and saves the page's report there through files (the
// dialog asked before replacing; never over the run's drive or files); a
// failure says what failed on what. False when nothing was saved.
bool SaveReport(TestPage& page, OutputFiles& files);

}  // namespace qv::ui
