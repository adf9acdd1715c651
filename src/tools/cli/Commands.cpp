#include "tools/cli/Command.h"

namespace qv::cli {

extern const Command kListCommand;

const std::vector<Command>& Commands()
{
    static const std::vector<Command> all = {
        kListCommand,
    };
    return all;
}

}  // namespace qv::cli
