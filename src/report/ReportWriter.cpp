#include "report/ReportWriter.h"

#include "core/run/RunFailure.h"
#include "core/text/StringIds.h"
#include "core/text/StringTable.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>
#include <QUrl>

#include <memory>

namespace qv::report {
namespace {

QString esc(const std::string& text)
{
    return QString::fromStdString(text).toHtmlEscaped();
}

QString label(int id)
{
    return esc(LoadText(id));
}

// One row of a two-column table; rows with an empty value are left out
// unless keepEmpty.
void row(QString& html, const QString& key, const std::string& value, bool keepEmpty = false)
{
    if (value.empty() && !keepEmpty)
        return;
    html += QStringLiteral("<tr><th>%1</th><td>%2</td></tr>\n").arg(key, esc(value));
}

const char kStyle[] =
    "body { font-family: 'Liberation Sans', 'DejaVu Sans', sans-serif; font-size: 10pt; color: #000; }\n"
    "h1 { font-size: 16pt; color: #183878; }\n"
    "h2 { font-size: 12pt; color: #183878; margin-top: 14px; }\n"
    "h3 { font-size: 10pt; margin-bottom: 2px; }\n"
    "th { text-align: left; font-weight: normal; color: #404040; padding-right: 16px; }\n"
    "td { padding-right: 8px; }\n"
    ".failed { color: #c00000; font-weight: bold; }\n"
    ".error { color: #c00000; }\n";

// The report's bytes under path, never over its drive or its files.
bool saveBytes(const QByteArray& bytes, const Report& r, const std::string& path, OutputFiles& files,
               ExistingFile existing, std::string* error)
{
    RunFailure failure;
    std::unique_ptr<NewFile> file = files.create(path, existing, {r.drive.path, r.files}, &failure);
    if (file) {
        if (const int code = file->write(bytes.constData(), size_t(bytes.size())))
            failure.set(str::kFailedWrite, path, code);
        else if (file->commit(&failure) == 0)
            return true;
    }
    if (error)
        *error = FailureText(failure);
    return false;
}

}  // namespace

QString ReportHtml(const Report& r, const std::function<QString(int)>& pictureSource)
{
    const bool english = LoadText(str::kReportTitle) != BuiltinText(str::kReportTitle);
    const QString title = label(str::kReportTitle) + QStringLiteral(": ") + esc(r.test);
    QString html = QStringLiteral("<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"%1\">\n"
                                  "<head>\n<meta charset=\"utf-8\"/>\n<title>%2</title>\n<style>\n%3</style>\n"
                                  "</head>\n<body>\n<h1>%2</h1>\n<table>\n")
                       .arg(english ? "en" : "ru", title, QString::fromLatin1(kStyle));
    row(html, label(str::kReportProgram), r.program + " " + r.version);
    row(html, label(str::kReportCreated), r.created);
    const bool failed = r.outcome != RunOutcome::Completed;
    html += QStringLiteral("<tr><th>%1</th><td%2>%3</td></tr>\n")
                .arg(label(str::kReportOutcome), failed ? QStringLiteral(" class=\"failed\"") : QString(),
                     esc(r.outcomeText));
    row(html, label(str::kReportReason), r.failure);
    html += QStringLiteral("</table>\n");

    const ReportDrive& d = r.drive;
    html += QStringLiteral("<h2>%1</h2>\n<table>\n").arg(label(str::kReportDrive));
    row(html, label(str::kReportDevice), d.name.empty() ? d.path : d.path.empty() ? d.name : d.name + " (" + d.path + ")");
    row(html, label(str::kReportProduct), d.product, true);
    row(html, label(str::kReportRevision), d.revision);
    row(html, label(str::kReportCapacity), d.capacity);
    row(html, label(str::kReportUsbIds), d.usbIds);
    row(html, label(str::kReportSerial), d.serial);
    row(html, label(str::kReportUsbSpeed), d.usbSpeed);
    html += QStringLiteral("</table>\n");

    if (!r.settings.empty()) {
        html += QStringLiteral("<h2>%1</h2>\n<table>\n").arg(label(str::kReportSettings));
        for (const ReportRow& s : r.settings)
            row(html, esc(s.label), s.value, true);
        html += QStringLiteral("</table>\n");
    }

    bool picturesHeading = false;
    for (size_t i = 0; i < r.pictures.size(); ++i) {
        const ReportPicture& p = r.pictures[i];
        if (p.png.empty())
            continue;
        if (!picturesHeading)
            html += QStringLiteral("<h2>%1</h2>\n").arg(label(str::kReportPictures));
        picturesHeading = true;
        const QImage image = QImage::fromData(reinterpret_cast<const uchar*>(p.png.data()), int(p.png.size()));
        // Caption and picture in one paragraph, so that a page break never
        // parts them.
        html += QStringLiteral("<p class=\"picture\"><b>%1</b><br/>"
                               "<img src=\"%2\" alt=\"%1\" width=\"%3\" height=\"%4\"/></p>\n")
                    .arg(esc(p.caption), pictureSource(int(i)).toHtmlEscaped())
                    .arg(image.width())
                    .arg(image.height());
    }

    if (!r.figures.empty()) {
        html += QStringLiteral("<h2>%1</h2>\n").arg(label(str::kReportResults));
        for (const ReportSection& section : r.figures) {
            if (!section.heading.empty())
                html += QStringLiteral("<h3>%1</h3>\n").arg(esc(section.heading));
            html += QStringLiteral("<table>\n");
            for (const ReportRow& f : section.rows)
                row(html, esc(f.label), f.value.empty() ? "-" : f.value);
            html += QStringLiteral("</table>\n");
        }
    }

    for (const ReportTable& table : r.tables) {
        html += QStringLiteral("<h2>%1</h2>\n<table>\n<tr>").arg(esc(table.heading));
        for (const std::string& column : table.columns)
            html += QStringLiteral("<th>%1</th>").arg(esc(column));
        html += QStringLiteral("</tr>\n");
        for (const std::vector<std::string>& cells : table.rows) {
            html += QStringLiteral("<tr>");
            for (const std::string& cell : cells)
                html += QStringLiteral("<td>%1</td>").arg(esc(cell));
            html += QStringLiteral("</tr>\n");
        }
        html += QStringLiteral("</table>\n");
        if (!table.note.empty())
            html += QStringLiteral("<p>%1</p>\n").arg(esc(table.note));
    }

    if (!r.log.empty()) {
        html += QStringLiteral("<h2>%1</h2>\n<table>\n").arg(label(str::kReportLog));
        for (const ReportLogLine& line : r.log)
            html += QStringLiteral("<tr%1><td>%2</td><td>%3</td></tr>\n")
                        .arg(line.error ? QStringLiteral(" class=\"error\"") : QString(), esc(line.time),
                             esc(line.text));
        html += QStringLiteral("</table>\n");
    }
    html += QStringLiteral("</body>\n</html>\n");
    return html;
}

bool WriteHtmlReport(const Report& r, const std::string& path, OutputFiles& files, ExistingFile existing,
                     std::string* error)
{
    const QString html = ReportHtml(r, [&r](int i) {
        const std::string& png = r.pictures[size_t(i)].png;
        return QStringLiteral("data:image/png;base64,") +
               QString::fromLatin1(QByteArray(png.data(), qsizetype(png.size())).toBase64());
    });
    return saveBytes(html.toUtf8(), r, path, files, existing, error);
}

bool WritePdfReport(const Report& r, const std::string& path, OutputFiles& files, ExistingFile existing,
                    std::string* error)
{
    // Fonts and the text layout need a Gui application; the command-line
    // tool has none, so one lives on the offscreen platform for this call.
    std::unique_ptr<QGuiApplication> offscreen;
    if (!QCoreApplication::instance()) {
        static int argc = 3;
        static char name[] = "quorvane", option[] = "-platform", platform[] = "offscreen";
        static char* argv[] = {name, option, platform, nullptr};
        offscreen = std::make_unique<QGuiApplication>(argc, argv);
    } else if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (error)
            *error = LoadText(str::kFailedCreate) + " " + path + ": no Gui application";
        return false;
    }

    QTextDocument document;
    for (size_t i = 0; i < r.pictures.size(); ++i) {
        const std::string& png = r.pictures[i].png;
        if (!png.empty())
            document.addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("picture:%1").arg(i)),
                                 QImage::fromData(reinterpret_cast<const uchar*>(png.data()), int(png.size())));
    }
    document.setHtml(ReportHtml(r, [](int i) { return QStringLiteral("picture:%1").arg(i); }));

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        pdf.setTitle(QString::fromStdString(LoadText(str::kReportTitle) + ": " + r.test));
        pdf.setCreator(QString::fromStdString(r.program + " " + r.version));
        document.print(&pdf);
    }
    if (buffer.data().isEmpty()) {
        if (error)
            *error = LoadText(str::kFailedCreate) + " " + path;
        return false;
    }
    return saveBytes(buffer.data(), r, path, files, existing, error);
}

void StartOffscreenApplication()
{
    if (QCoreApplication::instance())
        return;
    static int argc = 3;
    static char name[] = "quorvane", option[] = "-platform", platform[] = "offscreen";
    static char* argv[] = {name, option, platform, nullptr};
    static QGuiApplication app(argc, argv);
}

bool WriteReport(const Report& r, const std::string& path, OutputFiles& files, ExistingFile existing,
                 std::string* error)
{
    switch (ReportFormatOf(path)) {
    case ReportFormat::Pdf: return WritePdfReport(r, path, files, existing, error);
    case ReportFormat::Html: return WriteHtmlReport(r, path, files, existing, error);
    case ReportFormat::None: break;
    }
    if (error)
        *error = LoadText(str::kFailedCreate) + " " + path + ": a report is a .pdf or .html file";
    return false;
}

}  // namespace qv::report
