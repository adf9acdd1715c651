#include "platform/linux/Permissions.h"

#include <grp.h>
#include <unistd.h>

#include <vector>

namespace qv::linux_platform {

bool MayOpenBlockDevices()
{
    if (geteuid() == 0)
        return true;
    const group* disk = getgrnam("disk");
    if (!disk)
        return false;
    if (getegid() == disk->gr_gid)
        return true;
    int n = getgroups(0, nullptr);
    std::vector<gid_t> groups(n > 0 ? size_t(n) : 0);
    n = getgroups(n, groups.data());
    for (int i = 0; i < n; ++i)
        if (groups[i] == disk->gr_gid)
            return true;
    return false;
}

}  // namespace qv::linux_platform
