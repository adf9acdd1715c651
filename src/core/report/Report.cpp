#include "core/report/Report.h"

#include "core/device/DeviceRecord.h"
#include "core/text/StringIds.h"
#include "core/text/StringTable.h"
#include "core/text/Units.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace qv {

ReportPicture* Report::picture(const std::string& slot)
{
    for (ReportPicture& p : pictures)
        if (p.slot == slot)
            return &p;
    return nullptr;
}

ReportFormat ReportFormatOf(const std::string& path)
{
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos)
        return ReportFormat::None;
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    // A bare ".pdf" names no file.
    if (dot == 0 || path[dot - 1] == '/')
        return ReportFormat::None;
    if (ext == "pdf")
        return ReportFormat::Pdf;
    if (ext == "html" || ext == "htm")
        return ReportFormat::Html;
    return ReportFormat::None;
}

ReportDrive ReportDriveOf(const DeviceRecord& record, const std::string& name, const std::string& path)
{
    ReportDrive d;
    d.name = name;
    d.path = path.empty() && record.handle ? record.handle->path() : path;
    d.product.assign(record.productText, strnlen(record.productText, sizeof record.productText));
    d.revision.assign(record.revisionText, strnlen(record.revisionText, sizeof record.revisionText));
    d.sectors = record.sectorCount;
    // The drive's size as the selector and the information page state it.
    d.capacity = CapacityText(record.diskSectors ? record.diskSectors : record.sectorCount);
    if (record.handle) {
        const UsbIdentity usb = record.handle->usbIdentity();
        if (usb.known()) {
            d.usbIds = Format("%04x:%04x", usb.vendorId, usb.productId);
            d.serial = usb.serial;
            if (!usb.speedMbps.empty())
                d.usbSpeed = Format(LoadText(str::kReportUsbSpeedText).c_str(), usb.speedMbps.c_str());
        }
    }
    return d;
}

Report BeginReport(const std::string& test, RunOutcome outcome, const std::string& failure, std::time_t when)
{
    Report r;
    r.program = LoadText(str::kProductName);
    r.version = LoadText(str::kAboutVersion);
    char stamp[32] = {};
    std::tm local = {};
    localtime_r(&when, &local);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    r.created = stamp;
    r.test = test;
    r.outcome = outcome;
    switch (outcome) {
    case RunOutcome::Completed: r.outcomeText = LoadText(str::kReportCompleted); break;
    case RunOutcome::Stopped: r.outcomeText = LoadText(str::kReportStopped); break;
    case RunOutcome::Failed: r.outcomeText = LoadText(str::kReportFailed); break;
    case RunOutcome::TooLarge: r.outcomeText = LoadText(str::kSourceFileTooLarge); break;
    case RunOutcome::None: r.outcomeText = LoadText(str::kReportNotFinished); break;
    }
    if (outcome != RunOutcome::Completed)
        r.failure = failure;
    return r;
}

std::string YesNoText(bool yes)
{
    return LoadText(yes ? str::kReportYes : str::kReportNo);
}

std::string LabelValueText(int textId)
{
    std::string text = LoadText(textId);
    while (!text.empty() && (text.back() == ':' || text.back() == ' '))
        text.pop_back();
    return text;
}

std::string KilobytesPerSecondText(int32_t speed)
{
    if (speed <= 0)
        return LoadText(str::kNotMeasured);
    return std::to_string(speed) + " " + LoadText(str::kKilobytesPerSecond);
}

}  // namespace qv
