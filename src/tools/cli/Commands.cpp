#include "tools/cli/Command.h"

namespace qv::cli {

extern const Command kListCommand;
extern const Command kErrorScanCommand;
extern const Command kRecoverCommand;
extern const Command kInfoCommand;
extern const Command kUsbCommand;

const std::vector<Command>& Commands()
{
    static const std::vector<Command> all = {
        kListCommand,
        kErrorScanCommand,
        kRecoverCommand,
        kInfoCommand,
        kUsbCommand,
    };
    return all;
}

}  // namespace qv::cli
