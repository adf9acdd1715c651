#include "tools/cli/CommandRunner.h"

#include "core/text/LanguageLibrary.h"
#include "core/text/StringIds.h"
#include "core/text/StringTable.h"
#include "platform/image/PosixOutputFiles.h"
#include "report/ReportWriter.h"

#include <atomic>
#include <csignal>
#include <iterator>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace qv::cli {
namespace {

// The run state a stop signal stops, and the signal that came (a
// lock-free atomic store is signal-safe).
std::atomic<int32_t>* interruptTarget = nullptr;
std::atomic<int> stopSignal{0};

void onInterrupt(int signal)
{
    stopSignal.store(signal, std::memory_order_relaxed);
    if (interruptTarget)
        interruptTarget->store(RUN_STOP, std::memory_order_relaxed);
}

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Stops the command's run after the block in progress on SIGINT, SIGTERM
// and SIGHUP (a closed terminal) while it lives.
class InterruptStops {
public:
    explicit InterruptStops(std::atomic<int32_t>& state)
    {
        interruptTarget = &state;
        struct sigaction action = {};
        action.sa_handler = onInterrupt;
        for (size_t i = 0; i < std::size(kStopSignals); ++i)
            sigaction(kStopSignals[i], &action, &old_[i]);
    }
    ~InterruptStops()
    {
        for (size_t i = 0; i < std::size(kStopSignals); ++i)
            sigaction(kStopSignals[i], &old_[i], nullptr);
        interruptTarget = nullptr;
    }

private:
    struct sigaction old_[std::size(kStopSignals)] = {};
};

const char* signalName(int signal)
{
    switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: return "";
    }
}

const Option kCommonOptions[] = {
    {"--image", "FILE", "work on an image file as the drive"},
    {"--json", nullptr, "print one JSON object with the run's settings, figures and outcome"},
    {"--report", "FILE", "write a report of the run to FILE (.pdf or .html)"},
    {"--force", nullptr, "replace the --report FILE when it exists (a regular file only)"},
};

// --image, --report and --force belong to the commands that work on a
// drive; a command that declares an option of its own (backup's --force)
// has that one.
bool commonOptionFor(const CommandSpec& declared, const std::string& name)
{
    for (const Option& option : declared.options)
        if (name == option.name)
            return false;
    return declared.needsDrive || declared.driveOptional || (name != "--image" && name != "--report" && name != "--force");
}

// A JSON value as a report cell: strings without quotes.
std::string cellText(const nlohmann::json& value)
{
    if (value.is_string())
        return value.get<std::string>();
    if (value.is_boolean())
        return YesNoText(value.get<bool>());
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::vector<ReportRow> rowsOf(const nlohmann::json& object)
{
    std::vector<ReportRow> rows;
    if (object.is_object())
        for (const auto& [key, value] : object.items())
            rows.push_back({key, cellText(value)});
    return rows;
}

RunOutcome outcomeNamed(const std::string& name)
{
    for (RunOutcome o : {RunOutcome::Completed, RunOutcome::Stopped, RunOutcome::Failed, RunOutcome::TooLarge})
        if (name == OutcomeName(o))
            return o;
    // "failed" before the run (the drive did not open) and anything else.
    return RunOutcome::Failed;
}

const Option* findOption(const CommandSpec& declared, const std::string& name)
{
    for (const Option& option : declared.options)
        if (name == option.name)
            return &option;
    for (const Option& option : kCommonOptions)
        if (name == option.name && commonOptionFor(declared, name))
            return &option;
    return nullptr;
}

}  // namespace

std::string HelpText(const CommandSpec& declared)
{
    std::string text = std::string("usage: quorvane-cli ") + declared.name +
                       (declared.needsDrive ? " DRIVE" : declared.driveOptional ? " [DRIVE]" : "");
    for (const char* operand : declared.operands)
        text += std::string(" ") + operand;
    for (const Option& option : declared.options)
        text += std::string(" [") + option.name + (option.value ? std::string(" ") + option.value : "") + "]";
    text += std::string(declared.needsDrive || declared.driveOptional ? " [--report FILE]" : "") + " [--json]\n\n" +
            declared.description + "\n";
    if (declared.needsDrive || declared.driveOptional)
        text += "DRIVE is a kernel name (sdb), a device node (/dev/sdb) or --image FILE.\n";
    auto line = [&text](const Option& option) {
        std::string head = std::string(option.name) + (option.value ? std::string(" ") + option.value : "");
        char row[256];
        std::snprintf(row, sizeof row, "  %-18s %s\n", head.c_str(), option.help);
        text += row;
    };
    for (const Option& option : declared.options)
        line(option);
    for (const Option& option : kCommonOptions)
        if (commonOptionFor(declared, option.name))
            line(option);
    return text + declared.exitCodes;
}

int ExitCodeFor(RunOutcome outcome, bool faultsFound)
{
    if (outcome == RunOutcome::Completed)
        return faultsFound ? kExitFindings : kExitOk;
    return kExitFailed;
}

CommandRun::CommandRun(const CommandSpec& declared) : spec_(declared), tty_(isatty(STDERR_FILENO))
{
    runs_ = std::make_unique<RunController>(session_.context(), queue_.poster());
    runs_->onIdle = [this] { session_.drives().RunEnded(); };
}

CommandRun::~CommandRun()
{
    clearProgress();
}

bool CommandRun::flag(const char* name) const
{
    for (const auto& [key, v] : options_)
        if (key == name)
            return true;
    return false;
}

std::string CommandRun::value(const char* name) const
{
    std::string found;
    for (const auto& [key, v] : options_)
        if (key == name)
            found = v;
    return found;
}

std::vector<std::string> CommandRun::values(const char* name) const
{
    std::vector<std::string> found;
    for (const auto& [key, v] : options_)
        if (key == name)
            found.push_back(v);
    return found;
}

namespace {

bool parseNumber(const std::string& text, long* out)
{
    char* end = nullptr;
    *out = std::strtol(text.c_str(), &end, 10);
    return !text.empty() && !*end;
}

}  // namespace

long CommandRun::number(const char* name, long fallback) const
{
    long n = fallback;
    return flag(name) && parseNumber(value(name), &n) ? n : fallback;
}

int CommandRun::begin(const std::vector<std::string>& args)
{
    // --json is known before any other word is judged, so that a usage
    // error still prints its one JSON object.
    for (const std::string& arg : args) {
        if (arg == "--")
            break;
        if (arg == "--json")
            json_ = true;
    }
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i], v;
        // After "--" every word is an operand, even one that starts with '-'.
        if (optionsEnded) {
            positional_.push_back(name);
            continue;
        }
        if (name == "--") {
            optionsEnded = true;
            continue;
        }
        const size_t equals = name.find('=');
        if (name.rfind("--", 0) == 0 && equals != std::string::npos) {
            v = name.substr(equals + 1);
            name.resize(equals);
        }
        if (name.empty() || name[0] != '-' || name == "-") {
            positional_.push_back(name);
            continue;
        }
        const Option* option = findOption(spec_, name);
        if (!option)
            return usage("unknown option '" + name + "'");
        if (option->value && equals == std::string::npos) {
            if (i + 1 >= args.size())
                return usage(name + " needs " + option->value);
            v = args[++i];
        } else if (!option->value && equals != std::string::npos) {
            return usage(name + " takes no value");
        }
        long n = 0;
        if (option->max > option->min && (!parseNumber(v, &n) || n < option->min || n > option->max))
            return usage(name + " takes a number from " + std::to_string(option->min) + " to " +
                         std::to_string(option->max));
        options_.push_back({name, v});
    }
    json_ = flag("--json");
    if (flag("--report")) {
        reportPath_ = value("--report");
        if (ReportFormatOf(reportPath_) == ReportFormat::None) {
            const std::string path = reportPath_;
            reportPath_.clear();
            return usage("--report takes a file name ending in .pdf or .html, not '" + path + "'");
        }
    }
    const std::vector<std::string> images = values("--image");
    // A command without a drive reads its own words (list takes device
    // nodes to consider); an optional drive is opened when one is named.
    if (!spec_.needsDrive && !(spec_.driveOptional && images.size() + positional_.size() > 0))
        return 0;

    const size_t operands = spec_.operands.size();
    if (images.size() > 1 || (images.size() == 1 && positional_.size() > operands) ||
        (images.empty() && positional_.size() > 1 + operands))
        return usage("one drive at a time (a kernel name, a device node or --image FILE)");
    std::string target;
    if (!images.empty()) {
        drivePath_ = images.front();
        target = session_.attachImage(drivePath_);
    } else if (!positional_.empty()) {
        target = positional_.front();
        // A name with a slash is a path (./card.img, /dev/sdb), else a
        // kernel name (sdb).
        const bool path = target.find('/') != std::string::npos;
        drivePath_ = path ? target : "/dev/" + target;
        if (path)
            target = session_.attachNode(target);
        positional_.erase(positional_.begin());
    } else {
        return usage("no drive given (a kernel name such as sdb, a device node, or --image FILE)");
    }
    if (positional_.size() != operands)
        return usage(std::string("give ") + spec_.operands.front() + " after the drive");
    session_.enumerate();
    std::string error;
    if (!session_.select(target, drivePath_, &error))
        return fail(error);
    if (record().handle)
        drivePath_ = record().handle->path();
    driveName_ = target;
    return checkReportTarget();
}

void CommandRun::runToIdle(const RunPresenter& presenter)
{
    queue_.runUntil([&] { return !presenter.active(); });
    clearProgress();
    if (presenter.outcome() == RunOutcome::Stopped)
        stopState_ = presenter.stopText();
}

void CommandRun::showProgress(const std::string& line)
{
    if (!tty_ || json_)
        return;
    std::fprintf(stderr, "\r\033[K%s", line.c_str());
    progressShown_ = true;
}

void CommandRun::clearProgress()
{
    if (progressShown_)
        std::fprintf(stderr, "\r\033[K");
    progressShown_ = false;
}

void CommandRun::note(const std::string& message)
{
    clearProgress();
    lastMessage_ = message;
    std::fprintf(stderr, "quorvane-cli %s: %s\n", spec_.name, message.c_str());
}

int CommandRun::usage(const std::string& message)
{
    note(message);
    return kExitUsage;
}

int CommandRun::fail(const std::string& message)
{
    note(message);
    return kExitFailed;
}

nlohmann::json CommandRun::driveJson()
{
    if (!context().device)
        return nullptr;
    const DeviceRecord& r = record();
    return {{"name", driveName_},
            {"path", drivePath_},
            {"product", std::string(r.productText, strnlen(r.productText, sizeof r.productText))},
            {"revision", std::string(r.revisionText, strnlen(r.revisionText, sizeof r.revisionText))},
            {"sectors", r.sectorCount},
            // "direct", or "udisks2" for a drive the user may not open directly.
            {"access", r.handle ? r.handle->access() : std::string()}};
}

int CommandRun::writeReport(const nlohmann::json& object, int exitCode)
{
    if (!haveReport_) {
        report_ = BeginReport(spec_.name, outcomeNamed(object.value("outcome", "")), object.value("failure", ""));
        report_.settings = rowsOf(object.value("settings", nlohmann::json()));
        if (object.contains("result"))
            report_.figures.push_back({LoadText(str::kReportResults), rowsOf(object["result"])});
    }
    if (context().device)
        report_.drive = ReportDriveOf(record(), driveName_, drivePath_);
    else
        report_.drive.name = driveName_;
    if (report_.drive.path.empty())
        report_.drive.path = drivePath_;
    report_.files.insert(report_.files.end(), runFiles_.begin(), runFiles_.end());
    std::string error;
    PosixOutputFiles files;
    if (report::WriteReport(report_, reportPath_, files, reportExisting(), &error))
        return exitCode;
    note(error);
    return kExitFailed;
}

ExistingFile CommandRun::reportExisting() const
{
    return flag("--force") ? ExistingFile::ReplaceRegular : ExistingFile::Refuse;
}

int CommandRun::checkReportTarget()
{
    if (!wantsReport())
        return 0;
    struct stat st;
    if (!flag("--force") && lstat(reportPath_.c_str(), &st) == 0)
        return usage(reportPath_ + " exists; add --force to replace it");
    PosixOutputFiles files;
    RunFailure refusal;
    if (files.check(reportPath_, reportExisting(), {drivePath_, runFiles_}, &refusal))
        return 0;
    return fail(FailureText(refusal));
}

int CommandRun::addRunFile(const std::string& path)
{
    runFiles_.push_back(path);
    RunFailure refusal;
    if (!wantsReport() || CheckPlacement(reportPath_, {{}, {path}}, &refusal))
        return 0;
    return usage("--report " + reportPath_ + " would be written over " + path);
}

void CommandRun::stopped(const std::string& state, nlohmann::json& object)
{
    note(state);
    object["stopped"] = true;
    object["signal"] = signalName(stopSignal.load(std::memory_order_relaxed));
    object["drive_state"] = state;
}

int CommandRun::finish(nlohmann::json object, int exitCode)
{
    clearProgress();
    // A stop says what it left, whichever command ran.
    if (object.value("outcome", "") == OutcomeName(RunOutcome::Stopped) && !object.contains("stopped"))
        stopped(stopState_.empty() ? LoadText(str::kStopDriveUnchanged) : stopState_, object);
    // A usage error ran nothing to report on.
    if (wantsReport() && exitCode != kExitUsage)
        exitCode = writeReport(object, exitCode);
    if (!json_)
        return exitCode;
    nlohmann::json out = {{"command", spec_.name}};
    if (spec_.needsDrive || spec_.driveOptional)
        out["drive"] = driveJson();
    out.update(object);
    out["exit_code"] = exitCode;
    std::printf("%s\n", out.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    std::fflush(stdout);
    finished_ = true;
    return exitCode;
}

int RunCommand(const CommandSpec& declared, const std::vector<std::string>& args, int (*body)(CommandRun&))
{
    UseBuiltinLanguage(BuiltinTextLanguage(ReadLocaleEnvironment()));
    // Over a file-size limit a write fails with EFBIG, which names the file;
    // the signal would end the tool without a word.
    std::signal(SIGXFSZ, SIG_IGN);
    CommandRun run(declared);
    if (const int code = run.begin(args)) {
        if (!run.json() && !run.wantsReport())
            return code;
        return run.finish({{"outcome", code == kExitUsage ? "usage" : "failed"}, {"failure", run.lastMessage()}},
                          code);
    }
    InterruptStops stops(run.context().status->runState);
    const int code = body(run);
    // A command that refused its options before running has printed no
    // JSON object yet.
    if (run.json() && !run.finished())
        return run.finish({{"outcome", code == kExitUsage ? "usage" : "failed"}, {"failure", run.lastMessage()}},
                          code);
    return code;
}

}  // namespace qv::cli
