#pragma once

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

// Asks for a file and saves the page's report there; a failure says what
// failed on what. False when nothing was saved.
bool SaveReport(TestPage& page);

}  // namespace qv::ui
