#include "tools/cli/CommandRunner.h"

#include "core/recovery/DirectoryScanner.h"
#include "core/recovery/FileKind.h"
#include "core/recovery/FormatMask.h"
#include "core/text/Units.h"
#include "core/recovery/FoundFileList.h"
#include "core/recovery/RecoveryReport.h"
#include "core/recovery/RecoverySaving.h"
#include "core/recovery/SaveNames.h"
#include "core/recovery/SignatureScanner.h"
#include "core/text/StringTable.h"
#include "core/text/Units.h"
#include "platform/image/PosixOutputFolder.h"
#include "platform/image/PosixOutputFiles.h"
#include "core/text/StringIds.h"

#include <cerrno>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace qv::cli {
namespace {

// One run of a recovery worker (scan or save) through the tool's run
// controller, with the progress line; the figures stay in the record.
class WorkerRun : public RunPresenter, private RunView {
public:
    explicit WorkerRun(CommandRun& run) : RunPresenter(run.context(), run.runs(), *this), run_(run) {}
    bool Start(RunController::Worker worker) { return startRun(std::move(worker)); }

private:
    void onActive(int32_t, int64_t value) override
    {
        // Positions come in thousandths; string ids (109) are no position.
        if (value >= 0 && value <= 1000)
            run_.showProgress(Format("%lld.%lld %%", (long long)(value / 10), (long long)(value % 10)));
    }
    void showRunState(bool, bool) override {}
    void showFailure(const std::string&, const std::string&) override {}
    CommandRun& run_;
};

// Runs worker to its end; its outcome.
RunOutcome runWorker(CommandRun& run, RunController::Worker worker)
{
    WorkerRun scan(run);
    if (!scan.Start(std::move(worker)))
        return RunOutcome::Failed;
    run.runToIdle(scan);
    return scan.outcome();
}

nlohmann::json rowsJson(const MemoryFoundFileList& list, bool directoryMode)
{
    nlohmann::json rows = nlohmann::json::array();
    for (int i = 0; i < list.rowCount(); ++i) {
        const auto& row = list.row(i);
        const FoundFile& f = *row.file;
        if (directoryMode)
            rows.push_back({{"name", row.text},
                            {"cluster", f.startCluster},
                            {"length", f.entryLength},
                            {"directory_sector", f.directorySector},
                            {"entry", f.entryIndex}});
        else
            rows.push_back({{"name", f.name},
                            {"kind", KindExtension(f.kind)},
                            {"sector", f.startSector},
                            {"length", f.length}});
    }
    return rows;
}

void printRows(const MemoryFoundFileList& list, bool directoryMode)
{
    for (int i = 0; i < list.rowCount(); ++i) {
        const auto& row = list.row(i);
        const FoundFile& f = *row.file;
        if (directoryMode)
            std::printf("%s  cluster %u  length %u  entry %llu/%d\n", row.text.c_str(), f.startCluster,
                        f.entryLength, (unsigned long long)f.directorySector, f.entryIndex);
        else
            std::printf("%s  %s  sector %llu  length %d\n", f.name.c_str(), KindExtension(f.kind),
                        (unsigned long long)f.startSector, f.length);
    }
}

int recover(CommandRun& run)
{
    const std::string out = run.value("--out");
    const bool directoryMode = run.flag("--directory-mode"), listOnly = run.flag("--list-only");
    uint64_t mask = 0;
    nlohmann::json kinds = nlohmann::json::array();
    for (const std::string& extension : run.values("--kind")) {
        const int kind = KindForExtension(extension.c_str());
        if (kind == 0)
            return run.usage("unknown kind '" + extension + "' (one of the twenty extensions, such as jpg)");
        mask |= KindMaskBit(kind);
        kinds.push_back(extension);
    }
    if (!out.empty() && listOnly)
        return run.usage("--list-only saves nothing, so --out has no use with it");
    if (out.empty() && !listOnly)
        return run.usage("no output folder given (--out DIR, or --list-only)");

    SharedContext& context = run.context();
    DeviceRecord& record = run.record();
    const std::string volumePath = run.drivePath();
    std::string error;
    // The folder is checked before the whole drive is scanned: there, or to
    // be made in a writable parent, and not on the drive (nor in a file
    // system mounted from the image being scanned).
    PosixOutputFiles outputs;
    RunFailure refusal;
    if (!listOnly && !outputs.checkFolder(out, {volumePath, {}}, &refusal))
        return run.fail(FailureText(refusal));
    MemoryFoundFileList list;
    context.status->listControl = &list;
    SetFormatMask(mask ? mask : kAllFormatsMask);

    nlohmann::json report = {
        {"settings", {{"out", out}, {"kinds", kinds}, {"directory_mode", directoryMode}, {"list_only", listOnly}}}};
    bool scanCompleted = false;
    std::vector<std::string> savedAs;
    auto finish = [&](RunOutcome outcome, int code, const std::string& failure, int saved) {
        report["result"] = {{"files", rowsJson(list, directoryMode)},
                            {"found", list.rowCount()},
                            {"bytes", record.foundBytes},
                            {"read_errors", record.readErrors},
                            {"reads_past_end", record.readsPastEnd},
                            {"saved", saved},
                            {"saved_as", savedAs}};
        report["outcome"] = OutcomeName(outcome);
        report["failure"] = failure;
        if (run.wantsReport()) {
            RecoveryScanSummary scan;
            scan.directoryMode = directoryMode;
            scan.formatMask = mask;
            scan.outcome = outcome;
            scan.failure = failure;
            scan.percent = scanCompleted ? "100 %" : "";
            scan.files = std::to_string(list.rowCount());
            scan.total = FormatSizeText(record.foundBytes);
            scan.readErrors = std::to_string(record.readErrors);
            run.setReport(RecoveryReport(scan, &record, list));
        }
        return run.finish(report, code);
    };

    RunOutcome outcome = runWorker(run, [directoryMode](SharedContext& c) {
        directoryMode ? ScanDeletedEntries(c) : ScanSignatures(c);
    });
    scanCompleted = outcome == RunOutcome::Completed;
    if (!run.json()) {
        printRows(list, directoryMode);
        if (directoryMode)
            std::printf("files %d\n", list.rowCount());
        else
            std::printf("files %d  total %" PRIu64 " bytes (%s)  read errors %d  of them past the medium's end %d\n",
                        record.foundCount, record.foundBytes, FormatSizeText(record.foundBytes).c_str(),
                        record.readErrors, record.readsPastEnd);
    }
    if (outcome != RunOutcome::Completed) {
        std::string failure = FailureText(context.status->failure);
        if (failure.empty())
            failure = outcome == RunOutcome::Stopped ? "stopped" : "the scan failed";
        if (outcome != RunOutcome::Stopped)
            run.note("the scan of " + volumePath + " failed: " + failure);
        return finish(outcome, ExitCodeFor(outcome, false), failure, 0);
    }
    // A length rule that reads past the medium's end finds no fault of the medium.
    const bool faults = record.readErrors > record.readsPastEnd;
    if (listOnly || list.rowCount() == 0)
        return finish(outcome, ExitCodeFor(outcome, faults), "", 0);

    // Made now that there is something to save; checked again, as it may
    // have changed during the scan.
    if (mkdir(out.c_str(), 0777) != 0 && errno != EEXIST)
        refusal.set(str::kFailedCreate, out, errno);
    if (!refusal.empty() || !outputs.checkFolder(out, {volumePath, {}}, &refusal)) {
        error = FailureText(refusal);
        run.note(error);
        return finish(RunOutcome::Failed, kExitFailed, error, 0);
    }
    list.setAllChecked(true);
    PosixOutputFolder folder(out);
    int saved = 0;
    outcome = runWorker(run, [&folder, &saved, &error, &savedAs, directoryMode](SharedContext& c) {
        saved = directoryMode ? RecoverDeletedEntries(c, folder, &error, &savedAs)
                              : RecoverToFolder(c, folder, &error, &savedAs);
    });
    if (outcome == RunOutcome::Stopped)
        run.setStopState(LoadTextWith(str::kStopRecoverySaved, {std::to_string(savedAs.size()), out}));
    if (!saved || outcome != RunOutcome::Completed) {
        if (error.empty())
            error = OutcomeName(outcome);
        if (outcome != RunOutcome::Stopped)
            run.note("saving failed: " + error);
        return finish(outcome == RunOutcome::Completed ? RunOutcome::Failed : outcome, kExitFailed, error,
                      int(savedAs.size()));
    }
    if (!run.json()) {
        std::printf("saved %d files into %s\n", list.rowCount(), out.c_str());
        // Names that differ from the list's: nothing in the folder was replaced.
        int renamed = 0;
        for (int i = 0; i < list.rowCount() && i < int(savedAs.size()); ++i) {
            const std::string& listed = list.row(i).file->name;
            if (savedAs[size_t(i)] != (directoryMode ? TrimmedEntryName(listed) : listed) && renamed++ < 10)
                std::printf("  %s saved as %s\n", listed.c_str(), savedAs[size_t(i)].c_str());
        }
        if (renamed > 10)
            std::printf("  ... and %d more saved under other names\n", renamed - 10);
        if (renamed)
            std::printf("%d files were given other names: nothing already in %s is replaced, and no two "
                        "share a name\n",
                        renamed, out.c_str());
    }
    return finish(outcome, ExitCodeFor(outcome, faults), "", list.rowCount());
}

const CommandSpec kSpec = {
    "recover",
    "find files by their signatures (or deleted FAT entries) and save them",
    "Scans every sector of DRIVE for the signatures of twenty file kinds,\n"
    "prints each found file's name, kind, first sector and length and the\n"
    "counters, then saves every found file into DIR as 00000001.jpg, ...\n"
    "Nothing in DIR is replaced: numbering goes on past the numbered files\n"
    "already there, and deleted entries of the same name become NAME-2.EXT.",
    {
        {"--out", "DIR", "folder for the recovered files, checked before the scan;\n"
                         "                     refused when it lies on the drive being scanned"},
        {"--kind", "EXT", "look only for this kind (jpg, mov, avi, png, gif, bmp,\n"
                          "                     tif, mpg, wmv, wma, wav, mp3, zip, rar, pdf, doc, xls,\n"
                          "                     ppt, pps, mts); repeatable; default all"},
        {"--directory-mode", nullptr, "list the deleted entries of a FAT12/FAT16 volume's\n"
                                      "                     directories instead, and save them under their names"},
        {"--list-only", nullptr, "scan and list, save nothing"},
    },
    true,
    "Exit codes: 0 done, 1 done with read errors, 2 bad arguments, 3 failed or stopped.\n",
};

int runRecover(const std::vector<std::string>& args)
{
    return RunCommand(kSpec, args, recover);
}

}  // namespace

extern const Command kRecoverCommand = {kSpec.name, kSpec.synopsis, HelpText(kSpec), runRecover};

}  // namespace qv::cli
