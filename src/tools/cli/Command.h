#pragma once

#include <string>
#include <vector>

namespace qv::cli {

// Exit codes shared by every command.
enum ExitCode {
    kExitOk = 0,
    kExitFindings = 1,  // the command ran and found faults (errors, bad sectors)
    kExitUsage = 2,     // bad arguments
    kExitFailed = 3,    // the operation could not be carried out
};

struct Command {
    const char* name;
    const char* synopsis;  // one line for the overview
    std::string help;      // the command's own --help text
    int (*run)(const std::vector<std::string>& args);
};

// Every command; each command's file defines its entry.
const std::vector<Command>& Commands();

}  // namespace qv::cli
