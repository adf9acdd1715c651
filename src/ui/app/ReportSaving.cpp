#include "ui/app/ReportSaving.h"

#include "core/text/StringIds.h"
#include "report/ReportWriter.h"
#include "ui/app/FileDialog.h"
#include "ui/app/MessageBox.h"
#include "ui/app/TestPage.h"
#include "ui/app/Text.h"

#include <QFileDialog>

namespace qv::ui {
namespace {

bool htmlFilter(const QString& filter)
{
    return filter.contains(QLatin1String("*.html"));
}

}  // namespace

void ConfigureReportDialog(QFileDialog& dialog, const QString& suggestedName)
{
    ConfigureFileDialog(dialog, Text(str::kReportPdfFilter) + Text(str::kReportHtmlFilter), suggestedName, true);
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
        dialog.setDefaultSuffix(htmlFilter(filter) ? QStringLiteral("html") : QStringLiteral("pdf"));
    });
}

QString ReportPathFor(const QString& path, const QString& selectedFilter)
{
    if (ReportFormatOf(path.toStdString()) != ReportFormat::None)
        return path;
    return path + (htmlFilter(selectedFilter) ? QStringLiteral(".html") : QStringLiteral(".pdf"));
}

bool SaveReport(TestPage& page, OutputFiles& files)
{
    if (!page.canSaveReport())
        return false;
    const Report report = page.makeReport();
    QString name = QString::fromStdString(report.program + " " + report.test + " " + report.drive.product)
                       .simplified()
                       .replace(QLatin1Char('/'), QLatin1Char('_'));
    QFileDialog dialog(&page);
    ConfigureReportDialog(dialog, name + QStringLiteral(".pdf"));
    dialog.setWindowTitle(Text(str::kSaveReportItem).remove(QChar(0x2026)));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    const QString path = ReportPathFor(dialog.selectedFiles().first(), dialog.selectedNameFilter());
    std::string error;
    if (report::WriteReport(report, path.toStdString(), files, ExistingFile::ReplaceRegular, &error))
        return true;
    ShowMessage(&page, MessageKind::Error, Text(str::kReportNotSaved) + QLatin1Char('\n') + QString::fromStdString(error),
                QString::fromStdString(report.program));
    return false;
}

}  // namespace qv::ui
