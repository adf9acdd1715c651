#include "tools/cli/CommandRunner.h"

#include "core/mediatests/ErasePresenter.h"
#include "core/settings/Settings.h"
#include "core/text/StringIds.h"
#include "core/text/StringTable.h"
#include "core/text/Units.h"

#include <cstdio>

namespace qv::cli {
namespace {

class TerminalView : public EraseView {
public:
    explicit TerminalView(CommandRun& run) : run_(run) {}

    void showTexts(const EraseTexts& t) override
    {
        if (t.percent.empty())
            return;
        run_.showProgress(Format("%s %s  %s  %s  %s / %s  %s %s", LoadText(str::kEraseButton).c_str(),
                                 t.percent.c_str(), t.position.c_str(), t.speed.c_str(), t.elapsed.c_str(),
                                 t.remaining.c_str(), LoadText(str::kEraseErrors).c_str(), t.errors.c_str()));
    }
    void showMessage(const std::string& text) override { message = text; }
    void showRunState(bool, bool) override {}
    void showFailure(const std::string& text, const std::string& detail) override
    {
        run_.note(run_.drivePath() + ": " + text + (detail.empty() ? "" : " (" + detail + ")"));
    }

    std::string message;

private:
    CommandRun& run_;
};

int erase(CommandRun& run)
{
    const bool full = run.flag("--full");
    if (!run.flag("--yes"))
        return run.usage(std::string(full ? "a full erase overwrites every sector" : "a quick erase overwrites the start") +
                         " of " + run.drivePath() + " with zeros; add --yes to go ahead");
    Settings settings;
    settings.eraseType = full ? 1 : 0;
    run.context().settings = &settings;

    TerminalView view(run);
    ErasePresenter presenter(run.context(), run.runs(), view);
    if (!presenter.Start())
        return run.fail(run.drivePath() + ": the erase could not be started");
    run.runToIdle(presenter);

    const EraseResult& r = presenter.result();
    if (!view.message.empty() && !run.json())
        std::printf("%s: %s\n", run.drivePath().c_str(), view.message.c_str());
    if (run.wantsReport())
        run.setReport(presenter.report());
    const int code = ExitCodeFor(presenter.outcome(), false);
    return run.finish({{"settings", {{"full", full}}},
                       {"result", {{"sectors", r.sectors}, {"failed_chunks", r.failedChunks}}},
                       {"outcome", OutcomeName(presenter.outcome())},
                       {"failure", presenter.failureText()}},
                      code);
}

const CommandSpec kSpec = {
    "erase",
    "overwrite the start of a drive, or all of it, with zeros",
    "A quick erase zeroes sectors 0 to 1024, which removes the file system\n"
    "structures there while the rest of the data stays (and can still be\n"
    "recovered); a full erase zeroes every sector. Chunks that cannot be\n"
    "written are counted and make the erase fail.",
    {
        {"--full", nullptr, "zero every sector (default: the quick erase)"},
        {"--yes", nullptr, "confirm: the data on the drive are lost"},
    },
    true,
    "Exit codes: 0 erased, 2 bad arguments, 3 failed (chunks left unwritten) or stopped.\n",
};

int runErase(const std::vector<std::string>& args)
{
    return RunCommand(kSpec, args, erase);
}

}  // namespace

extern const Command kEraseCommand = {kSpec.name, kSpec.synopsis, HelpText(kSpec), runErase};

}  // namespace qv::cli
