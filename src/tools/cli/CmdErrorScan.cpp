#include "tools/cli/CommandRunner.h"

#include "core/charts/BlockMapCells.h"
#include "core/mediatests/ErrorScanPresenter.h"
#include "core/mediatests/ErrorScanWorker.h"
#include "core/text/StringIds.h"
#include "core/text/StringTable.h"
#include "core/text/Units.h"
#include "report/ReportPictures.h"

#include <cstdio>

namespace qv::cli {
namespace {

// Prints the log lines (on stderr beside --json), and keeps one progress
// line below them.
class TerminalView : public ErrorScanView {
public:
    explicit TerminalView(CommandRun& run) : run_(run) {}

    void showTexts(const ErrorScanTexts& t) override
    {
        run_.showProgress(Format("%s %s  %s %s  %s %s | %s %s  %s %s  %s %s", LoadText(str::kWriteTest).c_str(),
                                 orDash(t.writePercent), orDash(t.writePosition), orDash(t.writeSpeed),
                                 LoadText(str::kScanErrors).c_str(), orDash(t.writeErrors),
                                 LoadText(str::kReadTest).c_str(), orDash(t.readPercent), orDash(t.readPosition),
                                 orDash(t.readSpeed), LoadText(str::kScanErrors).c_str(), orDash(t.readErrors)));
    }
    void appendLog(const std::string& time, const std::string& text, int image) override
    {
        run_.clearProgress();
        std::fprintf(run_.json() ? stderr : stdout, "%s %s%s\n", time.c_str(), image == LOG_ERROR ? "* " : "",
                     text.c_str());
        std::fflush(stdout);
    }
    void clearLog() override {}
    void showRunState(bool, bool) override {}
    void showFailure(const std::string& message, const std::string& detail) override
    {
        run_.note(run_.drivePath() + ": " + message + (detail.empty() ? "" : " (" + detail + ")"));
    }

private:
    static const char* orDash(const std::string& s) { return s.empty() ? "-" : s.c_str(); }
    CommandRun& run_;
};

int errorScan(CommandRun& run)
{
    const bool write = run.flag("--write"), read = !run.flag("--no-read");
    const long passes = run.number("--passes", 1);
    if (!write && !read)
        return run.usage("--no-read without --write leaves nothing to scan");
    if (write && !run.flag("--yes"))
        return run.usage("the write test overwrites every sector of " + run.drivePath() +
                         " and destroys all data on it; add --yes to go ahead");
    const int32_t testType = (read ? kScanReadTest : 0) | (write ? kScanWriteTest : 0);

    TerminalView view(run);
    BlockMapCells writeMap, readMap;
    ErrorScanPresenter presenter(run.context(), run.runs(), view, writeMap, readMap);
    if (!presenter.Start(int32_t(passes), testType)) {
        // A drive that could not be readied has said why through the view.
        if (presenter.outcome() == RunOutcome::Failed)
            return run.finish({{"outcome", OutcomeName(RunOutcome::Failed)}, {"failure", presenter.failureText()}},
                              kExitFailed);
        return run.fail(run.drivePath() + ": the scan could not be started");
    }
    run.runToIdle(presenter);

    const ErrorScanResult& r = presenter.result();
    const bool completed = presenter.outcome() == RunOutcome::Completed;
    if (!run.json())
        std::printf("%s: write errors %lld, read errors %lld, differing bytes %lld%s\n", run.drivePath().c_str(),
                    (long long)r.writeErrors, (long long)r.readErrors, (long long)r.differingBytes,
                    completed ? "" : " (scan not completed)");
    if (run.wantsReport()) {
        Report report = presenter.report();
        for (auto [slot, map] : {std::pair{kWriteMapSlot, &writeMap}, std::pair{kReadMapSlot, &readMap}})
            if (ReportPicture* picture = report.picture(slot))
                picture->png = report::BlockMapPng(*map);
        run.setReport(std::move(report));
    }
    const int code = ExitCodeFor(presenter.outcome(), r.writeErrors || r.readErrors || r.differingBytes);
    return run.finish({{"settings", {{"write", write}, {"read", read}, {"passes", passes}}},
                       {"result",
                        {{"passes_done", r.passesDone},
                         {"write_errors", r.writeErrors},
                         {"read_errors", r.readErrors},
                         {"differing_bytes", r.differingBytes},
                         {"write_speed_mb_s", r.writeSpeed},
                         {"read_speed_mb_s", r.readSpeed}}},
                       {"outcome", OutcomeName(presenter.outcome())},
                       {"failure", presenter.failureText()}},
                      code);
}

const CommandSpec kSpec = {
    "errorscan",
    "write a sector-numbered pattern over a drive and read it back",
    "Runs the error scan: the write test fills every sector with a pattern\n"
    "made from its number, the read test reads every sector back and, after\n"
    "a write test, compares it with the pattern. Prints the scan's log lines.",
    {
        {"--write", nullptr, "run the write test (destroys all data on the drive;\n"
                             "                     sectors 0 to 4095 are zero afterwards)"},
        {"--no-read", nullptr, "skip the read test"},
        {"--passes", "N", "repeat the tests N times (1 to 100000, default 1)", 1, 100000},
        {"--yes", nullptr, "confirm the write test"},
    },
    true,
    "Exit code 0 when no write error, read error or differing byte was found,\n"
    "1 when some were, 2 for bad arguments, 3 when the scan failed or was stopped.\n",
};

int runErrorScan(const std::vector<std::string>& args)
{
    return RunCommand(kSpec, args, errorScan);
}

}  // namespace

extern const Command kErrorScanCommand = {kSpec.name, kSpec.synopsis, HelpText(kSpec), runErrorScan};

}  // namespace qv::cli
