#include "tools/cli/Command.h"

namespace qv::cli {

extern const Command kListCommand;
extern const Command kErrorScanCommand;
extern const Command kRecoverCommand;
extern const Command kEraseCommand;
extern const Command kBackupCommand;
extern const Command kRestoreCommand;
extern const Command kInfoCommand;
extern const Command kUsbCommand;
extern const Command kBenchCommand;
extern const Command kProbeCommand;
extern const Command kSectorCommand;

const std::vector<Command>& Commands()
{
    static const std::vector<Command> all = {
        kListCommand,
        kErrorScanCommand,
        kRecoverCommand,
        kEraseCommand,
        kBackupCommand,
        kRestoreCommand,
        kInfoCommand,
        kUsbCommand,
        kBenchCommand,
        kProbeCommand,
        kSectorCommand,
    };
    return all;
}

}  // namespace qv::cli
