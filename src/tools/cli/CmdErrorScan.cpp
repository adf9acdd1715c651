#include "tools/cli/CliSession.h"
#include "tools/cli/Command.h"

#include "core/charts/BlockMapCells.h"
#include "core/mediatests/ErrorScanPresenter.h"
#include "core/mediatests/ErrorScanWorker.h"
#include "core/run/EventQueue.h"
#include "core/text/StringTable.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace qv::cli {
namespace {

// The run state a Ctrl-C stops (a lock-free atomic store is signal-safe).
std::atomic<int32_t>* interruptTarget = nullptr;

void onInterrupt(int)
{
    if (interruptTarget)
        interruptTarget->store(RUN_STOP, std::memory_order_relaxed);
}

bool englishLocale()
{
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return std::strncmp(value, "ru", 2) != 0;
    }
    return true;
}

// Prints the log lines, and on a terminal keeps one progress line below them.
class TerminalView : public ErrorScanView {
public:
    explicit TerminalView(std::string drive) : drive_(std::move(drive)), tty_(isatty(STDERR_FILENO)) {}

    void showTexts(const ErrorScanTexts& t) override
    {
        if (!tty_)
            return;
        std::fprintf(stderr, "\r\033[K%s %s  %s %s  %s %s | %s %s  %s %s  %s %s", LoadText(120).c_str(),
                     orDash(t.writePercent), orDash(t.writePosition), orDash(t.writeSpeed), LoadText(14606).c_str(),
                     orDash(t.writeErrors), LoadText(121).c_str(), orDash(t.readPercent), orDash(t.readPosition),
                     orDash(t.readSpeed), LoadText(14606).c_str(), orDash(t.readErrors));
        progressShown_ = true;
    }
    void appendLog(const std::string& time, const std::string& text, int image) override
    {
        clearProgress();
        std::printf("%s %s%s\n", time.c_str(), image == LOG_ERROR ? "* " : "", text.c_str());
        std::fflush(stdout);
    }
    void clearLog() override {}
    void showRunState(bool, bool) override {}
    void showFailure(const std::string& message) override
    {
        clearProgress();
        std::fprintf(stderr, "quorvane-cli errorscan: %s: %s\n", drive_.c_str(), message.c_str());
    }
    void clearProgress()
    {
        if (progressShown_)
            std::fprintf(stderr, "\r\033[K");
        progressShown_ = false;
    }

private:
    static const char* orDash(const std::string& s) { return s.empty() ? "-" : s.c_str(); }
    std::string drive_;
    bool tty_;
    bool progressShown_ = false;
};

int usage(const char* message)
{
    std::fprintf(stderr, "quorvane-cli errorscan: %s\n", message);
    return kExitUsage;
}

int runErrorScan(const std::vector<std::string>& argsIn)
{
    UseEnglishTexts(englishLocale());
    std::vector<std::string> args = argsIn;
    bool write = false, read = true, confirmed = false;
    long passes = 1;
    std::vector<std::string> rest;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--write") {
            write = true;
        } else if (a == "--no-read") {
            read = false;
        } else if (a == "--yes") {
            confirmed = true;
        } else if (a == "--passes" || a.rfind("--passes=", 0) == 0) {
            std::string value;
            if (a == "--passes") {
                if (i + 1 >= args.size())
                    return usage("--passes needs a number");
                value = args[++i];
            } else {
                value = a.substr(9);
            }
            char* end = nullptr;
            passes = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end || passes < 1 || passes > 100000)
                return usage("--passes takes a number from 1 to 100000");
        } else {
            rest.push_back(a);
        }
    }

    CliSession session;
    std::string error;
    if (!OpenCommandDrive(rest, session, &error)) {
        std::fprintf(stderr, "quorvane-cli errorscan: %s\n", error.c_str());
        return rest.empty() && error.find("no drive given") != std::string::npos ? kExitUsage : kExitFailed;
    }
    if (!rest.empty())
        return usage(("unknown argument '" + rest.front() + "'").c_str());

    SharedContext& context = session.context();
    DeviceRecord& record = *context.device;
    const std::string drive = record.handle ? record.handle->path() : std::string("?");
    if (write && !confirmed) {
        std::fprintf(stderr,
                     "quorvane-cli errorscan: the write test overwrites every sector of %s and destroys all "
                     "data on it; add --yes to go ahead\n",
                     drive.c_str());
        return kExitUsage;
    }
    if (!PrepareCommandDrive(record, write, &error)) {
        std::fprintf(stderr, "quorvane-cli errorscan: %s\n", error.c_str());
        return kExitFailed;
    }
    const int32_t testType = (read ? kScanReadTest : 0) | (write ? kScanWriteTest : 0);

    EventQueue queue;
    TerminalView view(drive);
    BlockMapCells writeMap, readMap;
    ErrorScanPresenter presenter(context, view, writeMap, readMap, queue.poster());
    int64_t writeErrors = 0, readErrors = 0, differingBytes = 0;
    bool completed = false, failed = false;
    QueuedProgressSink sink(queue, [&](int32_t operation, int64_t phase) {
        const int32_t state = context.status->state();
        if (state == RUN_DONE && phase == SCAN_WRITE_CHUNK)
            writeErrors += record.errorCounters[0];
        if (state == RUN_DONE && phase == SCAN_READ_CHUNK) {
            readErrors += record.errorCounters[1];
            differingBytes += record.errorCounters[2];
        }
        if (state == RUN_DONE && phase == SCAN_BOUNDARY && presenter.passesLeft() <= 1)
            completed = true;
        if (state == RUN_FAILED)
            failed = true;
        return presenter.OnProgress(operation, phase);
    });
    presenter.setProgressSink(&sink);
    presenter.onIdle = [&] { session.drives().RunEnded(); };

    interruptTarget = &context.status->runState;
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    if (!presenter.Start(int32_t(passes), testType)) {
        std::fprintf(stderr, "quorvane-cli errorscan: %s: the scan could not be started\n", drive.c_str());
        return kExitFailed;
    }
    queue.runUntil([&] { return !presenter.active(); });
    view.clearProgress();
    interruptTarget = nullptr;
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);

    std::printf("%s: write errors %lld, read errors %lld, differing bytes %lld%s\n", drive.c_str(),
                (long long)writeErrors, (long long)readErrors, (long long)differingBytes,
                completed ? "" : " (scan not completed)");
    if (failed || !completed)
        return kExitFailed;
    return writeErrors || readErrors || differingBytes ? kExitFindings : kExitOk;
}

}  // namespace

extern const Command kErrorScanCommand = {
    "errorscan",
    "write a sector-numbered pattern over a drive and read it back",
    "usage: quorvane-cli errorscan DRIVE [--write] [--no-read] [--passes N] [--yes]\n"
    "\n"
    "Runs the error scan: the write test fills every sector with a pattern\n"
    "made from its number, the read test reads every sector back and, after\n"
    "a write test, compares it with the pattern. Prints the scan's log lines.\n"
    "DRIVE is a kernel name (sdb), a device node (/dev/sdb) or --image FILE.\n"
    "  --write       run the write test (destroys all data on the drive;\n"
    "                sectors 0 to 4095 are zero afterwards)\n"
    "  --no-read     skip the read test\n"
    "  --passes N    repeat the tests N times (1 to 100000, default 1)\n"
    "  --yes         confirm the write test\n"
    "Exit code 0 when no write error, read error or differing byte was found,\n"
    "1 when some were, 2 for bad arguments, 3 when the scan failed or was stopped.\n",
    runErrorScan,
};

}  // namespace qv::cli
