#pragma once

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

// Writes the report to path as PDF or HTML, by the path's extension. False
// with *error set ("cannot write PATH: reason") when the format is unknown
// or the file cannot be written. Without a running Qt application the PDF
// writer runs one on the offscreen platform for the time of the call.
bool WriteReport(const Report& report, const std::string& path, std::string* error);
bool WriteHtmlReport(const Report& report, const std::string& path, std::string* error);
bool WritePdfReport(const Report& report, const std::string& path, std::string* error);

// For a process without a window that may write a PDF (the command-line
// tool with --report): a Qt Gui application on the offscreen platform for
// the life of the process, made before anything makes a plain core one
// (there can be only one, and a core one cannot lay out text).
void StartOffscreenApplication();

}  // namespace qv::report
