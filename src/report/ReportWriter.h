#pragma once

#include "core/files/OutputFiles.h"
#include "core/report/Report.h"

#include <functional>
#include <string>

class QString;

namespace qv::report {

// The report as one XHTML document. Every text is escaped; a picture's
// src attribute is what pictureSource gives for its index in
// report.pictures (a data: URI for the HTML file, a resource name for the
// PDF). Pictures without an image are left out.
QString ReportHtml(const Report& report, const std::function<QString(int)>& pictureSource);

// Writes the report to path as PDF or HTML, by the path's extension,
// through files: an existing file only as existing allows, and never over
// the report's drive or its files (see Report::files). False with *error
// set (what failed on what) when the format is unknown or the file is
// refused or cannot be written. Without a running Qt application the PDF
// writer runs one on the offscreen platform for the time of the call.
bool WriteReport(const Report& report, const std::string& path, OutputFiles& files, ExistingFile existing,
                 std::string* error);
bool WriteHtmlReport(const Report& report, const std::string& path, OutputFiles& files, ExistingFile existing,
                     std::string* error);
bool WritePdfReport(const Report& report, const std::string& path, OutputFiles& files, ExistingFile existing,
                    std::string* error);

// For a process without a window that may write a PDF (the command-line
// tool with --report): a Qt Gui application on the offscreen platform for
// the life of the process, made before anything makes a plain core one
// (there can be only one, and a core one cannot lay out text).
void StartOffscreenApplication();

}  // namespace qv::report
