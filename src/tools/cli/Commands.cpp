#include "tools/cli/Command.h"

namespace qv::cli {

extern const Command kListCommand;
extern const Command kErrorScanCommand;
extern const Command kRecoverCommand;
extern const Command kBenchCommand;

const std::vector<Command>& Commands()
{
    static const std::vector<Command> all = {
        kListCommand,
        kErrorScanCommand,
        kRecoverCommand,
        kBenchCommand,
    };
    return all;
}

}  // namespace qv::cli
