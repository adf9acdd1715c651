#include "core/recovery/RecoveryReport.h"

#include "core/device/DeviceRecord.h"
#include "core/recovery/FileKind.h"
#include "core/recovery/FormatMask.h"
#include "core/recovery/FoundFileList.h"
#include "core/text/StringIds.h"
#include "core/text/StringTable.h"
#include "core/text/Units.h"

namespace qv {
namespace {

// The chosen kinds by their labels on the page, in the page's order.
std::string formatsText(uint64_t mask)
{
    if ((mask & kAllFormatsMask) == kAllFormatsMask || mask == 0)
        return LoadText(str::kAllSupportedFormats);
    std::string text;
    for (int entry = 0; entry < kKindCount; ++entry) {
        const int kind = KindAtListEntry(entry);
        if (!(mask & KindMaskBit(kind)))
            continue;
        text += (text.empty() ? "" : ", ") + LoadText(KindLabelId(kind));
    }
    return text;
}

}  // namespace

Report RecoveryReport(const RecoveryScanSummary& scan, const DeviceRecord* record, const FoundFileList& found)
{
    Report r = BeginReport(LoadText(str::kRecovery), scan.outcome, scan.failure);
    if (record)
        r.drive = ReportDriveOf(*record);
    r.settings.push_back(
        {LoadText(str::kReportRecoveryMode), LoadText(scan.directoryMode ? str::kDirectoryModeText : str::kSignatureModeText)});
    if (!scan.directoryMode)
        r.settings.push_back({LoadText(str::kFormatLabel), formatsText(scan.formatMask)});
    r.figures.push_back({{},
                         {{LoadText(str::kReportProgress), scan.percent},
                          {LoadText(str::kFoundFilesLabel), scan.files},
                          {LoadText(str::kFoundTotalLabel), scan.total},
                          {LoadText(str::kRecoveryReadErrorsLabel), scan.readErrors}}});

    ReportTable table{LoadText(str::kReportFoundFiles), {LoadText(str::kFileColumn)}, {}, {}};
    if (!scan.directoryMode)
        table.columns.insert(table.columns.end(), {LoadText(str::kFormatLabel), LoadText(str::kReportFirstSector)});
    table.columns.push_back(LoadText(str::kLengthColumn));
    for (const FoundRow& row : found.firstRows(kReportFoundFileRows)) {
        const FoundFile& f = row.file;
        if (scan.directoryMode)
            table.rows.push_back({row.text, std::to_string(f.entryLength)});
        else
            table.rows.push_back({f.name, KindExtension(f.kind), std::to_string(f.startSector),
                                  std::to_string(f.length)});
    }
    const int count = found.rowCount();
    if (count > int(table.rows.size()))
        table.note = Format(LoadText(str::kReportRowsCapped).c_str(), int(table.rows.size()), count);
    if (!table.rows.empty())
        r.tables.push_back(std::move(table));
    return r;
}

}  // namespace qv
