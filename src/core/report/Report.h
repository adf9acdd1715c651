#pragma once

#include "core/run/RunPresenter.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace qv {

struct DeviceRecord;

// A label and the text shown beside it ("Errors:" "0.000 %").
struct ReportRow {
    std::string label;
    std::string value;
};

// A titled group of rows (the figures of the write test, of the read test).
struct ReportSection {
    std::string heading;
    std::vector<ReportRow> rows;
};

// A picture of the run: a named slot the presenter declares and the page or
// the command-line tool fills with a PNG (a block map, a chart). A slot
// left empty is not shown.
struct ReportPicture {
    std::string slot;     // one of the slot names below
    std::string caption;  // in the interface's language
    std::string png;      // the encoded image, empty until filled
};

// The slots the presenters declare and the pages and the command line fill.
inline constexpr const char* kWriteMapSlot = "write-map";
inline constexpr const char* kReadMapSlot = "read-map";
inline constexpr const char* kSpeedChartSlot = "speed-chart";
inline constexpr const char* kFileSpeedChartSlot = "file-speed-chart";

// A list with columns (the files a recovery scan found); a note says what
// was left out when the list was longer than a report holds.
struct ReportTable {
    std::string heading;
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;
    std::string note;
};

// One line of the page's log.
struct ReportLogLine {
    std::string time;
    std::string text;
    bool error = false;
};

// What is known of the drive. The texts the device record holds are always
// there; the USB fields come from the volume the platform opened and stay
// empty (and are left out) for an image file or a disk not on USB.
struct ReportDrive {
    std::string name;      // sdb, img1
    std::string path;      // /dev/sdb or the image file
    std::string product;   // the product text
    std::string revision;  // the revision text
    uint64_t sectors = 0;  // 512-byte sectors
    std::string capacity;  // "4 GB (4005560320 bytes, 7823360 sectors)"
    std::string usbIds;    // "0951:1666"
    std::string serial;
    std::string usbSpeed;  // "480 Mbit/s"
};

// The report of one run on one page: who made it and when, on which drive,
// what was run with which settings, what it showed and how it ended. Every
// text is already in the interface's language.
struct Report {
    std::string program;  // "Quorvane"
    std::string version;  // "Version 2.00"
    std::string created;  // local date and time, "2026-12-08 10:50:01"
    std::string test;     // the page's title
    ReportDrive drive;
    std::vector<ReportRow> settings;
    std::vector<ReportSection> figures;
    std::vector<ReportPicture> pictures;
    std::vector<ReportTable> tables;
    std::vector<ReportLogLine> log;
    RunOutcome outcome = RunOutcome::None;
    std::string outcomeText;  // "Completed", "Failed", ...
    std::string failure;      // what failed on what, for a failed run
    // Files the run read or wrote beside the drive (an image, its checksum):
    // the report is never written over them, nor is it over the drive.
    std::vector<std::string> files;

    // The picture of that slot, or null.
    ReportPicture* picture(const std::string& slot);
};

// Where a report goes, by the file's extension (.pdf, .html or .htm, in any
// case); None for anything else.
enum class ReportFormat { None, Pdf, Html };
ReportFormat ReportFormatOf(const std::string& path);

// The drive's identity from its record; name and path as the caller knows
// them (the record's handle path when path is empty).
ReportDrive ReportDriveOf(const DeviceRecord& record, const std::string& name = {}, const std::string& path = {});

// A report begun with the program, the version, the local time `when`, the
// test's title and the run's outcome (with its failure text).
Report BeginReport(const std::string& test, RunOutcome outcome, const std::string& failure,
                   std::time_t when = std::time(nullptr));

// "yes" / "no" in the interface's language, for settings rows.
std::string YesNoText(bool yes);

// A page's label text without its trailing colon ("Quick erase:" as a value).
std::string LabelValueText(int textId);

// A speed in KB/s as the file benchmark's chart writes it; "not measured"
// for a size that was not (yet) measured.
std::string KilobytesPerSecondText(int32_t speed);

}  // namespace qv
