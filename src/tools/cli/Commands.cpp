#include "tools/cli/Command.h"

namespace qv::cli {

extern const Command kListCommand;
extern const Command kRecoverCommand;

const std::vector<Command>& Commands()
{
    static const std::vector<Command> all = {
        kListCommand,
        kRecoverCommand,
    };
    return all;
}

}  // namespace qv::cli
