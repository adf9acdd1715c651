#include "tools/cli/CommandRunner.h"
#include "tools/cli/TransferView.h"

#include "core/mediatests/BackupRestorePresenter.h"
#include "platform/image/PosixImageFiles.h"

#include <cstdio>

namespace qv::cli {
namespace {

int restore(CommandRun& run)
{
    if (!run.flag("--yes"))
        return run.usage("the restore overwrites " + run.drivePath() + " with " + run.operand(0) +
                         "; add --yes to go ahead");
    TransferSettings settings;
    settings.verify = !run.flag("--no-verify");
    if (const int code = run.addRunFile(run.operand(0)))
        return code;

    TransferView view(run, TransferKind::Restore, run.operand(0));
    PosixImageFiles files;
    BackupRestorePresenter presenter(run.context(), run.runs(), view, files);
    if (!presenter.StartRestore(settings))
        return run.fail(run.drivePath() + ": the restore could not be started");
    run.runToIdle(presenter);

    const bool done = presenter.outcome() == RunOutcome::Completed;
    if (done && !run.json())
        std::printf("%s: %llu sectors written from %s%s\n", run.drivePath().c_str(),
                    (unsigned long long)presenter.sectors(), run.operand(0).c_str(),
                    settings.verify ? " and read back equal" : "");
    if (run.wantsReport())
        run.setReport(presenter.report());
    return run.finish({{"settings", {{"file", run.operand(0)}, {"verify", settings.verify}}},
                       {"result", {{"sectors", presenter.sectors()}, {"verified", done && settings.verify}}},
                       {"outcome", OutcomeName(presenter.outcome())},
                       {"failure", presenter.failureText()}},
                      ExitCodeFor(presenter.outcome(), false));
}

const CommandSpec kSpec = {
    "restore",
    "write an image file back onto a drive",
    "Writes FILE onto DRIVE from its first sector, after zeroing sectors 0 to\n"
    "1024, then reads the drive back past the cache and compares it with\n"
    "FILE. FILE may be a plain image or a gzip, xz, zstd or bzip2 stream of\n"
    "one (recognised by its content). An image larger than the drive is\n"
    "refused before anything is written.",
    {
        {"--yes", nullptr, "confirm: the data on the drive are lost"},
        {"--no-verify", nullptr, "skip the read-back"},
    },
    true,
    "Exit codes: 0 written (and verified), 2 bad arguments, 3 failed, stopped,\n"
    "or the image is larger than the drive.\n",
    false,
    {"FILE"},
};

int runRestore(const std::vector<std::string>& args)
{
    return RunCommand(kSpec, args, restore);
}

}  // namespace

extern const Command kRestoreCommand = {kSpec.name, kSpec.synopsis, HelpText(kSpec), runRestore};

}  // namespace qv::cli
