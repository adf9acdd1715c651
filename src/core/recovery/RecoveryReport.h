#pragma once

#include "core/report/Report.h"

#include <cstdint>
#include <string>

namespace qv {

class FoundFileList;
struct DeviceRecord;

// A report holds this many found files; the rest are counted in a note.
inline constexpr int kReportFoundFileRows = 1000;

// What a recovery scan ran with and showed, in the page's own texts.
struct RecoveryScanSummary {
    bool directoryMode = false;
    uint64_t formatMask = 0;  // the kinds chosen (signature mode)
    RunOutcome outcome = RunOutcome::None;
    std::string failure;
    std::string percent, files, total, readErrors;
};

// The report of a recovery scan: mode and formats, the counters, and the
// found files as a table (name, format, first sector, length; name and
// length in directory mode), capped at kReportFoundFileRows rows.
Report RecoveryReport(const RecoveryScanSummary& scan, const DeviceRecord* record, const FoundFileList& found);

}  // namespace qv
