#include "tools/cli/CommandRunner.h"
#include "tools/cli/TransferView.h"

#include "core/mediatests/BackupRestorePresenter.h"
#include "platform/image/PosixImageFiles.h"

#include <cstdio>
#include <sys/stat.h>

namespace qv::cli {
namespace {

int backup(CommandRun& run)
{
    TransferSettings settings;
    const std::string compress = run.value("--compress");
    if (run.flag("--compress") && compress != "zstd")
        return run.usage("--compress takes zstd");
    if (compress == "zstd")
        settings.compression = ImageCompression::Zstd;
    settings.checksum = !run.flag("--no-checksum");
    std::string file = run.operand(0);
    if (settings.compression == ImageCompression::Zstd && (file.size() < 4 || file.compare(file.size() - 4, 4, ".zst")))
        file += ".zst";
    struct stat st;
    settings.replace = run.flag("--force");
    if (!settings.replace && lstat(file.c_str(), &st) == 0)
        return run.usage(file + " exists; add --force to replace it");
    if (const int code = run.addRunFile(file))
        return code;
    if (settings.checksum && run.addRunFile(file + ".sha256"))
        return kExitUsage;

    TransferView view(run, TransferKind::Backup, file);
    PosixImageFiles files;
    BackupRestorePresenter presenter(run.context(), run.runs(), view, files);
    if (!presenter.StartBackup(settings))
        return run.fail(run.drivePath() + ": the backup could not be started");
    run.runToIdle(presenter);

    const bool done = presenter.outcome() == RunOutcome::Completed;
    if (done && !run.json())
        std::printf("%s: %llu sectors saved into %s%s\n", run.drivePath().c_str(),
                    (unsigned long long)presenter.sectors(), presenter.imagePath().c_str(),
                    settings.checksum ? (", SHA-256 in " + presenter.imagePath() + ".sha256").c_str() : "");
    // What a stop or a failure kept, and that it is no complete image.
    nlohmann::json partial = nullptr;
    if (!done && presenter.imageBegun()) {
        // A stop prints it with the drive's state.
        if (presenter.outcome() != RunOutcome::Stopped)
            run.note(presenter.partialText());
        partial = {{"file", presenter.partial().path}, {"sectors", presenter.partial().sectors}};
        if (!presenter.partial().path.empty())
            run.addRunFile(presenter.partial().path);
    }
    if (run.wantsReport())
        run.setReport(presenter.report());
    return run.finish({{"settings",
                        {{"file", file},
                         {"compress", settings.compression == ImageCompression::Zstd ? "zstd" : "none"},
                         {"checksum", settings.checksum},
                         {"force", settings.replace}}},
                       {"result",
                        {{"sectors", presenter.sectors()},
                         {"image", done ? presenter.imagePath() : ""},
                         {"checksum_file", done && settings.checksum ? presenter.imagePath() + ".sha256" : ""},
                         {"partial", partial}}},
                       {"outcome", OutcomeName(presenter.outcome())},
                       {"failure", presenter.failureText()}},
                      ExitCodeFor(presenter.outcome(), false));
}

const CommandSpec kSpec = {
    "backup",
    "save every sector of a drive into an image file",
    "Reads every sector of DRIVE into FILE, a plain image (or a zstd stream\n"
    "with --compress zstd, FILE.zst), and leaves FILE.sha256 beside it in the\n"
    "form sha256sum -c checks. The room for a plain image is reserved first:\n"
    "a target without it fails before anything is read. FILE takes its name\n"
    "only when it is complete; a stopped or failed backup keeps what it read\n"
    "in FILE.partial (no checksum file) and says how many sectors it holds,\n"
    "and leaves an existing FILE and FILE.sha256 as they were.",
    {
        {"--compress", "zstd", "write a zstd stream"},
        {"--no-checksum", nullptr, "leave no FILE.sha256"},
        {"--force", nullptr, "replace FILE (and FILE.sha256) when it is a regular file,\n"
                             "                     once the new image is complete"},
    },
    true,
    "Exit codes: 0 saved, 2 bad arguments, 3 failed or stopped.\n",
    false,
    {"FILE"},
};

int runBackup(const std::vector<std::string>& args)
{
    return RunCommand(kSpec, args, backup);
}

}  // namespace

extern const Command kBackupCommand = {kSpec.name, kSpec.synopsis, HelpText(kSpec), runBackup};

}  // namespace qv::cli
