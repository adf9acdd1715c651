#include "tools/cli/CommandRunner.h"

#include "core/mediatests/CapacityProbePresenter.h"
#include "core/text/StringTable.h"
#include "core/text/Units.h"

#include <cstdio>

namespace qv::cli {
namespace {

class TerminalView : public CapacityProbeView {
public:
    explicit TerminalView(CommandRun& run) : run_(run) {}

    void showTexts(const ProbeTexts& t) override
    {
        if (!t.percent.empty() && t.verdict.empty())
            run_.showProgress(Format("%s %s  %s  %s", LoadText(str::kProbeTitle).c_str(), t.percent.c_str(),
                                     t.elapsed.c_str(), t.remaining.c_str()));
    }
    void showRunState(bool, bool) override {}
    void showFailure(const std::string& message, const std::string& detail) override
    {
        run_.note(run_.drivePath() + ": " + message + (detail.empty() ? "" : " (" + detail + ")"));
    }

private:
    CommandRun& run_;
};

const char* faultName(ProbeFault fault)
{
    switch (fault) {
    case ProbeFault::WrapAround: return "wrap-around";
    case ProbeFault::LostWrites: return "lost-writes";
    case ProbeFault::None: break;
    }
    return "none";
}

int probe(CommandRun& run)
{
    ProbeOptions options;
    options.destructive = run.flag("--destructive");
    options.flushBytes = uint64_t(run.number("--flush", long(kProbeFlushBytes >> 20))) << 20;
    if (options.destructive && !run.flag("--yes"))
        return run.usage("--destructive overwrites sectors of " + run.drivePath() +
                         " without saving them first and destroys the data there; add --yes to go ahead");
    if (!options.destructive && !run.json())
        std::printf("%s\n", LoadText(str::kProbeWritesNote).c_str());

    TerminalView view(run);
    CapacityProbePresenter presenter(run.context(), run.runs(), view);
    if (!presenter.Start(options))
        return run.fail(run.drivePath() + ": the probe could not be started");
    run.runToIdle(presenter);

    const ProbeResult& r = presenter.result();
    const ProbeTexts& t = presenter.texts();
    const bool completed = presenter.outcome() == RunOutcome::Completed;
    const std::string restore = ProbeRestoreText(r, options.destructive);
    if (!run.json()) {
        if (completed) {
            std::printf("%s: %s\n", run.drivePath().c_str(), t.verdict.c_str());
            if (!t.fault.empty())
                std::printf("%s: %s\n", run.drivePath().c_str(), t.fault.c_str());
            std::printf("%s: real size %llu sectors of %llu\n", run.drivePath().c_str(),
                        (unsigned long long)r.realSectors, (unsigned long long)r.claimedSectors);
        }
        if (!restore.empty())
            std::printf("%s: %s\n", run.drivePath().c_str(), restore.c_str());
        for (const ProbeRange& range : r.unrestored)
            std::printf("%s: sectors %llu to %llu hold probe data\n", run.drivePath().c_str(),
                        (unsigned long long)range.first, (unsigned long long)(range.first + range.count - 1));
        std::printf("%s: %d rounds, %llu probe sectors, %llu sectors written, %llu read, %.1f s%s\n",
                    run.drivePath().c_str(), r.rounds, (unsigned long long)r.probeSectors,
                    (unsigned long long)r.sectorsWritten, (unsigned long long)r.sectorsRead,
                    presenter.elapsedMs() / 1000.0, completed ? "" : " (probe not completed)");
    }
    if (run.wantsReport())
        run.setReport(presenter.report());
    nlohmann::json unrestored = nlohmann::json::array();
    for (const ProbeRange& range : r.unrestored)
        unrestored.push_back({{"first", range.first}, {"count", range.count}});
    const int code = ExitCodeFor(presenter.outcome(), r.fault != ProbeFault::None);
    return run.finish({{"settings", {{"destructive", options.destructive}, {"flush_mib", options.flushBytes >> 20}}},
                       {"result",
                        {{"claimed_sectors", r.claimedSectors},
                         {"real_sectors", r.realSectors},
                         {"fault", completed ? faultName(r.fault) : ""},
                         {"verdict", completed ? t.verdict : ""},
                         {"rounds", r.rounds},
                         {"probe_sectors", r.probeSectors},
                         {"sectors_written", r.sectorsWritten},
                         {"sectors_read", r.sectorsRead},
                         {"saved_sectors", r.savedSectors},
                         {"unrestored_sectors", r.unrestoredSectors},
                         {"unrestored", unrestored},
                         {"seconds", presenter.elapsedMs() / 1000.0}}},
                       {"outcome", OutcomeName(presenter.outcome())},
                       {"failure", presenter.failureText()}},
                      code);
}

const CommandSpec kSpec = {
    "probe",
    "find the real capacity of a drive in seconds",
    "Writes self-identifying sectors at chosen places of the drive, pushes\n"
    "them past any write cache of the drive, reads them back and narrows the\n"
    "boundary: finds a medium that claims more than it holds (sectors that\n"
    "land on lower ones, or writes that are lost) and its real size to the\n"
    "sector. Every sector it overwrites is read first and written back at\n"
    "the end, also after Ctrl-C or a failure, as far as the drive answers.",
    {
        {"--destructive", nullptr, "skip saving and writing back the overwritten sectors\n"
                                   "                     (faster; destroys the data there)"},
        {"--yes", nullptr, "confirm --destructive"},
        {"--flush", "MIB", "MiB written between the probes and their read-back to\n"
                           "                     empty a write cache (default 512)", 1, 65536},
    },
    true,
    "Exit code 0 when the capacity is as claimed, 1 when the drive holds less,\n"
    "2 for bad arguments, 3 when the probe failed or was stopped.\n",
};

int runProbe(const std::vector<std::string>& args)
{
    return RunCommand(kSpec, args, probe);
}

}  // namespace

extern const Command kProbeCommand = {kSpec.name, kSpec.synopsis, HelpText(kSpec), runProbe};

}  // namespace qv::cli
