#include "tools/cli/Command.h"

#include "platform/udisks/UDisksService.h"
#include "report/ReportWriter.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

void printOverview(FILE* out)
{
    std::fprintf(out, "usage: quorvane-cli COMMAND [OPTIONS]\n\nCommands:\n");
    for (const auto& command : qv::cli::Commands())
        std::fprintf(out, "  %-12s %s\n", command.name, command.synopsis);
    std::fprintf(out, "\n'quorvane-cli COMMAND --help' describes one command.\n"
                      "Exit codes: 0 success, 1 faults found, 2 bad arguments, 3 failure.\n");
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        printOverview(stderr);
        return qv::cli::kExitUsage;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        printOverview(stdout);
        return qv::cli::kExitOk;
    }
    std::vector<std::string> args(argv + 2, argv + argc);
    for (const auto& command : qv::cli::Commands()) {
        if (name != command.name)
            continue;
        for (const auto& arg : args) {
            if (arg == "--help" || arg == "-h") {
                std::fputs(command.help.c_str(), stdout);
                return qv::cli::kExitOk;
            }
        }
        // A PDF report needs a Qt application that can lay out text, made
        // before the disk service makes a plain one.
        for (const auto& arg : args)
            if (arg == "--report" || arg.rfind("--report=", 0) == 0)
                qv::report::StartOffscreenApplication();
        // Drives the user may not open directly go through udisks2; the
        // system may ask for a password only when someone is at a terminal.
        qv::udisks::InstallDiskService(isatty(STDIN_FILENO) && isatty(STDERR_FILENO));
        return command.run(args);
    }
    std::fprintf(stderr, "quorvane-cli: unknown command '%s'\n", name.c_str());
    printOverview(stderr);
    return qv::cli::kExitUsage;
}
