#include "tools/cli/Command.h"

namespace qv::cli {

extern const Command kListCommand;
extern const Command kErrorScanCommand;
extern const Command kRecoverCommand;
extern const Command kInfoCommand;
extern const Command kUsbCommand;
extern const Command kProbeCommand;

const std::vector<Command>& Commands()
{
    static const std::vector<Command> all = {
        kListCommand,
        kErrorScanCommand,
        kRecoverCommand,
        kInfoCommand,
        kUsbCommand,
        kProbeCommand,
    };
    return all;
}

}  // namespace qv::cli
