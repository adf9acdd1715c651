#include "platform/image/GuardedDescriptors.h"

#include <unistd.h>

namespace qv {

void GuardedDescriptors::closeAll()
{
    for (int& fd : fds_) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

}  // namespace qv
