#pragma once

#include "core/files/OutputFiles.h"
#include "core/report/Report.h"
#include "core/run/EventQueue.h"
#include "core/run/RunController.h"
#include "core/run/RunPresenter.h"
#include "tools/cli/CliSession.h"
#include "tools/cli/Command.h"

#include <nlohmann/json.hpp>

#include <memory>
#include <string>
#include <vector>

namespace qv::cli {

// One option of a command: "--passes" with value "N", or a flag (value
// null). Every command also takes --json and --help; a command that works
// on a drive takes DRIVE or --image FILE.
struct Option {
    const char* name;
    const char* value;
    const char* help;
    // A value that is a whole number must lie in [min, max] (when max > min);
    // checked before the drive is opened.
    long min = 0;
    long max = 0;
};

// What a command declares; the runner parses, opens the drive, installs
// Ctrl-C and maps the result to the exit code.
struct CommandSpec {
    const char* name;
    const char* synopsis;     // one line for the overview
    const char* description;  // the paragraph of the command's --help
    std::vector<Option> options;
    bool needsDrive = true;
    const char* exitCodes = "Exit codes: 0 done, 1 done with faults found, 2 bad arguments, 3 failed or stopped.\n";
    // Without needsDrive: a drive may still be named, and is then opened.
    bool driveOptional = false;
    // Further arguments every run gives after the drive ("NUMBER"), in order.
    std::vector<const char*> operands = {};
};

// The --help text made from the declaration.
std::string HelpText(const CommandSpec& declared);

// The exit code of a run: 0 completed, 1 completed with faults found,
// 3 failed, stopped or the source too large.
int ExitCodeFor(RunOutcome outcome, bool faultsFound);

// One command's run: its parsed options, its drive, the event loop and the
// run controller of the command-line tool, one progress line on stderr.
class CommandRun {
public:
    explicit CommandRun(const CommandSpec& declared);
    ~CommandRun();

    // Options (after parse()).
    bool flag(const char* name) const;
    std::string value(const char* name) const;
    std::vector<std::string> values(const char* name) const;
    // The number given to a numeric option; fallback when absent.
    long number(const char* name, long fallback) const;
    bool json() const { return json_; }
    // True once finish() has printed the run's JSON object.
    bool finished() const { return finished_; }
    // The operands after the drive (after begin(), one per declared operand).
    const std::string& operand(size_t index) const { return positional_[index]; }
    // Words that are no option (device nodes of a command without a drive).
    const std::vector<std::string>& positional() const { return positional_; }
    // True once Ctrl-C (SIGINT, SIGTERM or SIGHUP) asked the command to stop.
    bool interrupted() { return context().status->state() == RUN_STOP; }
    // The state a stopped run's presenter described (after runToIdle);
    // finish() prints it with the stop unless the command said otherwise.
    void setStopState(std::string state) { stopState_ = std::move(state); }
    // A stopped run: notes state (what was done, what the drive and the
    // files hold) and puts it in object with "stopped" and the signal.
    void stopped(const std::string& state, nlohmann::json& object);

    // The drive (needsDrive).
    SharedContext& context() { return session_.context(); }
    DeviceRecord& record() { return *session_.context().device; }
    const std::string& drivePath() const { return drivePath_; }
    CliSession& session() { return session_; }
    RunController& runs() { return *runs_; }
    EventQueue& queue() { return queue_; }

    // Serves the worker's reports until the presenter's run is wholly over.
    void runToIdle(const RunPresenter& presenter);

    // The progress line: shown on a terminal only, replaced in place.
    void showProgress(const std::string& line);
    void clearProgress();

    // "quorvane-cli NAME: message" on stderr; usage() returns 2, fail() 3.
    int usage(const std::string& message);
    int fail(const std::string& message);
    void note(const std::string& message);
    const std::string& lastMessage() const { return lastMessage_; }

    // The drive's identity for the JSON object.
    nlohmann::json driveJson();
    // The report of the run for --report FILE. A command whose presenter
    // makes its own report hands it in before finish(); without one, finish()
    // makes it from the JSON object's settings, result and outcome.
    bool wantsReport() const { return !reportPath_.empty(); }
    // A file the run reads or writes beside the drive (a restore's image, a
    // backup and its checksum): the report is never written over one. 0, or
    // the usage error's exit code when --report names it.
    int addRunFile(const std::string& path);
    void setReport(Report report) { report_ = std::move(report); haveReport_ = true; }
    // Writes the report (--report; a report that cannot be written makes the
    // exit code 3), prints the run's one JSON object (with "command",
    // "drive", "exit_code") on stdout (--json) and returns the exit code.
    int finish(nlohmann::json object, int exitCode);

    // Parses args and opens the drive; 0 when the command may go on, else
    // the exit code. Used by RunCommand.
    int begin(const std::vector<std::string>& args);

private:
    int writeReport(const nlohmann::json& object, int exitCode);
    // Before the run: the report's target may be written (0), else the exit code.
    int checkReportTarget();
    ExistingFile reportExisting() const;

    const CommandSpec& spec_;
    std::vector<std::pair<std::string, std::string>> options_;
    std::vector<std::string> positional_;
    bool json_ = false;
    bool finished_ = false;
    std::string reportPath_;
    std::vector<std::string> runFiles_;
    Report report_;
    bool haveReport_ = false;
    CliSession session_;
    std::string driveName_;
    std::string drivePath_;
    EventQueue queue_;
    std::unique_ptr<RunController> runs_;
    bool tty_;
    bool progressShown_ = false;
    std::string lastMessage_;
    std::string stopState_;
};

// Runs a command: language, options, drive, Ctrl-C, then body.
int RunCommand(const CommandSpec& declared, const std::vector<std::string>& args, int (*body)(CommandRun&));

}  // namespace qv::cli
